// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/FileDialog.h"

#include <QFileDialog>
#include <QQueue>

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
} // namespace

QStringList FileDialog::getOpenFileNames(const OpenFileRequest& request)
{
    if (s_answering) {
        s_requests.append(request);
        return s_answers.isEmpty() ? QStringList() : s_answers.dequeue();
    }
    QFileDialog dialog(request.owner, request.title, request.initialFolder);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.multipleSelection
                           ? (request.existingFilesOnly ? QFileDialog::ExistingFiles : QFileDialog::AnyFile)
                           : (request.existingFilesOnly ? QFileDialog::ExistingFile : QFileDialog::AnyFile));
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
