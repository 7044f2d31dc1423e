// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/FileDropTarget.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace {

// The full paths of the local files and folders a drag carries, in its order.
QStringList localFiles(const QMimeData* data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QFileInfo info(url.toLocalFile());
        if (info.isFile() || info.isDir())
            files.append(info.absoluteFilePath());
    }
    return files;
}

} // namespace

FileDropTarget::FileDropTarget(QWidget* panel, QWidget* gate, Receiver receiver)
    : QObject(panel)
    , m_panel(panel)
    , m_gate(gate)
    , m_receiver(std::move(receiver))
{
    panel->setAcceptDrops(true);
    panel->installEventFilter(this);
    // Text fields take drops themselves; files dropped on them belong to the queue as well.
    for (QLineEdit* field : panel->findChildren<QLineEdit*>())
        field->installEventFilter(this);
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);

    auto* drag = static_cast<QDropEvent*>(event);
    const QMimeData* data = drag->mimeData();
    if (!data || !data->hasUrls()) {
        // A text field keeps its own handling of dragged text (a key, say); the panel itself takes none.
        if (watched != m_panel)
            return QObject::eventFilter(watched, event);
        drag->ignore();
        return true;
    }

    // Looking at the files once per drag is enough: a drag's contents never change while it moves.
    QStringList files;
    if (type == QEvent::DragEnter)
        m_dragCarriesFiles = !localFiles(data).isEmpty();
    if (type == QEvent::Drop) {
        files = localFiles(data);
        m_dragCarriesFiles = !files.isEmpty();
    }

    // A file manager may offer to move; the queue only reads the files, so it takes a copy, never a move that
    // would let the source delete them.
    if (m_dragCarriesFiles && m_gate->isEnabled() && (drag->possibleActions() & Qt::CopyAction)) {
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        if (type == QEvent::Drop)
            m_receiver(files);
    } else {
        drag->ignore();
    }
    return true;
}
