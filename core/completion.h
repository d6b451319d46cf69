#pragma once
// Auto-completion of a combo box's text from its list, as the user types.
// Texts are UTF-8, compared byte by byte, ignoring the case of ASCII letters; positions and
// lengths count characters as the text box does (a character beyond U+FFFF counts two).
#include <span>
#include <string>
#include <string_view>

namespace connection {

constexpr int kNoLengthLimit = -1;   // the text box takes entries of any length

// What completing a typed text gives.
struct Completion {
    bool m_complete = false;    // false: leave the text as it is
    std::string m_text;         // the typed text followed by the added rest
    int m_selectionStart = 0;   // the added rest is selected, so the next key replaces it
    int m_selectionLength = 0;
};

// Finds the first entry whose upper-case form begins with the upper-case typed text
// (an empty text matches the first entry). Completes only when that entry is longer
// than one character: the result is the typed text in the user's case followed by the
// rest of the entry in its own case, with the rest selected. lengthLimit is the text
// box's maximum entry length plus 1, or kNoLengthLimit; with a limit, the rest is cut
// so that the whole text holds at most lengthLimit - 1 characters.
Completion AutoComplete(std::string_view typed, std::span<const std::string> entries,
                        int lengthLimit);

}   // namespace connection
