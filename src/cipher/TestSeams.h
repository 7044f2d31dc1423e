// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <functional>

// Where the tests step into the cipher core, to provoke what no test could bring about from outside: a file system
// without unnamed files, another run at the worst moment, a disk that cannot write the bytes back. Only the core's
// own sources and the tests include this header (scripts/check-rooms refuses it elsewhere). Each setting holds for
// the whole process until it is set back; without one the core does what it always does.
namespace TestSeams {

// Whether outputs may be written as unnamed files where the file system has them (the default). Off, every output
// takes the named temporary file that other file systems need.
void setUnnamedFilesAllowed(bool allowed);
[[nodiscard]] bool unnamedFilesAllowed();

// The moments where another run, or another program, can slip in.
enum class RaceMoment
{
    WriterCreated, // a writer has created its named file but not yet locked it
    WriterClosed, // a writer has closed its named file but not yet renamed it
    SweepLocked, // a sweep has locked a file but not yet looked at its name again
    Committing, // an output's bytes are synced and about to get its name (`name`): the last look is over
};
using RaceHook = std::function<void(RaceMoment moment, int folder, const QByteArray& name)>;
void setRaceHook(RaceHook hook);
// Called by the core at each moment; the hook, if one is set, acts there.
void reachRace(RaceMoment moment, int folder, const QByteArray& name);

// The error number that syncing an output's bytes fails with from now on, as on a disk that cannot take them (EIO);
// 0, the default, syncs them.
void setSyncFailure(int error);
// Syncs the bytes of `fd` (fsync); 0, or the error number.
[[nodiscard]] int syncBytes(int fd);

} // namespace TestSeams
