#include "platform/string_table.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

struct StringEntry
{
    unsigned id;
    const char* text;
};

// Hints of the menu, tool bar and system menu, the status bar's key labels,
// the printing messages and the general error report. Socket error numbers
// are deliberately absent: their log text is the generic phrase with the
// number. Kept sorted by number.
constexpr StringEntry kStrings[] = {
    {2000, "Access online help"},
    {2001, "Help table of contents"},
    {2002, "Help on using online Help"},
    {2009, "About the ferry application"},
    {24310, "Quits ferryApp and prompts to save the documents"},
    {24326, "Clear the document"},
    {24333, "Saves this document"},
    {24334, "Saves this document with a new name"},
    {24337, "Print this document"},
    {24338, "Setup this document print characteristics"},
    {24350, "Search/replace operations"},
    {24351, "Finds the specified text"},
    {24353, "Finds the next match"},
    {24379, "Shows or hides panels of the window"},
    {24380, "Shows or hides the transfers in progress"},
    {24381, "Ends the selected transfers and tells their peers"},
    {32530, "EXT|CAPS|NUM|SCRL|OVR|REC"},
    {32591, "'%s' not printed. %s."},
    {32592, "Out of memory"},
    {32593, "Out of disk space"},
    {32594, "Printing canceled"},
    {32595, "Printing aborted in Print Manager"},
    {32596, "Error encountered during print"},
    {32597, "Print Error"},
    {32742, "Printer error"},
    {32764, "Unhandled Exception"},
    {32765, "OK to resume?"},
    {32766, "ObjectWindows Exception"},
    {61440, "Changes the size of the window"},
    {61456, "Moves the window to another position"},
    {61472, "Reduces the window to an icon"},
    {61488, "Enlarges the window to it maximum size"},
    {61504, "Switches to next window"},
    {61536, "Closes the window"},
    {61728, "Restores the window to its previous size"},
    {61744, "Opens task list"},
    {65535, "File/document operations"},
};

static_assert(std::is_sorted(std::begin(kStrings), std::end(kStrings),
                             [](const StringEntry& a, const StringEntry& b) {
                                 return a.id < b.id;
                             }));

} // namespace

int LoadStringResource(unsigned id, char* out, std::size_t size)
{
    const StringEntry* entry =
        std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                         [](const StringEntry& e, unsigned wanted) { return e.id < wanted; });
    if (entry == std::end(kStrings) || entry->id != id || out == nullptr || size == 0)
        return 0;
    std::size_t length = std::min(std::strlen(entry->text), size - 1);
    std::memcpy(out, entry->text, length);
    out[length] = '\0';
    return static_cast<int>(length);
}
