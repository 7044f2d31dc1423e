// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/frmMain.h"

#include "about/frmAbout.h"
#include "widgets/LinkLabel.h"
#include "widgets/Look.h"
#include "widgets/Resources.h"
#include "widgets/StatusList.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <limits>

using namespace Qt::StringLiterals;
using Look::make;
using Look::px;
using Look::twipsRect;

namespace {

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

QString text(const char16_t* design)
{
    return QString::fromUtf16(design);
}

// What a screen reader calls the bars and the list; the overall bars say what the encrypt bar's tooltip says.
constexpr QStringView OverallProgress = u"Overall progress";
constexpr QStringView FileProgress = u"File progress";
constexpr QStringView StatusOfFiles = u"Status";

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
    buildPanel(encryptPanel());
    cmdAutoKey = makeButton(fraEncrypt, u"cmdAutoKey"_s, u"Auto"_s, twipsRect(5820, 990, 615, 315));
    // Made after its panel, Auto still comes right after the key in the Tab order.
    setTabOrder(txtKeyEnc, cmdAutoKey);
    progEnc->setToolTip(OverallProgress.toString());
    buildPanel(decryptPanel());
    buildStatusArea();
    connectHandlers();
    installQueueDrops();
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

    lblAbout = make<LinkLabel>(this, u"lblAbout"_s, frmAbout::Name.toString());
    lblAbout->move(px(6060), px(180));
    Label2 = make<LinkLabel>(this, u"Label2"_s, u"Help"_s);
    Label2->move(px(6390), px(450));
}

void frmMain::buildModeButtons()
{
    optEnc = makeButton(this, u"optEnc"_s, u"&Encrypt Files"_s, twipsRect(30, 840, 1485, 315));
    optDec = makeButton(this, u"optDec"_s, u"&Decrypt Files"_s, twipsRect(1530, 840, 1485, 315));
    // The pair acts as one group of option buttons: a click selects one and deselects the other, and screen
    // readers find them as radio buttons.
    for (QPushButton* button : {optEnc, optDec}) {
        button->setCheckable(true);
        button->setAutoExclusive(true);
    }
}

ModePanel frmMain::encryptPanel()
{
    return {.design = EncryptMode,
            .frame = fraEncrypt,
            .filesLabel = lblFilesEnc,
            .queue = cmbFilesEnc,
            .add = cmdAddEnc,
            .clear = CmdClearEnc,
            .keyLabel = lblKeyEnc,
            .key = txtKeyEnc,
            .upperLine = Line4,
            .lowerLine = Line3,
            .run = cmdEncrypt,
            .runLabel = lblEncryptNow,
            .runDesc = lblEncryptDescBig,
            .shape = Shape2,
            .bar = progEnc};
}

ModePanel frmMain::decryptPanel()
{
    return {.design = DecryptMode,
            .frame = fraDecrypt,
            .filesLabel = lblFilesDec,
            .queue = cmbFilesDec,
            .add = CmdAddDec,
            .clear = CmdClearDec,
            .keyLabel = lblKeyDec,
            .key = txtKeyDec,
            .upperLine = Line1,
            .lowerLine = Line2,
            .run = cmdDecrypt,
            .runLabel = lblDecDesc,
            .runDesc = lblDecDscbig,
            .shape = Shape1,
            .bar = progDec};
}

RunControls frmMain::runControls()
{
    return {this, lvw, proglvw, imgl, encryptPanel(), decryptPanel()};
}

// Both panels are the same drawing; their design records say where they differ.
void frmMain::buildPanel(const ModePanel& c)
{
    const ModeDesign& d = c.design;
    c.frame = make<QFrame>(this, text(d.frame));
    c.frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    c.frame->setGeometry(twipsRect(30, 1140, 7185, 2415));
    c.frame->setFont(Look::msSansSerif());
    QWidget* p = c.frame;

    c.filesLabel = makeLabel(p, text(d.filesLabel), text(d.filesText), 210, 480, Look::msSansSerif());

    c.queue = make<QComboBox>(p, text(d.queue));
    c.queue->setEditable(true);
    // Typing in the text field never makes an entry: the queue holds only what Add chose.
    c.queue->setInsertPolicy(QComboBox::NoInsert);
    c.queue->setGeometry(twipsRect(1710, 450, 4000, 315));
    // A screen reader names each field by the text of the label whose buddy it is.
    c.filesLabel->setBuddy(c.queue);

    c.add = makeButton(p, text(d.add), u"Add..."_s, twipsRect(5820, 450, 615, 315));
    c.clear = makeButton(p, text(d.clear), u"Clear"_s, twipsRect(6510, 450, 615, 315));

    c.keyLabel = makeLabel(p, text(d.keyLabel), u"Key:"_s, 1170, 990, Look::msSansSerif());
    c.key = make<QLineEdit>(p, text(d.key));
    c.key->setMaxLength(std::numeric_limits<int>::max());
    c.key->setGeometry(twipsRect(1710, 990, 4000, 315));
    c.keyLabel->setBuddy(c.key);

    c.upperLine = makeLine(p, text(d.upperLine), d.upperLineRole, 30, d.upperLineRight, 1350);
    c.lowerLine = makeLine(p, text(d.lowerLine), QPalette::Mid, 30, 7140, d.lowerLineTop);

    c.run = makeButton(p, text(d.run), QString(), twipsRect(90, 1470, 885, 765));
    c.run->setIcon(Resources::icon(d.idleIcon));
    c.run->setIconSize(QSize(32, 32));

    c.runLabel = makeLabel(p, text(d.runLabel), {}, 1050, 1500, Look::tahoma(Look::Style::Bold));
    c.runDesc = makeLabel(p, text(d.runDesc), {}, 1050, 1800, Look::msSansSerif());
    setRunCaptions(c, text(d.idleLabel), text(d.idleDesc));

    c.shape = make<QFrame>(p, text(d.shape));
    c.shape->setFrameStyle(QFrame::Box | QFrame::Plain);
    c.shape->setLineWidth(1);
    c.shape->setGeometry(twipsRect(d.shapeLeft, 2040, 5895, 255));
    c.bar = makeProgressBar(p, text(d.bar), twipsRect(d.barLeft, 2070, 5835, 195));
    c.bar->setAccessibleName(OverallProgress.toString());
}

void frmMain::buildStatusArea()
{
    lvw = make<StatusList>(this, u"lvw"_s);
    lvw->setGeometry(twipsRect(30, 3690, 7155, 2475));
    lvw->setAccessibleName(StatusOfFiles.toString());

    proglvw = makeProgressBar(this, u"proglvw"_s, twipsRect(2880, 3270, 1515, 225));
    proglvw->hide();
    proglvw->setAccessibleName(FileProgress.toString());

    imgl.add(Resources::listImage(Resources::PadlockImage));
    imgl.add(Resources::listImage(Resources::RedCrossImage), Resources::ErrorImageKey.toString());
    imgl.add(Resources::listImage(Resources::KeyImage));
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

// Enter acts on the focused button as Space does; outside a dialog, Qt's buttons leave Enter to their window.
void frmMain::keyPressEvent(QKeyEvent* event)
{
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    if (button && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        button->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload()
{
    // Closing ends the application at once, whatever is in progress: a run in progress stops at its next
    // checkpoint without writing, every window goes, and the event loop ends as soon as control returns to it.
    closed = true;
    blnCancel = True;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this)
            window->hide();
    }
    QCoreApplication::exit(0);
}

void frmMain::cmdEncrypt_Click()
{
    clickRun(*this, runControls(), True);
}

void frmMain::cmdDecrypt_Click()
{
    clickRun(*this, runControls(), False);
}
