#pragma once

// SIGINT and SIGTERM reach the event loop: the handler only writes the
// signal's number into a pipe, and a notifier on the pipe's other end
// calls back on the GUI thread, where the program can end the orderly way.

#include <QObject>

class QSocketNotifier;

class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    void drain();

    QSocketNotifier* notifier = nullptr;
};
