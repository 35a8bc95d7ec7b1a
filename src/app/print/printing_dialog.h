#pragma once

// The small "Printing" box shown while a job runs: which page is being
// printed, the job's title and the printer, and a Cancel button. It is the
// only window the operator can use meanwhile; Cancel (or Esc) asks the job
// to stop and then greys itself, and the box cannot be closed otherwise.

#include <QDialog>

class QLabel;
class QPushButton;

class PrintingDialog : public QDialog
{
    Q_OBJECT
public:
    PrintingDialog(QWidget* parent, const QString& title, const QString& device,
                   const QString& port);

    // Shows "Now printing Page n of" once a page number above 0 is known.
    void setPage(int page);

    bool cancelRequested() const { return cancelled; }

public slots:
    // Esc and Cancel stop the job; the box stays until the job has ended.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void placeOverParent();

    QLabel* pageLine = nullptr;
    QLabel* nowPrintingLine = nullptr;
    QPushButton* cancelButton = nullptr;
    bool cancelled = false;
};
