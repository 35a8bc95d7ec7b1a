#pragma once

// The service's two entry points driven by a Qt event loop, as the program
// drives them: a QSocketNotifier per watched socket calls OnSocketNotify,
// and a QTimer per timer id calls the timer's callback. Installed for the
// lifetime of the object.

#include "platform/sockets.h"
#include "platform/timers.h"

#include <QSocketNotifier>
#include <QTimer>

#include <map>
#include <memory>

class QtEventHosts : public sockets::SocketNotifyHost, public TimerHost
{
public:
    QtEventHosts();
    ~QtEventHosts() override;
    QtEventHosts(const QtEventHosts&) = delete;
    QtEventHosts& operator=(const QtEventHosts&) = delete;

    int Watch(sockets::SOCKET s) override;
    void Unwatch(sockets::SOCKET s) override;
    void Start(std::uint32_t id, unsigned ms, TimerCallback callback) override;
    void Stop(std::uint32_t id) override;

    // How many timer expiries were delivered.
    int Expiries() const { return expiries; }

private:
    std::map<sockets::SOCKET, std::unique_ptr<QSocketNotifier>> notifiers;
    std::map<std::uint32_t, std::unique_ptr<QTimer>> timers;
    int expiries = 0;
};
