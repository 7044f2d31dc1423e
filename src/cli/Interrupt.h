// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// SIGINT and SIGTERM ask the work to stop: the handler only raises a flag, and the work looks at it before each
// file and at each checkpoint, so a file in work leaves nothing behind.
namespace Interrupt {

// Takes SIGINT and SIGTERM from here on, unless they were ignored when the program started (a background job of
// a shell that ignores them stays deaf to them). A blocking read of the main thread then fails with EINTR.
void install();

[[nodiscard]] bool requested();

// Keeps both signals from the calling thread, so they reach the main thread and never cut a worker's system call.
void keepFromThisThread();

} // namespace Interrupt
