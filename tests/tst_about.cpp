// SPDX-License-Identifier: GPL-3.0-or-later

// Mouse events go through the window system, as a user's would: routed to the control under the pointer,
// and refused by a window that a modal one blocks.
#define QTEST_QPA_MOUSE_HANDLING

#include "WidgetHelpers.h"
#include "about/frmAbout.h"
#include "app/HelpAddress.h"
#include "app/Main.h"
#include "app/frmMain.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "widgets/LinkLabel.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// What the shell seam was asked to open, and from which folder; one request only.
QStringList describe(const QList<Platform::Shell::Request>& requests)
{
    if (requests.size() != 1)
        return {u"%1 requests"_s.arg(requests.size())};
    return {requests.first().file, requests.first().directory};
}

QColor textColour(const QWidget* w)
{
    return w->palette().color(QPalette::WindowText);
}

void tick(frmAbout* about)
{
    QVERIFY(QMetaObject::invokeMethod(about->Timer1, "timeout"));
}

const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);

} // namespace

class tst_About : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { SetUpApplication(); }
    void init()
    {
        m_seams.emplace();
        m_form = std::make_unique<frmMain>();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
    void cleanup()
    {
        m_form.reset();
        m_seams.reset();
    }

    void helpAddress_data();
    void helpAddress();
    void helpOpensBesideTheProgram();
    void aboutIsModalAndKept();
    void windowLook();
    void controls_data();
    void controls();
    void blinking();
    void closing_data();
    void closing();
    void links_data();
    void links();
    void doubleClickOpensOnce();

private:
    // Opens About with a real click on the main window's link and runs `whileOpen` inside its modal loop. A
    // window the test leaves open is closed afterwards (m_leftOpen says so), so a fault fails instead of hanging.
    frmAbout* openAbout(const std::function<void(frmAbout*)>& whileOpen)
    {
        frmAbout* about = nullptr;
        m_leftOpen = false;
        QTimer inside;
        inside.setSingleShot(true);
        connect(&inside, &QTimer::timeout, this, [&] {
            about = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
            if (!about)
                return;
            if (QTest::qWaitForWindowExposed(about))
                whileOpen(about);
            m_leftOpen = about->isVisible();
            if (m_leftOpen)
                about->close();
        });
        inside.start(0);
        QTest::mouseClick(m_form->lblAbout, Qt::LeftButton);
        return about;
    }

    std::optional<RecordedSeams> m_seams;
    std::unique_ptr<frmMain> m_form;
    bool m_leftOpen = false;
};

void tst_About::helpAddress_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("address");
    QTest::newRow("plain") << u"/usr/lib/zafrel"_s << u"file:///usr/lib/zafrel/Doc/help.htm"_s;
    QTest::newRow("blanks") << u"/home/a folder with blanks"_s << u"file:///home/a folder with blanks/Doc/help.htm"_s;
    // Nothing is escaped: the folder stands exactly as the system reports it.
    QTest::newRow("characters an address would escape")
        << u"/tmp/été #1 %20 [x]&y"_s << u"file:///tmp/été #1 %20 [x]&y/Doc/help.htm"_s;
    QTest::newRow("a folder without a leading slash") << u"C:/Zafrel"_s << u"file:///C:/Zafrel/Doc/help.htm"_s;
}

void tst_About::helpAddress()
{
    QFETCH(QString, folder);
    QFETCH(QString, address);
    QCOMPARE(::helpAddress(folder), address);
}

void tst_About::helpOpensBesideTheProgram()
{
    // From the executable's folder, never the current one; no message is shown even though no page lies there.
    QTemporaryDir elsewhere;
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    QTest::mouseClick(m_form->Label2, Qt::LeftButton);
    QDir::setCurrent(before);
    const QString folder = QCoreApplication::applicationDirPath();
    QCOMPARE(describe(Platform::Shell::takeRequests()), QStringList({::helpAddress(folder), folder}));
    QVERIFY(Platform::MessageBox::takeShown().isEmpty());
}

void tst_About::aboutIsModalAndKept()
{
    frmAbout* first = openAbout([this](frmAbout* about) {
        QVERIFY(!about->parentWidget());
        QCOMPARE(about->windowModality(), Qt::ApplicationModal);
        QTest::mouseClick(m_form->optDec, Qt::LeftButton);
        QVERIFY(about->isVisible());
        // It takes the keyboard itself: a key typed to whatever window has the focus reaches it.
        QVERIFY(QTest::qWaitForWindowActive(about));
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Escape);
    });
    QVERIFY(first);
    QVERIFY(!m_leftOpen);
    QVERIFY2(!m_form->optDec->isChecked(), "the main window took a click while About was open");
    QVERIFY2(!first->Timer1 && !first->Label2 && !first->Image1, "closing did not unload the controls");

    frmAbout* second = openAbout([](frmAbout* about) { QTest::keyClick(about, Qt::Key_Escape); });
    QCOMPARE(second, first);
    QVERIFY(!m_leftOpen);
}

void tst_About::windowLook()
{
    openAbout([](frmAbout* about) {
        QVERIFY(about->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(about->windowTitle().isEmpty());
        QCOMPARE(about->size(), QSize(366, 299));
        QCOMPARE(about->geometry().center(), about->screen()->availableGeometry().center());

        QStringList backToFront;
        for (const QWidget* w : about->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            backToFront << w->objectName();
        QCOMPARE(backToFront,
                 QStringList({u"Shape1"_s, u"Shape2"_s, u"Image1"_s, u"Image3"_s, u"Image2"_s, u"Label1"_s, u"Label2"_s,
                              u"Label3"_s, u"Label4"_s, u"Label5"_s, u"lblMailLeft"_s, u"Label6"_s, u"Label7"_s}));

        // The header band ends in a dark line 87 pixels down; the frame runs just inside the window's edges.
        const QImage image = about->grab().toImage();
        const QColor blue(18, 135, 205);
        const struct
        {
            QPoint at;
            QColor colour;
        } pixels[] = {{{200, 285}, blue},  {{350, 40}, White}, {{1, 40}, White},    {{350, 86}, Black},
                      {{350, 87}, blue},   {{0, 150}, Black},  {{364, 150}, Black}, {{365, 150}, blue},
                      {{200, 297}, Black}, {{200, 298}, blue}, {{200, 0}, Black}};
        for (const auto& p : pixels)
            QVERIFY2(image.pixelColor(p.at) == p.colour,
                     qPrintable(u"pixel %1,%2 is %3"_s.arg(p.at.x()).arg(p.at.y()).arg(image.pixelColor(p.at).name())));
        QTest::keyClick(about, Qt::Key_Escape);
    });
}

void tst_About::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry"); // a zero size means sized to its text
    QTest::addColumn<QString>("text");
    QTest::newRow("Label7") << u"Label7"_s << QRect(178, 72, 0, 0) << u"https://www.kelmot.example/"_s;
    QTest::newRow("Label6") << u"Label6"_s << QRect(178, 178, 0, 0) << u"joran@kelmot.example"_s;
    QTest::newRow("lblMailLeft") << u"lblMailLeft"_s << QRect(30, 178, 0, 0) << u"mirela@kelmot.example"_s;
    QTest::newRow("Label5") << u"Label5"_s << QRect(30, 196, 297, 71) << QString();
    QTest::newRow("Label4") << u"Label4"_s << QRect(188, 122, 0, 0) << u"Encryption at your fingertips!"_s;
    QTest::newRow("Label3") << u"Label3"_s << QRect(202, 160, 0, 0) << QString();
    QTest::newRow("Label2") << u"Label2"_s << QRect(52, 160, 0, 0) << QString();
    QTest::newRow("Label1") << u"Label1"_s << QRect(24, 140, 0, 0) << u"Programmers:"_s;
    QTest::newRow("Image2") << u"Image2"_s << QRect(78, 74, 32, 32) << QString();
    QTest::newRow("Image3") << u"Image3"_s << QRect(102, 90, 159, 44) << QString();
    QTest::newRow("Image1") << u"Image1"_s << QRect(30, 6, 300, 75) << QString();
}

void tst_About::controls()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    openAbout([&](frmAbout* about) {
        auto* label = about->findChild<QLabel*>(name);
        QVERIFY(label);
        QCOMPARE(label->pos(), geometry.topLeft());
        QCOMPARE(label->size(), geometry.isEmpty() ? label->sizeHint() : geometry.size());
        if (!text.isEmpty())
            QCOMPARE(label->text(), text);
        if (name.startsWith(u"Image"_s))
            QCOMPARE(label->pixmap().deviceIndependentSize().toSize(), geometry.size());
        if (qobject_cast<LinkLabel*>(label)) {
            QCOMPARE(textColour(label), QColor(0, 0, 255));
            QVERIFY(label->font().underline());
            QCOMPARE(label->cursor().shape(), Qt::BitmapCursor);
        }
        const QFont font = label->font();
        if (name == u"Label1")
            QVERIFY(font.bold() && !font.italic());
        if (name == u"Label4")
            QVERIFY(font.italic() && !font.bold());
        if (name == u"Label5") {
            QVERIFY(font.italic() && font.families().contains(u"Verdana"_s) && label->wordWrap());
            QVERIFY(label->heightForWidth(label->width()) <= label->height());
        }
        if (name == u"Label2" || name == u"Label3")
            QVERIFY(!label->text().isEmpty() && font == about->font());
        QTest::keyClick(about, Qt::Key_Escape);
    });
}

void tst_About::blinking()
{
    const QColor standard = QApplication::palette().color(QPalette::WindowText);
    frmAbout* shown = openAbout([&](frmAbout* about) {
        QCOMPARE(about->blnBlink, False);
        QVERIFY(about->Timer1->isActive());
        QCOMPARE(about->Timer1->interval(), 1000);
        QCOMPARE(textColour(about->Label2), standard);
        QCOMPARE(textColour(about->Label3), standard);
        tick(about);
        QCOMPARE(textColour(about->Label2), White);
        QCOMPARE(textColour(about->Label3), Black);
        tick(about);
        QCOMPARE(textColour(about->Label2), Black);
        QCOMPARE(textColour(about->Label3), White);
        tick(about);
        QTest::keyClick(about, Qt::Key_Escape);
    });
    QVERIFY(!m_leftOpen);
    QCOMPARE(shown->blnBlink, True);

    openAbout([&](frmAbout* about) {
        QCOMPARE(textColour(about->Label2), standard);
        QCOMPARE(textColour(about->Label3), standard);
        tick(about);
        QCOMPARE(textColour(about->Label3), White);
        QCOMPARE(textColour(about->Label2), Black);
        // The real timer drives the same step, once a second.
        QTRY_COMPARE_WITH_TIMEOUT(about->blnBlink, True, 2000);
        QCOMPARE(textColour(about->Label2), White);
        QTest::keyClick(about, Qt::Key_Escape);
    });
}

void tst_About::closing_data()
{
    QTest::addColumn<int>("key"); // a key pressed, or 0
    QTest::addColumn<int>("button"); // a mouse button pressed (and, on a control, released)
    QTest::addColumn<QPoint>("at"); // where the button goes down on the window, when no control is named
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("closes");

    const std::pair<const char*, int> keys[] = {{"letter", Qt::Key_A},
                                                {"Escape", Qt::Key_Escape},
                                                {"Return", Qt::Key_Return},
                                                {"Tab", Qt::Key_Tab},
                                                {"F1", Qt::Key_F1},
                                                {"Shift alone", Qt::Key_Shift},
                                                {"Control alone", Qt::Key_Control},
                                                {"Alt alone", Qt::Key_Alt}};
    for (const auto& [name, key] : keys)
        QTest::newRow(name) << key << 0 << QPoint() << QString() << true;

    const std::pair<const char*, QPoint> places[]
        = {{"background", {200, 285}}, {"header band", {350, 40}}, {"frame", {0, 150}}, {"band's border", {350, 86}}};
    const std::pair<const char*, Qt::MouseButton> buttons[]
        = {{"left", Qt::LeftButton}, {"right", Qt::RightButton}, {"middle", Qt::MiddleButton}};
    for (const auto& [place, at] : places)
        for (const auto& [name, button] : buttons)
            QTest::addRow("%s press on %s", name, place) << 0 << int(button) << at << QString() << true;

    for (const char* name : {"Image1", "Image3", "Label4", "Label5"})
        QTest::addRow("click on %s", name) << 0 << int(Qt::LeftButton) << QPoint() << QString::fromLatin1(name) << true;
    for (const char* name : {"Label1", "Label2", "Label3", "Image2"}) {
        QTest::addRow("click on %s", name)
            << 0 << int(Qt::LeftButton) << QPoint() << QString::fromLatin1(name) << false;
        QTest::addRow("right click on %s", name)
            << 0 << int(Qt::RightButton) << QPoint() << QString::fromLatin1(name) << false;
    }
    QTest::newRow("right click on a link") << 0 << int(Qt::RightButton) << QPoint() << u"Label7"_s << false;
}

void tst_About::closing()
{
    QFETCH(int, key);
    QFETCH(int, button);
    QFETCH(QPoint, at);
    QFETCH(QString, control);
    QFETCH(bool, closes);
    const auto mouseButton = Qt::MouseButton(button);
    bool closedOnPress = false;
    openAbout([&](frmAbout* about) {
        if (key) {
            QTest::keyPress(about, Qt::Key(key));
            closedOnPress = !about->isVisible();
            QTest::keyRelease(about, Qt::Key(key));
        } else if (control.isEmpty()) {
            QCOMPARE(about->childAt(at), nullptr);
            QTest::mousePress(about, mouseButton, {}, at);
            closedOnPress = !about->isVisible();
            QTest::mouseRelease(about, mouseButton, {}, at);
        } else {
            auto* target = about->findChild<QWidget*>(control);
            QVERIFY(target);
            QCOMPARE(about->childAt(target->geometry().center()), target);
            QTest::mouseClick(target, mouseButton);
        }
    });
    QCOMPARE(!m_leftOpen, closes);
    if (key || control.isEmpty())
        QVERIFY2(closedOnPress, "closed on the release, not on the press");
    QVERIFY(Platform::Shell::takeRequests().isEmpty());
}

void tst_About::links_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("scheme");
    QTest::newRow("web address") << u"Label7"_s << QString();
    QTest::newRow("right programmer") << u"Label6"_s << u"mailto:"_s;
    QTest::newRow("left programmer") << u"lblMailLeft"_s << u"mailto:"_s;
}

void tst_About::links()
{
    QFETCH(QString, link);
    QFETCH(QString, scheme);
    openAbout([&](frmAbout* about) {
        auto* label = about->findChild<LinkLabel*>(link);
        QVERIFY(label);
        QVERIFY(label->text().endsWith(u".example/"_s) || label->text().endsWith(u"@kelmot.example"_s));
        QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(describe(Platform::Shell::takeRequests()),
                 QStringList({scheme + label->text(), QCoreApplication::applicationDirPath()}));

        QVERIFY(about->isVisible());
        QVERIFY(about->Timer1->isActive());
        const Flag before = about->blnBlink;
        tick(about);
        QCOMPARE(about->blnBlink, before ? False : True);
    });
    QVERIFY(m_leftOpen);
}

void tst_About::doubleClickOpensOnce()
{
    // Through the window system, as a person double-clicks: press, release, press, release, quickly.
    const auto doubleClick = [](QWidget* label) {
        QWidget* window = label->window();
        QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, label->mapTo(window, label->rect().center()));
    };
    doubleClick(m_form->Label2);
    QCOMPARE(Platform::Shell::takeRequests().size(), 1);
    openAbout([&](frmAbout* about) {
        doubleClick(about->Label7);
        QCOMPARE(Platform::Shell::takeRequests().size(), 1);
    });
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    tst_About test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_about.moc"
