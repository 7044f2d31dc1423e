// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// SIGINT and SIGTERM ask the work to stop: the handler only raises a flag and wakes any wait for input, and the work
// looks at the flag before each file and at each checkpoint, so a file in work leaves nothing behind.
namespace Interrupt {

// Takes SIGINT and SIGTERM from here on, unless they were ignored when the program started (a background job of
// a shell that ignores them stays deaf to them).
void install();

[[nodiscard]] bool requested();

// Waits until `fd` has something to read, or its end or an error to tell. False once an interrupt is requested,
// also one that came just before the wait began: a signal can never leave the program waiting for input.
[[nodiscard]] bool waitReadable(int fd);

// Keeps both signals from the calling thread, so they reach the main thread and never cut a worker's system call.
void keepFromThisThread();

} // namespace Interrupt
