// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

// Paints a window at most once per frame while long work runs on the UI thread and yields often. It watches the
// top-level window that holds the given one, where paint requests go: on Wayland the main window sits inside a
// TitleFrame. The window's repaints are held and coalesced: each paint brings everything that changed since the
// last one on screen in one flush, so nothing is skipped, only paints that the next one would replace before
// anybody could see them. A held repaint comes at the latest a frame later: from presentIfDue() before the work
// yields, from a timer inside any yield or modal loop, or when the pacer ends. Window-system exposes are painted at
// once as ever.
class FramePacer : public QObject
{
    Q_OBJECT

public:
    explicit FramePacer(QWidget* window);
    ~FramePacer() override;
    FramePacer(const FramePacer&) = delete;
    FramePacer& operator=(const FramePacer&) = delete;

    // Brings every change on screen now.
    void present();
    // Brings every change on screen when a frame has passed since the last paint.
    void presentIfDue();
    // A stage of work begins that the screen should show while it lasts: shown at once when the stage before took
    // longer than a frame (this one likely will too), otherwise when a frame is due.
    void beginStage();

Q_SIGNALS:
    // Just before the pacer lets the window paint: the last moment to bring what is seen up to date.
    void aboutToPaint();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    QDeadlineTimer m_nextFrame {0};
    QElapsedTimer m_stage;
    QTimer m_held;
    bool m_presenting = false;
};
