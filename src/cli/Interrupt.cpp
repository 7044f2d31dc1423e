// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/Interrupt.h"

#include <atomic>
#include <csignal>
#include <pthread.h>

namespace {

// A lock-free atomic is safe to store from a signal handler.
std::atomic<bool> g_requested {false};
static_assert(std::atomic<bool>::is_always_lock_free);

void onSignal(int)
{
    g_requested.store(true, std::memory_order_relaxed);
}

constexpr int Signals[] = {SIGINT, SIGTERM};

} // namespace

void Interrupt::install()
{
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait for the key at the terminal must end when the user gives up.
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

void Interrupt::keepFromThisThread()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : Signals)
        sigaddset(&set, signal);
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}
