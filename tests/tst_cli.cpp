// SPDX-License-Identifier: GPL-3.0-or-later

// zafrel-cli as scripts and users run it: the built program in a process of its own, over real files, its outputs
// compared with the plain reference written in FileHelpers.h, never with the cipher core.

#include "FileHelpers.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString Key = u"Schlüssel 🔑"_s; // a key beyond the Basic Multilingual Plane

using Tree = QMap<QString, QByteArray>;

struct Finished
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// The program in a session of its own, so it has no terminal unless `terminal` (a pseudo-terminal's far side)
// becomes its own; error descriptions in English; ZAFREL_TEST_KEY holds Key.
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

// Every file, folder and link under `root`, links not followed: a link as "-> target", a file as its bytes.
QMap<QString, QByteArray> tree(const QString& root)
{
    QMap<QString, QByteArray> found;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = path.sliced(root.size() + 1);
        if (info.isSymLink())
            found[name] = "-> " + QFile::encodeName(info.symLinkTarget());
        else if (info.isDir())
            found[name] = "/";
        else
            found[name] = readAll(path);
    }
    return found;
}

// Whether process `pid` holds `input` open and, beside it in `folder`, a file that is none of `inputs`: an output
// in work, which has no name of its own until it is complete.
bool inWork(qint64 pid, const QString& folder, const QString& input, const QStringList& inputs)
{
    bool reading = false;
    bool writing = false;
    const QString fds = u"/proc/%1/fd"_s.arg(pid);
    for (const QString& fd : entries(fds)) {
        const QString target = QFile::symLinkTarget(fds + u'/' + fd);
        reading = reading || target == input;
        writing = writing || (target.startsWith(folder + u'/') && !inputs.contains(target));
    }
    return reading && writing;
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

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
};

void TestCli::roundTrip_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("lineEnd"); // after the key, where its source holds it

    QTest::newRow("file") << u"--key-file"_s << Key << "\n"_ba;
    QTest::newRow("file, only the last line end is dropped") << u"--key-file"_s << u"kéy\r\n"_s << "\r\n"_ba;
    QTest::newRow("environment") << u"--key-env"_s << Key << ""_ba;
    QTest::newRow("descriptor") << u"--key-fd"_s << u"𝄞 clef"_s << ""_ba;
}

void TestCli::roundTrip()
{
    QFETCH(QString, source);
    QFETCH(QString, key);
    QFETCH(QByteArray, lineEnd);
    const QTemporaryDir keyDir;
    const QTemporaryDir dir;
    const QTemporaryDir back;
    const QByteArray held = key.toUtf8() + lineEnd;
    QStringList arguments {source};
    QByteArray input;
    if (source == u"--key-file"_s) {
        arguments << keyDir.filePath(u"key"_s);
        writeFile(arguments.last(), held);
    } else if (source == u"--key-env"_s) {
        arguments << u"ZAFREL_TEST_KEY"_s;
    } else {
        arguments << u"0"_s;
        input = held;
    }

    // Around the first checkpoint, and across the core's 4 MiB chunks.
    QStringList files;
    QList<QByteArray> data;
    QByteArray listed;
    for (const qsizetype size : {2, 1001, 1002, 5 * 1024 * 1024 + 3}) {
        files << dir.filePath(u"file%1"_s.arg(size));
        data << testBytes(size, int(size));
        writeFile(files.last(), data.last());
        listed += QFile::encodeName(files.last() + u" -> "_s + files.last() + u".enc\n"_s);
    }
    const Finished encrypted = run(QStringList {u"encrypt"_s, u"-v"_s} + arguments + files, input);
    QCOMPARE(encrypted.status, 0);
    QCOMPARE(encrypted.err, QByteArray());
    QCOMPARE(encrypted.out, listed);
    for (qsizetype f = 0; f < files.size(); ++f) {
        QVERIFY(readAll(files.at(f)) == data.at(f));
        QVERIFY2(readAll(files.at(f) + u".enc"_s) == reference(data.at(f), key), qPrintable(files.at(f)));
    }

    // Back again in a folder of their own, where decrypting gives the original names.
    QStringList encryptedFiles;
    for (const QString& file : std::as_const(files)) {
        encryptedFiles << back.filePath(QFileInfo(file).fileName() + u".enc"_s);
        QVERIFY(QFile::copy(file + u".enc"_s, encryptedFiles.last()));
    }
    QCOMPARE(run(QStringList {u"decrypt"_s} + arguments + encryptedFiles, input).status, 0);
    for (qsizetype f = 0; f < files.size(); ++f) {
        QVERIFY(readAll(encryptedFiles.at(f)) == reference(data.at(f), key));
        QVERIFY2(readAll(encryptedFiles.at(f).chopped(4)) == data.at(f), qPrintable(encryptedFiles.at(f)));
    }
}

void TestCli::autoKey()
{
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"file"_s);
    const QByteArray data = testBytes(3000, 7);
    writeFile(file, data);
    const Finished result = run({u"encrypt"_s, u"--auto-key"_s, u"-v"_s, file});
    QCOMPARE(result.status, 0);
    // The key first, on a line of its own, in the window's Auto form.
    const QStringList lines = QString::fromUtf8(result.out).split(u'\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY2(QRegularExpression(u"^[A-Z0-9]{4}(-[A-Z0-9]{4}){3}$"_s).match(lines.at(0)).hasMatch(),
             result.out.constData());
    QCOMPARE(lines.at(1), file + u" -> "_s + file + u".enc"_s);
    QVERIFY(readAll(file + u".enc"_s) == reference(data, lines.at(0)));
    QVERIFY(readAll(file) == data);
}

void TestCli::prompt_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArrayList>("typed"); // each line after its question
    QTest::addColumn<int>("status");

    const QByteArray line = Key.toUtf8() + '\n';
    QTest::newRow("encrypt asks twice") << u"encrypt"_s << QByteArrayList {line, line} << 0;
    QTest::newRow("encrypt, the two keys differ") << u"encrypt"_s << QByteArrayList {line, "Schlussel\n"} << 2;
    QTest::newRow("decrypt asks once") << u"decrypt"_s << QByteArrayList {line} << 0;
    QTest::newRow("Ctrl-C at the question") << u"encrypt"_s << QByteArrayList {"Schl\x03"} << 130;
}

void TestCli::prompt()
{
    QFETCH(QString, command);
    QFETCH(QByteArrayList, typed);
    QFETCH(int, status);
    int master = -1;
    int terminal = -1;
    QCOMPARE(::openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
    const auto closeBoth = qScopeGuard([&] {
        ::close(master);
        ::close(terminal);
    });
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(terminal, F_SETFD, FD_CLOEXEC);
    const QTemporaryDir dir;
    const bool encrypt = command == u"encrypt"_s;
    const QString file = dir.filePath(encrypt ? u"data"_s : u"data.enc"_s);
    const QString output = dir.filePath(encrypt ? u"data.enc"_s : u"data"_s);
    const QByteArray data = testBytes(1500, 3);
    writeFile(file, data);

    QProcess process;
    prepare(process, {command, file}, terminal);
    process.start();
    QVERIFY(process.waitForStarted());
    // What the program shows on the terminal; the answers are typed only once asked, as a person does.
    QByteArray screen;
    const auto readScreen = [&](int timeout) {
        pollfd ready {master, POLLIN, 0};
        char buffer[4096];
        while (::poll(&ready, 1, timeout) > 0) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                return;
            screen.append(buffer, n);
            if (timeout > 0)
                return;
        }
    };
    for (qsizetype answer = 0; answer < typed.size(); ++answer) {
        QTRY_VERIFY2_WITH_TIMEOUT((readScreen(1), screen.count("Key") > answer), screen.constData(), 60000);
        QCOMPARE(::write(master, typed.at(answer).constData(), size_t(typed.at(answer).size())),
                 ssize_t(typed.at(answer).size()));
    }
    QVERIFY(process.waitForFinished(60000));
    readScreen(0);
    QCOMPARE(process.exitCode(), status);
    QVERIFY2(!screen.contains("Schl"), screen.constData()); // no echo
    QVERIFY(process.readAllStandardOutput().isEmpty()); // the questions go to the terminal alone
    termios now {};
    QCOMPARE(::tcgetattr(terminal, &now), 0);
    QVERIFY(now.c_lflag & ECHO); // given back as it was

    QVERIFY(readAll(file) == data);
    if (status == 0)
        QVERIFY(readAll(output) == reference(data, Key));
    else
        QCOMPARE(entries(dir.path()), QStringList {QFileInfo(file).fileName()});
}

void TestCli::refused_data()
{
    QTest::addColumn<QStringList>("arguments"); // FILE stands for the one file, BADKEY for a file that is no UTF-8
    QTest::addColumn<QByteArray>("said");

    const QByteArray safeOnes = "--key-file, --key-env or --key-fd";
    QTest::newRow("a key in the arguments")
        << QStringList {u"encrypt"_s, u"--key"_s, u"secret"_s, u"FILE"_s} << safeOnes;
    QTest::newRow("a key glued to -k") << QStringList {u"encrypt"_s, u"-ksecret"_s, u"FILE"_s} << safeOnes;
    QTest::newRow("--password, its value missing")
        << QStringList {u"encrypt"_s, u"FILE"_s, u"--password"_s} << safeOnes;
    QTest::newRow("an empty key") << QStringList {u"encrypt"_s, u"--key-env"_s, u"ZAFREL_TEST_EMPTY"_s, u"FILE"_s}
                                  << "No key given!"_ba;
    QTest::newRow("a key file that is no UTF-8")
        << QStringList {u"encrypt"_s, u"--key-file"_s, u"BADKEY"_s, u"FILE"_s} << "not valid UTF-8"_ba;
    QTest::newRow("two keys") << QStringList {u"encrypt"_s, u"--key-env=ZAFREL_TEST_KEY"_s, u"--key-fd=0"_s, u"FILE"_s}
                              << "give one key"_ba;
    QTest::newRow("--auto-key to decrypt")
        << QStringList {u"decrypt"_s, u"--auto-key"_s, u"FILE"_s} << "only encrypts"_ba;
    QTest::newRow("no key, no terminal") << QStringList {u"encrypt"_s, u"FILE"_s} << "run on a terminal"_ba;
    QTest::newRow("an unknown command") << QStringList {u"scramble"_s, u"--key-env=ZAFREL_TEST_KEY"_s, u"FILE"_s}
                                        << "unknown command 'scramble'"_ba;
    QTest::newRow("no path") << QStringList {u"encrypt"_s, u"--key-env=ZAFREL_TEST_KEY"_s} << "no PATH"_ba;
    QTest::newRow("no jobs") << QStringList {u"encrypt"_s, u"-j0"_s, u"--key-env=ZAFREL_TEST_KEY"_s, u"FILE"_s}
                             << "--jobs"_ba;
    QTest::newRow("an unknown option") << QStringList {u"encrypt"_s, u"--force"_s, u"--key-env=ZAFREL_TEST_KEY"_s,
                                                       u"FILE"_s}
                                       << "'force'"_ba;
}

// Refused with status 2 before anything is touched.
void TestCli::refused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, said);
    const QTemporaryDir dir;
    const QTemporaryDir keyDir;
    const QString file = dir.filePath(u"file"_s);
    const QByteArray data = testBytes(2000, 1);
    writeFile(file, data);
    writeFile(keyDir.filePath(u"bad"_s), "\xff\xfe");
    arguments.replaceInStrings(u"FILE"_s, file).replaceInStrings(u"BADKEY"_s, keyDir.filePath(u"bad"_s));

    const Finished result = run(arguments);
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.startsWith("zafrel-cli: ") && result.err.contains(said), result.err.constData());
    QVERIFY(result.out.isEmpty());
    QCOMPARE(entries(dir.path()), QStringList {u"file"_s});
    QVERIFY(readAll(file) == data);
}

void TestCli::recursive_data()
{
    QTest::addColumn<QStringList>("arguments"); // TOP stands for the folder walked
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said"); // on standard error
    QTest::addColumn<Tree>("changes"); // from the tree as it was

    const QByteArray a = testBytes(1500, 1);
    const QByteArray b = testBytes(3, 2);
    const QByteArray hidden = testBytes(1002, 3);
    const QByteArray old = testBytes(40, 4);
    const QByteArray c = testBytes(70, 5);
    const QString key = u"--key-env=ZAFREL_TEST_KEY"_s;
    // An old output (top/a.enc) is replaced, never taken as an input itself; links are not followed.
    const QMap<QString, QByteArray> encrypted {{u"top/a.enc"_s, reference(a, Key)},
                                               {u"top/sub/b.enc"_s, reference(b, Key)},
                                               {u"top/sub/.hidden.enc"_s, reference(hidden, Key)},
                                               {u"top/sub/c.enc.enc"_s, reference(c, Key)}};
    QTest::newRow("encrypt -r") << QStringList {u"encrypt"_s, u"-r"_s, key, u"TOP"_s} << 0 << QByteArray() << encrypted;
    QMap<QString, QByteArray> kept = encrypted;
    kept.remove(u"top/a.enc"_s);
    QTest::newRow("encrypt -r -n keeps the old output")
        << QStringList {u"encrypt"_s, u"-rn"_s, key, u"TOP"_s} << 0 << QByteArray() << kept;
    QTest::newRow("decrypt -r takes only .enc files")
        << QStringList {u"decrypt"_s, u"--recursive"_s, key, u"TOP/"_s} << 0 << QByteArray()
        << QMap<QString, QByteArray> {{u"top/a"_s, reference(old, Key)}, {u"top/sub/c"_s, reference(c, Key)}};
    QTest::newRow("a folder without -r fails, the rest goes on")
        << QStringList {u"encrypt"_s, key, u"TOP"_s, u"TOP/sub/b"_s} << 1 << "zafrel-cli: TOP: Is a directory\n"_ba
        << QMap<QString, QByteArray> {{u"top/sub/b.enc"_s, reference(b, Key)}};
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
    writeFile(top + u"/a"_s, testBytes(1500, 1));
    writeFile(top + u"/a.enc"_s, testBytes(40, 4));
    writeFile(top + u"/sub/b"_s, testBytes(3, 2));
    writeFile(top + u"/sub/.hidden"_s, testBytes(1002, 3));
    writeFile(top + u"/sub/c.enc"_s, testBytes(70, 5));
    writeFile(root.filePath(u"elsewhere/d"_s), testBytes(100, 6));
    QVERIFY(QFile::link(u"../elsewhere"_s, top + u"/folder link"_s));
    QVERIFY(QFile::link(u"sub/b"_s, top + u"/file link"_s));
    QMap<QString, QByteArray> expected = tree(root.path());
    expected.insert(changes);

    const Finished result = run(arguments.replaceInStrings(u"TOP"_s, top));
    QCOMPARE(result.status, status);
    QCOMPARE(result.err, said.replace("TOP", QFile::encodeName(top)));
    QCOMPARE(tree(root.path()), expected);
}

void TestCli::report_data()
{
    QTest::addColumn<QStringList>("arguments"); // DIR stands for the folder of the files
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said"); // standard output and error as one stream

    QTest::newRow("in the order given, whichever file ends first")
        << QStringList {u"encrypt"_s, u"-v"_s,          u"-j"_s,       u"4"_s,       u"DIR/large"_s,
                        u"DIR/one"_s, u"DIR/missing"_s, u"DIR/none"_s, u"DIR/fine"_s}
        << 1
        << "DIR/large -> DIR/large.enc\n"
           "zafrel-cli: DIR/one: File Too small\n"
           "zafrel-cli: DIR/missing: No such file or directory\n"
           "zafrel-cli: DIR/none: File Too small\n"
           "DIR/fine -> DIR/fine.enc\n"_ba;
    QTest::newRow("a name too short to decrypt") << QStringList {u"decrypt"_s, u"DIR/abc"_s} << 1
                                                 << "zafrel-cli: DIR/abc: The name is too short to remove four "
                                                    "characters\n"_ba;
    QTest::newRow("-n skips an existing output")
        << QStringList {u"encrypt"_s, u"-n"_s, u"-v"_s, u"DIR/abc"_s, u"DIR/fine"_s} << 0
        << "DIR/abc -> DIR/abc.enc\nDIR/fine: skipped, DIR/fine.enc exists\n"_ba;
}

void TestCli::report()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QByteArray, said);
    const QTemporaryDir dir;
    const QMap<QString, QByteArray> files {{u"large"_s, testBytes(24 * 1024 * 1024, 1)},
                                           {u"one"_s, "1"},
                                           {u"none"_s, {}},
                                           {u"abc"_s, testBytes(3000, 2)},
                                           {u"fine"_s, testBytes(2000, 3)},
                                           {u"fine.enc"_s, testBytes(10, 4)}};
    for (auto file = files.cbegin(); file != files.cend(); ++file)
        writeFile(dir.filePath(file.key()), file.value());

    const Finished result = run(arguments.replaceInStrings(u"DIR"_s, dir.path()) << u"--key-env=ZAFREL_TEST_KEY"_s, {},
                                QProcess::MergedChannels);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, said.replace("DIR", QFile::encodeName(dir.path())));
    for (auto file = files.cbegin(); file != files.cend(); ++file)
        if (!result.out.contains(QByteArray(" -> " + QFile::encodeName(dir.filePath(file.key())) + '\n')))
            QVERIFY2(readAll(dir.filePath(file.key())) == file.value(), qPrintable(file.key()));
    for (const QString& written : QString::fromUtf8(result.out).split(u'\n'))
        if (written.contains(u" -> "_s))
            QVERIFY(readAll(written.section(u" -> "_s, 1))
                    == reference(readAll(written.section(u" -> "_s, 0, 0)), Key));
}

void TestCli::largeFileInWork_data()
{
    QTest::addColumn<int>("signal"); // 0: none, the files change instead
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said"); // on standard error; DIR stands for the folder

    QTest::newRow("SIGINT") << SIGINT << 130 << QByteArray();
    QTest::newRow("SIGTERM") << SIGTERM << 130 << QByteArray();
    QTest::newRow("files changed since they were measured")
        << 0 << 1
        << "zafrel-cli: DIR/large: The file changed while it was being read\n"
           "zafrel-cli: DIR/last: The file changed while it was being read\n"_ba;
}

// One file at a time: a small one, a large one and a small one. A signal while the large one is in work leaves the
// first file's output, nothing of the large one, and never starts the last. A file cut short while it is read, or
// grown since the run measured it, fails and leaves nothing either.
void TestCli::largeFileInWork()
{
    QFETCH(int, signal);
    QFETCH(int, status);
    QFETCH(QByteArray, said);
    const QTemporaryDir dir;
    const QString first = dir.filePath(u"first"_s);
    const QString large = dir.filePath(u"large"_s);
    const QString last = dir.filePath(u"last"_s);
    constexpr qint64 LargeSize = qint64(1) << 30;
    writeFile(first, testBytes(1500, 1));
    writeFile(last, testBytes(1500, 2));
    QFile largeFile(large); // sparse: quick to make, and no disk space
    QVERIFY(largeFile.open(QIODevice::WriteOnly) && largeFile.resize(LargeSize));

    QProcess process;
    prepare(process, {u"encrypt"_s, u"-v"_s, u"-j1"_s, u"--key-env=ZAFREL_TEST_KEY"_s, first, large, last});
    process.start();
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(inWork(process.processId(), dir.path(), large, {first, large, last}), 60000);
    const QByteArray lastData = testBytes(signal ? 1500 : 1501, 2);
    if (signal) {
        QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
    } else {
        writeFile(last, lastData);
        QVERIFY(largeFile.resize(0));
    }
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), status);
    QCOMPARE(process.readAllStandardError(), said.replace("DIR", QFile::encodeName(dir.path())));
    QCOMPARE(process.readAllStandardOutput(), QFile::encodeName(first + u" -> "_s + first + u".enc\n"_s));
    QCOMPARE(entries(dir.path()), (QStringList {u"first"_s, u"first.enc"_s, u"large"_s, u"last"_s}));
    QVERIFY(readAll(first + u".enc"_s) == reference(testBytes(1500, 1), Key));
    QVERIFY(readAll(first) == testBytes(1500, 1));
    QVERIFY(readAll(last) == lastData);
    QVERIFY(allZero(large, signal ? LargeSize : 0));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
