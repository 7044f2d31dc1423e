// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// zafrel-cli from its arguments to its exit status: 0 when every file was written (or skipped by -n), 1 when any
// failed, 2 when the arguments or the key were refused, 130 after an interrupt. The process is hardened and takes
// its signals first of all (Hardening.h, Interrupt.h).
[[nodiscard]] int runCommandLine(int argc, char** argv);
