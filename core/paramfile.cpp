#include "core/paramfile.h"

#include <cstdio>

namespace sensorlink {

namespace {

constexpr uint32_t kWordMax = 65535;

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Outcome of reading one blank-separated token as an unsigned 16-bit value.
enum class TokenValue { kOk, kNotANumber, kOutOfRange };

TokenValue ReadWord(std::string_view token, uint16_t& value) {
    bool negative = false;
    if (token.front() == '+' || token.front() == '-') {
        negative = token.front() == '-';
        token.remove_prefix(1);
    }
    if (token.empty()) return TokenValue::kNotANumber;
    uint32_t number = 0;
    bool tooLarge = false;
    for (char c : token) {
        if (!IsDigit(c)) return TokenValue::kNotANumber;
        number = number * 10 + static_cast<uint32_t>(c - '0');
        if (number > kWordMax) {
            tooLarge = true;
            number = kWordMax + 1;   // keeps the product small; the token is refused anyway
        }
    }
    if (tooLarge || (negative && number != 0)) return TokenValue::kOutOfRange;
    value = static_cast<uint16_t>(number);
    return TokenValue::kOk;
}

}   // namespace

std::string FormatParameterFile(const uint16_t words[kParameterFileValues]) {
    std::string text;
    char line[32];
    for (int i = 0; i < kParameterFileValues; ++i) {
        std::snprintf(line, sizeof line, "%*u\r\n", kParameterFieldWidth,
                      static_cast<unsigned>(words[i]));
        text += line;
    }
    return text;
}

std::string ParseParameterFile(std::string_view text, uint16_t out[kParameterFileValues]) {
    uint16_t values[kParameterFileValues] = {};
    int count = 0;
    int line = 1;
    size_t pos = 0;
    while (pos < text.size()) {
        if (IsSeparator(text[pos])) {
            if (text[pos] == '\n') ++line;
            ++pos;
            continue;
        }
        size_t end = pos;
        while (end < text.size() && !IsSeparator(text[end])) ++end;
        const std::string where = "line " + std::to_string(line) + ": ";
        if (count == kParameterFileValues)
            return where + "the file holds more than " + std::to_string(kParameterFileValues) +
                   " values";
        const std::string number = std::to_string(count + 1);
        switch (ReadWord(text.substr(pos, end - pos), values[count])) {
        case TokenValue::kNotANumber:
            return where + "value " + number + " is not a number";
        case TokenValue::kOutOfRange:
            return where + "value " + number + " is outside 0 to 65535";
        case TokenValue::kOk:
            break;
        }
        ++count;
        pos = end;
    }
    if (count == 0) return "the file holds no values";
    if (count < kParameterFileValues)
        return "the file holds only " + std::to_string(count) + " of " +
               std::to_string(kParameterFileValues) + " values";
    for (int i = 0; i < kParameterFileValues; ++i) out[i] = values[i];
    return {};
}

}   // namespace sensorlink
