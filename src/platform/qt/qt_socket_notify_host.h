#pragma once

// Reports a socket's readability on the Qt event loop: a QSocketNotifier per
// watched socket. It is level-triggered, so a queue of datagrams yields one
// call per datagram, each after the previous one was read.

#include "platform/sockets.h"

#include <functional>
#include <unordered_map>

class QSocketNotifier;

class QtSocketNotifyHost : public sockets::SocketNotifyHost
{
public:
    explicit QtSocketNotifyHost(std::function<void(sockets::SOCKET)> onReadable);
    ~QtSocketNotifyHost() override;
    QtSocketNotifyHost(const QtSocketNotifyHost&) = delete;
    QtSocketNotifyHost& operator=(const QtSocketNotifyHost&) = delete;

    int Watch(sockets::SOCKET s) override;
    void Unwatch(sockets::SOCKET s) override;
    void UnwatchAll();

private:
    std::function<void(sockets::SOCKET)> onReadable;
    std::unordered_map<sockets::SOCKET, QSocketNotifier*> notifiers;
};
