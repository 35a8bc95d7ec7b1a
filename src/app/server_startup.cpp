#include "app/server_startup.h"

#include "app/message_box.h"
#include "log/activity_log.h"
#include "service/service_lifetime.h"

#include <QString>

namespace {

void ShowStartupFailure(QWidget* owner, int errorNumber)
{
    ShowMessageBox(owner, QString::fromUtf8(SocketErrorText(errorNumber)), QStringLiteral("ferry"),
                   BoxIcon::Stop, BoxButtons::Ok);
}

} // namespace

int StartTftpService(QWidget* owner)
{
    ServiceStart start = StartService();
    switch (start.failure) {
    case StartFailure::None:
        return 0;
    case StartFailure::SocketsService:
        // The service never started, so there is nothing to clean up.
        MessageBeep(kBeepStop);
        ShowStartupFailure(owner, start.errorNumber);
        return 1;
    case StartFailure::SocketsVersion:
        MessageBeep(kBeepDefault);
        ShowStartupFailure(owner, start.errorNumber);
        StopService();
        return 1;
    case StartFailure::ServerSocketOpen:
        ShowStartupFailure(owner, start.errorNumber);
        StopService();
        return 1;
    }
    return 1;
}
