// SPDX-License-Identifier: GPL-3.0-or-later

// Measures the cipher against the machine's own yardsticks in one run and ends with one `name: value` line per
// figure. A new figure is one function that takes the Report and adds its lines.

#include "app/Main.h"
#include "app/frmMain.h"
#include "cipher/FileTransform.h"
#include "cipher/FolderWalk.h"
#include "cipher/KeyStream.h"
#include "platform/MessageBox.h"
#include "widgets/StatusList.h"

#include <QApplication>
#include <QByteArray>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;

class Report
{
public:
    // `suffix` tells the figures of a second platform from those of the first.
    explicit Report(std::string suffix = {})
        : m_suffix(std::move(suffix))
    { }

    void add(const std::string& name, double value) { m_figures.emplace_back(name + m_suffix, value); }

    void printFigures() const
    {
        for (const auto& [name, value] : m_figures)
            std::printf("%s: %.3f\n", name.c_str(), value);
    }

private:
    std::string m_suffix;
    std::vector<std::pair<std::string, double>> m_figures;
};

double secondsOf(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Best rates of two pieces of work, timed call by call in alternation so that both meet the same load from
// the rest of the (shared) machine; the best of many short calls is the least disturbed one.
std::pair<double, double> bestBytesPerSecond(qint64 bytesPerCall, const std::function<void()>& first,
                                             const std::function<void()>& second)
{
    first();
    second();
    double fastestFirst = 1e9;
    double fastestSecond = 1e9;
    for (int pass = 0; pass < 60; ++pass) {
        fastestFirst = std::min(fastestFirst, secondsOf(first));
        fastestSecond = std::min(fastestSecond, secondsOf(second));
    }
    return {static_cast<double>(bytesPerCall) / fastestFirst, static_cast<double>(bytesPerCall) / fastestSecond};
}

QString keyTextOfLength(int characters)
{
    QString key;
    for (int c = 0; c < characters; ++c)
        key.append(QChar(static_cast<char16_t>(0x41 + (c * 7) % 0x3000)));
    return key;
}

QByteArray keyOfLength(int characters)
{
    return keyBytes(keyTextOfLength(characters));
}

// The XOR kernel in place against memcpy from the same buffer, for short and long keys, aligned and not.
void measureKernel(Report& report)
{
    constexpr qint64 Size = 16 * 1024 * 1024;
    std::vector<char> source(Size + 64, 1);
    std::vector<char> target(Size + 64, 2);
    double worst = 1e9;
    std::printf("kernel over %lld MiB (in place) vs memcpy over the same buffer:\n", Size >> 20);
    for (const int characters : {1, 3, 17, 20000}) {
        const QByteArray key = keyOfLength(characters);
        for (const int misalignment : {0, 1, 7}) {
            char* data = source.data() + misalignment;
            KeyStream stream(key);
            stream.setPosition(misalignment * 3);
            const auto [kernel, copy] = bestBytesPerSecond(
                Size, [&] { stream.apply(data, Size); },
                [&] {
                    std::memcpy(target.data() + misalignment, data, Size);
                    // Keeps the copy from being optimised away.
                    asm volatile("" : : "r"(target.data()) : "memory");
                });
            const double ratio = kernel / copy;
            worst = std::min(worst, ratio);
            std::printf("  key %5d chars, offset %d: kernel %6.2f GB/s, memcpy %6.2f GB/s, ratio %.2f\n", characters,
                        misalignment, kernel / 1e9, copy / 1e9, ratio);
        }
    }
    report.add("kernel_vs_memcpy", worst);
}

bool writeSampleFile(const QByteArray& path, qint64 size)
{
    const int out = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0)
        return false;
    std::vector<char> chunk(FileTransform::DefaultChunkSize);
    for (size_t b = 0; b < chunk.size(); ++b)
        chunk[b] = static_cast<char>((b * 131) ^ (b >> 9));
    bool ok = true;
    for (qint64 written = 0; ok && written < size; written += FileTransform::DefaultChunkSize)
        ok = ::write(out, chunk.data(), chunk.size()) == static_cast<ssize_t>(chunk.size());
    ok = ok && ::fsync(out) == 0;
    ::close(out);
    return ok;
}

double peakResidentMiB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// Forgets the peak so far (Linux: writing 5 to clear_refs), so the peak read afterwards is the transform's.
void resetPeakResident()
{
    QFile clearRefs(u"/proc/self/clear_refs"_s);
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

// One timed run: its wall-clock time and the system time it took.
struct Timing
{
    double seconds = 0;
    double systemSeconds = 0;
};

double secondsIn(const timeval& time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// Runs a program to its end: its times (its own system time, from wait4), or nothing when it failed. `peakMiB`, if
// given, receives its peak resident memory.
std::optional<Timing> runProgram(const QStringList& arguments, double* peakMiB = nullptr)
{
    std::vector<QByteArray> encoded;
    for (const QString& argument : arguments)
        encoded.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& argument : encoded)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t child = 0;
    if (::posix_spawnp(&child, argv.front(), nullptr, nullptr, argv.data(), environ) != 0)
        return std::nullopt;
    int status = 0;
    rusage usage {};
    if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    if (peakMiB)
        *peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return Timing {std::chrono::duration<double>(Clock::now() - start).count(), secondsIn(usage.ru_stime)};
}

// The copy a user would compare with: dd, in blocks of a megabyte, synced at the end.
std::optional<Timing> timeDd(const QString& input, const QString& output)
{
    return runProgram({u"dd"_s, u"if="_s + input, u"of="_s + output, u"bs=1M"_s, u"conv=fsync"_s, u"status=none"_s});
}

// zafrel-cli as a user runs it: a process of its own, its default jobs, no status line; the key in
// ZAFREL_BENCH_KEY.
std::optional<Timing> timeCli(const QStringList& files, double* peakMiB = nullptr)
{
    return runProgram(
        QStringList {QStringLiteral(ZAFREL_CLI), u"encrypt"_s, u"-q"_s, u"-f"_s, u"--key-env=ZAFREL_BENCH_KEY"_s}
            + files,
        peakMiB);
}

// Work done in this process, on this thread, that says whether it succeeded.
std::optional<Timing> timeHere(const std::function<bool()>& work)
{
    rusage before {};
    ::getrusage(RUSAGE_THREAD, &before);
    const auto start = Clock::now();
    const bool succeeded = work();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    rusage after {};
    ::getrusage(RUSAGE_THREAD, &after);
    if (!succeeded)
        return std::nullopt;
    return Timing {seconds, secondsIn(after.ru_stime) - secondsIn(before.ru_stime)};
}

// The core transform in this process, as a run prepares and writes a file.
std::optional<Timing> timeTransform(const QString& input, const QString& output)
{
    return timeHere([&] {
        FileTransform transform;
        KeyStream keys(keyOfLength(17));
        return !transform.prepare({input, true, QFileInfo(input).size(), output}).isError()
            && transform.writeTo(keys).outcome == TransformOutcome::Written;
    });
}

// Brings the machine to rest before a timed run, so that no run pays for the one before it and each meets the
// machine as a user's run does: the blocks of removed files trimmed (a file system mounted with `discard` trims them
// at its next commit, which a sync forces now), and the memory they held gone back where free memory goes. A virtual
// machine that reports free memory to its host hands it free blocks of 2 MiB and more a second or two after they were
// freed, and the first write into such memory then costs a fault in the host for every 4 KiB: a run started within
// that moment writes into the cache several times faster than one started later.
void settle(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
    QThread::msleep(3000);
}

Timing median(std::vector<Timing> runs)
{
    const auto middle = [&runs](double Timing::*field) {
        std::vector<double> values;
        for (const Timing& run : runs)
            values.push_back(run.*field);
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    return {middle(&Timing::seconds), middle(&Timing::systemSeconds)};
}

// One run of `work` from rest, which writes `size` bytes to `output`, a name that nothing has yet; its times join
// `runs` when it succeeded, and the output is removed again.
bool timeFromRest(std::vector<Timing>& runs, const QString& output, qint64 size,
                  const std::function<std::optional<Timing>()>& work)
{
    settle(QFileInfo(output).path());
    const std::optional<Timing> timing = work();
    const bool ok = timing && QFileInfo(output).size() == size;
    QFile::remove(output);
    if (ok)
        runs.push_back(*timing);
    return ok;
}

// `ours`, which writes `output` from `input`, against dd on the same file of `size` bytes, five times each, in
// alternation (who goes first swaps every round). Figures: `name_vs_dd_SIZE` (the medians of the wall-clock times)
// and `name_sys_vs_dd_SIZE` (of the system times).
void compareWithDd(Report& report, const std::string& name, const QString& input, qint64 size, const QString& output,
                   const std::function<std::optional<Timing>()>& ours)
{
    constexpr int Rounds = 5;
    const QString copy = QFileInfo(input).path() + u"/copy"_s;
    std::vector<Timing> oursRuns;
    std::vector<Timing> ddRuns;
    const auto timeOurs = [&] {
        return timeFromRest(oursRuns, output, size, ours);
    };
    const auto timeDd = [&] {
        return timeFromRest(ddRuns, copy, size, [&] { return ::timeDd(input, copy); });
    };
    bool ok = true;
    for (int round = 0; ok && round < Rounds; ++round)
        ok = round % 2 == 0 ? timeOurs() && timeDd() : timeDd() && timeOurs();
    if (!ok) {
        std::printf("%s or dd failed on %lld MiB\n", name.c_str(), size >> 20);
        return;
    }
    const Timing mine = median(oursRuns);
    const Timing dd = median(ddRuns);
    const std::string suffix
        = size >= (qint64(1) << 30) ? std::to_string(size >> 30) + "gib" : std::to_string(size >> 20) + "mib";
    const double bytes = static_cast<double>(size);
    std::printf("%lld MiB file, medians of %d: %s %.2f s (%.2f GB/s, system %.2f s), dd bs=1M conv=fsync %.2f s "
                "(%.2f GB/s, system %.2f s)\n",
                size >> 20, Rounds, name.c_str(), mine.seconds, bytes / mine.seconds / 1e9, mine.systemSeconds,
                dd.seconds, bytes / dd.seconds / 1e9, dd.systemSeconds);
    report.add(name + "_vs_dd_" + suffix, mine.seconds / dd.seconds);
    report.add(name + "_sys_vs_dd_" + suffix, mine.systemSeconds / dd.systemSeconds);
}

// The core transform and zafrel-cli, each against dd on files of 512 MiB and 1 GiB.
void measureAgainstDd(Report& report)
{
    // A folder of its own: other benchmarks may run at the same time on a shared machine.
    const QTemporaryDir folder(QDir::tempPath() + u"/zafrel_bench-XXXXXX"_s);
    const QString input = folder.filePath(u"input"_s);
    const QString output = outputPath(input, true);
    for (const qint64 size : {qint64(512) << 20, qint64(1) << 30}) {
        if (!writeSampleFile(QFile::encodeName(input), size)) {
            std::printf("could not write %s\n", qPrintable(input));
            return;
        }
        compareWithDd(report, "transform", input, size, output, [&] { return timeTransform(input, output); });
        compareWithDd(report, "cli_transform", input, size, output, [&] { return timeCli({input}); });
        QFile::remove(input);
    }
}

// Peak memory of the core transform (in this process) and of zafrel-cli on a 4 GiB file: it must not grow with the
// file.
void measurePeakMemory(Report& report)
{
    constexpr qint64 Size = qint64(4) << 30;
    const QTemporaryDir folder(QDir::tempPath() + u"/zafrel_bench-XXXXXX"_s);
    const QString input = folder.filePath(u"input"_s);
    const QString output = outputPath(input, true);
    if (!writeSampleFile(QFile::encodeName(input), Size)) {
        std::printf("could not write %s\n", qPrintable(input));
        return;
    }
    resetPeakResident();
    bool ok = timeTransform(input, output).has_value() && QFileInfo(output).size() == Size;
    const double transformPeak = peakResidentMiB();
    QFile::remove(output);
    double cliPeak = 0;
    ok = ok && timeCli({input}, &cliPeak).has_value() && QFileInfo(output).size() == Size;
    QFile::remove(output);
    if (!ok) {
        std::printf("the 4 GiB transform or zafrel-cli failed\n");
        return;
    }
    std::printf("4 GiB file: peak resident memory %.1f MiB (transform in this process), %.1f MiB (zafrel-cli)\n",
                transformPeak, cliPeak);
    report.add("transform_peak_rss_mib_4gib", transformPeak);
    report.add("cli_peak_rss_mib_4gib", cliPeak);
}

// One click of the encrypt button over `files`, in a window that nobody sees; false unless every file was written.
bool runInWindow(frmMain& form, const QStringList& files, const QString& key)
{
    form.cmbFilesEnc->addItems(files);
    form.cmdEncrypt->setEnabled(true);
    form.txtKeyEnc->setText(key);
    form.cmdEncrypt->click();
    const QAbstractItemModel* rows = form.lvw->model();
    if (!Platform::MessageBox::takeShown().isEmpty() || rows->rowCount() != files.size())
        return false;
    for (int row = 0; row < files.size(); ++row)
        if (rows->index(row, StatusList::Status).data().toString() != u"Encrypted"_s)
            return false;
    return true;
}

// A run in the window, its checkpoints, bars and yields included, against the core transform of the same 1 GiB
// file; then the cost per file of a run over small files that stop at every byte.
void measureLongRuns(Report& report, frmMain& form)
{
    constexpr qint64 Size = qint64(1) << 30;
    // A folder of its own: another bench on the machine may be using the shared names.
    const QTemporaryDir folder;
    const QString input = folder.filePath(u"input"_s);
    const QString output = outputPath(input, true);
    if (!writeSampleFile(QFile::encodeName(input), Size)) {
        std::printf("could not write %s\n", qPrintable(input));
        return;
    }
    const QString key = keyTextOfLength(17);
    std::vector<Timing> core;
    std::vector<Timing> window;
    const auto timeCore = [&] {
        return timeFromRest(core, output, Size, [&] { return timeTransform(input, output); });
    };
    const auto timeWindow = [&] {
        return timeFromRest(window, output, Size,
                            [&] { return timeHere([&] { return runInWindow(form, {input}, key); }); });
    };
    bool ok = true;
    for (int pass = 0; ok && pass < 5; ++pass)
        ok = pass % 2 == 0 ? timeCore() && timeWindow() : timeWindow() && timeCore();
    QFile::remove(input);
    if (!ok) {
        std::printf("the 1 GiB run in the window or the core transform failed\n");
        return;
    }
    const Timing windowSeconds = median(window);
    const Timing coreSeconds = median(core);
    std::printf("1 GiB file, medians of 5: run in the window %.2f s (%.2f GB/s, system %.2f s), core transform %.2f s "
                "(%.2f GB/s, system %.2f s)\n",
                windowSeconds.seconds, Size / windowSeconds.seconds / 1e9, windowSeconds.systemSeconds,
                coreSeconds.seconds, Size / coreSeconds.seconds / 1e9, coreSeconds.systemSeconds);
    report.add("gui_run_vs_transform", windowSeconds.seconds / coreSeconds.seconds);

    constexpr int FileCount = 200;
    QStringList files;
    for (int f = 0; f < FileCount; ++f) {
        files.append(folder.filePath(u"small%1"_s.arg(f)));
        QFile file(files.last());
        ok = ok && file.open(QIODevice::WriteOnly) && file.write(QByteArray(1500, static_cast<char>(f))) == 1500;
    }
    double smallSeconds = 1e9;
    for (int pass = 0; ok && pass < 3; ++pass)
        smallSeconds = std::min(smallSeconds, secondsOf([&] { ok = runInWindow(form, files, key); }));
    if (!ok) {
        std::printf("the run over small files failed\n");
        return;
    }
    std::printf("%d files of 1500 bytes (a checkpoint at every byte): %.2f s in the window\n", FileCount, smallSeconds);
    report.add("ms_per_checkpointed_small_file", smallSeconds * 1000 / FileCount);
}

// What the output must hold, byte by byte from the key's UTF-16 code units, low byte first: written out here, not
// through the kernel.
QByteArray plainXor(QByteArray data, const QString& key)
{
    for (qsizetype b = 0; b < data.size(); ++b) {
        const char16_t unit = key.at((b / 2) % key.size()).unicode();
        data[b] = static_cast<char>(data.at(b) ^ (b % 2 == 0 ? unit & 0xff : unit >> 8));
    }
    return data;
}

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a plain program does to replace a file atomically: read it, write a temporary file beside the output, sync
// it, close it and rename it over the output.
bool replaceAtomically(const QByteArray& from, const QByteArray& to, char* buffer, qint64 size)
{
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    bool ok = in >= 0 && ::read(in, buffer, static_cast<size_t>(size)) == size;
    if (in >= 0)
        ::close(in);
    QByteArray temporary = to.left(to.lastIndexOf('/') + 1) + ".floor-XXXXXX";
    const int out = ok ? ::mkostemp(temporary.data(), O_CLOEXEC) : -1;
    ok = out >= 0 && ::write(out, buffer, static_cast<size_t>(size)) == size;
    ok = ok && ::fsync(out) == 0;
    ok = out >= 0 && ::close(out) == 0 && ok;
    return ok && ::rename(temporary.constData(), to.constData()) == 0;
}

// Many files too short to stop at a checkpoint, the same for every figure that uses them, and what each must
// become once encrypted with `key`.
struct SmallFiles
{
    static constexpr int Count = 1000;
    static constexpr qint64 Size = 1001;

    QStringList paths;
    QList<QByteArray> expected;

    bool write(const QTemporaryDir& folder, const QString& key)
    {
        bool ok = true;
        for (int f = 0; ok && f < Count; ++f) {
            paths.append(folder.filePath(u"small%1"_s.arg(f, 4, 10, QChar(u'0'))));
            QByteArray data(Size, Qt::Uninitialized);
            for (qint64 b = 0; b < Size; ++b)
                data[b] = static_cast<char>(f * 31 + b * 7);
            QFile file(paths.last());
            ok = file.open(QIODevice::WriteOnly) && file.write(data) == Size;
            expected.append(plainXor(data, key));
        }
        return ok;
    }

    // The floor that the disk sets for them: the same atomic writes of the same data in a plain loop.
    bool replaceAtomically() const
    {
        const auto buffer = std::make_unique<char[]>(Size);
        bool ok = true;
        for (const QString& file : paths)
            ok = ok
                && ::replaceAtomically(QFile::encodeName(file), QFile::encodeName(file + u".floor"_s), buffer.get(),
                                       Size);
        return ok;
    }

    bool encrypted() const
    {
        for (int f = 0; f < Count; ++f)
            if (contentsOf(outputPath(paths.at(f), true)) != expected.at(f))
                return false;
        return true;
    }
};

// A run in the window over many files too short to stop at a checkpoint, against the floor that the disk sets for
// them, timed in alternation in the same process.
void measureSmallFiles(Report& report, frmMain& form)
{
    constexpr int FileCount = SmallFiles::Count;
    constexpr qint64 Size = SmallFiles::Size;
    const QTemporaryDir folder;
    const QString key = keyTextOfLength(17);
    SmallFiles files;
    bool ok = files.write(folder, key);
    const auto floorPass = [&] {
        ok = ok && files.replaceAtomically();
    };
    const auto windowPass = [&] {
        ok = ok && runInWindow(form, files.paths, key) && files.encrypted();
    };
    double floorSeconds = 1e9;
    double windowSeconds = 1e9;
    for (int pass = 0; ok && pass < 3; ++pass) {
        floorSeconds = std::min(floorSeconds, secondsOf(floorPass));
        windowSeconds = std::min(windowSeconds, secondsOf(windowPass));
    }
    // Rows that stay behind would slow the next platform's window.
    form.lvw->removeAllRows();
    if (!ok) {
        std::printf("the run over %d small files or their plain atomic writes failed\n", FileCount);
        return;
    }
    std::printf("%d files of %lld bytes (no checkpoint) on %s: %.2f s in the window, %.2f s of plain atomic writes\n",
                FileCount, Size, qPrintable(QGuiApplication::platformName()), windowSeconds, floorSeconds);
    report.add("small_files_vs_floor", windowSeconds / floorSeconds);
    report.add("ms_per_small_file_window", windowSeconds * 1000 / FileCount);
}

// zafrel-cli over many small files against the plain loop of atomic writes, timed in alternation.
void measureCliSmallFiles(Report& report)
{
    const QTemporaryDir folder;
    const QString key = keyTextOfLength(17);
    SmallFiles files;
    bool ok = files.write(folder, key);
    double floorSeconds = 1e9;
    double smallSeconds = 1e9;
    for (int pass = 0; ok && pass < 3; ++pass) {
        floorSeconds = std::min(floorSeconds, secondsOf([&] { ok = files.replaceAtomically(); }));
        smallSeconds = std::min(smallSeconds, secondsOf([&] { ok = ok && timeCli(files.paths).has_value(); }));
        ok = ok && files.encrypted();
    }
    if (!ok) {
        std::printf("zafrel-cli over %d small files or their plain atomic writes failed\n", SmallFiles::Count);
        return;
    }
    std::printf("%d files of %lld bytes (no checkpoint): zafrel-cli %.2f s with %d jobs, %.2f s of plain atomic "
                "writes\n",
                SmallFiles::Count, SmallFiles::Size, smallSeconds, QThread::idealThreadCount(), floorSeconds);
    report.add("cli_small_files_vs_floor", smallSeconds / floorSeconds);
}

// Two timed pieces of work, `passes` times each, for as long as `ok` holds. Alternating which goes first keeps the
// disk's write-back of the previous pass from favouring one side.
void alternate(int passes, const std::function<void()>& one, const std::function<void()>& other, const bool& ok)
{
    for (int pass = 0; ok && pass < passes; ++pass) {
        (pass % 2 == 0 ? one : other)();
        if (ok)
            (pass % 2 == 0 ? other : one)();
    }
}

// The middle value: a disturbance by the machine's other work moves it least.
double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values.at(values.size() / 2);
}

// The machine's load average over the last minute, from the kernel.
QByteArray loadAverage()
{
    QFile average(u"/proc/loadavg"_s);
    return average.open(QIODevice::ReadOnly) ? average.readAll().split(' ').value(0) : QByteArray("?");
}

// `program` as a shell runs it in `program < input > /dev/null`; false unless it ended with status 0.
bool runOnStandardInput(const QString& program, const QStringList& arguments, const QString& input)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"ZAFREL_BENCH_KEY"_s, keyTextOfLength(17));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(input);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// zafrel-cli in a pipe: 1 GiB from a file on standard input to /dev/null, `encrypt -` against cat on the same file,
// in alternation. Medians, and the load that the rest of the machine put on it meanwhile.
void measureCliPipe(Report& report)
{
    constexpr qint64 Size = qint64(1) << 30;
    constexpr int Passes = 9;
    const QTemporaryDir folder;
    const QString input = folder.filePath(u"input"_s);
    if (!writeSampleFile(QFile::encodeName(input), Size)) {
        std::printf("could not write %s\n", qPrintable(input));
        return;
    }
    std::vector<double> catSeconds;
    std::vector<double> cliSeconds;
    bool ok = true;
    const QByteArray loadBefore = loadAverage();
    const auto timeCat = [&] {
        catSeconds.push_back(secondsOf([&] { ok = ok && runOnStandardInput(u"cat"_s, {}, input); }));
    };
    const auto timeCli = [&] {
        cliSeconds.push_back(secondsOf([&] {
            ok = ok
                && runOnStandardInput(QStringLiteral(ZAFREL_CLI),
                                      {u"encrypt"_s, u"--key-env=ZAFREL_BENCH_KEY"_s, u"-"_s}, input);
        }));
    };
    alternate(Passes, timeCat, timeCli, ok);
    if (!ok) {
        std::printf("zafrel-cli encrypt - or cat on standard input failed\n");
        return;
    }
    const double cat = median(catSeconds);
    const double cli = median(cliSeconds);
    std::printf("1 GiB on standard input to /dev/null, medians of %d: zafrel-cli encrypt - %.3f s (%.2f GB/s), "
                "cat %.3f s (%.2f GB/s); load average %s before, %s after\n",
                Passes, cli, Size / cli / 1e9, cat, Size / cat / 1e9, loadBefore.constData(),
                loadAverage().constData());
    report.add("cli_pipe_vs_cat", cli / cat);
}

// The window's measurements on one platform, in a window that nobody looks at.
void measureInWindow(Report& report, const char* platform, bool longRuns)
{
    qputenv("QT_QPA_PLATFORM", platform);
    int argc = 1;
    char name[] = "zafrel_bench";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    SetUpApplication();
    Platform::MessageBox::setRecording(true);
    frmMain form;
    form.show();
    QCoreApplication::processEvents();
    if (longRuns)
        measureLongRuns(report, form);
    measureSmallFiles(report, form);
}

// The folder walk that both faces queue folders by, over a folder of 20 000 small files (cached, as a folder that was
// just looked at in a file manager is): every file found, measured and checked against the outputs beside it.
void measureFolderWalk(Report& report)
{
    constexpr int FileCount = 20000;
    QTemporaryDir dir;
    for (int f = 0; f < FileCount; ++f) {
        QFile file(dir.filePath(u"photo-%1.jpg"_s.arg(f)));
        if (!file.open(QIODevice::WriteOnly) || file.write("data") != 4) {
            std::printf("could not write the files of the folder walk\n");
            return;
        }
    }
    int found = 0;
    const double seconds = secondsOf([&] {
        FolderWalk walk(dir.path(), true);
        while (walk.next())
            ++found;
    });
    if (found != FileCount) {
        std::printf("the folder walk found %d of %d files\n", found, FileCount);
        return;
    }
    std::printf("folder of %d files: walked in %.3f s\n", FileCount, seconds);
    report.add("folder_walk_20000_files_s", seconds);
}

// Writes `count` files of 100 bytes into `folder`, all in the one folder: the walk lists and sorts a folder's names
// before it gives its first file, so this is the longest the window waits for it.
bool writeFolderOfSmallFiles(const QString& folder, int count)
{
    for (int f = 0; f < count; ++f) {
        QFile file(folder + u"/photo-%1.jpg"_s.arg(f));
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(100, char(f))) != 100)
            return false;
    }
    return true;
}

// Does `work` from the event loop, which then runs until `done`; gives the longest wait between two turns of a timer
// due every millisecond, which is how long a click would have waited for the window meanwhile.
double longestStallWhile(const std::function<void()>& work, const std::function<bool()>& done)
{
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
    ticks.start(1);
    sinceTick.start();
    bool started = false;
    QTimer::singleShot(0, [&] {
        work();
        started = true;
    });
    while (!started || !done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return static_cast<double>(longest);
}

// A folder of `count` files given to the window as its command line gives it: the time until every file is queued,
// the longest the window kept a click waiting meanwhile, the peak memory then, and the peak of a run over them
// (with `run`). In a process of its own, so that the peaks are this work's.
void measureFolderQueue(Report& report, int count, bool run)
{
    const QTemporaryDir folder(QDir::tempPath() + u"/zafrel_bench-XXXXXX"_s);
    if (!writeFolderOfSmallFiles(folder.path(), count)) {
        std::printf("could not write the folder of %d files\n", count);
        return;
    }
    settle(folder.path());
    frmMain form;
    form.show();
    QCoreApplication::processEvents();
    resetPeakResident();
    double stall = 0;
    const double seconds = secondsOf([&] {
        stall = longestStallWhile([&] { static_cast<void>(form.openFiles(true, {folder.path()})); },
                                  [&] { return form.cmdEncrypt->isEnabled(); });
    });
    const double queuedPeak = peakResidentMiB();
    if (form.cmbFilesEnc->count() != count) {
        std::printf("the window queued %d of %d files\n", form.cmbFilesEnc->count(), count);
        return;
    }
    std::printf("folder of %d files queued in the window in %.2f s (a click waited %.0f ms at most), peak resident "
                "memory %.1f MiB\n",
                count, seconds, stall, queuedPeak);
    const std::string files = std::to_string(count) + "_files";
    report.add("queue_" + files + "_s", seconds);
    report.add("queue_" + files + "_stall_ms", stall);
    report.add("queue_" + files + "_peak_rss_mib", queuedPeak);
    if (!run)
        return;
    form.txtKeyEnc->setText(keyTextOfLength(17));
    const double runSeconds = secondsOf([&] { form.cmdEncrypt->click(); });
    if (form.lvw->model()->rowCount() != count || !Platform::MessageBox::takeShown().isEmpty()) {
        std::printf("the run over the folder of %d files failed\n", count);
        return;
    }
    std::printf("run over them: %.1f s, peak resident memory %.1f MiB\n", runSeconds, peakResidentMiB());
    report.add("run_" + files + "_peak_rss_mib", peakResidentMiB());
}

// The figures that a child process of this benchmark prints, started with `arguments`; `suffix` tells them apart.
void measureInChild(Report& report, const QStringList& arguments, const char* what)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral("/proc/self/exe"), arguments);
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        std::printf("%s failed\n", what);
        return;
    }
    static const QRegularExpression Figure(u"^(\\w+): ([0-9.]+)$"_s);
    for (const QString& line : QString::fromLocal8Bit(child.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
        if (const QRegularExpressionMatch figure = Figure.match(line); figure.hasMatch())
            report.add(figure.captured(1).toStdString(), figure.captured(2).toDouble());
        else
            std::printf("%s\n", qPrintable(line));
    }
}

// The small files again on the X server that DISPLAY names, in a process of its own (one platform per process);
// its figures come back with the suffix "_x11".
void measureSmallFilesOnX11(Report& report)
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        measureInChild(report, {u"--small-files"_s, u"xcb"_s}, "the run over small files on X11");
}

} // namespace

int main(int argc, char** argv)
{
    // `--small-files PLATFORM`: only the run over small files, on that platform.
    if (argc > 2 && std::strcmp(argv[1], "--small-files") == 0) {
        Report report(std::strcmp(argv[2], "xcb") == 0 ? "_x11" : "");
        measureInWindow(report, argv[2], false);
        report.printFigures();
        return 0;
    }
    // `--folder COUNT [--no-run]`: only a folder of COUNT files queued in the window (offscreen), and a run over it.
    if (argc > 2 && std::strcmp(argv[1], "--folder") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication application(argc, argv);
        SetUpApplication();
        Platform::MessageBox::setRecording(true);
        Report report;
        measureFolderQueue(report, std::atoi(argv[2]), argc < 4 || std::strcmp(argv[3], "--no-run") != 0);
        report.printFigures();
        return 0;
    }
    qputenv("ZAFREL_BENCH_KEY", keyTextOfLength(17).toUtf8());
    Report report;
    // Peak memory goes first, while the process is small, so that the peak is the transform's own; the window comes
    // last.
    const std::vector<std::function<void(Report&)>> measurements
        = {measurePeakMemory,
           measureAgainstDd,
           measureCliSmallFiles,
           measureCliPipe,
           measureKernel,
           measureFolderWalk,
           [](Report& r) { measureInWindow(r, "offscreen", true); },
           measureSmallFilesOnX11,
           [](Report& r) {
               measureInChild(r, {u"--folder"_s, u"20000"_s}, "the folder of 20 000 files");
           }};
    for (const auto& measure : measurements)
        measure(report);
    report.printFigures();
    return 0;
}
