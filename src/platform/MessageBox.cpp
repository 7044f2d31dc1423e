// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMessageBox>

using namespace Qt::StringLiterals;

namespace Platform {

namespace {
bool s_recording = false;
QList<MessageBox::Shown> s_shown;

// Every message shown, with its style, for whoever asks Qt for them (QT_LOGGING_RULES="zafrel.messages.info=true"):
// a box of a start that nobody watched, or of a program that a test started, can still be read.
Q_LOGGING_CATEGORY(messages, "zafrel.messages", QtWarningMsg)
} // namespace

void MessageBox::show(QWidget* owner, const QString& text, Style style)
{
    if (s_recording) {
        s_shown.append({text, style});
        return;
    }
    qCInfo(messages).noquote() << u'[' + QString::number(style) + u"] "_s + text;
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
