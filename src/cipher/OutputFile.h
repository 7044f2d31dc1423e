// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "cipher/Descriptor.h"
#include "cipher/FileError.h"

#include <QByteArray>
#include <functional>
#include <sys/stat.h>

// The output's side of a transform: where it goes, what it replaces there, and the temporary file that becomes it.
// Everything works relative to the output's folder, held open: a folder moved or replaced by a link meanwhile
// takes the output with it, and never strands a file.

// Where an output goes: its folder, held open, and its own name in that folder.
struct OutputPlace
{
    Descriptor folder;
    QByteArray name;
};

// Finds where writing to `path` lands, walking it name by name as the kernel does for a plain program: links
// are followed (a dangling one leads to the name it would create), but in a sticky world-writable folder only
// links owned by this user or by the folder's owner, whatever the machine's own setting says (EACCES).
[[nodiscard]] FileError locateOutput(const QByteArray& path, OutputPlace& place);

// The file that the output would replace, if there is one, held open for writing: proof that this user may
// change it, so a rename over it never replaces a file the user could not write.
struct ReplacedFile
{
    Descriptor file;
    struct stat info
    {
    };

    [[nodiscard]] bool exists() const { return file.isOpen(); }
};

// Looks at what has the output's name in its folder, without opening it: nothing there is fine (`taken` false), a
// regular file sets `taken`; the input itself (through another name), a folder, or anything but a regular file is
// refused.
[[nodiscard]] FileError inspectName(const OutputPlace& place, const struct stat& input, bool& taken);

// Looks at the output's name as inspectName() does: a regular file there, which will be replaced, must be one this
// user may write, and is held open in `replaced`.
[[nodiscard]] FileError inspectReplaced(const OutputPlace& place, const struct stat& input, ReplacedFile& replaced);

// Reserves `length` bytes on the disk for the output `fd` before the first is written, where the file system can:
// a disk too full for the file fails here, at once (ENOSPC), rather than at its end, and the file lies in few pieces.
[[nodiscard]] FileError preallocate(int fd, qint64 length);

// Sends the bytes of the output `fd` on to the disk while the next ones are made, and lets the cache drop them once
// they are there. The cache then holds only the last few megabytes of a large output, so the memory it writes into
// is its own, recycled, rather than taken afresh for every chunk: a virtual machine may have handed free memory back
// to its host, and the first write into such memory costs a fault in the host for every page, several times the copy
// itself. Other files stay cached, and the final sync has little left to do.
class WriteBehind
{
public:
    explicit WriteBehind(int fd)
        : m_fd(fd)
    { }

    // After the output's bytes up to `end` were written, in order. A failure is the output's own: the kernel reports
    // a failed write to the disk once, here, and never again to the final sync.
    [[nodiscard]] FileError written(qint64 end);

private:
    int m_fd;
    qint64 m_started = 0; // bytes before this are on their way to the disk
    qint64 m_dropped = 0; // bytes before this are on the disk and out of the cache
};

// The bytes of an output until it is complete: an unnamed file in the output's folder where the file system has
// them, else a file of a short hidden temporary name beside the output (Leftovers.h), locked while it is written
// and removed again on every way out but a kill or a crash; the next run that writes in the folder removes what
// those leave. Either is readable by its owner only until commit.
class TemporaryOutput
{
public:
    explicit TemporaryOutput(int folder);
    ~TemporaryOutput();
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    [[nodiscard]] FileError create();
    [[nodiscard]] int fd() const { return m_file.get(); }

    // Syncs the bytes, then gives them `name`: at once where nothing has that name (the output never shows
    // partly written), else through a short name renamed over the old file. With `replace` false an existing
    // file keeps its name and the result is EEXIST.
    [[nodiscard]] FileError commitAs(const QByteArray& name, bool replace);

private:
    [[nodiscard]] FileError createNamed();
    [[nodiscard]] FileError nameUnnamed();
    // Whether `name` in the folder still leads to the open file `fd`.
    [[nodiscard]] bool namedAs(int fd, const QByteArray& name) const;
    // Tries short names until `take` gets one that nobody has: it gives 0, or errno (EEXIST tries the next name).
    [[nodiscard]] FileError takeShortName(const std::function<int(const QByteArray& name)>& take);
    [[nodiscard]] FileError closeFile();
    void forgetName();

    int m_folder;
    Descriptor m_file;
    QByteArray m_name; // the short name, while the bytes have one that is not the output's
};
