// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/ClickLabel.h"

#include <QMouseEvent>

ClickLabel::ClickLabel(QWidget* parent)
    : QLabel(parent)
{ }

ClickLabel::ClickLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{ }

void ClickLabel::click()
{
    Q_EMIT clicked();
}

void ClickLabel::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

// The second press of a double-click arrives as a double-click event, which QWidget would hand on as a press:
// it is taken and dropped here, so a double-click counts as one click.
void ClickLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool clickedHere
        = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (clickedHere)
        click();
}
