#pragma once

// Helpers for the window tests: a main() that builds the application object
// the way the program does, an answerer for modal boxes, a started main
// window on an ephemeral port, and a UDP peer that talks to it.

#include "app/ferry_app.h"

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <netinet/in.h>

class SDIDecFrame;
class ferryEditFile;

// The application object that the test's main() built.
ferryApp& App();

// Watches for modal dialogs from now on. Each one that opens is handed to
// `act` once (a QMessageBox's text and caption are recorded first); after
// a few seconds anything still open is closed so a test fails, not hangs.
class ModalAnswerer : public QObject
{
public:
    explicit ModalAnswerer(std::function<void(QWidget*)> act);
    ~ModalAnswerer() override;

    QStringList texts;
    QStringList captions;
    int seen = 0;

private:
    void poll();

    std::function<void(QWidget*)> act;
    // Guarded: a new box may be built where the last one was.
    QPointer<QWidget> lastHandled;
    int ticks = 0;
    int timerId = 0;
    void timerEvent(QTimerEvent* event) override;
};

// An action for ModalAnswerer: click `button` in every message box.
std::function<void(QWidget*)> ClickButton(QMessageBox::StandardButton button);

// A working directory of the test's own, restored afterwards.
class ScratchDirectory
{
public:
    ScratchDirectory();
    ~ScratchDirectory();

    QString path() const { return dir.path(); }

    QString file(const QString& name) const { return dir.filePath(name); }

private:
    QTemporaryDir dir;
    QString previous;
};

// The main window built and started as at start-up, but listening on an
// ephemeral loopback port so tests never need port 69.
class StartedFrame
{
public:
    StartedFrame();
    ~StartedFrame();
    SDIDecFrame* frame() const;
    ferryEditFile* view() const;
    // Closes the window the way the operator would (close box / Exit).
    bool close();

private:
    bool closed = false;
};

// A UDP socket on 127.0.0.1 that sends to the server's port.
class UdpPeer
{
public:
    UdpPeer();
    ~UdpPeer();
    void send(const QByteArray& datagram);
    // Every datagram already waiting, oldest first, without blocking.
    QList<QByteArray> drain();
    // The local port, in host order.
    std::uint16_t port() const;

private:
    int fd = -1;
};

QByteArray ReadRequest(const char* file, const char* mode = "octet");
QByteArray FileContent(const QString& path);

#define FERRY_APP_TEST_MAIN(TestClass)                                                             \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        ferryApp app(argc, argv);                                                                  \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
