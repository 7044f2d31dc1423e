// SPDX-License-Identifier: GPL-3.0-or-later

#include "cipher/FileTransform.h"

#include "cipher/KeyStream.h"
#include "cipher/OutputAccess.h"
#include "cipher/OutputFile.h"
#include "cipher/Progress.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A file or stream of 0 or 1 byte is "too small" and never transformed.
constexpr bool tooSmallToTransform(qint64 length)
{
    return length < 2;
}

TransformResult failed(const FileError& error)
{
    return {TransformOutcome::Failed, error};
}

// Reads exactly `size` bytes at `offset`. A file found shorter than it was is a file that changed under our feet,
// never a shorter output.
FileError readFully(int fd, char* data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const ssize_t n = ::pread(fd, data, static_cast<size_t>(size), static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return FileError::fromErrno(errno);
        }
        if (n == 0)
            return FileError::inputChanged();
        data += n;
        size -= n;
        offset += n;
    }
    return {};
}

// The observer's wait said stop: no failure of the platform's, so no description.
FileError stoppedWaiting()
{
    return {ECANCELED, {}, FileError::Input};
}

TransformResult failedOrStopped(const FileError& error)
{
    if (error.number == ECANCELED && error.description.isEmpty())
        return {TransformOutcome::Stopped, {}};
    return failed(error);
}

// Reads and writes of a regular file never wait for another process: they need no wait, and cost no poll.
const WaitHook NoWait;

const WaitHook& waitFor(const struct stat& file, const TransformObserver& observer)
{
    return S_ISREG(file.st_mode) ? NoWait : observer.onWait;
}

// Whether to go on to a read or write of `fd` that may wait: the wait decides, where there is one.
bool mayGoOn(int fd, short events, const WaitHook& wait)
{
    return !wait || wait(fd, events);
}

// A descriptor that whoever opened it left non-blocking answers EAGAIN instead of waiting: the wait is ours then.
void waitUntilReady(int fd, short events)
{
    pollfd ready {fd, events, 0};
    ::poll(&ready, 1, -1);
}

FileError writeFully(int fd, const char* data, qint64 size, const WaitHook& wait)
{
    while (size > 0) {
        if (!mayGoOn(fd, POLLOUT, wait))
            return stoppedWaiting();
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EAGAIN)
                waitUntilReady(fd, POLLOUT);
            else if (errno != EINTR)
                return FileError::fromErrno(errno);
            continue;
        }
        data += n;
        size -= n;
    }
    return {};
}

// Writes the piece of the output that ends at `end`, and sends it on to the disk behind the writes when the output is
// our own file (`writeBehind`). A failure is the output's; one that a stop request caused says nothing (ECANCELED).
FileError writePiece(int fd, const WaitHook& wait, std::optional<WriteBehind>& writeBehind, const char* data,
                     qint64 size, qint64 end)
{
    FileError error = writeFully(fd, data, size, wait);
    if (!error.isError() && writeBehind)
        error = writeBehind->written(end);
    return error.about(FileError::Output);
}

// Reads what a stream has now, at most `size` bytes; `got` 0 is its end.
FileError readSome(int fd, char* data, qint64 size, const WaitHook& wait, qint64& got)
{
    for (;;) {
        if (!mayGoOn(fd, POLLIN, wait))
            return stoppedWaiting();
        const ssize_t n = ::read(fd, data, static_cast<size_t>(size));
        if (n >= 0) {
            got = n;
            return {};
        }
        if (errno == EAGAIN)
            waitUntilReady(fd, POLLIN);
        else if (errno != EINTR)
            return FileError::fromErrno(errno);
    }
}

bool sameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The input still has the size, modification time and change time it had when it was opened. A rewrite that
// puts the modification time back still moves the change time, which nobody can set.
bool unchanged(int fd, const struct stat& opened)
{
    struct stat now
    {
    };
    return ::fstat(fd, &now) == 0 && now.st_size == opened.st_size && sameTime(now.st_mtim, opened.st_mtim)
        && sameTime(now.st_ctim, opened.st_ctim);
}

// Written here means: nothing stands in the way, go on.
bool goesOn(const TransformResult& result)
{
    return result.outcome == TransformOutcome::Written;
}

// What has the output's name. An old output to keep is kept whoever may write it, so only its kind is looked at;
// one to replace is held open in `replaced`, proof that this user may change it.
TransformResult lookAtOutput(const OutputPlace& place, const struct stat& input, ExistingOutput existing,
                             ReplacedFile& replaced)
{
    bool taken = false;
    const FileError error
        = existing == ExistingOutput::Keep ? inspectName(place, input, taken) : inspectReplaced(place, input, replaced);
    if (error.isError())
        return failed(error.about(FileError::Output));
    return {taken ? TransformOutcome::Kept : TransformOutcome::Written, {}};
}

} // namespace

bool hasEncryptedName(const QString& path)
{
    return path.endsWith(u".enc"_s);
}

QString outputPath(const QString& inputPath, bool encrypt)
{
    if (encrypt)
        return inputPath + u".enc"_s;
    const qsizetype nameStart = inputPath.lastIndexOf(u'/') + 1;
    qsizetype end = inputPath.size();
    for (int removed = 0; removed < 4 && end > nameStart; ++removed) {
        --end;
        if (end > nameStart && inputPath.at(end).isLowSurrogate() && inputPath.at(end - 1).isHighSurrogate())
            --end;
    }
    return end > nameStart ? inputPath.left(end) : QString();
}

FileTransform::FileTransform(qint64 chunkSize)
    : m_chunkSize(chunkSize > 0 ? chunkSize : DefaultChunkSize)
{ }

FileTransform::~FileTransform() = default;

FileError FileTransform::prepare(const FileRequest& request)
{
    if (request.stream >= 0) {
        m_output = request.output;
        return openStream(request.stream);
    }
    if (const FileError error = open(request.path); error.isError())
        return error;
    if (length() != request.measuredLength)
        return FileError::inputChanged();
    if (tooSmallToTransform(length()))
        return FileError::tooSmall();
    // Found before anything is opened for writing: a decrypted name must stay in the input's own folder.
    m_output = request.output.isEmpty() ? outputPath(request.path, request.encrypt) : request.output;
    return m_output.isEmpty() ? FileError::nameTooShort() : FileError();
}

FileError FileTransform::open(const QString& inputPath)
{
    // Read-only and never O_CREAT: a missing input stays missing. Non-blocking so a FIFO cannot hang us.
    Descriptor input(::open(QFile::encodeName(inputPath).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!input.isOpen())
        return FileError::fromErrno(errno);
    struct stat info
    {
    };
    if (::fstat(input.get(), &info) != 0)
        return FileError::fromErrno(errno);
    if (S_ISDIR(info.st_mode))
        return FileError::fromErrno(EISDIR);
    m_input = std::move(input);
    m_opened = info;
    return {};
}

FileError FileTransform::openStream(int fd)
{
    Descriptor input(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    if (!input.isOpen())
        return FileError::fromErrno(errno);
    struct stat info
    {
    };
    if (::fstat(input.get(), &info) != 0)
        return FileError::fromErrno(errno);
    m_input = std::move(input);
    m_opened = info;
    m_isStream = true;
    return {};
}

TransformResult FileTransform::writeTo(KeyStream& keys, const TransformObserver& observer, ExistingOutput existing)
{
    if (!keys.isValid())
        return failed(FileError::noKey());
    if (!m_input.isOpen())
        return failed(FileError::fromErrno(EBADF));

    OutputPlace place;
    if (const FileError error = locateOutput(QFile::encodeName(m_output), place); error.isError())
        return failed(error.about(FileError::Output));
    ReplacedFile replaced;
    if (const TransformResult result = lookAtOutput(place, m_opened, existing, replaced); !goesOn(result))
        return result;
    replaced = {}; // not held open while the work goes on: it is looked at again before the commit

    TemporaryOutput output(place.folder.get());
    if (const FileError error = output.create(); error.isError())
        return failed(error.about(FileError::OutputFolder));
    if (const TransformResult result = combine({output.fd(), NoWait, true}, keys, observer); !goesOn(result))
        return result;
    if (observer.onFinishing)
        observer.onFinishing();

    // Looked at again: while we yielded, the old output may have been made read-only, or the input moved there.
    if (const TransformResult result = lookAtOutput(place, m_opened, existing, replaced); !goesOn(result))
        return result;
    // A file that grew, or was rewritten, while we read it would give an output that matches no version of it.
    if (!m_isStream && !unchanged(m_input.get(), m_opened))
        return failed(FileError::inputChanged());
    // Given only now, against the file that is really replaced; until here only the owner could read the bytes.
    const FileError access
        = m_isStream ? restrictToOwner(output.fd()) : grantAccess(output.fd(), m_input.get(), m_opened, replaced);
    if (access.isError())
        return failed(access.about(FileError::Output));
    // Decided again by the commit itself: a file that took the name since is replaced only when that is wanted.
    const FileError error = output.commitAs(place.name, existing == ExistingOutput::Replace);
    if (error.number == EEXIST && existing == ExistingOutput::Keep)
        return {TransformOutcome::Kept, {}};
    if (error.isError())
        return failed(error.about(FileError::Output));
    return {TransformOutcome::Written, {}};
}

TransformResult FileTransform::writeTo(int output, KeyStream& keys, const TransformObserver& observer)
{
    if (!keys.isValid())
        return failed(FileError::noKey());
    if (!m_input.isOpen())
        return failed(FileError::fromErrno(EBADF));
    struct stat info
    {
    };
    if (::fstat(output, &info) != 0)
        return failed(FileError::fromErrno(errno).about(FileError::Output));
    // Appended to the file that is read, the output would be read again: it would never end.
    if (S_ISREG(info.st_mode) && sameFile(info, m_opened))
        return failed(FileError::outputIsInput().about(FileError::Output));
    if (const TransformResult result = combine({output, waitFor(info, observer), false}, keys, observer);
        !goesOn(result))
        return result;
    if (!m_isStream && !unchanged(m_input.get(), m_opened))
        return failed(FileError::inputChanged());
    return {TransformOutcome::Written, {}};
}

TransformResult FileTransform::combine(const Sink& output, KeyStream& keys, const TransformObserver& observer) const
{
    return m_isStream ? streamToEnd(output, keys, observer) : stream(output, keys, observer);
}

TransformResult FileTransform::stream(const Sink& output, KeyStream& keys, const TransformObserver& observer) const
{
    keys.setPosition(0);
    const qint64 length = m_opened.st_size;
    const qint64 step = checkpointStep(length);
    qint64 nextCheckpoint = step > 0 ? 0 : length; // `length` is past every byte: no checkpoint
    const qint64 chunkSize = std::min(m_chunkSize, std::max<qint64>(length, 1));
    const auto buffer = std::make_unique<char[]>(static_cast<size_t>(chunkSize));
    // The input is read once from start to end: the kernel may read far ahead.
    ::posix_fadvise(m_input.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    if (const FileError error = output.ownFile ? preallocate(output.fd, length) : FileError(); error.isError())
        return failed(error.about(FileError::Output));
    std::optional<WriteBehind> writeBehind;
    if (output.ownFile)
        writeBehind.emplace(output.fd);

    for (qint64 offset = 0; offset < length;) {
        const qint64 size = std::min(chunkSize, length - offset);
        if (const FileError error = readFully(m_input.get(), buffer.get(), size, offset); error.isError())
            return failed(error);

        qint64 done = 0;
        while (nextCheckpoint < offset + size) {
            const qint64 upTo = nextCheckpoint - offset + 1; // the checkpoint byte itself is combined first
            keys.apply(buffer.get() + done, upTo - done);
            done = upTo;
            if (observer.onCheckpoint && !observer.onCheckpoint(nextCheckpoint, length))
                return {TransformOutcome::Stopped, {}};
            nextCheckpoint += step;
        }
        keys.apply(buffer.get() + done, size - done);

        const FileError error = writePiece(output.fd, output.wait, writeBehind, buffer.get(), size, offset + size);
        if (error.isError())
            return failedOrStopped(error);
        offset += size;
    }
    return {TransformOutcome::Written, {}};
}

TransformResult FileTransform::streamToEnd(const Sink& output, KeyStream& keys, const TransformObserver& observer) const
{
    keys.setPosition(0);
    const WaitHook& inputWait = waitFor(m_opened, observer);
    const qint64 chunkSize = std::clamp<qint64>(m_chunkSize, 2, StreamChunkSize); // room for the two that decide
    const auto buffer = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(chunkSize));
    std::optional<WriteBehind> writeBehind;
    if (output.ownFile)
        writeBehind.emplace(output.fd);
    qint64 length = 0;
    for (bool ended = false; !ended;) {
        // Each piece goes on as soon as it has come; only the first waits for the second byte.
        qint64 size = 0;
        do {
            qint64 got = 0;
            const FileError error = readSome(m_input.get(), buffer.get() + size, chunkSize - size, inputWait, got);
            if (error.isError())
                return failedOrStopped(error);
            ended = got == 0;
            size += got;
        } while (!ended && tooSmallToTransform(length + size));
        if (tooSmallToTransform(length + size))
            return failed(FileError::tooSmall());

        keys.apply(buffer.get(), size);
        const FileError error = writePiece(output.fd, output.wait, writeBehind, buffer.get(), size, length + size);
        if (error.isError())
            return failedOrStopped(error);
        length += size;
    }
    return {TransformOutcome::Written, {}};
}
