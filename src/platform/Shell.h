// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>

namespace Platform {

// The desktop's "open" request for a document or an address. It never blocks and its outcome is ignored:
// a missing page or browser shows nothing.
class Shell
{
public:
    struct Request
    {
        QString file;
        QString directory;
    };

    // Opens `file` (a document or an address) with the desktop's default application, started in `directory`.
    static void open(const QString& file, const QString& directory);

    // Tests: while recording, nothing is opened; every request is kept for takeRequests().
    static void setRecording(bool recording);
    [[nodiscard]] static QList<Request> takeRequests();
};

} // namespace Platform
