#include "platform/qt/qt_socket_notify_host.h"

#include <QSocketNotifier>

QtSocketNotifyHost::QtSocketNotifyHost(std::function<void(sockets::SOCKET)> readable)
    : onReadable(std::move(readable))
{
}

QtSocketNotifyHost::~QtSocketNotifyHost()
{
    UnwatchAll();
}

int QtSocketNotifyHost::Watch(sockets::SOCKET s)
{
    if (s < 0)
        return sockets::SOCKET_ERROR;
    Unwatch(s);
    auto* notifier = new QSocketNotifier(s, QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, [this, s] { onReadable(s); });
    notifiers.emplace(s, notifier);
    return 0;
}

void QtSocketNotifyHost::Unwatch(sockets::SOCKET s)
{
    auto found = notifiers.find(s);
    if (found == notifiers.end())
        return;
    // Disabled at once, because the descriptor is usually closed right
    // after; deleted later, because this may run inside its own activation.
    found->second->setEnabled(false);
    found->second->deleteLater();
    notifiers.erase(found);
}

void QtSocketNotifyHost::UnwatchAll()
{
    while (!notifiers.empty())
        Unwatch(notifiers.begin()->first);
}
