// SPDX-License-Identifier: GPL-3.0-or-later

#include "cipher/FolderWalk.h"

#include "cipher/Descriptor.h"
#include "cipher/FileTransform.h"
#include "cipher/Leftovers.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <utility>

namespace {

FoundFile failure(const QString& path, int error)
{
    return {path, 0, FileError::fromErrno(error), 0, 0};
}

// The folder's entries, sorted by name, each looked at without following a link. The folder is closed again before
// its subfolders are walked, so a deep tree holds no descriptor between two calls. Gives 0, or errno.
template<typename Entry> int list(const QString& folderPath, int openFlags, QList<Entry>& entries)
{
    Descriptor folder(
        ::open(QFile::encodeName(folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | openFlags));
    if (!folder.isOpen())
        return errno;
    DIR* const stream = ::fdopendir(folder.get());
    if (!stream)
        return errno;
    const int fd = folder.release(); // the stream owns it now
    errno = 0;
    while (const dirent* item = ::readdir(stream)) {
        const QByteArray name(item->d_name);
        if (name == "." || name == "..")
            continue;
        Entry entry {name, {}, 0};
        if (::fstatat(fd, item->d_name, &entry.info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) // gone since it was listed
                continue;
            entry.error = errno;
        }
        entries.append(entry);
        errno = 0;
    }
    const int error = errno;
    ::closedir(stream);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return error;
}

} // namespace

FolderWalk::FolderWalk(const QString& folder, bool encrypt)
    : m_encrypt(encrypt)
    , m_root(folder)
{ }

std::optional<FoundFile> FolderWalk::next()
{
    if (m_root) {
        if (std::optional<FoundFile> failed = enter(*std::exchange(m_root, std::nullopt), 0))
            return failed;
    }
    while (!m_levels.isEmpty()) {
        Level& level = m_levels.last();
        if (level.next == level.entries.size()) {
            m_levels.removeLast();
            continue;
        }
        const Entry& entry = level.entries.at(level.next++);
        const QString path = level.prefix + QFile::decodeName(entry.name);
        const bool folder = S_ISDIR(entry.info.st_mode);
        if (!folder && (!taken(entry) || level.outputs.contains(entry.name)))
            continue;
        if (entry.error != 0)
            return failure(path, entry.error);
        if (QFile::encodeName(path.sliced(level.prefix.size())) != entry.name)
            return failure(path, EILSEQ);
        if (!folder)
            return FoundFile {path, entry.info.st_size, {}, entry.info.st_dev, entry.info.st_ino};
        // Found as a folder in its parent: opened without following a link, should one have taken its place since.
        if (std::optional<FoundFile> failed = enter(path, O_NOFOLLOW))
            return failed;
    }
    return std::nullopt;
}

std::optional<FoundFile> FolderWalk::enter(const QString& folderPath, int openFlags)
{
    Level level;
    if (const int error = list(folderPath, openFlags, level.entries); error != 0)
        return failure(folderPath, error);
    level.prefix = folderPath.endsWith(u'/') ? folderPath : folderPath + u'/';
    level.outputs = outputsAmong(level.entries);
    m_levels.append(std::move(level));
    return std::nullopt;
}

// A regular file this run works on: any to encrypt, those named "*.enc" to decrypt, never another run's temporary
// file. An entry that could not be looked at is taken, so its failure is reported.
bool FolderWalk::taken(const Entry& entry) const
{
    if (isTemporaryName(entry.name))
        return false;
    if (entry.error != 0)
        return m_encrypt || hasEncryptedName(QFile::decodeName(entry.name));
    return S_ISREG(entry.info.st_mode) && (m_encrypt || hasEncryptedName(QFile::decodeName(entry.name)));
}

// The names in a folder that this run writes as the output of another file there. Outputs differ from their inputs
// by four characters at the end, so going from the shortest names to encrypt (the longest to decrypt) meets every
// file before its output: a file that is itself only an old output writes nothing.
QSet<QByteArray> FolderWalk::outputsAmong(const QList<Entry>& entries) const
{
    QList<QString> names;
    for (const Entry& entry : entries)
        if (entry.error == 0 && taken(entry))
            names.append(QFile::decodeName(entry.name));
    std::stable_sort(names.begin(), names.end(), [this](const QString& a, const QString& b) {
        return m_encrypt ? a.size() < b.size() : a.size() > b.size();
    });
    QSet<QByteArray> outputs;
    for (const QString& name : std::as_const(names))
        if (!outputs.contains(QFile::encodeName(name)))
            outputs.insert(QFile::encodeName(outputPath(name, m_encrypt)));
    return outputs;
}
