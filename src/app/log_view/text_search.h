#pragma once

// Searching the log view's text the way the Find dialog promises: from the
// end of the selection downwards or from its start upwards, optionally
// matching case and whole words only, never wrapping round.

#include <QString>

class QTextCursor;
class QTextDocument;

struct SearchSettings
{
    QString text;
    bool matchCase = false;
    bool wholeWord = false;
    bool up = false;
};

// The match as a selection, or a null cursor when there is none. Searching
// up, a match lies wholly before the selection, so repeated searches step
// through earlier matches.
QTextCursor FindText(const QTextDocument& document, const QTextCursor& from,
                     const SearchSettings& settings);
