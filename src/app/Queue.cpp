#include "app/Queue.h"

#include "app/FileDropTarget.h"
#include "app/KeyGenerator.h"
#include "app/frmMain.h"
#include "platform/FileDialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace {

// What the encrypt and the decrypt queue differ in; Add and Clear are the same for both.
struct QueueMode
{
    QString title;
    QString filterDescription;
    QString filterPattern;
    QFrame* panel;
    QComboBox* queue;
    QPushButton* add;
    QPushButton* run;
};

QueueMode encryptQueue(frmMain& form)
{
    return {u"File to encrypt"_s, u"All Files (*.*)"_s, u"*.*"_s,       form.fraEncrypt,
            form.cmbFilesEnc,     form.cmdAddEnc,       form.cmdEncrypt};
}

QueueMode decryptQueue(frmMain& form)
{
    return {u"File to Decrypt"_s, u"Encrypted Files (*.enc)"_s,
            u"*.enc"_s,           form.fraDecrypt,
            form.cmbFilesDec,     form.CmdAddDec,
            form.cmdDecrypt};
}

// Chosen files join the end of the queue in the order given, duplicates and all; the text field shows the last,
// and the next Add of either mode opens in their folder. The run button is enabled even when nothing was chosen:
// a run refuses an empty queue by itself.
void queueChosen(const QueueMode& mode, const QStringList& paths)
{
    if (!paths.isEmpty()) {
        mode.queue->addItems(paths);
        mode.queue->setEditText(paths.last());
        QDir::setCurrent(QFileInfo(paths.last()).absolutePath());
    }
    mode.run->setEnabled(true);
}

void addFiles(frmMain& form, const QueueMode& mode)
{
    Platform::OpenFileRequest request;
    request.owner = &form;
    request.title = mode.title;
    request.filterDescription = mode.filterDescription;
    request.filterPattern = mode.filterPattern;
    request.initialFolder = QDir::currentPath();
    request.multipleSelection = true;
    request.existingFilesOnly = true;
    // The whole selection is taken, however long: no answer is too large to queue.
    queueChosen(mode, Platform::FileDialog::getOpenFileNames(request));
}

void clearFiles(frmMain& form, const QueueMode& mode)
{
    mode.queue->clear();
    mode.queue->clearEditText();
    // A run of the other mode may be yielding: its byte totals are its own (its own mode's Clear is disabled).
    if (!form.blnRunning) {
        form.lngTotalBytes = 0;
        form.lngFileBytes = 0;
    }
}

// Dropped files are queued exactly as if chosen in the mode's Add dialog.
void acceptDrops(const QueueMode& mode)
{
    new FileDropTarget(mode.panel, mode.add, [mode](const QStringList& paths) { queueChosen(mode, paths); });
}

} // namespace

void installQueueDrops(frmMain& form)
{
    acceptDrops(encryptQueue(form));
    acceptDrops(decryptQueue(form));
}

void frmMain::cmdAddEnc_Click()
{
    addFiles(*this, encryptQueue(*this));
}

void frmMain::CmdAddDec_Click()
{
    addFiles(*this, decryptQueue(*this));
}

void frmMain::CmdClearEnc_Click()
{
    clearFiles(*this, encryptQueue(*this));
}

void frmMain::CmdClearDec_Click()
{
    clearFiles(*this, decryptQueue(*this));
}

void frmMain::cmdAutoKey_Click()
{
    // The system's secure source: a key must not be guessable from the moment it was made.
    txtKeyEnc->setText(KeyGenerator::newKey(*QRandomGenerator::system()));
}
