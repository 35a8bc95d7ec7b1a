#include "settings/qt/transfer_options_group.h"

#include "settings/server_settings.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

TransferOptionsGroup::TransferOptionsGroup(QWidget* parent)
    : PreferencesGroup(QStringLiteral("Transfer options"), parent)
{
    setObjectName(QStringLiteral("transferOptionsGroup"));
    negotiateBox =
        new QCheckBox(QStringLiteral("Negotiate block size, window, size and timeout"), this);
    negotiateBox->setObjectName(QStringLiteral("negotiateOptionsBox"));
    auto* sentence = new QLabel(
        QStringLiteral("Clients that ask for larger blocks or a window get them, which makes "
                       "transfers many times faster. Leave it off for a client known to "
                       "mishandle options."),
        this);
    sentence->setObjectName(QStringLiteral("transferOptionsNote"));
    sentence->setTextFormat(Qt::PlainText);
    sentence->setWordWrap(true);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 2, 6, 2);
    column->setSpacing(2);
    column->addWidget(negotiateBox);
    column->addWidget(sentence);
}

void TransferOptionsGroup::showSettings()
{
    negotiateBox->setChecked(TransferOptionsOn());
}

void TransferOptionsGroup::storeSettings()
{
    serverSettings.transferOptions = negotiateBox->isChecked() ? 1 : 0;
}
