#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The key text as it is combined with a file: UTF-16 code units, low byte first, no terminator.
QByteArray keyBytes(const QString& key);

// The two builds of the XOR loop, which give the same bytes: Baseline (SSE2) runs on every x86-64 CPU, Avx2 only on
// one that has AVX2, where glibc's memcpy uses it too and the loop must keep up.
enum class XorPath
{
    Baseline,
    Avx2
};
bool cpuHas(XorPath path);
XorPath fastestXorPath();

// Repeating-key XOR that remembers where in the key it stands, so a file can be fed to it in pieces of any
// size and alignment. The key is expanded once into a repeated pattern, so the hot loop XORs whole blocks
// with no modulo and no branch per byte.
class KeyStream
{
public:
    // An empty key has no byte to combine with: such a stream is not valid and apply() leaves data alone.
    explicit KeyStream(QByteArrayView key);

    bool isValid() const { return m_keyLength > 0; }

    // Index of the key byte that the next data byte meets, from 0 to the key's length less one.
    qsizetype position() const { return m_position; }
    void setPosition(qint64 offset);

    // XORs `size` bytes in place and advances the key position by `size`. The path changes the speed, never the bytes.
    void apply(char* data, qint64 size, XorPath path = fastestXorPath());

private:
    QByteArray m_pattern; // the key repeated to its own length + BlockSize bytes
    qsizetype m_keyLength = 0;
    qsizetype m_position = 0;
};
