// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "cipher/FolderWalk.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <optional>

// Paths given to one mode's queue from outside the Add dialog: dropped on its panel, or handed to the window by its
// command line or a later start. They join the queue in the order given, a file as it is and a folder as the files
// that its walk finds for the mode (FolderWalk, the command line's walk), a slice at a time from the event loop, so
// that the window goes on answering while a folder of many thousand files fills the queue. Paths given meanwhile
// wait behind those given before. Whatever cannot be queued is kept with its reason until all is gone through.
class QueueFeed : public QObject
{
    Q_OBJECT

public:
    // `nothingToTake` says why a folder in which the walk finds no file is left out.
    QueueFeed(bool encrypt, QString nothingToTake, QObject* parent);

    // Goes through as much of `paths` as one slice allows at once, and through the rest from the event loop.
    void give(const QStringList& paths);
    [[nodiscard]] bool busy() const { return m_busy; }
    // While the queue is locked by its run, the feed waits; it goes on once the queue takes files again.
    void pause();
    void resume();
    // Forgets whatever is still to be gone through, and what was left out so far.
    void stop();

Q_SIGNALS:
    // Files for the end of the queue, in order.
    void found(const QStringList& paths);
    // All that was given is gone through; `leftOut` names each path that was not queued, with its reason when it
    // has one ("PATH: reason").
    void finished(const QStringList& leftOut);

private:
    [[nodiscard]] bool step(QStringList& found);
    void takeGiven(const QString& path, QStringList& found);
    void slice();

    bool m_encrypt;
    QString m_nothingToTake;
    QStringList m_given; // still to be gone through, in order
    std::optional<FolderWalk> m_walk;
    QString m_walked; // the folder m_walk goes through
    bool m_walkGaveAny = false; // a file or a failure
    QStringList m_leftOut;
    QTimer m_next;
    bool m_busy = false;
    bool m_paused = false;
};

// The message that names what was left out, a path (and its reason) on each line, at most so many of them.
[[nodiscard]] QString leftOutMessage(const QStringList& lines);
// The lines, one under the other, at most as many as a message box holds before it grows past the screen.
[[nodiscard]] QString namedLines(const QStringList& lines);
