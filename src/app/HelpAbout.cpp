#include "about/frmAbout.h"
#include "app/frmMain.h"
#include "platform/Shell.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

void frmMain::Label2_Click()
{
    // Read afresh at every click, from where the executable lies, never the current directory. Nothing is
    // escaped: the address keeps the directory exactly as the system reports it, blanks included. An absolute
    // Linux directory brings its own leading slash to the three of a local address.
    const QString directory = QCoreApplication::applicationDirPath();
    const QString address
        = (directory.startsWith(u'/') ? u"file://"_s : u"file:///"_s) + directory + u"/Doc/help.htm"_s;
    Platform::Shell::execute(this, u"open"_s, address, u""_s, QCoreApplication::applicationDirPath(),
                             Platform::Shell::ShowNormal);
}

void frmMain::lblAbout_Click()
{
    if (!m_about)
        m_about = std::make_unique<frmAbout>();
    m_about->showModal();
}
