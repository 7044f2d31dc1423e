// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "widgets/ClickLabel.h"

// A label that looks and acts like a link: blue underlined text on a transparent ground, sized to its text,
// the pointing hand over it; a click (press and release over it) emits clicked(). Screen readers find it as a
// link named by its text, whose press action is a click.
class LinkLabel : public ClickLabel
{
    Q_OBJECT

public:
    LinkLabel(const QString& text, QWidget* parent);
};
