// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/FileDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QQueue>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace Platform {

namespace {
bool s_answering = false;
QQueue<QStringList> s_answers;
QList<OpenFileRequest> s_requests;

// "*.*" means every file on the desktop this dialog request was written for; on Linux many files have no dot.
QString qtPattern(const QString& pattern)
{
    return pattern == "*.*"_L1 ? u"*"_s : pattern;
}

// Qt's own dialog keeps the folders it visited (its history and last folder), its sidebar and its view in settings
// that every Qt program of the user shares: QtProject.conf in the user's configuration folder, rewritten whole when
// a dialog closes. Zafrel keeps no settings and leaves no trace of where the user's files are. While one of its
// dialogs lives, the user's settings lie under /dev/null, where no file can be read, made or locked, so the shared
// file is neither read nor written: what other programs keep there stays byte for byte, and a file that was not
// there is not made. Qt cannot say where the user's settings lie, so a settings object made just before tells.
class NoSharedSettings
{
public:
    NoSharedSettings()
        : m_userFolder(
            QFileInfo(QSettings(QSettings::NativeFormat, QSettings::UserScope, u"QtProject"_s).fileName()).path())
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, u"/dev/null"_s);
    }
    ~NoSharedSettings() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_userFolder); }
    NoSharedSettings(const NoSharedSettings&) = delete;
    NoSharedSettings& operator=(const NoSharedSettings&) = delete;

private:
    const QString m_userFolder;
};
} // namespace

QStringList FileDialog::getOpenFileNames(const OpenFileRequest& request)
{
    if (s_answering) {
        s_requests.append(request);
        return s_answers.isEmpty() ? QStringList() : s_answers.dequeue();
    }
    // From before the dialog reads its settings until after it has written them.
    const NoSharedSettings noHistory;
    QFileDialog dialog(request.owner, request.title, request.initialFolder);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    // The description already names the pattern, so Qt's own copy of it stays hidden.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(request.filterDescription + " ("_L1 + qtPattern(request.filterPattern) + u')');
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

void FileDialog::setAnswering(bool answering)
{
    s_answering = answering;
    s_answers.clear();
    s_requests.clear();
}

void FileDialog::setNextFileNames(const QStringList& fileNames)
{
    s_answers.enqueue(fileNames);
}

QList<OpenFileRequest> FileDialog::takeRequests()
{
    return std::exchange(s_requests, {});
}

} // namespace Platform
