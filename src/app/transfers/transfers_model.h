#pragma once

// The rows of the Transfers panel: one per transfer under way, and one per
// transfer that ended lately, which stays a few seconds with its reason and
// then goes. A refresh reads the service's counters, works out each row's
// rate over the last two seconds, and tells the views only which rows
// changed, came or went, so a sorted view keeps its order and selection.

#include "app/transfers/rate_window.h"
#include "service/transfer_progress.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QString>

#include <cstdint>
#include <vector>

struct TransferView;

class TransfersModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        Peer,
        File,
        Direction,
        Mode,
        Bytes,
        Total,
        Progress,
        Rate,
        Elapsed,
        Resends,
        Status,
        ColumnCount
    };

    // The value a column sorts by: a number for the numeric columns.
    static constexpr int kSortRole = Qt::UserRole;
    // Progress as a fraction from 0 to 1, or -1 while the total is unknown.
    static constexpr int kFractionRole = Qt::UserRole + 1;
    // Where a busy bar's moving part is, from 0 to 1.
    static constexpr int kBusyPhaseRole = Qt::UserRole + 2;
    // The transfer's serial number, for ending it.
    static constexpr int kSerialRole = Qt::UserRole + 3;
    // Whether the transfer is still under way.
    static constexpr int kLiveRole = Qt::UserRole + 4;
    // Once ended: the colour that marks it completed or failed.
    static constexpr int kEndedColourRole = Qt::UserRole + 5;
    // How it ended, a TransferEnd as a number; None while under way.
    static constexpr int kEndRole = Qt::UserRole + 6;

    // How long an ended row stays.
    static constexpr std::int64_t kCompletedLingerMs = 5000;
    static constexpr std::int64_t kFailedLingerMs = 10000;

    explicit TransfersModel(QObject* parent = nullptr);
    ~TransfersModel() override;

    // Starts or stops following the service. Stopping empties the model and
    // lets the service stop keeping ends for it.
    void setWatching(bool on);

    bool watching() const { return following; }

    // Reads the service now; `nowMs` is MonotonicMilliseconds() unless a
    // test moves time on.
    void refresh();
    void refresh(std::int64_t nowMs);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        std::uint64_t serial = 0;
        QString peer;
        QString file;
        QString mode;
        bool receiving = false;
        std::int64_t bytes = 0;
        std::int64_t total = -1;
        std::int32_t resends = 0;
        std::int64_t startedMs = 0;
        std::int64_t endedMs = 0; // 0 while under way
        TransferEnd end = TransferEnd::None;
        QString status;
        std::int64_t removeAtMs = 0; // 0 while under way
        double rate = 0;
        RateWindow samples;
        bool seen = false;
    };

    Row& rowFor(const TransferView& view, std::vector<Row>& added);
    void takeCounters(Row& row, const TransferView& view, std::int64_t nowMs);
    void markEnded(Row& row, const TransferView* view, std::int64_t nowMs);
    void removeExpired(std::int64_t nowMs);
    void reindex();
    QVariant display(const Row& row, int column) const;
    QVariant sortValue(const Row& row, int column) const;
    double fraction(const Row& row) const;

    std::vector<Row> rows;
    QHash<std::uint64_t, int> indexOf;
    std::uint64_t endCursor = 0;
    std::int64_t lastNowMs = 0;
    bool following = false;
};
