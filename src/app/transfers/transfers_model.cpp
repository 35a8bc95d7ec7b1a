#include "app/transfers/transfers_model.h"

#include "app/transfers/transfer_format.h"
#include "app/transfers/transfer_texts.h"
#include "platform/clock.h"
#include "service/transfer_watch.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

#include <algorithm>

namespace {

// Colours of the Status column once a transfer has ended; dark enough to
// read on a light window, light enough on a dark one.
const QColor kCompletedColour(0x2e, 0x7d, 0x32);
const QColor kFailedColour(0xc6, 0x28, 0x28);

bool IsNumeric(int column)
{
    switch (column) {
    case TransfersModel::Bytes:
    case TransfersModel::Total:
    case TransfersModel::Rate:
    case TransfersModel::Elapsed:
    case TransfersModel::Resends:
        return true;
    default:
        return false;
    }
}

} // namespace

TransfersModel::TransfersModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

TransfersModel::~TransfersModel()
{
    if (following)
        StopWatchingTransfers();
}

void TransfersModel::setWatching(bool on)
{
    if (on == following)
        return;
    following = on;
    if (on) {
        endCursor = StartWatchingTransfers();
        refresh();
        return;
    }
    StopWatchingTransfers();
    beginResetModel();
    rows.clear();
    indexOf.clear();
    endResetModel();
}

void TransfersModel::refresh()
{
    refresh(MonotonicMilliseconds());
}

void TransfersModel::refresh(std::int64_t nowMs)
{
    if (!following)
        return;
    lastNowMs = nowMs;
    for (Row& row : rows)
        row.seen = false;
    std::vector<Row> added;
    ForEachLiveTransfer([&](const TransferView& view) {
        Row& row = rowFor(view, added);
        row.seen = true;
        takeCounters(row, view, nowMs);
    });
    endCursor = ForEachEndedTransfer(endCursor, [&](const TransferView& view) {
        Row& row = rowFor(view, added);
        row.seen = true;
        takeCounters(row, view, nowMs);
        markEnded(row, &view, nowMs);
    });
    // A transfer that vanished without a kept end: more ended between two
    // looks than the service keeps.
    for (Row& row : rows) {
        if (!row.seen && row.endedMs == 0)
            markEnded(row, nullptr, nowMs);
    }
    // Every row under way changes at each look (its time at least), so one
    // notice covers them all; views repaint only the rows they show.
    if (!rows.empty())
        emit dataChanged(index(0, 0), index(static_cast<int>(rows.size()) - 1, ColumnCount - 1));
    if (!added.empty()) {
        const int first = static_cast<int>(rows.size());
        beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
        for (Row& row : added)
            rows.push_back(std::move(row));
        reindex();
        endInsertRows();
    }
    removeExpired(nowMs);
}

TransfersModel::Row& TransfersModel::rowFor(const TransferView& view, std::vector<Row>& added)
{
    auto found = indexOf.constFind(view.serial);
    if (found != indexOf.constEnd())
        return rows[static_cast<std::size_t>(found.value())];
    Row row;
    row.serial = view.serial;
    // An IPv6 address has colons of its own: the port follows brackets.
    const QLatin1String address(view.peerText);
    row.peer =
        (address.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2") : QStringLiteral("%1:%2"))
            .arg(address)
            .arg(view.peerPort);
    row.file = QString::fromUtf8(view.progress->fileName);
    row.mode = QString::fromLatin1(view.progress->modeName);
    row.receiving = view.receiving;
    row.status = RunningText();
    added.push_back(std::move(row));
    return added.back();
}

void TransfersModel::takeCounters(Row& row, const TransferView& view, std::int64_t nowMs)
{
    const TransferProgress& progress = *view.progress;
    row.bytes = progress.confirmedBytes;
    row.total = progress.totalBytes;
    row.resends = progress.resends;
    row.startedMs = progress.startedMs;
    if (view.endedMs != 0)
        return;
    row.rate = row.samples.add(nowMs, row.bytes, row.startedMs);
}

void TransfersModel::markEnded(Row& row, const TransferView* view, std::int64_t nowMs)
{
    row.endedMs = view != nullptr ? view->endedMs : MonotonicMilliseconds();
    row.end = view != nullptr ? view->progress->end : TransferEnd::None;
    row.status = view != nullptr ? EndReasonText(row.end, view->progress->peerErrorCode,
                                                 view->progress->peerMessage)
                                 : EndReasonText(TransferEnd::None, 0, "");
    // An ended transfer shows its average rate.
    const std::int64_t took = row.endedMs - row.startedMs;
    row.rate = took > 0 ? static_cast<double>(row.bytes) * 1000.0 / static_cast<double>(took) : 0;
    row.removeAtMs =
        nowMs + (row.end == TransferEnd::Completed ? kCompletedLingerMs : kFailedLingerMs);
}

void TransfersModel::removeExpired(std::int64_t nowMs)
{
    auto expired = [nowMs](const Row& row) {
        return row.removeAtMs != 0 && row.removeAtMs <= nowMs;
    };
    bool removed = false;
    int last = static_cast<int>(rows.size()) - 1;
    while (last >= 0) {
        if (!expired(rows[static_cast<std::size_t>(last)])) {
            --last;
            continue;
        }
        int first = last;
        while (first > 0 && expired(rows[static_cast<std::size_t>(first - 1)]))
            --first;
        beginRemoveRows({}, first, last);
        rows.erase(rows.begin() + first, rows.begin() + last + 1);
        endRemoveRows();
        removed = true;
        last = first - 1;
    }
    if (removed)
        reindex();
}

void TransfersModel::reindex()
{
    indexOf.clear();
    indexOf.reserve(static_cast<qsizetype>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i)
        indexOf.insert(rows[i].serial, static_cast<int>(i));
}

int TransfersModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

int TransfersModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

double TransfersModel::fraction(const Row& row) const
{
    if (row.end == TransferEnd::Completed)
        return 1.0;
    if (row.total < 0)
        return -1.0;
    if (row.total == 0)
        return 0.0;
    return std::min(1.0, static_cast<double>(row.bytes) / static_cast<double>(row.total));
}

QVariant TransfersModel::display(const Row& row, int column) const
{
    switch (column) {
    case Peer:
        return row.peer;
    case File:
        return row.file;
    case Direction:
        return DirectionText(row.receiving);
    case Mode:
        return row.mode;
    case Bytes:
        return FormatBytes(row.bytes);
    case Total:
        return row.total < 0 ? UnknownTotalText() : FormatBytes(row.total);
    case Progress: {
        if (row.endedMs != 0)
            return EndWord(row.end);
        const double f = fraction(row);
        return f < 0 ? QString() : QStringLiteral("%1%").arg(static_cast<int>(f * 100.0));
    }
    case Rate:
        return FormatRate(row.rate);
    case Elapsed:
        return FormatElapsed((row.endedMs != 0 ? row.endedMs : lastNowMs) - row.startedMs);
    case Resends:
        return QString::number(row.resends);
    case Status:
        return row.status;
    default:
        return {};
    }
}

QVariant TransfersModel::sortValue(const Row& row, int column) const
{
    switch (column) {
    case Bytes:
        return static_cast<qlonglong>(row.bytes);
    case Total:
        return static_cast<qlonglong>(row.total);
    case Progress:
        return fraction(row);
    case Rate:
        return row.rate;
    case Elapsed:
        return static_cast<qlonglong>((row.endedMs != 0 ? row.endedMs : lastNowMs) - row.startedMs);
    case Resends:
        return row.resends;
    default:
        return display(row, column);
    }
}

QVariant TransfersModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(rows.size()))
        return {};
    const Row& row = rows[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return display(row, column);
    case Qt::ToolTipRole:
        if (column == File)
            return row.file;
        return column == Status || (column == Progress && row.endedMs != 0) ? row.status
                                                                            : QVariant();
    case Qt::TextAlignmentRole:
        return static_cast<int>((IsNumeric(column) ? Qt::AlignRight : Qt::AlignLeft) |
                                Qt::AlignVCenter);
    case Qt::ForegroundRole:
        if (row.endedMs == 0)
            return {};
        if (column == Status)
            return row.end == TransferEnd::Completed ? kCompletedColour : kFailedColour;
        return QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    case kSortRole:
        return sortValue(row, column);
    case kFractionRole:
        return fraction(row);
    case kBusyPhaseRole:
        // One sweep every two seconds while under way; still once ended.
        return row.endedMs != 0
                   ? 0.0
                   : static_cast<double>(((lastNowMs - row.startedMs) % 2000 + 2000) % 2000) /
                         2000.0;
    case kSerialRole:
        return static_cast<qulonglong>(row.serial);
    case kLiveRole:
        return row.endedMs == 0;
    case kEndRole:
        return static_cast<int>(row.end);
    case kEndedColourRole:
        if (row.endedMs == 0)
            return {};
        return row.end == TransferEnd::Completed ? kCompletedColour : kFailedColour;
    default:
        return {};
    }
}

QVariant TransfersModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole)
        return static_cast<int>((IsNumeric(section) ? Qt::AlignRight : Qt::AlignLeft) |
                                Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    return ColumnTitle(section);
}
