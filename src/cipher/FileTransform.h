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

enum class TransformOutcome
{
    Written, // the output holds every byte and has replaced any old file of its name
    Kept, // a file of the output's name exists and was to be kept (ExistingOutput::Keep); nothing was written
    Stopped, // the observer said stop, at a checkpoint or in a wait; nothing was written
    Failed, // `error` says why (a stream too small, an empty key among the rest); nothing was written
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

// One file as a run asks for it.
struct FileRequest
{
    QString path; // the input
    bool encrypt = true;
    // Its length when the run counted it: a file that no longer has it is not the file the run counted.
    qint64 measuredLength = 0;
    // Where its output goes: empty, beside the input (outputPath()); else this name, whatever the input's is.
    QString output = {};
    // An open stream (standard input) to read instead of `path`, from where it stands to its end; its length is
    // unknown until then. Its output must be named.
    int stream = -1;
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

    // `chunkSize`: how much of a file is read, combined and written at once (a stream's pieces are at most
    // StreamChunkSize).
    explicit FileTransform(qint64 chunkSize = DefaultChunkSize);
    ~FileTransform();
    FileTransform(const FileTransform&) = delete;
    FileTransform& operator=(const FileTransform&) = delete;

    // Makes a file ready to be written, as both the window and the command line do, with every rule of what Zafrel
    // refuses before any work, in this order: the input opens read-only (a path that names no file fails, and
    // nothing is created), it still has the length the run measured, it is not too small, and its output has a name
    // (one in the input's own folder, unless one is given). The first that fails is the result; then length() and
    // output() say what was found. A stream is only opened: its end decides whether it is too small.
    [[nodiscard]] FileError prepare(const FileRequest& request);
    // Where prepare() sends the output.
    [[nodiscard]] const QString& output() const { return m_output; }

    // Opens the input read-only and takes its length, as prepare() does first; call either once. A path that names
    // no file fails (ENOENT); nothing is created.
    [[nodiscard]] FileError open(const QString& inputPath);
    // The length of a file once opened (0 before, or when it could not be opened).
    [[nodiscard]] qint64 length() const { return m_opened.st_size; }

    // Combines the whole input with `keys` (a stream of the key bytes, see keyBytes(), from its first byte; it can
    // be kept for the next file) into output(). Call prepare() first.
    [[nodiscard]] TransformResult writeTo(KeyStream& keys, const TransformObserver& observer = {},
                                          ExistingOutput existing = ExistingOutput::Replace);
    // Combines the whole input into the open descriptor `output` (standard output), written as it goes: a failure
    // part-way leaves what was written. A regular file that is the input itself is refused.
    [[nodiscard]] TransformResult writeTo(int output, KeyStream& keys, const TransformObserver& observer = {});

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
    [[nodiscard]] FileError openStream(int fd);

    QString m_output;
    Descriptor m_input;
    struct stat m_opened
    {
    }; // the input as it was when opened
    bool m_isStream = false; // its length is unknown until its end
    qint64 m_chunkSize;
};
