// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "runs/RunState.h"
#include "widgets/ModePanel.h"

class ImageList;
class QWidget;
class StatusList;

// What the run engine works on, handed to it by the window: the window (the owner of message boxes), the status
// area the two modes share, and both panels.
struct RunControls
{
    QWidget* window;
    StatusList* lvw;
    QProgressBar* proglvw;
    const ImageList& imgl;
    ModePanel& encrypt;
    ModePanel& decrypt;

    ModePanel& panel(Flag blnEncrypt) const { return blnEncrypt != False ? encrypt : decrypt; }
};

// One click of a mode's run button (the encrypt one when `blnEncrypt` is set). While a run of either mode is active the
// click is that run's cancel, and it may arrive nested inside the running click's yield; otherwise it starts a run over
// the mode's queue.
void clickRun(RunState& state, const RunControls& controls, Flag blnEncrypt);
