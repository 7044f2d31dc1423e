// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// What both programs, the window and the command line, read and say before any work.

// The arguments of main(), the program's name first, as text. A name that is no text in the system's encoding
// (bytes that are no UTF-8) cannot be given to the core: it is listed in `undecodable` as decoded, so that a face
// can refuse it rather than take the other file that the decoded name names.
struct Arguments
{
    QStringList list;
    QSet<QString> undecodable;
};
[[nodiscard]] Arguments decodeArguments(int argc, const char* const* argv);

// What --version shows: `program` (its command's name), Zafrel's version, the copyright and the licence.
[[nodiscard]] QString versionText(QStringView program);
