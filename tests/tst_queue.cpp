// SPDX-License-Identifier: GPL-3.0-or-later

#include "FileHelpers.h"
#include "WidgetHelpers.h"
#include "app/Main.h"
#include "app/frmMain.h"
#include "platform/FileDialog.h"
#include "widgets/StatusList.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <optional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using Platform::FileDialog;

namespace {

enum Mode
{
    Encrypt,
    Decrypt
};

const ModeFacts& names(int mode)
{
    return modeFacts(mode == Encrypt);
}

QStringList queueEntries(const QComboBox* queue)
{
    QStringList list;
    for (int i = 0; i < queue->count(); ++i)
        list.append(queue->itemText(i));
    return list;
}

} // namespace

class tst_Queue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void addRequestsEachModesDialog_data();
    void addRequestsEachModesDialog();
    void addQueuesChosenFiles_data();
    void addQueuesChosenFiles();
    void wholeLongSelectionIsQueued_data();
    void wholeLongSelectionIsQueued();
    void typedTextIsNoEntry();
    void clearEmptiesOnlyTheQueue_data();
    void clearEmptiesOnlyTheQueue();
    void nextAddOpensInFolderOfLastChoice_data();
    void nextAddOpensInFolderOfLastChoice();
    void realDialogQueuesTypedPath_data();
    void realDialogQueuesTypedPath();
    void realDialogQueuesWholeSelection();

    void droppedFilesJoinTheQueue_data();
    void droppedFilesJoinTheQueue();
    void dropIsRefused_data();
    void dropIsRefused();
    void textDraggedIntoKeyStaysText();
    void clicksWhileAFolderFills_data();
    void clicksWhileAFolderFills();

    void autoReplacesOnlyTheEncryptKey();
    void clicksInOneMillisecondGiveDifferentKeys();

private:
    template<typename W = QWidget> W* control(const char* name) const { return ::control<W>(m_form.get(), name); }
    QComboBox* queue(int mode) const { return control<QComboBox>(names(mode).queue); }
    void showMode(int mode);
    void clickAdd(int mode) { QTest::mouseClick(control(names(mode).add), Qt::LeftButton); }
    QStringList autoKeys(int count);
    void whenFileDialogOpens(const std::function<void(QFileDialog*)>& act, int triesLeft = 500);

    std::optional<RecordedSeams> m_seams;
    std::unique_ptr<frmMain> m_form;
    QTemporaryDir m_dir;
    QString m_startFolder;
    QString m_config;
    QStringList m_largeFolder; // its files in the walk's order, once a test has made it
};

void tst_Queue::initTestCase()
{
    SetUpApplication();
    QVERIFY(m_dir.isValid());
    m_startFolder = QDir::currentPath();
    // The user's configuration folder, where Qt's dialogs keep their settings: the test's own, set before anything
    // reads settings (Qt looks it up once).
    m_config = m_dir.filePath(u"config"_s);
    QVERIFY(QDir().mkpath(m_config));
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config));
}

void tst_Queue::init()
{
    m_seams.emplace();
    QVERIFY(QDir::setCurrent(m_startFolder));
    m_form = std::make_unique<frmMain>();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void tst_Queue::cleanup()
{
    m_form.reset();
    m_seams.reset();
    QDir::setCurrent(m_startFolder);
}

void tst_Queue::showMode(int mode)
{
    QTest::mouseClick(control(mode == Encrypt ? "optEnc" : "optDec"), Qt::LeftButton);
    QVERIFY(control(names(mode).panel)->isVisible());
}

void tst_Queue::addRequestsEachModesDialog_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("encrypt") << int(Encrypt);
    QTest::newRow("decrypt") << int(Decrypt);
}

void tst_Queue::addRequestsEachModesDialog()
{
    QFETCH(int, mode);
    showMode(mode);
    clickAdd(mode);
    const QList<Platform::OpenFileRequest> requests = FileDialog::takeRequests();
    QCOMPARE(requests.size(), 1);
    const Platform::OpenFileRequest& r = requests.first();
    QCOMPARE(r.owner, m_form.get());
    QCOMPARE(r.title, names(mode).dialogTitle);
    QCOMPARE(r.filterDescription, names(mode).filterDescription);
    QCOMPARE(r.filterPattern, names(mode).filterPattern);
    QCOMPARE(r.initialFolder, QDir::currentPath());
}

void tst_Queue::addQueuesChosenFiles_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<QStringList>>("answers"); // one per click on Add; empty = cancelled
    QTest::addColumn<QStringList>("expected");

    const QString a = u"/data/in/a.txt"_s, b = u"/data/in/b b.txt"_s, c = u"/data/in/c.enc"_s;
    for (int mode : {Encrypt, Decrypt}) {
        const char* name = mode == Encrypt ? "encrypt" : "decrypt";
        QTest::addRow("%s one file", name) << mode << QList<QStringList> {{a}} << QStringList {a};
        QTest::addRow("%s three files in one folder", name)
            << mode << QList<QStringList> {{a, b, c}} << QStringList {a, b, c};
        QTest::addRow("%s same file twice", name) << mode << QList<QStringList> {{c}, {c}} << QStringList {c, c};
        QTest::addRow("%s cancelled", name) << mode << QList<QStringList> {{}} << QStringList {};
        QTest::addRow("%s cancel keeps earlier", name) << mode << QList<QStringList> {{a, b}, {}} << QStringList {a, b};
    }
}

void tst_Queue::addQueuesChosenFiles()
{
    QFETCH(int, mode);
    QFETCH(QList<QStringList>, answers);
    QFETCH(QStringList, expected);
    showMode(mode);
    const int other = mode == Encrypt ? Decrypt : Encrypt;

    QString shown;
    for (const QStringList& answer : answers) {
        FileDialog::setNextFileNames(answer);
        clickAdd(mode);
        if (!answer.isEmpty())
            shown = answer.last();
    }
    QCOMPARE(queueEntries(queue(mode)), expected);
    QCOMPARE(queue(mode)->currentText(), shown);
    // Every Add enables the run button, a cancelled one too; the other mode is left alone.
    QVERIFY(control(names(mode).run)->isEnabled());
    QVERIFY(!control(names(other).run)->isEnabled());
    QCOMPARE(queue(other)->count(), 0);
}

void tst_Queue::wholeLongSelectionIsQueued_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("decrypt") << int(Decrypt);
    QTest::newRow("encrypt") << int(Encrypt);
}

void tst_Queue::wholeLongSelectionIsQueued()
{
    QFETCH(int, mode);
    showMode(mode);
    QStringList chosen;
    for (int i = 0; i < 400; ++i)
        chosen.append(u"/archive/"_s + QString(180, u'n') + QString::number(i) + u".enc"_s);
    FileDialog::setNextFileNames(chosen);
    clickAdd(mode);
    QCOMPARE(queueEntries(queue(mode)), chosen);
    QCOMPARE(queue(mode)->currentText(), chosen.last());
}

void tst_Queue::typedTextIsNoEntry()
{
    QComboBox* files = queue(Encrypt);
    FileDialog::setNextFileNames({u"/data/a.txt"_s});
    clickAdd(Encrypt);
    QTest::keyClick(files->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(files->lineEdit(), u"/etc/typed"_s);
    QTest::keyClick(files->lineEdit(), Qt::Key_Return);
    QCOMPARE(files->currentText(), u"/etc/typed"_s);
    FileDialog::setNextFileNames({u"/data/b.txt"_s});
    clickAdd(Encrypt);
    QCOMPARE(queueEntries(files), (QStringList {u"/data/a.txt"_s, u"/data/b.txt"_s}));
    QCOMPARE(files->currentText(), u"/data/b.txt"_s);
}

void tst_Queue::clearEmptiesOnlyTheQueue_data()
{
    addRequestsEachModesDialog_data();
}

void tst_Queue::clearEmptiesOnlyTheQueue()
{
    QFETCH(int, mode);
    const int other = mode == Encrypt ? Decrypt : Encrypt;
    showMode(other);
    FileDialog::setNextFileNames({u"/data/other.enc"_s});
    clickAdd(other);
    showMode(mode);
    FileDialog::setNextFileNames({u"/data/a.enc"_s, u"/data/b.enc"_s});
    clickAdd(mode);
    auto* key = control<QLineEdit>(mode == Encrypt ? "txtKeyEnc" : "txtKeyDec");
    QTest::keyClicks(key, u"secret"_s);
    m_form->lvw->addRow(QIcon());
    m_form->lngTotalBytes = 5000;
    m_form->lngFileBytes = 1200;

    QTest::mouseClick(control(names(mode).clear), Qt::LeftButton);
    QCOMPARE(queue(mode)->count(), 0);
    QCOMPARE(queue(mode)->currentText(), QString());
    QCOMPARE(m_form->lngTotalBytes, 0);
    QCOMPARE(m_form->lngFileBytes, 0);
    QVERIFY(control(names(mode).run)->isEnabled());
    QCOMPARE(key->text(), u"secret"_s);
    QCOMPARE(rowCount(m_form->lvw), 1);
    QCOMPARE(queueEntries(queue(other)), QStringList {u"/data/other.enc"_s});
}

void tst_Queue::nextAddOpensInFolderOfLastChoice_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::newRow("encrypt, then encrypt") << int(Encrypt) << int(Encrypt);
    QTest::newRow("encrypt, then decrypt") << int(Encrypt) << int(Decrypt);
    QTest::newRow("decrypt, then encrypt") << int(Decrypt) << int(Encrypt);
}

void tst_Queue::nextAddOpensInFolderOfLastChoice()
{
    QFETCH(int, first);
    QFETCH(int, second);
    const QString folder = m_dir.filePath(u"chosen"_s);
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(putFile(folder + u"/one.enc"_s, "x"));
    QVERIFY(putFile(folder + u"/two.enc"_s, "x"));

    showMode(first);
    FileDialog::setNextFileNames({folder + u"/one.enc"_s, folder + u"/two.enc"_s});
    clickAdd(first);
    // A cancelled Add in between moves nothing.
    clickAdd(first);
    showMode(second);
    clickAdd(second);

    const QList<Platform::OpenFileRequest> requests = FileDialog::takeRequests();
    QCOMPARE(requests.size(), 3);
    QCOMPARE(requests[0].initialFolder, m_startFolder);
    QCOMPARE(QFileInfo(requests[1].initialFolder).canonicalFilePath(), QFileInfo(folder).canonicalFilePath());
    QCOMPARE(QFileInfo(requests[2].initialFolder).canonicalFilePath(), QFileInfo(folder).canonicalFilePath());
    // Only remembered: the process stays where it was started, so the chosen folder's disk can be ejected.
    QCOMPARE(QDir::currentPath(), m_startFolder);
}

// Runs act on the open-file dialog once it shows. A dialog still open ten seconds later (an answer it refused)
// is closed, so that the test fails instead of blocking.
void tst_Queue::whenFileDialogOpens(const std::function<void(QFileDialog*)>& act, int triesLeft)
{
    QTimer::singleShot(20, this, [this, act, triesLeft] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (triesLeft > 0)
                whenFileDialogOpens(act, triesLeft - 1);
            return;
        }
        QTimer::singleShot(10000, dialog, [] {
            for (int i = 0; i < 3 && QApplication::activeModalWidget(); ++i)
                QApplication::activeModalWidget()->close();
        });
        act(dialog);
    });
}

void tst_Queue::realDialogQueuesTypedPath_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("fileName");
    // What other programs keep in the settings file all Qt programs share, laid out as Qt never writes it.
    QTest::addColumn<QByteArray>("shared");
    QTest::newRow("encrypt") << int(Encrypt) << u"plain report.txt"_s
                             << QByteArray("; by hand\n[Qt]\nb=1\na = 2\n\n[FileDialog]\nlastVisited=file:///srv\n");
    QTest::newRow("decrypt, no settings file") << int(Decrypt) << u"sealed.enc"_s << QByteArray();
}

void tst_Queue::realDialogQueuesTypedPath()
{
    QFETCH(int, mode);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, shared);
    m_seams.reset(); // the real dialog
    const QString path = m_dir.filePath(fileName);
    QVERIFY(putFile(path, "x"));
    showMode(mode);
    const QString settings = m_config + u"/QtProject.conf"_s;
    QCOMPARE(QSettings(QSettings::NativeFormat, QSettings::UserScope, u"QtProject"_s).fileName(), settings);
    QFile::remove(settings);
    if (!shared.isEmpty())
        QVERIFY(putFile(settings, shared));

    QString title, folder;
    QStringList filters;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    whenFileDialogOpens([&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        folder = dialog->directory().absolutePath();
        filters = dialog->nameFilters();
        fileMode = dialog->fileMode();
        auto* name = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s);
        QVERIFY(name);
        // Typed as a user types: into the focused field of the active dialog.
        QApplication::setActiveWindow(dialog);
        name->setFocus();
        QTRY_VERIFY(name->hasFocus());
        QTest::keyClicks(name, path);
        QTest::keyClick(name, Qt::Key_Return);
    });
    clickAdd(mode);

    QCOMPARE(title, names(mode).dialogTitle);
    QCOMPARE(folder, QDir::cleanPath(m_startFolder));
    QCOMPARE(filters.size(), 1);
    QVERIFY(filters.first().startsWith(names(mode).filterDescription));
    QCOMPARE(fileMode, QFileDialog::ExistingFiles);
    QCOMPARE(queueEntries(queue(mode)), QStringList {path});
    QCOMPARE(queue(mode)->currentText(), path);
    QVERIFY(control(names(mode).run)->isEnabled());
    // No folder history: the shared file is as it was, or still not there, and nothing else was made beside it.
    QCOMPARE(readAll(settings), shared);
    QCOMPARE(entries(m_config), shared.isEmpty() ? QStringList() : QStringList {u"QtProject.conf"_s});
}

void tst_Queue::realDialogQueuesWholeSelection()
{
    m_seams.reset(); // the real dialog
    const QString folder = m_dir.filePath(u"many"_s);
    QVERIFY(QDir().mkpath(folder));
    QStringList expected;
    for (int i = 0; i < 400; ++i) {
        const QString path = folder + u'/' + QString(120, u'e') + u'-' + QString::number(1000 + i) + u".enc"_s;
        QVERIFY(putFile(path, "x"));
        expected.append(path);
    }
    QVERIFY(QDir::setCurrent(folder));
    showMode(Decrypt);

    // Quoted, the names overflow the dialog's name field (32767 characters); the answer must still hold them all.
    int listed = 0;
    whenFileDialogOpens([&](QFileDialog* dialog) {
        auto* view = dialog->findChild<QListView*>(u"listView"_s);
        QVERIFY(view);
        // The folder is read in the background; choose once every file is listed.
        QTRY_COMPARE_WITH_TIMEOUT(view->model()->rowCount(view->rootIndex()), 400, 10000);
        listed = view->model()->rowCount(view->rootIndex());
        QApplication::setActiveWindow(dialog);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        auto* buttons = dialog->findChild<QDialogButtonBox*>(u"buttonBox"_s);
        QVERIFY(buttons);
        QTest::mouseClick(buttons->button(QDialogButtonBox::Open), Qt::LeftButton);
    });
    QTest::mouseClick(control("CmdAddDec"), Qt::LeftButton);

    QCOMPARE(listed, 400);
    QStringList queued = queueEntries(queue(Decrypt));
    queued.sort();
    QCOMPARE(queued, expected);
}

void tst_Queue::droppedFilesJoinTheQueue_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("target");
    QTest::newRow("encrypt panel") << int(Encrypt) << u"fraEncrypt"_s;
    QTest::newRow("decrypt panel") << int(Decrypt) << u"fraDecrypt"_s;
    QTest::newRow("encrypt queue field") << int(Encrypt) << u"cmbFilesEnc"_s;
    QTest::newRow("decrypt key field") << int(Decrypt) << u"txtKeyDec"_s;
}

void tst_Queue::droppedFilesJoinTheQueue()
{
    QFETCH(int, mode);
    QFETCH(QString, target);
    showMode(mode);
    const QString folder = m_dir.filePath(u"dropped"_s);
    QVERIFY(QDir().mkpath(folder + u"/sub"_s));
    const QString first = folder + u"/z first.bin"_s, second = folder + u"/a second.enc"_s;
    const QString inSub = folder + u"/sub/c.enc"_s;
    for (const QString& file : {first, second, inSub})
        QVERIFY(putFile(file, "x"));
    FileDialog::setNextFileNames({u"/data/earlier.enc"_s});
    clickAdd(mode);
    control(names(mode).run)->setEnabled(false);

    QWidget* widget = m_form->findChild<QWidget*>(target);
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        widget = combo->lineEdit();
    QVERIFY(sendDrag(widget,
                     {QUrl::fromLocalFile(first), QUrl::fromLocalFile(folder + u"/sub"_s),
                      QUrl(u"https://example.org/remote.enc"_s), QUrl::fromLocalFile(second)}));

    // A folder takes its place in the order dropped, as the files its walk finds.
    QCOMPARE(queueEntries(queue(mode)), (QStringList {u"/data/earlier.enc"_s, first, inSub, second}));
    QCOMPARE(queue(mode)->currentText(), second);
    QVERIFY(control(names(mode).run)->isEnabled());
    QCOMPARE(control<QLineEdit>("txtKeyDec")->text(), QString());
    clickAdd(mode);
    QCOMPARE(QFileInfo(FileDialog::takeRequests().last().initialFolder).canonicalFilePath(),
             QFileInfo(folder).canonicalFilePath());
}

void tst_Queue::dropIsRefused_data()
{
    QTest::addColumn<bool>("addEnabled");
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<int>("actions");
    const QString file = m_dir.filePath(u"refused.enc"_s);
    QVERIFY(putFile(file, "x"));
    const int copyOrMove = Qt::CopyAction | Qt::MoveAction;
    QTest::newRow("Add disabled") << false << QList<QUrl> {QUrl::fromLocalFile(file)} << copyOrMove;
    const QString pipe = m_dir.filePath(u"pipe"_s);
    QVERIFY(QFileInfo::exists(pipe) || ::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    QTest::newRow("pipe only") << true << QList<QUrl> {QUrl::fromLocalFile(pipe)} << copyOrMove;
    QTest::newRow("remote only") << true << QList<QUrl> {QUrl(u"ftp://example.org/x.enc"_s)} << copyOrMove;
    QTest::newRow("missing file") << true << QList<QUrl> {QUrl::fromLocalFile(m_dir.filePath(u"gone"_s))} << copyOrMove;
    QTest::newRow("move only") << true << QList<QUrl> {QUrl::fromLocalFile(file)} << int(Qt::MoveAction);
}

void tst_Queue::dropIsRefused()
{
    QFETCH(bool, addEnabled);
    QFETCH(QList<QUrl>, urls);
    QFETCH(int, actions);
    for (int mode : {Encrypt, Decrypt}) {
        showMode(mode);
        control(names(mode).add)->setEnabled(addEnabled);
        for (QWidget* target : {control(names(mode).panel), static_cast<QWidget*>(queue(mode)->lineEdit())})
            QVERIFY(!sendDrag(target, urls, Qt::DropActions(actions)));
        QCOMPARE(queue(mode)->count(), 0);
        QCOMPARE(queue(mode)->currentText(), QString());
        QVERIFY(!control(names(mode).run)->isEnabled());
    }
}

void tst_Queue::textDraggedIntoKeyStaysText()
{
    auto* key = control<QLineEdit>("txtKeyEnc");
    QMimeData data;
    data.setText(u"dragged key"_s);
    QDragEnterEvent enter(key->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(key, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(key->rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(key, &drop);
    QCOMPARE(key->text(), u"dragged key"_s);
    QCOMPARE(queue(Encrypt)->count(), 0);
}

void tst_Queue::clicksWhileAFolderFills_data()
{
    QTest::addColumn<QString>("click");
    for (const char* click : {"Clear", "drop", "Add", "close"})
        QTest::newRow(click) << QString::fromLatin1(click);
}

// A folder large enough to take many slices of the event loop, and what a click among them does.
void tst_Queue::clicksWhileAFolderFills()
{
    QFETCH(QString, click);
    const QString folder = m_dir.filePath(u"large"_s);
    if (m_largeFolder.isEmpty()) {
        QVERIFY(QDir().mkpath(folder));
        for (int f = 0; f < 20000; ++f)
            m_largeFolder.append(folder + u"/%1"_s.arg(f, 5, 10, QChar(u'0')));
        for (const QString& file : std::as_const(m_largeFolder))
            QVERIFY(putFile(file, {}));
    }
    const QString later = m_dir.filePath(u"later.bin"_s);
    QVERIFY(putFile(later, "x"));
    auto* run = control(names(Encrypt).run);
    QVERIFY(sendDrag(control(names(Encrypt).panel), {QUrl::fromLocalFile(folder)}));
    // Still filling: no run can start over half a folder.
    const int first = queue(Encrypt)->count();
    QVERIFY2(first < m_largeFolder.size() && !run->isEnabled(), qPrintable(QString::number(first)));

    QStringList expected = m_largeFolder;
    if (click == u"Clear"_s) {
        QTest::mouseClick(control(names(Encrypt).clear), Qt::LeftButton);
        expected.clear();
    } else if (click == u"drop"_s) {
        QVERIFY(sendDrag(control(names(Encrypt).panel), {QUrl::fromLocalFile(later)}));
        expected.append(later);
    } else if (click == u"Add"_s) {
        FileDialog::setNextFileNames({later});
        clickAdd(Encrypt);
        expected.append(later);
    } else {
        QVERIFY(m_form->close());
        expected = expected.first(first);
    }
    // Files given meanwhile wait behind the folder; nothing of it joins after Clear, nor after the window closed.
    QTRY_VERIFY(run->isEnabled());
    QCoreApplication::processEvents();
    QCOMPARE(queueEntries(queue(Encrypt)), expected);
    QCOMPARE(Platform::MessageBox::takeShown().size(), 0);
}

QStringList tst_Queue::autoKeys(int count)
{
    auto* button = control<QPushButton>("cmdAutoKey");
    auto* key = control<QLineEdit>("txtKeyEnc");
    QStringList keys;
    keys.reserve(count);
    for (int i = 0; i < count; ++i) {
        button->click();
        keys.append(key->text());
    }
    return keys;
}

void tst_Queue::autoReplacesOnlyTheEncryptKey()
{
    auto* encryptKey = control<QLineEdit>("txtKeyEnc");
    auto* decryptKey = control<QLineEdit>("txtKeyDec");
    decryptKey->setText(u"decrypt key"_s);
    QTest::keyClicks(encryptKey, u"a much longer typed key that Auto must replace"_s);
    QTest::mouseClick(control("cmdAutoKey"), Qt::LeftButton);
    QCOMPARE(encryptKey->text().size(), 19);
    QVERIFY(!encryptKey->text().contains(u"replace"_s));
    QCOMPARE(decryptKey->text(), u"decrypt key"_s);
    // Usable in either mode's view, and from a decrypt-mode view it still writes only the encrypt key.
    showMode(Decrypt);
    autoKeys(50);
    QCOMPARE(decryptKey->text(), u"decrypt key"_s);
    QVERIFY(control("cmdAutoKey")->isEnabled());
}

void tst_Queue::clicksInOneMillisecondGiveDifferentKeys()
{
    // Clicks in a row come far closer than a clock's tick: a key seeded from the time would repeat.
    const QStringList keys = autoKeys(500);
    QCOMPARE(QSet<QString>(keys.cbegin(), keys.cend()).size(), keys.size());
}

QTEST_MAIN(tst_Queue)
#include "tst_queue.moc"
