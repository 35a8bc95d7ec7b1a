// Shows the Preferences dialog over a plain stand-in for the main window, for
// screenshots and for looking at the dialog by hand. With --grab FILE it
// saves the dialog's own picture to FILE and quits.

#include "settings/qt/ferry_options_dlg.h"
#include "settings/server_settings.h"

#include <QApplication>
#include <QPixmap>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <cstring>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const qsizetype grabAt = arguments.indexOf(QStringLiteral("--grab"));

    std::strcpy(serverSettings.defaultDirectory, "/srv/tftp");
    serverSettings.readWrite = 0;
    serverSettings.diagnostics = 1;

    QWidget mainWindow;
    mainWindow.setWindowTitle(QStringLiteral("  TFTP Daemon  "));
    mainWindow.setGeometry(0, 0, 640, 480);
    mainWindow.show();

    ferryOptionsDlg dialog(&mainWindow);
    if (grabAt >= 0 && grabAt + 1 < arguments.size()) {
        const QString file = arguments.at(grabAt + 1);
        QTimer::singleShot(200, &dialog, [&dialog, file] {
            dialog.grab().save(file);
            dialog.reject();
        });
    }
    dialog.exec();
    return 0;
}
