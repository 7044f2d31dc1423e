// SPDX-License-Identifier: GPL-3.0-or-later

#include "runs/ProcessFile.h"

#include "cipher/FileTransform.h"
#include "cipher/KeyStream.h"
#include "cipher/Progress.h"
#include "platform/MessageBox.h"
#include "widgets/FramePacer.h"
#include "widgets/ImageList.h"
#include "widgets/Look.h"
#include "widgets/StatusList.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>

using namespace Qt::StringLiterals;

namespace {

// The row bar lies over the row's Status cell, 50 twips below the cell's top. The view's own geometry places
// it, so it follows scrolling and resized columns; it is hidden while the row is out of sight or gone.
QRect rowBarPlace(const StatusList* list, const QPersistentModelIndex& row)
{
    const QRect cell = list->cellRect(row, StatusList::Status);
    if (cell.isEmpty())
        return {};
    const QRect viewport(list->viewport()->mapTo(list->parentWidget(), QPoint(0, 0)), list->viewport()->size());
    return cell.adjusted(0, Look::px(50), 0, 0) & viewport;
}

void placeRowBar(QProgressBar* bar, const StatusList* list, const QPersistentModelIndex& row)
{
    const QRect place = rowBarPlace(list, row);
    if (place.isEmpty()) {
        bar->hide();
        return;
    }
    if (bar->geometry() != place)
        bar->setGeometry(place);
    bar->show();
}

// Bars are touched only when their whole-number value changes: a file of 1002 to 1500 bytes stops at every
// byte, but its bars move at most about 100 times.
void setBarValue(QProgressBar* bar, int value)
{
    if (bar->value() != value)
        bar->setValue(value);
}

} // namespace

void reportError(QWidget* owner, const QString& lead, const FileError& error)
{
    Platform::MessageBox::show(owner, lead + u"\r\n"_s + QString::number(error.number) + u"\r\n"_s + error.description,
                               Platform::MessageBox::OkOnly);
}

bool ProcessFile(RunState& state, const RunControls& controls, FramePacer& frames, const QString& strPath,
                 Flag blnEncrypt, qint64 measuredLength)
{
    const bool encrypt = blnEncrypt != False;
    ModePanel& mode = controls.panel(blnEncrypt);
    QProgressBar* const overallBar = mode.bar;
    QProgressBar* const proglvw = controls.proglvw;
    StatusList* const lvw = controls.lvw;
    const ImageList& imgl = controls.imgl;
    // The row of this file; once removed (the list cleared during a yield), writes to it do nothing.
    const QPersistentModelIndex row = state.itmCurrent;

    // The Status cell of a file that failed: what went wrong, under the red cross.
    const auto markFailed = [&](const QString& text) {
        lvw->setSubItem(row, StatusList::Status, text);
        lvw->setSubItemIcon(row, StatusList::Status, imgl.image(imgl.indexOf(Resources::ErrorImageKey)));
    };
    const auto failFile = [&](const FileError& error) {
        reportError(controls.window,
                    u"There was an error during decryption. If this persists , please contact us with the details"_s,
                    error);
        markFailed(error.description);
        proglvw->hide();
        overallBar->setValue(0);
        return false;
    };

    FileTransform transform(strPath);
    // A path that names no file is an error here, never a new empty file.
    if (const FileError error = transform.open(); error.isError()) {
        state.lngFileBytes = 0;
        return failFile(error);
    }
    state.lngFileBytes = transform.length();
    // The run counted the file as it was when measured: a file that changed since is not the file it counted.
    if (state.lngFileBytes != measuredLength)
        return failFile(FileError::inputChanged());
    if (tooSmallToTransform(state.lngFileBytes)) {
        lvw->setSubItem(row, StatusList::Status, u"File Too small"_s);
        lvw->setSubItemIcon(row, StatusList::Status, imgl.image(Resources::RedCrossImage));
        return false;
    }

    // Checked before anything is opened for writing: a decrypted name must stay in the input's own folder.
    const QString output = outputPath(strPath, encrypt);
    if (output.isEmpty())
        return failFile(FileError::nameTooShort());

    // Read afresh for every file: the key box can be emptied while an earlier file yields.
    const QByteArray key = keyBytes(mode.key->text());
    if (key.isEmpty()) {
        markFailed(u"No key given!"_s);
        return false;
    }
    overallBar->setVisible(true);
    // The row bar shows only where the file stops to show progress: a file without checkpoints is written before
    // anybody could see it.
    if (checkpointCount(state.lngFileBytes) > 0)
        placeRowBar(proglvw, lvw, row);

    const QPointer<QWidget> window(controls.window);
    bool cancelled = false;
    FileError progressError;
    const auto stop = [&] {
        cancelled = true;
        proglvw->setValue(0);
        proglvw->hide();
        overallBar->setValue(0);
        return false;
    };
    TransformObserver observer;
    observer.onCheckpoint = [&](qint64 i, qint64 length) {
        if (state.blnCancel != False)
            return stop();
        setBarValue(proglvw, shownPercent(rowPercent(i, length)));
        const OverallPercent overall
            = overallPercent(i, length, state.lngFileBytes, state.lngTotalBytes, state.intProgressBase);
        if (overall.error.isError()) {
            progressError = overall.error;
            return false;
        }
        setBarValue(overallBar, overall.shown());
        placeRowBar(proglvw, lvw, row);
        // The list's refresh: only the bars change here, and they reach the screen once a frame, before the yield.
        frames.presentIfDue();
        QCoreApplication::processEvents();
        if (window.isNull())
            return false;
        // A cancel in the last checkpoint's yield comes too late for this file; a closed window writes nothing more.
        return state.closed ? stop() : true;
    };
    observer.onFinishing = [&] {
        proglvw->hide();
        lvw->setSubItem(row, StatusList::Status, u"Writing file..."_s);
        // Shown at once after a long transform, whose output takes long to reach the disk too.
        frames.beginStage();
    };

    if (!state.keys.isFor(key))
        state.keys = KeyStream(key);
    const TransformResult result = transform.writeTo(output, state.keys, observer);
    if (window.isNull())
        return false;
    switch (result.outcome) {
    case TransformOutcome::Written:
        return true;
    case TransformOutcome::Stopped:
        return cancelled ? false : failFile(progressError);
    case TransformOutcome::Failed:
        return failFile(result.error);
    case TransformOutcome::Kept: // the window always replaces an old output
    case TransformOutcome::NoKey:
        break;
    }
    return false;
}
