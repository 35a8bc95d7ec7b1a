#include "platform/qt/event_loop_hosts.h"

#include "platform/glib/glib_socket_notify_host.h"
#include "platform/glib/glib_timer_host.h"
#include "platform/qt/qt_socket_notify_host.h"
#include "platform/qt/qt_timer_host.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

bool EventLoopIsGlibDefaultContext()
{
    // Qt's GLib dispatcher runs the default context on the application's
    // own thread and a private one on every other thread.
    const QCoreApplication* app = QCoreApplication::instance();
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    return app != nullptr && dispatcher != nullptr && QThread::currentThread() == app->thread() &&
           dispatcher->inherits("QEventDispatcherGlib");
}

std::unique_ptr<sockets::SocketNotifyHost>
MakeSocketNotifyHost(std::function<void(sockets::SOCKET)> onReadable)
{
    if (EventLoopIsGlibDefaultContext())
        return std::make_unique<GlibSocketNotifyHost>(std::move(onReadable));
    return std::make_unique<QtSocketNotifyHost>(std::move(onReadable));
}

std::unique_ptr<TimerHost> MakeTimerHost()
{
    if (EventLoopIsGlibDefaultContext())
        return std::make_unique<GlibTimerHost>();
    return std::make_unique<QtTimerHost>();
}
