#include "core/displaytext.h"

#include <cstdint>

namespace sensorlink {

namespace {

bool IsContinuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at the start of bytes (no overlong forms,
// no surrogates, nothing beyond U+10FFFF), or 0 when there is none.
size_t SequenceLength(std::string_view bytes) {
    const auto at = [&](size_t i) { return static_cast<uint8_t>(bytes[i]); };
    const uint8_t lead = at(0);
    if (lead < 0x80) return 1;
    size_t length = 0;
    uint8_t low = 0x80;   // the range the second byte must lie in
    uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (!IsContinuation(at(i))) return 0;
    return length;
}

// The characters of Windows-1252 from 0x80 to 0x9F; its five unassigned bytes keep the C1
// control of Latin-1, as Windows reads them.
constexpr char32_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// A character of the Basic Multilingual Plane as UTF-8.
void AppendUtf8(std::string& text, char32_t c) {
    if (c >= 0x800) {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    } else {
        text += static_cast<char>(0xC0 | (c >> 6));
    }
    text += static_cast<char>(0x80 | (c & 0x3F));
}

}   // namespace

std::string DisplayText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        const size_t length = SequenceLength(bytes);
        if (length > 0) {
            text += bytes.substr(0, length);
            bytes.remove_prefix(length);
            continue;
        }
        const auto byte = static_cast<uint8_t>(bytes.front());
        AppendUtf8(text, byte < 0xA0 ? kWindows1252[byte - 0x80] : char32_t{byte});
        bytes.remove_prefix(1);
    }
    return text;
}

std::string_view CutOnCharBoundary(std::string_view utf8, size_t maxBytes) {
    if (utf8.size() <= maxBytes) return utf8;
    size_t end = maxBytes;
    while (end > 0 && IsContinuation(static_cast<uint8_t>(utf8[end]))) --end;
    return utf8.substr(0, end);
}

}   // namespace sensorlink
