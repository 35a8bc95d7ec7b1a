#include "app/common/message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QStyle>

#include <algorithm>
#include <cstdio>

namespace {

bool headlessBoxes = false;
QString beepLog;

// No caption widens a box beyond this; a longer one may be cut.
constexpr int kWidestCaptionRoom = 640;

QMessageBox::Icon ToQtIcon(BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::Stop:
        return QMessageBox::Critical;
    case BoxIcon::Exclamation:
        return QMessageBox::Warning;
    case BoxIcon::Question:
        return QMessageBox::Question;
    case BoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(BoxButtons buttons)
{
    switch (buttons) {
    case BoxButtons::Ok:
        return QMessageBox::Ok;
    case BoxButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case BoxButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

BoxAnswer FromQtButton(int button)
{
    switch (button) {
    case QMessageBox::Yes:
        return BoxAnswer::Yes;
    case QMessageBox::No:
        return BoxAnswer::No;
    case QMessageBox::Cancel:
        return BoxAnswer::Cancel;
    default:
        return BoxAnswer::Ok;
    }
}

// What the window manager's title bar needs to show `caption` whole: its
// text, in the bold face title bars often use, beside the window menu's
// icon and the minimize, maximize and close buttons, each about a title
// bar's height wide, and a little room around them. Qt sizes a box by its
// text and allows too little for the caption, which then shows cut short.
int TitleBarWidth(const QWidget& box, const QString& caption)
{
    QFont font = QApplication::font();
    font.setBold(true);
    const int square = box.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    return QFontMetrics(font).horizontalAdvance(caption) + 5 * square;
}

// The box takes the width its layout asks for at least, so an empty item of
// that width beside the buttons, in the last row, makes room for the
// caption without making the box taller.
void MakeRoomForCaption(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr)
        return;
    const int width = std::min(TitleBarWidth(box, box.windowTitle()), kWidestCaptionRoom);
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Fixed),
                  grid->rowCount() - 1, 0, 1, grid->columnCount());
}

const char* AnswerName(BoxAnswer answer)
{
    switch (answer) {
    case BoxAnswer::Yes:
        return "Yes";
    case BoxAnswer::No:
        return "No";
    case BoxAnswer::Cancel:
        return "Cancel";
    case BoxAnswer::Ok:
        break;
    }
    return "OK";
}

// Without a display: "caption: text" on standard error, with the answer
// taken when there was a choice.
void WriteHeadlessBox(const QString& text, const QString& caption, BoxButtons buttons,
                      BoxAnswer answer)
{
    QByteArray line = caption.trimmed().toUtf8() + ": " + text.toUtf8();
    line.replace("\n\n", "\n");
    if (buttons != BoxButtons::Ok)
        line += QByteArray(" [answered ") + AnswerName(answer) + "]";
    std::fprintf(stderr, "%s\n", line.constData());
    std::fflush(stderr);
}

} // namespace

BoxAnswer ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, BoxIcon icon,
                         BoxButtons buttons, BoxAnswer headlessAnswer)
{
    if (headlessBoxes) {
        WriteHeadlessBox(text, caption, buttons, headlessAnswer);
        return headlessAnswer;
    }
    QMessageBox box(ToQtIcon(icon), caption, text, ToQtButtons(buttons), owner);
    MakeRoomForCaption(box);
    if (owner == nullptr)
        box.setWindowModality(Qt::ApplicationModal);
    return FromQtButton(box.exec());
}

BoxAnswer ShowMessageBoxWithHelp(QWidget* owner, const QString& text, const QString& caption,
                                 const std::function<void(QWidget* box)>& help)
{
    if (headlessBoxes) {
        WriteHeadlessBox(text, caption, BoxButtons::Ok, BoxAnswer::Ok);
        return BoxAnswer::Ok;
    }
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, owner);
    // The text may hold a command to type; the reader can copy it from here.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPushButton* helpButton = box.addButton(QMessageBox::Help);
    // Every button of a message box closes it. Help must not, or the box
    // would be gone while its topic is read, so its click goes to `help`
    // alone.
    if (auto* buttonBox = box.findChild<QDialogButtonBox*>())
        QObject::disconnect(helpButton, &QAbstractButton::clicked, buttonBox, nullptr);
    QObject::connect(helpButton, &QAbstractButton::clicked, &box, [&box, &help] { help(&box); });
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    MakeRoomForCaption(box);
    if (owner == nullptr)
        box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return BoxAnswer::Ok;
}

void MessageBeep(unsigned type)
{
    beepLog += QString::number(type) + QLatin1Char(' ');
    if (!headlessBoxes)
        QApplication::beep();
}

void SetHeadlessBoxes(bool headless)
{
    headlessBoxes = headless;
}

bool HeadlessBoxes()
{
    return headlessBoxes;
}

namespace message_box_testing {
const QString& BeepLog()
{
    return beepLog;
}

void ResetBeepLog()
{
    beepLog.clear();
}
} // namespace message_box_testing
