// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/Batch.h"

#include "cipher/FileTransform.h"
#include "cipher/KeyStream.h"
#include "cipher/Leftovers.h"
#include "cli/Console.h"
#include "cli/Interrupt.h"

#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <sys/ioctl.h>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;
// The status line is drawn at most ten times a second.
constexpr auto DrawInterval = std::chrono::milliseconds(100);

enum class Outcome
{
    Pending, // not finished, or never started
    Written,
    Kept,
    Failed,
    Stopped,
};

struct Result
{
    Outcome outcome = Outcome::Pending;
    QString output;
    FileError error; // why it failed
};

Result failed(const FileError& error, const QString& output = {})
{
    return {Outcome::Failed, output, error};
}

// How an input or an output is named in a line: "-" is a stream, no file.
QString shownInput(const Input& input)
{
    return input.standardInput ? u"standard input"_s : Console::shown(input.path);
}

QString shownOutput(const QString& output)
{
    return output == StandardStream ? u"standard output"_s : Console::shown(output);
}

// A failure in the words of its line, after the input's name: what failed, when it is not the input, and why.
QString describe(const FileError& error, const QString& output)
{
    switch (error.subject) {
    case FileError::Output:
        return shownOutput(output) + u": "_s + error.description;
    case FileError::OutputFolder:
        return u"cannot create a file in folder %1: "_s.arg(Console::shown(QFileInfo(output).path()))
            + error.description;
    case FileError::Input:
        break;
    }
    return error.description;
}

// `combined` follows the checkpoints for the status line; every wait for the other end of a pipe ends at an
// interrupt.
TransformObserver observing(std::atomic<qint64>& combined)
{
    TransformObserver observer;
    observer.onCheckpoint = [&combined](qint64 i, qint64) {
        combined.store(i + 1, std::memory_order_relaxed);
        return !Interrupt::requested();
    };
    observer.onWait = Interrupt::waitReady;
    return observer;
}

// One input into its output: the file -o names (standard output for "-"), else the file beside it. The transform
// decides at the commit whether an old output is kept, so a file that took the name meanwhile is never replaced
// without -f either.
Result transformOne(const Input& input, const Options& options, KeyStream& keys, std::atomic<qint64>& combined)
{
    if (input.error.isError())
        return failed(input.error);
    FileTransform transform;
    const FileError refused = transform.prepare(
        {input.path, options.encrypt, input.length, options.output, input.standardInput ? STDIN_FILENO : -1});
    if (refused.isError())
        return failed(refused);
    const QString& output = transform.output();
    const TransformObserver observer = observing(combined);
    const TransformResult result = output == StandardStream
        ? transform.writeTo(STDOUT_FILENO, keys, observer)
        : transform.writeTo(keys, observer,
                            options.existing == OnExisting::Replace ? ExistingOutput::Replace : ExistingOutput::Keep);
    switch (result.outcome) {
    case TransformOutcome::Written:
        return {Outcome::Written, output, {}};
    case TransformOutcome::Kept:
        return {Outcome::Kept, output, {}};
    case TransformOutcome::Stopped:
        return {Outcome::Stopped, {}, {}};
    case TransformOutcome::Failed:
        // Seen only where SIGPIPE was ignored when the program started; otherwise the system ended it already.
        if (output == StandardStream && result.error.number == EPIPE && result.error.subject == FileError::Output)
            Interrupt::endAsBrokenPipe();
        break;
    }
    return failed(result.error, output);
}

// In binary units with one decimal: "3.5 GiB".
QString amount(qint64 bytes)
{
    static constexpr const char16_t* Units[] = {u"KiB", u"MiB", u"GiB", u"TiB", u"PiB", u"EiB"};
    if (bytes < 1024)
        return u"%1 B"_s.arg(bytes);
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    for (; value >= 1024 && unit + 1 < int(std::size(Units)); ++unit)
        value /= 1024;
    return u"%1 %2"_s.arg(value, 0, 'f', 1).arg(QString::fromUtf16(Units[unit]));
}

QString twoDigits(qint64 number)
{
    return u"%1"_s.arg(number, 2, 10, QChar(u'0'));
}

// "m:ss", or "h:mm:ss" from an hour on.
QString clockTime(double seconds)
{
    const auto whole = static_cast<qint64>(seconds + 0.5);
    if (whole < 3600)
        return QString::number(whole / 60) + u':' + twoDigits(whole % 60);
    return QString::number(whole / 3600) + u':' + twoDigits(whole / 60 % 60) + u':' + twoDigits(whole % 60);
}

class Batch
{
public:
    Batch(const QList<Input>& inputs, const QByteArray& key, const Options& options, bool progress)
        : m_inputs(inputs)
        , m_key(key)
        , m_options(options)
        , m_progress(progress)
        , m_results(static_cast<size_t>(inputs.size()))
    {
        for (const Input& input : inputs)
            m_totalBytes += input.length;
    }

    bool run()
    {
        const int workers = static_cast<int>(std::min<qsizetype>(m_options.jobs, m_inputs.size()));
        m_combined = std::make_unique<std::atomic<qint64>[]>(static_cast<size_t>(workers));
        m_workers = workers;
        m_working = workers;
        m_start = Clock::now();
        std::vector<std::thread> threads;
        threads.reserve(static_cast<size_t>(workers));
        for (int slot = 0; slot < workers; ++slot)
            threads.emplace_back(&Batch::work, this, slot);

        auto nextDraw = m_start + DrawInterval;
        qsizetype seen = 0;
        const auto news = [&] {
            return m_events != seen;
        };
        std::unique_lock lock(m_mutex);
        while (m_working > 0) {
            // Awake when a file ends, and for the status line ten times a second.
            if (m_progress)
                m_changed.wait_until(lock, nextDraw, news);
            else
                m_changed.wait(lock, news);
            seen = m_events;
            // The files that end the run so far in the order given; a file still in work holds back those after it.
            std::vector<qsizetype> ready;
            for (; m_reported < m_inputs.size() && m_results[size_t(m_reported)].outcome != Outcome::Pending;
                 ++m_reported)
                ready.push_back(m_reported);
            lock.unlock();
            for (const qsizetype index : ready)
                report(index);
            if (m_progress && Clock::now() >= nextDraw) {
                drawStatusLine();
                nextDraw = Clock::now() + DrawInterval;
            }
            lock.lock();
        }
        lock.unlock();
        for (std::thread& thread : threads)
            thread.join();
        // After an interrupt: the files finished beyond one that was stopped, or never started.
        for (; m_reported < m_inputs.size(); ++m_reported)
            report(m_reported);
        clearStatusLine();
        return !m_anyFailed;
    }

private:
    void work(int slot)
    {
        Interrupt::keepFromThisThread();
        // Kept for the next file: its pattern of the key is built once.
        KeyStream keys(m_key);
        std::atomic<qint64>& combined = m_combined[static_cast<size_t>(slot)];
        for (;;) {
            if (Interrupt::requested())
                break;
            const qsizetype index = m_next.fetch_add(1);
            if (index >= m_inputs.size())
                break;
            const Input& input = m_inputs.at(index);
            Result result = transformOne(input, m_options, keys, combined);
            combined.store(0, std::memory_order_relaxed);
            if (result.outcome != Outcome::Stopped) {
                m_finishedBytes.fetch_add(input.length, std::memory_order_relaxed);
                m_finishedFiles.fetch_add(1, std::memory_order_relaxed);
            }
            {
                const std::lock_guard guard(m_mutex);
                m_results[static_cast<size_t>(index)] = std::move(result);
                ++m_events;
            }
            m_changed.notify_one();
        }
        {
            const std::lock_guard guard(m_mutex);
            --m_working;
            ++m_events;
        }
        m_changed.notify_one();
    }

    // Only the main thread writes to the terminal, so lines never interleave; it reads the results once their
    // files have ended.
    void report(qsizetype index)
    {
        const Result& result = m_results[static_cast<size_t>(index)];
        const QString path = shownInput(m_inputs.at(index));
        switch (result.outcome) {
        case Outcome::Written:
            list(path + u" -> "_s + shownOutput(result.output) + u'\n');
            break;
        case Outcome::Kept:
            if (m_options.existing == OnExisting::Skip)
                list(path + u": skipped, "_s + Console::shown(result.output) + u" exists\n"_s);
            else
                fail(path + u": "_s + Console::shown(result.output) + u" exists; --force replaces it"_s);
            break;
        case Outcome::Failed:
            fail(path + u": "_s + describe(result.error, result.output));
            break;
        case Outcome::Stopped:
        case Outcome::Pending:
            break;
        }
    }

    void fail(const QString& line)
    {
        m_anyFailed = true;
        clearStatusLine();
        Console::complain(line);
    }

    // A line of the listing that -v asks for. A listing that cannot be written fails the run, said once: a script
    // that reads it must not take what it got for all that was done.
    void list(const QString& line)
    {
        if (!m_listing)
            return;
        clearStatusLine();
        if (Console::write(STDOUT_FILENO, line))
            return;
        const FileError error = FileError::fromErrno(errno);
        m_listing = false;
        m_anyFailed = true;
        if (!Interrupt::requested())
            Console::complain(u"the list of files written is incomplete: standard output: "_s + error.description);
    }

    // Files done of all, bytes, rate and time left, cut to the terminal's width so that it never wraps.
    void drawStatusLine()
    {
        qint64 done = m_finishedBytes.load(std::memory_order_relaxed);
        for (int slot = 0; slot < m_workers; ++slot)
            done += m_combined[static_cast<size_t>(slot)].load(std::memory_order_relaxed);
        QString line = u"%1/%2 files, %3 of %4"_s.arg(m_finishedFiles.load(std::memory_order_relaxed))
                           .arg(m_inputs.size())
                           .arg(amount(done), amount(m_totalBytes));
        const double seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
        if (done > 0 && seconds > 0) {
            const double rate = static_cast<double>(done) / seconds;
            line += u", %1/s, %2 left"_s.arg(amount(static_cast<qint64>(rate)),
                                             clockTime(static_cast<double>(m_totalBytes - done) / rate));
        }
        winsize size {};
        if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
            line.truncate(size.ws_col - 1);
        Console::write(STDERR_FILENO, u"\r"_s + line + u"\x1b[K"_s);
        m_lineShown = true;
    }

    void clearStatusLine()
    {
        if (m_lineShown)
            Console::write(STDERR_FILENO, u"\r\x1b[K"_s);
        m_lineShown = false;
    }

    const QList<Input>& m_inputs;
    const QByteArray m_key;
    const Options m_options;
    const bool m_progress;
    bool m_listing = m_options.verbose; // -v, until standard output refuses a line
    qint64 m_totalBytes = 0;

    std::atomic<qsizetype> m_next {0};
    int m_workers = 0;
    std::unique_ptr<std::atomic<qint64>[]> m_combined; // per worker: bytes combined of its file in work
    std::atomic<qint64> m_finishedBytes {0};
    std::atomic<qsizetype> m_finishedFiles {0};

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Result> m_results; // guarded by m_mutex until the workers have returned
    int m_working = 0; // guarded by m_mutex: workers that have not returned
    qsizetype m_events = 0; // guarded by m_mutex: files ended and workers returned, so far

    // The main thread's own.
    qsizetype m_reported = 0;
    bool m_anyFailed = false;
    bool m_lineShown = false;
    Clock::time_point m_start;
};

} // namespace

bool runBatch(const QList<Input>& inputs, const QByteArray& key, const Options& options, bool progress)
{
    beginSweepRound();
    return Batch(inputs, key, options, progress).run();
}
