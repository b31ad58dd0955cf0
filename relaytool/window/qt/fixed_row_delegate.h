// Draws list entries at a fixed height (the port list's entries are 16 pixels high).
#pragma once

#include <QStyledItemDelegate>

class FixedRowDelegate : public QStyledItemDelegate {
public:
    FixedRowDelegate(int rowHeight, QObject *parent) : QStyledItemDelegate(parent), rowHeight_(rowHeight) {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int rowHeight_;
};
