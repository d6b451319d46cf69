#include "core/completion.h"

#include <algorithm>

namespace connection {

namespace {

constexpr size_t kShortestCompletedEntry = 2;   // entries of one character are never filled in

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

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
    if (lengthLimit >= 0) {
        const size_t maxChars = lengthLimit > 0 ? static_cast<size_t>(lengthLimit - 1) : 0;
        rest = rest.substr(0, maxChars > typed.size() ? maxChars - typed.size() : 0);
    }
    Completion c;
    c.m_complete = true;
    c.m_text = std::string(typed) + std::string(rest);
    c.m_selectionStart = static_cast<int>(typed.size());
    c.m_selectionLength = static_cast<int>(rest.size());
    return c;
}

}   // namespace connection
