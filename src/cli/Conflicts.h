// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "cli/Inputs.h"

// Inputs of one run that would harm each other, whichever ends first: two that write the same output (the later
// would replace the earlier's), or one whose output is another input (read while it is replaced). Each of them
// fails, naming the other, before any file is written. Outputs are found as the transform finds them, through
// links; an output that is its own input is left to the transform, which refuses it, and so is the one output that
// -o names for its one input.
void refuseConflicts(QList<Input>& inputs, const Options& options);
