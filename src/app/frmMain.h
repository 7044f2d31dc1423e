// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "runs/Run.h"
#include "runs/RunState.h"
#include "widgets/ImageList.h"

#include <QStringList>
#include <QWidget>
#include <memory>

class frmAbout;
class LinkLabel;
class StatusList;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The main window: two modes (encrypt and decrypt), each with its own panel (ModePanel: queue, key, run button and
// overall progress bar), above one status list shared by both. It holds every control under its own name (cmdEncrypt
// is the run button that fraEncrypt named so) and the run state of both modes. Its handlers forward to the panels
// (the queue commands) and to the run engine (the run buttons), which works on the panels through their verbs.
class frmMain : public QWidget, public RunState
{
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Banner and links
    QLabel* imgLogo;
    QLabel* Image2;
    LinkLabel* lblAbout;
    LinkLabel* Label2;

    // Mode buttons
    QPushButton* optEnc;
    QPushButton* optDec;

    // Encrypt panel: the panel and its controls
    ModePanel* fraEncrypt;
    QLabel* lblFilesEnc;
    QComboBox* cmbFilesEnc;
    QPushButton* cmdAddEnc;
    QPushButton* CmdClearEnc;
    QLabel* lblKeyEnc;
    QLineEdit* txtKeyEnc;
    QPushButton* cmdAutoKey;
    QFrame* Line4;
    QFrame* Line3;
    QPushButton* cmdEncrypt;
    QLabel* lblEncryptNow;
    QLabel* lblEncryptDescBig;
    QFrame* Shape2;
    QProgressBar* progEnc;

    // Decrypt panel: the panel and its controls
    ModePanel* fraDecrypt;
    QLabel* lblFilesDec;
    QComboBox* cmbFilesDec;
    QPushButton* CmdAddDec;
    QPushButton* CmdClearDec;
    QLabel* lblKeyDec;
    QLineEdit* txtKeyDec;
    QFrame* Line1;
    QFrame* Line2;
    QPushButton* cmdDecrypt;
    QLabel* lblDecDesc;
    QLabel* lblDecDscbig;
    QFrame* Shape1;
    QProgressBar* progDec;

    // Status area
    StatusList* lvw;
    QProgressBar* proglvw;
    ImageList imgl;

    // What the run engine works on.
    [[nodiscard]] RunControls runControls();

    // Files and folders handed to the window from outside: its command line, or a later start of Zafrel. The mode
    // is selected as a click on its button selects it, and `paths` join its queue as dropped ones do
    // (ModePanel::queueGiven: a folder as the files its walk finds; what is left out is named in a message). While
    // the mode takes no drops (during its own run), or the window is closing, nothing changes and the result says
    // why; else it is empty.
    QString openFiles(bool encrypt, const QStringList& paths);

    void Form_Load();
    void Form_Unload();

    void optEnc_Click();
    void optDec_Click();

    void cmdAddEnc_Click();
    void CmdAddDec_Click();
    void CmdClearEnc_Click();
    void CmdClearDec_Click();
    void cmdAutoKey_Click();

    void Label2_Click();
    void lblAbout_Click();

    void cmdEncrypt_Click();
    void cmdDecrypt_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<frmAbout> m_about; // created at the first About command, kept for the program's life
    QString m_addFolder; // where the next Add of either panel opens: the folder of the files chosen last

    void buildBanner();
    void buildModeButtons();
    void buildPanels();
    void buildStatusArea();
    void connectHandlers();
    void clearFiles(ModePanel& panel);
};
