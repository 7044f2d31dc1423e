// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "widgets/Flag.h"
#include "widgets/Resources.h"

#include <QPalette>

// Everything that tells the encrypt mode from the decrypt mode, written once per mode: the panel (ModePanel) is
// drawn from it, and its queue commands and the run engine read it.
struct ModeDesign
{
    Flag blnEncrypt;

    // The panel's controls by object name.
    const char16_t* frame;
    const char16_t* filesLabel;
    const char16_t* queue;
    const char16_t* add;
    const char16_t* clear;
    const char16_t* keyLabel;
    const char16_t* key;
    const char16_t* upperLine;
    const char16_t* lowerLine;
    const char16_t* run;
    const char16_t* runLabel;
    const char16_t* runDesc;
    const char16_t* shape;
    const char16_t* bar;
    const char16_t* autoKey; // the Auto button, in the encrypt panel only

    // Texts and pictures of the panel and of its run.
    const char16_t* filesText;
    const char16_t* idleLabel;
    const char16_t* idleDesc;
    Resources::IconId idleIcon;
    Resources::ListImage rowImage;
    const char16_t* successText;
    const char16_t* errorLead; // how the run's error message begins; the rest is shared
    const char16_t* busyRefusal; // why files from a later start of Zafrel are not taken during the mode's run
    const char16_t* nothingToTake; // why a folder given to the queue, in which the walk finds no file, is left out

    // Whether the overall bar says what it is in a tooltip too (only the encrypt panel's does).
    bool barToolTip;

    // The open-file dialog of Add.
    const char16_t* dialogTitle;
    const char16_t* filterDescription;
    const char16_t* filterPattern;

    // Where the two panels' drawings differ, in twips.
    QPalette::ColorRole upperLineRole;
    int upperLineRight;
    int lowerLineTop;
    int shapeLeft;
    int barLeft;
};

inline constexpr ModeDesign EncryptMode {
    .blnEncrypt = True,
    .frame = u"fraEncrypt",
    .filesLabel = u"lblFilesEnc",
    .queue = u"cmbFilesEnc",
    .add = u"cmdAddEnc",
    .clear = u"CmdClearEnc",
    .keyLabel = u"lblKeyEnc",
    .key = u"txtKeyEnc",
    .upperLine = u"Line4",
    .lowerLine = u"Line3",
    .run = u"cmdEncrypt",
    .runLabel = u"lblEncryptNow",
    .runDesc = u"lblEncryptDescBig",
    .shape = u"Shape2",
    .bar = u"progEnc",
    .autoKey = u"cmdAutoKey",
    .filesText = u"File(s) to encrypt:",
    .idleLabel = u"Encrypt Now!",
    .idleDesc = u"Click to encrypt the files",
    .idleIcon = Resources::EncryptIcon,
    .rowImage = Resources::PadlockImage,
    .successText = u"Encrypted",
    .errorLead = u"There was an error while performing encryption. If this persists ,call ",
    .busyRefusal = u"the open window is encrypting files; queue these once its run has ended",
    .nothingToTake = u"no file to encrypt in it",
    .barToolTip = true,
    .dialogTitle = u"File to encrypt",
    .filterDescription = u"All Files (*.*)",
    .filterPattern = u"*.*",
    .upperLineRole = QPalette::Light,
    .upperLineRight = 7140,
    .lowerLineTop = 1365,
    .shapeLeft = 1140,
    .barLeft = 1170,
};

inline constexpr ModeDesign DecryptMode {
    .blnEncrypt = False,
    .frame = u"fraDecrypt",
    .filesLabel = u"lblFilesDec",
    .queue = u"cmbFilesDec",
    .add = u"CmdAddDec",
    .clear = u"CmdClearDec",
    .keyLabel = u"lblKeyDec",
    .key = u"txtKeyDec",
    .upperLine = u"Line1",
    .lowerLine = u"Line2",
    .run = u"cmdDecrypt",
    .runLabel = u"lblDecDesc",
    .runDesc = u"lblDecDscbig",
    .shape = u"Shape1",
    .bar = u"progDec",
    .autoKey = nullptr,
    .filesText = u"File(s) to decrypt:",
    .idleLabel = u"Decrypt Now!",
    .idleDesc = u"Click to decrypt the file(s) to their original form",
    .idleIcon = Resources::DecryptIcon,
    .rowImage = Resources::KeyImage,
    .successText = u"Decrypted",
    .errorLead = u"There was an error while performing Decryption. If this persists, contact ",
    .busyRefusal = u"the open window is decrypting files; queue these once its run has ended",
    .nothingToTake = u"no .enc file in it",
    .barToolTip = false,
    .dialogTitle = u"File to Decrypt",
    .filterDescription = u"Encrypted Files (*.enc)",
    .filterPattern = u"*.enc",
    .upperLineRole = QPalette::HighlightedText,
    .upperLineRight = 7200,
    .lowerLineTop = 1370,
    .shapeLeft = 1110,
    .barLeft = 1140,
};
