// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPersistentModelIndex>
#include <QStandardItemModel>
#include <QTreeView>

// The status list in report view: one row per file of a run. Rows are reached through persistent indexes,
// so a row removed while a run yields is simply gone: writing to it does nothing.
class StatusList : public QTreeView
{
    Q_OBJECT

public:
    // The Status cell is sub-item 3; the row's own text and image are column 0.
    enum SubItem : int
    {
        FileNo = 1,
        Path = 2,
        Status = 3,
    };

    // The header data role that holds each column's key ("img", "fileno", "path", "status").
    static constexpr int ColumnKeyRole = Qt::UserRole + 1;

    explicit StatusList(QWidget* parent);

    QPersistentModelIndex addRow(const QIcon& image);
    void removeAllRows();
    void setSubItem(const QPersistentModelIndex& row, int subItem, const QString& text);
    void setSubItemIcon(const QPersistentModelIndex& row, int subItem, const QIcon& icon);

    // Where a cell lies, in the coordinates of this list's parent; empty when the row is gone.
    [[nodiscard]] QRect cellRect(const QPersistentModelIndex& row, int subItem) const;

private:
    // Rows are flat and read-only. Saying so without a lookup spares the view's layout, which visits every row
    // whenever one is added, a search of each row's data and a question about its children.
    class Rows : public QStandardItemModel
    {
    public:
        Qt::ItemFlags flags(const QModelIndex& index) const override;
    };

    [[nodiscard]] bool contains(const QPersistentModelIndex& row) const
    {
        return row.isValid() && row.model() == &m_model;
    }

    Rows m_model;
};
