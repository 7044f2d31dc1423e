// SPDX-License-Identifier: GPL-3.0-or-later

#include "cipher/TestSeams.h"

#include <atomic>
#include <cerrno>
#include <unistd.h>
#include <utility>

namespace {

std::atomic<bool> unnamedAllowed {true};
std::atomic<int> syncFailure {0};
// Set only while no transform runs: a test sets it before and takes it back after.
TestSeams::RaceHook raceHook;

} // namespace

void TestSeams::setUnnamedFilesAllowed(bool allowed)
{
    unnamedAllowed = allowed;
}

bool TestSeams::unnamedFilesAllowed()
{
    return unnamedAllowed;
}

void TestSeams::setRaceHook(RaceHook hook)
{
    raceHook = std::move(hook);
}

void TestSeams::reachRace(RaceMoment moment, int folder, const QByteArray& name)
{
    if (raceHook)
        raceHook(moment, folder, name);
}

void TestSeams::setSyncFailure(int error)
{
    syncFailure = error;
}

int TestSeams::syncBytes(int fd)
{
    if (const int error = syncFailure; error != 0)
        return error;
    return ::fsync(fd) == 0 ? 0 : errno;
}
