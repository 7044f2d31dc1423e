#include "app/Main.h"

#include "app/Resources.h"
#include "app/frmMain.h"

#include <QApplication>
#include <QScreen>

using namespace Qt::StringLiterals;

// No display name is set: Qt would add it to every window title ("Zafrel 1.0 — Zafrel"); message boxes show
// the application's name instead.
void SetUpApplication()
{
    QApplication::setApplicationName(u"Zafrel"_s);
    QApplication::setApplicationVersion(u"1.00"_s);
    QApplication::setOrganizationName(u"Kelmot"_s);
    QApplication::setWindowIcon(Resources::appIcon());
    // Ties the window to the desktop entry of the same name (the Wayland application id).
    QGuiApplication::setDesktopFileName(QStringLiteral(ZAFREL_APP_ID));
}

void Main()
{
    auto* form = new frmMain;
    // The window lives until the event loop has ended, so no nested handler ever outlives it.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [form] { delete form; });
    if (const QScreen* screen = form->screen()) {
        QRect frame = form->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        form->move(frame.topLeft());
    }
    form->show();
}
