#pragma once

// Starts the sockets service and opens the server socket. A failure is shown
// in a stop box captioned "ferry" owned by `owner` (with a beep where one
// belongs) and leaves the sockets service released.

class QWidget;

// 0 when the server is listening; 1 after a failure was shown.
int StartTftpService(QWidget* owner);
