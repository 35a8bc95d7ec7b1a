#include "app/transfers/progress_delegate.h"

#include "app/transfers/transfers_model.h"

#include <QApplication>
#include <QColor>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>

#include <algorithm>

namespace {

constexpr int kSteps = 1000;

} // namespace

void ProgressDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    // The cell's own background first, so a selected row stays marked.
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    cell.text.clear();
    QStyle* style = cell.widget != nullptr ? cell.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);

    QStyleOptionProgressBar bar;
    bar.rect = option.rect.adjusted(2, 2, -2, -2);
    bar.state = option.state | QStyle::State_Horizontal;
    bar.direction = option.direction;
    bar.fontMetrics = option.fontMetrics;
    bar.palette = option.palette;
    // Ended rows: a green bar for a transfer that completed, a red one for
    // one that failed, each saying so in words.
    const QVariant ended = index.data(TransfersModel::kEndedColourRole);
    if (ended.isValid())
        bar.palette.setColor(QPalette::Highlight, ended.value<QColor>());
    bar.minimum = 0;
    bar.maximum = kSteps;
    const double fraction = index.data(TransfersModel::kFractionRole).toDouble();
    if (fraction >= 0 || ended.isValid()) {
        bar.progress = static_cast<int>(std::max(fraction, 0.0) * kSteps);
        bar.text = index.data(Qt::DisplayRole).toString();
        bar.textVisible = true;
        bar.textAlignment = Qt::AlignCenter;
        style->drawControl(QStyle::CE_ProgressBar, &bar, painter, cell.widget);
        return;
    }
    // Unknown total: the groove, and a block a quarter as wide that sweeps
    // across and back while the transfer runs.
    style->drawControl(QStyle::CE_ProgressBarGroove, &bar, painter, cell.widget);
    const double phase = index.data(TransfersModel::kBusyPhaseRole).toDouble();
    const double there = phase < 0.5 ? phase * 2 : (1 - phase) * 2;
    QRect inside = bar.rect.adjusted(1, 1, -1, -1);
    const int width = std::max(6, inside.width() / 4);
    const int left = inside.left() + static_cast<int>(there * (inside.width() - width));
    painter->fillRect(QRect(left, inside.top(), width, inside.height()),
                      option.palette.brush(QPalette::Highlight));
}
