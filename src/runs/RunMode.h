#pragma once

#include "app/Resources.h"
#include "app/frmMain.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// What tells an encryption run from a decryption run: the panel's controls, its texts and pictures, the row
// image and the direction. Everything else the two runs share.
struct RunMode
{
    QPushButton* frmMain::*run;
    QComboBox* frmMain::*queue;
    QPushButton* frmMain::*add;
    QPushButton* frmMain::*clear;
    QLineEdit* frmMain::*key;
    QLabel* frmMain::*runLabel;
    QLabel* frmMain::*runDesc;
    QProgressBar* frmMain::*bar;

    Resources::IconId idleIcon;
    const char16_t* idleLabel;
    const char16_t* idleDesc;
    int rowImage; // index in imgl
    Flag blnEncrypt;
    const char16_t* successText;
    // How this mode's run error message begins; the rest is shared.
    const char16_t* errorLead;
};

inline constexpr RunMode EncryptRun {
    &frmMain::cmdEncrypt,
    &frmMain::cmbFilesEnc,
    &frmMain::cmdAddEnc,
    &frmMain::CmdClearEnc,
    &frmMain::txtKeyEnc,
    &frmMain::lblEncryptNow,
    &frmMain::lblEncryptDescBig,
    &frmMain::progEnc,
    Resources::EncryptIcon,
    u"Encrypt Now!",
    u"Click to encrypt the files",
    1,
    True,
    u"Encrypted",
    u"There was an error while performing encryption. If this persists ,call ",
};

inline constexpr RunMode DecryptRun {
    &frmMain::cmdDecrypt,
    &frmMain::cmbFilesDec,
    &frmMain::CmdAddDec,
    &frmMain::CmdClearDec,
    &frmMain::txtKeyDec,
    &frmMain::lblDecDesc,
    &frmMain::lblDecDscbig,
    &frmMain::progDec,
    Resources::DecryptIcon,
    u"Decrypt Now!",
    u"Click to decrypt the file(s) to their original form",
    3,
    False,
    u"Decrypted",
    u"There was an error while performing Decryption. If this persists, contact ",
};
