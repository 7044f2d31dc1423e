// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/Shell.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace Platform {

namespace {
bool s_recording = false;
QList<Shell::Request> s_requests;
} // namespace

void Shell::open(const QString& file, const QString& directory)
{
    if (s_recording) {
        s_requests.append({file, directory});
        return;
    }
    // xdg-open hands the address to the desktop's default application; started detached, it never blocks us.
    if (!QProcess::startDetached(u"xdg-open"_s, {file}, directory))
        QDesktopServices::openUrl(QUrl(file, QUrl::TolerantMode));
}

void Shell::setRecording(bool recording)
{
    s_recording = recording;
    s_requests.clear();
}

QList<Shell::Request> Shell::takeRequests()
{
    return std::exchange(s_requests, {});
}

} // namespace Platform
