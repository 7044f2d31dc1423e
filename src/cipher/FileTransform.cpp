#include "cipher/FileTransform.h"

#include "cipher/KeyStream.h"
#include "cipher/Progress.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

TransformResult failed(int number)
{
    return {TransformOutcome::Failed, FileError::fromErrno(number)};
}

// Qt keeps the system's error only as text; errno right after the failing call still holds its number.
int errnoOr(int fallback)
{
    return errno != 0 ? errno : fallback;
}

// An existing output must be writable by this user: renaming a new file over it would otherwise replace a
// file the user may not change. A missing output is fine; it will be created.
int outputWriteError(const QByteArray& path)
{
    // Non-blocking, so a FIFO without a reader fails (ENXIO) instead of hanging the window.
    const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0) {
        ::close(fd);
        return 0;
    }
    return errno == ENOENT ? 0 : errno;
}

// Reads exactly `size` bytes at `offset`; a file cut short under our feet is an error, not a shorter output.
int readFully(int fd, char* data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const ssize_t n = ::pread(fd, data, static_cast<size_t>(size), static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENODATA;
        data += n;
        size -= n;
        offset += n;
    }
    return 0;
}

int writeFully(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        size -= n;
    }
    return 0;
}

} // namespace

QString outputPath(const QString& inputPath, bool encrypt)
{
    if (encrypt)
        return inputPath + u".enc"_s;
    return inputPath.left(std::max<qsizetype>(0, inputPath.size() - 4));
}

FileTransform::FileTransform(const QString& inputPath)
    : m_inputPath(inputPath)
{ }

FileTransform::~FileTransform()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FileError FileTransform::open()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    // Read-only and never O_CREAT: a missing input stays missing. Non-blocking so a FIFO cannot hang us.
    const int fd = ::open(QFile::encodeName(m_inputPath).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return FileError::fromErrno(errno);
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0) {
        const int number = errno;
        ::close(fd);
        return FileError::fromErrno(number);
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        return FileError::fromErrno(EISDIR);
    }
    m_fd = fd;
    m_length = static_cast<qint64>(info.st_size);
    m_permissions = info.st_mode & 0777;
    return {};
}

TransformResult FileTransform::writeTo(const QString& outputPath, QByteArrayView key, const TransformObserver& observer)
{
    if (key.isEmpty())
        return {TransformOutcome::NoKey, {}};
    if (m_fd < 0)
        return failed(EBADF);
    if (outputPath.isEmpty())
        return failed(ENOENT);

    const QByteArray encodedOutput = QFile::encodeName(outputPath);
    if (const int number = outputWriteError(encodedOutput))
        return failed(number);

    // Until commit() the bytes live in a temporary file; leaving this scope without commit removes it.
    QSaveFile output(outputPath);
    errno = 0;
    if (!output.open(QIODevice::WriteOnly))
        return failed(errnoOr(EIO));
    const int outFd = output.handle();
    if (outFd < 0)
        return failed(EBADF);
    // Before the first byte: a decrypted 0600 file must never sit in a 0644 temporary file, even briefly.
    if (::fchmod(outFd, m_permissions) != 0)
        return failed(errno);

    KeyStream stream(key);
    const qint64 length = m_length;
    const qint64 step = checkpointStep(length);
    qint64 nextCheckpoint = step > 0 ? 0 : length; // `length` is past every byte: no checkpoint
    const qint64 chunkSize = std::min(m_chunkSize, std::max<qint64>(length, 1));
    const auto buffer = std::make_unique<char[]>(static_cast<size_t>(chunkSize));

    for (qint64 offset = 0; offset < length;) {
        const qint64 size = std::min(chunkSize, length - offset);
        if (const int number = readFully(m_fd, buffer.get(), size, offset))
            return failed(number);

        qint64 done = 0;
        while (nextCheckpoint < offset + size) {
            const qint64 upTo = nextCheckpoint - offset + 1; // the checkpoint byte itself is combined first
            stream.apply(buffer.get() + done, upTo - done);
            done = upTo;
            if (observer.onCheckpoint && !observer.onCheckpoint(nextCheckpoint, length)) {
                output.cancelWriting();
                return {TransformOutcome::Stopped, {}};
            }
            nextCheckpoint += step;
        }
        stream.apply(buffer.get() + done, size - done);

        if (const int number = writeFully(outFd, buffer.get(), size))
            return failed(number);
        offset += size;
    }

    if (observer.onFinishing)
        observer.onFinishing();

    if (::fsync(outFd) != 0)
        return failed(errno);
    // Checked again: the old output may have been made read-only while we yielded.
    if (const int number = outputWriteError(encodedOutput))
        return failed(number);
    errno = 0;
    if (!output.commit())
        return failed(errnoOr(EIO));
    return {TransformOutcome::Written, {}};
}

TransformResult transformFile(const QString& inputPath, const QString& outputPath, QByteArrayView key,
                              const TransformObserver& observer, qint64 chunkSize)
{
    if (key.isEmpty())
        return {TransformOutcome::NoKey, {}};
    FileTransform transform(inputPath);
    transform.setChunkSize(chunkSize);
    if (const FileError error = transform.open(); error.isError())
        return {TransformOutcome::Failed, error};
    return transform.writeTo(outputPath, key, observer);
}
