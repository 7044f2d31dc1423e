// SPDX-License-Identifier: GPL-3.0-or-later

#include "runs/Run.h"

#include "cipher/FileTransform.h"
#include "cipher/Leftovers.h"
#include "cipher/Progress.h"
#include "platform/MessageBox.h"
#include "runs/ProcessFile.h"
#include "widgets/FramePacer.h"
#include "widgets/ImageList.h"
#include "widgets/StatusList.h"

#include <QCoreApplication>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// One click of a run button, in either mode.
class Run
{
public:
    Run(RunState& state, const RunControls& controls, ModePanel& mode)
        : m_state(state)
        , m_controls(controls)
        , m_mode(mode)
        , m_design(mode.design)
    { }

    void click()
    {
        m_state.lngTotalBytes = 0;
        m_state.lngFileBytes = 0;
        if (m_state.blnRunning) {
            cancel();
            return;
        }
        // A run cancelled from the other mode's button can still be winding down inside this click's yield.
        // Starting a run there would hand the old run a cleared cancel flag and new rows to write into, so the
        // start waits until the old run has returned.
        if (m_state.runsInProgress > 0) {
            m_state.pendingStart = &m_design;
            return;
        }
        ++m_state.runsInProgress;
        start();
        --m_state.runsInProgress;
        // A closed window takes no further clicks.
        if (const ModeDesign* pending = std::exchange(m_state.pendingStart, nullptr); pending && !m_state.closed)
            Run(m_state, m_controls, m_controls.panel(pending->blnEncrypt)).click();
    }

private:
    // The click of a run button while a run is active: the run sees the flag at its next checkpoint, or before its
    // next file, and stops there.
    void cancel()
    {
        m_state.blnCancel = True;
        m_mode.showIdle();
        // The other mode's run stops too, and its panel says so: no button offers "Cancel" while no run is
        // active. Its queue stays, for a later click to run.
        if (m_state.runningMode != &m_design)
            m_controls.panel(m_state.runningMode->blnEncrypt).showIdle();
        m_state.blnRunning = False;
        m_mode.clearQueue();
        m_controls.lvw->removeAllRows();
        m_mode.disableRun();
    }

    void start()
    {
        m_state.blnCancel = False;
        m_controls.lvw->removeAllRows();
        if (!acceptsStart())
            return;
        m_state.intProgressBase = 0;
        const int fileCount = m_mode.queueCount();
        if (begin(fileCount))
            runFiles(fileCount);
    }

    // A run needs a key, exactly empty being none (a key of spaces is a key), and files to work on.
    [[nodiscard]] bool acceptsStart()
    {
        if (m_mode.keyText().isEmpty()) {
            Platform::MessageBox::show(m_controls.window, FileError::noKey().description,
                                       Platform::MessageBox::Exclamation);
            return false;
        }
        if (m_mode.queueCount() == 0) {
            m_mode.disableRun();
            return false;
        }
        return true;
    }

    // The queue is locked and every file measured; then the panel turns busy and the run is active. False when a
    // file cannot be measured.
    [[nodiscard]] bool begin(int fileCount)
    {
        // The queue stays as it is while the run reads it by position.
        m_mode.lockQueue();
        if (!measure(fileCount))
            return false;
        m_mode.showRunning();
        beginSweepRound();
        m_state.blnRunning = True;
        m_state.runningMode = &m_design;
        return true;
    }

    // Takes every queued file's length, read-only: a file that cannot be opened ends the run before any row. The
    // message names only the error, so the queue box shows which entry it was.
    [[nodiscard]] bool measure(int fileCount)
    {
        m_lengths.clear();
        for (int p = 0; p < fileCount; ++p) {
            FileTransform file;
            if (const FileError error = file.open(m_mode.queuedPath(p)); error.isError()) {
                m_mode.showQueued(p);
                fail(error);
                return false;
            }
            m_lengths.append(file.length());
            m_state.lngTotalBytes += file.length();
        }
        m_runBytes = m_state.lngTotalBytes;
        return true;
    }

    // The file loop, until the last file or a cancel, and the panel at rest after a completed run.
    void runFiles(int fileCount)
    {
        // The window paints at most once a frame while the run goes on, and everything when it ends, however it
        // ends: a row that lives for less than a frame was never seen before either.
        FramePacer frames(m_controls.window);
        QObject::connect(&frames, &FramePacer::aboutToPaint, [this] {
            if (std::exchange(m_scrollOwed, false))
                m_controls.lvw->scrollTo(m_state.itmCurrent);
        });
        for (int p = 0; p < fileCount; ++p) {
            if (m_state.blnCancel)
                return;
            processFile(p, frames);
            // Once between files, whatever their size: the row is final on screen when a frame is due, and a click
            // lands here (a cancel is seen before the next row).
            if (p + 1 < fileCount) {
                frames.presentIfDue();
                QCoreApplication::processEvents();
            }
        }
        if (m_state.blnCancel)
            return;
        frames.present();
        complete();
    }

    // The file at queue position p: its row, ProcessFile on it, and the run's progress once it is done.
    void processFile(int p, FramePacer& frames)
    {
        StatusList* const lvw = m_controls.lvw;
        m_state.itmCurrent = lvw->addRow(m_controls.imgl.image(m_design.rowImage));
        lvw->setSubItem(m_state.itmCurrent, StatusList::FileNo, QString::number(p + 1));
        lvw->setSubItem(m_state.itmCurrent, StatusList::Path, m_mode.queuedPath(p));
        lvw->setSubItem(m_state.itmCurrent, StatusList::Status, u"Loading..."_s);
        // The list follows the file in work. A file that shows its row bar is scrolled to at once, so the bar is
        // placed in sight; a shorter one when the window next paints, so a run of them scrolls once a frame.
        m_scrollOwed = checkpointCount(m_lengths.at(p)) == 0;
        if (!m_scrollOwed)
            lvw->scrollTo(m_state.itmCurrent);
        // On screen at once when files take longer than a frame, so the row is seen while its file is in work.
        frames.beginStage();
        // A cancel click may have removed the row meanwhile; the list ignores writes to a removed row.
        if (ProcessFile(m_state, m_controls, frames, m_mode.queuedPath(p), m_design.blnEncrypt, m_lengths.at(p)))
            lvw->setSubItem(m_state.itmCurrent, StatusList::Status, QString::fromUtf16(m_design.successText));
        // Cumulative, so rounding never drifts and the last file ends at 100.
        m_doneBytes += m_lengths.at(p);
        m_state.intProgressBase = wholePercent(m_doneBytes, m_runBytes);
    }

    // After the last file: the panel at rest, its queue done.
    void complete()
    {
        m_state.blnRunning = False;
        m_mode.showIdle();
        m_mode.clearQueue();
    }

    // The message first, over the panel as the failure found it; then the idle picture, both bars back at 0, the idle
    // captions, in that order. The queue and the rows stay, and the run button stays enabled, so the user can fix
    // the queue and retry.
    void fail(const FileError& error)
    {
        reportError(m_controls.window, QString::fromUtf16(m_design.errorLead) + u"us with the details."_s, error);
        m_mode.showIdlePicture();
        m_mode.resetBar();
        resetRowBar(m_controls.proglvw);
        m_mode.showIdleCaptions();
        m_state.blnCancel = False;
        m_state.blnRunning = False;
        m_mode.unlockQueue();
    }

    RunState& m_state;
    const RunControls& m_controls;
    ModePanel& m_mode;
    const ModeDesign& m_design;
    QList<qint64> m_lengths;
    qint64 m_runBytes = 0;
    qint64 m_doneBytes = 0;
    bool m_scrollOwed = false;
};

} // namespace

void clickRun(RunState& state, const RunControls& controls, Flag blnEncrypt)
{
    Run(state, controls, controls.panel(blnEncrypt)).click();
}
