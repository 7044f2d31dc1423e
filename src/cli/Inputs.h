// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "cipher/FolderWalk.h"
#include "cli/Options.h"

#include <QList>
#include <QSet>
#include <QString>

// One file for the run, measured when it was found, or a path that fails before any file is opened.
struct Input : FoundFile
{
    bool standardInput = false; // the PATH "-": read as a stream, its length unknown
};

// The inputs that the options' paths name, in the order given; "-" is standard input. A path named is taken as it
// is named, through a link too. A folder is an error without `recursive`; with it, it is walked (FolderWalk). To
// decrypt, a file named whose name does not end in ".enc" fails, unless -o names its output: its output would be
// whatever file has its name minus four characters. Names that are not UTF-8 (`undecodable` holds such arguments as
// decoded) fail. Stops early, with what it has, when an interrupt is requested.
[[nodiscard]] QList<Input> collectInputs(const Options& options, const QSet<QString>& undecodable);
