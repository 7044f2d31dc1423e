// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "widgets/StatusList.h"

#include <QApplication>
#include <QDropEvent>
#include <QIcon>
#include <QMimeData>
#include <QObject>
#include <QPersistentModelIndex>
#include <QString>
#include <QUrl>
#include <QtGlobal>

// A control of a window by its object name; a missing one ends the test program, since nothing else can run.
template<typename W = QWidget> W* control(const QObject* window, const char* name)
{
    auto* w = window->findChild<W*>(QString::fromLatin1(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

// Drags `urls` onto `target` and drops them there, as a file manager does; true when the drop was taken as a copy.
inline bool sendDrag(QWidget* target, const QList<QUrl>& urls,
                     Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction)
{
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    // Taking a move would let the file manager delete what was dropped.
    return move.isAccepted() && drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

// What the status list shows, read through its model as any view reads it: its rows, and the text and icon of a
// row's cell (sub-item 0 is the row's own text and image). A removed row shows nothing.
inline int rowCount(const StatusList* list)
{
    return list->model()->rowCount();
}
inline QPersistentModelIndex listRow(const StatusList* list, int index)
{
    return QPersistentModelIndex(list->model()->index(index, 0));
}
inline QString subItem(const QModelIndex& row, int subItem)
{
    return row.siblingAtColumn(subItem).data().toString();
}
inline QIcon subItemIcon(const QModelIndex& row, int subItem)
{
    return row.siblingAtColumn(subItem).data(Qt::DecorationRole).value<QIcon>();
}

// While it lives, no message box, dialog or browser opens: the seams record what was asked (and the dialog
// answers from its queue). Each test holds one from init() to cleanup(), so none leaks into the next.
class RecordedSeams
{
public:
    RecordedSeams() { set(true); }
    ~RecordedSeams() { set(false); }
    RecordedSeams(const RecordedSeams&) = delete;
    RecordedSeams& operator=(const RecordedSeams&) = delete;

private:
    static void set(bool on)
    {
        Platform::MessageBox::setRecording(on);
        Platform::Shell::setRecording(on);
        Platform::FileDialog::setAnswering(on);
    }
};

// What the tests know of each mode's panel, written out here independently of the program.
struct ModeFacts
{
    bool encrypt;
    const char* option;
    const char* panel;
    const char* queue;
    const char* add;
    const char* clear;
    const char* key;
    const char* run;
    const char* label;
    const char* desc;
    const char* bar;
    int rowImage;
    int idleIcon;
    QString success;
    QString idleLabel;
    QString idleDesc;
    QString errorLead; // the run's own error message, before the error's number
    QString dialogTitle;
    QString filterDescription;
    QString filterPattern;
};

inline const ModeFacts& modeFacts(bool encrypt)
{
    using namespace Qt::StringLiterals;
    static const ModeFacts Encrypt {
        .encrypt = true,
        .option = "optEnc",
        .panel = "fraEncrypt",
        .queue = "cmbFilesEnc",
        .add = "cmdAddEnc",
        .clear = "CmdClearEnc",
        .key = "txtKeyEnc",
        .run = "cmdEncrypt",
        .label = "lblEncryptNow",
        .desc = "lblEncryptDescBig",
        .bar = "progEnc",
        .rowImage = 1,
        .idleIcon = 102,
        .success = u"Encrypted"_s,
        .idleLabel = u"Encrypt Now!"_s,
        .idleDesc = u"Click to encrypt the files"_s,
        .errorLead = u"There was an error while performing encryption. If this persists ,call us with the details."_s,
        .dialogTitle = u"File to encrypt"_s,
        .filterDescription = u"All Files (*.*)"_s,
        .filterPattern = u"*.*"_s,
    };
    static const ModeFacts Decrypt {
        .encrypt = false,
        .option = "optDec",
        .panel = "fraDecrypt",
        .queue = "cmbFilesDec",
        .add = "CmdAddDec",
        .clear = "CmdClearDec",
        .key = "txtKeyDec",
        .run = "cmdDecrypt",
        .label = "lblDecDesc",
        .desc = "lblDecDscbig",
        .bar = "progDec",
        .rowImage = 3,
        .idleIcon = 103,
        .success = u"Decrypted"_s,
        .idleLabel = u"Decrypt Now!"_s,
        .idleDesc = u"Click to decrypt the file(s) to their original form"_s,
        .errorLead
        = u"There was an error while performing Decryption. If this persists, contact us with the details."_s,
        .dialogTitle = u"File to Decrypt"_s,
        .filterDescription = u"Encrypted Files (*.enc)"_s,
        .filterPattern = u"*.enc"_s,
    };
    return encrypt ? Encrypt : Decrypt;
}
