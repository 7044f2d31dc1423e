// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QCursor>
#include <QIcon>
#include <QStringView>

// The application's pictures, drawn for it and carried in its resources. Each comes at its own size and with twice
// the pixels for high-dpi screens; a picture on a label is taken from its icon at the label's size and pixel ratio.
namespace Resources {

enum IconId : int
{
    BusyIcon = 101, // a red cross: the run button of either mode while a run is active
    EncryptIcon = 102, // keys and a padlock: the encrypt run button at rest
    DecryptIcon = 103, // a key and a wand over a document: the decrypt run button at rest
};

// The status list's pictures, 16 x 16, by their place in its image list.
enum ListImage : int
{
    PadlockImage = 1, // rows of an encryption run
    RedCrossImage = 2, // a file refused (taken by this place) or failed (taken by its key)
    KeyImage = 3, // rows of a decryption run
};
inline constexpr QStringView ErrorImageKey = u"error_small";

QIcon appIcon();
QIcon icon(IconId id);
QIcon listImage(ListImage image);
QIcon banner();
QIcon aboutLogo();
QIcon aboutProductName();
// The pointing hand over link labels, hot spot at the fingertip, drawn for a screen of this pixel ratio.
QCursor linkCursor(qreal devicePixelRatio);

} // namespace Resources
