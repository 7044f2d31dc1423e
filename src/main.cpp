// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Main.h"

#include "app/CommandLine.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstdlib>

namespace {
// Without a display Qt would stop with a stack of plugin messages; say plainly what is missing instead.
bool haveDisplay()
{
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

int print(FILE* stream, const QString& text)
{
    return std::fputs(text.toLocal8Bit().constData(), stream) >= 0 && std::fflush(stream) == 0 ? 0 : 1;
}
} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int a = 0; a < argc; ++a)
        arguments.append(QFile::decodeName(argv[a]));
    const CommandLine line = parseCommandLine(arguments, QDir::currentPath());
    switch (line.kind) {
    case CommandLine::Help:
        return print(stdout, helpText());
    case CommandLine::Version:
        return print(stdout, versionText());
    case CommandLine::Usage:
        print(stderr, QStringLiteral("zafrel: %1\nTry 'zafrel --help' for more information.\n").arg(line.problem));
        return 2;
    case CommandLine::Open:
        break;
    }

    if (!haveDisplay()) {
        std::fputs("zafrel: there is no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                   "Start it from a desktop session, over ssh -X, or in a virtual display: xvfb-run -a zafrel\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    SetUpApplication();
    if (const std::optional<int> status = handOver(line))
        return *status;
    Main(line);
    return app.exec();
}
