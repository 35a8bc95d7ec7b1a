#include "platform/glib/glib_socket_notify_host.h"

#include "platform/glib/glib_callback_exceptions.h"

#include <glib.h>

namespace {

struct WatchSource
{
    GSource base;
    std::function<void(sockets::SOCKET)>* onReadable;
    sockets::SOCKET socket;
};

} // namespace

GlibSocketNotifyHost::GlibSocketNotifyHost(std::function<void(sockets::SOCKET)> readable,
                                           GMainContext* mainContext)
    : onReadable(std::move(readable))
    , context(mainContext)
{
}

GlibSocketNotifyHost::~GlibSocketNotifyHost()
{
    UnwatchAll();
}

int GlibSocketNotifyHost::Dispatch(GSource* source, int (*)(void*), void*)
{
    // With no check function GLib calls this once the descriptor polled
    // readable (or in error, which the read then reports).
    auto* watch = reinterpret_cast<WatchSource*>(source);
    try {
        (*watch->onReadable)(watch->socket);
    } catch (...) {
        HandleGlibCallbackException(std::current_exception());
    }
    return G_SOURCE_CONTINUE;
}

int GlibSocketNotifyHost::Watch(sockets::SOCKET s)
{
    if (s < 0)
        return sockets::SOCKET_ERROR;
    Unwatch(s);
    static GSourceFuncs funcs = {nullptr, nullptr, &Dispatch, nullptr, nullptr, nullptr};
    GSource* source = g_source_new(&funcs, sizeof(WatchSource));
    auto* watch = reinterpret_cast<WatchSource*>(source);
    watch->onReadable = &onReadable;
    watch->socket = s;
    g_source_set_name(source, "ferry socket");
    // GLib otherwise blocks a source while it dispatches, taking its
    // descriptor out of the poll set and putting it back afterwards, and
    // putting it back signals the loop's wake-up descriptor: two extra
    // system calls per datagram. The callback never runs the loop itself.
    g_source_set_can_recurse(source, TRUE);
    g_source_add_unix_fd(source, s, static_cast<GIOCondition>(G_IO_IN | G_IO_ERR | G_IO_HUP));
    g_source_attach(source, context);
    sources.emplace(s, source);
    return 0;
}

void GlibSocketNotifyHost::Unwatch(sockets::SOCKET s)
{
    auto found = sources.find(s);
    if (found == sources.end())
        return;
    // Destroyed at once, because the descriptor is usually closed right
    // after. GLib holds its own reference while the source dispatches, so
    // this may run inside the source's own call.
    g_source_destroy(found->second);
    g_source_unref(found->second);
    sources.erase(found);
}

void GlibSocketNotifyHost::UnwatchAll()
{
    while (!sources.empty())
        Unwatch(sources.begin()->first);
}
