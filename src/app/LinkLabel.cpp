#include "app/LinkLabel.h"

#include "app/Look.h"
#include "app/Resources.h"

#include <QMouseEvent>

LinkLabel::LinkLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setFont(Look::tahoma(false, false, true));
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Look::LinkBlue);
    setPalette(pal);
    setAutoFillBackground(false);
    setCursor(Resources::linkCursor());
    adjustSize();
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        Q_EMIT clicked();
}
