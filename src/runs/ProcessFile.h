// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "runs/Run.h"

#include <QString>

class FramePacer;
struct FileError;

// A run's message for a failure, with an OK button and no icon: its own words, then the error's number and its
// description on lines of their own.
void reportError(QWidget* owner, const QString& lead, const FileError& error);

// The row bar back at 0 and out of sight: where a file is cancelled, and where a run fails.
void resetRowBar(QProgressBar* proglvw);

// Transforms one file of a run into its output, showing its progress in the row `state.itmCurrent` and on the mode's
// bars, brought on screen through `frames`, and yielding at its checkpoints. True once the output is written whole;
// false for a file too small, a cancel or a failure (which it reports). `measuredLength` is the length the run's size
// pass found: a file that no longer has it fails.
[[nodiscard]] bool ProcessFile(RunState& state, const RunControls& controls, FramePacer& frames, const QString& strPath,
                               Flag blnEncrypt, qint64 measuredLength);
