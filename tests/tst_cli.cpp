// SPDX-License-Identifier: GPL-3.0-or-later

// zafrel-cli as scripts and users run it: the built program in a process of its own, over real files, its outputs
// compared with the plain reference in FileHelpers.h, never with the cipher core. Only what the program declares
// (its options) is read from its library.

#include "FileHelpers.h"
#include "cli/Options.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString Key = u"Schlüssel 🔑"_s; // beyond the Basic Multilingual Plane; ZAFREL_TEST_KEY holds it

using Tree = QMap<QString, QByteArray>;

// "encrypt -r TOP" as arguments; words in capitals stand for paths that the test fills in.
QStringList words(const char* line)
{
    return QString::fromUtf8(line).split(u' ');
}

struct Finished
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// In a session of its own, so the program has no terminal unless `terminal` (a pseudo-terminal's far side) becomes
// its own; error descriptions in English.
void prepare(QProcess& process, const QStringList& arguments, int terminal = -1)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    environment.insert(u"ZAFREL_TEST_KEY"_s, Key);
    environment.insert(u"ZAFREL_TEST_EMPTY"_s, QString());
    process.setProcessEnvironment(environment);
    process.setProgram(QStringLiteral(ZAFREL_CLI));
    process.setArguments(arguments);
    process.setChildProcessModifier([terminal] {
        ::setsid();
        if (terminal >= 0)
            ::ioctl(terminal, TIOCSCTTY, 0);
    });
}

Finished run(const QStringList& arguments, const QByteArray& input = {},
             QProcess::ProcessChannelMode channels = QProcess::SeparateChannels)
{
    QProcess process;
    prepare(process, arguments);
    process.setProcessChannelMode(channels);
    process.start();
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    const QByteArray err = channels == QProcess::MergedChannels ? QByteArray() : process.readAllStandardError();
    return {process.exitCode(), process.readAllStandardOutput(), err};
}

// Everything under `root`, links not followed: a link as "-> target", a folder as "/", a file as its bytes.
Tree tree(const QString& root)
{
    Tree found;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = path.sliced(root.size() + 1);
        if (it.fileInfo().isSymLink())
            found[name] = "-> " + QFile::encodeName(it.fileInfo().symLinkTarget());
        else
            found[name] = it.fileInfo().isDir() ? "/" : readAll(path);
    }
    return found;
}

// Reads of a file, seen through inotify: the open files of a program that may hold a key are closed to its user's
// other processes (root aside), so /proc cannot show what it works on.
class ReadWatch
{
public:
    explicit ReadWatch(const QString& path)
        : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        ::inotify_add_watch(m_fd, QFile::encodeName(path).constData(), IN_ACCESS);
    }
    ~ReadWatch() { ::close(m_fd); }
    ReadWatch(const ReadWatch&) = delete;
    ReadWatch& operator=(const ReadWatch&) = delete;

    // Whether the file was read since the watch began.
    [[nodiscard]] bool read()
    {
        char events[4096];
        m_read = m_read || ::read(m_fd, events, sizeof events) > 0;
        return m_read;
    }

private:
    int m_fd;
    bool m_read = false;
};

// Whether process `pid` runs the program (not the test's copy of itself that will start it) and has its handler for
// `signal` by now.
bool takes(qint64 pid, int signal)
{
    bool program = false;
    for (const QByteArray& line : readAll(u"/proc/%1/status"_s.arg(pid)).split('\n')) {
        program = program || line == "Name:\tzafrel-cli";
        if (line.startsWith("SigCgt:"))
            return program && (line.sliced(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

bool allZero(const QString& path, qint64 length)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != length)
        return false;
    const QByteArray zeros(4 * 1024 * 1024, '\0');
    for (QByteArray chunk = file.read(zeros.size()); !chunk.isEmpty(); chunk = file.read(zeros.size()))
        if (QByteArrayView(chunk) != QByteArrayView(zeros).first(chunk.size()))
            return false;
    return true;
}

// An exFAT image mounted through FUSE, as a USB stick formatted for other systems is: a file system without unnamed
// files. As root mount.exfat-fuse takes a block device only, so the image is given as a loop device. `problem` says
// what failed.
class ExfatMount
{
public:
    explicit ExfatMount(const QString& scratch)
        : m_path(scratch + u"/mnt"_s)
    {
        const QString image = scratch + u"/exfat.img"_s;
        QFile file(image); // sparse: only what is written takes room
        if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(1) << 30) || !QDir().mkdir(m_path)) {
            problem = u"no room for an image in "_s + scratch;
            return;
        }
        file.close();
        problem = command(u"mkfs.exfat"_s, {image});
        if (problem.isEmpty())
            problem = command(u"losetup"_s, {u"--find"_s, u"--show"_s, image}, &m_loop);
        if (problem.isEmpty())
            problem = command(u"mount.exfat-fuse"_s, {m_loop, m_path});
        m_mounted = problem.isEmpty();
    }
    ~ExfatMount()
    {
        if (m_mounted)
            command(u"umount"_s, {m_path});
        if (!m_loop.isEmpty())
            command(u"losetup"_s, {u"--detach"_s, m_loop});
    }
    ExfatMount(const ExfatMount&) = delete;
    ExfatMount& operator=(const ExfatMount&) = delete;

    [[nodiscard]] QString path() const { return m_path; }

    QString problem;

private:
    // The tools live in sbin, which a plain user's PATH may lack.
    static QString command(const QString& name, const QStringList& arguments, QString* output = nullptr)
    {
        QString program = QStandardPaths::findExecutable(name);
        if (program.isEmpty())
            program = QStandardPaths::findExecutable(name, {u"/usr/sbin"_s, u"/sbin"_s});
        if (program.isEmpty())
            return name + u" is missing: `scripts/install-deps test` installs it"_s;
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return name + u" failed: "_s + QString::fromLocal8Bit(process.readAllStandardError());
        if (output)
            *output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
        return {};
    }

    QString m_path;
    QString m_loop;
    bool m_mounted = false;
};

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void roundTrip_data();
    void roundTrip();
    void autoKey();
    void prompt_data();
    void prompt();
    void refused_data();
    void refused();
    void recursive_data();
    void recursive();
    void report_data();
    void report();
    void largeFileInWork_data();
    void largeFileInWork();
    void leftoversWithoutUnnamedFiles();
    void existingOutput_data();
    void existingOutput();
    void leftAlone_data();
    void leftAlone();
    void listingNotWritten_data();
    void listingNotWritten();
    void pipeline_data();
    void pipeline();
    void terminalNeverGetsTheData_data();
    void terminalNeverGetsTheData();
    void interruptWhileWaiting_data();
    void interruptWhileWaiting();
    void asPlainUser();
    void optionsAsTheManualAndTheShellKnowThem();

private:
    QTemporaryDir m_scratch;
    std::optional<ExfatMount> m_exfat; // mounted where the suite runs as root with /dev/fuse
};

// exFAT through FUSE, as on a memory stick: no unnamed files, no links, no rename that keeps an existing name.
// Mounted once when the suite runs as root with /dev/fuse (as in CI); the rows that need it are skipped otherwise.
void TestCli::initTestCase()
{
    if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0)
        return;
    m_exfat.emplace(m_scratch.path());
    QVERIFY2(m_exfat->problem.isEmpty(), qPrintable(m_exfat->problem));
}

void TestCli::cleanupTestCase()
{
    m_exfat.reset();
}

void TestCli::roundTrip_data()
{
    QTest::addColumn<QStringList>("source"); // KEYFILE holds the key and then `lineEnd`; so does standard input
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("lineEnd");

    QTest::newRow("file") << words("--key-file KEYFILE") << Key << "\n"_ba;
    QTest::newRow("file, only the last line end dropped") << words("--key-file KEYFILE") << u"kéy\r\n"_s << "\r\n"_ba;
    QTest::newRow("environment") << words("--key-env ZAFREL_TEST_KEY") << Key << ""_ba;
    QTest::newRow("descriptor") << words("--key-fd 0") << u"𝄞 clef"_s << ""_ba;
    QTest::newRow("file, a key of 1 MiB and its line end")
        << words("--key-file KEYFILE") << QString(1 << 20, u'k') << "\r\n"_ba;
}

void TestCli::roundTrip()
{
    QFETCH(QStringList, source);
    QFETCH(QString, key);
    QFETCH(QByteArray, lineEnd);
    const QTemporaryDir dir;
    const QTemporaryDir back;
    const QByteArray held = key.toUtf8() + lineEnd;
    writeFile(back.filePath(u"key"_s), held);
    source.replaceInStrings(u"KEYFILE"_s, back.filePath(u"key"_s));

    // Around the first checkpoint, and across the core's 4 MiB chunks.
    const QList<int> sizes {2, 1001, 1002, 5 * 1024 * 1024 + 3};
    QStringList files;
    QByteArray listed;
    for (const int size : sizes) {
        files << dir.filePath(u"file%1"_s.arg(size));
        writeFile(files.last(), testBytes(size, size));
        listed += QFile::encodeName(files.last() + u" -> "_s + files.last() + u".enc\n"_s);
    }
    const Finished encrypted = run(words("encrypt -v") + source + files, held);
    QCOMPARE(encrypted.status, 0);
    QCOMPARE(encrypted.err, QByteArray());
    QCOMPARE(encrypted.out, listed);

    // Back again in a folder of their own, where decrypting gives the original names.
    QStringList encryptedCopies;
    for (const QString& file : std::as_const(files)) {
        encryptedCopies << back.filePath(QFileInfo(file).fileName() + u".enc"_s);
        QVERIFY(QFile::copy(file + u".enc"_s, encryptedCopies.last()));
    }
    QCOMPARE(run(words("decrypt") + source + encryptedCopies, held).status, 0);
    for (qsizetype f = 0; f < files.size(); ++f) {
        const QByteArray data = testBytes(sizes.at(f), sizes.at(f));
        QVERIFY(readAll(files.at(f)) == data);
        QVERIFY2(readAll(files.at(f) + u".enc"_s) == reference(data, key), qPrintable(files.at(f)));
        QVERIFY(readAll(encryptedCopies.at(f)) == reference(data, key));
        QVERIFY(readAll(encryptedCopies.at(f).chopped(4)) == data);
    }
}

void TestCli::autoKey()
{
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"file"_s);
    writeFile(file, testBytes(3000));
    const Finished result = run(words("encrypt --auto-key -v") << file);
    QCOMPARE(result.status, 0);
    // The key first, on a line of its own, in the form the window's Auto button gives.
    const QStringList lines = QString::fromUtf8(result.out).split(u'\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY2(QRegularExpression(u"^[A-Z0-9]{4}(-[A-Z0-9]{4}){3}$"_s).match(lines.at(0)).hasMatch(),
             qPrintable(lines[0]));
    QCOMPARE(lines.at(1), file + u" -> "_s + file + u".enc"_s);
    QVERIFY(readAll(file + u".enc"_s) == reference(testBytes(3000), lines.at(0)));
    QVERIFY(readAll(file) == testBytes(3000));
}

void TestCli::prompt_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArrayList>("typed"); // each after its question
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("stream"); // the data on standard input, the output on standard output

    const QByteArray line = Key.toUtf8() + '\n';
    QTest::newRow("encrypt asks twice") << u"encrypt"_s << QByteArrayList {line, line} << 0 << false;
    QTest::newRow("encrypt, the two keys differ") << u"encrypt"_s << QByteArrayList {line, "Schlussel\n"} << 2 << false;
    QTest::newRow("decrypt asks once") << u"decrypt"_s << QByteArrayList {line} << 0 << false;
    QTest::newRow("Ctrl-C at the question") << u"encrypt"_s << QByteArrayList {"Schl\x03"} << 130 << false;
    // Standard input holds a key's line and more: the key is still asked for, on the terminal.
    QTest::newRow("the data on standard input") << u"decrypt"_s << QByteArrayList {line} << 0 << true;
}

void TestCli::prompt()
{
    QFETCH(QString, command);
    QFETCH(QByteArrayList, typed);
    QFETCH(int, status);
    QFETCH(bool, stream);
    int master = -1;
    int terminal = -1;
    QCOMPARE(::openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
    const auto closeBoth = qScopeGuard([&] { ::close(master), ::close(terminal); });
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(terminal, F_SETFD, FD_CLOEXEC);
    const QTemporaryDir dir;
    const QString file = dir.filePath(command == u"encrypt"_s ? u"data"_s : u"data.enc"_s);
    const QString output = command == u"encrypt"_s ? file + u".enc"_s : file.chopped(4);
    const QByteArray data = Key.toUtf8() + "\n" + testBytes(1500);
    writeFile(file, data);

    QProcess process;
    prepare(process, {command, stream ? u"-"_s : file}, terminal);
    if (stream)
        process.setStandardInputFile(file);
    process.start();
    // What the program shows on the terminal. Each answer is typed once asked, as a person does.
    QByteArray screen;
    const auto readScreen = [&] {
        pollfd ready {master, POLLIN, 0};
        char buffer[4096];
        for (ssize_t n = 1; n > 0 && ::poll(&ready, 1, 0) > 0;)
            screen.append(buffer, std::max<ssize_t>(n = ::read(master, buffer, sizeof buffer), 0));
    };
    for (qsizetype answer = 0; answer < typed.size(); ++answer) {
        QTRY_VERIFY2_WITH_TIMEOUT((readScreen(), screen.count("Key") > answer), screen.constData(), 60000);
        QCOMPARE(::write(master, typed.at(answer).constData(), size_t(typed.at(answer).size())),
                 ssize_t(typed.at(answer).size()));
    }
    QVERIFY(process.waitForFinished(60000));
    readScreen();
    QCOMPARE(process.exitCode(), status);
    QVERIFY2(!screen.contains("Schl"), screen.constData()); // no echo
    // The questions go to the terminal alone.
    QVERIFY(process.readAllStandardOutput() == (stream ? reference(data, Key) : QByteArray()));
    termios now {};
    QVERIFY(::tcgetattr(terminal, &now) == 0 && (now.c_lflag & ECHO)); // given back as it was
    QVERIFY(readAll(file) == data);
    if (status == 0 && !stream)
        QVERIFY(readAll(output) == reference(data, Key));
    else
        QCOMPARE(entries(dir.path()), QStringList {QFileInfo(file).fileName()});
}

void TestCli::refused_data()
{
    QTest::addColumn<QStringList>("arguments"); // FILE is the one file, BADKEY a file that is no UTF-8
    QTest::addColumn<QByteArray>("said");

    const QByteArray safeOnes = "--key-file, --key-env or --key-fd";
    QTest::newRow("a key in the arguments") << words("encrypt --key secret FILE") << safeOnes;
    QTest::newRow("a key glued to -k") << words("encrypt -ksecret FILE") << safeOnes;
    QTest::newRow("--password, its value missing") << words("encrypt FILE --password") << safeOnes;
    QTest::newRow("an empty key") << words("encrypt --key-env ZAFREL_TEST_EMPTY FILE") << "No key given!"_ba;
    QTest::newRow("a key that is no UTF-8") << words("encrypt --key-file BADKEY FILE") << "not valid UTF-8"_ba;
    QTest::newRow("two keys") << words("encrypt --key-env=ZAFREL_TEST_KEY --key-fd=0 FILE") << "give one key"_ba;
    QTest::newRow("--auto-key to decrypt") << words("decrypt --auto-key FILE") << "only encrypts"_ba;
    QTest::newRow("no key, no terminal") << words("encrypt FILE") << "run on a terminal"_ba;
    QTest::newRow("an unknown command") << words("scramble --key-env=ZAFREL_TEST_KEY FILE") << "'scramble'"_ba;
    QTest::newRow("an unknown option") << words("encrypt --frobnicate --key-env=ZAFREL_TEST_KEY FILE")
                                       << "unknown option '--frobnicate'"_ba;
    QTest::newRow("a name that begins with '-'")
        << words("encrypt -v -dash.txt --key-env=ZAFREL_TEST_KEY FILE")
        << "unknown option '-dash.txt'; a file whose name begins with '-' is given after -- or as ./-dash.txt"_ba;
    QTest::newRow("-n and -f") << words("encrypt -nf --key-env=ZAFREL_TEST_KEY FILE") << "not both"_ba;
    // Standard input and -o stand for one input, or its one output.
    QTest::newRow("-o with two PATHs") << words("encrypt --key-env=ZAFREL_TEST_KEY -o FILE.x FILE FILE")
                                       << "-o names the output of one PATH"_ba;
    QTest::newRow("-o with -r") << words("encrypt -r --key-env=ZAFREL_TEST_KEY --output=FILE.x FILE")
                                << "-o names the output of one PATH"_ba;
    QTest::newRow("- with another PATH") << words("encrypt --key-env=ZAFREL_TEST_KEY - FILE") << "goes alone"_ba;
    QTest::newRow("-v onto the data") << words("encrypt -v --key-env=ZAFREL_TEST_KEY -") << "-v lists"_ba;
    QTest::newRow("--auto-key onto the data") << words("encrypt --auto-key -o - FILE") << "--auto-key prints"_ba;
    QTest::newRow("the key from the data")
        << words("decrypt --key-fd=0 -") << "the key cannot come from standard input"_ba;
    QTest::newRow("no key, no terminal, the data on standard input") << words("encrypt -") << safeOnes;
}

// Refused with status 2 before anything is touched.
void TestCli::refused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, said);
    const QTemporaryDir dir;
    const QTemporaryDir keyDir;
    const QString file = dir.filePath(u"file"_s);
    writeFile(file, testBytes(2000));
    writeFile(keyDir.filePath(u"bad"_s), "\xff\xfe");
    arguments.replaceInStrings(u"FILE"_s, file).replaceInStrings(u"BADKEY"_s, keyDir.filePath(u"bad"_s));

    const Finished result = run(arguments);
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.startsWith("zafrel-cli: ") && result.err.contains(said), result.err.constData());
    QVERIFY(result.out.isEmpty());
    QCOMPARE(entries(dir.path()), QStringList {u"file"_s});
    QVERIFY(readAll(file) == testBytes(2000));
}

void TestCli::recursive_data()
{
    QTest::addColumn<QStringList>("arguments"); // TOP is the folder walked
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said"); // on standard error
    QTest::addColumn<Tree>("changes"); // to the tree that recursive() makes

    // An old output (top/a.enc) is replaced, never taken as an input itself; links are not followed.
    const Tree encrypted {{u"top/a.enc"_s, reference(testBytes(1500, 1), Key)},
                          {u"top/sub/b.enc"_s, reference(testBytes(3, 2), Key)},
                          {u"top/sub/.hidden.enc"_s, reference(testBytes(1002, 3), Key)},
                          {u"top/sub/c.enc.enc"_s, reference(testBytes(70, 5), Key)}};
    Tree kept = encrypted;
    kept.remove(u"top/a.enc"_s);
    QTest::newRow("encrypt -r -f") << words("encrypt -r -f --key-env=ZAFREL_TEST_KEY TOP") << 0 << ""_ba << encrypted;
    QTest::newRow("-n keeps the old output")
        << words("encrypt -rn --key-env=ZAFREL_TEST_KEY TOP") << 0 << ""_ba << kept;
    QTest::newRow("decrypt -r takes .enc files only")
        << words("decrypt --recursive --force --key-env=ZAFREL_TEST_KEY TOP/") << 0 << ""_ba
        << Tree {{u"top/a"_s, reference(testBytes(40, 4), Key)}, {u"top/sub/c"_s, reference(testBytes(70, 5), Key)}};
    QTest::newRow("a folder without -r fails, the rest goes on")
        << words("encrypt --key-env=ZAFREL_TEST_KEY TOP TOP/sub/b") << 1 << "zafrel-cli: TOP: Is a directory\n"_ba
        << Tree {{u"top/sub/b.enc"_s, reference(testBytes(3, 2), Key)}};
}

void TestCli::recursive()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, said);
    QFETCH(Tree, changes);
    const QTemporaryDir root;
    const QString top = root.filePath(u"top"_s);
    QVERIFY(QDir(root.path()).mkpath(u"top/sub"_s) && QDir(root.path()).mkpath(u"elsewhere"_s));
    const Tree files {{u"a"_s, testBytes(1500, 1)},       {u"a.enc"_s, testBytes(40, 4)},
                      {u"sub/b"_s, testBytes(3, 2)},      {u"sub/.hidden"_s, testBytes(1002, 3)},
                      {u"sub/c.enc"_s, testBytes(70, 5)}, {u"../elsewhere/d"_s, testBytes(100, 6)}};
    for (auto file = files.cbegin(); file != files.cend(); ++file)
        writeFile(top + u'/' + file.key(), file.value());
    QVERIFY(QFile::link(u"../elsewhere"_s, top + u"/folder link"_s));
    QVERIFY(QFile::link(u"sub/b"_s, top + u"/file link"_s));
    Tree expected = tree(root.path());
    expected.insert(changes);

    const Finished result = run(arguments.replaceInStrings(u"TOP"_s, top));
    QCOMPARE(result.status, status);
    QCOMPARE(result.err, said.replace("TOP", QFile::encodeName(top)));
    QCOMPARE(tree(root.path()), expected);
}

void TestCli::report_data()
{
    QTest::addColumn<QStringList>("arguments"); // DIR is the folder of the files
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said"); // standard output and error as one stream

    QTest::newRow("in the order given, whichever file ends first")
        << words("encrypt -v -f -j 4 DIR/large DIR/one DIR/missing DIR/none DIR/fine") << 1
        << "DIR/large -> DIR/large.enc\n"
           "zafrel-cli: DIR/one: File Too small\n"
           "zafrel-cli: DIR/missing: No such file or directory\n"
           "zafrel-cli: DIR/none: File Too small\n"
           "DIR/fine -> DIR/fine.enc\n"_ba;
    QTest::newRow("a name too short to decrypt")
        << words("decrypt DIR/.enc") << 1
        << "zafrel-cli: DIR/.enc: The name is too short to remove four characters\n"_ba;
    QTest::newRow("-n skips an existing output")
        << words("encrypt -n -v DIR/abc DIR/fine") << 0
        << "DIR/abc -> DIR/abc.enc\nDIR/fine: skipped, DIR/fine.enc exists\n"_ba;
}

void TestCli::report()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, said);
    const QTemporaryDir dir;
    const Tree files {{u"large"_s, testBytes(24 * 1024 * 1024, 1)},
                      {u"one"_s, "1"},
                      {u"none"_s, {}},
                      {u"abc"_s, testBytes(3000, 2)},
                      {u"fine"_s, testBytes(2000, 3)},
                      {u"fine.enc"_s, testBytes(10, 4)},
                      {u".enc"_s, testBytes(3000, 5)}};
    for (auto file = files.cbegin(); file != files.cend(); ++file)
        writeFile(dir.filePath(file.key()), file.value());

    arguments.replaceInStrings(u"DIR"_s, dir.path()) << u"--key-env=ZAFREL_TEST_KEY"_s;
    const Finished result = run(arguments, {}, QProcess::MergedChannels);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, said.replace("DIR", QFile::encodeName(dir.path())));
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        const QString path = dir.filePath(file.key());
        if (!result.out.contains(QFile::encodeName(u" -> "_s + path + u'\n'))) // not replaced by an output
            QVERIFY2(readAll(path) == file.value(), qPrintable(path));
        if (result.out.contains(QFile::encodeName(path + u" -> "_s)))
            QVERIFY2(readAll(path + u".enc"_s) == reference(file.value(), Key), qPrintable(path));
    }
}

void TestCli::largeFileInWork_data()
{
    QTest::addColumn<int>("signal"); // 0: none, the files change instead
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said"); // on standard error; DIR is the folder

    QTest::newRow("SIGINT") << SIGINT << 130 << QByteArray();
    QTest::newRow("SIGTERM") << SIGTERM << 130 << QByteArray();
    QTest::newRow("files changed since they were measured")
        << 0 << 1
        << "zafrel-cli: DIR/large: The file changed while it was being read\n"
           "zafrel-cli: DIR/last: The file changed while it was being read\n"_ba;
}

// One file at a time: a small one, a large one and one too small to have a checkpoint. A signal while the large one
// is in work leaves the first file's output, nothing of the large one, and never starts the last. A file cut short
// while it is read, or grown since the run measured it, fails and leaves nothing either.
void TestCli::largeFileInWork()
{
    QFETCH(int, signal);
    QFETCH(int, status);
    QFETCH(QByteArray, said);
    const QTemporaryDir dir;
    const QStringList files {dir.filePath(u"first"_s), dir.filePath(u"large"_s), dir.filePath(u"last"_s)};
    constexpr qint64 LargeSize = qint64(1) << 30;
    writeFile(files[0], testBytes(1500, 1));
    writeFile(files[2], testBytes(1000, 2));
    QFile large(files[1]); // sparse: quick to make, and no disk space
    QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(LargeSize));

    // Read once its output exists, unnamed: the large file is in work.
    ReadWatch reads(files[1]);
    QProcess process;
    prepare(process, words("encrypt -v -j1 --key-env=ZAFREL_TEST_KEY") + files);
    process.start();
    QTRY_VERIFY_WITH_TIMEOUT(reads.read(), 60000);
    const QByteArray last = testBytes(signal ? 1000 : 1001, 2);
    if (signal) {
        QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
    } else {
        writeFile(files[2], last);
        QVERIFY(large.resize(0));
    }
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), status);
    QCOMPARE(process.readAllStandardError(), said.replace("DIR", QFile::encodeName(dir.path())));
    QCOMPARE(process.readAllStandardOutput(), QFile::encodeName(files[0] + u" -> "_s + files[0] + u".enc\n"_s));
    QCOMPARE(entries(dir.path()), words("first first.enc large last"));
    QVERIFY(readAll(files[0] + u".enc"_s) == reference(testBytes(1500, 1), Key));
    QVERIFY(readAll(files[0]) == testBytes(1500, 1));
    QVERIFY(readAll(files[2]) == last);
    QVERIFY(allZero(files[1], signal ? LargeSize : 0));
}

// Where a file system has no unnamed files, a run killed mid-file leaves its temporary file. No later run removes
// the file of a run that is still writing (here stopped); the next run in the folder removes what the killed run
// left, and a walk never takes such a file as an input.
void TestCli::leftoversWithoutUnnamedFiles()
{
    if (!m_exfat)
        QSKIP("Not run: mounting an exFAT image through FUSE needs root and /dev/fuse (CI runs the suite as root)");
    const QString dir = m_exfat->path() + u"/leftovers"_s;
    const QString large = dir + u"/large"_s;
    const QString small = dir + u"/small"_s;
    QVERIFY(QDir().mkdir(dir));
    QFile file(large);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(256) << 20));
    file.close();
    writeFile(small, testBytes(1500, 1));

    // The name of a temporary file in the folder that holds bytes and is none of `known`.
    const auto temporary = [&](const QStringList& known) {
        for (const QString& name : entries(dir))
            if (name.startsWith(u".zafrel-tmp-"_s) && !known.contains(name) && QFileInfo(dir + u'/' + name).size() > 0)
                return name;
        return QString();
    };
    QString writing;
    QString left;
    QProcess live;
    QProcess killed;
    for (QProcess* process : {&live, &killed}) {
        prepare(*process, words("encrypt -j1 --key-env=ZAFREL_TEST_KEY") << large);
        process->start();
        QString& name = process == &live ? writing : left;
        QTRY_VERIFY_WITH_TIMEOUT(!(name = temporary({writing})).isEmpty(), 60000);
        QCOMPARE(::kill(pid_t(process->processId()), process == &live ? SIGSTOP : SIGKILL), 0);
    }
    QVERIFY(killed.waitForFinished());
    QStringList expected {left, writing, u"large"_s, u"small"_s};
    expected.sort();
    QCOMPARE(entries(dir), expected);

    QCOMPARE(run(words("encrypt --key-env=ZAFREL_TEST_KEY") << small).status, 0);
    QCOMPARE(entries(dir), QStringList({writing, u"large"_s, u"small"_s, u"small.enc"_s}));
    live.kill();
    QVERIFY(live.waitForFinished());
    QVERIFY(QFileInfo::exists(dir + u'/' + writing));

    QVERIFY(QFile::remove(large) && QFile::remove(small + u".enc"_s));
    const Finished walk = run(words("encrypt -r -v --key-env=ZAFREL_TEST_KEY") << dir);
    QCOMPARE(walk.err, QByteArray());
    QCOMPARE(walk.out, QFile::encodeName(small + u" -> "_s + small + u".enc\n"_s));
    QCOMPARE(walk.status, 0);
    QCOMPARE(entries(dir), QStringList({u"small"_s, u"small.enc"_s}));
    QVERIFY(readAll(small + u".enc"_s) == reference(testBytes(1500, 1), Key));
}

void TestCli::existingOutput_data()
{
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<QString>("option"); // refused: none given; new: none given, and no file has the output's name
    QTest::addColumn<bool>("exfat");

    for (const bool exfat : {false, true})
        for (const bool encrypt : {true, false})
            for (const char* option : {"refused", "-n", "-f", "new"})
                QTest::addRow("%s %s%s", encrypt ? "encrypt" : "decrypt", option, exfat ? ", exFAT" : "")
                    << encrypt << QString::fromLatin1(option) << exfat;
}

// An output name that exists already is left alone unless --force says otherwise, on every file system; that is
// decided again as the output takes its name, which exFAT through FUSE cannot do by the rename alone.
void TestCli::existingOutput()
{
    QFETCH(bool, encrypt);
    QFETCH(QString, option);
    QFETCH(bool, exfat);
    if (exfat && !m_exfat)
        QSKIP("Not run: mounting an exFAT image through FUSE needs root and /dev/fuse (CI runs the suite as root)");
    const QTemporaryDir dir(exfat ? m_exfat->path() + u"/row-XXXXXX"_s : QDir::tempPath() + u"/tst_cli-XXXXXX"_s);
    const QString input = dir.filePath(encrypt ? u"data"_s : u"data.enc"_s);
    const QString output = encrypt ? input + u".enc"_s : input.chopped(4);
    const bool refused = option == u"refused"_s;
    const bool written = option == u"-f"_s || option == u"new"_s;
    writeFile(input, testBytes(3000));
    if (option != u"new"_s)
        writeFile(output, "old");

    QStringList arguments {encrypt ? u"encrypt"_s : u"decrypt"_s, u"-v"_s, u"--key-env=ZAFREL_TEST_KEY"_s, input};
    if (option.startsWith(u'-'))
        arguments << option;
    const Finished result = run(arguments);
    const QByteArray in = QFile::encodeName(input);
    const QByteArray out = QFile::encodeName(output);
    QByteArray said = in + " -> " + out + '\n';
    if (refused)
        said = "zafrel-cli: " + in + ": " + out + " exists; --force replaces it\n";
    else if (option == u"-n"_s)
        said = in + ": skipped, " + out + " exists\n";
    QCOMPARE(result.status, refused ? 1 : 0);
    QCOMPARE(result.out + result.err, said);
    QVERIFY(readAll(output) == (written ? reference(testBytes(3000), Key) : "old"_ba));
    QVERIFY(readAll(input) == testBytes(3000));
    QCOMPARE(entries(dir.path()).size(), 2);
}

void TestCli::leftAlone_data()
{
    QTest::addColumn<QStringList>("arguments"); // DIR is the folder of the files
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said"); // standard output and error as one stream
    QTest::addColumn<Tree>("changes"); // to the files of leftAlone()

    // A wrong guess at which files are encrypted, or a wrong key, must not cost the originals.
    QTest::newRow("decrypt every name") << words(
        "decrypt DIR/config DIR/config.bak DIR/config.enc DIR/notes DIR/notes.txt")
                                        << 1
                                        << "zafrel-cli: DIR/config: not a .enc file; left alone\n"
                                           "zafrel-cli: DIR/config.bak: not a .enc file; left alone\n"
                                           "zafrel-cli: DIR/config.enc: DIR/config exists; --force replaces it\n"
                                           "zafrel-cli: DIR/notes: not a .enc file; left alone\n"
                                           "zafrel-cli: DIR/notes.txt: not a .enc file; left alone\n"_ba
                                        << Tree();
    QTest::newRow("decrypt -r") << words("decrypt -r DIR") << 1
                                << "zafrel-cli: DIR/config.enc: DIR/config exists; --force replaces it\n"_ba << Tree();
    // Inputs that would harm each other, whichever ends first; the others are still done.
    QTest::newRow("two inputs, one output")
        << words("encrypt -f -v DIR/notes DIR/notes.txt DIR/./notes") << 1
        << "zafrel-cli: DIR/notes: its output DIR/notes.enc is the output of DIR/./notes too; both left alone\n"
           "DIR/notes.txt -> DIR/notes.txt.enc\n"
           "zafrel-cli: DIR/./notes: its output DIR/./notes.enc is the output of DIR/notes too; both left alone\n"_ba
        << Tree {{u"notes.txt.enc"_s, reference(testBytes(1500, 5), Key)}};
    QTest::newRow("an input that is another's output")
        << words("encrypt -f -j2 DIR/config DIR/config.enc") << 1
        << "zafrel-cli: DIR/config: its output DIR/config.enc is the input DIR/config.enc; both left alone\n"
           "zafrel-cli: DIR/config.enc: it is the output of DIR/config; both left alone\n"_ba
        << Tree();
    QTest::newRow("control characters in names")
        << QStringList {u"encrypt"_s, u"-v"_s, u"DIR/line\nend"_s, u"DIR/tab\t\x1b\\"_s} << 1
        << "DIR/line\\nend -> DIR/line\\nend.enc\nzafrel-cli: DIR/tab\\t\\x1b\\\\: No such file or directory\n"_ba
        << Tree {{u"line\nend.enc"_s, reference(testBytes(1500, 6), Key)}};
}

void TestCli::leftAlone()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, said);
    QFETCH(Tree, changes);
    const QTemporaryDir dir;
    const Tree files {{u"config"_s, testBytes(1500, 1)},     {u"config.bak"_s, testBytes(1500, 2)},
                      {u"config.enc"_s, testBytes(1500, 3)}, {u"notes"_s, testBytes(1500, 4)},
                      {u"notes.txt"_s, testBytes(1500, 5)},  {u"line\nend"_s, testBytes(1500, 6)}};
    for (auto file = files.cbegin(); file != files.cend(); ++file)
        writeFile(dir.filePath(file.key()), file.value());
    Tree expected = tree(dir.path());
    expected.insert(changes);

    arguments.replaceInStrings(u"DIR"_s, dir.path()) << u"--key-env=ZAFREL_TEST_KEY"_s;
    const Finished result = run(arguments, {}, QProcess::MergedChannels);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, said.replace("DIR", QFile::encodeName(dir.path())));
    QCOMPARE(tree(dir.path()), expected);
}

void TestCli::listingNotWritten_data()
{
    QTest::addColumn<bool>("closed"); // else /dev/full
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("/dev/full") << false << "No space left on device"_ba;
    QTest::newRow("closed") << true << "Bad file descriptor"_ba;
}

// A script that reads the listing must not take what it got for all that was done.
void TestCli::listingNotWritten()
{
    QFETCH(bool, closed);
    QFETCH(QByteArray, said);
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"file"_s);
    writeFile(file, testBytes(3000));
    QProcess process;
    prepare(process, {u"encrypt"_s, u"-v"_s, u"--key-env=ZAFREL_TEST_KEY"_s, file});
    if (closed)
        process.setChildProcessModifier([] { ::setsid(), ::close(STDOUT_FILENO); });
    else
        process.setStandardOutputFile(u"/dev/full"_s);
    process.start();
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(process.readAllStandardError(),
             "zafrel-cli: the list of files written is incomplete: standard output: " + said + '\n');
    QVERIFY(readAll(file + u".enc"_s) == reference(testBytes(3000), Key));
}

void TestCli::pipeline_data()
{
    // For bash: CLI is the program with the key, PROGRAM the program alone, DIR the folder of the files.
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said"); // on standard error
    QTest::addColumn<Tree>("changes"); // to the files of pipeline()

    const QByteArray data = testBytes(9 * 1024 * 1024 + 3, 1); // more than a buffer of the program's
    const Tree none;
    const QByteArray itself = ": The output name leads back to this file itself\n";
    QTest::newRow("through encrypt - and back through decrypt -")
        << u"set -o pipefail; cat DIR/data | CLI encrypt - | tee DIR/enc | CLI decrypt - > DIR/back"_s << 0 << ""_ba
        << Tree {{u"enc"_s, reference(data, Key)}, {u"back"_s, data}};
    QTest::newRow("-o FILE from standard input")
        << u"CLI encrypt -o DIR/out - < DIR/data"_s << 0 << ""_ba << Tree {{u"out"_s, reference(data, Key)}};
    // Descriptor 5, whatever standard input holds.
    QTest::newRow("--key-fd 5") << u"printf %s \"$ZAFREL_TEST_KEY\" > DIR/key; "
                                   "PROGRAM encrypt --key-fd 5 -o DIR/out DIR/data 5< DIR/key <<< 'not the key'"_s
                                << 0 << ""_ba << Tree {{u"key"_s, Key.toUtf8()}, {u"out"_s, reference(data, Key)}};
    QTest::newRow("-o - from a file") << u"CLI encrypt -o - DIR/data > DIR/out"_s << 0 << ""_ba
                                      << Tree {{u"out"_s, reference(data, Key)}};
    // Standard output is somebody else's file: appended to as it stands, never given room or length of its own.
    QTest::newRow("-o - appended to a file") << u"printf head > DIR/out; CLI encrypt -o - DIR/data >> DIR/out"_s << 0
                                             << ""_ba << Tree {{u"out"_s, "head" + reference(data, Key)}};
    QTest::newRow("-o FILE to decrypt any name")
        << u"CLI decrypt --output DIR/out DIR/scrambled"_s << 0 << ""_ba << Tree {{u"out"_s, testBytes(3000, 2)}};
    QTest::newRow("-o FILE that exists") << u"CLI encrypt -o DIR/scrambled DIR/data"_s << 1
                                         << "zafrel-cli: DIR/data: DIR/scrambled exists; --force replaces it\n"_ba
                                         << none;
    QTest::newRow("-f -o the input itself")
        << u"CLI encrypt -f -o DIR/data DIR/data"_s << 1 << "zafrel-cli: DIR/data: DIR/data" + itself << none;
    QTest::newRow("standard output appended to the input")
        << u"CLI encrypt -o - DIR/scrambled >> DIR/scrambled"_s << 1
        << "zafrel-cli: DIR/scrambled: standard output" + itself << none;
    QTest::newRow("1 byte") << u"printf x | CLI encrypt -o DIR/out -"_s << 1
                            << "zafrel-cli: standard input: File Too small\n"_ba << none;
    QTest::newRow("2 bytes") << u"printf xy | CLI encrypt - > DIR/out"_s << 0 << ""_ba
                             << Tree {{u"out"_s, reference("xy", Key)}};
    // A closed descriptor is no empty stream, nor a place where the data may vanish.
    QTest::newRow("standard input closed")
        << u"CLI encrypt -o DIR/out - <&-"_s << 1 << "zafrel-cli: standard input: Bad file descriptor\n"_ba << none;
    QTest::newRow("standard output closed")
        << u"CLI encrypt -o - DIR/data >&-"_s << 1 << "zafrel-cli: DIR/data: standard output: Bad file descriptor\n"_ba
        << none;
    // The status of a program that SIGPIPE ended, and nothing said; also where the signal was ignored.
    const QByteArray first = reference(data, Key).first(100);
    QTest::newRow("a reader that stops early")
        << u"CLI encrypt - < DIR/data | head -c 100 > DIR/out; exit ${PIPESTATUS[0]}"_s << 128 + SIGPIPE << ""_ba
        << Tree {{u"out"_s, first}};
    QTest::newRow("a reader that stops early, SIGPIPE ignored")
        << u"trap '' PIPE; CLI encrypt -o - DIR/data | head -c 100 > DIR/out; exit ${PIPESTATUS[0]}"_s << 128 + SIGPIPE
        << ""_ba << Tree {{u"out"_s, first}};
}

// zafrel-cli in the pipelines a script writer types, through bash.
void TestCli::pipeline()
{
    QFETCH(QString, script);
    QFETCH(int, status);
    QFETCH(QByteArray, said);
    QFETCH(Tree, changes);
    const QTemporaryDir dir;
    writeFile(dir.filePath(u"data"_s), testBytes(9 * 1024 * 1024 + 3, 1));
    writeFile(dir.filePath(u"scrambled"_s), reference(testBytes(3000, 2), Key));
    Tree expected = tree(dir.path());
    expected.insert(changes);

    QProcess process;
    prepare(process, {});
    process.setProgram(u"bash"_s);
    process.setArguments({u"-c"_s,
                          script.replace(u"CLI"_s, u"'" ZAFREL_CLI "' --key-env=ZAFREL_TEST_KEY"_s)
                              .replace(u"PROGRAM"_s, u"'" ZAFREL_CLI "'"_s)
                              .replace(u"DIR"_s, dir.path())});
    process.start();
    QVERIFY(process.waitForFinished(300000));
    QCOMPARE(process.exitCode(), status);
    QCOMPARE(process.readAllStandardError(), said.replace("DIR", QFile::encodeName(dir.path())));
    QCOMPARE(tree(dir.path()), expected);
}

void TestCli::terminalNeverGetsTheData_data()
{
    QTest::addColumn<QStringList>("arguments"); // FILE is a file
    QTest::newRow("-") << words("encrypt --key-env=ZAFREL_TEST_KEY -");
    QTest::newRow("-o -") << words("decrypt --key-env=ZAFREL_TEST_KEY -o - FILE");
}

// Refused before the key is asked for: the bytes would drive the terminal.
void TestCli::terminalNeverGetsTheData()
{
    QFETCH(QStringList, arguments);
    int master = -1;
    int terminal = -1;
    QCOMPARE(::openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
    const auto closeBoth = qScopeGuard([&] { ::close(master), ::close(terminal); });
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"file"_s);
    writeFile(file, testBytes(3000));

    QProcess process;
    prepare(process, arguments.replaceInStrings(u"FILE"_s, file));
    process.setChildProcessModifier([terminal] { ::setsid(), ::dup2(terminal, STDOUT_FILENO); });
    process.start();
    process.write(testBytes(3000));
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 2);
    QCOMPARE(process.readAllStandardError(),
             "zafrel-cli: standard output is a terminal: redirect it to a file or a pipe, or give -o FILE\n"_ba);
    pollfd shown {master, POLLIN, 0};
    QCOMPARE(::poll(&shown, 1, 0), 0);
    QCOMPARE(entries(dir.path()), QStringList {u"file"_s});
}

void TestCli::interruptWhileWaiting_data()
{
    QTest::addColumn<QStringList>("arguments"); // FIFO: one that nobody opens for writing; DIR: the folder
    QTest::addColumn<int>("signal");
    QTest::newRow("opening a FIFO, SIGINT") << words("encrypt --key-file=FIFO DIR/file") << SIGINT;
    QTest::newRow("reading a descriptor, SIGTERM") << words("encrypt --key-fd=0 DIR/file") << SIGTERM;
    // The key is there; the data never comes.
    QTest::newRow("reading standard input, SIGINT")
        << words("encrypt --key-env=ZAFREL_TEST_KEY -o DIR/out -") << SIGINT;
    QTest::newRow("reading standard input for standard output, SIGTERM")
        << words("decrypt --key-env=ZAFREL_TEST_KEY -") << SIGTERM;
}

// The signal comes as soon as the program takes it, wherever it then is: whether it has begun to wait or not, it ends.
void TestCli::interruptWhileWaiting()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, signal);
    const QTemporaryDir dir;
    const QString fifo = dir.filePath(u"fifo"_s);
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    writeFile(dir.filePath(u"file"_s), testBytes(2000));
    QProcess process;
    prepare(process, arguments.replaceInStrings(u"FIFO"_s, fifo).replaceInStrings(u"DIR"_s, dir.path()));
    process.start();
    QTRY_VERIFY_WITH_TIMEOUT(takes(process.processId(), signal), 60000);
    QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 130);
    QCOMPARE(process.readAllStandardError(), QByteArray());
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    QCOMPARE(entries(dir.path()), QStringList({u"fifo"_s, u"file"_s}));
}

// As a user whom file modes bind ("nobody" when the tests run as root), running a copy of the program that user may
// read.
void TestCli::asPlainUser()
{
    const bool root = ::geteuid() == 0;
    const QTemporaryDir dir;
    const QString program = dir.filePath(u"zafrel-cli"_s);
    const QString mine = dir.filePath(u"mine"_s);
    const QString shared = dir.filePath(u"shared"_s);
    QVERIFY(QFile::copy(QStringLiteral(ZAFREL_CLI), program) && QDir().mkdir(mine) && QDir().mkdir(shared));
    writeFile(mine + u"/file"_s, testBytes(3000, 1));
    writeFile(shared + u"/file"_s, testBytes(3000, 2));
    writeFile(shared + u"/file.enc"_s, "old", 0666);
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    QVERIFY(!root || ::chown(QFile::encodeName(mine).constData(), 65534, 65534) == 0);
    QVERIFY(::chmod(QFile::encodeName(shared).constData(), 0555) == 0); // refuses new files
    const auto writable = qScopeGuard([&] { ::chmod(QFile::encodeName(shared).constData(), 0755); });
    const auto start = [&](QProcess& process, const QStringList& arguments) {
        prepare(process, arguments);
        process.setProgram(program);
        process.setChildProcessModifier([root] {
            if (::setsid() < 0 || (root && !becomeUser(65534, 65534)))
                ::_exit(255);
        });
        process.start();
    };

    // While a key may be in memory, no core dump holds it and no other process of the user reads it (/proc shows
    // such a process as root's); its unnamed output is still named through /proc.
    QProcess waiting;
    start(waiting, {u"encrypt"_s, u"--key-fd=0"_s, mine + u"/file"_s});
    QTRY_VERIFY_WITH_TIMEOUT(takes(waiting.processId(), SIGINT), 60000);
    const QString proc = u"/proc/%1"_s.arg(waiting.processId());
    QVERIFY(QString::fromLatin1(readAll(proc + u"/limits"_s)).contains(QRegularExpression(u"core file size +0 +0 "_s)));
    QCOMPARE(QFileInfo(proc + u"/fd"_s).ownerId(), 0u);
    waiting.write(Key.toUtf8());
    waiting.closeWriteChannel();
    QVERIFY(waiting.waitForFinished(60000));
    QCOMPARE(waiting.exitCode(), 0);
    QVERIFY(readAll(mine + u"/file.enc"_s) == reference(testBytes(3000, 1), Key));

    // The folder is named, not the input that was read well.
    QProcess refused;
    start(refused, {u"encrypt"_s, u"-f"_s, u"--key-env=ZAFREL_TEST_KEY"_s, shared + u"/file"_s});
    QVERIFY(refused.waitForFinished(60000));
    QCOMPARE(refused.exitCode(), 1);
    QCOMPARE(refused.readAllStandardError(),
             QFile::encodeName(
                 u"zafrel-cli: %1/file: cannot create a file in folder %1: Permission denied\n"_s.arg(shared)));
    QCOMPARE(readAll(shared + u"/file.enc"_s), "old"_ba);
}

// The options that the program declares are those that its manual page describes, in the same order and with the same
// values, and those that bash completes: an option added to one and forgotten in another fails here.
void TestCli::optionsAsTheManualAndTheShellKnowThem()
{
    QStringList declared;
    QStringList names;
    for (const OptionDeclaration& option : declaredOptions()) {
        if (option.help.isEmpty())
            continue;
        QString spelled = option.names.constFirst().size() == 1 ? u"-%1, "_s.arg(option.names.constFirst()) : QString();
        spelled += u"--"_s + option.names.constLast();
        declared.append(option.valueName.isEmpty() ? spelled : spelled + u'=' + option.valueName);
        for (const QString& name : option.names)
            names.append((name.size() == 1 ? u"-"_s : u"--"_s) + name);
    }

    // The line after each .TP of KEYS and OPTIONS, such as: .BR \-o ", " \-\-output= \fIFILE\fR
    QStringList described;
    QString section;
    const QStringList manual
        = QString::fromUtf8(readAll(QStringLiteral(ZAFREL_SOURCES "/res/package/zafrel-cli.1"))).split(u'\n');
    for (qsizetype l = 1; l < manual.size(); ++l) {
        if (manual.at(l).startsWith(u".SH "_s))
            section = manual.at(l).sliced(4);
        if (manual.at(l - 1) != u".TP"_s || (section != u"KEYS"_s && section != u"OPTIONS"_s))
            continue;
        described.append(manual.at(l)
                             .section(u' ', 1)
                             .remove(u"\\fI"_s)
                             .remove(u"\\fR"_s)
                             .replace(u"\\-"_s, u"-"_s)
                             .replace(u" \", \" "_s, u", "_s)
                             .replace(u"= "_s, u"="_s));
    }
    QCOMPARE(described, declared);

    QStringList completed;
    static const QRegularExpression offered(u"options\\+?='([^']*)'"_s);
    const QString completion
        = QString::fromUtf8(readAll(QStringLiteral(ZAFREL_SOURCES "/res/package/zafrel-cli.bash")));
    for (const QRegularExpressionMatch& match : offered.globalMatch(completion))
        completed += match.captured(1).split(u' ', Qt::SkipEmptyParts);
    completed.sort();
    names.sort();
    QCOMPARE(completed, names);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
