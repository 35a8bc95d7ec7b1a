#pragma once

// The modeless Find dialog: Find what, Match whole word only, Match case,
// Up/Down, Find Next and Cancel. Each Find Next hands the settings to the
// log view, which keeps them between searches.

#include "app/log_view/text_search.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class ferryFindDlg : public QDialog
{
    Q_OBJECT
public:
    ferryFindDlg(QWidget* parent, const SearchSettings& initial);

    SearchSettings settings() const;

    // For tests and the view: the dialog's own controls.
    QLineEdit* findWhat() const { return findWhatEdit; }

    QCheckBox* wholeWord() const { return wholeWordBox; }

    QCheckBox* matchCase() const { return matchCaseBox; }

    QRadioButton* up() const { return upButton; }

    QRadioButton* down() const { return downButton; }

    QPushButton* findNext() const { return findNextButton; }

signals:
    void findRequested(const SearchSettings& settings);

private:
    QLineEdit* findWhatEdit;
    QCheckBox* wholeWordBox;
    QCheckBox* matchCaseBox;
    QRadioButton* upButton;
    QRadioButton* downButton;
    QPushButton* findNextButton;
};
