// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Temporary files that a run left behind. Where a file system has no unnamed files (exFAT, FAT, NFS, many FUSE
// file systems), each output is written under a temporary name until it is complete; a run killed outright, or a
// crash, leaves that file. Every run holds a lock (flock) on each temporary file it writes, from before anybody
// could take it for stale until its bytes have their final name, so a temporary file whose lock can be taken
// belongs to no live run: the next run that writes in its folder removes it.

// A name that only Zafrel gives: ".zafrel-tmp-", eight random letters and digits, and four more that are a check
// of those eight, so that no name a person would choose (".zafrel-tmp-settings") passes for one.
[[nodiscard]] QByteArray newTemporaryName();
[[nodiscard]] bool isTemporaryName(QByteArrayView name);

enum class TemporaryLock
{
    Held, // ours now
    Busy, // another open file holds it: a live run, or a sweep about to remove the file
    Unavailable, // the file system takes no locks; nobody can ever take the file for stale
};

// Tries once for `fd`'s exclusive lock, without waiting.
[[nodiscard]] TemporaryLock lockTemporary(int fd);

// A run begins, in either face: each folder is swept again at the run's first output there.
void beginSweepRound();
// Before a temporary file is made in `folder` (a descriptor of it, O_PATH will do): sweeps the folder once a round.
void sweepFolderOnce(int folder);
// Removes from `folder` the files of a temporary name that are regular files of this user, of one link, and that
// no live run holds; nothing is ever followed through a link. Reads the folder once. Returns how many went.
int sweepFolder(int folder);
