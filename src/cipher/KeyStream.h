// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The key text as it is combined with a file: UTF-16 code units, low byte first, no terminator.
[[nodiscard]] QByteArray keyBytes(const QString& key);

// The two builds of the XOR loop, which give the same bytes: Baseline (SSE2) runs on every x86-64 CPU, Avx2 only on
// one that has AVX2, where glibc's memcpy uses it too and the loop must keep up.
enum class XorPath
{
    Baseline,
    Avx2
};
[[nodiscard]] bool cpuHas(XorPath path);
[[nodiscard]] XorPath fastestXorPath();

// Repeating-key XOR that remembers where in the key it stands, so a file can be fed to it in pieces of any
// size and alignment. The key is expanded into a repeated pattern, so the hot loop XORs whole blocks with no
// modulo and no branch per byte. The pattern grows by doubling to the longest piece met (at most a block), so a
// small file costs a small pattern, and a stream kept for the next file with the same key builds nothing again.
class KeyStream
{
public:
    // An empty key has no byte to combine with: such a stream is not valid and apply() leaves data alone.
    explicit KeyStream(QByteArrayView key = {});

    bool isValid() const { return m_keyLength > 0; }
    // Whether this stream combines with exactly these key bytes.
    bool isFor(QByteArrayView key) const { return QByteArrayView(m_pattern).first(m_keyLength) == key; }

    // Index of the key byte that the next data byte meets, from 0 to the key's length less one.
    qsizetype position() const { return m_position; }
    void setPosition(qint64 offset);

    // XORs `size` bytes in place and advances the key position by `size`. The path changes the speed, never the bytes.
    void apply(char* data, qint64 size, XorPath path = fastestXorPath());

private:
    void cover(qsizetype span);

    QByteArray m_pattern; // the key repeated, to its own length + the longest piece so far (at most a block)
    qsizetype m_keyLength = 0;
    qsizetype m_position = 0;
};
