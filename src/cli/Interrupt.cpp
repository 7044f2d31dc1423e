// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/Interrupt.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace {

// A lock-free atomic is safe to store from a signal handler.
std::atomic<bool> g_requested {false};
static_assert(std::atomic<bool>::is_always_lock_free);

// The handler writes a byte here, so that a wait for input sees the signal even when it came just before the wait
// began, between looking at the flag and blocking (the pipe is never emptied).
int g_wakeUp[2] = {-1, -1};

void onSignal(int)
{
    const int saved = errno;
    g_requested.store(true, std::memory_order_relaxed);
    if (g_wakeUp[1] >= 0) {
        // A pipe full already wakes the wait as well.
        [[maybe_unused]] const ssize_t written = ::write(g_wakeUp[1], "", 1);
    }
    errno = saved;
}

constexpr int Signals[] = {SIGINT, SIGTERM};

} // namespace

void Interrupt::install()
{
    if (::pipe2(g_wakeUp, O_CLOEXEC | O_NONBLOCK) != 0)
        g_wakeUp[0] = g_wakeUp[1] = -1;
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a write to a terminal held by Ctrl-S must end when the user gives up.
    action.sa_flags = 0;
    for (const int signal : Signals) {
        struct sigaction previous
        {
        };
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            ::sigaction(signal, &action, nullptr);
    }
}

bool Interrupt::requested()
{
    return g_requested.load(std::memory_order_relaxed);
}

bool Interrupt::waitReady(int fd, short events)
{
    // A negative descriptor (no pipe) is left out by poll().
    pollfd watched[] = {{fd, events, 0}, {g_wakeUp[0], POLLIN, 0}};
    while (!requested()) {
        const int ready = ::poll(watched, 2, -1);
        if (requested())
            break;
        // Ready, or a descriptor poll cannot watch: the read that follows says what it is.
        if (ready > 0 || (ready < 0 && errno != EINTR && errno != EAGAIN))
            return true;
    }
    return false;
}

void Interrupt::keepFromThisThread()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : Signals)
        sigaddset(&set, signal);
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void Interrupt::endAsBrokenPipe()
{
    ::signal(SIGPIPE, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(SIGPIPE);
    ::_exit(128 + SIGPIPE); // never reached: SIGPIPE is neither ignored nor blocked now
}
