// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArrayView>
#include <QString>
#include <unistd.h>

// What the command line says, and where: results on standard output, complaints and progress on standard error.
namespace Console {

inline constexpr char16_t ProgramName[] = u"zafrel-cli";

// Writes every byte to `fd`, through interruptions by a signal unless it asks the program to stop (a terminal held
// by Ctrl-S never keeps it waiting); false when the descriptor refuses them, errno saying why.
bool write(int fd, QByteArrayView bytes);
inline bool write(int fd, const QString& text)
{
    return write(fd, QByteArrayView(text.toUtf8()));
}

// One line on standard error: "zafrel-cli: TEXT".
void complain(const QString& text);

// A name as it is shown in a line: control characters escaped ("\n", "\t", "\x1b") and a backslash doubled, so one
// name never spans two lines nor drives the terminal, and every name shown stands for one name only.
[[nodiscard]] QString shown(const QString& name);

} // namespace Console
