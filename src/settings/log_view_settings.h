#pragma once

// How much of the log the window keeps. A server that runs for months would
// otherwise hold every entry it ever wrote. The bound lives in the settings
// file in use, in a section of its own, and is read once at start-up:
//
//   [LogView]
//   MaxLines=100000
//
// Nothing writes it; an operator who never sets it gets the default.

constexpr const char* kLogViewSection = "LogView";
constexpr const char* kMaxLinesKey = "MaxLines";

// Enough for a busy day of short transfers (two lines each), at a few
// hundred bytes a line in the view.
constexpr int kDefaultLogViewMaxLines = 100000;
// Fewer would leave room for little besides the line that says lines went.
constexpr int kFewestLogViewLines = 10;
// Far beyond any memory; it only keeps the count within an int.
constexpr int kMostLogViewLines = 100000000;

// The bound that a MaxLines value asks for: 0 keeps every line; a number
// below the fewest or above the most is taken as that; anything that is not
// a whole number, or no value at all, gives the default.
int ParseLogViewMaxLines(const char* value);

// The bound from the settings file in use.
int LoadLogViewMaxLines();
