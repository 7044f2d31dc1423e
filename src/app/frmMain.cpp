// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/frmMain.h"

#include "about/frmAbout.h"
#include "app/HelpAddress.h"
#include "cipher/KeyGenerator.h"
#include "platform/Shell.h"
#include "widgets/LinkLabel.h"
#include "widgets/Look.h"
#include "widgets/ModePanel.h"
#include "widgets/Resources.h"
#include "widgets/StatusList.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>

using namespace Qt::StringLiterals;
using Look::make;
using Look::makeButton;
using Look::px;
using Look::twipsRect;

namespace {

// What a screen reader calls the row bar and the list.
constexpr QStringView FileProgress = u"File progress";
constexpr QStringView StatusOfFiles = u"Status";

// A control of a mode's panel, which the window knows by the object name the panel gave it.
template<typename Control> void bind(Control*& control, const ModePanel* panel, const char16_t* name)
{
    control = panel->findChild<Control*>(QString::fromUtf16(name), Qt::FindDirectChildrenOnly);
    Q_ASSERT(control);
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
    buildPanels();
    buildStatusArea();
    connectHandlers();
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

// Each panel draws itself from its mode's design and keeps its controls; the window knows them by their names too.
void frmMain::buildPanels()
{
    fraEncrypt = new ModePanel(EncryptMode, m_addFolder, this);
    bind(lblFilesEnc, fraEncrypt, EncryptMode.filesLabel);
    bind(cmbFilesEnc, fraEncrypt, EncryptMode.queue);
    bind(cmdAddEnc, fraEncrypt, EncryptMode.add);
    bind(CmdClearEnc, fraEncrypt, EncryptMode.clear);
    bind(lblKeyEnc, fraEncrypt, EncryptMode.keyLabel);
    bind(txtKeyEnc, fraEncrypt, EncryptMode.key);
    bind(cmdAutoKey, fraEncrypt, EncryptMode.autoKey);
    bind(Line4, fraEncrypt, EncryptMode.upperLine);
    bind(Line3, fraEncrypt, EncryptMode.lowerLine);
    bind(cmdEncrypt, fraEncrypt, EncryptMode.run);
    bind(lblEncryptNow, fraEncrypt, EncryptMode.runLabel);
    bind(lblEncryptDescBig, fraEncrypt, EncryptMode.runDesc);
    bind(Shape2, fraEncrypt, EncryptMode.shape);
    bind(progEnc, fraEncrypt, EncryptMode.bar);

    fraDecrypt = new ModePanel(DecryptMode, m_addFolder, this);
    bind(lblFilesDec, fraDecrypt, DecryptMode.filesLabel);
    bind(cmbFilesDec, fraDecrypt, DecryptMode.queue);
    bind(CmdAddDec, fraDecrypt, DecryptMode.add);
    bind(CmdClearDec, fraDecrypt, DecryptMode.clear);
    bind(lblKeyDec, fraDecrypt, DecryptMode.keyLabel);
    bind(txtKeyDec, fraDecrypt, DecryptMode.key);
    bind(Line1, fraDecrypt, DecryptMode.upperLine);
    bind(Line2, fraDecrypt, DecryptMode.lowerLine);
    bind(cmdDecrypt, fraDecrypt, DecryptMode.run);
    bind(lblDecDesc, fraDecrypt, DecryptMode.runLabel);
    bind(lblDecDscbig, fraDecrypt, DecryptMode.runDesc);
    bind(Shape1, fraDecrypt, DecryptMode.shape);
    bind(progDec, fraDecrypt, DecryptMode.bar);
}

RunControls frmMain::runControls()
{
    return {this, lvw, proglvw, imgl, *fraEncrypt, *fraDecrypt};
}

QString frmMain::openFiles(bool encrypt, const QStringList& paths)
{
    ModePanel& panel = encrypt ? *fraEncrypt : *fraDecrypt;
    if (closed)
        return u"the open window is closing"_s;
    if (!panel.takesFiles())
        return QString::fromUtf16(panel.design.busyRefusal);
    (encrypt ? optEnc : optDec)->click();
    panel.queueGiven(paths);
    return {};
}

void frmMain::buildStatusArea()
{
    lvw = make<StatusList>(this, u"lvw"_s);
    lvw->setGeometry(twipsRect(30, 3690, 7155, 2475));
    lvw->setAccessibleName(StatusOfFiles.toString());

    proglvw = Look::makeProgressBar(this, u"proglvw"_s, twipsRect(2880, 3270, 1515, 225));
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
    fraEncrypt->stopFilling();
    fraDecrypt->stopFilling();
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

void frmMain::cmdAddEnc_Click()
{
    fraEncrypt->addFiles();
}

void frmMain::CmdAddDec_Click()
{
    fraDecrypt->addFiles();
}

void frmMain::CmdClearEnc_Click()
{
    clearFiles(*fraEncrypt);
}

void frmMain::CmdClearDec_Click()
{
    clearFiles(*fraDecrypt);
}

void frmMain::clearFiles(ModePanel& panel)
{
    // Folders still being gone through are cleared too: nothing of them joins the queue afterwards.
    panel.stopFilling();
    panel.clearQueue();
    // A run of the other mode may be yielding: its byte totals are its own (its own mode's Clear is disabled).
    if (!blnRunning) {
        lngTotalBytes = 0;
        lngFileBytes = 0;
    }
}

void frmMain::cmdAutoKey_Click()
{
    // The system's secure source: a key must not be guessable from the moment it was made.
    txtKeyEnc->setText(KeyGenerator::newKey(*QRandomGenerator::system()));
}

void frmMain::Label2_Click()
{
    // Read afresh at every click, from where the executable lies, never the current directory.
    const QString folder = QCoreApplication::applicationDirPath();
    Platform::Shell::open(helpAddress(folder), folder);
}

void frmMain::lblAbout_Click()
{
    if (!m_about)
        m_about = std::make_unique<frmAbout>();
    m_about->showModal();
}
