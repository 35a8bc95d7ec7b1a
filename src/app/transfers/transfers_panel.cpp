#include "app/transfers/transfers_panel.h"

#include "app/common/string_resource.h"
#include "app/help/context_help.h"
#include "app/main_window/command_ids.h"
#include "app/transfers/transfer_cell_delegate.h"
#include "app/transfers/transfers_model.h"
#include "service/operator_end.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace {

constexpr int kDefaultHeight = 180;

// The table asks the dock for the height the operator gave it last.
class TransfersTable : public QTableView
{
public:
    using QTableView::QTableView;

    QSize sizeHint() const override { return {QTableView::sizeHint().width(), preferredHeight}; }

    int preferredHeight = kDefaultHeight;

protected:
    // Reached with Tab and nothing selected, the current row becomes the
    // selected one, so Delete acts on the row the keyboard is at.
    void focusInEvent(QFocusEvent* event) override
    {
        QTableView::focusInEvent(event);
        if (model() == nullptr || model()->rowCount() == 0 || selectionModel()->hasSelection())
            return;
        selectRow(currentIndex().isValid() ? currentIndex().row() : 0);
    }
};

} // namespace

TransfersPanel::TransfersPanel(QWidget* parent, ContextHelp& contextHelp)
    : QDockWidget(tr("Transfers"), parent)
    , helpFilter(contextHelp)
    , rows(new TransfersModel(this))
    , sorted(new QSortFilterProxyModel(this))
    , view(new TransfersTable(this))
    , endAction(new QAction(tr("&End transfer"), this))
    , refreshTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("transfersPanel"));
    setAllowedAreas(Qt::BottomDockWidgetArea);
    setFeatures(DockWidgetClosable | DockWidgetMovable | DockWidgetFloatable);

    // Sorted by the raw numbers, not the texts; the order is kept while
    // rows change. Until the operator picks a column, rows stay in the
    // order the transfers started.
    sorted->setSourceModel(rows);
    sorted->setSortRole(TransfersModel::kSortRole);
    sorted->setDynamicSortFilter(true);
    view->setModel(sorted);
    view->setItemDelegate(new TransferCellDelegate(view));
    view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    view->setSortingEnabled(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setTabKeyNavigation(false);
    view->setWordWrap(false);
    view->setShowGrid(false);
    view->setAlternatingRowColors(true);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setStretchLastSection(true);
    fitColumns();
    setWidget(view);

    endAction->setStatusTip(StringResource(command::kEndTransfer));
    endAction->setData(command::kEndTransfer);
    endAction->setShortcut(QKeySequence(Qt::Key_Delete));
    endAction->setShortcutContext(Qt::WidgetShortcut);
    view->addAction(endAction);
    connect(endAction, &QAction::triggered, this, [this] {
        if (!helpFilter.interceptCommand(command::kEndTransfer))
            endSelectedTransfers();
    });
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, &TransfersPanel::showContextMenu);
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TransfersPanel::updateEndAction);
    connect(rows, &QAbstractItemModel::dataChanged, this, &TransfersPanel::updateEndAction);
    updateEndAction();

    refreshTimer->setInterval(kRefreshMs);
    connect(refreshTimer, &QTimer::timeout, rows, [this] { rows->refresh(); });
    connect(this, &QDockWidget::visibilityChanged, this, &TransfersPanel::followVisibility);
}

TransfersPanel::~TransfersPanel() = default;

void TransfersPanel::setPreferredHeight(int height)
{
    static_cast<TransfersTable*>(view)->preferredHeight = std::max(height, 60);
}

int TransfersPanel::preferredHeight() const
{
    return static_cast<TransfersTable*>(view)->preferredHeight;
}

// Hidden, the panel costs the service nothing: no looks, no kept ends.
void TransfersPanel::followVisibility(bool visible)
{
    rows->setWatching(visible);
    if (visible)
        refreshTimer->start();
    else
        refreshTimer->stop();
}

void TransfersPanel::endSelectedTransfers()
{
    std::vector<std::uint64_t> serials;
    for (const QModelIndex& index : view->selectionModel()->selectedRows()) {
        if (index.data(TransfersModel::kLiveRole).toBool())
            serials.push_back(index.data(TransfersModel::kSerialRole).toULongLong());
    }
    if (serials.empty())
        return;
    for (std::uint64_t serial : serials)
        EndTransferByOperator(serial);
    // The rows say at once that they were ended.
    rows->refresh();
}

void TransfersPanel::showContextMenu(const QPoint& position)
{
    updateEndAction();
    QMenu menu(view);
    menu.addAction(endAction);
    menu.exec(view->viewport()->mapToGlobal(position));
}

void TransfersPanel::updateEndAction()
{
    bool anyLive = false;
    for (const QModelIndex& index : view->selectionModel()->selectedRows()) {
        if (index.data(TransfersModel::kLiveRole).toBool()) {
            anyLive = true;
            break;
        }
    }
    endAction->setEnabled(anyLive);
}

// Wide enough for the longest text each column usually holds and for its
// title; the status takes the rest.
void TransfersPanel::fitColumns()
{
    const QFontMetrics metrics = view->fontMetrics();
    const QFontMetrics headerMetrics = view->horizontalHeader()->fontMetrics();

    const struct
    {
        int column;
        const char* sample;
    } widest[] = {
        {TransfersModel::Peer, "192.168.1.100:65535"},
        {TransfersModel::File, "firmware.bin"},
        {TransfersModel::Direction, "from peer"},
        {TransfersModel::Mode, "netascii"},
        {TransfersModel::Bytes, "999.9 MiB"},
        {TransfersModel::Total, "999.9 MiB"},
        {TransfersModel::Progress, "write error"},
        {TransfersModel::Rate, "999.9 KiB/s"},
        {TransfersModel::Elapsed, "59:59"},
        {TransfersModel::Resends, "999"},
    };

    constexpr int kPadding = 12;
    for (const auto& [column, sample] : widest) {
        const int title =
            headerMetrics.horizontalAdvance(rows->headerData(column, Qt::Horizontal).toString()) +
            kPadding + 8; // room for the sort arrow
        const int content = metrics.horizontalAdvance(QString::fromLatin1(sample)) + kPadding;
        view->setColumnWidth(column, std::max(title, content));
    }
}
