// SPDX-License-Identifier: GPL-3.0-or-later

// Starting Zafrel with files: the start-up that main() runs, in this process, and the built program as the later
// starts that hand their files to this test's window. The channel's messages are written out here byte by byte.

#include "FileHelpers.h"
#include "WidgetHelpers.h"
#include "app/CommandLine.h"
#include "app/Main.h"
#include "app/frmMain.h"
#include "platform/InstanceChannel.h"

#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QLineEdit>
#include <QLocalSocket>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// An X display that no server serves here: ":99", unless a virtual display of the tests took it.
QString unservedDisplay()
{
    int display = 99;
    while (QFileInfo::exists(u"/tmp/.X11-unix/X%1"_s.arg(display))
           || QFileInfo::exists(u"/tmp/.X%1-lock"_s.arg(display)))
        ++display;
    return u":%1"_s.arg(display);
}

QStringList words(const char* line)
{
    return QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts);
}

QByteArray framed(const QByteArray& body)
{
    const auto n = quint32(body.size());
    const char length[] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    return QByteArray(length, sizeof length) + body;
}

// A message of the channel: "ZFRL", the version, its kind, then each path in UTF-8 with a NUL after it.
QByteArray message(char kind, const QStringList& paths = {}, char version = 1)
{
    QByteArray body = "ZFRL"_ba + version + kind;
    for (const QString& path : paths)
        body += path.toUtf8() + '\0';
    return framed(body);
}

const QByteArray Taken = message('K');

// In a child process, as `uid` when one is given: connects to `address`, sends `bytes` and waits for an answer.
// Exit status 2 when it could not connect, 1 when an answer came, 0 when the window hung up instead.
pid_t sendFromChild(const QString& address, const QByteArray& bytes, std::optional<uid_t> uid)
{
    sockaddr_un where {};
    where.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(address);
    std::copy_n(path.constData(), std::min(path.size(), qsizetype(sizeof where.sun_path - 1)), where.sun_path);
    const pid_t child = ::fork();
    if (child != 0)
        return child;
    if (uid && !becomeUser(*uid, *uid))
        ::_exit(3);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0)
        ::_exit(2);
    [[maybe_unused]] const ssize_t sent = ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
    pollfd answer {fd, POLLIN, 0};
    char byte = 0;
    ::_exit(::poll(&answer, 1, 10000) == 1 && ::read(fd, &byte, 1) == 1 ? 1 : 0);
}

// The first window that process `pid` shows on the X display, or 0.
qulonglong shownWindow(qint64 pid)
{
    QProcess search;
    search.start(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--pid"_s, QString::number(pid)});
    return search.waitForFinished(10000) ? search.readAllStandardOutput().split('\n').value(0).toULongLong() : 0;
}

// Until the started program `process` ends, each message box it shows on the X display is closed as its title bar's
// close button would close it (tests/e2e/xwin.py). True once the program has ended.
bool closeBoxesUntilEnd(QProcess& process)
{
    const bool onScreen = QGuiApplication::platformName() == u"xcb"_s;
    return QTest::qWaitFor(
        [&] {
            if (process.state() != QProcess::Running)
                return process.state() == QProcess::NotRunning;
            if (const qulonglong box = onScreen ? shownWindow(process.processId()) : 0) {
                QProcess::execute(u"python3"_s, {QStringLiteral(XWIN), u"close"_s, QString::number(box)});
                static_cast<void>(QTest::qWaitFor([&] { return shownWindow(process.processId()) != box; }, 5000));
            }
            return false;
        },
        60000);
}

// Everything in `folder` and its subfolders, links not followed, as paths relative to it.
QStringList treeEntries(const QString& folder)
{
    QStringList paths;
    QDirIterator entries(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext())
        paths.append(QDir(folder).relativeFilePath(entries.next()));
    paths.sort();
    return paths;
}

// Takes the messages that a started program showed out of what it said on standard error, where Qt logs them
// (zafrel.messages). Each runs up to the next line that begins with "zafrel", as the program's every line does.
QStringList takeMessages(QString& said)
{
    const QString mark = u"zafrel.messages: "_s;
    QStringList messages;
    for (qsizetype at = said.indexOf(mark); at >= 0; at = said.indexOf(mark, at)) {
        const qsizetype next = said.indexOf(u"\nzafrel"_s, at);
        const qsizetype end = next < 0 ? said.size() : next + 1;
        messages.append(said.sliced(at + mark.size(), end - at - mark.size()).chopped(1));
        said.remove(at, end - at);
    }
    return messages;
}

} // namespace

class tst_Startup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init() { m_seams.emplace(); }
    void cleanup();

    void filesReachTheQueue_data();
    void filesReachTheQueue();
    void answersWithoutDisplay_data();
    void answersWithoutDisplay();
    void refusedWhileThatModeRuns_data();
    void refusedWhileThatModeRuns();
    void modalWindowStaysAbove_data();
    void modalWindowStaysAbove();
    void otherUserQueuesNothing_data();
    void otherUserQueuesNothing();
    void malformedMessagesAreDropped_data();
    void malformedMessagesAreDropped();
    void messagesUpToTheLimit_data();
    void messagesUpToTheLimit();
    void staleSocketDoesNotBlock();
    void windowThatCannotListenSaysSo();
    void folderQueuesWhatItsWalkFinds_data();
    void folderQueuesWhatItsWalkFinds();
    void simultaneousStartsOpenOneWindow_data();
    void simultaneousStartsOpenOneWindow();

private:
    bool start(const QStringList& arguments);
    void makeTrees();
    QStringList queue(bool encrypt) const;
    void launch(QProcess& process, const QStringList& arguments);
    std::pair<int, QString> run(const QStringList& arguments); // exit status and standard error

    std::optional<RecordedSeams> m_seams;
    QTemporaryDir m_runtime; // the private runtime folder, as a desktop session makes one
    QTemporaryDir m_dir;
    QString m_file; // a.txt
    QString m_encrypted; // b.enc
    QPointer<frmMain> m_form;
    QStringList m_laterMessages; // the messages of the last later start that run() started, each after its style
};

void tst_Startup::initTestCase()
{
    SetUpApplication();
    QVERIFY(m_runtime.isValid() && m_dir.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    m_file = m_dir.filePath(u"a.txt"_s);
    m_encrypted = m_dir.filePath(u"b.enc"_s);
    writeFile(m_file, "plain");
    writeFile(m_encrypted, testBytes(64 * 1024));
    QVERIFY(QDir(m_dir.path()).mkdir(u"folder"_s));
    QVERIFY(QFile::link(m_file, m_dir.filePath(u"link.enc"_s)));
}

void tst_Startup::cleanup()
{
    delete m_form;
    QDir(m_dir.filePath(u"w"_s)).removeRecursively();
    m_seams.reset();
    QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// What main() does with `arguments` once the application exists, when no other window takes the files.
bool tst_Startup::start(const QStringList& arguments)
{
    Main(CommandLine::parse(QStringList {u"zafrel"_s} + arguments, m_dir.path()));
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<frmMain*>(window))
            m_form = form;
    return m_form && QTest::qWaitForWindowExposed(m_form);
}

QStringList tst_Startup::queue(bool encrypt) const
{
    const auto* box = control<QComboBox>(m_form, modeFacts(encrypt).queue);
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

// The built program, started in the files' folder, on this test's display and runtime folder.
void tst_Startup::launch(QProcess& process, const QStringList& arguments)
{
    // Its message boxes are shown, and logged where the test reads them.
    QProcessEnvironment environment = process.processEnvironment();
    if (environment.isEmpty())
        environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_LOGGING_RULES"_s, u"zafrel.messages.info=true;zafrel.queue.info=true"_s);
    process.setProcessEnvironment(environment);
    process.setProgram(QStringLiteral(ZAFREL));
    process.setArguments(arguments);
    process.setWorkingDirectory(m_dir.path());
    process.start();
}

std::pair<int, QString> tst_Startup::run(const QStringList& arguments)
{
    QProcess process;
    launch(process, arguments);
    // This test's window answers only while events are processed, as they are while the boxes are closed.
    if (!closeBoxesUntilEnd(process))
        return {-1, {}};
    QString said = QString::fromLocal8Bit(process.readAllStandardError());
    m_laterMessages = takeMessages(said);
    return {process.exitCode(), said};
}

void tst_Startup::filesReachTheQueue_data()
{
    QTest::addColumn<bool>("later"); // handed by a later start of the program to this window, or this start's own
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<QStringList>("queued"); // names in the folder
    QTest::addColumn<QStringList>("leftOut");

    const auto row = [](const char* name, const char* arguments, bool encrypt, const char* queued,
                        const char* leftOut = "", bool later = true) {
        for (bool handed : {false, true})
            if (!handed || later)
                QTest::addRow("%s %s", handed ? "later" : "first", name)
                    << handed << words(arguments) << encrypt << words(queued) << words(leftOut);
    };
    row("no arguments", "", true, "", "", false);
    row("--decrypt alone", "--decrypt", false, "", "", false);
    row("--decrypt", "--decrypt a.txt", false, "a.txt");
    row("--encrypt", "b.enc --encrypt", true, "b.enc");
    row("every name .enc", "b.enc ./link.enc", false, "b.enc link.enc");
    row("one name not .enc", "b.enc a.txt", true, "b.enc a.txt");
    row("missing file", "gone.enc b.enc", false, "b.enc", "gone.enc");
    row("Qt's own options", "-reverse -style fusion a.txt", true, "a.txt");
}

void tst_Startup::filesReachTheQueue()
{
    QFETCH(bool, later);
    QFETCH(QStringList, arguments);
    QFETCH(bool, encrypt);
    QFETCH(QStringList, queued);
    QFETCH(QStringList, leftOut);
    QVERIFY(start(later ? QStringList() : arguments));
    QString complaints;
    for (const QString& name : leftOut)
        complaints += u"zafrel: %1: no existing file, not queued\n"_s.arg(m_dir.filePath(name));
    if (later) {
        QCOMPARE(run(arguments), std::pair(leftOut.isEmpty() ? 0 : 1, complaints));
        const bool onScreen = QGuiApplication::platformName() != u"offscreen"_s;
        QCOMPARE(m_laterMessages.size(), onScreen && !leftOut.isEmpty() ? 1 : 0);
    }

    const ModeFacts& mode = modeFacts(encrypt);
    QVERIFY(control<QPushButton>(m_form, mode.option)->isChecked());
    QVERIFY(control(m_form, mode.panel)->isVisible());
    QStringList paths;
    for (const QString& name : queued)
        paths.append(m_dir.filePath(name));
    QCOMPARE(queue(encrypt), paths);
    QCOMPARE(control<QComboBox>(m_form, mode.queue)->currentText(), paths.value(paths.size() - 1));
    QCOMPARE(control(m_form, mode.run)->isEnabled(), !paths.isEmpty());
    QCOMPARE(queue(!encrypt), QStringList());
    QVERIFY(!control(m_form, modeFacts(!encrypt).run)->isEnabled());

    // A first start names what it left out in one message once its window shows; a later start in its own.
    QList<Platform::MessageBox::Shown> shown;
    if (!later && !leftOut.isEmpty())
        QTRY_VERIFY(!(shown += Platform::MessageBox::takeShown()).isEmpty());
    QCoreApplication::processEvents();
    shown += Platform::MessageBox::takeShown();
    QCOMPARE(shown.size(), later || leftOut.isEmpty() ? 0 : 1);
    for (const QString& name : leftOut)
        QVERIFY(later || shown.first().text.split(u'\n').contains(m_dir.filePath(name)));
    QVERIFY(shown.isEmpty() || shown.first().style == Platform::MessageBox::Exclamation);

    // The next Add opens where the last file lies, as after an Add.
    QTest::mouseClick(control(m_form, mode.add), Qt::LeftButton);
    QCOMPARE(Platform::FileDialog::takeRequests().value(0).initialFolder,
             paths.isEmpty() ? QDir::currentPath() : m_dir.path());
}

void tst_Startup::answersWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out"); // how standard output begins
    QTest::addColumn<QString>("err"); // what standard error holds

    QTest::newRow("--help") << words("a.txt --help") << 0 << u"Usage: zafrel [--encrypt | --decrypt] [FILE]..."_s
                            << QString();
    QTest::newRow("--version") << words("--version") << 0 << u"zafrel (Zafrel) 1.0.0\nCopyright"_s << QString();
    QTest::newRow("unknown option")
        << words("--shred a.txt") << 2 << QString()
        << u"zafrel: Unknown option 'shred'.\nTry 'zafrel --help' for more information.\n"_s;
    QTest::newRow("both modes") << words("--encrypt --decrypt") << 2 << QString() << u"Try 'zafrel --help'"_s;
    // Not a display Qt could fail on: the plain words, and status 1.
    QTest::newRow("no display") << words("a.txt") << 1 << QString()
                                << u"zafrel: there is no display to show the window on (neither"_s;
    QTest::newRow("a display nobody serves")
        << words("a.txt") << 1 << QString() << u"zafrel: there is no display to show the window on (DISPLAY=:"_s;
}

void tst_Startup::answersWithoutDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
        environment.remove(name);
    if (QByteArray(QTest::currentDataTag()) == "a display nobody serves")
        environment.insert(u"DISPLAY"_s, unservedDisplay());
    process.setProcessEnvironment(environment);
    launch(process, arguments);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), status);
    const QString printed = QString::fromLocal8Bit(process.readAllStandardOutput());
    QVERIFY2(out.isEmpty() ? printed.isEmpty() : printed.startsWith(out), qPrintable(printed));
    const QString complaint = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(err.isEmpty() ? complaint.isEmpty() : complaint.contains(err), qPrintable(complaint));
    QVERIFY2(!complaint.contains(u"Reinstalling"_s), qPrintable(complaint));
}

void tst_Startup::refusedWhileThatModeRuns_data()
{
    QTest::addColumn<bool>("encrypt"); // the later start's mode, while a decryption runs
    QTest::newRow("the running mode") << false;
    QTest::newRow("the other mode") << true;
}

void tst_Startup::refusedWhileThatModeRuns()
{
    QFETCH(bool, encrypt);
    QVERIFY(start({m_encrypted}));
    control<QLineEdit>(m_form, "txtKeyDec")->setText(u"key"_s);
    auto* cmdDecrypt = control<QPushButton>(m_form, "cmdDecrypt");

    // The later start comes in the run's first yield; the run is cancelled once it has ended.
    std::pair<int, QString> later;
    QTimer::singleShot(0, this, [&] {
        later = run({encrypt ? u"--encrypt"_s : u"--decrypt"_s, m_file, u"gone.enc"_s});
        cmdDecrypt->click();
    });
    QTest::mouseClick(cmdDecrypt, Qt::LeftButton);

    // Started from a file manager, whose standard error nobody reads, the later start says it on screen as well.
    const QString gone = m_dir.filePath(u"gone.enc"_s);
    const QString leftOut = u"Zafrel queues only existing files. These were left out:\n\n"_s + gone;
    QString complaint = u"zafrel: %1: no existing file, not queued\n"_s.arg(gone);
    QString box = leftOut;
    if (!encrypt) {
        complaint.prepend(u"zafrel: the open window is decrypting files; queue these once its run has ended\n"_s);
        box = u"The open window is decrypting files; queue these once its run has ended. These were not queued:\n\n"_s
            + m_file + u"\n\n"_s + leftOut;
    }
    QCOMPARE(later, std::pair(1, complaint));
    // Where no screen would show it, there is no box.
    QCOMPARE(m_laterMessages,
             QGuiApplication::platformName() == u"offscreen"_s ? QStringList() : QStringList {u"[48] "_s + box});
    QCOMPARE(queue(true), encrypt ? QStringList {m_file} : QStringList());
    // The cancel emptied the decrypt queue; the refused file never joined it.
    QCOMPARE(queue(false), QStringList());
}

void tst_Startup::modalWindowStaysAbove_data()
{
    QTest::addColumn<bool>("about"); // the modal window: the About window, which has no owner, or a message box
    QTest::newRow("the files left out") << false;
    QTest::newRow("About") << true;
}

void tst_Startup::modalWindowStaysAbove()
{
    QFETCH(bool, about);
    Platform::MessageBox::setRecording(false); // a real box, which the later start finds open
    std::pair<int, QString> later {-1, {}};
    bool stillInFront = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        watch.stop();
        // Offscreen windows have no order; on X the server is asked what shows at the modal window's middle.
        const bool stacked = QGuiApplication::platformName() != u"offscreen"_s;
        const QPoint middle = modal->mapToGlobal(modal->rect().center());
        const auto inFront = [&] {
            return QApplication::activeWindow() == modal && (!stacked || QApplication::topLevelAt(middle) == modal);
        };
        if (QTest::qWaitFor(inFront)) {
            later = run({m_file});
            stillInFront = QTest::qWaitFor(inFront);
        }
        modal->close();
    });
    watch.start(10);
    QVERIFY(start(about ? QStringList() : QStringList {u"gone.txt"_s}));
    if (about)
        QTest::mouseClick(control(m_form, "lblAbout"), Qt::LeftButton);
    QTRY_VERIFY(!watch.isActive() && !QApplication::activeModalWidget());
    QCOMPARE(later, std::pair(0, QString()));
    QCOMPARE(queue(true), QStringList {m_file});
    QVERIFY2(stillInFront, "the window came above its modal window, or took the keyboard from it");
}

void tst_Startup::otherUserQueuesNothing_data()
{
    QTest::addColumn<bool>("otherUser");
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<int>("socketMode"); // 0: as the window made it
    QTest::addColumn<int>("outcome"); // of sendFromChild()

    QTest::newRow("folder opened, socket as made") << true << 0711 << 0 << 2;
    QTest::newRow("folder and socket opened") << true << 0711 << 0777 << 0;
    QTest::newRow("the same user") << false << 0700 << 0 << 1;
}

void tst_Startup::otherUserQueuesNothing()
{
    if (::geteuid() != 0)
        QSKIP("another user's start needs root to become that user");
    QFETCH(bool, otherUser);
    QFETCH(int, folderMode);
    QFETCH(int, socketMode);
    QFETCH(int, outcome);
    // Even for a user whose files everybody may write, the socket is the owner's only.
    const mode_t umask = ::umask(0);
    QVERIFY(start({}));
    ::umask(umask);
    const QString address = Platform::InstanceChannel::address();
    QVERIFY(::chmod(QFile::encodeName(m_runtime.path()).constData(), mode_t(folderMode)) == 0);
    QVERIFY(socketMode == 0 || ::chmod(QFile::encodeName(address).constData(), mode_t(socketMode)) == 0);

    const pid_t child = sendFromChild(address, message('D', {m_file}), otherUser ? 65534 : std::optional<uid_t>());
    int status = -1;
    bool ended = false;
    QTRY_VERIFY_WITH_TIMEOUT(ended = ended || ::waitpid(child, &status, WNOHANG) == child, 20000);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), outcome);
    QCOMPARE(queue(false), otherUser ? QStringList() : QStringList {m_file});
}

void tst_Startup::malformedMessagesAreDropped_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("hangUp"); // this end closes the connection after the bytes

    // Each would name a file to decrypt, were it read leniently.
    const QByteArray proper = message('D', {m_file});
    QByteArray tooLong = framed(QByteArray(1 << 20, 'x'));
    tooLong[3] = 0x01; // 1 MiB and a byte
    QTest::newRow("random bytes") << testBytes(100) << false;
    QTest::newRow("shorter than its header") << framed("ZFRL\x01") << false;
    QTest::newRow("more than 1 MiB") << tooLong << false;
    QTest::newRow("another magic word") << framed("ZFRX" + proper.sliced(8)) << false;
    QTest::newRow("another version") << message('D', {m_file}, 2) << false;
    QTest::newRow("an answer, not files") << Taken << false;
    QTest::newRow("relative path") << message('D', {m_file, u"a.txt"_s}) << false;
    QTest::newRow("empty path") << message('D', {m_file, QString()}) << false;
    QTest::newRow("path without its NUL") << framed(proper.sliced(4).chopped(1)) << false;
    QTest::newRow("not UTF-8") << framed(proper.sliced(4) + "/tmp/\xff.txt\0"_ba) << false;
    QTest::newRow("message cut short") << proper.chopped(3) << true;
    QTest::newRow("message stalled") << proper.chopped(3) << false;
}

void tst_Startup::malformedMessagesAreDropped()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, hangUp);
    QVERIFY(start({}));
    const QString address = Platform::InstanceChannel::address();
    QLocalSocket garbage;
    QByteArray answer;
    connect(&garbage, &QLocalSocket::readyRead, this, [&] { answer += garbage.readAll(); });
    garbage.connectToServer(address);
    QVERIFY(garbage.waitForConnected(5000));
    garbage.write(bytes);
    if (hangUp)
        garbage.disconnectFromServer();

    // Meanwhile the window takes a proper message at once.
    QLocalSocket proper;
    proper.connectToServer(address);
    QVERIFY(proper.waitForConnected(5000));
    proper.write(message('E', {m_file}));
    QTRY_COMPARE(proper.bytesAvailable(), Taken.size());
    QCOMPARE(proper.readAll(), Taken);
    QCOMPARE(queue(true), QStringList {m_file});

    // The window hangs up without a word, a few seconds after the bytes stopped at the latest, and they had no effect.
    QTRY_COMPARE_WITH_TIMEOUT(garbage.state(), QLocalSocket::UnconnectedState, 10000);
    QCOMPARE(answer, QByteArray());
    QCOMPARE(queue(false), QStringList());
    QVERIFY(m_form && m_form->isVisible());
}

void tst_Startup::messagesUpToTheLimit_data()
{
    QTest::addColumn<int>("beyond"); // bytes beyond the limit of 1 MiB
    QTest::newRow("exactly 1 MiB") << 0;
    QTest::newRow("1 MiB and a byte") << 1;
}

// A well-formed message of the limit's length is taken; one byte more, and it is dropped unread.
void tst_Startup::messagesUpToTheLimit()
{
    QFETCH(int, beyond);
    QVERIFY(start({}));
    QByteArray bytes = message('D', {m_file, u"/"_s});
    bytes.insert(bytes.size() - 1, QByteArray((1 << 20) + 4 + beyond - bytes.size(), 'p')); // the second path
    bytes = framed(bytes.sliced(4));
    QCOMPARE(bytes.size(), (1 << 20) + 4 + beyond);
    QLocalSocket socket;
    socket.connectToServer(Platform::InstanceChannel::address());
    QVERIFY(socket.waitForConnected(5000));
    socket.write(bytes);
    QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QLocalSocket::UnconnectedState, 10000);
    QCOMPARE(socket.readAll(), beyond == 0 ? Taken : QByteArray());
    QCOMPARE(queue(false), beyond == 0 ? QStringList {m_file} : QStringList());
}

void tst_Startup::staleSocketDoesNotBlock()
{
    const QString address = Platform::InstanceChannel::address();
    const auto listening = [&] {
        QLocalSocket probe;
        probe.connectToServer(address);
        return probe.waitForConnected(1000);
    };
    QProcess first;
    launch(first, {});
    QTRY_VERIFY_WITH_TIMEOUT(listening(), 30000);
    ::kill(pid_t(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished(30000));
    QVERIFY(QFileInfo::exists(address) && !listening());

    // The next start with files finds no window, opens its own and listens in the same place.
    QProcess next;
    launch(next, {m_file});
    QTRY_VERIFY_WITH_TIMEOUT(listening(), 30000);
    QCOMPARE(run({u"--decrypt"_s, m_encrypted}), std::pair(0, QString()));
    QCOMPARE(next.state(), QProcess::Running);

    // Ended as a session's end ends it, it takes its socket along.
    next.terminate();
    QVERIFY(next.waitForFinished(30000));
    QCOMPARE(next.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(address));
}

// A window that cannot listen for later starts still opens and works, and says on standard error that later starts
// open windows of their own.
void tst_Startup::windowThatCannotListenSaysSo()
{
    const QString runtime = m_runtime.filePath(QString(110, u'r')); // longer than the name of a socket may be
    QVERIFY(QDir().mkdir(runtime) && ::chmod(QFile::encodeName(runtime).constData(), 0700) == 0);
    QProcess window;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_RUNTIME_DIR"_s, runtime);
    window.setProcessEnvironment(environment);
    launch(window, {m_file});
    QString said;
    QTRY_VERIFY_WITH_TIMEOUT((said += QString::fromLocal8Bit(window.readAllStandardError())).contains(u"they open"_s),
                             30000);
    QVERIFY2(said.contains(u"zafrel: this window cannot take the files of later starts ("_s), qPrintable(said));
    QCOMPARE(window.state(), QProcess::Running);
    window.terminate();
    QVERIFY(window.waitForFinished(30000));
    QCOMPARE(window.exitCode(), 0);
}

// Folders to give the window, under w/ in the test's folder: a tree with a subfolder, a link to a folder outside it,
// a pipe and a ".enc" file beside the file it was made from; a folder of ".enc" files only; an empty folder and one
// with no ".enc" file.
void tst_Startup::makeTrees()
{
    const QDir w(m_dir.filePath(u"w"_s));
    for (const QString& folder : {u"tree/sub"_s, u"outside"_s, u"encs/y"_s, u"empty"_s, u"plain"_s})
        QVERIFY(w.mkpath(folder));
    const QStringList files = words("tree/b.txt tree/b.txt.enc tree/sub/c.dat tree/sub/d.enc outside/e.txt "
                                    "outside/f.enc encs/x.enc encs/y/z.enc plain/p.txt");
    for (int f = 0; f < files.size(); ++f)
        writeFile(w.filePath(files.at(f)), testBytes(100 + 700 * f, f));
    QVERIFY(::symlink("../outside", QFile::encodeName(w.filePath(u"tree/outside"_s)).constData()) == 0);
    QVERIFY(::mkfifo(QFile::encodeName(w.filePath(u"tree/fifo"_s)).constData(), 0600) == 0);
}

enum How
{
    FirstStart,
    LaterStart,
    Drop,
};

void tst_Startup::folderQueuesWhatItsWalkFinds_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<QStringList>("queued"); // paths in the test's folder
    QTest::addColumn<QStringList>("leftOut"); // lines of the window's message

    const auto row = [](const char* name, const char* arguments, bool encrypt, const char* queued,
                        const QStringList& leftOut, bool dropped) {
        for (const auto& [how, tag] : {std::pair {FirstStart, "first"}, {LaterStart, "later"}, {Drop, "drop"}})
            if (how != Drop || dropped)
                QTest::addRow("%s %s", tag, name)
                    << int(how) << words(arguments) << encrypt << words(queued) << leftOut;
    };
    row("encrypt", "--encrypt w/tree", true, "w/tree/b.txt w/tree/sub/c.dat w/tree/sub/d.enc", {}, true);
    row("decrypt", "--decrypt w/tree", false, "w/tree/b.txt.enc w/tree/sub/d.enc", {}, true);
    row("mode from the files: every one .enc", "w/encs", false, "w/encs/x.enc w/encs/y/z.enc", {}, false);
    row("mode from the files: one not .enc", "w/encs w/tree/sub", true,
        "w/encs/x.enc w/encs/y/z.enc w/tree/sub/c.dat w/tree/sub/d.enc", {}, false);
    row("nothing to decrypt", "--decrypt w/empty w/plain", false, "",
        {u"w/empty: no .enc file in it"_s, u"w/plain: no .enc file in it"_s}, true);
    row("nothing to encrypt", "--encrypt w/empty", true, "", {u"w/empty: no file to encrypt in it"_s}, true);
}

// A folder given to the window, on its command line, by a later start or dropped on a panel, is queued as the files
// that the walk finds for the mode; a run over them writes their outputs and nothing else.
void tst_Startup::folderQueuesWhatItsWalkFinds()
{
    QFETCH(int, how);
    QFETCH(QStringList, arguments);
    QFETCH(bool, encrypt);
    QFETCH(QStringList, queued);
    QFETCH(QStringList, leftOut);
    makeTrees();
    const ModeFacts& mode = modeFacts(encrypt);
    QVERIFY(start(how == FirstStart ? arguments : QStringList()));
    if (how == LaterStart)
        QCOMPARE(run(arguments), std::pair(0, QString()));
    if (how == Drop) {
        QList<QUrl> urls;
        for (const QString& argument : arguments)
            if (!argument.startsWith(u'-'))
                urls.append(QUrl::fromLocalFile(m_dir.filePath(argument)));
        QTest::mouseClick(control(m_form, mode.option), Qt::LeftButton);
        QVERIFY(sendDrag(control(m_form, mode.panel), urls));
    }
    QStringList paths;
    for (const QString& name : queued)
        paths.append(m_dir.filePath(name));
    QTRY_COMPARE(queue(encrypt), paths);
    QVERIFY(control<QPushButton>(m_form, mode.option)->isChecked());
    QTRY_VERIFY(control(m_form, mode.run)->isEnabled());
    QList<Platform::MessageBox::Shown> shown;
    if (!leftOut.isEmpty())
        QTRY_VERIFY(!(shown += Platform::MessageBox::takeShown()).isEmpty());
    QCoreApplication::processEvents();
    shown += Platform::MessageBox::takeShown();
    QCOMPARE(shown.size(), leftOut.isEmpty() ? 0 : 1);
    if (!leftOut.isEmpty())
        QCOMPARE(shown.first().text,
                 u"Zafrel queues only existing files. These were left out:\n\n"_s + m_dir.path() + u'/'
                     + leftOut.join(u'\n' + m_dir.path() + u'/'));

    // The run writes the queued files' outputs, and nothing else anywhere in the folders.
    const QString w = m_dir.filePath(u"w"_s);
    QStringList expected = treeEntries(w);
    QList<QByteArray> inputs;
    for (const QString& path : std::as_const(paths)) {
        inputs.append(readAll(path));
        expected.append(QDir(w).relativeFilePath(encrypt ? path + u".enc"_s : path.chopped(4)));
    }
    expected.removeDuplicates();
    expected.sort();
    const QString key = u"kéy"_s;
    control<QLineEdit>(m_form, mode.key)->setText(key);
    QTest::mouseClick(control(m_form, mode.run), Qt::LeftButton);
    QCOMPARE(treeEntries(w), expected);
    for (qsizetype f = 0; f < paths.size(); ++f)
        QCOMPARE(readAll(encrypt ? paths.at(f) + u".enc"_s : paths.at(f).chopped(4)), reference(inputs.at(f), key));
    QCOMPARE(Platform::MessageBox::takeShown().size(), 0);
}

void tst_Startup::simultaneousStartsOpenOneWindow_data()
{
    QTest::addColumn<bool>("foldersFirst");
    QTest::newRow("the folders' start first") << true;
    QTest::newRow("the files' start first") << false;
}

// A file manager starts `zafrel --encrypt FOLDERS` and `zafrel --encrypt FILES` at the same moment: one of them
// opens the window, the other hands its files to it, and the window holds both starts' files.
void tst_Startup::simultaneousStartsOpenOneWindow()
{
    QFETCH(bool, foldersFirst);
    makeTrees();
    const QStringList folders {u"--encrypt"_s, u"w/tree"_s};
    const QStringList files {u"--encrypt"_s, u"a.txt"_s};
    QProcess starts[2];
    launch(starts[0], foldersFirst ? folders : files);
    launch(starts[1], foldersFirst ? files : folders);
    const auto ended = [&](int s) {
        return starts[s].state() == QProcess::NotRunning;
    };
    QTRY_VERIFY_WITH_TIMEOUT(ended(0) || ended(1), 30000);
    QProcess& handedOver = ended(0) ? starts[0] : starts[1];
    QProcess& window = ended(0) ? starts[1] : starts[0];
    QCOMPARE(handedOver.exitStatus(), QProcess::NormalExit);
    QCOMPARE(handedOver.exitCode(), 0);
    QCOMPARE(handedOver.readAllStandardError(), QByteArray());
    QCOMPARE(window.state(), QProcess::Running);

    // What the window queued, from its log.
    QString said;
    const auto queued = [&] {
        said += QString::fromLocal8Bit(window.readAllStandardError());
        QStringList paths;
        for (const QString& line : said.split(u'\n'))
            if (line.startsWith(u"zafrel.queue: cmbFilesEnc "_s))
                paths.append(line.sliced(26));
        paths.sort();
        return paths;
    };
    QStringList expected = QStringList {m_file};
    for (const QString& name : words("tree/b.txt tree/sub/c.dat tree/sub/d.enc"))
        expected.append(m_dir.filePath(u"w/"_s + name));
    expected.sort();
    QTRY_COMPARE_WITH_TIMEOUT(queued(), expected, 30000);
    window.terminate();
    QVERIFY(window.waitForFinished(30000));
    QCOMPARE(window.exitCode(), 0);
}

QTEST_MAIN(tst_Startup)
#include "tst_startup.moc"
