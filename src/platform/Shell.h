// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace Platform {

// The desktop's "open" request for a document or an address. It never blocks and its outcome is ignored:
// a missing page or browser shows nothing.
class Shell
{
public:
    enum ShowCommand : int
    {
        ShowNormal = 1,
    };

    struct Request
    {
        QWidget* owner;
        QString operation;
        QString file;
        QString parameters;
        QString directory;
        int showCommand;
    };

    static void execute(QWidget* owner, const QString& operation, const QString& file, const QString& parameters,
                        const QString& directory, int showCommand);

    // Tests: while recording, nothing is opened; every request is kept for takeRequests().
    static void setRecording(bool recording);
    static QList<Request> takeRequests();
};

} // namespace Platform
