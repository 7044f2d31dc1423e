// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "widgets/Flag.h"

#include <QDialog>
#include <QPointer>

class ClickLabel;
class LinkLabel;
class QTimer;

// The About window: the maker's logo and web address, the product name, the slogan, a tagline and the
// credits of two programmers whose names take turns in white once a second. Almost any key or press closes it.
//
// The object lives as long as the main window; its controls exist only while it is shown. Closing unloads
// them, so every showing starts with both names in the default colour, while blnBlink carries over.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    frmAbout();
    ~frmAbout() override;

    // The words of the main window's link that opens it, and what a screen reader calls it.
    static constexpr QStringView Name = u"About Zafrel";

    // Which name the next tick makes white: False the left one (Label2), True the right one (Label3).
    Flag blnBlink = False;

    // Controls, front to back; null while the window is not loaded.
    QPointer<QTimer> Timer1;
    QPointer<LinkLabel> Label7;
    QPointer<LinkLabel> Label6;
    QPointer<LinkLabel> lblMailLeft;
    QPointer<ClickLabel> Label5;
    QPointer<ClickLabel> Label4;
    QPointer<ClickLabel> Label3;
    QPointer<ClickLabel> Label2;
    QPointer<ClickLabel> Label1;
    QPointer<ClickLabel> Image2;
    QPointer<ClickLabel> Image3;
    QPointer<ClickLabel> Image1;
    QPointer<QWidget> Shape2;
    QPointer<QWidget> Shape1;

    // Loads the window, shows it modally without an owner, centred on the screen, and returns once it has
    // been closed and unloaded.
    void showModal();

    void Form_Load();
    void Form_KeyDown();
    void Form_MouseDown();
    void Image1_Click();
    void Image3_Click();
    void Label4_Click();
    void Label5_Click();
    void Label6_Click();
    void lblMailLeft_Click();
    void Label7_Click();
    void Timer1_Timer();

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void load();
    void unload();
    void centreOnScreen();
    void openLink(const QString& target);
};
