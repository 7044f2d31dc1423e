#include "app/StatusList.h"
#include "app/frmMain.h"
#include "cipher/FileTransform.h"
#include "platform/MessageBox.h"
#include "runs/RunMode.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Whole-number percent of `part` in `whole`, a half going to the even neighbour; exact, in integers.
qint16 wholePercent(qint64 part, qint64 whole)
{
    if (whole <= 0)
        return 0;
    const qint64 scaled = part * 100;
    qint64 percent = scaled / whole;
    const qint64 twiceRest = 2 * (scaled % whole);
    if (twiceRest > whole || (twiceRest == whole && percent % 2 != 0))
        ++percent;
    return static_cast<qint16>(percent);
}

} // namespace

// One click of a run button, in either mode. Every click of either button lands here; while a run is active
// the click is that run's cancel, and it may arrive nested inside the running click's yield.
class Run
{
public:
    Run(frmMain& form, const RunMode& mode)
        : m_form(form)
        , m_mode(mode)
        , m_run(form.*mode.run)
        , m_queue(form.*mode.queue)
    { }

    void click()
    {
        m_form.lngTotalBytes = 0;
        m_form.lngFileBytes = 0;
        if (m_form.blnRunning) {
            cancel();
            return;
        }
        // A run cancelled from the other mode's button can still be winding down inside this click's yield.
        // Starting a run there would hand the old run a cleared cancel flag and new rows to write into, so the
        // start waits until the old run has returned.
        if (m_form.m_runsInProgress > 0) {
            m_form.m_pendingStart = &m_mode;
            return;
        }
        ++m_form.m_runsInProgress;
        start();
        --m_form.m_runsInProgress;
        // A closed window takes no further clicks.
        if (const RunMode* pending = std::exchange(m_form.m_pendingStart, nullptr); pending && !m_form.m_unloaded)
            Run(m_form, *pending).click();
    }

private:
    void cancel()
    {
        m_form.blnCancel = True;
        showIdle();
        control(m_mode.add)->setEnabled(true);
        endRun();
        clearQueue();
        m_form.lvw->removeAllRows();
        m_run->setEnabled(false);
    }

    void start()
    {
        m_form.blnCancel = False;
        m_form.lvw->removeAllRows();
        // Exactly empty: a key of spaces is a key.
        if (control(m_mode.key)->text().isEmpty()) {
            Platform::MessageBox::show(&m_form, u"No key given!"_s, Platform::MessageBox::Exclamation);
            return;
        }
        if (m_queue->count() == 0) {
            m_run->setEnabled(false);
            return;
        }
        m_form.intProgressBase = 0;
        const int fileCount = m_queue->count();
        // The queue stays as it is while the run reads it by position.
        control(m_mode.add)->setEnabled(false);
        control(m_mode.clear)->setEnabled(false);
        if (!measure(fileCount))
            return;
        m_run->setIcon(Resources::icon(Resources::BusyIcon));
        setCaptions(u"Cancel"_s, u"Click to cancel encryption"_s);
        m_form.blnRunning = True;

        const qint64 runBytes = m_form.lngTotalBytes;
        qint64 doneBytes = 0;
        for (int p = 0; p < fileCount; ++p) {
            if (m_form.blnCancel)
                return;
            m_form.itmCurrent = m_form.lvw->addRow(m_form.imgl.image(m_mode.rowImage));
            m_form.lvw->setSubItem(m_form.itmCurrent, StatusList::FileNo, QString::number(p + 1));
            m_form.lvw->setSubItem(m_form.itmCurrent, StatusList::Path, m_queue->itemText(p));
            m_form.lvw->setSubItem(m_form.itmCurrent, StatusList::Status, u"Loading..."_s);
            // The list follows the file in work, so its row bar stays in sight.
            m_form.lvw->scrollTo(m_form.itmCurrent);
            m_form.lvw->repaint();
            // A cancel click may have removed the row meanwhile; the list ignores writes to a removed row.
            if (m_form.ProcessFile(m_queue->itemText(p), m_mode.blnEncrypt, m_lengths.at(p)))
                m_form.lvw->setSubItem(m_form.itmCurrent, StatusList::Status, QString::fromUtf16(m_mode.successText));
            // Cumulative, so rounding never drifts and the last file ends at 100.
            doneBytes += m_lengths.at(p);
            m_form.intProgressBase = wholePercent(doneBytes, runBytes);
            // Once between files, whatever their size: the window repaints, and a click lands here (a cancel is
            // seen before the next row).
            if (p + 1 < fileCount)
                QCoreApplication::processEvents();
        }
        if (m_form.blnCancel)
            return;
        m_form.lvw->repaint();
        showIdle();
        clearQueue();
        control(m_mode.add)->setEnabled(true);
        endRun();
    }

    // Takes every queued file's length, read-only: a file that cannot be opened ends the run before any row.
    bool measure(int fileCount)
    {
        m_lengths.clear();
        for (int p = 0; p < fileCount; ++p) {
            FileTransform file(m_queue->itemText(p));
            if (const FileError error = file.open(); error.isError()) {
                fail(error);
                return false;
            }
            m_lengths.append(file.length());
            m_form.lngTotalBytes += file.length();
        }
        return true;
    }

    // The queue and the rows stay, and the run button stays enabled, so the user can fix the queue and retry.
    void fail(const FileError& error)
    {
        Platform::MessageBox::show(&m_form,
                                   QString::fromUtf16(m_mode.errorLead) + u"us with the details.\r\n"_s
                                       + QString::number(error.number) + u"\r\n"_s + error.description,
                                   Platform::MessageBox::OkOnly);
        m_run->setIcon(Resources::icon(m_mode.idleIcon));
        control(m_mode.bar)->setValue(0);
        m_form.proglvw->setValue(0);
        m_form.proglvw->hide();
        setCaptions(QString::fromUtf16(m_mode.idleLabel), QString::fromUtf16(m_mode.idleDesc));
        m_form.blnCancel = False;
        control(m_mode.add)->setEnabled(true);
        endRun();
    }

    // No run is active any more, so the queue of either mode may be cleared again, also the one whose run was
    // cancelled from the other mode's button.
    void endRun()
    {
        m_form.blnRunning = False;
        for (const RunMode* mode : {&EncryptRun, &DecryptRun})
            control(mode->clear)->setEnabled(true);
    }

    void showIdle()
    {
        m_run->setIcon(Resources::icon(m_mode.idleIcon));
        setCaptions(QString::fromUtf16(m_mode.idleLabel), QString::fromUtf16(m_mode.idleDesc));
    }

    // The run labels size themselves to their text, like every label of the panel.
    void setCaptions(const QString& label, const QString& description)
    {
        for (auto [widget, text] :
             {std::pair {control(m_mode.runLabel), label}, {control(m_mode.runDesc), description}}) {
            widget->setText(text);
            widget->adjustSize();
        }
    }

    void clearQueue()
    {
        m_queue->clear();
        m_queue->clearEditText();
    }

    template<typename W> W* control(W* frmMain::*member) const { return m_form.*member; }

    frmMain& m_form;
    const RunMode& m_mode;
    QPushButton* m_run;
    QComboBox* m_queue;
    QList<qint64> m_lengths;
};

void frmMain::cmdEncrypt_Click()
{
    Run(*this, EncryptRun).click();
}

void frmMain::cmdDecrypt_Click()
{
    Run(*this, DecryptRun).click();
}
