// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/frmMain.h"
#include "cipher/KeyGenerator.h"
#include "platform/FileDialog.h"
#include "widgets/FileDropTarget.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace {

// Chosen files join the end of the queue in the order given, duplicates and all; the text field shows the last,
// and the next Add of either mode opens in their folder. That folder is only remembered: the process's own working
// folder never moves, so a removable disk that files came from can still be ejected. The run button is enabled
// even when nothing was chosen: a run refuses an empty queue by itself.
void queueChosen(const ModePanel& mode, const QStringList& paths, QString& addFolder)
{
    if (!paths.isEmpty()) {
        mode.queue->addItems(paths);
        mode.queue->setEditText(paths.last());
        addFolder = QFileInfo(paths.last()).absolutePath();
    }
    mode.run->setEnabled(true);
}

void addFiles(QWidget* owner, const ModePanel& mode, QString& addFolder)
{
    Platform::OpenFileRequest request;
    request.owner = owner;
    request.title = QString::fromUtf16(mode.design.dialogTitle);
    request.filterDescription = QString::fromUtf16(mode.design.filterDescription);
    request.filterPattern = QString::fromUtf16(mode.design.filterPattern);
    // Until files are chosen, the folder Zafrel was started in.
    request.initialFolder = addFolder.isEmpty() ? QDir::currentPath() : addFolder;
    request.multipleSelection = true;
    request.existingFilesOnly = true;
    // The whole selection is taken, however long: no answer is too large to queue.
    queueChosen(mode, Platform::FileDialog::getOpenFileNames(request), addFolder);
}

void clearFiles(RunState& state, const ModePanel& mode)
{
    mode.queue->clear();
    mode.queue->clearEditText();
    // A run of the other mode may be yielding: its byte totals are its own (its own mode's Clear is disabled).
    if (!state.blnRunning) {
        state.lngTotalBytes = 0;
        state.lngFileBytes = 0;
    }
}

// Dropped files are queued exactly as if chosen in the mode's Add dialog.
void queueDrops(const ModePanel& mode, QString& addFolder)
{
    // The panel and the folder are the window's own members, which outlive the target (a child of the panel).
    new FileDropTarget(mode.frame, mode.add,
                       [mode, &addFolder](const QStringList& paths) { queueChosen(mode, paths, addFolder); });
}

} // namespace

void frmMain::installQueueDrops()
{
    queueDrops(encryptPanel(), m_addFolder);
    queueDrops(decryptPanel(), m_addFolder);
}

void frmMain::cmdAddEnc_Click()
{
    addFiles(this, encryptPanel(), m_addFolder);
}

void frmMain::CmdAddDec_Click()
{
    addFiles(this, decryptPanel(), m_addFolder);
}

void frmMain::CmdClearEnc_Click()
{
    clearFiles(*this, encryptPanel());
}

void frmMain::CmdClearDec_Click()
{
    clearFiles(*this, decryptPanel());
}

void frmMain::cmdAutoKey_Click()
{
    // The system's secure source: a key must not be guessable from the moment it was made.
    txtKeyEnc->setText(KeyGenerator::newKey(*QRandomGenerator::system()));
}
