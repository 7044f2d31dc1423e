// SPDX-License-Identifier: GPL-3.0-or-later

#include "FileHelpers.h"
#include "WidgetHelpers.h"
#include "app/Main.h"
#include "app/frmMain.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "widgets/Resources.h"
#include "widgets/StatusList.h"
#include "widgets/TitleFrame.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// Stops the calling test function when a helper's check has failed.
#define CHECKED(call)                                                                                                  \
    do {                                                                                                               \
        call;                                                                                                          \
        if (QTest::currentTestFailed())                                                                                \
            return;                                                                                                    \
    } while (false)

// A mode's panel: what the test knows of it, and its controls found by those names.
struct Panel
{
    const ModeFacts& facts;
    QPushButton* option;
    QPushButton* run;
    QPushButton* add;
    QPushButton* clear;
    QComboBox* queue;
    QLineEdit* key;
    QLabel* label;
    QLabel* desc;
    QProgressBar* bar;

    QString inputName(const QString& base) const { return facts.encrypt ? base : base + ".enc"_L1; }
    QString outputOf(const QString& input) const { return facts.encrypt ? input + ".enc"_L1 : input.chopped(4); }
};

// Types any text, one key press per character (QTest::keyClicks takes only Latin-1).
void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

bool shows(const QPushButton* button, int iconId)
{
    const QIcon expected = Resources::icon(Resources::IconId(iconId));
    return button->icon().pixmap(32, 32).toImage() == expected.pixmap(32, 32).toImage();
}

bool sameImage(const QIcon& a, const QIcon& b)
{
    return !a.isNull() && a.pixmap(16, 16).toImage() == b.pixmap(16, 16).toImage();
}

// What the screen shows where `widget` lies in `window`, against what the widget draws now: the same once every
// change to it has been painted.
bool onScreenAsDrawn(QWidget* window, const QWidget* widget)
{
    const QRect area(widget->mapTo(window, QPoint(0, 0)), widget->size());
    const QImage screen
        = window->screen()->grabWindow(window->winId(), area.x(), area.y(), area.width(), area.height()).toImage();
    const QImage drawn = window->grab(area).toImage();
    return screen.convertToFormat(QImage::Format_RGB32) == drawn.convertToFormat(QImage::Format_RGB32);
}

// Counts the paints a widget receives.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

const auto BusyLabel = u"Cancel"_s;
const auto BusyDesc = u"Click to cancel encryption"_s;

} // namespace

class tst_Runs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void runOverFiles_data();
    void runOverFiles();
    void failingFileKeepsItsStatus();
    void startRefusals_data();
    void startRefusals();
    void cancel_data();
    void cancel();
    void cancelFromOtherMode_data();
    void cancelFromOtherMode();
    void missingQueuedFile_data();
    void missingQueuedFile();
    void messageBeforeTheReset_data();
    void messageBeforeTheReset();
    void keyEditedDuringRun();
    void aboutHoldsTheRun();
    void progressBase_data();
    void progressBase();
    void fileChangedAfterMeasuring();
    void cancelBetweenSmallFiles();
    void listFollowsFileInWork();
    void keyboardOnly();
    void screenShowsTheLastState_data();
    void screenShowsTheLastState();
    void screenShowsACancelAtOnce();
    void pacedInsideTheTitleFrame();
    // Closing asks the application to quit, which no later test could survive: keep it last.
    void closeDuringRun();

private:
    Panel panel(bool encrypt) const;
    Panel other(const Panel& p) const { return panel(!p.facts.encrypt); }
    QString makeFile(const QString& name, const QByteArray& bytes);
    void enqueue(const Panel& p, const QStringList& paths);
    void onYield(std::function<bool()> step);
    void verifyIdle(const Panel& p, bool runEnabled);
    void verifyInputsUnchanged();
    void verifyFolderHolds(const QStringList& paths);
    void verifyOutput(const Panel& p, const QString& input, const QString& key);

    std::optional<RecordedSeams> m_seams;
    std::unique_ptr<frmMain> m_form;
    std::unique_ptr<QTemporaryDir> m_dir;
    QMap<QString, QByteArray> m_inputs;
    QTimer m_yield;
    std::function<bool()> m_step;
};

void tst_Runs::initTestCase()
{
    SetUpApplication();
    // Each fire lands inside a checkpoint's yield: the run is the only thing that processes events.
    m_yield.setInterval(0);
    connect(&m_yield, &QTimer::timeout, this, [this] {
        if (m_step && m_step())
            m_yield.stop();
    });
}

void tst_Runs::init()
{
    m_seams.emplace();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_inputs.clear();
    m_form = std::make_unique<frmMain>();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void tst_Runs::cleanup()
{
    m_yield.stop();
    m_step = nullptr;
    m_form.reset();
    m_dir.reset();
    m_seams.reset();
}

Panel tst_Runs::panel(bool encrypt) const
{
    const ModeFacts& f = modeFacts(encrypt);
    const QWidget* form = m_form.get();
    return {.facts = f,
            .option = control<QPushButton>(form, f.option),
            .run = control<QPushButton>(form, f.run),
            .add = control<QPushButton>(form, f.add),
            .clear = control<QPushButton>(form, f.clear),
            .queue = control<QComboBox>(form, f.queue),
            .key = control<QLineEdit>(form, f.key),
            .label = control<QLabel>(form, f.label),
            .desc = control<QLabel>(form, f.desc),
            .bar = control<QProgressBar>(form, f.bar)};
}

QString tst_Runs::makeFile(const QString& name, const QByteArray& bytes)
{
    const QString path = m_dir->filePath(name);
    if (!putFile(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    m_inputs.insert(path, bytes);
    return path;
}

// Queues files through the panel's own Add button, answering the open-file dialog.
void tst_Runs::enqueue(const Panel& p, const QStringList& paths)
{
    QTest::mouseClick(p.option, Qt::LeftButton);
    Platform::FileDialog::setNextFileNames(paths);
    QTest::mouseClick(p.add, Qt::LeftButton);
    QCOMPARE(p.queue->count(), paths.size());
    QVERIFY(p.run->isEnabled());
}

// `step` runs at every yield of the run that is about to start, until it returns true.
void tst_Runs::onYield(std::function<bool()> step)
{
    m_step = std::move(step);
    m_yield.start();
}

void tst_Runs::verifyIdle(const Panel& p, bool runEnabled)
{
    QVERIFY(shows(p.run, p.facts.idleIcon));
    QCOMPARE(p.run->isEnabled(), runEnabled);
    QCOMPARE(p.label->text(), p.facts.idleLabel);
    QCOMPARE(p.desc->text(), p.facts.idleDesc);
    QCOMPARE(p.desc->size(), p.desc->sizeHint());
    QVERIFY(p.add->isEnabled());
    QVERIFY(p.clear->isEnabled());
    QCOMPARE(m_form->blnRunning, False);
}

void tst_Runs::verifyInputsUnchanged()
{
    for (auto it = m_inputs.cbegin(); it != m_inputs.cend(); ++it)
        QVERIFY2(readAll(it.key()) == it.value(), qPrintable(it.key()));
}

// Exactly these files are in the folder: no temporary file is left behind.
void tst_Runs::verifyFolderHolds(const QStringList& paths)
{
    QStringList expected;
    for (const QString& path : paths)
        expected.append(QFileInfo(path).fileName());
    expected.sort();
    QCOMPARE(entries(m_dir->path()), expected);
}

void tst_Runs::verifyOutput(const Panel& p, const QString& input, const QString& key)
{
    QVERIFY2(readAll(p.outputOf(input)) == reference(m_inputs.value(input), key), qPrintable(p.outputOf(input)));
}

void tst_Runs::runOverFiles_data()
{
    QTest::addColumn<bool>("encrypt");
    QTest::newRow("encrypt") << true;
    QTest::newRow("decrypt") << false;
}

void tst_Runs::runOverFiles()
{
    QFETCH(bool, encrypt);
    const Panel p = panel(encrypt);
    const Panel o = other(p);
    const QString key = u"Kλ€y 7"_s;
    CHECKED(enqueue(o, {makeFile(o.inputName(u"other"_s), testBytes(1200, 9))}));
    // One file that yields at every byte, one that never yields, one with a larger step.
    const QStringList files {makeFile(p.inputName(u"a.txt"_s), testBytes(1500, 1)),
                             makeFile(p.inputName(u"b"_s), testBytes(700, 2)),
                             makeFile(p.inputName(u"c.bin"_s), testBytes(5000, 3))};
    CHECKED(enqueue(p, files));
    typeText(p.key, key);
    QCOMPARE(p.key->text(), key);

    // How the panel looks inside the run's first yield; there the other mode's queue is cleared.
    QString label, desc;
    bool busyIcon = false, addEnabled = true, clearEnabled = true, captionsFit = false;
    Flag running = False;
    qint64 totalAfterOtherClear = -1;
    onYield([&] {
        label = p.label->text();
        desc = p.desc->text();
        busyIcon = shows(p.run, Resources::BusyIcon);
        addEnabled = p.add->isEnabled();
        clearEnabled = p.clear->isEnabled();
        running = m_form->blnRunning;
        captionsFit = p.label->width() >= p.label->sizeHint().width() && p.desc->width() >= p.desc->sizeHint().width();
        QTest::mouseClick(o.option, Qt::LeftButton);
        QTest::mouseClick(o.clear, Qt::LeftButton);
        totalAfterOtherClear = m_form->lngTotalBytes;
        QTest::mouseClick(p.option, Qt::LeftButton);
        return true;
    });
    QTest::mouseClick(p.run, Qt::LeftButton);

    QCOMPARE(label, BusyLabel);
    QCOMPARE(desc, BusyDesc);
    QVERIFY(busyIcon);
    QVERIFY(!addEnabled);
    QVERIFY(!clearEnabled);
    QCOMPARE(running, True);
    QVERIFY(captionsFit);
    // Clearing the other queue works, and leaves the running totals alone.
    QCOMPARE(o.queue->count(), 0);
    QCOMPARE(totalAfterOtherClear, 1500 + 700 + 5000);

    QVERIFY(Platform::MessageBox::takeShown().isEmpty());
    const StatusList* lvw = m_form->lvw;
    QCOMPARE(rowCount(lvw), 3);
    for (int r = 0; r < 3; ++r) {
        const QPersistentModelIndex row = listRow(lvw, r);
        QVERIFY(sameImage(subItemIcon(row, 0), m_form->imgl.image(p.facts.rowImage)));
        QVERIFY(subItem(row, 0).isEmpty());
        QCOMPARE(subItem(row, StatusList::FileNo), QString::number(r + 1));
        QCOMPARE(subItem(row, StatusList::Path), files.at(r));
        QCOMPARE(subItem(row, StatusList::Status), p.facts.success);
        CHECKED(verifyOutput(p, files.at(r), key));
    }
    QCOMPARE(p.queue->count(), 0);
    QVERIFY(p.queue->currentText().isEmpty());
    CHECKED(verifyIdle(p, true));
    QVERIFY(!m_form->proglvw->isVisible());
    QCOMPARE(m_form->intProgressBase, 100);
    CHECKED(verifyInputsUnchanged());
    QStringList expected = m_inputs.keys();
    for (const QString& file : files)
        expected.append(p.outputOf(file));
    CHECKED(verifyFolderHolds(expected));

    // A click after the completed run finds the queue empty: the rows go and the run button is disabled.
    QTest::mouseClick(p.run, Qt::LeftButton);
    QCOMPARE(rowCount(lvw), 0);
    QVERIFY(!p.run->isEnabled());
    QVERIFY(Platform::MessageBox::takeShown().isEmpty());
}

void tst_Runs::failingFileKeepsItsStatus()
{
    const Panel p = panel(true);
    const QStringList files {makeFile(u"one"_s, testBytes(1200, 1)), makeFile(u"two"_s, testBytes(1300, 2)),
                             makeFile(u"three"_s, testBytes(1400, 3))};
    // A folder where the second output would go.
    QVERIFY(QDir(m_dir->path()).mkdir(u"two.enc"_s));
    CHECKED(enqueue(p, files));
    p.key->setText(u"k"_s);
    QTest::mouseClick(p.run, Qt::LeftButton);

    const auto shown = Platform::MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].style, 0);
    QVERIFY2(shown[0].text.endsWith(u"\r\n21\r\nIs a directory"_s), qPrintable(shown[0].text));
    const StatusList* lvw = m_form->lvw;
    QCOMPARE(rowCount(lvw), 3);
    QCOMPARE(subItem(listRow(lvw, 0), StatusList::Status), p.facts.success);
    QCOMPARE(subItem(listRow(lvw, 1), StatusList::Status), u"Is a directory"_s);
    QVERIFY(sameImage(subItemIcon(listRow(lvw, 1), StatusList::Status), m_form->imgl.image(u"error_small"_s)));
    QCOMPARE(subItem(listRow(lvw, 2), StatusList::Status), p.facts.success);
    CHECKED(verifyOutput(p, files[0], u"k"_s));
    CHECKED(verifyOutput(p, files[2], u"k"_s));
    QVERIFY(QFileInfo(p.outputOf(files[1])).isDir());
    CHECKED(verifyIdle(p, true));
    QCOMPARE(p.queue->count(), 0);
    CHECKED(verifyInputsUnchanged());
}

void tst_Runs::startRefusals_data()
{
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("queued");
    QTest::addColumn<bool>("runs");
    QTest::addColumn<bool>("runEnabledAfter");
    for (const bool encrypt : {true, false}) {
        const char* mode = encrypt ? "encrypt: " : "decrypt: ";
        QTest::addRow("%sempty key", mode) << encrypt << QString() << true << false << true;
        QTest::addRow("%skey of spaces", mode) << encrypt << u"   "_s << true << true << true;
        QTest::addRow("%sempty queue", mode) << encrypt << u"key"_s << false << false << false;
    }
}

void tst_Runs::startRefusals()
{
    QFETCH(bool, encrypt);
    QFETCH(QString, key);
    QFETCH(bool, queued);
    QFETCH(bool, runs);
    QFETCH(bool, runEnabledAfter);
    const Panel p = panel(encrypt);
    const QString file = makeFile(p.inputName(u"f"_s), testBytes(1100, 5));
    CHECKED(enqueue(p, queued ? QStringList {file} : QStringList {}));
    // Rows of an earlier run go whatever the click does next.
    m_form->lvw->addRow(m_form->imgl.image(1));
    p.key->setText(key);

    QTest::mouseClick(p.run, Qt::LeftButton);

    const auto shown = Platform::MessageBox::takeShown();
    if (key.isEmpty()) {
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, u"No key given!"_s);
        QCOMPARE(shown[0].style, 48);
    } else {
        QVERIFY(shown.isEmpty());
    }
    QCOMPARE(rowCount(m_form->lvw), runs ? 1 : 0);
    QCOMPARE(p.queue->count(), queued && !runs ? 1 : 0);
    CHECKED(verifyIdle(p, runEnabledAfter));
    if (runs)
        CHECKED(verifyOutput(p, file, key));
    else
        QVERIFY(!QFile::exists(p.outputOf(file)));
    CHECKED(verifyInputsUnchanged());
}

void tst_Runs::cancel_data()
{
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<int>("cancelledFile");
    QTest::addColumn<bool>("atLastCheckpoint");
    for (const bool encrypt : {true, false}) {
        const char* mode = encrypt ? "encrypt: " : "decrypt: ";
        QTest::addRow("%sduring file 2 of 5", mode) << encrypt << 2 << false;
        QTest::addRow("%sduring the last file", mode) << encrypt << 5 << false;
        QTest::addRow("%sat the last checkpoint of file 2", mode) << encrypt << 2 << true;
    }
}

void tst_Runs::cancel()
{
    QFETCH(bool, encrypt);
    QFETCH(int, cancelledFile);
    QFETCH(bool, atLastCheckpoint);
    const Panel p = panel(encrypt);
    // 1501 bytes: a checkpoint at every second byte, the last one at byte 1500 with the row bar at 100.
    QStringList files;
    for (int f = 1; f <= 5; ++f)
        files.append(makeFile(p.inputName(u"file%1"_s.arg(f)), testBytes(1501, f)));
    CHECKED(enqueue(p, files));
    p.key->setText(u"Schlüssel"_s);

    bool clicked = false;
    int rowsAfterCancel = 0;
    onYield([&] {
        if (clicked) {
            rowsAfterCancel = std::max(rowsAfterCancel, rowCount(m_form->lvw));
            return false;
        }
        if (rowCount(m_form->lvw) != cancelledFile)
            return false;
        if (atLastCheckpoint ? m_form->proglvw->value() < 100 : m_form->proglvw->value() < 40)
            return false;
        QTest::mouseClick(p.run, Qt::LeftButton);
        clicked = true;
        return false;
    });
    QTest::mouseClick(p.run, Qt::LeftButton);
    QVERIFY(clicked);

    QCOMPARE(rowsAfterCancel, 0);
    QCOMPARE(rowCount(m_form->lvw), 0);
    QCOMPARE(p.queue->count(), 0);
    CHECKED(verifyIdle(p, false));
    QVERIFY(!m_form->proglvw->isVisible());
    QVERIFY(Platform::MessageBox::takeShown().isEmpty());
    QStringList expected = files;
    for (int f = 1; f <= 5; ++f) {
        const QString input = files.at(f - 1);
        // A cancel in a file's last checkpoint comes too late for that file: it is still written whole.
        if (f < cancelledFile || (f == cancelledFile && atLastCheckpoint)) {
            CHECKED(verifyOutput(p, input, u"Schlüssel"_s));
            expected.append(p.outputOf(input));
        }
    }
    if (!atLastCheckpoint)
        QCOMPARE(p.bar->value(), 0);
    CHECKED(verifyFolderHolds(expected));
    CHECKED(verifyInputsUnchanged());

    // Back at rest: a further start runs over a newly queued file.
    CHECKED(enqueue(p, {files[4]}));
    QTest::mouseClick(p.run, Qt::LeftButton);
    QCOMPARE(subItem(listRow(m_form->lvw, 0), StatusList::Status), p.facts.success);
    CHECKED(verifyOutput(p, files[4], u"Schlüssel"_s));
}

void tst_Runs::cancelFromOtherMode_data()
{
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<bool>("startAgainInYield");
    QTest::newRow("encryption run, decrypt button") << true << false;
    QTest::newRow("decryption run, encrypt button") << false << false;
    // The cancelled run has not yet returned when its own button starts a new one.
    QTest::newRow("encryption run, decrypt button, encrypt again") << true << true;
    QTest::newRow("decryption run, encrypt button, decrypt again") << false << true;
}

void tst_Runs::cancelFromOtherMode()
{
    QFETCH(bool, encrypt);
    QFETCH(bool, startAgainInYield);
    const Panel running = panel(encrypt);
    const Panel clicked = other(running);
    CHECKED(enqueue(clicked, {makeFile(clicked.inputName(u"waiting"_s), testBytes(1200, 9))}));
    clicked.key->setText(u"other"_s);
    const QStringList files {makeFile(running.inputName(u"first"_s), testBytes(3000, 1)),
                             makeFile(running.inputName(u"second"_s), testBytes(3000, 2))};
    CHECKED(enqueue(running, files));
    running.key->setText(u"key"_s);

    onYield([&] {
        QTest::mouseClick(clicked.option, Qt::LeftButton);
        QTest::mouseClick(clicked.run, Qt::LeftButton);
        if (startAgainInYield) {
            QTest::mouseClick(running.option, Qt::LeftButton);
            QTest::mouseClick(running.run, Qt::LeftButton);
        }
        return true;
    });
    QTest::mouseClick(running.run, Qt::LeftButton);

    QVERIFY(Platform::MessageBox::takeShown().isEmpty());
    QCOMPARE(clicked.queue->count(), 0);
    CHECKED(verifyIdle(clicked, false));
    if (!startAgainInYield) {
        QCOMPARE(rowCount(m_form->lvw), 0);
        // The stopped run's panel is at rest too, with its queue kept: no button says "Cancel" while nothing runs.
        CHECKED(verifyIdle(running, true));
        QCOMPARE(running.queue->count(), 2);
        CHECKED(verifyFolderHolds(m_inputs.keys()));
        // A new click of the kept panel starts a run over its queue.
        QTest::mouseClick(running.option, Qt::LeftButton);
        QTest::mouseClick(running.run, Qt::LeftButton);
    }
    // One run over the kept queue, whole and alone: no row of the cancelled run, nothing written twice.
    QCOMPARE(rowCount(m_form->lvw), 2);
    for (int r = 0; r < 2; ++r) {
        QCOMPARE(subItem(listRow(m_form->lvw, r), StatusList::Path), files.at(r));
        QCOMPARE(subItem(listRow(m_form->lvw, r), StatusList::Status), running.facts.success);
        CHECKED(verifyOutput(running, files.at(r), u"key"_s));
    }
    CHECKED(verifyIdle(running, true));
    QCOMPARE(running.queue->count(), 0);
    QVERIFY(Platform::MessageBox::takeShown().isEmpty());
    CHECKED(verifyInputsUnchanged());
}

void tst_Runs::missingQueuedFile_data()
{
    QTest::addColumn<bool>("encrypt");
    QTest::newRow("encrypt") << true;
    QTest::newRow("decrypt") << false;
}

void tst_Runs::missingQueuedFile()
{
    QFETCH(bool, encrypt);
    const Panel p = panel(encrypt);
    const QStringList files {makeFile(p.inputName(u"present"_s), testBytes(1500, 1)),
                             makeFile(p.inputName(u"gone"_s), testBytes(1500, 2)),
                             makeFile(p.inputName(u"last"_s), testBytes(1500, 3))};
    CHECKED(enqueue(p, files));
    QVERIFY(QFile::remove(files[1]));
    m_inputs.remove(files[1]);
    p.key->setText(u"key"_s);

    QTest::mouseClick(p.run, Qt::LeftButton);

    const auto shown = Platform::MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, p.facts.errorLead + u"\r\n2\r\nNo such file or directory"_s);
    QCOMPARE(shown[0].style, 0);
    QCOMPARE(rowCount(m_form->lvw), 0);
    QCOMPARE(p.queue->count(), 3);
    // The message does not say which file it was: the queue box does.
    QCOMPARE(p.queue->currentIndex(), 1);
    QCOMPARE(p.queue->currentText(), files[1]);
    // The user can fix the queue: Add and Clear work again, and the run button still starts the queue.
    CHECKED(verifyIdle(p, true));
    QCOMPARE(m_form->blnCancel, False);
    QVERIFY(!QFile::exists(files[1]));
    CHECKED(verifyFolderHolds({files[0], files[2]}));
    CHECKED(verifyInputsUnchanged());
}

void tst_Runs::messageBeforeTheReset_data()
{
    QTest::addColumn<bool>("fileFails");
    QTest::newRow("the run's error exit, after a completed run") << false;
    QTest::newRow("a file's error path, halfway through the run") << true;
}

// An error's message shows over the window as the error found it: the bars, and the row's status, are put back
// only once the user has read it. Answered in the real message box while it is up.
void tst_Runs::messageBeforeTheReset()
{
    QFETCH(bool, fileFails);
    const Panel p = panel(true);
    const QString done = makeFile(u"done"_s, testBytes(3001, 1));
    const QString failing = makeFile(u"failing"_s, testBytes(3001, 2));
    p.key->setText(u"k"_s);
    if (fileFails) {
        QVERIFY(QDir(m_dir->path()).mkdir(u"failing.enc"_s));
        CHECKED(enqueue(p, {done, failing}));
    } else {
        // A completed run leaves its bar at 100; the next run's size pass finds its file gone.
        CHECKED(enqueue(p, {done}));
        QTest::mouseClick(p.run, Qt::LeftButton);
        QVERIFY(QFile::remove(failing));
        m_inputs.remove(failing);
        CHECKED(enqueue(p, {failing}));
    }
    int barWhileShown = -1;
    QString statusWhileShown;
    onYield([&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return false;
        barWhileShown = p.bar->value();
        statusWhileShown = subItem(m_form->itmCurrent, StatusList::Status);
        box->button(QMessageBox::Ok)->click();
        return true;
    });
    Platform::MessageBox::setRecording(false);
    QTest::mouseClick(p.run, Qt::LeftButton);
    Platform::MessageBox::setRecording(true);

    QCOMPARE(barWhileShown, fileFails ? 50 : 100);
    QCOMPARE(p.bar->value(), 0);
    if (fileFails) {
        QCOMPARE(statusWhileShown, u"Loading..."_s);
        QCOMPARE(subItem(listRow(m_form->lvw, 1), StatusList::Status), u"Is a directory"_s);
    }
    CHECKED(verifyIdle(p, true));
    CHECKED(verifyInputsUnchanged());
}

void tst_Runs::keyEditedDuringRun()
{
    const Panel p = panel(true);
    const QStringList files {makeFile(u"first"_s, testBytes(3000, 1)), makeFile(u"second"_s, testBytes(3000, 2))};
    CHECKED(enqueue(p, files));
    p.key->setText(u"before"_s);
    // As long as the old key, so only its bytes tell them apart.
    onYield([&] {
        p.key->selectAll();
        typeText(p.key, u"afterΩ"_s);
        return true;
    });
    QTest::mouseClick(p.run, Qt::LeftButton);

    QCOMPARE(p.key->text(), u"afterΩ"_s);
    CHECKED(verifyOutput(p, files[0], u"before"_s));
    CHECKED(verifyOutput(p, files[1], u"afterΩ"_s));
    CHECKED(verifyInputsUnchanged());
}

void tst_Runs::aboutHoldsTheRun()
{
    const Panel p = panel(true);
    const QStringList files {makeFile(u"big"_s, testBytes(2'000'000, 7))};
    CHECKED(enqueue(p, files));
    p.key->setText(u"key"_s);

    int rowAtOpen = -1, overallAtOpen = -1, rowLater = -1, overallLater = -1;
    bool aboutWasOpen = false;
    onYield([&] {
        if (m_form->proglvw->value() < 10)
            return false;
        m_yield.stop();
        // Inside About's modal loop the run stands still in its yield below; it goes on once About closes.
        QTimer::singleShot(0, this, [&] {
            rowAtOpen = m_form->proglvw->value();
            overallAtOpen = p.bar->value();
        });
        // Fifty passes of About's modal loop later, the run has not moved.
        auto* passes = new QTimer(this);
        connect(passes, &QTimer::timeout, this, [&, passes, count = 0]() mutable {
            if (++count < 50)
                return;
            passes->deleteLater();
            rowLater = m_form->proglvw->value();
            overallLater = p.bar->value();
            QWidget* about = QApplication::activeModalWidget();
            aboutWasOpen = about && about != m_form.get();
            if (about)
                about->close();
        });
        passes->start(0);
        QTest::mouseClick(m_form->findChild<QWidget*>(u"lblAbout"_s), Qt::LeftButton);
        return true;
    });
    QTest::mouseClick(p.run, Qt::LeftButton);

    QVERIFY(aboutWasOpen);
    QVERIFY(rowAtOpen >= 10 && rowAtOpen < 100);
    QCOMPARE(rowLater, rowAtOpen);
    QCOMPARE(overallLater, overallAtOpen);
    QCOMPARE(subItem(m_form->itmCurrent, StatusList::Status), p.facts.success);
    CHECKED(verifyOutput(p, files[0], u"key"_s));
    CHECKED(verifyInputsUnchanged());
}

void tst_Runs::progressBase_data()
{
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<QList<int>>("bases"); // when files 2 and 3 begin
    QTest::newRow("unequal") << QList<int> {1500, 3001, 7000} << QList<int> {13, 39};
    QTest::newRow("exact half goes down to even") << QList<int> {1010, 1010, 1980} << QList<int> {25, 50};
    QTest::newRow("exact half goes up to even") << QList<int> {1030, 1030, 1940} << QList<int> {26, 52};
    // Rounding each file's share alone would give 33, 66 and end at 99.
    QTest::newRow("thirds do not drift") << QList<int> {1500, 1500, 1500} << QList<int> {33, 67};
}

void tst_Runs::progressBase()
{
    QFETCH(QList<int>, sizes);
    QFETCH(QList<int>, bases);
    const Panel p = panel(true);
    QStringList files;
    for (int f = 0; f < sizes.size(); ++f)
        files.append(makeFile(u"f%1"_s.arg(f), testBytes(sizes[f], f)));
    CHECKED(enqueue(p, files));
    p.key->setText(u"key"_s);

    QList<int> seen;
    int highest = 0;
    onYield([&] {
        const int file = rowCount(m_form->lvw);
        if (file >= 2 && seen.size() < file - 1)
            seen.append(m_form->intProgressBase);
        highest = std::max(highest, p.bar->value());
        return false;
    });
    QTest::mouseClick(p.run, Qt::LeftButton);

    QCOMPARE(seen, bases);
    QCOMPARE(m_form->intProgressBase, 100);
    // The bar ends at the last checkpoint's value, which may lie just under 100.
    QVERIFY2(highest >= 99 && highest <= 100, qPrintable(QString::number(highest)));
}

void tst_Runs::fileChangedAfterMeasuring()
{
    const Panel p = panel(true);
    const QStringList files {makeFile(u"first"_s, testBytes(1501, 1)), makeFile(u"second"_s, testBytes(1501, 2))};
    CHECKED(enqueue(p, files));
    p.key->setText(u"key"_s);
    // The second file grows after the run measured it: the run would count one file and write another.
    onYield([&] {
        makeFile(u"second"_s, testBytes(6001, 4));
        return true;
    });
    QTest::mouseClick(p.run, Qt::LeftButton);

    const auto shown = Platform::MessageBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].text.endsWith(u"\r\n16\r\nThe file changed while it was being read"_s),
             qPrintable(shown[0].text));
    const StatusList* lvw = m_form->lvw;
    QCOMPARE(subItem(listRow(lvw, 1), StatusList::Status), u"The file changed while it was being read"_s);
    QVERIFY(sameImage(subItemIcon(listRow(lvw, 1), StatusList::Status), m_form->imgl.image(u"error_small"_s)));
    CHECKED(verifyOutput(p, files[0], u"key"_s));
    CHECKED(verifyFolderHolds(QStringList(m_inputs.keys()) << p.outputOf(files[0])));
    CHECKED(verifyInputsUnchanged());
}

void tst_Runs::cancelBetweenSmallFiles()
{
    const Panel p = panel(true);
    QStringList files;
    for (int f = 0; f < 300; ++f)
        files.append(makeFile(u"f%1"_s.arg(f), testBytes(1001, f)));
    CHECKED(enqueue(p, files));
    p.key->setText(u"key"_s);
    // Files of 1001 bytes never yield inside: the first yield is the one after the first file.
    onYield([&] {
        QTest::mouseClick(p.run, Qt::LeftButton);
        return true;
    });
    QTest::mouseClick(p.run, Qt::LeftButton);

    QCOMPARE(rowCount(m_form->lvw), 0);
    QCOMPARE(p.queue->count(), 0);
    CHECKED(verifyIdle(p, false));
    QVERIFY(Platform::MessageBox::takeShown().isEmpty());
    CHECKED(verifyOutput(p, files[0], u"key"_s));
    CHECKED(verifyFolderHolds(QStringList(m_inputs.keys()) << p.outputOf(files[0])));
    CHECKED(verifyInputsUnchanged());
}

void tst_Runs::listFollowsFileInWork()
{
    const Panel p = panel(true);
    QStringList files;
    for (int f = 0; f < 14; ++f)
        files.append(makeFile(u"f%1"_s.arg(f), testBytes(1100, f)));
    CHECKED(enqueue(p, files));
    p.key->setText(u"key"_s);
    int yields = 0;
    int outOfSight = 0;
    onYield([&] {
        ++yields;
        if (!m_form->lvw->viewport()->rect().intersects(m_form->lvw->visualRect(m_form->itmCurrent)))
            ++outOfSight;
        return false;
    });
    QTest::mouseClick(p.run, Qt::LeftButton);

    QVERIFY(yields > 0);
    QCOMPARE(outOfSight, 0);
}

// A run with key presses alone, each sent to the control that has the focus: Tab walks the panel in its order,
// the first file is written, and the run is cancelled in the second, where the run button is named "Cancel".
void tst_Runs::keyboardOnly()
{
    const Panel p = panel(true);
    const QStringList files {makeFile(u"done"_s, testBytes(1200, 1)), makeFile(u"cancelled"_s, testBytes(1501, 2))};
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    const auto press = [](Qt::Key key) {
        QTest::keyClick(QApplication::focusWidget(), key);
    };
    QStringList order;
    const auto tab = [&](int times) {
        for (int n = 0; n < times; ++n) {
            press(Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
    };
    tab(2);
    Platform::FileDialog::setNextFileNames(files);
    press(Qt::Key_Space);
    tab(2);
    typeText(QApplication::focusWidget(), u"Kéy"_s);
    tab(2);
    QCOMPARE(order,
             QStringList({u"cmbFilesEnc"_s, u"cmdAddEnc"_s, u"CmdClearEnc"_s, u"txtKeyEnc"_s, u"cmdAutoKey"_s,
                          u"cmdEncrypt"_s}));
    QStringList busy;
    onYield([&] {
        if (rowCount(m_form->lvw) < 2 || m_form->proglvw->value() < 40)
            return false;
        busy << p.run->accessibleName() << p.run->accessibleDescription();
        press(Qt::Key_Space);
        return true;
    });
    press(Qt::Key_Return);

    QCOMPARE(busy, QStringList({BusyLabel, BusyDesc}));
    CHECKED(verifyOutput(p, files[0], u"Kéy"_s));
    QVERIFY(!QFile::exists(p.outputOf(files[1])));
    CHECKED(verifyIdle(p, false));
    QCOMPARE(p.run->accessibleName(), p.facts.idleLabel);
}

void tst_Runs::screenShowsTheLastState_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("completed") << false;
    QTest::newRow("cancelled between small files") << true;
}

// The window paints at most once a frame during a run, and what it holds back still reaches the screen: within
// the yield where a cancel empties the list, and when the run ends. No stale row stays in sight. (The bars are left
// out: a bar repaints itself only once its value has moved by a chunk of its drawing.)
void tst_Runs::screenShowsTheLastState()
{
    QFETCH(bool, cancel);
    if (m_form->screen()->grabWindow(m_form->winId()).size() != m_form->size() * m_form->devicePixelRatio())
        QSKIP("This platform grabs a scaled window at another scale");
    const Panel p = panel(true);
    QStringList files;
    for (int f = 0; f < 200; ++f)
        files.append(makeFile(u"f%1"_s.arg(f), testBytes(f % 10 == 4 ? 1100 : 700, f)));
    CHECKED(enqueue(p, files));
    p.key->setText(u"key"_s);
    bool emptiedOnScreen = false;
    if (cancel) {
        onYield([&] {
            if (rowCount(m_form->lvw) < 50)
                return false;
            m_yield.stop();
            QTest::mouseClick(p.run, Qt::LeftButton);
            emptiedOnScreen = QTest::qWaitFor([&] { return onScreenAsDrawn(m_form.get(), m_form->lvw); });
            return true;
        });
    }
    QTest::mouseClick(p.run, Qt::LeftButton);

    const StatusList* lvw = m_form->lvw;
    QCOMPARE(rowCount(lvw), cancel ? 0 : files.size());
    QCOMPARE(emptiedOnScreen, cancel);
    // The list followed the files to the last, one too short to show its bar.
    if (!cancel)
        QVERIFY(lvw->viewport()->rect().intersects(lvw->visualRect(listRow(lvw, rowCount(lvw) - 1))));
    QTRY_VERIFY(onScreenAsDrawn(m_form.get(), lvw));
}

// A cancel click that returns at once, without waiting in the run's yield: when the run's click returns, the screen
// already shows the emptied list and the panel at rest, with no further pass of the event loop.
void tst_Runs::screenShowsACancelAtOnce()
{
    if (m_form->screen()->grabWindow(m_form->winId()).size() != m_form->size() * m_form->devicePixelRatio())
        QSKIP("This platform grabs a scaled window at another scale");
    const Panel p = panel(false);
    QStringList files;
    for (int f = 1; f <= 5; ++f)
        files.append(makeFile(p.inputName(u"file%1"_s.arg(f)), testBytes(1501, f)));
    CHECKED(enqueue(p, files));
    p.key->setText(u"key"_s);
    onYield([&] {
        if (rowCount(m_form->lvw) < 2 || m_form->proglvw->value() < 40)
            return false;
        QTest::mouseClick(p.run, Qt::LeftButton);
        return true;
    });
    QTest::mouseClick(p.run, Qt::LeftButton);

    QCOMPARE(rowCount(m_form->lvw), 0);
    CHECKED(verifyIdle(p, false));
    for (const QWidget* shown : std::initializer_list<const QWidget*> {m_form->lvw, p.run, p.label, p.desc})
        QVERIFY2(onScreenAsDrawn(m_form.get(), shown), qPrintable(shown->objectName()));
}

// Inside the frame that stands in for Qt's title bar on Wayland, the window is no longer the top-level one that
// paint requests go to: a run still paints its bars about once a frame, not at every move.
void tst_Runs::pacedInsideTheTitleFrame()
{
    const Panel p = panel(true);
    // A checkpoint at every byte: each file moves the bars about a hundred times.
    QStringList files;
    for (int f = 0; f < 3; ++f)
        files.append(makeFile(u"f%1"_s.arg(f), testBytes(1500, f)));
    CHECKED(enqueue(p, files));
    p.key->setText(u"key"_s);
    TitleFrame frame(m_form.get());
    const auto unframe = qScopeGuard([this] { m_form->setParent(nullptr); });
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const PaintCounter bar(p.bar);

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(p.run, Qt::LeftButton);
    // At most one paint a frame, and one each when the run ends and when its pacer goes.
    const qint64 frames = clock.elapsed() / 16 + 1;

    QVERIFY2(bar.paints <= frames + 2, qPrintable(u"%1 paints in %2 frames"_s.arg(bar.paints).arg(frames)));
    for (const QString& file : files)
        CHECKED(verifyOutput(p, file, u"key"_s));
}

void tst_Runs::closeDuringRun()
{
    const Panel p = panel(true);
    // Larger than one read chunk, so the close lands in the middle of the transform.
    const QStringList files {makeFile(u"big"_s, testBytes(9 << 20, 1)), makeFile(u"next"_s, testBytes(3000, 2))};
    CHECKED(enqueue(p, files));
    p.key->setText(u"key"_s);
    bool closed = false;
    onYield([&] {
        if (m_form->proglvw->value() < 30)
            return false;
        closed = m_form->close();
        return true;
    });
    QTest::mouseClick(p.run, Qt::LeftButton);

    QVERIFY(closed);
    QVERIFY(!m_form->isVisible());
    // The run stopped in the first file and never began the second.
    QCOMPARE(rowCount(m_form->lvw), 1);
    CHECKED(verifyFolderHolds(files));
    CHECKED(verifyInputsUnchanged());
}

QTEST_MAIN(tst_Runs)
#include "tst_runs.moc"
