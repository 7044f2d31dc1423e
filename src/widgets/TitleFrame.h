// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>

// On Wayland Qt draws a window's title bar itself, and in Qt 6.4 that bar always has minimise and maximise
// buttons, whatever the window's flags say. A TitleFrame stands in for it: a window without Qt's bar that holds
// the given window (which becomes its child) under a plain bar of its own with the window's icon, its caption
// and a Close button. Dragging the bar moves the frame; closing the frame closes the window inside.
class TitleFrame : public QWidget
{
    Q_OBJECT

public:
    explicit TitleFrame(QWidget* window);

protected:
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* m_window;
};
