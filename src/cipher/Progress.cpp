#include "cipher/Progress.h"

#include <cerrno>
#include <cmath>
#include <limits>

namespace {

// Files this long or shorter are never interrupted.
constexpr qint64 LongestUncheckedFile = 1001;
constexpr qint64 CheckpointsPerFile = 1000;

} // namespace

qint64 checkpointStep(qint64 length)
{
    if (length <= LongestUncheckedFile)
        return 0;
    const qint64 span = length - 1;
    qint64 step = span / CheckpointsPerFile;
    const qint64 rest = span % CheckpointsPerFile;
    // Integer rounding: exact halves go to the even neighbour without any floating-point doubt.
    if (rest * 2 > CheckpointsPerFile || (rest * 2 == CheckpointsPerFile && step % 2 != 0))
        ++step;
    return std::max<qint64>(step, 1);
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
