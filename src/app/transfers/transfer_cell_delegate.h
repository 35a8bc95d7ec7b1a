#pragma once

// Paints the cells of the Transfers panel, which repaints every visible row
// four times a second. Text is drawn with one measurement and one pass, and
// cut only where it does not fit (a file name in the middle). The Progress
// column gets a flat bar with its percentage where the total is known, a
// block sweeping to and fro where it is not, and once a transfer has ended
// a green bar saying "completed" or a red one naming what went wrong. A
// style's own item and progress bar drawing lays each text out several
// times and costs several times as much.

#include <QStyledItemDelegate>

class TransferCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    void paintText(QPainter* painter, const QStyleOptionViewItem& option,
                   const QModelIndex& index) const;
    void paintProgress(QPainter* painter, const QStyleOptionViewItem& option,
                       const QModelIndex& index) const;
};
