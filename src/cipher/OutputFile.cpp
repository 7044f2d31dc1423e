// SPDX-License-Identifier: GPL-3.0-or-later

#include "cipher/OutputFile.h"

#include "cipher/Leftovers.h"
#include "cipher/TestSeams.h"

#include <QByteArrayList>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace {

// Links followed at most in one path, the kernel's own limit.
constexpr int MaxLinks = 40;
constexpr int MaxNameAttempts = 100;
// Write-back works in whole megabytes, a multiple of every page size, so no page is sent or dropped half written.
constexpr qint64 WriteBackUnit = 1024 * 1024;
// How far behind the bytes written the cache is dropped: enough to keep the disk busy meanwhile.
constexpr qint64 WriteBehindLag = 16 * WriteBackUnit;

QByteArrayList namesOf(const QByteArray& path)
{
    QByteArrayList names;
    for (const QByteArray& name : path.split('/')) {
        if (!name.isEmpty() && name != ".")
            names.append(name);
    }
    return names;
}

Descriptor openRoot(bool absolute)
{
    return Descriptor(::open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
}

// The kernel's rule for links in shared folders (fs.protected_symlinks): in a sticky folder that everybody may
// write, a link is followed only when it belongs to the one who follows it or to the folder's owner. Anybody can
// plant a link there; only these two could have meant it.
bool mayFollow(int folder, const struct stat& link)
{
    struct stat info
    {
    };
    if (::fstat(folder, &info) != 0)
        return false;
    const bool shared = (info.st_mode & S_ISVTX) && (info.st_mode & S_IWOTH);
    return !shared || link.st_uid == ::geteuid() || link.st_uid == info.st_uid;
}

FileError readLink(int folder, const QByteArray& name, QByteArray& target)
{
    QByteArray buffer(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = ::readlinkat(folder, name.constData(), buffer.data(), static_cast<size_t>(buffer.size()));
    if (n < 0)
        return FileError::fromErrno(errno);
    if (n == buffer.size())
        return FileError::fromErrno(ENAMETOOLONG);
    target = buffer.left(n);
    return {};
}

// Named temporary files in work. A process that ends without unwinding its stack (Qt ends it with exit() when
// the display connection breaks) still removes them, as the static objects are destroyed.
class NamedTemporaries
{
public:
    static NamedTemporaries& instance()
    {
        static NamedTemporaries files;
        return files;
    }
    ~NamedTemporaries()
    {
        for (const auto& [folder, name] : m_files)
            ::unlinkat(folder, name.constData(), 0);
    }
    void add(int folder, const QByteArray& name)
    {
        const std::lock_guard lock(m_mutex);
        m_files.emplace_back(folder, name);
    }
    void remove(int folder, const QByteArray& name)
    {
        const std::lock_guard lock(m_mutex);
        std::erase(m_files, std::pair(folder, name));
    }

private:
    std::mutex m_mutex;
    std::vector<std::pair<int, QByteArray>> m_files;
};

// An unnamed file is named through its entry in /proc, which needs no privilege (AT_EMPTY_PATH would).
bool canNameUnnamedFiles()
{
    static const bool proc = ::access("/proc/self/fd", X_OK) == 0;
    return proc;
}

QByteArray procPath(int fd)
{
    return "/proc/self/fd/" + QByteArray::number(fd);
}

// Renames `from` to `to` in `folder` unless `to` is taken (EEXIST), decided in one step with the name: by the rename
// where the file system can (NFS and many FUSE file systems cannot), else by a second link (NFS), else by claiming
// the name with an empty file of our own that the rename then replaces (FAT and exFAT have no links). Gives errno.
int renameUnlessTaken(int folder, const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(folder, from.constData(), folder, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (::linkat(folder, from.constData(), folder, to.constData(), 0) == 0) {
        ::unlinkat(folder, from.constData(), 0);
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    const Descriptor claim(
        ::openat(folder, to.constData(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (!claim.isOpen())
        return errno;
    if (::renameat(folder, from.constData(), folder, to.constData()) == 0)
        return 0;
    const int error = errno;
    ::unlinkat(folder, to.constData(), 0);
    return error;
}

} // namespace

FileError locateOutput(const QByteArray& path, OutputPlace& place)
{
    Descriptor folder = openRoot(path.startsWith('/'));
    if (!folder.isOpen())
        return FileError::fromErrno(errno);
    QByteArrayList pending = namesOf(path);
    int links = 0;
    while (!pending.isEmpty()) {
        const QByteArray name = pending.takeFirst();
        const bool last = pending.isEmpty();
        struct stat info
        {
        };
        if (::fstatat(folder.get(), name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT && last) {
                place = {std::move(folder), name};
                return {};
            }
            return FileError::fromErrno(errno);
        }
        if (S_ISLNK(info.st_mode)) {
            if (++links > MaxLinks)
                return FileError::fromErrno(ELOOP);
            if (!mayFollow(folder.get(), info))
                return FileError::fromErrno(EACCES);
            QByteArray target;
            if (const FileError error = readLink(folder.get(), name, target); error.isError())
                return error;
            if (target.isEmpty())
                return FileError::fromErrno(ENOENT);
            if (target.startsWith('/'))
                folder = openRoot(true);
            pending = namesOf(target) + pending;
            continue;
        }
        if (last) {
            place = {std::move(folder), name};
            return {};
        }
        if (!S_ISDIR(info.st_mode))
            return FileError::fromErrno(ENOTDIR);
        Descriptor next(::openat(folder.get(), name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.isOpen())
            return FileError::fromErrno(errno);
        folder = std::move(next);
    }
    // The path names a folder itself ("/", "a/..").
    return FileError::fromErrno(EISDIR);
}

FileError inspectName(const OutputPlace& place, const struct stat& input, bool& taken)
{
    taken = false;
    struct stat info
    {
    };
    if (::fstatat(place.folder.get(), place.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? FileError() : FileError::fromErrno(errno);
    if (sameFile(info, input))
        return FileError::outputIsInput();
    if (S_ISDIR(info.st_mode))
        return FileError::fromErrno(EISDIR);
    // A device, a pipe, or a link put there since the name was looked up: nothing a file should replace.
    if (!S_ISREG(info.st_mode))
        return FileError::fromErrno(EEXIST);
    taken = true;
    return {};
}

FileError inspectReplaced(const OutputPlace& place, const struct stat& input, ReplacedFile& replaced)
{
    replaced = {};
    bool taken = false;
    if (const FileError error = inspectName(place, input, taken); error.isError() || !taken)
        return error;
    struct stat info
    {
    };
    // Non-blocking and never following a link, so nothing here can hang the window or lead elsewhere.
    Descriptor file(::openat(place.folder.get(), place.name.constData(),
                             O_WRONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.isOpen())
        return FileError::fromErrno(errno);
    if (::fstat(file.get(), &info) != 0)
        return FileError::fromErrno(errno);
    if (sameFile(info, input))
        return FileError::outputIsInput();
    replaced.file = std::move(file);
    replaced.info = info;
    return {};
}

FileError preallocate(int fd, qint64 length)
{
    if (length <= 0)
        return {};
    while (::fallocate(fd, 0, 0, static_cast<off_t>(length)) != 0) {
        if (errno == EINTR)
            continue;
        // A file system that cannot reserve space (exFAT through FUSE) takes the bytes as they come.
        if (errno == EOPNOTSUPP || errno == ENOSYS)
            return {};
        return FileError::fromErrno(errno);
    }
    return {};
}

FileError WriteBehind::written(qint64 end)
{
    const qint64 whole = end / WriteBackUnit * WriteBackUnit;
    if (whole <= m_started)
        return {};
    if (::sync_file_range(m_fd, m_started, whole - m_started, SYNC_FILE_RANGE_WRITE) != 0)
        return FileError::fromErrno(errno);
    m_started = whole;
    const qint64 drop = whole - WriteBehindLag;
    if (drop <= m_dropped)
        return {};
    if (::sync_file_range(m_fd, m_dropped, drop - m_dropped,
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER)
        != 0)
        return FileError::fromErrno(errno);
    // Only advice: pages the kernel keeps change nothing but the memory they hold.
    ::posix_fadvise(m_fd, m_dropped, drop - m_dropped, POSIX_FADV_DONTNEED);
    m_dropped = drop;
    return {};
}

TemporaryOutput::TemporaryOutput(int folder)
    : m_folder(folder)
{ }

TemporaryOutput::~TemporaryOutput()
{
    if (!m_name.isEmpty()) {
        ::unlinkat(m_folder, m_name.constData(), 0);
        forgetName();
    }
}

FileError TemporaryOutput::create()
{
    // Before this run's own file exists: what the sweep finds unlocked was left by a run that is gone.
    sweepFolderOnce(m_folder);
    if (TestSeams::unnamedFilesAllowed() && canNameUnnamedFiles()) {
        m_file = Descriptor(::openat(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR));
        if (m_file.isOpen())
            return {};
        // The file system has no unnamed files (EISDIR: a kernel that knows none).
        if (errno != EOPNOTSUPP && errno != EISDIR)
            return FileError::fromErrno(errno);
    }
    return createNamed();
}

FileError TemporaryOutput::createNamed()
{
    return takeShortName([this](const QByteArray& name) {
        Descriptor file(::openat(m_folder, name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC,
                                 S_IRUSR | S_IWUSR));
        if (!file.isOpen())
            return errno;
        TestSeams::reachRace(TestSeams::RaceMoment::WriterCreated, m_folder, name);
        // Until the lock is ours a sweep can take the file for stale: it holds it now to remove it, or removed it
        // already. Either way the file is lost to us, and another name is tried.
        if (lockTemporary(file.get()) == TemporaryLock::Busy || !namedAs(file.get(), name))
            return EEXIST;
        m_file = std::move(file);
        return 0;
    });
}

bool TemporaryOutput::namedAs(int fd, const QByteArray& name) const
{
    struct stat named
    {
    };
    struct stat opened
    {
    };
    return ::fstatat(m_folder, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &opened) == 0
        && sameFile(named, opened);
}

FileError TemporaryOutput::nameUnnamed()
{
    // Locked while nobody can see it yet, so no sweep ever takes it for stale once it has a name.
    static_cast<void>(lockTemporary(m_file.get()));
    const QByteArray source = procPath(m_file.get());
    return takeShortName([this, &source](const QByteArray& name) {
        return ::linkat(AT_FDCWD, source.constData(), m_folder, name.constData(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
    });
}

FileError TemporaryOutput::takeShortName(const std::function<int(const QByteArray& name)>& take)
{
    for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
        const QByteArray name = newTemporaryName();
        const int error = take(name);
        if (error == 0) {
            m_name = name;
            NamedTemporaries::instance().add(m_folder, m_name);
            return {};
        }
        if (error != EEXIST)
            return FileError::fromErrno(error);
    }
    return FileError::fromErrno(EEXIST);
}

FileError TemporaryOutput::closeFile()
{
    return ::close(m_file.release()) == 0 ? FileError() : FileError::fromErrno(errno);
}

void TemporaryOutput::forgetName()
{
    NamedTemporaries::instance().remove(m_folder, m_name);
    m_name.clear();
}

FileError TemporaryOutput::commitAs(const QByteArray& name, bool replace)
{
    if (const int error = TestSeams::syncBytes(m_file.get()); error != 0)
        return FileError::fromErrno(error);
    TestSeams::reachRace(TestSeams::RaceMoment::Committing, m_folder, name);
    if (m_name.isEmpty()) {
        // Linking fails where the name is taken, so a new output appears whole, in one step.
        if (::linkat(AT_FDCWD, procPath(m_file.get()).constData(), m_folder, name.constData(), AT_SYMLINK_FOLLOW) == 0)
            return closeFile();
        if (errno != EEXIST || !replace)
            return FileError::fromErrno(errno);
        if (const FileError error = nameUnnamed(); error.isError())
            return error;
    }
    // Closed before the rename, so a failure to write back (a full network disk) is seen before the old file goes.
    // A second descriptor keeps the lock until the file has its final name, so no sweep removes it meanwhile.
    const Descriptor lockKeeper(::dup(m_file.get()));
    if (!lockKeeper.isOpen())
        return FileError::fromErrno(errno);
    if (const FileError error = closeFile(); error.isError())
        return error;
    TestSeams::reachRace(TestSeams::RaceMoment::WriterClosed, m_folder, m_name);
    const int renamed = replace
        ? (::renameat(m_folder, m_name.constData(), m_folder, name.constData()) == 0 ? 0 : errno)
        : renameUnlessTaken(m_folder, m_name, name);
    if (renamed != 0)
        return FileError::fromErrno(renamed);
    forgetName();
    return {};
}
