// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace Platform {

namespace {
bool s_recording = false;
QList<MessageBox::Shown> s_shown;
} // namespace

void MessageBox::show(QWidget* owner, const QString& text, Style style)
{
    if (s_recording) {
        s_shown.append({text, style});
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
