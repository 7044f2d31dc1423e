// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Main.h"

#include "app/CommandLine.h"
#include "cipher/Hardening.h"
#include "cipher/Program.h"
#include "platform/InstanceChannel.h"

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

int print(FILE* stream, const QString& text)
{
    return std::fputs(text.toLocal8Bit().constData(), stream) >= 0 && std::fflush(stream) == 0 ? 0 : 1;
}

QString environment(const char* name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

// Without a display Qt would stop with a stack of plugin messages and blame the installation; this says plainly what
// is missing instead, whether no display is named or the one named does not answer.
void sayThereIsNoDisplay(const QString& why)
{
    print(stderr,
          u"zafrel: there is no display to show the window on (%1).\n"
          "Start it from a desktop session, over ssh -X, or in a virtual display: xvfb-run -a zafrel\n"_s.arg(why));
}

bool displayNamed()
{
    return !environment("DISPLAY").isEmpty() || !environment("WAYLAND_DISPLAY").isEmpty()
        || !environment("QT_QPA_PLATFORM").isEmpty();
}

// The displays named, none of which answered.
QString unanswered()
{
    QStringList named;
    for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
        if (!environment(name).isEmpty())
            named.append(QString::fromLatin1(name) + u'=' + environment(name));
    }
    return named.join(u", "_s) + (named.size() > 1 ? u": none answers"_s : u" does not answer"_s);
}

// Qt's messages while the application connects to its display are held back. When no display answers, Qt ends the
// program with a fatal message; the plain one replaces it, and the program ends with status 1.
QStringList heldMessages;

void holdWhileConnecting(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg) {
        sayThereIsNoDisplay(unanswered());
        std::_Exit(1);
    }
    heldMessages.append(qFormatLogMessage(type, context, message));
}

} // namespace

int main(int argc, char* argv[])
{
    hardenProcess();
    CommandLine line = CommandLine::parse(decodeArguments(argc, argv).list, QDir::currentPath());
    switch (line.kind) {
    case CommandLine::Help:
        return print(stdout, CommandLine::helpText());
    case CommandLine::Version:
        return print(stdout, versionText(u"zafrel"));
    case CommandLine::Usage:
        print(stderr, QStringLiteral("zafrel: %1\nTry 'zafrel --help' for more information.\n").arg(line.problem));
        return 2;
    case CommandLine::Open:
        break;
    }

    if (!displayNamed()) {
        sayThereIsNoDisplay(u"neither DISPLAY nor WAYLAND_DISPLAY is set"_s);
        return 1;
    }
    qInstallMessageHandler(holdWhileConnecting);
    QApplication app(argc, argv);
    qInstallMessageHandler(nullptr);
    for (const QString& message : std::as_const(heldMessages))
        print(stderr, message + u'\n');
    SetUpApplication();
    // Without a mode option the files decide it, which may walk the folders given: once, before this start takes
    // its turn at the window.
    if (!line.files.isEmpty())
        line.encrypt = line.encryptMode();
    Platform::InstanceClaim claim {Platform::InstanceChannel::address()};
    if (const std::optional<int> status = handOver(line))
        return *status;
    Main(line);
    // The window listens now: a start that waited hands its files over to it.
    claim.release();
    return app.exec();
}
