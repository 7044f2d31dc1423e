// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>

class QSocketNotifier;

namespace Platform {

// Turns the requests to end the program that arrive as signals (SIGTERM from a session ending or `kill`, SIGINT
// from Ctrl+C in a terminal, SIGHUP from a closed terminal) into a Qt signal on the UI thread, emitted the next
// time events are processed, so that they can end the program as closing its window does. A second signal of the
// same kind ends the process at once, as if nothing had caught the first.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void received();

private:
    QSocketNotifier* m_notifier;
};

} // namespace Platform
