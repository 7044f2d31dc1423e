// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>

struct CommandLine;

// Names the application, its version and maker; every window and message box shows them.
void SetUpApplication();

// A start with files first offers them to the window already open for this user and display. When that window
// answers, this start is over: the result is the exit status. A refusal and the names that are neither files nor
// folders are said on standard error and in a message box of this start's own; the window names what its walk of a
// folder leaves out. Nothing when no window answers, or there are no files.
[[nodiscard]] std::optional<int> handOver(const CommandLine& line);

// Creates the main window, loads it and shows it; the event loop then runs the application. The command line's
// mode is selected and its files and folders queued (a large folder while the window shows); what is left out is
// named in a message once the window shows. The window then takes the files of later starts, unless another window
// does so already.
void Main(const CommandLine& line);
