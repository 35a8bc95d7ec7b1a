#pragma once

// The TFTP server as the program runs it. It owns the event loop's two
// hosts of the service, the one that reports the server socket's datagrams
// and the one that runs the retransmission timers; it starts the service,
// with the boxes and beeps of a start that fails; and it stops it in order,
// every session first, then the sockets service.

#include <memory>

class QWidget;
class TimerHost;

namespace sockets {
class SocketNotifyHost;
}

class TftpServer
{
public:
    // Makes the hosts that suit the application's event loop, so call it
    // once the application object exists.
    TftpServer();
    ~TftpServer();
    TftpServer(const TftpServer&) = delete;
    TftpServer& operator=(const TftpServer&) = delete;

    // Starts the sockets service and opens the server socket. A failure is
    // shown in a stop box captioned "ferry" owned by `boxOwner` (with a beep
    // where one belongs) and leaves the sockets service released. 0 when the
    // server is listening; 1 after a failure was shown.
    int start(QWidget* boxOwner);

    // Destroys every session without telling its peer, then releases the
    // sockets service, which closes the server socket; idempotent.
    void stop();

    bool running() const { return serving; }

    // After Set Preferences was closed with OK: moves the server socket to
    // where the ListenAddress setting now says. While transfers run it moves
    // at the next start instead. When it cannot move, it stays where it was,
    // the setting is put back to that place (so that the next start does
    // not fail) and a box owned by `boxOwner` says why.
    void followListenAddress(QWidget* boxOwner);

private:
    void installHosts(bool on);

    std::unique_ptr<sockets::SocketNotifyHost> socketNotifyHost;
    std::unique_ptr<TimerHost> timerHost;
    bool serving = false;
};
