#pragma once

// The status bar's CAPS, NUM and SCRL panes: each shows its label while its
// lock is on and stays blank while it is off.

#include <QObject>
#include <QStringList>

class QLabel;
class QStatusBar;
class QTimer;

class KeyIndicators : public QObject
{
    Q_OBJECT
public:
    // `labels` are the three panes' labels, in order.
    KeyIndicators(QStatusBar* bar, const QStringList& labels);

    QLabel* pane(int index) const { return panes[index]; }

    // Shows the locks as they are now.
    void update();

private:
    QLabel* panes[3] = {};
    QTimer* lockTimer = nullptr;
};
