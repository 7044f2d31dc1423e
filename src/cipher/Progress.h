// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "cipher/FileError.h"

#include <QtGlobal>

// numerator / denominator rounded to the nearest whole number, an exact half going to the even neighbour; exact,
// in integers. Both are at least 0 and the denominator is not 0.
[[nodiscard]] qint64 roundedQuotient(qint64 numerator, qint64 denominator);

// Where a file of `length` bytes stops to show progress and yield: every byte i with i % step == 0, after that
// byte is combined. Files of up to 1001 bytes have no checkpoint (0 is returned); otherwise
// step = (length - 1) / 1000 rounded half to even, at least 1.
[[nodiscard]] qint64 checkpointStep(qint64 length);

// How many checkpoints a file of `length` bytes has (0 when it has none).
[[nodiscard]] qint64 checkpointCount(qint64 length);

// The whole-number percent of `whole` that `part` makes, a half going to the even neighbour; 0 of nothing.
[[nodiscard]] qint16 wholePercent(qint64 part, qint64 whole);

// The row bar at checkpoint i of a file of `length` bytes: i / (length - 1) * 100, kept in single precision.
[[nodiscard]] float rowPercent(qint64 i, qint64 length);

// The whole-number value a bar shows for a percentage (the part before the point).
[[nodiscard]] int shownPercent(float percent);

// The overall percentage at checkpoint i:
// ((i / (length - 1)) * (fileBytes / totalBytes)) * 100 + progressBase, in double precision, rounded half to
// even. A total of 0, or a result that is not finite or does not fit 16 bits, is an error (EDOM or ERANGE).
struct OverallPercent
{
    qint16 value = 0;
    FileError error;

    // What the overall bar shows: the value, at most 100.
    int shown() const { return qBound(0, static_cast<int>(value), 100); }
};
[[nodiscard]] OverallPercent overallPercent(qint64 i, qint64 length, qint64 fileBytes, qint64 totalBytes,
                                            qint16 progressBase);
