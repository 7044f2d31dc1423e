#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>

// The application's pictures, drawn for it and carried in its resources.
namespace Resources {

enum IconId : int
{
    BusyIcon = 101, // a red cross: the run button of either mode while a run is active
    EncryptIcon = 102, // keys and a padlock: the encrypt run button at rest
    DecryptIcon = 103, // a key and a wand over a document: the decrypt run button at rest
};

QIcon appIcon();
QIcon icon(int id);
QPixmap banner();
QPixmap aboutLogo();
QPixmap aboutProductName();
// The pointing hand over link labels, hot spot at the fingertip.
QCursor linkCursor();

} // namespace Resources
