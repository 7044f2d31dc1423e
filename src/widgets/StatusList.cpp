// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/StatusList.h"

#include "widgets/Look.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QStyledItemDelegate>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace {
struct Column
{
    const char16_t* key;
    const char16_t* text;
    int widthTwips;
};

constexpr Column Columns[] = {
    {u"img", u"", 440},
    {u"fileno", u"File No.", 1001},
    {u"path", u"Path", 4440},
    {u"status", u"Status", 1251},
};

// Cells are drawn as ever; a cell whose text its column cuts short (the style ends it with an ellipsis) shows the
// whole text as its tooltip. Cut means the cell needs more width than its column gives it, measured as the style
// measures a column that fits its contents, so a column the user widens until the text fits shows none.
class WholeTextTips : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        if (event->type() != QEvent::ToolTip)
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        const QString text = index.data().toString();
        if (text.isEmpty() || sizeHint(option, index).width() <= option.rect.width()) {
            QToolTip::hideText();
            event->ignore();
            return false;
        }
        // Gone as soon as the pointer leaves the cell.
        QToolTip::showText(event->globalPos(), text, view->viewport(), option.rect);
        return true;
    }
};
} // namespace

StatusList::StatusList(QWidget* parent)
    : QTreeView(parent)
{
    m_model.setColumnCount(int(std::size(Columns)));
    for (int c = 0; c < int(std::size(Columns)); ++c) {
        m_model.setHeaderData(c, Qt::Horizontal, QString::fromUtf16(Columns[c].text));
        m_model.setHeaderData(c, Qt::Horizontal, QString::fromUtf16(Columns[c].key), ColumnKeyRole);
    }
    setModel(&m_model);
    setItemDelegate(new WholeTextTips(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setMinimumSectionSize(1);
    for (int c = 0; c < int(std::size(Columns)); ++c)
        setColumnWidth(c, Look::px(Columns[c].widthTwips));
}

Qt::ItemFlags StatusList::Rows::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren
                           : QStandardItemModel::flags(index);
}

QPersistentModelIndex StatusList::addRow(const QIcon& image)
{
    QList<QStandardItem*> cells;
    for (int c = 0; c < m_model.columnCount(); ++c)
        cells.append(new QStandardItem);
    cells.first()->setIcon(image);
    m_model.appendRow(cells);
    return QPersistentModelIndex(m_model.index(m_model.rowCount() - 1, 0));
}

void StatusList::removeAllRows()
{
    m_model.removeRows(0, m_model.rowCount());
}

void StatusList::setSubItem(const QPersistentModelIndex& row, int subItem, const QString& text)
{
    if (contains(row))
        m_model.setData(m_model.index(row.row(), subItem), text);
}

void StatusList::setSubItemIcon(const QPersistentModelIndex& row, int subItem, const QIcon& icon)
{
    if (contains(row))
        m_model.setData(m_model.index(row.row(), subItem), icon, Qt::DecorationRole);
}

QRect StatusList::cellRect(const QPersistentModelIndex& row, int subItem) const
{
    if (!contains(row))
        return {};
    const QRect cell = visualRect(m_model.index(row.row(), subItem));
    return QRect(viewport()->mapTo(parentWidget(), cell.topLeft()), cell.size());
}
