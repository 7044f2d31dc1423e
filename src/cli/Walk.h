// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "cipher/FileError.h"
#include "cli/Options.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <sys/types.h>

// One file for the run, measured when it was found, or a path that fails before any file is opened.
struct Input
{
    QString path;
    qint64 length = 0;
    FileError error; // set: reported as this path's failure, nothing else is done with it
    dev_t device = 0; // the file's identity, when it was found
    ino_t inode = 0;
    bool standardInput = false; // the PATH "-": read as a stream, its length unknown
};

// The inputs that the options' paths name, in the order given; "-" is standard input. A folder is an error without
// `recursive`; with it, the folder is walked in name order without following symbolic links, taking every regular file
// to encrypt, or every file whose name ends in ".enc" to decrypt, except those that another file found beside them
// would write (an old output is not taken as an input) and the temporary files that runs leave. To decrypt, a file
// named whose name does not end in ".enc" fails, unless -o names its output: its output would be whatever file has its
// name minus four characters. Names that are not UTF-8 (`undecodable` holds such arguments as decoded) fail. Stops
// early, with what it has, when an interrupt is requested.
[[nodiscard]] QList<Input> collectInputs(const Options& options, const QSet<QString>& undecodable);
