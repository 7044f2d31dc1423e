// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/FramePacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <chrono>

using namespace std::chrono_literals;

namespace {

// About one refresh of a common screen.
constexpr std::chrono::milliseconds FrameInterval = 16ms;

} // namespace

FramePacer::FramePacer(QWidget* window)
    : m_window(window->window())
{
    m_held.setSingleShot(true);
    connect(&m_held, &QTimer::timeout, this, &FramePacer::present);
    // A widget asks its top-level window to paint by sending it an UpdateRequest, posted for update() and sent at
    // once for repaint(); the window paints every widget that asked since its last paint, and flushes once.
    m_window->installEventFilter(this);
}

FramePacer::~FramePacer()
{
    if (!m_window)
        return;
    m_window->removeEventFilter(this);
    present();
}

void FramePacer::present()
{
    m_held.stop();
    m_nextFrame.setRemainingTime(FrameInterval);
    if (!m_window)
        return;
    Q_EMIT aboutToPaint();
    m_presenting = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(m_window, &request);
    m_presenting = false;
}

void FramePacer::presentIfDue()
{
    if (m_nextFrame.hasExpired())
        present();
}

void FramePacer::beginStage()
{
    if (m_stage.isValid() && m_stage.elapsed() >= FrameInterval.count())
        present();
    else
        presentIfDue();
    m_stage.start();
}

bool FramePacer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window || event->type() != QEvent::UpdateRequest || m_presenting)
        return false;
    if (m_nextFrame.hasExpired()) {
        // Nothing was painted for a frame: this request paints now and starts the next frame.
        m_held.stop();
        m_nextFrame.setRemainingTime(FrameInterval);
        Q_EMIT aboutToPaint();
        return false;
    }
    // The window keeps what is to be painted, and asks no more until it has painted; the timer asks for it.
    if (!m_held.isActive())
        m_held.start(std::chrono::milliseconds(m_nextFrame.remainingTime()));
    return true;
}
