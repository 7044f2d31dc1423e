// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QProgressBar;
class QPushButton;
class QWidget;

// The windows' measures and fonts. Positions are designed in twips, 15 to a pixel at 96 dots per inch.
namespace Look {

// Rounds to the nearest pixel on both sides of zero: controls may reach past the top-left corner.
constexpr int px(int twips)
{
    return twips >= 0 ? (twips + 7) / 15 : -((-twips + 7) / 15);
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

// A new control of `parent` under its object name, the name tests and screen readers find it by.
template<typename W, typename... Args> W* make(QWidget* parent, const QString& name, Args&&... args)
{
    auto* widget = new W(std::forward<Args>(args)..., parent);
    widget->setObjectName(name);
    return widget;
}

// A push button with its text, placed at `geometry`.
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text, const QRect& geometry);
// A progress bar from 0 to 100, at 0, without a text, placed at `geometry`.
QProgressBar* makeProgressBar(QWidget* parent, const QString& name, const QRect& geometry);
// Moves a bar only when its whole-number value changes: a file of 1002 to 1500 bytes stops at every byte, but its
// bars move at most about 100 times.
void setBarValue(QProgressBar* bar, int value);

inline constexpr QColor LinkBlue {0, 0, 255};

enum class Style
{
    Regular,
    Bold,
    Italic,
    Underlined,
};

// Tahoma and MS Sans Serif are rarely installed on Linux; the nearest sans faces at the same size stand in.
QFont tahoma(Style style = Style::Regular);
QFont msSansSerif();
QFont verdanaItalic();

} // namespace Look
