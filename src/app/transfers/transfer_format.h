#pragma once

// How the Transfers panel writes its numbers: sizes with binary units, rates
// per second, durations as m:ss. Always with a point for the decimals, like
// the rest of the window, whatever the user's locale.

#include <QString>

#include <cstdint>

// "0 B", "511 B", "1.0 KiB", "12.5 MiB", "2.0 GiB".
QString FormatBytes(std::int64_t bytes);

// FormatBytes per second: "0 B/s", "48.0 KiB/s".
QString FormatRate(double bytesPerSecond);

// Whole seconds as m:ss, minutes unbounded: "0:07", "1:05", "75:00".
QString FormatElapsed(std::int64_t milliseconds);
