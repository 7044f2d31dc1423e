// SPDX-License-Identifier: GPL-3.0-or-later

#include "cipher/Program.h"

#include <QByteArrayView>
#include <QFile>

using namespace Qt::StringLiterals;

Arguments decodeArguments(int argc, const char* const* argv)
{
    Arguments arguments;
    for (int a = 0; a < argc; ++a) {
        const QByteArrayView bytes(argv[a]);
        arguments.list.append(QFile::decodeName(bytes.toByteArray()));
        if (QFile::encodeName(arguments.list.last()) != bytes)
            arguments.undecodable.insert(arguments.list.last());
    }
    return arguments;
}

QString versionText(QStringView program)
{
    return program + u" (Zafrel) " ZAFREL_VERSION uR"(
Copyright 2026 Kelmot.
License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.
This is free software: you are free to change and redistribute it.
There is NO WARRANTY, to the extent permitted by law.
)"_s;
}
