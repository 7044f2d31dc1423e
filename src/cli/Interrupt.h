// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// SIGINT and SIGTERM ask the work to stop: the handler only raises a flag and wakes any wait for input, and the work
// looks at the flag before each file and at each checkpoint, so a file in work leaves nothing behind.
namespace Interrupt {

// Takes SIGINT and SIGTERM from here on, unless they were ignored when the program started (a background job of
// a shell that ignores them stays deaf to them).
void install();

[[nodiscard]] bool requested();

// Waits until `fd` is ready for `events` (poll's POLLIN: something to read, or its end or an error to tell; POLLOUT:
// room to write, or an error). False once an interrupt is requested, also one that came just before the wait began:
// a signal can never leave the program waiting for a process at the other end of a pipe or a terminal.
[[nodiscard]] bool waitReady(int fd, short events);

// Keeps both signals from the calling thread, so they reach the main thread and never cut a worker's system call.
void keepFromThisThread();

// Ends the program as a program ends whose reader went away: killed by SIGPIPE, as the system kills it unless the
// signal was ignored when it started (which is why it saw the write fail instead).
[[noreturn]] void endAsBrokenPipe();

} // namespace Interrupt
