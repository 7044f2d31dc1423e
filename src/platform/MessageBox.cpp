// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace Platform {

namespace {
bool s_recording = false;
QList<MessageBox::Shown> s_shown;

// Tests that start the built program as a process of its own read its messages on standard output instead: nobody
// is there to click OK.
bool printing()
{
    static const bool print = qEnvironmentVariableIsSet("ZAFREL_TEST_PRINT_MESSAGES");
    return print;
}
} // namespace

void MessageBox::show(QWidget* owner, const QString& text, Style style)
{
    if (s_recording) {
        s_shown.append({text, style});
        return;
    }
    if (printing()) {
        const QString line = u'[' + QString::number(style) + u"] "_s + text + u'\n';
        std::fputs(line.toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
        return;
    }
    const auto icon = style == Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon;
    QMessageBox box(icon, QCoreApplication::applicationName(), text, QMessageBox::Ok, owner);
    box.exec();
}

void MessageBox::setRecording(bool recording)
{
    s_recording = recording;
    s_shown.clear();
}

QList<MessageBox::Shown> MessageBox::takeShown()
{
    return std::exchange(s_shown, {});
}

} // namespace Platform
