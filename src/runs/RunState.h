// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "cipher/KeyStream.h"
#include "widgets/Flag.h"

#include <QPersistentModelIndex>

struct ModeDesign;

// The state that the runs of both modes share: one set for the window.
struct RunState
{
    Flag blnRunning = False;
    Flag blnCancel = False;
    QPersistentModelIndex itmCurrent;
    qint64 lngTotalBytes = 0;
    qint64 lngFileBytes = 0;
    qint16 intProgressBase = 0;

    // Set once the window is closed: a run still in a yield writes nothing more and nothing new starts.
    bool closed = false;
    // The mode of the active run (valid while blnRunning is set).
    const ModeDesign* runningMode = nullptr;
    // Run clicks on the stack (a cancelled run winds down inside a yield), and a start clicked meanwhile.
    int runsInProgress = 0;
    const ModeDesign* pendingStart = nullptr;
    // The key of the last file, expanded: the next file reuses it while the key box holds the same key.
    KeyStream keys;
};
