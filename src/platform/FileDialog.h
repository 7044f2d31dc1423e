// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace Platform {

struct OpenFileRequest
{
    QWidget* owner = nullptr;
    QString title;
    QString filterDescription; // "All Files (*.*)"
    QString filterPattern; // "*.*"
    QString initialFolder;
};

// The system's open-file dialog, choosing any number of existing files. The answer is the chosen full paths in the
// dialog's order, or none when the user cancelled.
class FileDialog
{
public:
    [[nodiscard]] static QStringList getOpenFileNames(const OpenFileRequest& request);

    // Tests: while answering, no dialog is shown; each request takes the next queued answer (none when the
    // queue is empty, as if cancelled) and is kept for takeRequests().
    static void setAnswering(bool answering);
    static void setNextFileNames(const QStringList& fileNames);
    [[nodiscard]] static QList<OpenFileRequest> takeRequests();
};

} // namespace Platform
