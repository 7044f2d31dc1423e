// SPDX-License-Identifier: GPL-3.0-or-later

#include "cipher/FileTransform.h"

#include "cipher/KeyStream.h"
#include "cipher/Progress.h"

#include <QFile>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Links followed at most, as the kernel's own limit for one path.
constexpr int MaxLinkDepth = 40;

TransformResult failed(int number)
{
    return {TransformOutcome::Failed, FileError::fromErrno(number)};
}

TransformResult failed(const FileError& error)
{
    return {TransformOutcome::Failed, error};
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The name that writing to `path` would really reach: symbolic links are followed as open() follows them, and
// a dangling link leads to the name it would create.
int followLinks(QByteArray& path)
{
    for (int depth = 0; depth < MaxLinkDepth; ++depth) {
        struct stat info
        {
        };
        if (::lstat(path.constData(), &info) != 0)
            return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(info.st_mode))
            return 0;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.constData(), target, sizeof target);
        if (n < 0)
            return errno;
        if (n == sizeof target)
            return ENAMETOOLONG;
        const QByteArray link(target, n);
        path = link.startsWith('/') ? link : path.left(path.lastIndexOf('/') + 1) + link;
    }
    return ELOOP;
}

// Where the output goes, and what it would replace there.
struct OutputTarget
{
    QByteArray path;
    bool exists = false;
    struct stat replaced
    {
    };
};

// An existing output must be writable by this user: renaming a new file over it would otherwise replace a
// file the user may not change. It must not be the input either. A missing output is fine; it will be created.
FileError checkTarget(OutputTarget& target, const struct stat& input)
{
    target.exists = ::stat(target.path.constData(), &target.replaced) == 0;
    if (!target.exists)
        return errno == ENOENT ? FileError() : FileError::fromErrno(errno);
    if (sameFile(target.replaced, input))
        return FileError::outputIsInput();
    // Non-blocking, so a FIFO without a reader fails (ENXIO) instead of hanging the window.
    const int fd = ::open(target.path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return FileError::fromErrno(errno);
    ::close(fd);
    return {};
}

// The owner may always read and write the output; group and others get no more than the input gives them, nor
// more than the file it replaces gave them.
mode_t outputMode(const struct stat& input, const OutputTarget& target)
{
    mode_t mode = (input.st_mode & 0777) | S_IRUSR | S_IWUSR;
    if (target.exists)
        mode &= target.replaced.st_mode | S_IRWXU;
    return mode;
}

// A new file under a short name in the output's folder, so that any output name the filesystem takes can be
// replaced. It is removed again unless it has been renamed over the output.
class TemporaryOutput
{
public:
    explicit TemporaryOutput(const QByteArray& outputPath)
        : m_path(outputPath.left(outputPath.lastIndexOf('/') + 1) + ".zafrel-XXXXXX")
    { }
    ~TemporaryOutput()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_committed && m_created)
            ::unlink(m_path.constData());
    }
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    int create(mode_t mode)
    {
        m_fd = ::mkostemp(m_path.data(), O_CLOEXEC);
        if (m_fd < 0)
            return errno;
        m_created = true;
        // Before the first byte: a decrypted 0600 file must never sit in a wider temporary file, even briefly.
        return ::fchmod(m_fd, mode) != 0 ? errno : 0;
    }

    int fd() const { return m_fd; }

    // Synced and closed before the rename, so the new name never shows a file that is not whole on disk.
    int commitAs(const QByteArray& path)
    {
        if (::fsync(m_fd) != 0)
            return errno;
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0)
            return errno;
        if (::rename(m_path.constData(), path.constData()) != 0)
            return errno;
        m_committed = true;
        return 0;
    }

private:
    QByteArray m_path;
    int m_fd = -1;
    bool m_created = false;
    bool m_committed = false;
};

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

// The input still has the size and modification time it had when it was opened.
bool unchanged(int fd, const struct stat& opened)
{
    struct stat now
    {
    };
    return ::fstat(fd, &now) == 0 && now.st_size == opened.st_size && now.st_mtim.tv_sec == opened.st_mtim.tv_sec
        && now.st_mtim.tv_nsec == opened.st_mtim.tv_nsec;
}

} // namespace

QString outputPath(const QString& inputPath, bool encrypt)
{
    if (encrypt)
        return inputPath + u".enc"_s;
    const qsizetype nameLength = inputPath.size() - inputPath.lastIndexOf(u'/') - 1;
    return nameLength > 4 ? inputPath.chopped(4) : QString();
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
    m_opened = info;
    return {};
}

TransformResult FileTransform::writeTo(const QString& outputPath, QByteArrayView key, const TransformObserver& observer)
{
    KeyStream keys(key);
    return writeTo(outputPath, keys, observer);
}

TransformResult FileTransform::writeTo(const QString& outputPath, KeyStream& keys, const TransformObserver& observer)
{
    if (!keys.isValid())
        return {TransformOutcome::NoKey, {}};
    if (m_fd < 0)
        return failed(EBADF);
    if (outputPath.isEmpty())
        return failed(ENOENT);

    OutputTarget target {QFile::encodeName(outputPath)};
    if (const int number = followLinks(target.path))
        return failed(number);
    if (const FileError error = checkTarget(target, m_opened); error.isError())
        return failed(error);

    TemporaryOutput output(target.path);
    if (const int number = output.create(outputMode(m_opened, target)))
        return failed(number);

    keys.setPosition(0);
    const qint64 length = m_opened.st_size;
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
            keys.apply(buffer.get() + done, upTo - done);
            done = upTo;
            if (observer.onCheckpoint && !observer.onCheckpoint(nextCheckpoint, length))
                return {TransformOutcome::Stopped, {}};
            nextCheckpoint += step;
        }
        keys.apply(buffer.get() + done, size - done);

        if (const int number = writeFully(output.fd(), buffer.get(), size))
            return failed(number);
        offset += size;
    }

    if (observer.onFinishing)
        observer.onFinishing();

    // A file that grew, or was rewritten, while we read it would give an output that matches no version of it.
    if (!unchanged(m_fd, m_opened))
        return failed(FileError::inputChanged());
    // Checked again: while we yielded, the old output may have been made read-only, or the input moved there.
    if (const FileError error = checkTarget(target, m_opened); error.isError())
        return failed(error);
    if (const int number = output.commitAs(target.path))
        return failed(number);
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
