#pragma once

// The window in which ferry's help pages are read: a row of buttons
// (Contents, Back, Forward, Using help) over the page. It stands apart from
// the program's other windows: it never keeps the program running once the
// main window has closed, and a modal dialog does not lock it.

#include <QSize>
#include <QString>
#include <QUrl>
#include <QWidget>

class QPushButton;
class QTextBrowser;

class HelpViewer : public QWidget
{
    Q_OBJECT

public:
    HelpViewer();

    // The size a new viewer asks for, where the screen has room.
    static QSize preferredSize() { return {600, 640}; }

    // Shows the page at `page` (a local file) with `contents` and
    // `usingHelp` as the targets of the buttons of those names.
    void showPage(const QString& page, const QString& contents, const QString& usingHelp);
    // Shows the viewer's own complaint instead of a page.
    void showComplaint(const QString& text);

    // The file of the page shown; empty while a complaint is shown.
    QString pageFile() const;
    // The shown page's title, or "" for a complaint.
    QString pageTitle() const;

    QString complaint() const { return complaintText; }

    // The text the reader sees.
    QString visibleText() const;

private:
    void updateTitle();
    void bringForward();

    QTextBrowser* browser;
    QPushButton* contentsButton;
    QPushButton* backButton;
    QPushButton* forwardButton;
    QPushButton* usingHelpButton;
    QUrl contentsPage;
    QUrl usingHelpPage;
    QString complaintText;
};
