#pragma once

// The main window's size and position and the Transfers panel's state,
// kept from one run to the next in the settings file's [Window] section
// (never in [FERRY], which belongs to the server). Nothing stored, as on the
// first start: the window keeps its default size and the panel stays hidden.

#include <QObject>

class QMainWindow;
class TransfersPanel;

class WindowState : public QObject
{
    Q_OBJECT
public:
    // Restores what the last run stored, then writes the state again each
    // time the program hides the window, which it does when it closes.
    WindowState(QMainWindow* window, TransfersPanel* transfers);

    void restore();
    void save() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMainWindow* frame;
    TransfersPanel* panel;
};
