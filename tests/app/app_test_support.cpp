#include "app_test_support.h"

#include "app/log_view/ferry_edit_file.h"
#include "app/main_window/sdi_dec_frame.h"
#include "platform/sockets.h"
#include "service/server_socket.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimerEvent>
#include <QWidget>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

ferryApp& App()
{
    return *static_cast<ferryApp*>(QCoreApplication::instance());
}

ModalAnswerer::ModalAnswerer(std::function<void(QWidget*)> action)
    : act(std::move(action))
{
    timerId = startTimer(20);
}

ModalAnswerer::~ModalAnswerer()
{
    killTimer(timerId);
}

std::function<void(QWidget*)> ClickButton(QMessageBox::StandardButton button)
{
    return [button](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w))
            box->button(button)->click();
    };
}

void ModalAnswerer::timerEvent(QTimerEvent*)
{
    poll();
}

void ModalAnswerer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
        lastHandled = nullptr;
        ticks = 0;
        return;
    }
    if (modal != lastHandled) {
        lastHandled = modal;
        ticks = 0;
        ++seen;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            texts << box->text();
            captions << box->windowTitle();
        }
        act(modal);
        return;
    }
    if (++ticks > 150) // three seconds: give up and let the test fail
        modal->close();
}

ScratchDirectory::ScratchDirectory()
    : previous(QDir::currentPath())
{
    QDir::setCurrent(dir.path());
}

ScratchDirectory::~ScratchDirectory()
{
    QDir::setCurrent(previous);
}

StartedFrame::StartedFrame()
{
    sockets_testing::SetTftpPortOverride(0);
    App().createMainWindow();
}

StartedFrame::~StartedFrame()
{
    App().server().stop();
    delete App().mainWindow();
    sockets_testing::SetTftpPortOverride(-1);
}

SDIDecFrame* StartedFrame::frame() const
{
    return App().mainWindow();
}

ferryEditFile* StartedFrame::view() const
{
    return frame()->logView();
}

bool StartedFrame::close()
{
    return frame()->close();
}

UdpPeer::UdpPeer()
    : fd(socket(AF_INET, SOCK_DGRAM, 0))
{
}

UdpPeer::~UdpPeer()
{
    if (fd >= 0)
        ::close(fd);
}

void UdpPeer::send(const QByteArray& datagram)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(ServerPort());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(fd, datagram.constData(), static_cast<size_t>(datagram.size()), 0,
             reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

QList<QByteArray> UdpPeer::drain()
{
    QList<QByteArray> datagrams;
    char buffer[1024];
    for (;;) {
        ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0)
            break;
        datagrams << QByteArray(buffer, static_cast<qsizetype>(got));
    }
    return datagrams;
}

std::uint16_t UdpPeer::port() const
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

QByteArray ReadRequest(const char* file, const char* mode)
{
    QByteArray packet("\x00\x01", 2);
    packet += file;
    packet += '\0';
    packet += mode;
    packet += '\0';
    return packet;
}

QByteArray FileContent(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}
