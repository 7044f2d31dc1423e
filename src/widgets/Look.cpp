// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/Look.h"

#include <QProgressBar>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace Look {

namespace {
constexpr qreal DesignPointSize = 8.25;

QFont sansFont(const QString& designFamily)
{
    QFont font;
    font.setFamilies({designFamily, u"Liberation Sans"_s, u"DejaVu Sans"_s});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(DesignPointSize);
    return font;
}
} // namespace

QFont tahoma(Style style)
{
    QFont font = sansFont(u"Tahoma"_s);
    font.setBold(style == Style::Bold);
    font.setItalic(style == Style::Italic);
    font.setUnderline(style == Style::Underlined);
    return font;
}

QFont msSansSerif()
{
    return sansFont(u"MS Sans Serif"_s);
}

QFont verdanaItalic()
{
    QFont font = sansFont(u"Verdana"_s);
    font.setItalic(true);
    return font;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text, const QRect& geometry)
{
    auto* button = make<QPushButton>(parent, name, text);
    button->setGeometry(geometry);
    return button;
}

QProgressBar* makeProgressBar(QWidget* parent, const QString& name, const QRect& geometry)
{
    auto* bar = make<QProgressBar>(parent, name);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setGeometry(geometry);
    return bar;
}

void setBarValue(QProgressBar* bar, int value)
{
    if (bar->value() != value)
        bar->setValue(value);
}

} // namespace Look
