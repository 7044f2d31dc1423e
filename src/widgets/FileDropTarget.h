// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QWidget;

// Lets the user drop files and folders from a file manager onto a panel. Only local files and folders count: remote
// addresses and anything else (a device, a pipe) are left out, and a drag that carries neither is refused. While the
// gate widget (the panel's Add button) is disabled every drop is refused.
class FileDropTarget : public QObject
{
public:
    using Receiver = std::function<void(const QStringList& paths)>;

    // Watches the panel and the text fields inside it; the panel owns the target.
    FileDropTarget(QWidget* panel, QWidget* gate, Receiver receiver);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_panel;
    QWidget* m_gate;
    Receiver m_receiver;
    bool m_dragCarriesFiles = false;
};
