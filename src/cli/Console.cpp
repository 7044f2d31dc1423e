// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/Console.h"

#include <cerrno>

using namespace Qt::StringLiterals;

bool Console::write(int fd, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const ssize_t n = ::write(fd, bytes.data(), static_cast<size_t>(bytes.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes = bytes.sliced(n);
    }
    return true;
}

void Console::complain(const QString& text)
{
    write(STDERR_FILENO, QString::fromUtf16(ProgramName) + u": "_s + text + u'\n');
}
