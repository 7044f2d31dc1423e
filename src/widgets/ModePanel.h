// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "widgets/ModeDesign.h"

#include <QFrame>
#include <QStringList>

class QComboBox;
class QLabel;
class QueueFeed;
class QLineEdit;
class QProgressBar;
class QPushButton;

// One mode's panel (fraEncrypt or fraDecrypt), drawn from the mode's design: its queue with the Add and Clear
// commands and drops of files and folders, its key, its run button with the captions beside it, and its overall
// progress bar. It keeps these controls to itself and offers what the queue commands and the run engine do with them;
// each control carries its object name from the design, by which the window knows it too.
class ModePanel : public QFrame
{
    Q_OBJECT

public:
    // A panel of `window`. The next Add of either mode opens in `addFolder`, which both panels of the window share.
    ModePanel(const ModeDesign& modeDesign, QString& addFolder, QWidget* window);

    const ModeDesign& design;

    // Add: asks the open-file dialog for files and queues the answer.
    void addFiles();
    // Empties the queue and its text field: Clear, and what a completed or cancelled run does.
    void clearQueue();
    // Files join the end of the queue as if chosen in the Add dialog, and the run button is enabled.
    void queueChosen(const QStringList& paths);
    // Files and folders given from outside the Add dialog (a drop, the window's command line, a later start of
    // Zafrel) join the end of the queue in the order given, a folder as the files its walk finds (QueueFeed). While
    // they are gone through the run button is disabled, so that no run starts over half a folder; once all is gone
    // through it is enabled as Add enables it, and whatever was left out is named in one message.
    void queueGiven(const QStringList& paths);
    // Forgets whatever given paths are still to be gone through: Clear, and the window closing.
    void stopFilling();
    // Whether files may join the queue now: not while its own run reads it.
    [[nodiscard]] bool takesFiles() const;

    // What a run reads: the key as typed, and the queue by position.
    [[nodiscard]] QString keyText() const;
    [[nodiscard]] int queueCount() const;
    [[nodiscard]] QString queuedPath(int position) const;
    // The queue box's text field shows the entry at `position`.
    void showQueued(int position);

    // A run locks the queue (Add and Clear disabled) while it reads it by position, and shows itself busy: the busy
    // picture on the run button and the captions that offer the cancel. At rest (showIdle) the panel shows the idle
    // picture and captions, and its queue commands work again; the run's error exit puts the picture back before it
    // resets the bars and the captions after, hence their verbs of their own.
    void lockQueue();
    void showRunning();
    void showIdle();
    void showIdlePicture();
    void showIdleCaptions();
    void unlockQueue();
    // After a cancel, or a start over an empty queue, the run button is disabled until files are queued again.
    void disableRun();

    // The overall progress bar: shown by every file that is worked on, moved at checkpoints, back to 0 when a file
    // is cancelled or fails.
    void showBar();
    void setBarValue(int percent);
    void resetBar();

private:
    void buildQueueRow();
    void buildKeyRow();
    void buildRunRow();
    void showCaptions(const QString& label, const QString& description);
    void appendToQueue(const QStringList& paths);
    void endFilling(const QStringList& leftOut);

    QString& m_addFolder;
    QComboBox* m_queue;
    QPushButton* m_add;
    QPushButton* m_clear;
    QLineEdit* m_key;
    QPushButton* m_run;
    QLabel* m_runLabel;
    QLabel* m_runDesc;
    QProgressBar* m_bar;
    QueueFeed* m_feed;
};
