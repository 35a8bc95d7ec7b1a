#include "platform/private_profile.h"

#include "platform/file_replace.h"
#include "platform/profile_location.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// One line of the file as it was read: its text without the line end, and
// the line end it had ("\r\n", "\n", or "" for a last line without one), so
// that lines we do not touch are written back byte for byte.
struct Line
{
    std::string text;
    std::string end;
};

struct Profile
{
    std::vector<Line> lines;
    // New lines take the file's own style; a new file gets LF.
    std::string newline = "\n";
};

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names compare byte by byte with ASCII case folding only, so the result
// does not depend on the user's locale.
bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The name of a section header line ("[name]"), or false for any other line.
bool SectionName(const std::string& line, std::string_view* name)
{
    std::string_view s = Trim(line);
    if (s.empty() || s.front() != '[')
        return false;
    std::size_t close = s.find(']');
    if (close == std::string_view::npos)
        return false;
    *name = Trim(s.substr(1, close - 1));
    return true;
}

// Splits a "key = value" line; lines without '=' are not keys.
bool SplitKey(const std::string& line, std::string_view* key, std::string_view* value)
{
    std::size_t equals = line.find('=');
    if (equals == std::string::npos)
        return false;
    std::string_view s = line;
    *key = Trim(s.substr(0, equals));
    *value = Trim(s.substr(equals + 1));
    return true;
}

bool ReadProfile(const std::string& path, Profile* profile)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    std::string content;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        content.append(chunk, got);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return false;

    bool styleKnown = false;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t lf = content.find('\n', start);
        Line line;
        if (lf == std::string::npos) {
            line.text = content.substr(start);
            start = content.size();
        } else {
            std::size_t textEnd = lf;
            if (textEnd > start && content[textEnd - 1] == '\r')
                --textEnd;
            line.text = content.substr(start, textEnd - start);
            line.end = content.substr(textEnd, lf + 1 - textEnd);
            start = lf + 1;
            if (!styleKnown) {
                profile->newline = line.end;
                styleKnown = true;
            }
        }
        profile->lines.push_back(std::move(line));
    }
    return true;
}

// Index of the header line of the first section called `section`, or -1.
long FindSection(const Profile& profile, std::string_view section)
{
    for (std::size_t i = 0; i < profile.lines.size(); ++i) {
        std::string_view name;
        if (SectionName(profile.lines[i].text, &name) && EqualNoCase(name, section))
            return static_cast<long>(i);
    }
    return -1;
}

// One past the last line of the section whose header is at `header`.
std::size_t SectionEnd(const Profile& profile, std::size_t header)
{
    std::size_t i = header + 1;
    std::string_view name;
    while (i < profile.lines.size() && !SectionName(profile.lines[i].text, &name))
        ++i;
    return i;
}

long FindKey(const Profile& profile, std::size_t header, std::size_t end, std::string_view key)
{
    for (std::size_t i = header + 1; i < end; ++i) {
        std::string_view name;
        std::string_view value;
        if (SplitKey(profile.lines[i].text, &name, &value) && EqualNoCase(name, key))
            return static_cast<long>(i);
    }
    return -1;
}

// Inserts lines at `position`; a last line without a line end gets one first,
// so that the new text starts on a line of its own.
void InsertLines(Profile* profile, std::size_t position, std::vector<Line> added)
{
    if (position > 0 && profile->lines[position - 1].end.empty())
        profile->lines[position - 1].end = profile->newline;
    for (Line& line : added)
        line.end = profile->newline;
    profile->lines.insert(profile->lines.begin() + static_cast<std::ptrdiff_t>(position),
                          std::make_move_iterator(added.begin()),
                          std::make_move_iterator(added.end()));
}

std::string Serialize(const Profile& profile)
{
    std::string text;
    for (const Line& line : profile.lines)
        text += line.text + line.end;
    return text;
}

bool HasLineBreak(const char* text)
{
    return text != nullptr && std::strpbrk(text, "\r\n") != nullptr;
}

} // namespace

std::size_t GetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                    char* out, std::size_t size, const char* fileName)
{
    if (out == nullptr || size == 0)
        return 0;

    std::string_view result = Trim(defaultValue != nullptr ? defaultValue : "");
    Profile profile;
    std::string found;
    if (section != nullptr && key != nullptr && fileName != nullptr && fileName[0] != '\0' &&
        ReadProfile(ProfilePath(fileName), &profile)) {
        long header = FindSection(profile, section);
        if (header >= 0) {
            std::size_t first = static_cast<std::size_t>(header);
            long line = FindKey(profile, first, SectionEnd(profile, first), key);
            if (line >= 0) {
                std::string_view name;
                std::string_view value;
                SplitKey(profile.lines[static_cast<std::size_t>(line)].text, &name, &value);
                found = value;
                result = found;
            }
        }
    }

    std::size_t length = result.size() < size - 1 ? result.size() : size - 1;
    std::memcpy(out, result.data(), length);
    out[length] = '\0';
    return length;
}

// A null value removes the key and a null key removes the whole section, as
// callers of the Windows interface expect. Names and values with line breaks
// are refused: written as they are they would add keys or sections of their
// own to the file.
bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* fileName)
{
    if (section == nullptr || fileName == nullptr || fileName[0] == '\0')
        return false;
    std::string_view sectionName = Trim(section);
    if (sectionName.empty() || sectionName.find(']') != std::string_view::npos ||
        HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        return false;
    std::string_view keyName = Trim(key != nullptr ? key : "");
    if (key != nullptr &&
        (keyName.empty() || keyName.find('=') != std::string_view::npos || keyName.front() == '['))
        return false;

    bool bare = std::strchr(fileName, '/') == nullptr;
    std::string path = ProfilePath(fileName);
    Profile profile;
    if (!ReadProfile(path, &profile)) {
        if (errno != ENOENT)
            return false;
        if (key == nullptr || value == nullptr)
            return true; // nothing to remove from a file that is not there
        if (bare && !MakeProfileDirectory())
            return false;
    }

    std::string entry = std::string(keyName) + "=" + std::string(Trim(value ? value : ""));
    long header = FindSection(profile, sectionName);
    if (header < 0) {
        if (key == nullptr || value == nullptr)
            return true;
        std::vector<Line> added;
        // A blank line keeps the new section apart from the text before it.
        if (!profile.lines.empty() && !Trim(profile.lines.back().text).empty())
            added.push_back({});
        // Built piece by piece: GCC 12 at -O3 warns falsely about
        // "[" + std::string + "]".
        std::string sectionLine = "[";
        sectionLine.append(sectionName).append("]");
        added.push_back({std::move(sectionLine), {}});
        added.push_back({entry, {}});
        InsertLines(&profile, profile.lines.size(), std::move(added));
        return ReplaceFileContent(path, Serialize(profile));
    }

    std::size_t first = static_cast<std::size_t>(header);
    std::size_t end = SectionEnd(profile, first);
    auto begin = profile.lines.begin();
    if (key == nullptr) {
        profile.lines.erase(begin + static_cast<std::ptrdiff_t>(first),
                            begin + static_cast<std::ptrdiff_t>(end));
    } else {
        long line = FindKey(profile, first, end, keyName);
        if (line >= 0 && value == nullptr) {
            profile.lines.erase(begin + line);
        } else if (line >= 0) {
            profile.lines[static_cast<std::size_t>(line)].text = entry;
        } else if (value != nullptr) {
            // After the section's last non-blank line, so the blank line that
            // parts it from the next section stays where it is.
            std::size_t position = end;
            while (position > first + 1 && Trim(profile.lines[position - 1].text).empty())
                --position;
            InsertLines(&profile, position, {{entry, {}}});
        } else {
            return true;
        }
    }

    return ReplaceFileContent(path, Serialize(profile));
}
