#pragma once

// Paints the Progress column of the Transfers panel: a progress bar with its
// percentage where the total is known, a busy bar whose block sweeps to and
// fro where it is not, and once a transfer has ended a green bar saying
// "completed" or a red one naming what went wrong.

#include <QStyledItemDelegate>

class ProgressDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
