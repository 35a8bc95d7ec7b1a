// Not a test: prints a log of realistic entries into a PDF file, so the
// pages can be turned into pictures and looked at.
//   print_preview OUT.pdf [LINES [SHOT.png]]
// With SHOT.png the screen (or, without a display, the Printing box) is
// saved while page 2 is being printed.

#include "app/ferry_app.h"
#include "app/main_window/sdi_dec_frame.h"
#include "log/activity_log.h"
#include "platform/clock.h"
#include "print_test_support.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    ferryApp app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (argc < 2) {
        std::fprintf(stderr, "usage: print_preview OUT.pdf [LINES]\n");
        return 2;
    }
    const int lines = argc > 2 ? std::atoi(argv[2]) : 120;
    PrintFrame f;
    clock_testing::SetFixedTime(1796003400);
    LogLine("TFTP Daemon started using Winsock Version %d.%d\r\n\r\n", 1, 1);
    for (int i = 0; f.view() && i < lines; ++i) {
        clock_testing::AdvanceTime(7);
        if (i % 3 == 0)
            LogLine("%s requested to %s file %s in format %s\r\n", "192.168.10.23", "read",
                    "/srv/tftp/pxelinux.0", "octet");
        else if (i % 3 == 1)
            LogLine("Sent %ld bytes in %ld seconds to %s\r\n", 26759L + i, 1L, "192.168.10.23");
        else
            LogLine("Column\ttabbed\tentry %d\r\n", i);
    }
    UsePdfPrinter(QString::fromLocal8Bit(argv[1]));
    QTimer shot;
    if (argc > 3) {
        const QString path = QString::fromLocal8Bit(argv[3]);
        QObject::connect(&shot, &QTimer::timeout, [&shot, path] {
            for (QWidget* box : QApplication::topLevelWidgets()) {
                auto* page = box->findChild<QLabel*>(QStringLiteral("pageLine"));
                if (box->objectName() != QLatin1String("printingDialog") || page == nullptr ||
                    !page->text().contains(QLatin1String("Page 2")))
                    continue;
                shot.stop();
                QScreen* screen = box->screen();
                const QPixmap picture =
                    qEnvironmentVariableIsSet("DISPLAY") ? screen->grabWindow(0) : box->grab();
                picture.save(path);
            }
        });
        shot.start(0);
    }
    const int result = app.printing().printLog(f.view(), f.frame(), false);
    std::printf("result %d\n", result);
    return result == 1 ? 0 : 1;
}
