// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "cipher/Descriptor.h"
#include "cipher/FileError.h"

#include <QByteArrayView>
#include <QString>
#include <functional>
#include <sys/stat.h>

class KeyStream;

// The output of a file: encrypting appends ".enc"; decrypting removes the last four characters, whatever they
// are, counted in code points so that no character is ever cut in two. A name (the part after the last '/') of
// four characters or fewer has no decrypted name in its own folder: the result is empty.
[[nodiscard]] QString outputPath(const QString& inputPath, bool encrypt);

// The names decrypting is meant for: those that end in ".enc", as encrypting names its outputs.
[[nodiscard]] bool hasEncryptedName(const QString& path);

// A file of 0 or 1 byte is reported "too small" and never transformed.
[[nodiscard]] constexpr bool tooSmallToTransform(qint64 length)
{
    return length < 2;
}

enum class TransformOutcome
{
    Written, // the output holds every byte and has replaced any old file of its name
    Kept, // a file of the output's name exists and was to be kept (ExistingOutput::Keep); nothing was written
    Stopped, // the observer said stop, at a checkpoint or in a wait; nothing was written
    Failed, // `error` says why; nothing was written
    NoKey, // the key was empty; nothing was opened or written
    TooSmall, // a stream ended before its second byte (a file's length is looked at before); nothing was written
};

// What becomes of a file that already has the output's name.
enum class ExistingOutput
{
    Replace, // as the window does: this user must be allowed to write it
    Keep, // whoever may write it; decided again at the commit, so a file that appears meanwhile is kept too
};

struct TransformResult
{
    TransformOutcome outcome = TransformOutcome::Failed;
    FileError error;
};

// Waits until descriptor `fd` is ready for `events` (poll's POLLIN or POLLOUT); false says stop.
using WaitHook = std::function<bool(int fd, short events)>;

struct TransformObserver
{
    // At each checkpoint, after byte i of `length` is combined: true goes on, false stops and discards.
    std::function<bool(qint64 i, qint64 length)> onCheckpoint;
    // Once every byte is combined, just before the output is synced and committed (no checkpoint follows).
    std::function<void()> onFinishing;
    // Before each read of a stream and each write to a descriptor that may wait for the process at the other end
    // (a pipe, a terminal; never a regular file): returns once `fd` is ready for `events` (poll's POLLIN or
    // POLLOUT), or false to stop. Without it the read or write waits as long as it takes.
    WaitHook onWait = {};
};

// One file streamed through the repeating-key XOR into an output that appears whole or not at all.
//
// The output's folder is found once and held open, so a folder moved meanwhile takes the output with it. The
// bytes go to an unnamed file in that folder, readable by its owner only, which gets a name only once it is
// complete and synced: a crash, a signal or a kill leaves nothing behind. (Where the file system has no unnamed
// files, a named temporary file of a short name stands in, removed on every way out but a kill; what a kill leaves,
// the next run that writes in the folder removes: Leftovers.h.) Only then does
// it get its access: the input's group and ACL, narrowed so that nobody may read it who could not read the input,
// nor the file it replaces.
//
// A symbolic link at the output name is followed as the kernel follows it for a plain program, and in a sticky
// world-writable folder only when the link belongs to the user or to the folder's owner. An output that is the
// input itself, or is no regular file, is refused. The input is only ever read, and one that changes while it is
// read (size, modification or change time) fails.
//
// A stream (standard input, a pipe) is read from where it stands to its end, as it comes, in fixed memory; its
// first two bytes decide before anything is written whether it is too small. It has no checkpoints, and its output
// file is readable by its owner only: nobody can tell who else could read what came through it.
class FileTransform
{
public:
    static constexpr qint64 DefaultChunkSize = 4 * 1024 * 1024;
    // A stream comes in pieces of a pipe's size, rarely more: a buffer that the processor's cache holds keeps the
    // bytes there between the read, the XOR and the write (4 MiB made `encrypt -` a third slower than `cat`).
    static constexpr qint64 StreamChunkSize = 1024 * 1024;

    explicit FileTransform(const QString& inputPath = {});
    ~FileTransform();
    FileTransform(const FileTransform&) = delete;
    FileTransform& operator=(const FileTransform&) = delete;

    // Opens the input read-only and takes its length; call it once. A path that names no file fails (ENOENT);
    // nothing is created.
    [[nodiscard]] FileError open();
    // Takes a stream open for reading instead (the descriptor is duplicated, `fd` stays the caller's); call either
    // this or open(), once.
    [[nodiscard]] FileError openStream(int fd);
    // The length of a file opened by open().
    [[nodiscard]] qint64 length() const { return m_opened.st_size; }

    // Small chunks let tests cross chunk boundaries with small files.
    void setChunkSize(qint64 bytes) { m_chunkSize = bytes > 0 ? bytes : DefaultChunkSize; }

    // Combines the whole input with `key` (the key bytes, see keyBytes()) into `outputPath`. Call open() first.
    [[nodiscard]] TransformResult writeTo(const QString& outputPath, QByteArrayView key,
                                          const TransformObserver& observer = {},
                                          ExistingOutput existing = ExistingOutput::Replace);
    // The same with a stream of the key, from its first byte; the stream can be kept for the next file.
    [[nodiscard]] TransformResult writeTo(const QString& outputPath, KeyStream& keys,
                                          const TransformObserver& observer = {},
                                          ExistingOutput existing = ExistingOutput::Replace);
    // Combines the whole input into the open descriptor `output` (standard output), written as it goes: a failure
    // part-way leaves what was written. A regular file that is the input itself is refused.
    [[nodiscard]] TransformResult writeTo(int output, KeyStream& keys, const TransformObserver& observer = {});

    // Tests: whether outputs may be written as unnamed files where the file system has them (the default).
    // Off, every output takes the named temporary file that other file systems need.
    static void setUnnamedFilesAllowed(bool allowed);

private:
    // Where the combined bytes go: `fd`, with `wait` before each write. Only our own temporary output is given its
    // room up front and sent on to the disk as it is written; a descriptor we were handed (standard output, maybe a
    // file opened to append) is written to and nothing else.
    struct Sink
    {
        int fd;
        const WaitHook& wait;
        bool ownFile;
    };

    [[nodiscard]] TransformResult combine(const Sink& output, KeyStream& keys, const TransformObserver& observer) const;
    [[nodiscard]] TransformResult stream(const Sink& output, KeyStream& keys, const TransformObserver& observer) const;
    [[nodiscard]] TransformResult streamToEnd(const Sink& output, KeyStream& keys,
                                              const TransformObserver& observer) const;

    QString m_inputPath;
    Descriptor m_input;
    struct stat m_opened
    {
    }; // the input as it was when opened
    bool m_isStream = false; // its length is unknown until its end
    qint64 m_chunkSize = DefaultChunkSize;
};

// open() and writeTo() in one call.
[[nodiscard]] TransformResult transformFile(const QString& inputPath, const QString& outputPath, QByteArrayView key,
                                            const TransformObserver& observer = {},
                                            qint64 chunkSize = FileTransform::DefaultChunkSize);
