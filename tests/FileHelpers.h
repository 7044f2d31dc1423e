// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Files on disk for the tests, and the plain reference the cipher is compared with.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTest>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

// Output byte n = input byte n XOR byte n of the key's UTF-16LE form, repeated: written out plainly here, never
// through the kernel under test.
inline QByteArray reference(QByteArray data, const QString& key)
{
    for (qsizetype n = 0; n < data.size(); ++n) {
        const char16_t unit = key.at((n / 2) % key.size()).unicode();
        data[n] = static_cast<char>(data.at(n) ^ (n % 2 == 0 ? unit & 0xff : unit >> 8));
    }
    return data;
}

// Bytes that look random but are the same in every run of the test: `seed` picks the sequence.
inline QByteArray testBytes(qsizetype size, int seed = 0)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = 2654435761u * quint32(seed + 1);
    for (qsizetype n = 0; n < size; ++n) {
        state = state * 1664525u + 1013904223u;
        bytes[n] = char(state >> 24);
    }
    return bytes;
}

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Also usable where no test macro may run (in a child process).
inline bool putFile(const QString& path, const QByteArray& bytes, mode_t mode = 0644)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

inline void writeFile(const QString& path, const QByteArray& bytes, mode_t mode = 0644)
{
    QVERIFY2(putFile(path, bytes, mode), qPrintable(path));
}

// Everything in a folder, hidden files included: a temporary file left behind shows up here.
inline QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// In a child process that the tests started as root: becomes `uid` of group `gid` and of no other group.
inline bool becomeUser(uid_t uid, gid_t gid)
{
    return ::setgroups(0, nullptr) == 0 && ::setgid(gid) == 0 && ::setuid(uid) == 0;
}
