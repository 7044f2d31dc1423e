// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Main.h"

#include <QApplication>
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
} // namespace

int main(int argc, char* argv[])
{
    if (!haveDisplay()) {
        std::fputs("zafrel: there is no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                   "Start it from a desktop session, over ssh -X, or in a virtual display: xvfb-run -a zafrel\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    SetUpApplication();
    Main();
    return app.exec();
}
