// SPDX-License-Identifier: GPL-3.0-or-later

#include "cipher/Progress.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>

namespace {

// Files this long or shorter are never interrupted.
constexpr qint64 LongestUncheckedFile = 1001;
constexpr qint64 CheckpointsPerFile = 1000;

} // namespace

qint64 roundedQuotient(qint64 numerator, qint64 denominator)
{
    qint64 quotient = numerator / denominator;
    const qint64 twiceRest = 2 * (numerator % denominator);
    if (twiceRest > denominator || (twiceRest == denominator && quotient % 2 != 0))
        ++quotient;
    return quotient;
}

qint64 checkpointStep(qint64 length)
{
    if (length <= LongestUncheckedFile)
        return 0;
    return std::max<qint64>(roundedQuotient(length - 1, CheckpointsPerFile), 1);
}

qint16 wholePercent(qint64 part, qint64 whole)
{
    return whole > 0 ? static_cast<qint16>(roundedQuotient(part * 100, whole)) : 0;
}

qint64 checkpointCount(qint64 length)
{
    const qint64 step = checkpointStep(length);
    return step == 0 ? 0 : (length - 1) / step + 1;
}

float rowPercent(qint64 i, qint64 length)
{
    if (length < 2)
        return 0.0f;
    return static_cast<float>(static_cast<double>(i) / static_cast<double>(length - 1) * 100.0);
}

int shownPercent(float percent)
{
    if (!(percent >= 0.0f))
        return 0;
    return percent >= 100.0f ? 100 : static_cast<int>(percent);
}

OverallPercent overallPercent(qint64 i, qint64 length, qint64 fileBytes, qint64 totalBytes, qint16 progressBase)
{
    // The totals can be cleared while a run yields; that must end the file, not divide by zero.
    if (totalBytes == 0 || length < 2)
        return {0, FileError::fromErrno(EDOM)};
    const double v = ((static_cast<double>(i) / static_cast<double>(length - 1))
                      * (static_cast<double>(fileBytes) / static_cast<double>(totalBytes)))
            * 100.0
        + static_cast<double>(progressBase);
    if (!std::isfinite(v))
        return {0, FileError::fromErrno(EDOM)};
    // nearbyint in the default rounding mode sends exact halves to the even neighbour.
    const double rounded = std::nearbyint(v);
    if (rounded < std::numeric_limits<qint16>::min() || rounded > std::numeric_limits<qint16>::max())
        return {0, FileError::fromErrno(ERANGE)};
    return {static_cast<qint16>(rounded), {}};
}
