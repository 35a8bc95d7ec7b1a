#include "app/help/help_viewer_engine.h"

#include "app/common/message_box.h"
#include "app/help/help_viewer.h"
#include "app/help/resource_paths.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QScreen>
#include <QTextStream>
#include <QWindow>

#include <algorithm>
#include <cstdio>

namespace {

QPointer<HelpViewer>& ViewerWindow()
{
    static QPointer<HelpViewer> viewer;
    return viewer;
}

QString& DirectoryOverride()
{
    static QString directory;
    return directory;
}

std::vector<win_help_testing::Call>& CallLog()
{
    static std::vector<win_help_testing::Call> calls;
    return calls;
}

// What topics.map says: the contents page, the page on using help, and the
// page of each context number, as full paths.
struct HelpSet
{
    QString contents;
    QString usingHelp;
    QHash<unsigned long, QString> topics;
};

constexpr const char* kHelpSetName = "ferry.hlp";

// Lines of "contents PAGE", "using-help PAGE" or "NUMBER PAGE"; "#" starts a
// comment. Returns an empty text on success, else the complaint.
QString ReadHelpSet(const QString& file, HelpSet* set)
{
    if (file.compare(QLatin1String(kHelpSetName), Qt::CaseInsensitive) != 0)
        return QObject::tr("Cannot find the help file %1.").arg(file);
    const QString directory = DirectoryOverride().isEmpty() ? HelpDirectory() : DirectoryOverride();
    QFile map(QDir(directory).filePath(QStringLiteral("topics.map")));
    if (directory.isEmpty() || !map.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return QObject::tr("Cannot find the help file %1.\n\n"
                           "ferry's help pages belong in share/ferry/help beside the installed "
                           "program. Reinstalling ferry puts them back.")
            .arg(file);
    }
    const QDir pages(directory);
    QTextStream in(&map);
    while (!in.atEnd()) {
        const QString line = in.readLine().section(QLatin1Char('#'), 0, 0).trimmed();
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() != 2)
            continue;
        const QString page = pages.filePath(fields.at(1));
        bool isNumber = false;
        const unsigned long number = fields.at(0).toULong(&isNumber);
        if (isNumber)
            set->topics.insert(number, page);
        else if (fields.at(0) == QLatin1String("contents"))
            set->contents = page;
        else if (fields.at(0) == QLatin1String("using-help"))
            set->usingHelp = page;
    }
    return {};
}

// Narrower than this, a help page is hard to read.
constexpr int kNarrowestViewer = 320;

// Beside the window that asked, so the reader sees both: on the side with
// more room, narrowed to that room if need be, and wholly on the screen.
// Only where neither side leaves room for a readable page does it cover
// part of that window. The viewer's frame is not known before the window
// manager has framed it; the asker's frame, from the same window manager,
// stands in for it.
void PlaceBeside(HelpViewer* viewer, const QWidget* owner, QSize size)
{
    if (owner == nullptr)
        return;
    const QWidget* window = owner->window();
    const QScreen* screen = window->screen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    const QRect asker = window->frameGeometry();
    const QSize frame = asker.size() - window->geometry().size();
    const int roomRight = area.right() - asker.right();
    const int roomLeft = asker.left() - area.left();
    const bool right = roomRight >= roomLeft;
    const int room = std::max(roomRight, roomLeft) - frame.width();
    const int narrowest = std::max(kNarrowestViewer, viewer->minimumSizeHint().width());
    size.setWidth(
        std::min(std::max(std::min(size.width(), room), narrowest), area.width() - frame.width()));
    size.setHeight(std::min(size.height(), area.height() - frame.height()));
    const QSize outer = size + frame;
    const int x = right ? asker.right() + 1 : asker.left() - outer.width();
    viewer->resize(size);
    viewer->move(std::clamp(x, area.left(), area.right() + 1 - outer.width()),
                 std::clamp(asker.top(), area.top(), area.bottom() + 1 - outer.height()));
}

// A viewer already open stays where the reader left it, unless it hides
// the window that now asks.
bool Covers(const HelpViewer* viewer, const QWidget* owner)
{
    return owner != nullptr && viewer->isVisible() &&
           viewer->frameGeometry().intersects(owner->window()->frameGeometry());
}

HelpViewer* OpenViewer(const QWidget* owner)
{
    QPointer<HelpViewer>& viewer = ViewerWindow();
    if (viewer.isNull()) {
        viewer = new HelpViewer;
        // Closed by the reader, it is gone; the next request opens a new one.
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        PlaceBeside(viewer, owner, HelpViewer::preferredSize());
    } else if (Covers(viewer, owner)) {
        PlaceBeside(viewer, owner, viewer->size());
    }
    // Help asked for from a modal dialog must be readable while the dialog
    // stays open: a window that belongs to the modal one is not locked by it.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        viewer->winId();
        QWindow* modalWindow = modal->window()->windowHandle();
        if (viewer->windowHandle()->transientParent() != modalWindow) {
            const bool wasShown = viewer->isVisible();
            viewer->hide();
            viewer->windowHandle()->setTransientParent(modalWindow);
            if (wasShown)
                viewer->show();
        }
    }
    return viewer;
}

int Complain(const QWidget* owner, const QString& text)
{
    // Without a display nobody reads the viewer; the complaint goes where
    // the program's message boxes go.
    if (HeadlessBoxes())
        std::fprintf(stderr, "ferry Help: %s\n", qPrintable(text));
    OpenViewer(owner)->showComplaint(text);
    return 0;
}

int Show(const QWidget* owner, const QString& page, const HelpSet& set)
{
    if (page.isEmpty() || !QFileInfo(page).isFile()) {
        return Complain(owner, QObject::tr("The help file %1 names the page %2, which is missing.")
                                   .arg(QLatin1String(kHelpSetName), QFileInfo(page).fileName()));
    }
    OpenViewer(owner)->showPage(page, set.contents, set.usingHelp);
    return 1;
}

int Carry(const QWidget* owner, const char* file, unsigned command, unsigned long data)
{
    if (command == kHelpQuit) {
        DestroyHelpViewer();
        return 1;
    }
    HelpSet set;
    const QString problem = ReadHelpSet(QString::fromUtf8(file ? file : ""), &set);
    if (!problem.isEmpty())
        return Complain(owner, problem);
    switch (command) {
    case kHelpContents:
        return Show(owner, set.contents, set);
    case kHelpHelpOnHelp:
        return Show(owner, set.usingHelp, set);
    case kHelpContext: {
        const auto topic = set.topics.constFind(data);
        if (topic == set.topics.constEnd()) {
            return Complain(owner, QObject::tr("The help file %1 has no topic with the context "
                                               "number %2.")
                                       .arg(QLatin1String(kHelpSetName))
                                       .arg(data));
        }
        return Show(owner, *topic, set);
    }
    default:
        return 0;
    }
}

} // namespace

int WinHelp(QWidget* owner, const char* file, unsigned command, unsigned long data)
{
    const int result = Carry(owner, file, command, data);
    CallLog().push_back({owner, QString::fromUtf8(file ? file : ""), command, data, result});
    return result;
}

void DestroyHelpViewer()
{
    delete ViewerWindow().data();
}

namespace win_help_testing {

const std::vector<Call>& Calls()
{
    return CallLog();
}

void ResetCalls()
{
    CallLog().clear();
}

HelpViewer* Viewer()
{
    return ViewerWindow();
}

void SetHelpDirectory(const QString& directory)
{
    DirectoryOverride() = directory;
}

} // namespace win_help_testing
