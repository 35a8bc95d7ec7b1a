#pragma once

// Reports a socket's readability straight from a GLib main context (the one
// Qt's event loop runs on this platform): a GLib source per watched socket,
// which calls back without passing through Qt's event delivery. Like a
// QSocketNotifier it is level-triggered, so a queue of datagrams yields one
// call per datagram, each after the previous one was read.

#include "platform/sockets.h"

#include <functional>
#include <unordered_map>

typedef struct _GMainContext GMainContext;
typedef struct _GSource GSource;

class GlibSocketNotifyHost : public sockets::SocketNotifyHost
{
public:
    // nullptr: the default main context.
    explicit GlibSocketNotifyHost(std::function<void(sockets::SOCKET)> onReadable,
                                  GMainContext* context = nullptr);
    ~GlibSocketNotifyHost() override;
    GlibSocketNotifyHost(const GlibSocketNotifyHost&) = delete;
    GlibSocketNotifyHost& operator=(const GlibSocketNotifyHost&) = delete;

    int Watch(sockets::SOCKET s) override;
    void Unwatch(sockets::SOCKET s) override;
    void UnwatchAll();

private:
    static int Dispatch(GSource* source, int (*)(void*), void*);

    std::function<void(sockets::SOCKET)> onReadable;
    GMainContext* context;
    std::unordered_map<sockets::SOCKET, GSource*> sources;
};
