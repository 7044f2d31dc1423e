// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

namespace KeyGenerator {

// A number in [0, n), every value equally likely. Plain modulo, and the scaling of QRandomGenerator::bounded(),
// favour some values by one part in 2^32 / n. The 2^32 values of a draw are whole blocks of n values and one
// incomplete block of 2^32 mod n; taking that incomplete block as the lowest values and drawing again whenever a draw
// lands in it leaves whole blocks only, each value of [0, n) once in every block.
template<typename Source> [[nodiscard]] quint32 uniformBelow(Source& source, quint32 n)
{
    const quint32 incompleteBlock = (0u - n) % n; // 2^32 mod n
    for (;;) {
        const quint32 draw = source.generate();
        if (draw >= incompleteBlock)
            return draw % n;
    }
}

// A key of the form XXXX-XXXX-XXXX-XXXX: each character a letter "A"-"Z" with probability 40/100, otherwise a
// digit "0"-"9", each letter and each digit equally likely.
template<typename Source> [[nodiscard]] QString newKey(Source& source)
{
    QString key;
    key.reserve(19);
    for (int position = 1; position <= 16; ++position) {
        const bool letter = uniformBelow(source, 100) < 40;
        key += letter ? QChar(u'A' + uniformBelow(source, 26)) : QChar(u'0' + uniformBelow(source, 10));
        if (position % 4 == 0 && position != 16)
            key += u'-';
    }
    return key;
}

} // namespace KeyGenerator
