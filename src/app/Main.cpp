// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Main.h"

#include "app/frmMain.h"
#include "platform/TerminationSignals.h"
#include "widgets/Resources.h"
#include "widgets/TitleFrame.h"

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
    // Qt's own title bar on Wayland would offer minimise and maximise; the frame offers Close only.
    QWidget* window = form;
    if (QGuiApplication::platformName().startsWith(u"wayland"_s))
        window = new TitleFrame(form);
    // The window lives until the event loop has ended, so no nested handler ever outlives it.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [window] { delete window; });
    // A session that ends, a Ctrl+C or a closed terminal ends Zafrel as closing its window does: a run stops at
    // its next checkpoint without writing, and nothing is left behind.
    auto* endRequests = new Platform::TerminationSignals(window);
    QObject::connect(endRequests, &Platform::TerminationSignals::received, window, &QWidget::close);
    if (const QScreen* screen = window->screen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    window->show();
}
