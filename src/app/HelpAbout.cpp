// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/HelpAbout.h"

#include "about/frmAbout.h"
#include "app/frmMain.h"
#include "platform/Shell.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

// Nothing is escaped: the address keeps the folder exactly as the system reports it, blanks included. An absolute
// Linux folder brings its own leading slash to the three of a local address.
QString helpAddress(const QString& executableFolder)
{
    return (executableFolder.startsWith(u'/') ? u"file://"_s : u"file:///"_s) + executableFolder + u"/Doc/help.htm"_s;
}

void frmMain::Label2_Click()
{
    // Read afresh at every click, from where the executable lies, never the current directory.
    const QString folder = QCoreApplication::applicationDirPath();
    Platform::Shell::open(helpAddress(folder), folder);
}

void frmMain::lblAbout_Click()
{
    if (!m_about)
        m_about = std::make_unique<frmAbout>();
    m_about->showModal();
}
