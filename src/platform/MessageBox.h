// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace Platform {

// A modal message box given a text and a style value. No title is passed, so it shows the application's name.
class MessageBox
{
public:
    enum Style : int
    {
        OkOnly = 0, // OK button, no icon
        Exclamation = 48, // OK button, exclamation icon
    };

    struct Shown
    {
        QString text;
        Style style;
    };

    static void show(QWidget* owner, const QString& text, Style style);

    // Tests: while recording, nothing is shown; every message is kept for takeShown().
    static void setRecording(bool recording);
    [[nodiscard]] static QList<Shown> takeShown();
};

} // namespace Platform
