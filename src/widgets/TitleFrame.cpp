// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/TitleFrame.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {
constexpr int BarHeight = 30;
constexpr int Border = 1;
constexpr int IconSize = 22;
} // namespace

TitleFrame::TitleFrame(QWidget* window)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
    , m_window(window)
{
    setObjectName(u"TitleFrame"_s);
    setWindowTitle(window->windowTitle());
    setWindowIcon(window->windowIcon());
    setFixedSize(window->width() + 2 * Border, BarHeight + window->height() + Border);
    window->setParent(this, Qt::Widget);
    window->move(Border, BarHeight);

    auto* caption = new QLabel(windowTitle(), this);
    caption->setObjectName(u"lblFrameCaption"_s);
    caption->setAlignment(Qt::AlignCenter);
    caption->setGeometry(0, 0, width(), BarHeight);

    auto* icon = new QLabel(this);
    icon->setPixmap(windowIcon().pixmap(IconSize, IconSize));
    icon->setGeometry(Border + 5, (BarHeight - IconSize) / 2, IconSize, IconSize);

    auto* close = new QToolButton(this);
    close->setObjectName(u"cmdFrameClose"_s);
    close->setAccessibleName(u"Close"_s);
    close->setToolTip(u"Close"_s);
    close->setAutoRaise(true);
    close->setFocusPolicy(Qt::NoFocus);
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton, nullptr, this));
    close->setGeometry(width() - Border - 5 - IconSize, (BarHeight - IconSize) / 2, IconSize, IconSize);
    connect(close, &QToolButton::clicked, this, &QWidget::close);
}

void TitleFrame::closeEvent(QCloseEvent* event)
{
    event->setAccepted(m_window->close());
}

void TitleFrame::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && event->position().y() < BarHeight && windowHandle())
        windowHandle()->startSystemMove();
}

void TitleFrame::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
