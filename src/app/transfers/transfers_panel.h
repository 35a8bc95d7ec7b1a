#pragma once

// The Transfers panel: a dock below the log view with one row per transfer,
// sortable by any column, read from the service four times a second while
// the panel shows and not at all while it is hidden. Its one command, End
// transfer (context menu and Delete), ends the selected transfers.

#include <QDockWidget>

class ContextHelp;
class QAction;
class QSortFilterProxyModel;
class QTableView;
class QTimer;
class TransfersModel;

class TransfersPanel : public QDockWidget
{
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 250;

    TransfersPanel(QWidget* parent, ContextHelp& contextHelp);
    ~TransfersPanel() override;

    TransfersModel* model() const { return rows; }

    QTableView* table() const { return view; }

    QAction* endTransferAction() const { return endAction; }

    // The height the panel asks for when it is docked and shown.
    void setPreferredHeight(int height);
    int preferredHeight() const;

    // Ends the selected transfers that are still under way.
    void endSelectedTransfers();

private:
    void followVisibility(bool visible);
    void showContextMenu(const QPoint& position);
    void updateEndAction();
    void fitColumns();

    ContextHelp& helpFilter;
    TransfersModel* rows;
    QSortFilterProxyModel* sorted;
    QTableView* view;
    QAction* endAction;
    QTimer* refreshTimer;
};
