#include "app/transfers/transfer_cell_delegate.h"

#include "app/transfers/transfers_model.h"

#include <QApplication>
#include <QColor>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace {

constexpr int kMargin = 4;

QPalette::ColorGroup GroupOf(const QStyleOptionViewItem& option)
{
    if (!(option.state & QStyle::State_Enabled))
        return QPalette::Disabled;
    return option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
}

} // namespace

void TransferCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(option.rect, option.palette.brush(GroupOf(option), QPalette::Highlight));
    if (index.column() == TransfersModel::Progress)
        paintProgress(painter, option, index);
    else
        paintText(painter, option, index);
    // Where the keyboard is: the current cell of the focused table.
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.backgroundColor =
            option.palette.color(GroupOf(option), selected ? QPalette::Highlight : QPalette::Base);
        QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
}

void TransferCellDelegate::paintText(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
    QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty())
        return;
    const QRect room = option.rect.adjusted(kMargin, 0, -kMargin, 0);
    const QFontMetrics& metrics = option.fontMetrics;
    int width = metrics.horizontalAdvance(text);
    if (width > room.width()) {
        // File names differ most at their ends; anything else reads from
        // the start.
        const Qt::TextElideMode mode =
            index.column() == TransfersModel::File ? Qt::ElideMiddle : Qt::ElideRight;
        text = metrics.elidedText(text, mode, room.width());
        width = metrics.horizontalAdvance(text);
    }
    const QVariant foreground = index.data(Qt::ForegroundRole);
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(foreground.isValid() && !selected
                        ? foreground.value<QColor>()
                        : option.palette.color(GroupOf(option), selected ? QPalette::HighlightedText
                                                                         : QPalette::Text));
    const int alignment = index.data(Qt::TextAlignmentRole).toInt();
    const int x = (alignment & Qt::AlignRight) ? room.right() + 1 - width : room.left();
    const int y = room.top() + (room.height() - metrics.height()) / 2 + metrics.ascent();
    painter->drawText(QPoint(x, y), text);
}

void TransferCellDelegate::paintProgress(QPainter* painter, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const
{
    const QRect frame = option.rect.adjusted(3, 3, -4, -4);
    if (frame.width() < 4 || frame.height() < 4)
        return;
    const QPalette& palette = option.palette;
    painter->save();
    painter->fillRect(frame, palette.base());
    painter->setPen(palette.color(QPalette::Mid));
    painter->drawRect(frame);
    const QRect inside = frame.adjusted(1, 1, 0, 0);

    const QVariant ended = index.data(TransfersModel::kEndedColourRole);
    const QBrush chunk = ended.isValid() ? QBrush(ended.value<QColor>()) : palette.highlight();
    const double fraction = index.data(TransfersModel::kFractionRole).toDouble();
    if (fraction >= 0 || ended.isValid()) {
        const int filled = static_cast<int>(std::max(fraction, 0.0) * inside.width());
        painter->fillRect(QRect(inside.left(), inside.top(), filled, inside.height()), chunk);
        // The text reads on both parts: the part over the bar is drawn again
        // in the bar's text colour.
        const QString text = index.data(Qt::DisplayRole).toString();
        painter->setPen(palette.color(QPalette::Text));
        painter->drawText(inside, Qt::AlignCenter, text);
        if (filled > 0) {
            painter->setClipRect(QRect(inside.left(), inside.top(), filled, inside.height()));
            painter->setPen(palette.color(QPalette::HighlightedText));
            painter->drawText(inside, Qt::AlignCenter, text);
        }
        painter->restore();
        return;
    }
    // Unknown total: a block a quarter as wide sweeps across and back.
    const double phase = index.data(TransfersModel::kBusyPhaseRole).toDouble();
    const double there = phase < 0.5 ? phase * 2 : (1 - phase) * 2;
    const int width = std::max(6, inside.width() / 4);
    const int left = inside.left() + static_cast<int>(there * (inside.width() - width));
    painter->fillRect(QRect(left, inside.top(), width, inside.height()), chunk);
    painter->restore();
}
