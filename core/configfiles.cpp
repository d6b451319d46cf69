#include "core/configfiles.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "core/displaytext.h"

namespace connection {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// The line that starts at pos, without its line end (LF, or CR LF), cut to maxChars;
// the rest of a longer line is skipped. pos moves past the line end. At the end of the
// bytes this gives an empty line, as a text-mode line reader does.
std::string_view NextLine(std::string_view bytes, size_t& pos, size_t maxChars) {
    const size_t start = pos;
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    pos = end < bytes.size() ? end + 1 : end;
    std::string_view line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line.substr(0, maxChars);
}

// A text read from a file ends at its first NUL, like a C string.
std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

// Bytes of the longest UTF-8 character: reading that much beyond a limit lets a character
// that starts within it be taken whole.
constexpr size_t kLongestCharBytes = 4;

// A text field as it is kept: up to its first NUL, as UTF-8 (other bytes taken as Windows-1252),
// at most maxBytes and cut on a character boundary, so that it is written back unchanged.
std::string StoredText(std::string_view field, size_t maxBytes) {
    return std::string(
        sensorlink::CutOnCharBoundary(sensorlink::DisplayText(UpToNul(field)), maxBytes));
}

bool IsCBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}   // namespace

int32_t DecimalValue(std::string_view text) {
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    size_t i = 0;
    while (i < text.size() && IsCBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;   // magnitude, held at most one past the 32-bit range
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kMax + 1) value = kMax + 1;
    }
    if (negative) return static_cast<int32_t>(-value);   // at least the 32-bit minimum
    return static_cast<int32_t>(value > kMax ? kMax : value);
}

std::string FormatSettingsFile(const ConnectionSettings& settings) {
    std::string text;
    text += std::to_string(settings.m_comprotocol);
    text += kLineEnd;
    text += std::to_string(settings.m_comport);
    text += kLineEnd;
    text += settings.m_ipBuf;
    text += kLineEnd;
    text += settings.m_portNumStr;
    text += kLineEnd;
    return text;
}

ConnectionSettings ParseSettingsFile(std::string_view bytes) {
    size_t pos = 0;
    ConnectionSettings s;
    // A negative or large number wraps into the unsigned 16-bit setting, as an int
    // assigned to it would.
    s.m_comprotocol = static_cast<uint16_t>(DecimalValue(NextLine(bytes, pos, kNumberLineChars)));
    s.m_comport = static_cast<uint16_t>(DecimalValue(NextLine(bytes, pos, kNumberLineChars)));
    s.m_ipBuf =
        StoredText(NextLine(bytes, pos, kAddressMaxChars + kLongestCharBytes), kAddressMaxChars);
    s.m_portNumStr =
        StoredText(NextLine(bytes, pos, kPortTextMaxChars + kLongestCharBytes), kPortTextMaxChars);
    return s;
}

std::string FormatHistoryFile(std::span<const std::string> entries) {
    std::string bytes;
    bytes.reserve(entries.size() * (kHistoryFieldBytes + kLineEnd.size()));
    for (const std::string& entry : entries) {
        std::string field(sensorlink::CutOnCharBoundary(entry, kAddressMaxChars));
        field.resize(kHistoryFieldBytes, '\0');
        bytes += field;
        bytes += kLineEnd;
    }
    return bytes;
}

std::vector<std::string> ParseHistoryFile(std::string_view bytes) {
    std::vector<std::string> entries;
    size_t pos = 0;
    // A history holds ten entries; a file far beyond that is not one to fill a list with.
    const size_t records = std::min(bytes.size() / kHistoryRecordDivisor, kHistoryMaxRecords);
    for (size_t i = 0; i < records && pos < bytes.size(); ++i) {
        std::string text = StoredText(NextLine(bytes, pos, kHistoryFieldBytes), kAddressMaxChars);
        if (!text.empty()) entries.push_back(std::move(text));
    }
    return entries;
}

}   // namespace connection
