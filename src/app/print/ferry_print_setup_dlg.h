#pragma once

// The Print Setup dialog: which printer later Print commands use, and the
// paper, orientation and margins of their pages. OK puts the choices into
// the printer it was given, where they stay; Cancel changes nothing.

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPrinter;
class QRadioButton;

class ferryPrintSetupDlg : public QDialog
{
    Q_OBJECT
public:
    ferryPrintSetupDlg(QPrinter& printer, QWidget* parent);

    QComboBox* printerChoice() const { return printers; }

    QComboBox* paperChoice() const { return papers; }

    QRadioButton* landscape() const { return landscapeButton; }

    // Left, top, right, bottom, in millimetres.
    QDoubleSpinBox* margin(int side) const { return margins[side]; }

public slots:
    void accept() override;

private:
    void showPrinter();
    void fillPapers(const QString& printerName);

    QPrinter& target;
    QComboBox* printers;
    QLabel* type;
    QLabel* where;
    QComboBox* papers;
    QRadioButton* portraitButton;
    QRadioButton* landscapeButton;
    QDoubleSpinBox* margins[4] = {};
};
