#include "app/help/help_viewer.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

HelpViewer::HelpViewer()
    : QWidget(nullptr, Qt::Window)
    , browser(new QTextBrowser(this))
    , contentsButton(new QPushButton(tr("&Contents"), this))
    , backButton(new QPushButton(tr("&Back"), this))
    , forwardButton(new QPushButton(tr("&Forward"), this))
    , usingHelpButton(new QPushButton(tr("&Using help"), this))
{
    setObjectName(QStringLiteral("helpViewer"));
    browser->setObjectName(QStringLiteral("helpPage"));
    // The help is read beside the server, which goes on running; closing the
    // main window must still end the program.
    setAttribute(Qt::WA_QuitOnClose, false);

    // Web links leave for the desktop's browser; the pages' own links stay here.
    browser->setOpenExternalLinks(true);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {contentsButton, backButton, forwardButton, usingHelpButton}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser, 1);

    connect(contentsButton, &QPushButton::clicked, this,
            [this] { browser->setSource(contentsPage); });
    connect(usingHelpButton, &QPushButton::clicked, this,
            [this] { browser->setSource(usingHelpPage); });
    connect(backButton, &QPushButton::clicked, browser, &QTextBrowser::backward);
    connect(forwardButton, &QPushButton::clicked, browser, &QTextBrowser::forward);
    connect(browser, &QTextBrowser::backwardAvailable, backButton, &QWidget::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, forwardButton, &QWidget::setEnabled);
    connect(browser, &QTextBrowser::sourceChanged, this, &HelpViewer::updateTitle);
    backButton->setEnabled(false);
    forwardButton->setEnabled(false);

    resize(preferredSize());
    updateTitle();
}

void HelpViewer::showPage(const QString& page, const QString& contents, const QString& usingHelp)
{
    contentsPage = QUrl::fromLocalFile(contents);
    usingHelpPage = QUrl::fromLocalFile(usingHelp);
    complaintText.clear();
    for (QPushButton* button : {contentsButton, usingHelpButton})
        button->setEnabled(true);
    browser->setSource(QUrl::fromLocalFile(page));
    updateTitle();
    bringForward();
}

void HelpViewer::showComplaint(const QString& text)
{
    complaintText = text;
    // Nothing to go back to or on from: the pages are not there.
    browser->clearHistory();
    browser->setSource(QUrl());
    browser->setPlainText(text);
    for (QPushButton* button : {contentsButton, usingHelpButton})
        button->setEnabled(false);
    updateTitle();
    bringForward();
}

QString HelpViewer::pageFile() const
{
    if (!complaintText.isEmpty())
        return {};
    return browser->source().toLocalFile();
}

QString HelpViewer::pageTitle() const
{
    return complaintText.isEmpty() ? browser->documentTitle() : QString();
}

QString HelpViewer::visibleText() const
{
    return browser->toPlainText();
}

// The page's own title follows the viewer's name, unless it begins with
// that name already ("ferry Help Contents").
void HelpViewer::updateTitle()
{
    const QString name = tr("ferry Help");
    const QString title = pageTitle();
    if (title.isEmpty())
        setWindowTitle(name);
    else if (title.startsWith(name))
        setWindowTitle(title);
    else
        setWindowTitle(tr("%1 - %2").arg(name, title));
}

void HelpViewer::bringForward()
{
    show();
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}
