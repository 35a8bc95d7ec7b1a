// The numbers the Transfers panel shows: sizes that never read "1024.0 KiB",
// m:ss past an hour, and a rate that falls to nothing once a transfer
// stalls instead of keeping its average.

#include "app/transfers/rate_window.h"
#include "app/transfers/transfer_format.h"

#include <QTest>

class TransferNumbersTest : public QObject
{
    Q_OBJECT
private slots:

    void sizesAndTimes_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("expected");
        QTest::newRow("bytes") << FormatBytes(511) << "511 B";
        QTest::newRow("one KiB") << FormatBytes(1024) << "1.0 KiB";
        QTest::newRow("rounds up to the next unit") << FormatBytes(1048575) << "1.0 MiB";
        QTest::newRow("past 2 GiB") << FormatBytes(3LL << 30) << "3.0 GiB";
        QTest::newRow("rate") << FormatRate(1536.0) << "1.5 KiB/s";
        QTest::newRow("seconds") << FormatElapsed(7999) << "0:07";
        QTest::newRow("past an hour") << FormatElapsed(4500000) << "75:00";
    }

    void sizesAndTimes()
    {
        QFETCH(QString, shown);
        QFETCH(QString, expected);
        QCOMPARE(shown, expected);
    }

    void rateFollowsTheLastTwoSecondsAndFallsToNothingWhenStalled()
    {
        RateWindow window;
        // 1 s at 100 KiB/s, then 1 s at 300 KiB/s: the window sees both.
        QCOMPARE(window.add(1000, 100 * 1024, 0), 100.0 * 1024);
        for (int ms = 1250; ms < 2000; ms += 250)
            window.add(ms, 100 * 1024 + (ms - 1000) * 300 * 1024 / 1000, 0);
        QCOMPARE(window.add(2000, 400 * 1024, 0), 200.0 * 1024);
        // Stalled since: two seconds later nothing has moved in the window.
        for (int ms = 2250; ms < 4250; ms += 250)
            window.add(ms, 400 * 1024, 0);
        QCOMPARE(window.add(4250, 400 * 1024, 0), 0.0);
    }
};

QTEST_APPLESS_MAIN(TransferNumbersTest)
#include "transfer_numbers_test.moc"
