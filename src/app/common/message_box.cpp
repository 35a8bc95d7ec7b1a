#include "app/common/message_box.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace {

bool headlessBoxes = false;
QString beepLog;

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

} // namespace

BoxAnswer ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, BoxIcon icon,
                         BoxButtons buttons, BoxAnswer headlessAnswer)
{
    if (headlessBoxes) {
        QByteArray line = caption.trimmed().toUtf8() + ": " + text.toUtf8();
        line.replace("\n\n", "\n");
        if (buttons != BoxButtons::Ok)
            line += QByteArray(" [answered ") + AnswerName(headlessAnswer) + "]";
        std::fprintf(stderr, "%s\n", line.constData());
        std::fflush(stderr);
        return headlessAnswer;
    }
    QMessageBox box(ToQtIcon(icon), caption, text, ToQtButtons(buttons), owner);
    if (owner == nullptr)
        box.setWindowModality(Qt::ApplicationModal);
    return FromQtButton(box.exec());
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
