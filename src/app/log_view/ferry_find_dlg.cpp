#include "app/log_view/ferry_find_dlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

ferryFindDlg::ferryFindDlg(QWidget* parent, const SearchSettings& initial)
    : QDialog(parent)
    , findWhatEdit(new QLineEdit(initial.text))
    , wholeWordBox(new QCheckBox(tr("Match &whole word only")))
    , matchCaseBox(new QCheckBox(tr("Match &case")))
    , upButton(new QRadioButton(tr("&Up")))
    , downButton(new QRadioButton(tr("&Down")))
    , findNextButton(new QPushButton(tr("&Find Next")))
{
    setWindowTitle(tr("Find"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* label = new QLabel(tr("Fi&nd what:"));
    label->setBuddy(findWhatEdit);
    wholeWordBox->setChecked(initial.wholeWord);
    matchCaseBox->setChecked(initial.matchCase);
    (initial.up ? upButton : downButton)->setChecked(true);

    auto* direction = new QGroupBox(tr("Direction"));
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(upButton);
    directionLayout->addWidget(downButton);

    auto* cancel = new QPushButton(tr("Cancel"));
    findNextButton->setDefault(true);
    findNextButton->setEnabled(!initial.text.isEmpty());

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(findNextButton);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(findWhatEdit, 0, 1, 1, 2);
    grid->addWidget(wholeWordBox, 1, 0, 1, 2);
    grid->addWidget(matchCaseBox, 2, 0, 1, 2);
    grid->addWidget(direction, 1, 2, 2, 1);
    grid->addLayout(buttons, 0, 3, 3, 1);

    connect(findWhatEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { findNextButton->setEnabled(!text.isEmpty()); });
    connect(findNextButton, &QPushButton::clicked, this, [this] {
        if (!findWhatEdit->text().isEmpty())
            emit findRequested(settings());
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);
    findWhatEdit->selectAll();
}

SearchSettings ferryFindDlg::settings() const
{
    SearchSettings s;
    s.text = findWhatEdit->text();
    s.wholeWord = wholeWordBox->isChecked();
    s.matchCase = matchCaseBox->isChecked();
    s.up = upButton->isChecked();
    return s;
}
