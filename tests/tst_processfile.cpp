// SPDX-License-Identifier: GPL-3.0-or-later

// ProcessFile driven on the real window: bars, status cell, message box seam and the files on disk.

#include "FileHelpers.h"
#include "WidgetHelpers.h"
#include "app/Main.h"
#include "app/frmMain.h"
#include "runs/ProcessFile.h"
#include "widgets/FramePacer.h"
#include "widgets/StatusList.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString ErrorText
    = u"There was an error during decryption. If this persists , please contact us with the details"_s;

} // namespace

class tst_ProcessFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { SetUpApplication(); }
    void init();
    void cleanup();

    void tooSmallTouchesNoBar_data();
    void tooSmallTouchesNoBar();
    void writesTheOutput_data();
    void writesTheOutput();
    void cancelWritesNothing_data();
    void cancelWritesNothing();
    void errorPath_data();
    void errorPath();
    void keyEmptiedDuringAYield();
    void rowRemovedDuringAYield();
    void rowBarFollowsItsRow();

private:
    // Adds the file's row as a run does, makes it itmCurrent and calls ProcessFile.
    bool process(const QString& path, bool encrypt, qint64 totalBytes);
    QString status() const { return subItem(m_form->itmCurrent, StatusList::Status); }
    qint64 statusIconKey() const { return subItemIcon(m_form->itmCurrent, StatusList::Status).cacheKey(); }
    qint64 keyedCrossKey() const { return m_form->imgl.image(u"error_small"_s).cacheKey(); }

    std::optional<RecordedSeams> m_seams;
    std::unique_ptr<frmMain> m_form;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_ProcessFile::init()
{
    m_seams.emplace();
    m_dir = std::make_unique<QTemporaryDir>();
    m_form = std::make_unique<frmMain>();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    m_form->txtKeyEnc->setText(u"k\u0141y"_s);
    m_form->txtKeyDec->setText(u"k\u0141y"_s);
    // The window's list has one red cross, at place 2 and under the key "error_small". Here the key names a picture
    // of its own, so a status shows which way it took its cross.
    QPixmap keyed(16, 16);
    keyed.fill(Qt::blue);
    ImageList imgl;
    for (int i = 1; i <= 3; ++i)
        imgl.add(m_form->imgl.image(i));
    imgl.add(QIcon(keyed), u"error_small"_s);
    m_form->imgl = imgl;
}

void tst_ProcessFile::cleanup()
{
    m_form.reset();
    m_dir.reset();
    QVERIFY(Platform::MessageBox::takeShown().isEmpty());
    m_seams.reset();
}

bool tst_ProcessFile::process(const QString& path, bool encrypt, qint64 totalBytes)
{
    m_form->itmCurrent = m_form->lvw->addRow(m_form->imgl.image(encrypt ? 1 : 3));
    m_form->lvw->setSubItem(m_form->itmCurrent, StatusList::Status, u"Loading..."_s);
    m_form->lngTotalBytes = totalBytes;
    FramePacer frames(m_form.get());
    return ProcessFile(*m_form, m_form->runControls(), frames, path, encrypt ? True : False, QFileInfo(path).size());
}

void tst_ProcessFile::tooSmallTouchesNoBar_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("1 byte") << 1;
}

void tst_ProcessFile::tooSmallTouchesNoBar()
{
    QFETCH(int, size);
    const QString path = m_dir->filePath(u"small"_s);
    writeFile(path, testBytes(size));
    m_form->progEnc->setValue(37);
    m_form->progEnc->hide();

    QVERIFY(!process(path, true, size));
    QCOMPARE(status(), u"File Too small"_s);
    QCOMPARE(statusIconKey(), m_form->imgl.image(2).cacheKey());
    QCOMPARE(m_form->lngFileBytes, qint64(size));
    QCOMPARE(m_form->progEnc->value(), 37);
    QVERIFY(m_form->progEnc->isHidden());
    QVERIFY(m_form->proglvw->isHidden());
    QCOMPARE(entries(m_dir->path()), QStringList({u"small"_s}));
    QCOMPARE(readAll(path), testBytes(size));
}

void tst_ProcessFile::writesTheOutput_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<int>("progressBase");
    QTest::addColumn<bool>("yields");
    QTest::addColumn<int>("overallAfter");
    QTest::newRow("2 bytes") << 2 << true << 0 << false << 5;
    // Below 1002 bytes there is no checkpoint: no yield, no cancel test, no bar movement.
    QTest::newRow("1001 bytes, decrypt") << 1001 << false << 0 << false << 5;
    QTest::newRow("1002 bytes, half the run") << 1002 << true << 0 << true << 50;
    QTest::newRow("5000 bytes, past 100 shows 100") << 5000 << true << 90 << true << 100;
    QTest::newRow("5000 bytes, decrypt, after 20") << 5000 << false << 20 << true << 70;
}

void tst_ProcessFile::writesTheOutput()
{
    QFETCH(int, size);
    QFETCH(bool, encrypt);
    QFETCH(int, progressBase);
    QFETCH(bool, yields);
    QFETCH(int, overallAfter);
    const QString path = m_dir->filePath(encrypt ? u"a.txt"_s : u"a.txt.enc"_s);
    const QString output = m_dir->filePath(encrypt ? u"a.txt.enc"_s : u"a.txt"_s);
    writeFile(path, testBytes(size));
    writeFile(output, QByteArray(size + 100, 'o')); // a longer old output must leave no tail
    QProgressBar* overall = encrypt ? m_form->progEnc : m_form->progDec;
    overall->setValue(5);
    m_form->intProgressBase = static_cast<qint16>(progressBase);
    // A cancel already asked for is only seen at a checkpoint.
    m_form->blnCancel = yields ? False : True;
    bool yielded = false;
    QTimer::singleShot(0, this, [&] { yielded = true; });

    QVERIFY(process(path, encrypt, qint64(size) * 2));
    QCOMPARE(yielded, yields);
    QCOMPARE(readAll(output), reference(testBytes(size), u"k\u0141y"_s));
    QCOMPARE(readAll(path), testBytes(size));
    QCOMPARE(status(), u"Writing file..."_s);
    QVERIFY(m_form->proglvw->isHidden());
    QVERIFY(!overall->isHidden());
    QCOMPARE(overall->value(), overallAfter);
    QCOMPARE(entries(m_dir->path()).size(), 2);
}

void tst_ProcessFile::cancelWritesNothing_data()
{
    QTest::addColumn<bool>("beforeStart");
    QTest::addColumn<bool>("byClosing");
    QTest::addColumn<int>("stopAt"); // the row bar's value in whose yield the cancel or close lands
    QTest::newRow("set before the file: stops at byte 0") << true << false << 0;
    QTest::newRow("cancel click mid-file") << false << false << 40;
    QTest::newRow("window closed mid-file") << false << true << 40;
    // A cancel there comes too late for the file; a close does not.
    QTest::newRow("window closed at the last checkpoint") << false << true << 100;
}

void tst_ProcessFile::cancelWritesNothing()
{
    QFETCH(bool, beforeStart);
    QFETCH(bool, byClosing);
    QFETCH(int, stopAt);
    const QString path = m_dir->filePath(u"big"_s);
    const QString output = m_dir->filePath(u"big.enc"_s);
    // 300001 bytes: the last checkpoint is the last byte, the only one where the row bar shows 100.
    writeFile(path, testBytes(300001));
    writeFile(output, "old output");
    m_form->blnCancel = beforeStart ? True : False;
    int checkpoints = 0;
    connect(m_form->proglvw, &QProgressBar::valueChanged, this, [&](int value) {
        ++checkpoints;
        if (value == stopAt && !beforeStart)
            QTimer::singleShot(0, m_form.get(), [&] {
                if (byClosing)
                    m_form->close();
                else
                    m_form->blnCancel = True;
            });
    });

    QVERIFY(!process(path, true, 300001));
    QCOMPARE(checkpoints, beforeStart ? 0 : stopAt + 1); // each whole value once, then back to 0
    QCOMPARE(m_form->proglvw->value(), 0);
    QVERIFY(m_form->proglvw->isHidden());
    QCOMPARE(m_form->progEnc->value(), 0);
    QCOMPARE(status(), u"Loading..."_s);
    QCOMPARE(readAll(output), QByteArray("old output"));
    QCOMPARE(readAll(path), testBytes(300001));
    QCOMPARE(entries(m_dir->path()), QStringList({u"big"_s, u"big.enc"_s}));
}

void tst_ProcessFile::errorPath_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QStringList>("leftInFolder");
    QTest::addColumn<QString>("input");
    QTest::newRow("input missing") << u"missing"_s << 2 << u"No such file or directory"_s << QStringList()
                                   << u"in.enc"_s;
    QTest::newRow("directory at the output")
        << u"directory"_s << 21 << u"Is a directory"_s << QStringList({u"in"_s, u"in.enc"_s}) << u"in.enc"_s;
    // The run's totals cleared during a yield: the overall share cannot be formed.
    QTest::newRow("total cleared") << u"total"_s << 33 << u"Numerical argument out of domain"_s
                                   << QStringList({u"in.enc"_s}) << u"in.enc"_s;
    // Four characters less than ".../zz/abcd" would be ".../z", an unrelated file outside the input's folder.
    QTest::newRow("name too short") << u"short"_s << 22 << u"The name is too short to remove four characters"_s
                                    << QStringList({u"z"_s, u"zz"_s}) << u"zz/abcd"_s;
    // Three characters, six UTF-16 units: still too short, counted in characters.
    const QString emoji = u"\U0001F600\U0001F511\U0001F512"_s;
    QTest::newRow("three emoji") << u"emoji"_s << 22 << u"The name is too short to remove four characters"_s
                                 << QStringList({emoji}) << emoji;
}

void tst_ProcessFile::errorPath()
{
    QFETCH(QString, fault);
    QFETCH(int, number);
    QFETCH(QString, description);
    QFETCH(QStringList, leftInFolder);
    QFETCH(QString, input);
    const QString path = m_dir->filePath(input);
    const QString unrelated = m_dir->filePath(u"z"_s);
    if (fault == u"short"_s)
        QVERIFY(QDir(m_dir->path()).mkdir(u"zz"_s) && putFile(unrelated, "unrelated"));
    if (fault != u"missing"_s)
        writeFile(path, testBytes(4000));
    if (fault == u"directory"_s)
        QVERIFY(QDir(m_dir->path()).mkdir(u"in"_s));
    m_form->progDec->setValue(60);

    QVERIFY(!process(path, false, fault == u"total"_s ? 0 : 4000));
    const auto shown = Platform::MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().text, ErrorText + u"\r\n"_s + QString::number(number) + u"\r\n"_s + description);
    QCOMPARE(shown.first().style, 0);
    QCOMPARE(status(), description);
    QCOMPARE(statusIconKey(), keyedCrossKey());
    QVERIFY(m_form->proglvw->isHidden());
    QCOMPARE(m_form->progDec->value(), 0);
    QCOMPARE(entries(m_dir->path()), leftInFolder);
    if (fault != u"missing"_s)
        QCOMPARE(readAll(path), testBytes(4000));
    if (fault == u"short"_s)
        QCOMPARE(readAll(unrelated), QByteArray("unrelated"));
}

void tst_ProcessFile::keyEmptiedDuringAYield()
{
    const QString first = m_dir->filePath(u"first"_s);
    const QString second = m_dir->filePath(u"second"_s);
    writeFile(first, testBytes(2000));
    writeFile(second, testBytes(50));
    QTimer::singleShot(0, m_form.get(), [&] { m_form->txtKeyEnc->clear(); });

    // The first file read its key before the yield; the second finds the box empty.
    QVERIFY(process(first, true, 2050));
    QVERIFY(!process(second, true, 2050));
    QCOMPARE(status(), u"No key given!"_s);
    QCOMPARE(statusIconKey(), keyedCrossKey());
    QVERIFY(m_form->proglvw->isHidden());
    QCOMPARE(entries(m_dir->path()), QStringList({u"first"_s, u"first.enc"_s, u"second"_s}));
    QCOMPARE(readAll(second), testBytes(50));
}

void tst_ProcessFile::rowRemovedDuringAYield()
{
    const QString path = m_dir->filePath(u"in"_s);
    writeFile(path, testBytes(20000));
    QTimer::singleShot(0, m_form.get(), [&] { m_form->lvw->removeAllRows(); });

    QVERIFY(process(path, true, 20000));
    QCOMPARE(rowCount(m_form->lvw), 0);
    QVERIFY(m_form->proglvw->isHidden());
    QCOMPARE(readAll(m_dir->filePath(u"in.enc"_s)), reference(testBytes(20000), u"k\u0141y"_s));
}

void tst_ProcessFile::rowBarFollowsItsRow()
{
    for (int r = 0; r < 2; ++r)
        m_form->lvw->addRow(m_form->imgl.image(1));
    const QString path = m_dir->filePath(u"in"_s);
    writeFile(path, testBytes(20000));
    const auto expectedPlace = [&] {
        const QRect viewport(m_form->lvw->viewport()->mapTo(m_form.get(), QPoint(0, 0)),
                             m_form->lvw->viewport()->size());
        return m_form->lvw->cellRect(m_form->itmCurrent, StatusList::Status).adjusted(0, 3, 0, 0) & viewport;
    };
    QRect firstPlace;
    QRect scrolledPlace;
    bool hiddenOutOfSight = false;
    int yields = 0;
    connect(m_form->proglvw, &QProgressBar::valueChanged, this, [&](int) {
        QTimer::singleShot(0, m_form.get(), [&] {
            switch (++yields) {
            case 1: // rows below the file's row, so that it can scroll out of sight
                for (int r = 0; r < 40; ++r)
                    m_form->lvw->addRow(m_form->imgl.image(1));
                break;
            case 5:
                firstPlace = m_form->proglvw->geometry();
                QVERIFY(m_form->proglvw->isVisible());
                QCOMPARE(firstPlace, expectedPlace());
                m_form->lvw->scrollTo(listRow(m_form->lvw, 30), QAbstractItemView::PositionAtTop);
                break;
            case 10:
                hiddenOutOfSight = m_form->proglvw->isHidden();
                m_form->lvw->scrollTo(listRow(m_form->lvw, 1), QAbstractItemView::PositionAtTop);
                break;
            case 15: {
                scrolledPlace = m_form->proglvw->geometry();
                QVERIFY(m_form->proglvw->isVisible());
                QCOMPARE(scrolledPlace, expectedPlace());
                // The user drags the edge between Path and Status 60 pixels to the left.
                QWidget* header = m_form->lvw->header()->viewport();
                const QPoint edge(m_form->lvw->header()->sectionViewportPosition(StatusList::Status) - 1, 8);
                QTest::mousePress(header, Qt::LeftButton, {}, edge);
                QTest::mouseMove(header, edge - QPoint(60, 0));
                QTest::mouseRelease(header, Qt::LeftButton, {}, edge - QPoint(60, 0));
                break;
            }
            case 20:
                QCOMPARE(m_form->proglvw->geometry(), expectedPlace());
                QCOMPARE(m_form->proglvw->x(), scrolledPlace.x() - 60);
                break;
            }
        });
    });
    QVERIFY(process(path, true, 20000));
    QVERIFY(yields >= 20);
    QCOMPARE(m_form->lvw->columnWidth(StatusList::Path), 296 - 60);
    QVERIFY(hiddenOutOfSight);
    QVERIFY(firstPlace.isValid());
    QVERIFY(scrolledPlace.top() < firstPlace.top());
}

QTEST_MAIN(tst_ProcessFile)
#include "tst_processfile.moc"
