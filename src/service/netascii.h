#pragma once

// Netascii on the wire, read from and written to a file's stdio stream: each
// LF of a file goes out as CR LF and each CR as CR NUL, and coming in CR LF
// is stored as LF and CR NUL as CR. A line end may be split between two
// blocks, so what one block leaves over is carried to the next in a small
// state that lives in the Session.

#include <cstddef>
#include <cstdio>

struct NetasciiState
{
    // Sending: the CR of a line end filled the last byte of a block, and its
    // second byte (LF or NUL) opens the next block.
    bool secondByteDue = false;
    unsigned char secondByte = 0;
    // Receiving: a CR waits for the next byte, in this block or the next, to
    // say what it stands for.
    bool crHeld = false;
};

// Fills `data` with up to `room` bytes of the file in netascii. Returns the
// count placed, fewer than `room` only at the end of the file, or -1 when
// reading the file failed (errno tells why).
long ReadNetascii(std::FILE* file, NetasciiState& state, unsigned char* data, std::size_t room);

// Decodes `n` bytes received in netascii into the file. False when a write
// failed (errno tells why).
bool WriteNetascii(std::FILE* file, NetasciiState& state, const unsigned char* data, std::size_t n);

// Writes the CR that an upload holds back when its data ends with one, so a
// transfer ending there, or cut short, keeps every byte that arrived. False
// when writing it failed.
bool FinishNetascii(std::FILE* file, NetasciiState& state);
