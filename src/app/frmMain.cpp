#include "app/frmMain.h"

#include "about/frmAbout.h"
#include "app/LinkLabel.h"
#include "app/Look.h"
#include "app/Queue.h"
#include "app/Resources.h"
#include "app/StatusList.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <limits>

using namespace Qt::StringLiterals;
using Look::px;

namespace {

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

template<typename W, typename... Args> W* make(QWidget* parent, const QString& name, Args&&... args)
{
    auto* widget = new W(std::forward<Args>(args)..., parent);
    widget->setObjectName(name);
    return widget;
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, int left, int top, const QFont& font)
{
    auto* label = make<QLabel>(parent, name, text);
    label->setFont(font);
    label->move(px(left), px(top));
    label->adjustSize();
    return label;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text, const QRect& geometry)
{
    auto* button = make<QPushButton>(parent, name, text);
    button->setGeometry(geometry);
    return button;
}

// A one-pixel horizontal line in a colour of the palette.
QFrame* makeLine(QWidget* parent, const QString& name, QPalette::ColorRole role, int x1, int x2, int y)
{
    auto* line = make<QFrame>(parent, name);
    line->setGeometry(px(x1), px(y), px(x2) - px(x1), 1);
    line->setBackgroundRole(role);
    line->setAutoFillBackground(true);
    return line;
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

// What differs between the encrypt and the decrypt panel; everything else they share.
struct PanelDesign
{
    QString frame, filesLabel, queue, add, clear, keyLabel, key, upperLine, lowerLine, run, runLabel, runDesc, shape,
        bar;
    QString filesText, runLabelText, runDescText;
    int runIcon;
    QPalette::ColorRole upperLineRole;
    int upperLineEnd, lowerLineY;
    int shapeLeft, barLeft;
};

struct PanelControls
{
    QFrame* frame;
    QLabel* filesLabel;
    QComboBox* queue;
    QPushButton* add;
    QPushButton* clear;
    QLabel* keyLabel;
    QLineEdit* key;
    QFrame* upperLine;
    QFrame* lowerLine;
    QPushButton* run;
    QLabel* runLabel;
    QLabel* runDesc;
    QFrame* shape;
    QProgressBar* bar;
};

PanelControls buildPanel(QWidget* window, const PanelDesign& d)
{
    PanelControls c;
    c.frame = make<QFrame>(window, d.frame);
    c.frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    c.frame->setGeometry(twipsRect(30, 1140, 7185, 2415));
    c.frame->setFont(Look::msSansSerif());
    QWidget* p = c.frame;

    c.filesLabel = makeLabel(p, d.filesLabel, d.filesText, 210, 480, Look::msSansSerif());

    c.queue = make<QComboBox>(p, d.queue);
    c.queue->setEditable(true);
    // Typing in the text field never makes an entry: the queue holds only what Add chose.
    c.queue->setInsertPolicy(QComboBox::NoInsert);
    c.queue->setGeometry(twipsRect(1710, 450, 4000, 315));

    c.add = makeButton(p, d.add, u"Add..."_s, twipsRect(5820, 450, 615, 315));
    c.clear = makeButton(p, d.clear, u"Clear"_s, twipsRect(6510, 450, 615, 315));

    c.keyLabel = makeLabel(p, d.keyLabel, u"Key:"_s, 1170, 990, Look::msSansSerif());
    c.key = make<QLineEdit>(p, d.key);
    c.key->setMaxLength(std::numeric_limits<int>::max());
    c.key->setGeometry(twipsRect(1710, 990, 4000, 315));

    c.upperLine = makeLine(p, d.upperLine, d.upperLineRole, 30, d.upperLineEnd, 1350);
    c.lowerLine = makeLine(p, d.lowerLine, QPalette::Mid, 30, 7140, d.lowerLineY);

    c.run = makeButton(p, d.run, QString(), twipsRect(90, 1470, 885, 765));
    c.run->setIcon(Resources::icon(d.runIcon));
    c.run->setIconSize(QSize(32, 32));

    c.runLabel = makeLabel(p, d.runLabel, d.runLabelText, 1050, 1500, Look::tahoma(true));
    c.runDesc = makeLabel(p, d.runDesc, d.runDescText, 1050, 1800, Look::msSansSerif());

    c.shape = make<QFrame>(p, d.shape);
    c.shape->setFrameStyle(QFrame::Box | QFrame::Plain);
    c.shape->setLineWidth(1);
    c.shape->setGeometry(twipsRect(d.shapeLeft, 2040, 5895, 255));
    c.bar = makeProgressBar(p, d.bar, twipsRect(d.barLeft, 2070, 5835, 195));
    return c;
}

} // namespace

frmMain::frmMain(QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(u"frmMain"_s);
    setWindowTitle(u"Zafrel 1.0"_s);
    setWindowIcon(Resources::appIcon());
    setFont(Look::tahoma());
    setFixedSize(px(7245), px(6195));

    buildBanner();
    buildModeButtons();
    buildEncryptPanel();
    buildDecryptPanel();
    buildStatusArea();
    connectHandlers();
    installQueueDrops(*this);
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::buildBanner()
{
    imgLogo = make<QLabel>(this, u"imgLogo"_s);
    imgLogo->setGeometry(twipsRect(0, 0, 7350, 825));
    imgLogo->setPixmap(Resources::banner().pixmap(imgLogo->size(), imgLogo->devicePixelRatio()));

    Image2 = make<QLabel>(this, u"Image2"_s);
    Image2->setGeometry(twipsRect(90, 180, 480, 480));
    Image2->setPixmap(Resources::appIcon().pixmap(Image2->size(), Image2->devicePixelRatio()));

    lblAbout = make<LinkLabel>(this, u"lblAbout"_s, u"About Zafrel"_s);
    lblAbout->move(px(6060), px(180));
    Label2 = make<LinkLabel>(this, u"Label2"_s, u"Help"_s);
    Label2->move(px(6390), px(450));
}

void frmMain::buildModeButtons()
{
    optEnc = makeButton(this, u"optEnc"_s, u"&Encrypt Files"_s, twipsRect(30, 840, 1485, 315));
    optDec = makeButton(this, u"optDec"_s, u"&Decrypt Files"_s, twipsRect(1530, 840, 1485, 315));
    auto* group = new QButtonGroup(this);
    for (QPushButton* button : {optEnc, optDec}) {
        button->setCheckable(true);
        group->addButton(button);
    }
}

void frmMain::buildEncryptPanel()
{
    const PanelControls c = buildPanel(this,
                                       {u"fraEncrypt"_s,
                                        u"lblFilesEnc"_s,
                                        u"cmbFilesEnc"_s,
                                        u"cmdAddEnc"_s,
                                        u"CmdClearEnc"_s,
                                        u"lblKeyEnc"_s,
                                        u"txtKeyEnc"_s,
                                        u"Line4"_s,
                                        u"Line3"_s,
                                        u"cmdEncrypt"_s,
                                        u"lblEncryptNow"_s,
                                        u"lblEncryptDescBig"_s,
                                        u"Shape2"_s,
                                        u"progEnc"_s,
                                        u"File(s) to encrypt:"_s,
                                        u"Encrypt Now!"_s,
                                        u"Click to encrypt the files"_s,
                                        Resources::EncryptIcon,
                                        QPalette::Light,
                                        7140,
                                        1365,
                                        1140,
                                        1170});
    fraEncrypt = c.frame;
    lblFilesEnc = c.filesLabel;
    cmbFilesEnc = c.queue;
    cmdAddEnc = c.add;
    CmdClearEnc = c.clear;
    lblKeyEnc = c.keyLabel;
    txtKeyEnc = c.key;
    Line4 = c.upperLine;
    Line3 = c.lowerLine;
    cmdEncrypt = c.run;
    lblEncryptNow = c.runLabel;
    lblEncryptDescBig = c.runDesc;
    Shape2 = c.shape;
    progEnc = c.bar;
    progEnc->setToolTip(u"Overall progress"_s);

    cmdAutoKey = makeButton(fraEncrypt, u"cmdAutoKey"_s, u"Auto"_s, twipsRect(5820, 990, 615, 315));
}

void frmMain::buildDecryptPanel()
{
    const PanelControls c = buildPanel(this,
                                       {u"fraDecrypt"_s,
                                        u"lblFilesDec"_s,
                                        u"cmbFilesDec"_s,
                                        u"CmdAddDec"_s,
                                        u"CmdClearDec"_s,
                                        u"lblKeyDec"_s,
                                        u"txtKeyDec"_s,
                                        u"Line1"_s,
                                        u"Line2"_s,
                                        u"cmdDecrypt"_s,
                                        u"lblDecDesc"_s,
                                        u"lblDecDscbig"_s,
                                        u"Shape1"_s,
                                        u"progDec"_s,
                                        u"File(s) to decrypt:"_s,
                                        u"Decrypt Now!"_s,
                                        u"Click to decrypt the file(s) to their original form"_s,
                                        Resources::DecryptIcon,
                                        QPalette::HighlightedText,
                                        7200,
                                        1370,
                                        1110,
                                        1140});
    fraDecrypt = c.frame;
    lblFilesDec = c.filesLabel;
    cmbFilesDec = c.queue;
    CmdAddDec = c.add;
    CmdClearDec = c.clear;
    lblKeyDec = c.keyLabel;
    txtKeyDec = c.key;
    Line1 = c.upperLine;
    Line2 = c.lowerLine;
    cmdDecrypt = c.run;
    lblDecDesc = c.runLabel;
    lblDecDscbig = c.runDesc;
    Shape1 = c.shape;
    progDec = c.bar;
}

void frmMain::buildStatusArea()
{
    lvw = make<StatusList>(this, u"lvw"_s);
    lvw->setGeometry(twipsRect(30, 3690, 7155, 2475));

    proglvw = makeProgressBar(this, u"proglvw"_s, twipsRect(2880, 3270, 1515, 225));
    proglvw->hide();

    imgl.add(Resources::listImage(1));
    imgl.add(Resources::listImage(2), u"error_small"_s);
    imgl.add(Resources::listImage(3));
}

void frmMain::connectHandlers()
{
    connect(optEnc, &QPushButton::toggled, this, [this](bool checked) {
        if (checked)
            optEnc_Click();
    });
    connect(optDec, &QPushButton::toggled, this, [this](bool checked) {
        if (checked)
            optDec_Click();
    });
    connect(cmdAddEnc, &QPushButton::clicked, this, &frmMain::cmdAddEnc_Click);
    connect(CmdAddDec, &QPushButton::clicked, this, &frmMain::CmdAddDec_Click);
    connect(CmdClearEnc, &QPushButton::clicked, this, &frmMain::CmdClearEnc_Click);
    connect(CmdClearDec, &QPushButton::clicked, this, &frmMain::CmdClearDec_Click);
    connect(cmdAutoKey, &QPushButton::clicked, this, &frmMain::cmdAutoKey_Click);
    connect(Label2, &LinkLabel::clicked, this, &frmMain::Label2_Click);
    connect(lblAbout, &LinkLabel::clicked, this, &frmMain::lblAbout_Click);
    connect(cmdEncrypt, &QPushButton::clicked, this, &frmMain::cmdEncrypt_Click);
    connect(cmdDecrypt, &QPushButton::clicked, this, &frmMain::cmdDecrypt_Click);
}

void frmMain::Form_Load()
{
    optEnc->setChecked(true);
    cmdEncrypt->setEnabled(false);
    cmdDecrypt->setEnabled(false);
}

void frmMain::optEnc_Click()
{
    if (optEnc->isChecked()) {
        fraEncrypt->setVisible(true);
        fraDecrypt->setVisible(false);
    }
}

void frmMain::optDec_Click()
{
    if (optDec->isChecked()) {
        fraEncrypt->setVisible(false);
        fraDecrypt->setVisible(true);
    }
}

void frmMain::closeEvent(QCloseEvent* event)
{
    int cancel = 0;
    Form_Unload(cancel);
    event->accept();
}

void frmMain::Form_Unload(int& /*cancel*/)
{
    // Closing ends the application at once, whatever is in progress: a run in progress stops at its next
    // checkpoint without writing, every window goes, and the event loop ends as soon as control returns to it.
    m_unloaded = true;
    blnCancel = True;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this)
            window->hide();
    }
    QCoreApplication::exit(0);
}
