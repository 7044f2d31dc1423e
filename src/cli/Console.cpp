// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/Console.h"

#include "cli/Interrupt.h"

#include <cerrno>

using namespace Qt::StringLiterals;

bool Console::write(int fd, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const ssize_t n = ::write(fd, bytes.data(), static_cast<size_t>(bytes.size()));
        if (n < 0 && errno == EINTR && !Interrupt::requested())
            continue;
        if (n == 0)
            errno = EIO;
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

QString Console::shown(const QString& name)
{
    QString text;
    text.reserve(name.size());
    for (const QChar c : name) {
        const char16_t unit = c.unicode();
        if (unit == u'\n')
            text += u"\\n"_s;
        else if (unit == u'\t')
            text += u"\\t"_s;
        else if (unit == u'\\')
            text += u"\\\\"_s;
        else if (unit < 0x20 || (unit >= 0x7f && unit <= 0x9f)) // C0, DEL and C1: a terminal acts on them
            text += u"\\x%1"_s.arg(uint(unit), 2, 16, QChar(u'0'));
        else
            text += c;
    }
    return text;
}
