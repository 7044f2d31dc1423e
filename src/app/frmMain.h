#pragma once

#include "app/ImageList.h"

#include <QPersistentModelIndex>
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
struct RunMode;

// Flags keep their 16-bit form: True is -1, False is 0; any non-zero value counts as set.
using Flag = qint16;
inline constexpr Flag True = -1;
inline constexpr Flag False = 0;

// The main window: two modes (encrypt and decrypt), each with its own queue, key, run button and overall
// progress bar, above one status list shared by both.
class frmMain : public QWidget
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

    // Encrypt panel
    QFrame* fraEncrypt;
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

    // Decrypt panel
    QFrame* fraDecrypt;
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

    // Run state, one set for the window, shared by both modes.
    Flag blnRunning = False;
    Flag blnCancel = False;
    QPersistentModelIndex itmCurrent;
    qint64 lngTotalBytes = 0;
    qint64 lngFileBytes = 0;
    qint16 intProgressBase = 0;

    void Form_Load();
    void Form_Unload(int& cancel);

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
    void closeEvent(QCloseEvent* event) override;

private:
    friend class tst_ProcessFile;
    friend class Run;

    // Set once the window is closed: a run still in a yield then writes nothing more.
    bool m_unloaded = false;

    // Run handlers on the stack (a cancelled run winds down inside a yield), and a start clicked meanwhile.
    int m_runsInProgress = 0;
    const RunMode* m_pendingStart = nullptr;

    std::unique_ptr<frmAbout> m_about; // created at the first About command, kept for the program's life

    // `measuredLength` is the length the run's size pass found; a file that no longer has it fails.
    bool ProcessFile(const QString& strPath, Flag blnEncrypt, qint64 measuredLength);

    void buildBanner();
    void buildModeButtons();
    void buildEncryptPanel();
    void buildDecryptPanel();
    void buildStatusArea();
    void connectHandlers();
};
