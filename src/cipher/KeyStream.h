#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The key text as it is combined with a file: UTF-16 code units, low byte first, no terminator.
QByteArray keyBytes(const QString& key);

// Repeating-key XOR that remembers where in the key it stands, so a file can be fed to it in pieces of any
// size and alignment. The key is expanded once into a repeated pattern, so the hot loop XORs whole blocks
// with no modulo and no branch per byte.
class KeyStream
{
public:
    // An empty key has no byte to combine with: such a stream is not valid and apply() leaves data alone.
    explicit KeyStream(QByteArrayView key);

    bool isValid() const { return m_keyLength > 0; }

    qsizetype keyLength() const { return m_keyLength; }

    // Index of the key byte that the next data byte meets, 0 to keyLength() - 1.
    qsizetype position() const { return m_position; }
    void setPosition(qint64 offset);

    // XORs `size` bytes in place and advances the key position by `size`.
    void apply(char* data, qint64 size);

private:
    QByteArray m_pattern; // the key repeated to keyLength() + blockSize bytes
    qsizetype m_keyLength = 0;
    qsizetype m_position = 0;
};
