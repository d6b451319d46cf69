#include "core/completion.h"

#include <algorithm>

namespace connection {

namespace {

constexpr size_t kShortestCompletedEntry = 2;   // entries of one character are never filled in

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The length of a UTF-8 text in characters as the text box counts them: one for each
// character, two for one beyond U+FFFF.
int TextLength(std::string_view utf8) {
    int length = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) length += byte >= 0xF0 ? 2 : 1;
    }
    return length;
}

// The longest start of a UTF-8 text that holds at most maxLength characters.
std::string_view FirstCharacters(std::string_view utf8, int maxLength) {
    size_t end = 0;
    while (end < utf8.size()) {
        size_t next = end + 1;
        while (next < utf8.size() && (static_cast<unsigned char>(utf8[next]) & 0xC0) == 0x80)
            ++next;
        maxLength -= TextLength(utf8.substr(end, next - end));
        if (maxLength < 0) break;
        end = next;
    }
    return utf8.substr(0, end);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (UpperAscii(text[i]) != UpperAscii(prefix[i])) return false;
    return true;
}

}   // namespace

Completion AutoComplete(std::string_view typed, std::span<const std::string> entries,
                        int lengthLimit) {
    const auto match = std::find_if(entries.begin(), entries.end(), [typed](const std::string& e) {
        return StartsWithIgnoringCase(e, typed);
    });
    if (match == entries.end() || match->size() < kShortestCompletedEntry) return {};

    std::string_view rest = std::string_view(*match).substr(typed.size());
    const int typedLength = TextLength(typed);
    if (lengthLimit >= 0) rest = FirstCharacters(rest, std::max(lengthLimit - 1 - typedLength, 0));
    Completion c;
    c.m_complete = true;
    c.m_text = std::string(typed) + std::string(rest);
    c.m_selectionStart = typedLength;
    c.m_selectionLength = TextLength(rest);
    return c;
}

}   // namespace connection
