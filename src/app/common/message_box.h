#pragma once

// Message boxes and beeps. Without a display nobody can answer a box, so in
// headless mode each box is written to standard error and takes the answer
// its caller names as the default.

#include <QString>

#include <functional>

class QWidget;

enum class BoxIcon
{
    None,
    Stop,
    Exclamation,
    Question,
};

enum class BoxButtons
{
    Ok,
    YesNo,
    YesNoCancel,
};

enum class BoxAnswer
{
    Ok,
    Yes,
    No,
    Cancel,
};

// A null owner makes the box modal for the whole program.
BoxAnswer ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, BoxIcon icon,
                         BoxButtons buttons, BoxAnswer headlessAnswer = BoxAnswer::Ok);

// A stop box with OK and Help. Help calls `help` with the box as the window
// that asks and leaves the box open, so the reader sees both; the text can be
// selected and copied. Without a display it is an ordinary box: the text goes
// to standard error and nothing else happens.
BoxAnswer ShowMessageBoxWithHelp(QWidget* owner, const QString& text, const QString& caption,
                                 const std::function<void(QWidget* box)>& help);

// The beep that goes with a box: 16 for the stop icon, 0 for the default
// sound. Both sound as the toolkit's one beep.
constexpr unsigned kBeepDefault = 0;
constexpr unsigned kBeepStop = 16;
void MessageBeep(unsigned type);

void SetHeadlessBoxes(bool headless);
bool HeadlessBoxes();

namespace message_box_testing {
// The beeps sounded since the last reset, by type, in order.
const QString& BeepLog();
void ResetBeepLog();
} // namespace message_box_testing
