// SPDX-License-Identifier: GPL-3.0-or-later

#include "about/frmAbout.h"

#include "platform/Shell.h"
#include "widgets/LinkLabel.h"
#include "widgets/Look.h"
#include "widgets/Resources.h"

#include <QApplication>
#include <QHideEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

using namespace Qt::StringLiterals;
using Look::make;
using Look::px;
using Look::twipsRect;

namespace {

// The credits and the maker's address: all fictional, under the reserved ".example" domain.
constexpr QStringView WebAddress = u"https://www.kelmot.example/";
constexpr QStringView LeftName = u"Mirela Tovasz";
constexpr QStringView LeftMail = u"mirela@kelmot.example";
constexpr QStringView RightName = u"Joran Eckwil";
constexpr QStringView RightMail = u"joran@kelmot.example";
constexpr QStringView Tagline = u"Queue your files, type a key or let Zafrel make one, and each file gets a scrambled "
                                u"twin beside it. Keep the key safe: without it the bytes stay unreadable to "
                                u"casual eyes.";

constexpr QColor WindowBlue {18, 135, 205};
constexpr QColor White {255, 255, 255};
constexpr QColor Black {0, 0, 0};

// A rectangle drawn with a one-pixel border in the window-text colour, filled white or not at all. It takes
// no mouse events: a press over it is a press on the window.
class Shape : public QWidget
{
public:
    Shape(bool filled, QWidget* parent)
        : QWidget(parent)
        , m_filled(filled)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (m_filled)
            painter.fillRect(rect(), White);
        painter.setPen(QPen(palette().color(QPalette::WindowText), 0));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    bool m_filled;
};

ClickLabel* makePicture(QWidget* parent, const QString& name, const QIcon& picture, const QRect& geometry)
{
    auto* image = make<ClickLabel>(parent, name);
    image->setGeometry(geometry);
    image->setPixmap(picture.pixmap(geometry.size(), image->devicePixelRatio()));
    return image;
}

ClickLabel* makeLabel(QWidget* parent, const QString& name, QStringView text, int left, int top, const QFont& font)
{
    auto* label = make<ClickLabel>(parent, name, text.toString());
    label->setFont(font);
    label->move(px(left), px(top));
    label->adjustSize();
    return label;
}

LinkLabel* makeLink(QWidget* parent, const QString& name, QStringView text, int left, int top)
{
    auto* link = make<LinkLabel>(parent, name, text.toString());
    link->move(px(left), px(top));
    return link;
}

void setTextColour(QWidget* label, const QColor& colour)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
}

} // namespace

frmAbout::frmAbout()
    : QDialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(u"frmAbout"_s);
    setWindowTitle(QString());
    setAccessibleName(Name.toString());
    setFixedSize(366, 299);
    setFont(Look::tahoma());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, WindowBlue);
    setPalette(pal);
    setAutoFillBackground(true);
}

frmAbout::~frmAbout() = default;

void frmAbout::showModal()
{
    load();
    centreOnScreen();
    exec();
    // Unloading waits until the modal loop has returned: a control may have closed the window from inside
    // its own event handler.
    unload();
}

void frmAbout::load()
{
    // Created back to front, so that each control is drawn over the ones made before it.
    Shape1 = make<Shape>(this, u"Shape1"_s, true);
    Shape1->setGeometry(twipsRect(-60, -30, 5625, 1335));
    Shape2 = make<Shape>(this, u"Shape2"_s, false);
    Shape2->setGeometry(twipsRect(0, 0, 5480, 4465));
    Image1 = makePicture(this, u"Image1"_s, Resources::aboutLogo(), twipsRect(450, 90, 4500, 1125));
    Image3 = makePicture(this, u"Image3"_s, Resources::aboutProductName(), twipsRect(1530, 1350, 2385, 660));
    Image2 = makePicture(this, u"Image2"_s, Resources::appIcon(), twipsRect(1170, 1110, 480, 480));
    Label1 = makeLabel(this, u"Label1"_s, u"Programmers:", 360, 2100, Look::tahoma(Look::Style::Bold));
    Label2 = makeLabel(this, u"Label2"_s, LeftName, 780, 2400, font());
    Label3 = makeLabel(this, u"Label3"_s, RightName, 3030, 2400, font());
    Label4 = makeLabel(this, u"Label4"_s, u"Encryption at your fingertips!", 2820, 1830,
                       Look::tahoma(Look::Style::Italic));
    Label5 = make<ClickLabel>(this, u"Label5"_s, Tagline.toString());
    Label5->setFont(Look::verdanaItalic());
    Label5->setWordWrap(true);
    Label5->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label5->setGeometry(twipsRect(450, 2940, 4455, 1065));
    lblMailLeft = makeLink(this, u"lblMailLeft"_s, LeftMail, 450, 2670);
    Label6 = makeLink(this, u"Label6"_s, RightMail, 2670, 2670);
    Label7 = makeLink(this, u"Label7"_s, WebAddress, 2670, 1080);
    Timer1 = make<QTimer>(this, u"Timer1"_s);
    Timer1->setInterval(1000);

    connect(Image1, &ClickLabel::clicked, this, &frmAbout::Image1_Click);
    connect(Image3, &ClickLabel::clicked, this, &frmAbout::Image3_Click);
    connect(Label4, &ClickLabel::clicked, this, &frmAbout::Label4_Click);
    connect(Label5, &ClickLabel::clicked, this, &frmAbout::Label5_Click);
    connect(Label6, &ClickLabel::clicked, this, &frmAbout::Label6_Click);
    connect(lblMailLeft, &ClickLabel::clicked, this, &frmAbout::lblMailLeft_Click);
    connect(Label7, &ClickLabel::clicked, this, &frmAbout::Label7_Click);
    connect(Timer1, &QTimer::timeout, this, &frmAbout::Timer1_Timer);
    Form_Load();
}

void frmAbout::unload()
{
    const QList<QObject*> controls {Timer1, Label7, Label6, lblMailLeft, Label5, Label4, Label3,
                                    Label2, Label1, Image2, Image3,      Image1, Shape2, Shape1};
    qDeleteAll(controls);
}

void frmAbout::centreOnScreen()
{
    // The screen the user is working on: the one of the main window when there is one.
    const QWidget* active = QApplication::activeWindow();
    const QScreen* screen = active ? active->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame(QPoint(), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void frmAbout::openLink(const QString& target)
{
    Platform::Shell::open(target, QCoreApplication::applicationDirPath());
}

bool frmAbout::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Every key belongs to this window: no shortcut may take it before the key press closes it.
        event->accept();
        return true;
    case QEvent::KeyPress:
        // Before QWidget's own handling, which would spend Tab on moving the focus.
        Form_KeyDown();
        return true;
    default:
        return QDialog::event(event);
    }
}

void frmAbout::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    Form_MouseDown();
}

void frmAbout::hideEvent(QHideEvent* event)
{
    // A closed window no longer blinks, even before its controls are unloaded.
    if (!event->spontaneous() && Timer1)
        Timer1->stop();
    QDialog::hideEvent(event);
}

void frmAbout::Form_Load()
{
    Timer1->start();
}

void frmAbout::Form_KeyDown()
{
    close();
}

void frmAbout::Form_MouseDown()
{
    close();
}

void frmAbout::Image1_Click()
{
    close();
}

void frmAbout::Image3_Click()
{
    close();
}

void frmAbout::Label4_Click()
{
    close();
}

void frmAbout::Label5_Click()
{
    close();
}

void frmAbout::Label6_Click()
{
    openLink(u"mailto:"_s + RightMail.toString());
}

void frmAbout::lblMailLeft_Click()
{
    openLink(u"mailto:"_s + LeftMail.toString());
}

void frmAbout::Label7_Click()
{
    openLink(WebAddress.toString());
}

void frmAbout::Timer1_Timer()
{
    if (blnBlink) {
        setTextColour(Label3, White);
        setTextColour(Label2, Black);
        blnBlink = False;
    } else {
        setTextColour(Label3, Black);
        setTextColour(Label2, White);
        blnBlink = True;
    }
}
