#pragma once

// The words of the Transfers panel: its column titles, the direction, and
// how a transfer ended, in full for the Status column and in a word or two
// for the progress bar.

#include "service/transfer_progress.h"

#include <QString>

#include <cstdint>

QString ColumnTitle(int column);
QString DirectionText(bool receiving);
QString RunningText();
QString UnknownTotalText();

// "completed", or "failed: " and the reason.
QString EndReasonText(TransferEnd end, std::uint16_t peerErrorCode, const char* peerMessage);

// "completed", "abandoned", "disk full"...
QString EndWord(TransferEnd end);
