#include "app/help/context_help_cursor.h"

#include <QBitmap>
#include <QSize>

#include <array>
#include <cstddef>

namespace {

constexpr int kSide = 32;

// "X" black, "." white, " " transparent. The white rims keep the arrow and
// the question mark readable on dark and light backgrounds alike.
// clang-format off
constexpr const char* kPicture[kSide] = {
    "X              .......          ",
    "XX            ..XXXXX..         ",
    "X.X          ..XXXXXXX..        ",
    "X..X         .XXX...XXX.        ",
    "X...X        .XX.. ..XX.        ",
    "X....X       ....  ..XX.        ",
    "X.....X           ..XXX.        ",
    "X......X         ..XXX..        ",
    "X.......X        .XXX..         ",
    "X........X       .XX..          ",
    "X.....XXXXX      .XX.           ",
    "X..X..X          ....           ",
    "X.X X..X         .XX.           ",
    "XX  X..X         .XX.           ",
    "X    X..X        ....           ",
    "     X..X                       ",
    "      XX                        ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
    "                                ",
};
// clang-format on

using Plane = std::array<uchar, kSide * kSide / 8>;

// One bit per pixel, rows of four bytes, the leftmost pixel in the most
// significant bit.
Plane MakePlane(bool (*isSet)(char))
{
    Plane bits{};
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            if (isSet(kPicture[y][x])) {
                const auto index = static_cast<std::size_t>(y * kSide / 8 + x / 8);
                bits[index] = static_cast<uchar>(bits[index] | (0x80 >> (x % 8)));
            }
        }
    }
    return bits;
}

} // namespace

QCursor LoadHelpCursor()
{
    const Plane black = MakePlane([](char c) { return c == 'X'; });
    const Plane opaque = MakePlane([](char c) { return c != ' '; });
    const QSize size(kSide, kSide);
    return QCursor(QBitmap::fromData(size, black.data(), QImage::Format_Mono),
                   QBitmap::fromData(size, opaque.data(), QImage::Format_Mono), 0, 0);
}
