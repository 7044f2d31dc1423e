// SPDX-License-Identifier: GPL-3.0-or-later

#include "cipher/Leftovers.h"

#include "cipher/Descriptor.h"
#include "cipher/TestSeams.h"

#include <QByteArrayList>
#include <QRandomGenerator>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/file.h>

namespace {

constexpr QByteArrayView Prefix(".zafrel-tmp-");
// One case only: file systems that ignore case see the same name.
constexpr QByteArrayView Letters("abcdefghijklmnopqrstuvwxyz0123456789");
constexpr qsizetype RandomLength = 8;
constexpr qsizetype CheckLength = 4;

QByteArray checkOf(QByteArrayView random)
{
    quint32 hash = 2166136261u; // FNV-1a: fixed for good, or files left by an older Zafrel would never be known
    for (const char c : random) {
        hash ^= static_cast<quint8>(c);
        hash *= 16777619u;
    }
    QByteArray check;
    for (qsizetype i = 0; i < CheckLength; ++i, hash /= quint32(Letters.size()))
        check += Letters[hash % quint32(Letters.size())];
    return check;
}

std::mutex roundMutex;
std::set<std::pair<dev_t, ino_t>> sweptThisRound; // guarded by roundMutex

// What a run leaves: a regular file of this user, and no other name of it that a removal could leave dangling.
bool mayBeLeftover(const struct stat& info)
{
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && info.st_nlink == 1;
}

// Locks the file before it is removed, and removes it only while the name still leads to the file locked: a file
// given this name since the folder was read is not the one that was looked at.
bool removeIfStale(int folder, const QByteArray& name)
{
    struct stat seen
    {
    };
    if (::fstatat(folder, name.constData(), &seen, AT_SYMLINK_NOFOLLOW) != 0 || !mayBeLeftover(seen))
        return false;
    // For writing: over NFS, where flock() becomes a lock on the server, an exclusive lock needs it.
    const Descriptor file(
        ::openat(folder, name.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat locked
    {
    };
    if (!file.isOpen() || ::fstat(file.get(), &locked) != 0 || !sameFile(locked, seen))
        return false;
    if (lockTemporary(file.get()) != TemporaryLock::Held)
        return false;
    TestSeams::reachRace(TestSeams::RaceMoment::SweepLocked, folder, name);
    if (::fstatat(folder, name.constData(), &seen, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile(seen, locked))
        return false;
    return ::unlinkat(folder, name.constData(), 0) == 0;
}

} // namespace

QByteArray newTemporaryName()
{
    QByteArray random;
    for (qsizetype i = 0; i < RandomLength; ++i)
        random += Letters[QRandomGenerator::global()->bounded(int(Letters.size()))];
    return Prefix.toByteArray() + random + checkOf(random);
}

bool isTemporaryName(QByteArrayView name)
{
    if (name.size() != Prefix.size() + RandomLength + CheckLength || !name.startsWith(Prefix))
        return false;
    const QByteArrayView random = name.sliced(Prefix.size(), RandomLength);
    for (const char c : random)
        if (!Letters.contains(c))
            return false;
    return name.sliced(Prefix.size() + RandomLength) == checkOf(random);
}

TemporaryLock lockTemporary(int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return TemporaryLock::Held;
    return errno == EWOULDBLOCK ? TemporaryLock::Busy : TemporaryLock::Unavailable;
}

void beginSweepRound()
{
    const std::lock_guard lock(roundMutex);
    sweptThisRound.clear();
}

void sweepFolderOnce(int folder)
{
    struct stat info
    {
    };
    if (::fstat(folder, &info) != 0)
        return;
    {
        const std::lock_guard lock(roundMutex);
        if (!sweptThisRound.emplace(info.st_dev, info.st_ino).second)
            return;
    }
    sweepFolder(folder);
}

int sweepFolder(int folder)
{
    Descriptor listing(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* const stream = listing.isOpen() ? ::fdopendir(listing.get()) : nullptr;
    if (!stream)
        return 0; // a folder one may write but not read keeps what it has
    [[maybe_unused]] const int owned = listing.release(); // the stream closes it
    QByteArrayList names;
    while (const dirent* item = ::readdir(stream))
        if (isTemporaryName(item->d_name))
            names.append(item->d_name);
    ::closedir(stream);
    int removed = 0;
    for (const QByteArray& name : std::as_const(names))
        removed += removeIfStale(folder, name) ? 1 : 0;
    return removed;
}
