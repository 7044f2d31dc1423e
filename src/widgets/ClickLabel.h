// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLabel>

// A label that keeps its mouse presses to itself, so a press on it never reaches the window behind, and
// emits clicked() for a left press released over it; a double-click is one click.
class ClickLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ClickLabel(QWidget* parent);
    ClickLabel(const QString& text, QWidget* parent);

    // What a click does, for those who click by other means (a screen reader's action).
    void click();

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};
