// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Names the application, its version and maker; every window and message box shows them.
void SetUpApplication();

// Creates the main window, loads it and shows it; the event loop then runs the application.
void Main();
