// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Main.h"

#include "app/CommandLine.h"
#include "app/frmMain.h"
#include "platform/InstanceChannel.h"
#include "platform/MessageBox.h"
#include "platform/TerminationSignals.h"
#include "widgets/QueueFeed.h"
#include "widgets/Resources.h"
#include "widgets/TitleFrame.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QScreen>
#include <QWindow>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// The open window's reason begins in lower case, to follow "zafrel: " on standard error.
QString refusedMessage(const QString& refusal, const QStringList& paths)
{
    return refusal.left(1).toUpper() + refusal.mid(1) + u". These were not queued:\n\n"_s + namedLines(paths);
}

void complain(const QString& line)
{
    std::fputs((u"zafrel: "_s + line + u'\n').toLocal8Bit().constData(), stderr);
}

// As far as the desktop lets a window come forward by itself; where it keeps the focus where it is, the window is
// at least marked as wanting attention.
void comeForward(QWidget* window)
{
    // A modal box open over the window comes forward after it, with the boxes it was opened from: a window raised
    // above its own modal box ignores every click, with nothing to show why.
    QWidgetList stack {window};
    for (QWidget* box = QApplication::activeModalWidget(); box && box != window;
         box = box->parentWidget() ? box->parentWidget()->window() : nullptr)
        stack.insert(1, box);
    for (QWidget* widget : std::as_const(stack)) {
        if (widget->isMinimized())
            widget->showNormal();
        widget->raise();
    }
    stack.last()->activateWindow();
    if (QWindow* handle = stack.last()->windowHandle())
        handle->requestActivate();
    QApplication::alert(window);
}

// Where no screen shows a window, a message box would wait for a click that cannot come.
bool screenShown()
{
    const QString platform = QGuiApplication::platformName();
    return platform != u"offscreen"_s && platform != u"minimal"_s;
}

// A start from a file manager has no terminal: whatever it did not queue is said on screen too.
void sayNotQueued(const Platform::HandoverReply& reply, const QStringList& refused, const QStringList& notFiles)
{
    if (!reply.accepted)
        complain(reply.refusal);
    for (const QString& path : notFiles)
        complain(u"%1: no existing file, not queued"_s.arg(path));
    QStringList messages;
    if (!reply.accepted && !refused.isEmpty())
        messages.append(refusedMessage(reply.refusal, refused));
    if (!notFiles.isEmpty())
        messages.append(leftOutMessage(notFiles));
    if (!messages.isEmpty() && screenShown())
        Platform::MessageBox::show(nullptr, messages.join(u"\n\n"_s), Platform::MessageBox::Exclamation);
}

} // namespace

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

std::optional<int> handOver(const CommandLine& line)
{
    const QString address = Platform::InstanceChannel::address();
    if (line.files.isEmpty() || address.isEmpty())
        return {};
    Platform::Handover files {line.encryptMode(), {}};
    QStringList notFiles;
    // A folder is walked by the window that takes it, which names it if it holds nothing to take.
    for (const QString& path : line.files) {
        const QFileInfo info(path);
        (info.isFile() || info.isDir() ? files.paths : notFiles).append(path);
    }
    const std::optional<Platform::HandoverReply> reply = Platform::InstanceChannel::handOver(address, files);
    if (!reply)
        return {};
    sayNotQueued(*reply, files.paths, notFiles);
    return reply->accepted && notFiles.isEmpty() ? 0 : 1;
}

void Main(const CommandLine& line)
{
    auto* form = new frmMain;
    // Qt's own title bar on Wayland would offer minimise and maximise; the frame offers Close only.
    QWidget* window = form;
    if (QGuiApplication::platformName().startsWith(u"wayland"_s))
        window = new TitleFrame(form);
    // The window lives until the event loop has ended, so no nested handler ever outlives it.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [window = QPointer(window)] { delete window; });
    // A session that ends, a Ctrl+C or a closed terminal ends Zafrel as closing its window does: a run stops at
    // its next checkpoint without writing, and nothing is left behind.
    auto* endRequests = new Platform::TerminationSignals(window);
    QObject::connect(endRequests, &Platform::TerminationSignals::received, window, &QWidget::close);
    if (const QScreen* screen = window->screen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }

    // A new window refuses nothing.
    if (line.encrypt || !line.files.isEmpty())
        static_cast<void>(form->openFiles(line.encryptMode(), line.files));
    window->show();

    auto* channel = new Platform::InstanceChannel(
        [form, window](const Platform::Handover& files) {
            const QString refusal = form->openFiles(files.encrypt, files.paths);
            if (!refusal.isEmpty())
                return Platform::HandoverReply {false, refusal};
            comeForward(window);
            return Platform::HandoverReply {true, {}};
        },
        window);
    // The window works without it; only a later start with files would open a window of its own, which would
    // surprise nobody who had been told.
    if (const QString problem = channel->listen(Platform::InstanceChannel::address()); !problem.isEmpty())
        complain(
            u"this window cannot take the files of later starts (%1); they open windows of their own"_s.arg(problem));
}
