// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/HelpAddress.h"

using namespace Qt::StringLiterals;

// Nothing is escaped: the address keeps the folder exactly as the system reports it, blanks included. An absolute
// Linux folder brings its own leading slash to the three of a local address.
QString helpAddress(const QString& executableFolder)
{
    return (executableFolder.startsWith(u'/') ? u"file://"_s : u"file:///"_s) + executableFolder + u"/Doc/help.htm"_s;
}
