// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QStringList>
#include <optional>

// What `zafrel [--encrypt | --decrypt] [FILE]...` asks for. Read before the application exists, so that help,
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
    QStringList files; // absolute, in the order given
    QString problem;

    // The mode the files go to: the option's; without one decrypt when every name ends in ".enc", else encrypt.
    [[nodiscard]] bool encryptMode() const;

    // `arguments` as main() has them, the program's name first; relative paths are taken from `workingFolder`.
    [[nodiscard]] static CommandLine parse(const QStringList& arguments, const QString& workingFolder);
    [[nodiscard]] static QString helpText();
};
