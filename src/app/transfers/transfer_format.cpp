#include "app/transfers/transfer_format.h"

namespace {

QString WithUnit(double value, const char* suffix)
{
    static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
    int unit = -1;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    if (unit < 0)
        return QStringLiteral("%1 B%2").arg(static_cast<qint64>(value)).arg(QLatin1String(suffix));
    // 1023.96 KiB would round up to "1024.0 KiB"; say "1.0 MiB" instead.
    if (value >= 1023.95 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    return QStringLiteral("%1 %2%3")
        .arg(value, 0, 'f', 1)
        .arg(QLatin1String(kUnits[unit]), QLatin1String(suffix));
}

} // namespace

QString FormatBytes(std::int64_t bytes)
{
    return WithUnit(static_cast<double>(bytes < 0 ? 0 : bytes), "");
}

QString FormatRate(double bytesPerSecond)
{
    return WithUnit(bytesPerSecond < 0 ? 0.0 : bytesPerSecond, "/s");
}

QString FormatElapsed(std::int64_t milliseconds)
{
    const std::int64_t seconds = milliseconds < 0 ? 0 : milliseconds / 1000;
    return QStringLiteral("%1:%2")
        .arg(seconds / 60)
        .arg(static_cast<int>(seconds % 60), 2, 10, QLatin1Char('0'));
}
