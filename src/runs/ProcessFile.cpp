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
#include <QPointer>
#include <QProgressBar>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

// The row bar lies over the row's Status cell, 50 twips below the cell's top. The view's own geometry places
// it, so it follows scrolling and resized columns; it is hidden while the row is out of sight or gone.
[[nodiscard]] QRect rowBarPlace(const StatusList* list, const QPersistentModelIndex& row)
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

// The message of a file that fails, in both modes.
constexpr QStringView ErrorLead
    = u"There was an error during decryption. If this persists , please contact us with the details";

// One call of ProcessFile: the file's row, the controls of its mode, and the way it ends.
class FileInWork
{
public:
    FileInWork(RunState& state, const RunControls& controls, FramePacer& frames, Flag blnEncrypt)
        : m_state(state)
        , m_controls(controls)
        , m_frames(frames)
        , m_mode(controls.panel(blnEncrypt))
        , m_encrypt(blnEncrypt != False)
        , m_row(state.itmCurrent)
        , m_window(controls.window)
    { }

    bool process(const QString& strPath, qint64 measuredLength)
    {
        FileTransform transform;
        const FileError refused = transform.prepare({strPath, m_encrypt, measuredLength});
        m_state.lngFileBytes = transform.length();
        if (refused.isError())
            return failFile(refused);
        // Read afresh for every file: the key box can be emptied while an earlier file yields.
        const QByteArray key = keyBytes(m_mode.keyText());
        if (key.isEmpty())
            return failFile(FileError::noKey());
        showBars();
        if (!m_state.keys.isFor(key))
            m_state.keys = KeyStream(key);
        // Every byte combined, yielding at each checkpoint; then the output written whole and given its name.
        return finish(transform.writeTo(m_state.keys, observer()));
    }

private:
    // The mode's overall bar is shown; the row bar only where the file stops to show progress: a file without
    // checkpoints is written before anybody could see it.
    void showBars()
    {
        m_mode.showBar();
        if (checkpointCount(m_state.lngFileBytes) > 0)
            placeRowBar(m_controls.proglvw, m_controls.lvw, m_row);
    }

    TransformObserver observer()
    {
        TransformObserver result;
        result.onCheckpoint = std::bind_front(&FileInWork::checkpoint, this);
        result.onFinishing = std::bind_front(&FileInWork::finishing, this);
        return result;
    }

    // At each checkpoint: the cancel test, both bars, the list's refresh and the yield. False stops the transform.
    [[nodiscard]] bool checkpoint(qint64 i, qint64 length)
    {
        if (m_state.blnCancel != False)
            return stop();
        Look::setBarValue(m_controls.proglvw, shownPercent(rowPercent(i, length)));
        const OverallPercent overall
            = overallPercent(i, length, m_state.lngFileBytes, m_state.lngTotalBytes, m_state.intProgressBase);
        if (overall.error.isError()) {
            m_progressError = overall.error;
            return false;
        }
        m_mode.setBarValue(overall.shown());
        placeRowBar(m_controls.proglvw, m_controls.lvw, m_row);
        // The list's refresh: only the bars change here, and they reach the screen once a frame, before the yield.
        m_frames.presentIfDue();
        QCoreApplication::processEvents();
        if (m_window.isNull())
            return false;
        // A cancel in the last checkpoint's yield comes too late for this file; a closed window writes nothing more.
        return m_state.closed ? stop() : true;
    }

    // The cancel path: nothing is written, and neither bar shows the file any more.
    [[nodiscard]] bool stop()
    {
        m_cancelled = true;
        resetRowBar(m_controls.proglvw);
        m_mode.resetBar();
        return false;
    }

    // Every byte is combined; the output is about to be written.
    void finishing()
    {
        m_controls.proglvw->hide();
        m_controls.lvw->setSubItem(m_row, StatusList::Status, u"Writing file..."_s);
        // Shown at once after a long transform, whose output takes long to reach the disk too.
        m_frames.beginStage();
    }

    // What the transform's outcome makes of the file: written, cancelled, or failed.
    [[nodiscard]] bool finish(const TransformResult& result)
    {
        if (m_window.isNull())
            return false;
        switch (result.outcome) {
        case TransformOutcome::Written:
            return true;
        case TransformOutcome::Stopped:
            return m_cancelled ? false : failFile(m_progressError);
        case TransformOutcome::Failed:
            return failFile(result.error);
        case TransformOutcome::Kept: // the window always replaces an old output
            break;
        }
        return false;
    }

    // Every way a file fails ends here. Its Status cell says why, under the red cross: image 2 of the image list for
    // a file too small, the image keyed "error_small" for the rest (in the window's list one picture). An error, not
    // a refusal, is reported in a message box first and leaves neither bar standing.
    [[nodiscard]] bool failFile(const FileError& failure)
    {
        if (!failure.isRefusal())
            reportError(m_controls.window, ErrorLead.toString(), failure);
        m_controls.lvw->setSubItem(m_row, StatusList::Status, failure.description);
        const ImageList& imgl = m_controls.imgl;
        m_controls.lvw->setSubItemIcon(m_row, StatusList::Status,
                                       failure.refusal == FileError::TooSmall ? imgl.image(Resources::RedCrossImage)
                                                                              : imgl.image(Resources::ErrorImageKey));
        if (!failure.isRefusal()) {
            m_controls.proglvw->hide();
            m_mode.resetBar();
        }
        return false;
    }

    RunState& m_state;
    const RunControls& m_controls;
    FramePacer& m_frames;
    ModePanel& m_mode;
    const bool m_encrypt;
    // The row of this file; once removed (the list cleared during a yield), writes to it do nothing.
    const QPersistentModelIndex m_row;
    const QPointer<QWidget> m_window;
    bool m_cancelled = false;
    FileError m_progressError;
};

} // namespace

void resetRowBar(QProgressBar* proglvw)
{
    proglvw->setValue(0);
    proglvw->hide();
}

void reportError(QWidget* owner, const QString& lead, const FileError& error)
{
    Platform::MessageBox::show(owner, lead + u"\r\n"_s + QString::number(error.number) + u"\r\n"_s + error.description,
                               Platform::MessageBox::OkOnly);
}

bool ProcessFile(RunState& state, const RunControls& controls, FramePacer& frames, const QString& strPath,
                 Flag blnEncrypt, qint64 measuredLength)
{
    return FileInWork(state, controls, frames, blnEncrypt).process(strPath, measuredLength);
}
