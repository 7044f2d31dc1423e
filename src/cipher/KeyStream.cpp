#include "cipher/KeyStream.h"

#include <QtGlobal>
#include <algorithm>

namespace {

// Long enough to amortise the one modulo per block, short enough that the pattern stays in the L2 cache.
constexpr qsizetype BlockSize = 32 * 1024;
constexpr qsizetype VectorWidth = 64;

// A fixed trip count lets g++ -O2 (whose cheap vectoriser needs no runtime checks) turn this into SSE2 code on
// the baseline x86-64; __restrict tells it the pattern never overlaps the data.
inline void xorVectorBlock(unsigned char* __restrict data, const unsigned char* __restrict pattern)
{
    for (qsizetype j = 0; j < VectorWidth; ++j)
        data[j] ^= pattern[j];
}

void xorBytes(unsigned char* __restrict data, const unsigned char* __restrict pattern, qsizetype size)
{
    qsizetype j = 0;
    for (; j + VectorWidth <= size; j += VectorWidth)
        xorVectorBlock(data + j, pattern + j);
    for (; j < size; ++j)
        data[j] ^= pattern[j];
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

KeyStream::KeyStream(QByteArrayView key)
    : m_keyLength(key.size())
{
    if (key.isEmpty())
        return;
    const qsizetype patternLength = m_keyLength + BlockSize;
    m_pattern.reserve(patternLength);
    while (m_pattern.size() < patternLength)
        m_pattern.append(key.first(std::min(m_keyLength, patternLength - m_pattern.size())));
}

void KeyStream::setPosition(qint64 offset)
{
    if (isValid())
        m_position = static_cast<qsizetype>(offset % m_keyLength);
}

void KeyStream::apply(char* data, qint64 size)
{
    if (!isValid())
        return;
    auto* bytes = reinterpret_cast<unsigned char*>(data);
    const auto* pattern = reinterpret_cast<const unsigned char*>(m_pattern.constData());
    while (size > 0) {
        const qsizetype n = static_cast<qsizetype>(std::min<qint64>(size, BlockSize));
        // The pattern holds BlockSize bytes past every start position, so one block never runs off its end.
        xorBytes(bytes, pattern + m_position, n);
        bytes += n;
        size -= n;
        m_position = (m_position + n) % m_keyLength;
    }
}
