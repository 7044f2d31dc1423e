// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "cipher/FileError.h"

#include <QByteArrayView>
#include <QString>
#include <functional>
#include <sys/stat.h>

class KeyStream;

// The output of a file: encrypting appends ".enc"; decrypting removes the last four characters, whatever
// they are. A name (the part after the last '/') of four characters or fewer has no decrypted name in its own
// folder: the result is empty.
QString outputPath(const QString& inputPath, bool encrypt);

enum class TransformOutcome
{
    Written, // the output holds every byte and has replaced any old file of its name
    Stopped, // the observer said stop at a checkpoint; nothing was written
    Failed, // `error` says why; nothing was written
    NoKey, // the key was empty; nothing was opened or written
};

struct TransformResult
{
    TransformOutcome outcome = TransformOutcome::Failed;
    FileError error;
};

struct TransformObserver
{
    // At each checkpoint, after byte i of `length` is combined: true goes on, false stops and discards.
    std::function<bool(qint64 i, qint64 length)> onCheckpoint;
    // Once every byte is combined, just before the output is synced and committed (no checkpoint follows).
    std::function<void()> onFinishing;
};

// One file streamed through the repeating-key XOR into an output that is replaced atomically: the bytes go
// to a temporary file of a short name beside the output, which gets its permission bits before any byte is
// written and is renamed over the output only once complete and synced. A symbolic link at the output name is
// followed, as a plain open would; an output that is the input itself is refused. The input is only ever read,
// and one that changes while it is read fails.
class FileTransform
{
public:
    static constexpr qint64 DefaultChunkSize = 4 * 1024 * 1024;

    explicit FileTransform(const QString& inputPath);
    ~FileTransform();
    FileTransform(const FileTransform&) = delete;
    FileTransform& operator=(const FileTransform&) = delete;

    // Opens the input read-only and takes its length; call it once. A path that names no file fails (ENOENT);
    // nothing is created.
    FileError open();
    qint64 length() const { return m_opened.st_size; }

    // Small chunks let tests cross chunk boundaries with small files.
    void setChunkSize(qint64 bytes) { m_chunkSize = bytes > 0 ? bytes : DefaultChunkSize; }

    // Combines the whole input with `key` (the key bytes, see keyBytes()) into `outputPath`. Call open() first.
    TransformResult writeTo(const QString& outputPath, QByteArrayView key, const TransformObserver& observer = {});
    // The same with a stream of the key, from its first byte; the stream can be kept for the next file.
    TransformResult writeTo(const QString& outputPath, KeyStream& keys, const TransformObserver& observer = {});

private:
    QString m_inputPath;
    int m_fd = -1;
    struct stat m_opened
    {
    }; // the input as it was when opened
    qint64 m_chunkSize = DefaultChunkSize;
};

// open() and writeTo() in one call.
TransformResult transformFile(const QString& inputPath, const QString& outputPath, QByteArrayView key,
                              const TransformObserver& observer = {},
                              qint64 chunkSize = FileTransform::DefaultChunkSize);
