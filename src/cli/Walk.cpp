// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/Walk.h"

#include "cipher/Descriptor.h"
#include "cipher/FileTransform.h"
#include "cipher/Leftovers.h"
#include "cli/Interrupt.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

struct Entry
{
    QByteArray name;
    struct stat info
    {
    };
    int error = 0; // the entry could not be looked at
};

class Walk
{
public:
    Walk(bool encrypt, QList<Input>& inputs)
        : m_encrypt(encrypt)
        , m_inputs(inputs)
    { }

    // `folder` was found as a folder in its parent: opened without following a link, should one have taken its
    // place since.
    void walk(const QString& folderPath, int openFlags)
    {
        QList<Entry> entries;
        if (const int error = list(folderPath, openFlags, entries); error != 0) {
            fail(folderPath, error);
            return;
        }
        const QString prefix = folderPath.endsWith(u'/') ? folderPath : folderPath + u'/';
        const QSet<QByteArray> outputs = outputsAmong(entries);
        for (const Entry& entry : std::as_const(entries)) {
            if (Interrupt::requested())
                return;
            const QString path = prefix + QFile::decodeName(entry.name);
            const bool folder = S_ISDIR(entry.info.st_mode);
            if (!folder && (!taken(entry) || outputs.contains(entry.name)))
                continue;
            if (entry.error != 0)
                fail(path, entry.error);
            else if (QFile::encodeName(path.sliced(prefix.size())) != entry.name)
                fail(path, EILSEQ);
            else if (folder)
                walk(path, O_NOFOLLOW);
            else
                m_inputs.append({path, entry.info.st_size, {}, entry.info.st_dev, entry.info.st_ino});
        }
    }

    void fail(const QString& path, int error) { fail(path, FileError::fromErrno(error)); }
    void fail(const QString& path, const FileError& error) { m_inputs.append({path, 0, error, 0, 0}); }

private:
    // The folder's entries, sorted by name, each looked at without following a link. The folder is closed again
    // before its subfolders are walked, so a deep tree holds one descriptor at a time.
    static int list(const QString& folderPath, int openFlags, QList<Entry>& entries)
    {
        Descriptor folder(::open(QFile::encodeName(folderPath).constData(),
                                 O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY | openFlags));
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

    // A regular file this run works on: any to encrypt, those named "*.enc" to decrypt, never another run's
    // temporary file. An entry that could not be looked at is taken, so its failure is reported.
    bool taken(const Entry& entry) const
    {
        if (isTemporaryName(entry.name))
            return false;
        if (entry.error != 0)
            return m_encrypt || entry.name.endsWith(".enc");
        return S_ISREG(entry.info.st_mode) && (m_encrypt || entry.name.endsWith(".enc"));
    }

    // The names in a folder that this run writes as the output of another file there. Outputs differ from their
    // inputs by four characters at the end, so going from the shortest names to encrypt (the longest to decrypt)
    // meets every file before its output: a file that is itself only an old output writes nothing.
    QSet<QByteArray> outputsAmong(const QList<Entry>& entries) const
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

    bool m_encrypt;
    QList<Input>& m_inputs;
};

} // namespace

QList<Input> collectInputs(const Options& options, const QSet<QString>& undecodable)
{
    QList<Input> inputs;
    Walk walk(options.encrypt, inputs);
    for (const QString& path : options.paths) {
        if (Interrupt::requested())
            break;
        struct stat info
        {
        };
        // A path named on the command line is taken as the user named it, through a link too.
        if (path == StandardStream)
            inputs.append({path, 0, {}, 0, 0, true});
        else if (undecodable.contains(path))
            walk.fail(path, EILSEQ);
        else if (::stat(QFile::encodeName(path).constData(), &info) != 0)
            walk.fail(path, errno);
        else if (!S_ISDIR(info.st_mode) && !options.encrypt && options.output.isEmpty() && !hasEncryptedName(path))
            walk.fail(path, {EINVAL, u"not a .enc file; left alone"_s});
        else if (!S_ISDIR(info.st_mode))
            inputs.append({path, info.st_size, {}, info.st_dev, info.st_ino});
        else if (options.recursive)
            walk.walk(path, 0);
        else
            walk.fail(path, EISDIR);
    }
    return inputs;
}
