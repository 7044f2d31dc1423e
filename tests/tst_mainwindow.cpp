// SPDX-License-Identifier: GPL-3.0-or-later

#include "WidgetHelpers.h"
#include "app/HelpAddress.h"
#include "app/Main.h"
#include "app/frmMain.h"
#include "widgets/LinkLabel.h"
#include "widgets/Resources.h"
#include "widgets/StatusList.h"
#include "widgets/TitleFrame.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

using namespace Qt::StringLiterals;

class tst_MainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { SetUpApplication(); }
    void init() { m_form = std::make_unique<frmMain>(); }
    void cleanup() { m_form.reset(); }

    void stateAtStart();
    void windowFrame();
    void controlsAndGeometry_data();
    void controlsAndGeometry();
    void statusListColumns();
    void cutStatusShowsWholeTextOnHover();
    void imageList();
    void linkLabelsLook();
    void picturesAtBothScales();
    void linkCursorAtBothScales();
    void clickOnSelectedModeChangesNothing();
    void modeSwitchKeepsEachPanel();
    void accessKeysSwitchMode();
    void screenReaderFindsEveryControl();
    void closingEndsTheProgram();
    void titleFrameOffersCloseOnly();

private:
    template<typename W = QWidget> W* control(const char* name) const { return ::control<W>(m_form.get(), name); }

    std::unique_ptr<frmMain> m_form;
};

void tst_MainWindow::stateAtStart()
{
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QVERIFY(control<QPushButton>("optEnc")->isChecked());
    QVERIFY(!control<QPushButton>("optDec")->isChecked());
    QVERIFY(control("fraEncrypt")->isVisible());
    QVERIFY(!control("fraDecrypt")->isVisible());
    QVERIFY(!control("cmdEncrypt")->isEnabled());
    QVERIFY(!control("cmdDecrypt")->isEnabled());
    QVERIFY(!control("proglvw")->isVisible());
    QCOMPARE(rowCount(control<StatusList>("lvw")), 0);
    QCOMPARE(control<QProgressBar>("progEnc")->value(), 0);
    QCOMPARE(control<QProgressBar>("progDec")->value(), 0);
    QCOMPARE(control<QComboBox>("cmbFilesEnc")->count(), 0);
    QVERIFY(control<QLineEdit>("txtKeyEnc")->text().isEmpty());

    QCOMPARE(m_form->blnRunning, False);
    QCOMPARE(m_form->blnCancel, False);
    QVERIFY(!m_form->itmCurrent.isValid());
    QCOMPARE(m_form->lngTotalBytes, 0);
    QCOMPARE(m_form->lngFileBytes, 0);
    QCOMPARE(m_form->intProgressBase, 0);
}

void tst_MainWindow::windowFrame()
{
    QCOMPARE(m_form->windowTitle(), u"Zafrel 1.0"_s);
    QCOMPARE(m_form->size(), QSize(483, 413));
    QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
    QVERIFY(!(m_form->windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(m_form->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!m_form->windowIcon().isNull());
    QCOMPARE(QApplication::applicationDisplayName(), u"Zafrel"_s);
    QCOMPARE(QApplication::applicationVersion(), u"1.00"_s);
    QCOMPARE(QApplication::organizationName(), u"Kelmot"_s);
}

void tst_MainWindow::controlsAndGeometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("geometry"); // pixels; an empty size means "sized to its text"

    const auto row = [](const char* name, const QString& text, QRect geometry) {
        QTest::newRow(name) << QString::fromLatin1(name) << text << geometry;
    };
    row("imgLogo", {}, QRect(0, 0, 490, 55));
    row("Image2", {}, QRect(6, 12, 32, 32));
    row("lblAbout", u"About Zafrel"_s, QRect(404, 12, 0, 0));
    row("Label2", u"Help"_s, QRect(426, 30, 0, 0));
    row("optEnc", u"&Encrypt Files"_s, QRect(2, 56, 99, 21));
    row("optDec", u"&Decrypt Files"_s, QRect(102, 56, 99, 21));
    for (const char* frame : {"fraEncrypt", "fraDecrypt"})
        row(frame, {}, QRect(2, 76, 479, 161));
    row("lblFilesEnc", u"File(s) to encrypt:"_s, QRect(14, 32, 0, 0));
    row("lblFilesDec", u"File(s) to decrypt:"_s, QRect(14, 32, 0, 0));
    row("cmbFilesEnc", {}, QRect(114, 30, 267, 21));
    row("cmbFilesDec", {}, QRect(114, 30, 267, 21));
    row("cmdAddEnc", u"Add..."_s, QRect(388, 30, 41, 21));
    row("CmdAddDec", u"Add..."_s, QRect(388, 30, 41, 21));
    row("CmdClearEnc", u"Clear"_s, QRect(434, 30, 41, 21));
    row("CmdClearDec", u"Clear"_s, QRect(434, 30, 41, 21));
    row("lblKeyEnc", u"Key:"_s, QRect(78, 66, 0, 0));
    row("lblKeyDec", u"Key:"_s, QRect(78, 66, 0, 0));
    row("txtKeyEnc", {}, QRect(114, 66, 267, 21));
    row("txtKeyDec", {}, QRect(114, 66, 267, 21));
    row("cmdAutoKey", u"Auto"_s, QRect(388, 66, 41, 21));
    row("cmdEncrypt", {}, QRect(6, 98, 59, 51));
    row("cmdDecrypt", {}, QRect(6, 98, 59, 51));
    row("lblEncryptNow", u"Encrypt Now!"_s, QRect(70, 100, 0, 0));
    row("lblDecDesc", u"Decrypt Now!"_s, QRect(70, 100, 0, 0));
    row("lblEncryptDescBig", u"Click to encrypt the files"_s, QRect(70, 120, 0, 0));
    row("lblDecDscbig", u"Click to decrypt the file(s) to their original form"_s, QRect(70, 120, 0, 0));
    row("Shape2", {}, QRect(76, 136, 393, 17));
    row("Shape1", {}, QRect(74, 136, 393, 17));
    row("progEnc", {}, QRect(78, 138, 389, 13));
    row("progDec", {}, QRect(76, 138, 389, 13));
    row("Line4", {}, QRect(2, 90, 474, 1));
    row("Line3", {}, QRect(2, 91, 474, 1));
    row("Line1", {}, QRect(2, 90, 478, 1));
    row("Line2", {}, QRect(2, 91, 474, 1));
    row("lvw", {}, QRect(2, 246, 477, 165));
    row("proglvw", {}, QRect(192, 218, 101, 15));
}

void tst_MainWindow::controlsAndGeometry()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, geometry);

    auto* widget = m_form->findChild<QWidget*>(name);
    QVERIFY2(widget, qPrintable(name));
    if (geometry.isEmpty()) {
        QCOMPARE(widget->pos(), geometry.topLeft());
        QCOMPARE(widget->size(), widget->sizeHint());
    } else {
        QCOMPARE(widget->geometry(), geometry);
    }
    if (auto* label = qobject_cast<QLabel*>(widget); label && !text.isEmpty())
        QCOMPARE(label->text(), text);
    if (auto* button = qobject_cast<QPushButton*>(widget))
        QCOMPARE(button->text(), text);
}

void tst_MainWindow::statusListColumns()
{
    auto* lvw = control<StatusList>("lvw");
    const QStringList keys {u"img"_s, u"fileno"_s, u"path"_s, u"status"_s};
    const QStringList headers {QString(), u"File No."_s, u"Path"_s, u"Status"_s};
    const QList<int> widths {29, 67, 296, 83};
    QCOMPARE(lvw->model()->columnCount(), 4);
    for (int c = 0; c < 4; ++c) {
        QCOMPARE(lvw->model()->headerData(c, Qt::Horizontal, StatusList::ColumnKeyRole).toString(), keys.at(c));
        QCOMPARE(lvw->model()->headerData(c, Qt::Horizontal).toString(), headers.at(c));
        QCOMPARE(lvw->columnWidth(c), widths.at(c));
    }
    QVERIFY(!lvw->header()->isHidden());

    // A row keeps its place for writers; once removed, writing to it does nothing.
    const QPersistentModelIndex row = lvw->addRow(m_form->imgl.image(1));
    lvw->setSubItem(row, StatusList::Status, u"Loading..."_s);
    QCOMPARE(subItem(row, StatusList::Status), u"Loading..."_s);
    QVERIFY(subItem(row, 0).isEmpty());
    lvw->removeAllRows();
    lvw->setSubItem(row, StatusList::Status, u"Encrypted"_s);
    QCOMPARE(rowCount(lvw), 0);
    QVERIFY(lvw->cellRect(row, StatusList::Status).isEmpty());
}

void tst_MainWindow::cutStatusShowsWholeTextOnHover()
{
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    auto* lvw = control<StatusList>("lvw");
    const QString cut = u"No such file or directory"_s;
    for (const QString& status : {u"Encrypted"_s, cut})
        lvw->setSubItem(lvw->addRow(m_form->imgl.image(1)), StatusList::Status, status);
    // What the pointer resting on a Status cell asks the list for.
    const auto hover = [lvw](int row) {
        const QPoint at = lvw->visualRect(listRow(lvw, row).sibling(row, StatusList::Status)).center();
        QTest::mouseMove(lvw->viewport(), at);
        QHelpEvent help(QEvent::ToolTip, at, lvw->viewport()->mapToGlobal(at));
        QApplication::sendEvent(lvw->viewport(), &help);
    };
    hover(0);
    QVERIFY(!QToolTip::isVisible());
    hover(1);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), cut);
}

void tst_MainWindow::imageList()
{
    const ImageList& imgl = m_form->imgl;
    QCOMPARE(imgl.count(), 3);
    QCOMPARE(imgl.indexOf(u"error_small"_s), 2);
    QCOMPARE(imgl.indexOf(u"missing"_s), 0);
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(imgl.image(i).pixmap(16, 16).size(), QSize(16, 16));
    QCOMPARE(imgl.image(u"error_small"_s).cacheKey(), imgl.image(2).cacheKey());
}

void tst_MainWindow::linkLabelsLook()
{
    for (const char* name : {"lblAbout", "Label2"}) {
        auto* link = control<LinkLabel>(name);
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(link->font().underline());
        QCOMPARE(link->font().pointSizeF(), 8.25);
        QVERIFY(!link->autoFillBackground());
        QCOMPARE(link->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(link->cursor().hotSpot(), QPoint(6, 0));
        QCOMPARE(link->cursor().pixmap().size(), QSize(32, 32));
    }
}

void tst_MainWindow::picturesAtBothScales()
{
    // As the window holds them where it can be asked; each is its file at 1x and its @2x twin at ratio 2.
    const QList<std::pair<QIcon, QString>> pictures {{m_form->windowIcon(), u"icons/app"_s},
                                                     {control<QPushButton>("cmdEncrypt")->icon(), u"icons/102"_s},
                                                     {control<QPushButton>("cmdDecrypt")->icon(), u"icons/103"_s},
                                                     {Resources::icon(Resources::IconId(101)), u"icons/101"_s},
                                                     {m_form->imgl.image(1), u"imgl/1"_s},
                                                     {m_form->imgl.image(2), u"imgl/2"_s},
                                                     {m_form->imgl.image(3), u"imgl/3"_s},
                                                     {Resources::banner(), u"banner"_s},
                                                     {Resources::aboutLogo(), u"about/logo"_s},
                                                     {Resources::aboutProductName(), u"about/product"_s}};
    for (const auto& [picture, name] : pictures) {
        const QPixmap one(u":/"_s + name + u".png"_s), two(u":/"_s + name + u"@2x.png"_s);
        QCOMPARE(picture.pixmap(one.size(), 1).toImage(), one.toImage());
        QCOMPARE(picture.pixmap(one.size(), 2).toImage(), two.toImage()); // twice the pixels, ratio 2
    }
}

void tst_MainWindow::linkCursorAtBothScales()
{
    for (const int ratio : {1, 2}) {
        const QCursor cursor = Resources::linkCursor(ratio);
        QCOMPARE(cursor.pixmap().devicePixelRatio(), ratio);
        // The X server takes the hot spot in pixels of the image, the other platforms in device-independent ones.
        const QPoint spot = cursor.hotSpot() * (QGuiApplication::platformName() == u"xcb"_s ? 1 : ratio);
        QCOMPARE(spot.y(), 0);
        QCOMPARE(cursor.pixmap().toImage().pixelColor(spot), QColor(Qt::black)); // the outline at the fingertip
    }
}

void tst_MainWindow::clickOnSelectedModeChangesNothing()
{
    m_form->show();
    QTest::mouseClick(control<QPushButton>("optEnc"), Qt::LeftButton);
    QVERIFY(control<QPushButton>("optEnc")->isChecked());
    QVERIFY(control("fraEncrypt")->isVisible());
    QVERIFY(!control("fraDecrypt")->isVisible());
}

void tst_MainWindow::modeSwitchKeepsEachPanel()
{
    m_form->show();
    control<QComboBox>("cmbFilesEnc")->addItem(u"/tmp/a.txt"_s);
    control<QLineEdit>("txtKeyEnc")->setText(u"secret"_s);
    control("cmdEncrypt")->setEnabled(true);
    control<QProgressBar>("progEnc")->setValue(40);

    QTest::mouseClick(control<QPushButton>("optDec"), Qt::LeftButton);
    QVERIFY(control<QPushButton>("optDec")->isChecked());
    QVERIFY(!control<QPushButton>("optEnc")->isChecked());
    QVERIFY(!control("fraEncrypt")->isVisible());
    QVERIFY(control("fraDecrypt")->isVisible());
    control<QLineEdit>("txtKeyDec")->setText(u"other"_s);

    QTest::mouseClick(control<QPushButton>("optEnc"), Qt::LeftButton);
    QVERIFY(control("fraEncrypt")->isVisible());
    QCOMPARE(control<QComboBox>("cmbFilesEnc")->itemText(0), u"/tmp/a.txt"_s);
    QCOMPARE(control<QLineEdit>("txtKeyEnc")->text(), u"secret"_s);
    QVERIFY(control("cmdEncrypt")->isEnabled());
    QCOMPARE(control<QProgressBar>("progEnc")->value(), 40);
    QCOMPARE(control<QLineEdit>("txtKeyDec")->text(), u"other"_s);
}

void tst_MainWindow::accessKeysSwitchMode()
{
    m_form->show();
    // Without a window manager (Xvfb) nothing activates a new window but the window itself.
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    // An access key clicks its button after a short press animation.
    QTest::keyClick(m_form.get(), Qt::Key_D, Qt::AltModifier);
    QTRY_VERIFY(control("fraDecrypt")->isVisible());
    QTest::keyClick(m_form.get(), Qt::Key_E, Qt::AltModifier);
    QTRY_VERIFY(control("fraEncrypt")->isVisible());
}

// Every control a person uses, as a screen reader finds it in the window's tree: a name, and the role of its kind.
// A control that takes the focus and is missing here fails.
void tst_MainWindow::screenReaderFindsEveryControl()
{
    const RecordedSeams seams;
    m_form->show();
    control("cmdEncrypt")->setEnabled(true);
    control("proglvw")->show();
    using enum QAccessible::Role;
    QHash<QString, QAccessible::Role> expected {{u"lblAbout"_s, Link},        {u"Label2"_s, Link},
                                                {u"optEnc"_s, RadioButton},   {u"optDec"_s, RadioButton},
                                                {u"cmbFilesEnc"_s, ComboBox}, {u"cmdAddEnc"_s, Button},
                                                {u"CmdClearEnc"_s, Button},   {u"txtKeyEnc"_s, EditableText},
                                                {u"cmdAutoKey"_s, Button},    {u"cmdEncrypt"_s, Button},
                                                {u"progEnc"_s, ProgressBar},  {u"lvw"_s, Tree},
                                                {u"proglvw"_s, ProgressBar}};
    const std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        auto* widget = qobject_cast<QWidget*>(node->object());
        if (!widget->isVisible() || !widget->isEnabled())
            return;
        if (expected.contains(widget->objectName())) {
            QCOMPARE(node->role(), expected.take(widget->objectName()));
            QVERIFY2(!node->text(QAccessible::Name).isEmpty(), qPrintable(widget->objectName()));
            return;
        }
        QVERIFY2(widget->focusPolicy() == Qt::NoFocus || widget->isWindow(), qPrintable(widget->objectName()));
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(m_form.get()));
    QVERIFY2(expected.isEmpty(), qPrintable(QStringList(expected.keys()).join(u' ')));
    QCOMPARE(QAccessible::queryAccessibleInterface(control("txtKeyEnc"))->text(QAccessible::Name), u"Key:"_s);
    QCOMPARE(QAccessible::queryAccessibleInterface(control("cmdEncrypt"))->text(QAccessible::Description),
             u"Click to encrypt the files"_s);

    // A link's press action does what a click does.
    QAccessible::queryAccessibleInterface(control("Label2"))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(Platform::Shell::takeRequests().value(0).file, helpAddress(QCoreApplication::applicationDirPath()));
}

void tst_MainWindow::closingEndsTheProgram()
{
    m_form->show();
    QWidget other;
    other.show();
    QTimer::singleShot(0, m_form.get(), [this] { m_form->close(); });
    // No question is asked: the event loop ends at once, with success, and every other window goes too.
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!m_form->isVisible());
    QVERIFY(!other.isVisible());
    QCOMPARE(m_form->blnCancel, True);
}

// The stand-in for Qt's title bar on Wayland: the window whole inside it, its caption and icon, one button.
void tst_MainWindow::titleFrameOffersCloseOnly()
{
    frmMain* form = m_form.release();
    TitleFrame frame(form);
    QCOMPARE(form->parentWidget(), &frame);
    QVERIFY(!form->isWindow());
    QVERIFY(frame.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(frame.windowTitle(), u"Zafrel 1.0"_s);
    QCOMPARE(::control<QLabel>(&frame, "lblFrameCaption")->text(), u"Zafrel 1.0"_s);
    QVERIFY(!frame.windowIcon().isNull());
    QCOMPARE(frame.minimumSize(), frame.maximumSize());
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QVERIFY(frame.rect().contains(form->geometry()));
    QCOMPARE(form->size(), QSize(483, 413));

    const QList<QToolButton*> buttons = frame.findChildren<QToolButton*>(Qt::FindDirectChildrenOnly);
    QCOMPARE(buttons.size(), 1);
    QToolButton* close = buttons.first();
    QCOMPARE(close->accessibleName(), u"Close"_s);
    QTimer::singleShot(0, close, [close] { QTest::mouseClick(close, Qt::LeftButton); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(form->blnCancel, True);
    QVERIFY(!frame.isVisible());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
