// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/Inputs.h"

#include "cipher/FileTransform.h"
#include "cli/Interrupt.h"

#include <QFile>
#include <cerrno>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

Input failure(const QString& path, const FileError& error)
{
    return {{path, 0, error, 0, 0}, false};
}

// The files a folder holds for the run, until an interrupt.
void addWalked(const QString& folder, bool encrypt, QList<Input>& inputs)
{
    FolderWalk walk(folder, encrypt);
    while (!Interrupt::requested()) {
        std::optional<FoundFile> found = walk.next();
        if (!found)
            break;
        inputs.append({std::move(*found), false});
    }
}

} // namespace

QList<Input> collectInputs(const Options& options, const QSet<QString>& undecodable)
{
    QList<Input> inputs;
    for (const QString& path : options.paths) {
        if (Interrupt::requested())
            break;
        struct stat info
        {
        };
        if (path == StandardStream)
            inputs.append({{path, 0, {}, 0, 0}, true});
        else if (undecodable.contains(path))
            inputs.append(failure(path, FileError::fromErrno(EILSEQ)));
        else if (::stat(QFile::encodeName(path).constData(), &info) != 0)
            inputs.append(failure(path, FileError::fromErrno(errno)));
        else if (!S_ISDIR(info.st_mode) && !options.encrypt && options.output.isEmpty() && !hasEncryptedName(path))
            inputs.append(failure(path, {EINVAL, u"not a .enc file; left alone"_s}));
        else if (!S_ISDIR(info.st_mode))
            inputs.append({{path, info.st_size, {}, info.st_dev, info.st_ino}, false});
        else if (options.recursive)
            addWalked(path, options.encrypt, inputs);
        else
            inputs.append(failure(path, FileError::fromErrno(EISDIR)));
    }
    return inputs;
}
