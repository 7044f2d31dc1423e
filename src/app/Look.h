#pragma once

#include <QColor>
#include <QFont>

// The window's measures and fonts. Positions are designed in twips, 15 to a pixel at 96 dots per inch.
namespace Look {

// Rounds to the nearest pixel on both sides of zero: controls may reach past the top-left corner.
constexpr int px(int twips)
{
    return twips >= 0 ? (twips + 7) / 15 : -((-twips + 7) / 15);
}

inline constexpr QColor LinkBlue {0, 0, 255};

// Tahoma and MS Sans Serif are rarely installed on Linux; the nearest sans faces at the same size stand in.
QFont tahoma(bool bold = false, bool italic = false, bool underline = false);
QFont msSansSerif();
QFont verdanaItalic();

} // namespace Look
