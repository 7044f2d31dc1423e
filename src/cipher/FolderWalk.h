// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "cipher/FileError.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>
#include <sys/stat.h>

// A file found for a run: measured when it was found, or a path that fails before any file is opened (a folder that
// cannot be read, an entry that cannot be looked at, a name that is no text).
struct FoundFile
{
    QString path;
    qint64 length = 0;
    FileError error; // set: this path's failure, and nothing else is done with it
    dev_t device = 0; // the file's identity, when it was found
    ino_t inode = 0;
};

// The files that a run of one mode takes from a folder and its subfolders, found one at a time: the caller may stop
// at any point, or do other work between two files, and a tree costs the memory of the folders on the way to the
// file in work, never of the whole tree.
// - Folders are walked in name order (byte order), each before the next entry of its parent.
// - Symbolic links met on the way are never followed, to folders or to files; anything but a regular file or a
//   folder is passed over.
// - Encrypting takes every regular file, decrypting those whose names end in ".enc"; never a temporary file that a run
//   left (Leftovers.h), nor a file that another file taken in the same folder writes: an old output beside its input
//   is this run's output, not an input of its own.
class FolderWalk
{
public:
    // `folder` is taken as it is named, through a link too.
    FolderWalk(const QString& folder, bool encrypt);

    // The next file, or nothing once the walk is over.
    [[nodiscard]] std::optional<FoundFile> next();

private:
    struct Entry
    {
        QByteArray name;
        struct stat info
        {
        };
        int error = 0; // the entry could not be looked at
    };
    // A folder on the way: its entries, sorted by name, and how far the walk is through them.
    struct Level
    {
        QString prefix; // the folder's path, ending in '/'
        QList<Entry> entries;
        QSet<QByteArray> outputs; // names this run writes as the outputs of other entries
        qsizetype next = 0;
    };

    [[nodiscard]] std::optional<FoundFile> enter(const QString& folderPath, int openFlags);
    [[nodiscard]] bool taken(const Entry& entry) const;
    [[nodiscard]] QSet<QByteArray> outputsAmong(const QList<Entry>& entries) const;

    bool m_encrypt;
    std::optional<QString> m_root; // until the first call
    QList<Level> m_levels;
};
