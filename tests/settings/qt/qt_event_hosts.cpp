#include "qt_event_hosts.h"

#include "service/dispatcher.h"

QtEventHosts::QtEventHosts()
{
    sockets::SetSocketNotifyHost(this);
    SetTimerHost(this);
}

QtEventHosts::~QtEventHosts()
{
    sockets::SetSocketNotifyHost(nullptr);
    SetTimerHost(nullptr);
}

int QtEventHosts::Watch(sockets::SOCKET s)
{
    auto notifier = std::make_unique<QSocketNotifier>(s, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated,
                     [s] { OnSocketNotify(static_cast<std::uintptr_t>(s), sockets::FD_READ); });
    notifiers[s] = std::move(notifier);
    return 0;
}

void QtEventHosts::Unwatch(sockets::SOCKET s)
{
    auto found = notifiers.find(s);
    if (found != notifiers.end()) {
        // The descriptor is closed right after; this may run inside the
        // notifier's own activation, so it is deleted later.
        found->second->setEnabled(false);
        found->second.release()->deleteLater();
        notifiers.erase(found);
    }
}

void QtEventHosts::Start(std::uint32_t id, unsigned ms, TimerCallback callback)
{
    auto& timer = timers[id];
    if (!timer) {
        timer = std::make_unique<QTimer>();
    }
    timer->disconnect();
    QObject::connect(timer.get(), &QTimer::timeout, [this, id, callback] {
        ++expiries;
        callback(id);
    });
    timer->start(static_cast<int>(ms));
}

void QtEventHosts::Stop(std::uint32_t id)
{
    auto found = timers.find(id);
    if (found != timers.end()) {
        found->second->stop();
    }
}
