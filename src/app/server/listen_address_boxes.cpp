#include "app/server/listen_address_boxes.h"

#include "app/common/message_box.h"
#include "log/activity_log.h"

#include <QString>

#include <string>

void ShowListenAddressFailure(QWidget* owner, const char* setting, ListenProblem problem)
{
    ShowMessageBox(owner, QString::fromStdString(ListenFailureText(setting, problem)),
                   QStringLiteral("ferry"), BoxIcon::Stop, BoxButtons::Ok);
}

void ShowReopenFailure(QWidget* owner, const char* setting, const ReopenResult& result)
{
    // A setting the system refused says why in words; any other failure,
    // such as the port being taken on that address, by its error number.
    std::string why = result.problem != ListenProblem::None ? ListenProblemReason(result.problem)
                                                            : SocketErrorText(result.errorNumber);
    std::string text = "Cannot listen on \"" + std::string(setting) + "\": " + why + ".\n\n";
    if (result.outcome == Reopen::NotListening) {
        text += "Nor could ferry listen where it did before, so it serves nothing until it is "
                "started again.";
        ShowMessageBox(owner, QString::fromStdString(text), QStringLiteral("ferry"), BoxIcon::Stop,
                       BoxButtons::Ok);
        return;
    }
    text += "ferry goes on listening on " + ListeningDescription() +
            ", and the setting keeps that value.";
    ShowMessageBox(owner, QString::fromStdString(text), QStringLiteral("ferry"),
                   BoxIcon::Exclamation, BoxButtons::Ok);
}
