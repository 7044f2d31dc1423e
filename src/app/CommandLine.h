// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QStringList>
#include <optional>

// What `zafrel [--encrypt | --decrypt] [FILE | FOLDER]...` asks for. Read before the application exists, so that help,
// version and a refused command line need no display.
struct CommandLine
{
    enum Kind
    {
        Open, // the window, with the files queued if any are given
        Help,
        Version,
        Usage, // refused: `problem` says why
    };

    Kind kind = Open;
    std::optional<bool> encrypt; // the mode option, when one is given
    QStringList files; // files and folders, absolute, in the order given
    QString problem;

    // The mode the files go to: the option's. Without one, decrypt when every file named and every file found in the
    // folders named (FolderWalk, as encrypting would take them) has a name that ends in ".enc", and there is one at
    // least; else encrypt. A folder is walked until a file decides it.
    [[nodiscard]] bool encryptMode() const;

    // `arguments` as main() has them, the program's name first; relative paths are taken from `workingFolder`.
    [[nodiscard]] static CommandLine parse(const QStringList& arguments, const QString& workingFolder);
    [[nodiscard]] static QString helpText();
};
