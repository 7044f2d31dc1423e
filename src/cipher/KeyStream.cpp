// SPDX-License-Identifier: GPL-3.0-or-later

#include "cipher/KeyStream.h"

#include <QtGlobal>
#include <algorithm>
#include <cstring>

namespace {

// Long enough to amortise the one modulo per block, short enough that the pattern stays in the L2 cache.
constexpr qsizetype BlockSize = 32 * 1024;
constexpr qsizetype VectorWidth = 64;

// Always inlined, so each path below compiles it for its own instruction set. The inner loop's fixed trip count
// lets g++ -O2 (whose cheap vectoriser adds no runtime checks) turn it into vector code; __restrict tells it the
// pattern never overlaps the data.
[[gnu::always_inline]] inline void xorBytes(unsigned char* __restrict data, const unsigned char* __restrict pattern,
                                            qsizetype size)
{
    qsizetype j = 0;
    for (; j + VectorWidth <= size; j += VectorWidth)
        for (qsizetype k = 0; k < VectorWidth; ++k)
            data[j + k] ^= pattern[j + k];
    for (; j < size; ++j)
        data[j] ^= pattern[j];
}

// SSE2, which every x86-64 CPU has.
void xorBaseline(unsigned char* data, const unsigned char* pattern, qsizetype size)
{
    xorBytes(data, pattern, size);
}

[[gnu::target("avx2")]] void xorAvx2(unsigned char* data, const unsigned char* pattern, qsizetype size)
{
    xorBytes(data, pattern, size);
}

} // namespace

QByteArray keyBytes(const QString& key)
{
    QByteArray bytes(key.size() * 2, Qt::Uninitialized);
    for (qsizetype c = 0; c < key.size(); ++c) {
        const char16_t unit = key.at(c).unicode();
        bytes[2 * c] = static_cast<char>(unit & 0xff);
        bytes[2 * c + 1] = static_cast<char>(unit >> 8);
    }
    return bytes;
}

bool cpuHas(XorPath path)
{
    return path == XorPath::Baseline || __builtin_cpu_supports("avx2");
}

XorPath fastestXorPath()
{
    return cpuHas(XorPath::Avx2) ? XorPath::Avx2 : XorPath::Baseline;
}

KeyStream::KeyStream(QByteArrayView key)
    : m_pattern(key.toByteArray())
    , m_keyLength(key.size())
{ }

// The pattern holds `span` bytes past every start position afterwards. It doubles from its whole repeats of the
// key, each copy continuing the key where the last one ended, so it takes a few copies whatever its length.
void KeyStream::cover(qsizetype span)
{
    const qsizetype needed = m_keyLength + span;
    if (m_pattern.size() >= needed)
        return;
    qsizetype filled = m_pattern.size() - m_pattern.size() % m_keyLength;
    m_pattern.resize(needed);
    char* const pattern = m_pattern.data();
    while (filled < needed) {
        const qsizetype n = std::min(filled, needed - filled);
        std::memcpy(pattern + filled, pattern, static_cast<size_t>(n));
        filled += n;
    }
}

void KeyStream::setPosition(qint64 offset)
{
    if (isValid())
        m_position = static_cast<qsizetype>(offset % m_keyLength);
}

void KeyStream::apply(char* data, qint64 size, XorPath path)
{
    if (!isValid())
        return;
    cover(static_cast<qsizetype>(std::min<qint64>(size, BlockSize)));
    auto* bytes = reinterpret_cast<unsigned char*>(data);
    const auto* pattern = reinterpret_cast<const unsigned char*>(m_pattern.constData());
    while (size > 0) {
        const qsizetype n = static_cast<qsizetype>(std::min<qint64>(size, BlockSize));
        // The pattern holds BlockSize bytes past every start position, so one block never runs off its end.
        (path == XorPath::Avx2 ? xorAvx2 : xorBaseline)(bytes, pattern + m_position, n);
        bytes += n;
        size -= n;
        m_position = (m_position + n) % m_keyLength;
    }
}
