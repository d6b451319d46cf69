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
        // A Latin-1 character from 0x80 to 0xFF is two bytes in UTF-8.
        const auto byte = static_cast<uint8_t>(bytes.front());
        text += static_cast<char>(0xC0 | (byte >> 6));
        text += static_cast<char>(0x80 | (byte & 0x3F));
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
