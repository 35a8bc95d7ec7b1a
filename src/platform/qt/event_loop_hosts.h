#pragma once

// The timer and socket-notification hosts that suit the event loop the
// program runs on. Qt's loop on this platform is GLib's default main
// context: then GLib sources serve the service directly, each datagram and
// each re-armed timer without passing through Qt's event delivery. Under any
// other event dispatcher (QT_NO_GLIB=1, for one) a QSocketNotifier and
// QTimers do the same job. Call once the application object exists.

#include "platform/sockets.h"
#include "platform/timers.h"

#include <functional>
#include <memory>

// True when Qt's event loop on this thread is GLib's default main context.
bool EventLoopIsGlibDefaultContext();

std::unique_ptr<sockets::SocketNotifyHost>
MakeSocketNotifyHost(std::function<void(sockets::SOCKET)> onReadable);
std::unique_ptr<TimerHost> MakeTimerHost();
