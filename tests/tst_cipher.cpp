// SPDX-License-Identifier: GPL-3.0-or-later

// The cipher core against a plain reference loop written here, never against the kernel it tests.

#include "FileHelpers.h"
#include "cipher/Descriptor.h"
#include "cipher/FileTransform.h"
#include "cipher/KeyGenerator.h"
#include "cipher/KeyStream.h"
#include "cipher/Leftovers.h"
#include "cipher/OutputFile.h"
#include "cipher/Progress.h"
#include "cipher/TestSeams.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <acl/libacl.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <numeric>
#include <poll.h>
#include <sys/acl.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString randomKey(int characters)
{
    QString key;
    for (int c = 0; c < characters; ++c)
        key.append(QChar(static_cast<char16_t>(QRandomGenerator::global()->bounded(1, 0xD800))));
    return key;
}

mode_t permissionsOf(const QString& path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Permissions of the files this process holds open in `folder`, `except` aside: a temporary output, named or
// not (QSaveFile may write an unnamed O_TMPFILE file, seen here as "folder/#123 (deleted)").
QList<mode_t> openFileModesIn(const QString& folder, const QString& except)
{
    QList<mode_t> modes;
    for (const QString& fd : entries(u"/proc/self/fd"_s)) {
        const QByteArray link = "/proc/self/fd/" + fd.toLatin1();
        char target[4096] = {};
        const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
        const QString path = QFile::decodeName(QByteArray(target, std::max<ssize_t>(n, 0)));
        if (path.startsWith(folder + u'/') && path != except)
            modes.append(permissionsOf(QString::fromLatin1(link)));
    }
    return modes;
}

// A file's road through the core, as a run takes it: measured, prepared with `output` as its output, then written with
// `key` (no key, no bytes), `chunkSize` bytes at a time.
TransformResult transformFile(const QString& input, const QString& output, QByteArrayView key,
                              const TransformObserver& observer = {},
                              qint64 chunkSize = FileTransform::DefaultChunkSize)
{
    FileTransform transform(chunkSize);
    if (const FileError refused = transform.prepare({input, true, QFileInfo(input).size(), output}); refused.isError())
        return {TransformOutcome::Failed, refused};
    KeyStream keys(key);
    return transform.writeTo(keys, observer);
}

// Somebody on the machine: a user and the one group they belong to.
struct Principal
{
    uid_t uid;
    gid_t gid;
};
// Who runs the transform in the tests that need several users.
constexpr Principal Victim {65534, 65534};
constexpr Principal Intruder {65533, 65533};
// Members of a shared folder's group, of the victim's own group, of neither, and one an access list names.
constexpr Principal Teammate {65531, 65532};
constexpr Principal Groupmate {65530, Victim.gid};
constexpr Principal Stranger {65529, 65529};
constexpr Principal Named {65528, 65528};

// Runs `work` as `who`, with no other group, in a child process; it needs root. Gives what `work` returned, or -1
// when it could not run.
int asUser(Principal who, const std::function<int()>& work)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (!becomeUser(who.uid, who.gid))
            ::_exit(255);
        ::_exit(work());
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs `work` as a user whom the file modes bind: "nobody" when the tests run as root, else right here.
int asPlainUser(const std::function<int()>& work)
{
    return ::geteuid() == 0 ? asUser(Victim, work) : work();
}

// A real read, as `who`.
bool canRead(Principal who, const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    return asUser(who,
                  [&] {
                      const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
                      return fd >= 0 && ::close(fd) == 0 ? 0 : 1;
                  })
        == 0;
}

// Runs `transform` with files limited to `bytes`, and SIGXFSZ ignored so that a file past the limit fails with EFBIG
// instead of killing the process.
TransformResult withFileSizeLimit(rlim_t bytes, const std::function<TransformResult()>& transform)
{
    rlimit saved {};
    if (::getrlimit(RLIMIT_FSIZE, &saved) != 0)
        return {};
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = bytes;
    const TransformResult result = ::setrlimit(RLIMIT_FSIZE, &limited) == 0 ? transform() : TransformResult {};
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);
    return result;
}

bool giveTo(const QString& path, Principal who, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    return ::lchown(name.constData(), who.uid, who.gid) == 0 && ::chmod(name.constData(), mode) == 0;
}

// Sets an access list given as text (`setfacl` syntax). False where the file system keeps none.
bool setAccessList(const QString& path, acl_type_t type, const QString& text)
{
    const acl_t list = acl_from_text(text.toLatin1().constData());
    const bool set = list && acl_set_file(QFile::encodeName(path).constData(), type, list) == 0;
    acl_free(list);
    return set;
}

// A folder that the plain user may write into as well.
bool openToAll(const QTemporaryDir& dir)
{
    return dir.isValid() && ::chmod(QFile::encodeName(dir.path()).constData(), 0777) == 0;
}

// The letters and digits of a batch of keys, counted.
struct KeyCensus
{
    qint64 characters = 0;
    qint64 letters = 0;
    QHash<QChar, qint64> perCharacter;

    explicit KeyCensus(const QStringList& keys)
    {
        for (const QString& key : keys) {
            for (const QChar c : key) {
                if (c == u'-')
                    continue;
                ++characters;
                letters += c.isLetter();
                ++perCharacter[c];
            }
        }
    }

    double letterShare() const { return double(letters) / double(characters); }

    // 0.40 +- 0.005 over 160 000 characters is about four standard deviations either way: a right generator
    // passes with near certainty, one that draws letters at 39 or 41 in 100 fails with near certainty.
    bool lawHolds() const
    {
        if (characters < 160000 || qAbs(letterShare() - 0.40) > 0.005)
            return false;
        for (char c = 'A'; c <= 'Z'; ++c)
            if (!perCharacter.value(QChar::fromLatin1(c)))
                return false;
        for (char c = '0'; c <= '9'; ++c)
            if (!perCharacter.value(QChar::fromLatin1(c)))
                return false;
        return true;
    }
};

// Answers draws from a fixed list, to watch which draws the key generator throws away.
struct ScriptedSource
{
    QList<quint32> draws;
    int used = 0;
    quint32 generate() { return draws.at(used++); }
};

} // namespace

class tst_Cipher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keyBytesAreUtf16LittleEndian_data();
    void keyBytesAreUtf16LittleEndian();
    void kernelMatchesReference_data();
    void kernelMatchesReference();
    void kernelTakesTheCpusFastestPath();
    void keptStreamMatchesReference_data();
    void keptStreamMatchesReference();
    void halfGoesToEven_data();
    void halfGoesToEven();
    void checkpointSchedule_data();
    void checkpointSchedule();
    void overallPercent_data();
    void overallPercent();
    void outputNames_data();
    void outputNames();

    void transformRoundTrips_data();
    void transformRoundTrips();
    void characterWidthDecidesOddOffsets_data();
    void characterWidthDecidesOddOffsets();
    void observerSeesExactlyTheCheckpoints_data();
    void observerSeesExactlyTheCheckpoints();
    void stopDiscardsTheOutput_data();
    void stopDiscardsTheOutput();
    void emptyKeyIsRefused();

    void badInputFailsWithoutCreatingIt_data();
    void badInputFailsWithoutCreatingIt();
    void somethingElseAtOutputFails_data();
    void somethingElseAtOutputFails();
    void fileSizeLimitKeepsOldOutput();
    void commitKeepsATakenName_data();
    void commitKeepsATakenName();
    void outputThatAppearsIsKept_data();
    void outputThatAppearsIsKept();
    void unsyncedBytesKeepTheOldOutput_data();
    void unsyncedBytesKeepTheOldOutput();
    void refusedSpaceFailsAtOnce_data();
    void refusedSpaceFailsAtOnce();
    void outputGetsInputPermissionsFromTheStart();
    void unwritableOutputFailsForUser_data();
    void unwritableOutputFailsForUser();
    void outputPermissions_data();
    void outputPermissions();
    void outputLinks_data();
    void outputLinks();
    void linksInSharedFolders_data();
    void linksInSharedFolders();
    void nobodyReadsWhatTheyCouldNot_data();
    void nobodyReadsWhatTheyCouldNot();
    void changedDuringAYield_data();
    void changedDuringAYield();
    void endOfProcessLeavesNothing_data();
    void endOfProcessLeavesNothing();
    void temporaryNames_data();
    void temporaryNames();
    void sweepRemovesOnlyStaleFiles_data();
    void sweepRemovesOnlyStaleFiles();
    void sweepOncePerFolderARound();
    void writerOutlivesSweeps_data();
    void writerOutlivesSweeps();
    void inputChangedDuringAYield_data();
    void inputChangedDuringAYield();
    void streamAsItComes_data();
    void streamAsItComes();
    void streamFromWhereItStands();

    void autoKeysFollowTheLaw();
    void lawCheckCatchesWrongGenerators_data();
    void lawCheckCatchesWrongGenerators();
    void drawsInIncompleteBlockAreRedrawn_data();
    void drawsInIncompleteBlockAreRedrawn();
};

void tst_Cipher::keyBytesAreUtf16LittleEndian_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("ascii") << u"Ab"_s << QByteArray("A\0b\0", 4);
    QTest::newRow("above U+00FF") << u"\u0141\u20ac"_s << QByteArray("\x41\x01\xac\x20", 4);
    QTest::newRow("surrogate pair") << u"\U0001F600"_s << QByteArray("\x3d\xd8\x00\xde", 4);
}

void tst_Cipher::keyBytesAreUtf16LittleEndian()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, bytes);
    QCOMPARE(keyBytes(key), bytes);
}

void tst_Cipher::kernelMatchesReference_data()
{
    QTest::addColumn<XorPath>("path");
    QTest::addColumn<int>("keyCharacters");
    QTest::addColumn<int>("misalignment");
    QTest::addColumn<qint64>("startOffset");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("piece");
    // Both bodies of the loop meet the same reference, so they give the same bytes. Sizes around the 64-byte vector
    // step and past the 32 KiB block, in pieces that do not divide the key and in one call; odd start offsets put
    // the pattern off its alignment as the misalignment does the data.
    const QList<std::pair<int, int>> sizesInPieces
        = {{0, 5}, {1, 5}, {63, 5}, {65, 5}, {127, 127}, {100003, 4099}, {100003, 100003}};
    for (const XorPath path : {XorPath::Baseline, XorPath::Avx2})
        for (const int characters : {1, 3, 17, 20000})
            for (const int misalignment : {0, 1, 7})
                for (const auto& [size, piece] : sizesInPieces)
                    QTest::addRow("%s, key %d, offset %d, %d bytes in %d", path == XorPath::Avx2 ? "AVX2" : "SSE2",
                                  characters, misalignment, size, piece)
                        << path << characters << misalignment << qint64(characters) * 2 - 1 + misalignment << size
                        << piece;
}

void tst_Cipher::kernelMatchesReference()
{
    QFETCH(XorPath, path);
    QFETCH(int, keyCharacters);
    QFETCH(int, misalignment);
    QFETCH(qint64, startOffset);
    QFETCH(int, size);
    QFETCH(int, piece);
    if (!cpuHas(path))
        QSKIP("This CPU has no AVX2");
    const QString key = randomKey(keyCharacters);
    // The reference starts at key byte 0, so prepend the bytes before the start position.
    const QByteArray whole = testBytes(startOffset + size);
    QByteArray storage = QByteArray(misalignment, '\0') + whole.mid(startOffset);

    KeyStream stream(keyBytes(key));
    stream.setPosition(startOffset);
    for (int done = 0; done < size; done += piece)
        stream.apply(storage.data() + misalignment + done, std::min(piece, size - done), path);

    QCOMPARE(storage.mid(misalignment), reference(whole, key).mid(startOffset));
    QCOMPARE(stream.position(), (startOffset + size) % (qint64(keyCharacters) * 2));
}

// The program runs the AVX2 body wherever the CPU has it, and only there.
void tst_Cipher::kernelTakesTheCpusFastestPath()
{
    const bool avx2 = readAll(u"/proc/cpuinfo"_s).contains(" avx2");
    QCOMPARE(cpuHas(XorPath::Avx2), avx2);
    QCOMPARE(fastestXorPath(), avx2 ? XorPath::Avx2 : XorPath::Baseline);
}

void tst_Cipher::keptStreamMatchesReference_data()
{
    QTest::addColumn<int>("keyCharacters");
    for (const int characters : {1, 3, 17, 20000})
        QTest::addRow("key %d", characters) << characters;
}

// A run keeps one stream for every file while the key stays the same: each file starts at the key's first byte, and
// a file longer than any before (up to a block and past it) grows the pattern from where it stopped, mid-key.
void tst_Cipher::keptStreamMatchesReference()
{
    QFETCH(int, keyCharacters);
    const QString key = randomKey(keyCharacters);
    KeyStream stream(keyBytes(key));
    int seed = 0;
    for (const int size : {2, 7, 1001, 3, 40001, 5, 100003}) {
        const QByteArray input = testBytes(size, ++seed);
        QByteArray data = input;
        stream.setPosition(0);
        stream.apply(data.data(), size);
        QCOMPARE(data, reference(input, key));
    }
}

void tst_Cipher::halfGoesToEven_data()
{
    QTest::addColumn<qint64>("numerator");
    QTest::addColumn<qint64>("denominator");
    QTest::addColumn<qint64>("quotient");
    QTest::newRow("below a half") << qint64(1499) << qint64(1000) << qint64(1);
    QTest::newRow("above a half") << qint64(1501) << qint64(1000) << qint64(2);
    QTest::newRow("half, up to even") << qint64(1500) << qint64(1000) << qint64(2);
    QTest::newRow("half, down to even") << qint64(2500) << qint64(1000) << qint64(2);
    QTest::newRow("half of one") << qint64(1) << qint64(2) << qint64(0);
    QTest::newRow("nothing") << qint64(0) << qint64(7) << qint64(0);
    // Exact where a double is not: 2^53 + 1 has no double, and its half is 2^52 + 0.5.
    QTest::newRow("beyond doubles") << (qint64(1) << 53) + 1 << qint64(2) << (qint64(1) << 52);
}

void tst_Cipher::halfGoesToEven()
{
    QFETCH(qint64, numerator);
    QFETCH(qint64, denominator);
    QFETCH(qint64, quotient);
    QCOMPARE(roundedQuotient(numerator, denominator), quotient);
    // The run's percentages round by the same rule, and a run of nothing is at 0.
    if (numerator <= 1'000'000 && denominator > 0)
        QCOMPARE(wholePercent(numerator, denominator * 100), qint16(quotient));
    QCOMPARE(wholePercent(5, 0), qint16(0));
}

void tst_Cipher::checkpointSchedule_data()
{
    QTest::addColumn<qint64>("length");
    QTest::addColumn<qint64>("step");
    QTest::addColumn<qint64>("count");
    QTest::newRow("empty") << qint64(0) << qint64(0) << qint64(0);
    QTest::newRow("2") << qint64(2) << qint64(0) << qint64(0);
    QTest::newRow("1001") << qint64(1001) << qint64(0) << qint64(0);
    QTest::newRow("1002") << qint64(1002) << qint64(1) << qint64(1002);
    QTest::newRow("1500") << qint64(1500) << qint64(1) << qint64(1500);
    QTest::newRow("1501: 1.5 to 2") << qint64(1501) << qint64(2) << qint64(751);
    QTest::newRow("1502") << qint64(1502) << qint64(2) << qint64(751);
    QTest::newRow("2500") << qint64(2500) << qint64(2) << qint64(1250);
    QTest::newRow("2501: 2.5 to 2") << qint64(2501) << qint64(2) << qint64(1251);
    QTest::newRow("2502") << qint64(2502) << qint64(3) << qint64(834);
    QTest::newRow("3501: 3.5 to 4") << qint64(3501) << qint64(4) << qint64(876);
    QTest::newRow("4501: 4.5 to 4") << qint64(4501) << qint64(4) << qint64(1126);
    QTest::newRow("1000000") << qint64(1000000) << qint64(1000) << qint64(1000);
    QTest::newRow("1000001") << qint64(1000001) << qint64(1000) << qint64(1001);
    QTest::newRow("3 GiB") << qint64(3) * 1024 * 1024 * 1024 << qint64(3221225) << qint64(1001);
}

void tst_Cipher::checkpointSchedule()
{
    QFETCH(qint64, length);
    QFETCH(qint64, step);
    QFETCH(qint64, count);
    QCOMPARE(checkpointStep(length), step);
    QCOMPARE(checkpointCount(length), count);
}

void tst_Cipher::overallPercent_data()
{
    QTest::addColumn<qint64>("i");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<qint64>("fileBytes");
    QTest::addColumn<qint64>("totalBytes");
    QTest::addColumn<int>("base");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("error");
    // Halves exact in binary: 12.5 goes down to 12, 37.5 up to 38.
    QTest::newRow("12.5 to 12") << qint64(1) << qint64(9) << qint64(9) << qint64(9) << 0 << 12 << 12 << 0;
    QTest::newRow("37.5 to 38") << qint64(3) << qint64(9) << qint64(9) << qint64(9) << 0 << 38 << 38 << 0;
    QTest::newRow("half a share") << qint64(1) << qint64(5) << qint64(1) << qint64(2) << 0 << 12 << 12 << 0;
    QTest::newRow("past 100 shows 100") << qint64(1000) << qint64(1001) << qint64(50) << qint64(100) << 60 << 110 << 100
                                        << 0;
    QTest::newRow("total cleared") << qint64(5) << qint64(2000) << qint64(2000) << qint64(0) << 0 << 0 << 0 << EDOM;
    QTest::newRow("beyond 16 bits") << qint64(1000) << qint64(1001) << (qint64(1) << 40) << qint64(1) << 0 << 0 << 0
                                    << ERANGE;
    QTest::newRow("file of 3 GiB") << qint64(3) * 1024 * 1024 * 512 << qint64(3) * 1024 * 1024 * 1024 + 1
                                   << qint64(3) * 1024 * 1024 * 1024 + 1 << qint64(4) * 1024 * 1024 * 1024 << 0 << 38
                                   << 38 << 0;
}

void tst_Cipher::overallPercent()
{
    QFETCH(qint64, i);
    QFETCH(qint64, length);
    QFETCH(qint64, fileBytes);
    QFETCH(qint64, totalBytes);
    QFETCH(int, base);
    QFETCH(int, value);
    QFETCH(int, shown);
    QFETCH(int, error);
    const OverallPercent percent = ::overallPercent(i, length, fileBytes, totalBytes, static_cast<qint16>(base));
    QCOMPARE(percent.error.number, error);
    if (error == 0) {
        QCOMPARE(percent.value, value);
        QCOMPARE(percent.shown(), shown);
    } else {
        QVERIFY(!percent.error.description.isEmpty());
    }
    QCOMPARE(rowPercent(1, 3), 50.0f);
}

void tst_Cipher::outputNames_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("encrypt");
    QTest::addColumn<QString>("output");
    QTest::newRow("encrypt") << u"/d/a.txt"_s << true << u"/d/a.txt.enc"_s;
    QTest::newRow("encrypt .enc again") << u"/d/x.enc"_s << true << u"/d/x.enc.enc"_s;
    QTest::newRow("decrypt") << u"/d/a.txt.enc"_s << false << u"/d/a.txt"_s;
    QTest::newRow("decrypt any four") << u"/d/notes.txt"_s << false << u"/d/notes"_s;
    QTest::newRow("decrypt too short") << u"abc"_s << false << QString();
    // Four characters or fewer after the last '/': nothing is left to name in the input's own folder.
    QTest::newRow("decrypt a name of four") << u"/P/zz/abcd"_s << false << QString();
    QTest::newRow("decrypt a name of five") << u"/P/zz/abcde"_s << false << u"/P/zz/a"_s;
    // Characters beyond U+FFFF are one character each, never cut in two.
    QTest::newRow("decrypt past an emoji") << u"/d/ab\U0001F600xyz"_s << false << u"/d/ab"_s;
    QTest::newRow("decrypt to an emoji") << u"/d/a\U0001F600.enc"_s << false << u"/d/a\U0001F600"_s;
    QTest::newRow("decrypt three emoji") << u"/d/\U0001F600\U0001F600\U0001F600"_s << false << QString();
    QTest::newRow("decrypt four emoji") << u"/d/\U0001F600\U0001F600\U0001F600\U0001F600"_s << false << QString();
}

void tst_Cipher::outputNames()
{
    QFETCH(QString, input);
    QFETCH(bool, encrypt);
    QFETCH(QString, output);
    QCOMPARE(outputPath(input, encrypt), output);
}

void tst_Cipher::transformRoundTrips_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("keyCharacters");
    QTest::addColumn<qint64>("chunkSize");
    QTest::addColumn<int>("oldOutputSize");
    QTest::addColumn<QString>("name");
    const QString name = u"a.txt"_s;
    // Refused before any work, as every run refuses them.
    QTest::newRow("empty file") << 0 << 3 << FileTransform::DefaultChunkSize << 0 << name;
    QTest::newRow("1 byte") << 1 << 3 << FileTransform::DefaultChunkSize << 0 << name;
    QTest::newRow("2 bytes over a longer old output") << 2 << 1 << FileTransform::DefaultChunkSize << 5000 << name;
    QTest::newRow("1001 bytes") << 1001 << 17 << FileTransform::DefaultChunkSize << 0 << name;
    // Chunks the key does not divide: the key position must carry over every boundary.
    QTest::newRow("chunks of 7, key 3") << 5003 << 3 << qint64(7) << 0 << name;
    QTest::newRow("chunks of 1000, key 17") << 100003 << 17 << qint64(1000) << 200000 << name;
    QTest::newRow("chunks of 4099, key 20000") << 150001 << 20000 << qint64(4099) << 0 << name;
    // Chunks that end inside a page, in a file large enough that its cache is dropped behind it as it goes.
    QTest::newRow("chunks of 3 MiB + 1, key 17")
        << 24 * 1024 * 1024 + 5 << 17 << qint64(3 * 1024 * 1024 + 1) << 0 << name;
    QTest::newRow("default chunks, key 20000")
        << 9 * 1024 * 1024 + 3 << 20000 << FileTransform::DefaultChunkSize << 0 << name;
    // With ".enc", 249 of the 255 bytes a name may have: the old output must still be replaceable.
    QTest::newRow("245-byte name over an old output")
        << 3000 << 5 << FileTransform::DefaultChunkSize << 4000 << QString(245, u'n');
}

void tst_Cipher::transformRoundTrips()
{
    QFETCH(int, size);
    QFETCH(int, keyCharacters);
    QFETCH(qint64, chunkSize);
    QFETCH(int, oldOutputSize);
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString plain = dir.filePath(name);
    const QString encrypted = outputPath(plain, true);
    const QByteArray input = testBytes(size);
    const QString key = randomKey(keyCharacters);
    writeFile(plain, input);
    if (oldOutputSize > 0)
        writeFile(encrypted, QByteArray(oldOutputSize, 'x'));
    if (size < 2) {
        const TransformResult result = transformFile(plain, encrypted, keyBytes(key), {}, chunkSize);
        QCOMPARE(result.error.refusal, FileError::TooSmall);
        QCOMPARE(result.error.description, u"File Too small"_s);
        QCOMPARE(entries(dir.path()), QStringList {name});
        QCOMPARE(readAll(plain), input);
        return;
    }

    QCOMPARE(transformFile(plain, encrypted, keyBytes(key), {}, chunkSize).outcome, TransformOutcome::Written);
    QCOMPARE(readAll(encrypted), reference(input, key));
    QCOMPARE(readAll(plain), input);

    // Decrypting beside a copy: the output name drops ".enc" and must come back byte for byte.
    QVERIFY(QFile::remove(plain));
    QCOMPARE(transformFile(encrypted, outputPath(encrypted, false), keyBytes(key), {}, chunkSize).outcome,
             TransformOutcome::Written);
    QCOMPARE(readAll(plain), input);
    QCOMPARE(readAll(encrypted), reference(input, key));
    QCOMPARE(entries(dir.path()), QStringList({name, name + u".enc"_s}));
}

void tst_Cipher::characterWidthDecidesOddOffsets_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("zerosBecome");
    QTest::newRow("below U+0100 leaves odd bytes") << u"A"_s << QByteArray("A\0A\0A", 5);
    QTest::newRow("above U+00FF changes them") << u"\u0141"_s
                                               << QByteArray("A\x01"
                                                             "A\x01"
                                                             "A",
                                                             5);
    QTest::newRow("zeros give the key repeated") << u"ab\u20ac"_s
                                                 << QByteArray("a\0b\0\xac\x20"
                                                               "a",
                                                               7);
}

void tst_Cipher::characterWidthDecidesOddOffsets()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, zerosBecome);
    QTemporaryDir dir;
    const QString input = dir.filePath(u"zeros"_s);
    const QByteArray zeros(zerosBecome.size(), '\0');
    writeFile(input, zeros);
    QCOMPARE(transformFile(input, outputPath(input, true), keyBytes(key)).outcome, TransformOutcome::Written);
    QCOMPARE(readAll(outputPath(input, true)), zerosBecome);
    QCOMPARE(readAll(input), zeros);
}

void tst_Cipher::observerSeesExactlyTheCheckpoints_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<qint64>("chunkSize");
    QTest::newRow("1001 never stops") << 1001 << FileTransform::DefaultChunkSize;
    QTest::newRow("1002 every byte") << 1002 << qint64(100);
    QTest::newRow("1501 every second byte") << 1501 << qint64(333);
    QTest::newRow("3501 every fourth byte") << 3501 << qint64(3);
    QTest::newRow("1000001 every 1000th") << 1000001 << qint64(65536);
}

void tst_Cipher::observerSeesExactlyTheCheckpoints()
{
    QFETCH(int, size);
    QFETCH(qint64, chunkSize);
    QTemporaryDir dir;
    const QString input = dir.filePath(u"in"_s);
    const QByteArray bytes = testBytes(size);
    writeFile(input, bytes);
    QList<qint64> seen;
    const TransformObserver observer {[&](qint64 i, qint64 length) {
                                          seen.append(i);
                                          return length == size;
                                      },
                                      {}};
    QCOMPARE(transformFile(input, outputPath(input, true), keyBytes(u"k"_s), observer, chunkSize).outcome,
             TransformOutcome::Written);

    const qint64 step = checkpointStep(size);
    QList<qint64> expected;
    for (qint64 i = 0; step > 0 && i < size; i += step)
        expected.append(i);
    QCOMPARE(seen, expected);
    QCOMPARE(readAll(input), bytes);
}

void tst_Cipher::stopDiscardsTheOutput_data()
{
    QTest::addColumn<qint64>("stopAt");
    QTest::addColumn<bool>("unnamed"); // the file system has unnamed files
    QTest::newRow("at byte 0") << qint64(0) << true;
    QTest::newRow("mid-file, past a chunk") << qint64(3000) << true;
    QTest::newRow("at the last checkpoint") << qint64(5000) << true;
    QTest::newRow("mid-file, named temporary file") << qint64(3000) << false;
}

void tst_Cipher::stopDiscardsTheOutput()
{
    QFETCH(qint64, stopAt);
    QFETCH(bool, unnamed);
    TestSeams::setUnnamedFilesAllowed(unnamed);
    const auto restore = qScopeGuard([] { TestSeams::setUnnamedFilesAllowed(true); });
    QTemporaryDir dir;
    const QString input = dir.filePath(u"in"_s);
    const QByteArray bytes = testBytes(5001);
    const QByteArray old("the old output, longer than nothing");
    writeFile(input, bytes);
    writeFile(outputPath(input, true), old);
    const TransformObserver observer {[&](qint64 i, qint64) { return i != stopAt; }, {}};
    QCOMPARE(transformFile(input, outputPath(input, true), keyBytes(u"k"_s), observer, 1024).outcome,
             TransformOutcome::Stopped);
    QCOMPARE(readAll(outputPath(input, true)), old);
    QCOMPARE(readAll(input), bytes);
    QCOMPARE(entries(dir.path()), QStringList({u"in"_s, u"in.enc"_s}));
}

void tst_Cipher::emptyKeyIsRefused()
{
    QTemporaryDir dir;
    const QString input = dir.filePath(u"in"_s);
    writeFile(input, "data");
    const TransformResult result = transformFile(input, outputPath(input, true), keyBytes(QString()));
    QCOMPARE(result.error.refusal, FileError::NoKey);
    QCOMPARE(result.error.description, u"No key given!"_s);
    QCOMPARE(entries(dir.path()), QStringList({u"in"_s}));
    QCOMPARE(readAll(input), QByteArray("data"));

    // A stream built from no key leaves data alone rather than dividing by zero.
    KeyStream stream(QByteArrayView {});
    QByteArray data("data");
    stream.apply(data.data(), data.size());
    QCOMPARE(data, QByteArray("data"));
}

void tst_Cipher::badInputFailsWithoutCreatingIt_data()
{
    QTest::addColumn<bool>("directory");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::newRow("removed before the call") << false << ENOENT << u"No such file or directory"_s;
    QTest::newRow("a directory") << true << EISDIR << u"Is a directory"_s;
}

void tst_Cipher::badInputFailsWithoutCreatingIt()
{
    QFETCH(bool, directory);
    QFETCH(int, number);
    QFETCH(QString, description);
    QTemporaryDir dir;
    const QString input = dir.filePath(u"in"_s);
    writeFile(input, "soon gone");
    QVERIFY(QFile::remove(input));
    if (directory)
        QVERIFY(QDir(dir.path()).mkdir(u"in"_s));

    const TransformResult result = transformFile(input, outputPath(input, true), keyBytes(u"k"_s));
    QCOMPARE(result.outcome, TransformOutcome::Failed);
    QCOMPARE(result.error.number, number);
    QCOMPARE(result.error.description, description);
    QCOMPARE(entries(dir.path()), directory ? QStringList({u"in"_s}) : QStringList());
}

void tst_Cipher::somethingElseAtOutputFails_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("number");
    QTest::newRow("a folder") << u"folder"_s << EISDIR;
    QTest::newRow("a pipe") << u"pipe"_s << EEXIST;
    QTest::newRow("a device") << u"device"_s << EEXIST;
}

void tst_Cipher::somethingElseAtOutputFails()
{
    QFETCH(QString, what);
    QFETCH(int, number);
    QTemporaryDir dir;
    const QString input = dir.filePath(u"in"_s);
    const QByteArray output = QFile::encodeName(outputPath(input, true));
    const QByteArray bytes = testBytes(3000);
    writeFile(input, bytes);
    if (what == u"folder"_s)
        QCOMPARE(::mkdir(output.constData(), 0755), 0);
    else if (what == u"pipe"_s)
        QCOMPARE(::mkfifo(output.constData(), 0644), 0);
    else if (::geteuid() != 0)
        QSKIP("Only root makes a device node");
    else // the numbers of /dev/null: a run as root must never replace such a node with a file
        QCOMPARE(::mknod(output.constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
    struct stat before
    {
    };
    QCOMPARE(::lstat(output.constData(), &before), 0);

    const TransformResult result = transformFile(input, QFile::decodeName(output), keyBytes(u"k"_s));
    QCOMPARE(result.outcome, TransformOutcome::Failed);
    QCOMPARE(result.error.number, number);
    QCOMPARE(result.error.description, FileError::fromErrno(number).description);
    struct stat after
    {
    };
    QCOMPARE(::lstat(output.constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(readAll(input), bytes);
    QCOMPARE(entries(dir.path()), QStringList({u"in"_s, u"in.enc"_s}));
}

void tst_Cipher::fileSizeLimitKeepsOldOutput()
{
    QTemporaryDir dir;
    const QString input = dir.filePath(u"in"_s);
    const QString output = outputPath(input, true);
    const QByteArray bytes = testBytes(20000);
    const QByteArray old(30000, 'o');
    writeFile(input, bytes);
    writeFile(output, old);

    const TransformResult result
        = withFileSizeLimit(6000, [&] { return transformFile(input, output, keyBytes(u"k"_s), {}, 4096); });

    QCOMPARE(result.outcome, TransformOutcome::Failed);
    QCOMPARE(result.error.number, EFBIG);
    QCOMPARE(result.error.description, u"File too large"_s);
    QCOMPARE(readAll(output), old);
    QCOMPARE(readAll(input), bytes);
    QCOMPARE(entries(dir.path()), QStringList({u"in"_s, u"in.enc"_s}));
}

void tst_Cipher::commitKeepsATakenName_data()
{
    QTest::addColumn<bool>("unnamed"); // the file system has unnamed files
    QTest::newRow("unnamed file") << true;
    QTest::newRow("named temporary file") << false;
}

// A name taken after the last look is still not replaced: the commit itself decides.
void tst_Cipher::commitKeepsATakenName()
{
    QFETCH(bool, unnamed);
    TestSeams::setUnnamedFilesAllowed(unnamed);
    const auto restore = qScopeGuard([] { TestSeams::setUnnamedFilesAllowed(true); });
    QTemporaryDir dir;
    const Descriptor folder(::open(QFile::encodeName(dir.path()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    {
        TemporaryOutput output(folder.get());
        QVERIFY(!output.create().isError());
        QCOMPARE(::write(output.fd(), "new", 3), 3);
        writeFile(dir.filePath(u"out"_s), "old");
        QCOMPARE(output.commitAs("out", false).number, EEXIST);
    }
    QCOMPARE(readAll(dir.filePath(u"out"_s)), "old"_ba);
    QCOMPARE(entries(dir.path()), QStringList {u"out"_s});
}

void tst_Cipher::outputThatAppearsIsKept_data()
{
    QTest::addColumn<bool>("atCommit"); // the file appears once the last look is over; else during a checkpoint
    QTest::addColumn<bool>("unnamed"); // the file system has unnamed files
    QTest::newRow("during a checkpoint") << false << true;
    QTest::newRow("as the output is committed") << true << true;
    QTest::newRow("as the output is committed, named temporary file") << true << false;
}

// An output to keep (the command line without --force) that appears after the first look is kept, whenever it appears:
// the last look and, after it, the commit itself decide.
void tst_Cipher::outputThatAppearsIsKept()
{
    QFETCH(bool, atCommit);
    QFETCH(bool, unnamed);
    QTemporaryDir dir;
    const QString input = dir.filePath(u"in"_s);
    const QString output = outputPath(input, true);
    const QByteArray bytes = testBytes(5000);
    writeFile(input, bytes);
    const auto appear = [&] {
        if (!QFileInfo::exists(output))
            writeFile(output, "appeared");
    };
    TestSeams::setUnnamedFilesAllowed(unnamed);
    TestSeams::setRaceHook([&](TestSeams::RaceMoment moment, int, const QByteArray&) {
        if (atCommit && moment == TestSeams::RaceMoment::Committing)
            appear();
    });
    const auto restore = qScopeGuard([] {
        TestSeams::setRaceHook({});
        TestSeams::setUnnamedFilesAllowed(true);
    });
    TransformObserver observer;
    observer.onCheckpoint = [&](qint64 i, qint64) {
        if (!atCommit && i == 3000)
            appear();
        return true;
    };
    FileTransform transform(1000);
    QVERIFY(!transform.prepare({input, true, bytes.size()}).isError());
    KeyStream keys(keyBytes(u"k"_s));
    QCOMPARE(transform.writeTo(keys, observer, ExistingOutput::Keep).outcome, TransformOutcome::Kept);
    QCOMPARE(readAll(output), "appeared"_ba);
    QCOMPARE(readAll(input), bytes);
    QCOMPARE(entries(dir.path()), QStringList({u"in"_s, u"in.enc"_s}));
}

void tst_Cipher::unsyncedBytesKeepTheOldOutput_data()
{
    QTest::addColumn<bool>("unnamed"); // the file system has unnamed files
    QTest::newRow("unnamed file") << true;
    QTest::newRow("named temporary file") << false;
}

// A disk that cannot take the bytes fails the file when they are synced, before they have the output's name.
void tst_Cipher::unsyncedBytesKeepTheOldOutput()
{
    QFETCH(bool, unnamed);
    TestSeams::setUnnamedFilesAllowed(unnamed);
    TestSeams::setSyncFailure(EIO);
    const auto restore = qScopeGuard([] {
        TestSeams::setSyncFailure(0);
        TestSeams::setUnnamedFilesAllowed(true);
    });
    QTemporaryDir dir;
    const QString input = dir.filePath(u"in"_s);
    const QByteArray bytes = testBytes(3000);
    writeFile(input, bytes);
    writeFile(outputPath(input, true), "old");
    const TransformResult result = transformFile(input, outputPath(input, true), keyBytes(u"k"_s));
    QCOMPARE(result.outcome, TransformOutcome::Failed);
    QCOMPARE(result.error.number, EIO);
    QCOMPARE(result.error.subject, FileError::Output);
    QCOMPARE(readAll(outputPath(input, true)), "old"_ba);
    QCOMPARE(readAll(input), bytes);
    QCOMPARE(entries(dir.path()), QStringList({u"in"_s, u"in.enc"_s}));
}

void tst_Cipher::refusedSpaceFailsAtOnce_data()
{
    QTest::addColumn<bool>("smallFileSystem");
    QTest::addColumn<int>("number");
    QTest::newRow("file system too small") << true << ENOSPC;
    QTest::newRow("file size limit") << false << EFBIG;
}

// Room for the whole output is asked for before the first byte: a disk too small for it fails the file at once, with
// the platform's error, before any checkpoint, and leaves the old output and its folder as they were.
void tst_Cipher::refusedSpaceFailsAtOnce()
{
    QFETCH(bool, smallFileSystem);
    QFETCH(int, number);
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"out"_s);
    QVERIFY(QDir().mkdir(folder));
    const QByteArray mountPoint = QFile::encodeName(folder);
    if (smallFileSystem) {
        if (::geteuid() != 0)
            QSKIP("Not run: mounting a small file system needs root (CI runs the suite as root)");
        QCOMPARE(::mount("zafrel-test", mountPoint.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k"), 0);
    }
    const auto unmount = qScopeGuard([&] {
        if (smallFileSystem)
            ::umount2(mountPoint.constData(), MNT_DETACH);
    });
    const QString input = dir.filePath(u"in"_s);
    const QString output = folder + u"/in.enc"_s;
    const QByteArray bytes = testBytes(200000);
    writeFile(input, bytes);
    writeFile(output, "old");

    int checkpoints = 0;
    const TransformObserver observer {[&](qint64, qint64) {
                                          ++checkpoints;
                                          return true;
                                      },
                                      {}};
    const auto transform = [&] {
        return transformFile(input, output, keyBytes(u"k"_s), observer, 4096);
    };
    const TransformResult result = smallFileSystem ? transform() : withFileSizeLimit(6000, transform);

    QCOMPARE(result.outcome, TransformOutcome::Failed);
    QCOMPARE(result.error.number, number);
    QCOMPARE(result.error.description, FileError::fromErrno(number).description);
    QCOMPARE(checkpoints, 0);
    QCOMPARE(readAll(output), QByteArray("old"));
    QCOMPARE(readAll(input), bytes);
    QCOMPARE(entries(folder), QStringList({u"in.enc"_s}));
}

void tst_Cipher::outputGetsInputPermissionsFromTheStart()
{
    QTemporaryDir dir;
    const QString input = dir.filePath(u"secret.enc"_s);
    const QString output = outputPath(input, false);
    const QByteArray bytes = testBytes(4000);
    writeFile(input, bytes, 0600);
    writeFile(output, "an old, wider file", 0644);

    // While the transform yields, the temporary file already holds bytes: it must not be readable by others.
    QList<mode_t> temporaryModes;
    const TransformObserver observer {[&](qint64, qint64) {
                                          temporaryModes.append(openFileModesIn(dir.path(), input));
                                          return true;
                                      },
                                      {}};
    QCOMPARE(transformFile(input, output, keyBytes(u"k"_s), observer, 1024).outcome, TransformOutcome::Written);
    QVERIFY(!temporaryModes.isEmpty());
    for (const mode_t mode : std::as_const(temporaryModes))
        QCOMPARE(mode, mode_t(0600));
    QCOMPARE(permissionsOf(output), mode_t(0600));
    QCOMPARE(readAll(output), reference(bytes, u"k"_s));
    QCOMPARE(readAll(input), bytes);
}

void tst_Cipher::unwritableOutputFailsForUser_data()
{
    QTest::addColumn<bool>("duringYield");
    QTest::newRow("read-only before the call") << false;
    QTest::newRow("made read-only during a yield") << true;
}

void tst_Cipher::unwritableOutputFailsForUser()
{
    // The folder is writable by all, so only the output's own permissions stand between the plain user and a
    // rename over it.
    QFETCH(bool, duringYield);
    QTemporaryDir dir;
    QVERIFY(openToAll(dir));
    const QString input = dir.filePath(u"in"_s);
    const QString output = outputPath(input, true);
    const QByteArray bytes = testBytes(3000);
    const QByteArray old("a file its owner made read-only");
    writeFile(input, bytes, 0644);

    const int failure = asPlainUser([&] {
        const QByteArray outputName = QFile::encodeName(output);
        if (!putFile(output, old, duringYield ? 0644 : 0444))
            return 254;
        const TransformObserver observer {[&](qint64, qint64) {
                                              if (duringYield)
                                                  ::chmod(outputName.constData(), 0444);
                                              return true;
                                          },
                                          {}};
        const TransformResult result = transformFile(input, output, keyBytes(u"k"_s), observer);
        return result.outcome == TransformOutcome::Failed ? result.error.number : 0;
    });
    QCOMPARE(failure, EACCES);
    QCOMPARE(readAll(output), old);
    QCOMPARE(readAll(input), bytes);
    QCOMPARE(entries(dir.path()), QStringList({u"in"_s, u"in.enc"_s}));
}

void tst_Cipher::outputPermissions_data()
{
    QTest::addColumn<int>("inputMode");
    QTest::addColumn<int>("replacedMode"); // 0: no file to replace
    QTest::addColumn<int>("outputMode");
    QTest::newRow("a private file replaced stays private") << 0644 << 0600 << 0600;
    QTest::newRow("private input over a wider file") << 0600 << 0644 << 0600;
    QTest::newRow("read-only input") << 0444 << 0 << 0644;
    QTest::newRow("executable input") << 0751 << 0 << 0751;
}

void tst_Cipher::outputPermissions()
{
    QFETCH(int, inputMode);
    QFETCH(int, replacedMode);
    QFETCH(int, outputMode);
    QTemporaryDir dir;
    QVERIFY(openToAll(dir));
    const QString input = dir.filePath(u"report.txt"_s);
    const QString output = outputPath(input, true);
    const QByteArray bytes = testBytes(3000);
    // Twice, as the plain user: the output of the first run must not lock its own user out of the second.
    QCOMPARE(asPlainUser([&] {
                 if (!putFile(input, bytes, mode_t(inputMode))
                     || (replacedMode && !putFile(output, "old", mode_t(replacedMode))))
                     return 254;
                 const TransformResult first = transformFile(input, output, keyBytes(u"k"_s));
                 return first.error.number ? first.error.number
                                           : transformFile(input, output, keyBytes(u"k"_s)).error.number;
             }),
             0);
    QCOMPARE(permissionsOf(output), mode_t(outputMode));
    QCOMPARE(readAll(output), reference(bytes, u"k"_s));
    QCOMPARE(readAll(input), bytes);
}

void tst_Cipher::outputLinks_data()
{
    QTest::addColumn<QString>("target"); // where a symbolic link at the output name leads; empty: a hard link
    QTest::addColumn<bool>("refused");
    QTest::newRow("chain of links to the input") << u"middle"_s << true;
    QTest::newRow("hard link to the input") << QString() << true;
    QTest::newRow("link to another file") << u"other"_s << false;
}

void tst_Cipher::outputLinks()
{
    QFETCH(QString, target);
    QFETCH(bool, refused);
    QTemporaryDir dir;
    const QString input = dir.filePath(u"doc.txt"_s);
    const QString output = outputPath(input, true);
    const QByteArray bytes = testBytes(5000);
    writeFile(input, bytes);
    if (target.isEmpty())
        QCOMPARE(::link(QFile::encodeName(input).constData(), QFile::encodeName(output).constData()), 0);
    else
        QVERIFY(QFile::link(target, output));
    if (!refused)
        writeFile(dir.filePath(target), "another file");
    else if (!target.isEmpty())
        QVERIFY(QFile::link(u"doc.txt"_s, dir.filePath(target)));
    const QStringList before = entries(dir.path());

    const TransformResult result = transformFile(input, output, keyBytes(u"k"_s));
    QCOMPARE(readAll(input), bytes);
    QCOMPARE(entries(dir.path()), before);
    if (refused) {
        QCOMPARE(result.error.number, EEXIST);
        QCOMPARE(result.error.description, u"The output name leads back to this file itself"_s);
    } else {
        // Followed as a plain open would: the link's target gets the bytes, the link stays a link.
        QCOMPARE(result.outcome, TransformOutcome::Written);
        QCOMPARE(readAll(dir.filePath(target)), reference(bytes, u"k"_s));
        QVERIFY(QFileInfo(output).isSymLink());
    }
}

void tst_Cipher::linksInSharedFolders_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<uint>("linkOwner");
    QTest::addColumn<bool>("onTheWay"); // a link to a folder on the way to the output; else at the output's name
    QTest::addColumn<bool>("followed");
    QTest::newRow("another user's link in a sticky folder for all") << 01777 << uint(Intruder.uid) << false << false;
    QTest::newRow("the user's own link there") << 01777 << uint(Victim.uid) << false << true;
    QTest::newRow("the folder owner's link there") << 01777 << 0u << false << true;
    QTest::newRow("another user's link in a folder for all, not sticky") << 0777 << uint(Intruder.uid) << false << true;
    QTest::newRow("another user's link to a folder on the way") << 01777 << uint(Intruder.uid) << true << false;
    QTest::newRow("the user's own link to a folder on the way") << 01777 << uint(Victim.uid) << true << true;
}

void tst_Cipher::linksInSharedFolders()
{
    // Whatever fs.protected_symlinks says on this machine: it is off on some, and the rule must hold anyway.
    if (::geteuid() != 0)
        QSKIP("Acting as two users needs root");
    QFETCH(int, folderMode);
    QFETCH(uint, linkOwner);
    QFETCH(bool, onTheWay);
    QFETCH(bool, followed);
    QTemporaryDir dir;
    QVERIFY(dir.isValid() && ::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    const QString shared = dir.filePath(u"shared"_s);
    const QString home = dir.filePath(u"home"_s);
    QVERIFY(QDir().mkdir(shared) && giveTo(shared, {0, 0}, mode_t(folderMode)));
    QVERIFY(QDir().mkdir(home) && giveTo(home, Victim, 0700));
    const QString thesis = home + u"/thesis.txt"_s;
    writeFile(thesis, "the victim's other file");
    QVERIFY(giveTo(thesis, Victim, 0600));
    const QString input = shared + u"/report.txt"_s;
    const QByteArray bytes = testBytes(3000);
    writeFile(input, bytes);
    QVERIFY(giveTo(input, Victim, 0600));
    // On the way: "shared/inbox" leads to the victim's folder, and the output is named in it, as -o names one.
    const QString link = onTheWay ? shared + u"/inbox"_s : outputPath(input, true);
    const QString output = onTheWay ? link + u"/report.txt.enc"_s : link;
    const QString written = onTheWay ? home + u"/report.txt.enc"_s : thesis;
    QVERIFY(QFile::link(onTheWay ? home : thesis, link));
    QCOMPARE(::lchown(QFile::encodeName(link).constData(), linkOwner, linkOwner), 0);

    const int failure = asUser(Victim, [&] { return transformFile(input, output, keyBytes(u"k"_s)).error.number; });
    QCOMPARE(readAll(input), bytes);
    QVERIFY(QFileInfo(link).isSymLink());
    QStringList left {QFileInfo(link).fileName(), u"report.txt"_s};
    left.sort();
    QCOMPARE(entries(shared), left);
    QCOMPARE(readAll(written),
             followed ? reference(bytes, u"k"_s) : QByteArray(onTheWay ? "" : "the victim's other file"));
    QCOMPARE(entries(home).contains(u"report.txt.enc"_s), onTheWay && followed);
    QCOMPARE(failure, followed ? 0 : EACCES);
}

void tst_Cipher::nobodyReadsWhatTheyCouldNot_data()
{
    QTest::addColumn<bool>("setgidFolder"); // of the teammates' group
    QTest::addColumn<bool>("teamInput"); // the input is of the teammates' group, which the user is not in
    QTest::addColumn<QString>("folderDefault"); // the folder's default access list
    QTest::addColumn<int>("inputMode");
    QTest::addColumn<QString>("inputList"); // the input's access list
    QTest::addColumn<int>("oldMode"); // 0: no file is replaced
    QTest::addColumn<QString>("oldList");
    QTest::addColumn<QList<uint>>("mustRead"); // whom the input's access reaches through the output as well
    const QList<uint> groupmate {Groupmate.uid};
    QTest::newRow("setgid folder of another group")
        << true << false << QString() << 0640 << QString() << 0 << QString() << groupmate;
    QTest::newRow("input's list shuts a user out")
        << false << false << QString() << 0644 << u"u::rw-,u:65528:---,g::r--,m::r--,o::r--"_s << 0 << QString()
        << QList<uint> {Groupmate.uid, Stranger.uid};
    QTest::newRow("input's list lets a user in")
        << false << false << QString() << 0600 << u"u::rw-,u:65528:r--,g::---,m::r--,o::---"_s << 0 << QString()
        << QList<uint> {Named.uid};
    QTest::newRow("folder's default list grants a user")
        << false << false << u"u::rwx,u:65528:rwx,g::rwx,m::rwx,o::---"_s << 0640 << QString() << 0 << QString()
        << groupmate;
    // The old file's group could read it, the input's could not: neither may read the output.
    QTest::newRow("setgid folder, its default list, over an old file of its group")
        << true << false << u"u::rwx,g::rwx,g:65532:rwx,m::rwx,o::---"_s << 0640 << QString() << 0640 << QString()
        << QList<uint>();
    // The output cannot have the input's group: its own group (the user's) may not read it either.
    QTest::newRow("input of a group the user is not in")
        << false << true << QString() << 0640 << QString() << 0 << QString() << QList<uint>();
    QTest::newRow("old file's list shut a user out") << false << false << QString() << 0644 << QString() << 0644
                                                     << u"u::rw-,u:65528:---,g::r--,m::r--,o::r--"_s << QList<uint>();
}

void tst_Cipher::nobodyReadsWhatTheyCouldNot()
{
    if (::geteuid() != 0)
        QSKIP("Acting as several users needs root");
    QFETCH(bool, setgidFolder);
    QFETCH(bool, teamInput);
    QFETCH(QString, folderDefault);
    QFETCH(int, inputMode);
    QFETCH(QString, inputList);
    QFETCH(int, oldMode);
    QFETCH(QString, oldList);
    QFETCH(QList<uint>, mustRead);
    QTemporaryDir dir;
    QVERIFY(dir.isValid() && ::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    const QString folder = dir.filePath(u"shared"_s);
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(giveTo(folder, {Victim.uid, setgidFolder ? Teammate.gid : Victim.gid}, setgidFolder ? 02775 : 0775));
    if (!folderDefault.isEmpty() && !setAccessList(folder, ACL_TYPE_DEFAULT, folderDefault))
        QSKIP("This file system keeps no access lists");
    const QString input = folder + u"/report.txt"_s;
    const QString output = outputPath(input, true);
    const QByteArray bytes = testBytes(3000);
    // Made where its group is the user's own, as a file moved in from elsewhere keeps it.
    writeFile(input, bytes);
    QVERIFY(giveTo(input, {Victim.uid, teamInput ? Teammate.gid : Victim.gid}, mode_t(inputMode)));
    if (!inputList.isEmpty() && !setAccessList(input, ACL_TYPE_ACCESS, inputList))
        QSKIP("This file system keeps no access lists");
    if (oldMode) {
        writeFile(output, "the old output");
        QVERIFY(giveTo(output, {Victim.uid, setgidFolder ? Teammate.gid : Victim.gid}, mode_t(oldMode)));
        if (!oldList.isEmpty())
            QVERIFY(setAccessList(output, ACL_TYPE_ACCESS, oldList));
    }
    const QList<Principal> others {Teammate, Groupmate, Stranger, Named};
    QList<bool> readOld;
    for (const Principal who : others)
        readOld.append(oldMode && canRead(who, output));

    QCOMPARE(asUser(Victim, [&] { return transformFile(input, output, keyBytes(u"k"_s)).error.number; }), 0);
    QCOMPARE(readAll(output), reference(bytes, u"k"_s));
    QCOMPARE(readAll(input), bytes);
    QVERIFY(canRead(Victim, output));
    for (qsizetype p = 0; p < others.size(); ++p) {
        const Principal who = others.at(p);
        const QByteArray name = QByteArray::number(who.uid);
        if (canRead(who, output)) {
            QVERIFY2(canRead(who, input), QByteArray(name + " reads the output, not the input").constData());
            QVERIFY2(!oldMode || readOld.at(p),
                     QByteArray(name + " reads the output, not the file it replaced").constData());
        } else {
            QVERIFY2(!mustRead.contains(who.uid), QByteArray(name + " lost the access the input gave").constData());
        }
    }
}

void tst_Cipher::changedDuringAYield_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("folder renamed") << u"rename folder"_s;
    QTest::newRow("folder renamed and replaced by a link") << u"link folder"_s;
    QTest::newRow("input renamed onto its output name") << u"rename input"_s;
}

void tst_Cipher::changedDuringAYield()
{
    QFETCH(QString, change);
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"folder"_s);
    const QString moved = dir.filePath(u"moved"_s);
    const QString other = dir.filePath(u"other"_s);
    QVERIFY(QDir().mkdir(folder) && QDir().mkdir(other));
    const QString input = folder + u"/in"_s;
    const QString output = outputPath(input, true);
    const QByteArray bytes = testBytes(5000);
    writeFile(input, bytes);
    writeFile(output, "old");

    const TransformObserver observer {
        [&](qint64 i, qint64) {
            if (i != 2000)
                return true;
            if (change == u"rename input"_s)
                return ::rename(QFile::encodeName(input).constData(), QFile::encodeName(output).constData()) == 0;
            return QDir().rename(folder, moved) && (change != u"link folder"_s || QFile::link(other, folder));
        },
        {}};
    const TransformResult result = transformFile(input, output, keyBytes(u"k"_s), observer, 1000);
    QCOMPARE(entries(other), QStringList());
    if (change == u"rename input"_s) {
        // The name now holds the input itself: the last look before the rename must see it.
        QCOMPARE(result.error.number, EEXIST);
        QCOMPARE(result.error.description, FileError::outputIsInput().description);
        QCOMPARE(entries(folder), QStringList({u"in.enc"_s}));
        QCOMPARE(readAll(output), bytes);
        return;
    }
    // The output went with its folder, beside its input; nothing was left anywhere.
    QCOMPARE(result.outcome, TransformOutcome::Written);
    QCOMPARE(entries(moved), QStringList({u"in"_s, u"in.enc"_s}));
    QCOMPARE(readAll(moved + u"/in.enc"_s), reference(bytes, u"k"_s));
    QCOMPARE(readAll(moved + u"/in"_s), bytes);
}

void tst_Cipher::endOfProcessLeavesNothing_data()
{
    QTest::addColumn<bool>("killed"); // else it calls exit(), as Qt does when the display connection breaks
    QTest::addColumn<bool>("unnamed"); // the file system has unnamed files
    QTest::newRow("killed") << true << true;
    QTest::newRow("exit()") << false << true;
    QTest::newRow("exit(), named temporary file") << false << false;
}

void tst_Cipher::endOfProcessLeavesNothing()
{
    QFETCH(bool, killed);
    QFETCH(bool, unnamed);
    QTemporaryDir dir;
    const QString input = dir.filePath(u"in"_s);
    const QString output = outputPath(input, true);
    const QByteArray bytes = testBytes(5000);
    writeFile(input, bytes);
    writeFile(output, "old");

    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        TestSeams::setUnnamedFilesAllowed(unnamed);
        const TransformObserver observer {[&](qint64 i, qint64) {
                                              if (i == 3000 && killed)
                                                  ::raise(SIGKILL);
                                              if (i == 3000)
                                                  std::exit(3);
                                              return true;
                                          },
                                          {}};
        [[maybe_unused]] const TransformResult result = transformFile(input, output, keyBytes(u"k"_s), observer, 1000);
        ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(killed ? WIFSIGNALED(status) : WIFEXITED(status) && WEXITSTATUS(status) == 3);
    QCOMPARE(entries(dir.path()), QStringList({u"in"_s, u"in.enc"_s}));
    QCOMPARE(readAll(output), QByteArray("old"));
    QCOMPARE(readAll(input), bytes);
}

void tst_Cipher::temporaryNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("temporary");
    const QByteArray made = newTemporaryName();
    QByteArray changed = made;
    changed[14] = changed.at(14) == 'a' ? 'b' : 'a';
    QTest::newRow("made here") << made << true;
    QTest::newRow("made here, one letter changed") << changed << false;
    QTest::newRow("made here, in capitals") << made.toUpper() << false;
    QTest::newRow("made here, and more") << made + "~" << false;
    QTest::newRow("a person's name of that form") << ".zafrel-tmp-settings0000"_ba << false;
    QTest::newRow("a person's backup") << ".zafrel-backup"_ba << false;
    QTest::newRow("an older Zafrel's temporary name") << ".zafrel-Ab3xYz"_ba << false;
}

void tst_Cipher::temporaryNames()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, temporary);
    QCOMPARE(isTemporaryName(name), temporary);
}

void tst_Cipher::sweepRemovesOnlyStaleFiles_data()
{
    QTest::addColumn<QString>("what"); // at a temporary name, unless the row says otherwise
    QTest::addColumn<bool>("removed");
    QTest::newRow("left by a killed run") << u"file"_s << true;
    QTest::newRow("locked by a live run") << u"locked"_s << false;
    QTest::newRow("a person's file of a like name") << u"like"_s << false;
    QTest::newRow("another user's file") << u"foreign"_s << false;
    QTest::newRow("a link to a file") << u"link"_s << false;
    QTest::newRow("a file of two names") << u"linked"_s << false;
    QTest::newRow("a folder") << u"folder"_s << false;
    QTest::newRow("a live run's file renamed over it after the lock") << u"replaced"_s << false;
}

// One entry in a folder; whatever a sweep removes or keeps, what a link leads to stays.
void tst_Cipher::sweepRemovesOnlyStaleFiles()
{
    QFETCH(QString, what);
    QFETCH(bool, removed);
    QTemporaryDir dir;
    const QString name = QString::fromLatin1(what == u"like"_s ? ".zafrel-tmp-settings0000"_ba : newTemporaryName());
    const QString path = dir.filePath(name);
    const QString other = dir.filePath(QString::fromLatin1(newTemporaryName()));
    writeFile(dir.filePath(u"target"_s), "a file of the user's own");
    if (what == u"folder"_s)
        QVERIFY(QDir(dir.path()).mkdir(name));
    else if (what == u"link"_s)
        QVERIFY(QFile::link(u"target"_s, path));
    else if (what == u"linked"_s)
        QCOMPARE(::link(QFile::encodeName(dir.filePath(u"target"_s)).constData(), QFile::encodeName(path).constData()),
                 0);
    else
        writeFile(path, "partial bytes");
    if (what == u"foreign"_s && !giveTo(path, Intruder, 0600))
        QSKIP("giving a file to another user needs root");
    Descriptor live;
    if (what == u"locked"_s || what == u"replaced"_s) {
        live = Descriptor(
            ::open(QFile::encodeName(what == u"locked"_s ? path : other).constData(), O_RDWR | O_CREAT, 0600));
        QCOMPARE(lockTemporary(live.get()), TemporaryLock::Held);
    }
    TestSeams::setRaceHook([&](TestSeams::RaceMoment, int folder, const QByteArray& locked) {
        if (what == u"replaced"_s)
            ::renameat(folder, QFile::encodeName(other).constData(), folder, locked.constData());
    });
    const auto unhook = qScopeGuard([] { TestSeams::setRaceHook({}); });

    const Descriptor folder(::open(QFile::encodeName(dir.path()).constData(), O_PATH | O_DIRECTORY));
    QCOMPARE(sweepFolder(folder.get()), removed ? 1 : 0);
    QCOMPARE(entries(dir.path()).contains(name), !removed);
    QCOMPARE(readAll(dir.filePath(u"target"_s)), "a file of the user's own"_ba);
}

// The first output of a round in a folder sweeps it; later ones in that round do not read it again.
void tst_Cipher::sweepOncePerFolderARound()
{
    QTemporaryDir dir;
    const QString input = dir.filePath(u"in"_s);
    writeFile(input, testBytes(1500));
    const auto leaveOne = [&] {
        const QString left = QString::fromLatin1(newTemporaryName());
        writeFile(dir.filePath(left), "partial bytes");
        return left;
    };
    const auto write = [&] {
        QCOMPARE(transformFile(input, outputPath(input, true), keyBytes(u"k"_s)).outcome, TransformOutcome::Written);
    };
    beginSweepRound();
    leaveOne();
    write();
    QCOMPARE(entries(dir.path()), QStringList({u"in"_s, u"in.enc"_s}));
    const QString second = leaveOne();
    write();
    QCOMPARE(entries(dir.path()), QStringList({second, u"in"_s, u"in.enc"_s}));
    beginSweepRound();
    write();
    QCOMPARE(entries(dir.path()), QStringList({u"in"_s, u"in.enc"_s}));
}

void tst_Cipher::writerOutlivesSweeps_data()
{
    QTest::addColumn<int>("moment"); // a TestSeams::RaceMoment, or -1: at a checkpoint
    QTest::addColumn<bool>("sweepHolds"); // the sweep has locked the file, and not yet removed it
    QTest::newRow("removed between its creation and its lock") << int(TestSeams::RaceMoment::WriterCreated) << false;
    QTest::newRow("locked by a sweep before its own lock") << int(TestSeams::RaceMoment::WriterCreated) << true;
    QTest::newRow("a sweep while the bytes are written") << -1 << false;
    QTest::newRow("a sweep between its close and its rename") << int(TestSeams::RaceMoment::WriterClosed) << false;
}

// A sweep at any moment of a named temporary file's life: a file it takes before the writer's lock is lost to the
// writer, which goes on under another name; the file being written is never taken. The output is whole either way.
void tst_Cipher::writerOutlivesSweeps()
{
    QFETCH(int, moment);
    QFETCH(bool, sweepHolds);
    TestSeams::setUnnamedFilesAllowed(false);
    QTemporaryDir dir;
    const QString input = dir.filePath(u"in"_s);
    const QByteArray bytes = testBytes(5000);
    writeFile(input, bytes);
    writeFile(outputPath(input, true), "old");
    const QByteArray folderPath = QFile::encodeName(dir.path());
    const auto sweepHere = [&] {
        return sweepFolder(Descriptor(::open(folderPath.constData(), O_PATH)).get());
    };
    Descriptor held;
    int taken = -1;
    TestSeams::setRaceHook([&](TestSeams::RaceMoment reached, int folder, const QByteArray& name) {
        if (int(reached) != moment || taken >= 0)
            return;
        held = Descriptor(sweepHolds ? ::openat(folder, name.constData(), O_WRONLY) : -1);
        taken = sweepHolds ? int(lockTemporary(held.get()) == TemporaryLock::Held) : sweepHere();
    });
    const auto restore = qScopeGuard([] {
        TestSeams::setRaceHook({});
        TestSeams::setUnnamedFilesAllowed(true);
    });
    const TransformObserver observer {[&](qint64 i, qint64) {
                                          if (moment == -1 && i == 3000)
                                              taken = sweepHere();
                                          return true;
                                      },
                                      {}};
    QCOMPARE(transformFile(input, outputPath(input, true), keyBytes(u"k"_s), observer, 1000).outcome,
             TransformOutcome::Written);
    QCOMPARE(taken, moment == int(TestSeams::RaceMoment::WriterCreated) ? 1 : 0);
    QCOMPARE(readAll(outputPath(input, true)), reference(bytes, u"k"_s));
    held = {}; // the sweep that held a file lets it go: stale now
    QCOMPARE(sweepHere(), sweepHolds ? 1 : 0);
    QCOMPARE(entries(dir.path()), QStringList({u"in"_s, u"in.enc"_s}));
}

void tst_Cipher::inputChangedDuringAYield_data()
{
    QTest::addColumn<qsizetype>("newSize"); // of the file's bytes, of which the first ten are rewritten
    QTest::addColumn<bool>("timePutBack"); // the modification time is set back to what it was
    QTest::newRow("cut short") << qsizetype(1500) << false;
    QTest::newRow("cut short by one byte") << qsizetype(4999) << false;
    QTest::newRow("grown") << qsizetype(8000) << false;
    QTest::newRow("rewritten in place") << qsizetype(5000) << false;
    QTest::newRow("rewritten, modification time put back") << qsizetype(5000) << true;
}

void tst_Cipher::inputChangedDuringAYield()
{
    QFETCH(qsizetype, newSize);
    QFETCH(bool, timePutBack);
    QTemporaryDir dir;
    const QString input = dir.filePath(u"in"_s);
    const QString output = outputPath(input, true);
    QByteArray bytes = testBytes(5000);
    writeFile(input, bytes);
    writeFile(output, "old");
    // Made long ago, so that a rewrite shows in the modification time however coarse the clock.
    const timespec times[2] = {{0, UTIME_OMIT}, {1'000'000'000, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(input).constData(), times, 0), 0);

    // By byte 2000 the third chunk of 1000 has been read; the file changes before the fourth.
    const TransformObserver observer {
        [&](qint64 i, qint64) {
            if (i != 2000)
                return true;
            bytes.append(testBytes(3000));
            bytes.resize(newSize);
            bytes.replace(0, 10, QByteArray(10, 'x'));
            return putFile(input, bytes)
                && (!timePutBack || ::utimensat(AT_FDCWD, QFile::encodeName(input).constData(), times, 0) == 0);
        },
        {}};
    const TransformResult result = transformFile(input, output, keyBytes(u"k"_s), observer, 1000);
    QCOMPARE(result.error.number, EBUSY);
    QCOMPARE(result.error.description, u"The file changed while it was being read"_s);
    QCOMPARE(readAll(output), QByteArray("old"));
    QCOMPARE(readAll(input), bytes);
    QCOMPARE(entries(dir.path()), QStringList({u"in"_s, u"in.enc"_s}));
}

void tst_Cipher::streamAsItComes_data()
{
    QTest::addColumn<QList<int>>("pieces"); // what the writer puts into the pipe, one piece before each read
    QTest::addColumn<bool>("named"); // into a named output; else into a descriptor
    QTest::addColumn<int>("stopAtWait"); // the wait that says stop; -1: none
    QTest::addColumn<TransformOutcome>("outcome");

    // Failed: too small.
    QTest::newRow("nothing") << QList<int> {} << false << -1 << TransformOutcome::Failed;
    QTest::newRow("1 byte") << QList<int> {1} << false << -1 << TransformOutcome::Failed;
    QTest::newRow("1 byte, then 1 more") << QList<int> {1, 1} << false << -1 << TransformOutcome::Written;
    QTest::newRow("pieces smaller and larger than a chunk")
        << QList<int> {1, 700, 3000, 5, 9000} << false << -1 << TransformOutcome::Written;
    QTest::newRow("named, 1 byte") << QList<int> {1} << true << -1 << TransformOutcome::Failed;
    QTest::newRow("named, across chunks") << QList<int> {1, 5000, 3} << true << -1 << TransformOutcome::Written;
    QTest::newRow("named, stopped while waiting") << QList<int> {1, 5000, 3} << true << 3 << TransformOutcome::Stopped;
}

// A pipe read as it comes: each piece goes on before the writer is asked for the next, except that nothing is written
// before the second byte has come; a stream shorter than that, or one stopped, leaves nothing.
void tst_Cipher::streamAsItComes()
{
    QFETCH(QList<int>, pieces);
    QFETCH(bool, named);
    QFETCH(int, stopAtWait);
    QFETCH(TransformOutcome, outcome);
    QTemporaryDir dir;
    const QString output = dir.filePath(u"out"_s);
    int ends[2] = {-1, -1};
    QCOMPARE(::pipe2(ends, O_CLOEXEC), 0);
    const Descriptor reading(ends[0]);
    Descriptor writing(ends[1]);
    const Descriptor unnamed(::open(QFile::encodeName(dir.path()).constData(), O_TMPFILE | O_RDWR, 0600));
    const QByteArray bytes = testBytes(std::accumulate(pieces.begin(), pieces.end(), 0));
    FileTransform transform(1024);
    QVERIFY(!transform.prepare({{}, true, 0, output, reading.get()}).isError());

    qsizetype fed = 0;
    int waits = 0;
    TransformObserver observer;
    observer.onWait = [&](int fd, short events) {
        if (events != POLLIN)
            return true;
        int unread = 0;
        struct stat written
        {
        };
        if (!named
            && (::ioctl(fd, FIONREAD, &unread) != 0 || ::fstat(unnamed.get(), &written) != 0
                || written.st_size != (fed - unread >= 2 ? fed - unread : 0)))
            return false; // held back, or written too early
        if (waits == pieces.size())
            writing = Descriptor(); // the end
        else if (waits < pieces.size())
            fed += ::write(writing.get(), bytes.constData() + fed, size_t(pieces.at(waits)));
        return waits++ != stopAtWait;
    };
    KeyStream keys(keyBytes(u"k\u00e9y"_s));
    const TransformResult result
        = named ? transform.writeTo(keys, observer) : transform.writeTo(unnamed.get(), keys, observer);
    QCOMPARE(result.outcome, outcome);
    QCOMPARE(result.error.refusal, outcome == TransformOutcome::Failed ? FileError::TooSmall : FileError::NotRefused);
    const QByteArray expected = outcome == TransformOutcome::Written ? reference(bytes, u"k\u00e9y"_s) : QByteArray();
    if (named)
        QCOMPARE(readAll(output), expected);
    else
        QCOMPARE(readAll(u"/proc/self/fd/%1"_s.arg(unnamed.get())), expected);
    QCOMPARE(entries(dir.path()), named && !expected.isEmpty() ? QStringList {u"out"_s} : QStringList());
}

// A stream is read from where it stands, and nobody but its owner reads what came through it, whatever the file
// behind it would let them read.
void tst_Cipher::streamFromWhereItStands()
{
    QTemporaryDir dir;
    const QString input = dir.filePath(u"in"_s);
    const QString output = dir.filePath(u"out"_s);
    const QByteArray bytes = testBytes(3000);
    writeFile(input, bytes, 0644);
    const Descriptor file(::open(QFile::encodeName(input).constData(), O_RDONLY | O_CLOEXEC));
    QCOMPARE(::lseek(file.get(), 1000, SEEK_SET), off_t(1000));
    FileTransform transform;
    QVERIFY(!transform.prepare({{}, true, 0, output, file.get()}).isError());
    KeyStream keys(keyBytes(u"k"_s));
    QCOMPARE(transform.writeTo(keys).outcome, TransformOutcome::Written);
    QCOMPARE(readAll(output), reference(bytes.sliced(1000), u"k"_s));
    QCOMPARE(permissionsOf(output), mode_t(0600));
    QCOMPARE(readAll(input), bytes);
}

void tst_Cipher::autoKeysFollowTheLaw()
{
    QStringList keys;
    for (int k = 0; k < 10000; ++k)
        keys.append(KeyGenerator::newKey(*QRandomGenerator::system()));
    static const QRegularExpression pattern(u"^[A-Z0-9]{4}-[A-Z0-9]{4}-[A-Z0-9]{4}-[A-Z0-9]{4}$"_s);
    for (const QString& key : keys)
        QVERIFY2(pattern.match(key).hasMatch(), qPrintable(key));
    const KeyCensus census(keys);
    QCOMPARE(census.characters, 160000);
    QVERIFY2(census.lawHolds(), qPrintable(QString::number(census.letterShare())));
    // Equally likely: no letter or digit drifts far from its share (each about 20 standard deviations inside).
    for (auto it = census.perCharacter.cbegin(); it != census.perCharacter.cend(); ++it) {
        const double expected = it.key().isLetter() ? 160000 * 0.4 / 26 : 160000 * 0.6 / 10;
        QVERIFY2(qAbs(double(it.value()) - expected) < expected * 0.1, qPrintable(QString(it.key())));
    }
}

void tst_Cipher::lawCheckCatchesWrongGenerators_data()
{
    QTest::addColumn<int>("letterPercent");
    QTest::addColumn<int>("letterCount");
    QTest::addColumn<bool>("holds");
    QTest::newRow("right law") << 40 << 26 << true;
    QTest::newRow("letters at 41 in 100") << 41 << 26 << false;
    QTest::newRow("letters at 39 in 100") << 39 << 26 << false;
    QTest::newRow("letters at 1 in 2") << 50 << 26 << false;
    QTest::newRow("no Z") << 40 << 25 << false;
}

void tst_Cipher::lawCheckCatchesWrongGenerators()
{
    QFETCH(int, letterPercent);
    QFETCH(int, letterCount);
    QFETCH(bool, holds);
    QRandomGenerator random(20240611);
    QStringList keys;
    for (int k = 0; k < 10000; ++k) {
        QString key;
        for (int i = 0; i < 16; ++i) {
            const bool letter = int(random.bounded(100)) < letterPercent;
            key += letter ? QChar(u'A' + random.bounded(letterCount)) : QChar(u'0' + random.bounded(10));
        }
        keys.append(key);
    }
    QCOMPARE(KeyCensus(keys).lawHolds(), holds);
}

void tst_Cipher::drawsInIncompleteBlockAreRedrawn_data()
{
    QTest::addColumn<quint32>("n");
    QTest::addColumn<QList<quint32>>("draws");
    QTest::addColumn<quint32>("expected");
    QTest::addColumn<int>("used");
    // 2^32 mod 100 = 96, mod 26 = 22, mod 10 = 6: draws below those are the incomplete block.
    QTest::newRow("100, kept") << 100u << QList<quint32> {96, 1} << 96u % 100 << 1;
    QTest::newRow("100, redrawn") << 100u << QList<quint32> {0, 95, 203} << 3u << 3;
    QTest::newRow("100, top kept") << 100u << QList<quint32> {0xFFFFFFFFu} << 0xFFFFFFFFu % 100 << 1;
    QTest::newRow("26, redrawn") << 26u << QList<quint32> {21, 22} << 22u << 2;
    QTest::newRow("10, redrawn") << 10u << QList<quint32> {5, 0, 17} << 7u << 3;
    QTest::newRow("power of two never redraws") << 16u << QList<quint32> {0} << 0u << 1;
}

void tst_Cipher::drawsInIncompleteBlockAreRedrawn()
{
    QFETCH(quint32, n);
    QFETCH(QList<quint32>, draws);
    QFETCH(quint32, expected);
    QFETCH(int, used);
    ScriptedSource source {draws};
    QCOMPARE(KeyGenerator::uniformBelow(source, n), expected);
    QCOMPARE(source.used, used);
}

QTEST_GUILESS_MAIN(tst_Cipher)
#include "tst_cipher.moc"
