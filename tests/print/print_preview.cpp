// Not a test: prints a log of realistic entries into a PDF file, so the
// pages can be turned into pictures and looked at.
//   print_preview OUT.pdf [LINES]

#include "app/ferry_app.h"
#include "app/sdi_dec_frame.h"
#include "log/activity_log.h"
#include "platform/clock.h"
#include "print_test_support.h"

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
    const int result = app.printLog(f.view(), f.frame(), false);
    std::printf("result %d\n", result);
    return result == 1 ? 0 : 1;
}
