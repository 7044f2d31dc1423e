// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "widgets/ModeDesign.h"

#include <QFrame>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// One mode's panel (fraEncrypt or fraDecrypt), drawn from the mode's design: its queue with the Add and Clear
// commands and file drops, its key, its run button with the captions beside it, and its overall progress bar. It
// owns these controls; the window gives each its own name as well (cmdEncrypt is fraEncrypt->run), and the run
// engine works on them here.
class ModePanel : public QFrame
{
    Q_OBJECT

public:
    // A panel of `window`. The next Add of either mode opens in `addFolder`, which both panels of the window share.
    ModePanel(const ModeDesign& modeDesign, QString& addFolder, QWidget* window);

    const ModeDesign& design;

    QLabel* filesLabel;
    QComboBox* queue;
    QPushButton* add;
    QPushButton* clear;
    QLabel* keyLabel;
    QLineEdit* key;
    QFrame* upperLine;
    QFrame* lowerLine;
    QPushButton* run;
    QLabel* runLabel;
    QLabel* runDesc;
    QFrame* shape;
    QProgressBar* bar;
    QPushButton* autoKey = nullptr; // the encrypt panel's only

    // Add: asks the open-file dialog for files and queues the answer.
    void addFiles();
    // Empties the queue and its text field: Clear, and what a completed or cancelled run does.
    void clearQueue();
    // Files join the end of the queue as if chosen in the Add dialog: what Add, a drop and files given from outside
    // the window (its command line, a later start of Zafrel) all do.
    void queueChosen(const QStringList& paths);

    // The run button's picture and the captions beside it, at rest and while a run is active.
    void showIdle();
    void showBusy();

private:
    void buildQueueRow();
    void buildKeyRow();
    void buildRunRow();
    void showRun(Resources::IconId picture, const QString& label, const QString& description);

    QString& m_addFolder;
};
