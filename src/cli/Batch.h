// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "cli/Inputs.h"
#include "cli/Options.h"

#include <QByteArray>
#include <QList>

// Transforms every input with the key bytes as the options say, `jobs` files at a time, each on its own: one file's
// failure never stops another. Failures go to standard error, in the order of `inputs` whatever order the files end in.
// On an interrupt, files in work stop at their next checkpoint and leave nothing, and no further file starts. True when
// every file was written or skipped, and listed when that was asked for. A reader of standard output that went away
// ends the program at once (Interrupt::endAsBrokenPipe), as it ends any program in a pipe. With `progress`, a status
// line on standard error (a terminal) shows how far the batch is.
[[nodiscard]] bool runBatch(const QList<Input>& inputs, const QByteArray& key, const Options& options, bool progress);
