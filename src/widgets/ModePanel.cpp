// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/ModePanel.h"

#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "widgets/FileDropTarget.h"
#include "widgets/Look.h"
#include "widgets/QueueFeed.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <limits>
#include <utility>

using namespace Qt::StringLiterals;
using Look::make;
using Look::makeButton;
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

// A one-pixel horizontal line in a colour of the palette.
QFrame* makeLine(QWidget* parent, const QString& name, QPalette::ColorRole role, int x1, int x2, int y)
{
    auto* line = make<QFrame>(parent, name);
    line->setGeometry(px(x1), px(y), px(x2) - px(x1), 1);
    line->setBackgroundRole(role);
    line->setAutoFillBackground(true);
    return line;
}

QString text(const char16_t* design)
{
    return QString::fromUtf16(design);
}

// What a screen reader calls the overall bars, and the encrypt bar's tooltip.
constexpr QStringView OverallProgress = u"Overall progress";

// Every entry that joins a queue, for whoever asks Qt for them (QT_LOGGING_RULES="zafrel.queue.info=true"): the
// queue of a program that a test started can be read.
Q_LOGGING_CATEGORY(queued, "zafrel.queue", QtWarningMsg)

} // namespace

// Both panels are the same drawing; their design records say where they differ.
ModePanel::ModePanel(const ModeDesign& modeDesign, QString& addFolder, QWidget* window)
    : QFrame(window)
    , design(modeDesign)
    , m_addFolder(addFolder)
{
    setObjectName(text(design.frame));
    setFrameStyle(QFrame::Box | QFrame::Sunken);
    setGeometry(twipsRect(30, 1140, 7185, 2415));
    setFont(Look::msSansSerif());
    buildQueueRow();
    buildKeyRow();
    buildRunRow();
    if (design.autoKey) {
        auto* autoKey = makeButton(this, text(design.autoKey), u"Auto"_s, twipsRect(5820, 990, 615, 315));
        // Made after the rest of its panel, Auto still comes right after the key in the Tab order.
        setTabOrder(m_key, autoKey);
    }
    if (design.barToolTip)
        m_bar->setToolTip(OverallProgress.toString());
    m_feed = new QueueFeed(design.blnEncrypt != False, text(design.nothingToTake), this);
    connect(m_feed, &QueueFeed::found, this, &ModePanel::appendToQueue);
    connect(m_feed, &QueueFeed::finished, this, &ModePanel::endFilling);
    new FileDropTarget(this, m_add, [this](const QStringList& paths) { queueGiven(paths); });
}

void ModePanel::buildQueueRow()
{
    auto* filesLabel = makeLabel(this, text(design.filesLabel), text(design.filesText), 210, 480, Look::msSansSerif());
    m_queue = make<QComboBox>(this, text(design.queue));
    m_queue->setEditable(true);
    // Typing in the text field never makes an entry: the queue holds only what Add chose.
    m_queue->setInsertPolicy(QComboBox::NoInsert);
    m_queue->setGeometry(twipsRect(1710, 450, 4000, 315));
    // A screen reader names each field by the text of the label whose buddy it is.
    filesLabel->setBuddy(m_queue);
    m_add = makeButton(this, text(design.add), u"Add..."_s, twipsRect(5820, 450, 615, 315));
    m_clear = makeButton(this, text(design.clear), u"Clear"_s, twipsRect(6510, 450, 615, 315));
}

void ModePanel::buildKeyRow()
{
    auto* keyLabel = makeLabel(this, text(design.keyLabel), u"Key:"_s, 1170, 990, Look::msSansSerif());
    m_key = make<QLineEdit>(this, text(design.key));
    m_key->setMaxLength(std::numeric_limits<int>::max());
    m_key->setGeometry(twipsRect(1710, 990, 4000, 315));
    keyLabel->setBuddy(m_key);
    makeLine(this, text(design.upperLine), design.upperLineRole, 30, design.upperLineRight, 1350);
    makeLine(this, text(design.lowerLine), QPalette::Mid, 30, 7140, design.lowerLineTop);
}

void ModePanel::buildRunRow()
{
    m_run = makeButton(this, text(design.run), QString(), twipsRect(90, 1470, 885, 765));
    m_run->setIconSize(QSize(32, 32));
    m_runLabel = makeLabel(this, text(design.runLabel), {}, 1050, 1500, Look::tahoma(Look::Style::Bold));
    m_runDesc = makeLabel(this, text(design.runDesc), {}, 1050, 1800, Look::msSansSerif());
    showIdlePicture();
    showIdleCaptions();

    auto* shape = make<QFrame>(this, text(design.shape));
    shape->setFrameStyle(QFrame::Box | QFrame::Plain);
    shape->setLineWidth(1);
    shape->setGeometry(twipsRect(design.shapeLeft, 2040, 5895, 255));
    m_bar = Look::makeProgressBar(this, text(design.bar), twipsRect(design.barLeft, 2070, 5835, 195));
    m_bar->setAccessibleName(OverallProgress.toString());
}

void ModePanel::addFiles()
{
    Platform::OpenFileRequest request;
    // The window the panel lies in owns the dialog.
    request.owner = parentWidget();
    request.title = text(design.dialogTitle);
    request.filterDescription = text(design.filterDescription);
    request.filterPattern = text(design.filterPattern);
    // Until files are chosen, the folder Zafrel was started in.
    request.initialFolder = m_addFolder.isEmpty() ? QDir::currentPath() : m_addFolder;
    // The whole selection is taken, however long: no answer is too large to queue. While given paths are still
    // being gone through, the choice waits behind them.
    const QStringList chosen = Platform::FileDialog::getOpenFileNames(request);
    if (m_feed->busy())
        queueGiven(chosen);
    else
        queueChosen(chosen);
}

// The run button is enabled even when nothing was chosen: a run refuses an empty queue by itself.
void ModePanel::queueChosen(const QStringList& paths)
{
    appendToQueue(paths);
    m_run->setEnabled(true);
}

void ModePanel::queueGiven(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    m_run->setEnabled(false);
    m_feed->give(paths);
}

void ModePanel::stopFilling()
{
    if (m_feed->busy())
        m_run->setEnabled(true);
    m_feed->stop();
}

// Files join the end of the queue in the order given, duplicates and all; the text field shows the last, and the
// next Add of either mode opens in their folder. That folder is only remembered: the process's own working folder
// never moves, so a removable disk that files came from can still be ejected.
void ModePanel::appendToQueue(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    m_queue->addItems(paths);
    m_queue->setEditText(paths.last());
    m_addFolder = QFileInfo(paths.last()).absolutePath();
    if (queued().isInfoEnabled()) {
        for (const QString& path : paths)
            qCInfo(queued).noquote() << text(design.queue) + u' ' + path;
    }
}

// The message waits until the window shows and the event loop runs: given paths may come from the window's command
// line before it shows, or from a later start that waits for the window's answer.
void ModePanel::endFilling(const QStringList& leftOut)
{
    m_run->setEnabled(true);
    if (leftOut.isEmpty())
        return;
    QTimer::singleShot(0, this, [this, message = leftOutMessage(leftOut)] {
        if (window()->isVisible())
            Platform::MessageBox::show(parentWidget(), message, Platform::MessageBox::Exclamation);
    });
}

bool ModePanel::takesFiles() const
{
    return m_add->isEnabled();
}

void ModePanel::clearQueue()
{
    m_queue->clear();
    m_queue->clearEditText();
}

QString ModePanel::keyText() const
{
    return m_key->text();
}

int ModePanel::queueCount() const
{
    return m_queue->count();
}

QString ModePanel::queuedPath(int position) const
{
    return m_queue->itemText(position);
}

void ModePanel::showQueued(int position)
{
    m_queue->setCurrentIndex(position);
}

// Given paths still to be gone through wait until the run has ended.
void ModePanel::lockQueue()
{
    m_add->setEnabled(false);
    m_clear->setEnabled(false);
    m_feed->pause();
}

void ModePanel::unlockQueue()
{
    m_add->setEnabled(true);
    m_clear->setEnabled(true);
    m_feed->resume();
}

// The same words in both modes.
void ModePanel::showRunning()
{
    m_run->setIcon(Resources::icon(Resources::BusyIcon));
    showCaptions(u"Cancel"_s, u"Click to cancel encryption"_s);
}

void ModePanel::showIdle()
{
    showIdlePicture();
    showIdleCaptions();
    unlockQueue();
}

void ModePanel::showIdlePicture()
{
    m_run->setIcon(Resources::icon(design.idleIcon));
}

void ModePanel::showIdleCaptions()
{
    showCaptions(text(design.idleLabel), text(design.idleDesc));
}

// The captions size themselves to their text, like every label of the panel, and the button has the same words as
// its accessible name and description: a screen reader says what the labels show.
void ModePanel::showCaptions(const QString& label, const QString& description)
{
    for (auto [widget, words] : {std::pair {m_runLabel, label}, {m_runDesc, description}}) {
        widget->setText(words);
        widget->adjustSize();
    }
    m_run->setAccessibleName(label);
    m_run->setAccessibleDescription(description);
}

void ModePanel::disableRun()
{
    m_run->setEnabled(false);
}

void ModePanel::showBar()
{
    m_bar->setVisible(true);
}

void ModePanel::setBarValue(int percent)
{
    Look::setBarValue(m_bar, percent);
}

void ModePanel::resetBar()
{
    m_bar->setValue(0);
}
