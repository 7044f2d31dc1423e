// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "cli/Options.h"

#include <QString>

struct KeyOutcome
{
    QString key;
    QString problem; // set: no key, and why
    bool interrupted = false; // a signal came while the key was awaited
};

// The key from the source the options name, or a new one drawn as the window's Auto button draws it. Never empty:
// an empty key is a problem, as in the window.
[[nodiscard]] KeyOutcome obtainKey(const Options& options);
