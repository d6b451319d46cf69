#pragma once
// Parameter file: the 16 words of the parameter record as text.
//
// Layout written: one value per line, record word 0 (paraPower) first and word 15
// (frei16) last; each value an unsigned decimal number right-aligned in a field of
// 10 characters (leading blanks), each line ended by CR LF; nothing else (16 lines,
// 192 bytes). Example of a line: "      1000\r\n".
//
// Reading accepts that layout and anything close to it: CR LF or LF, blanks or tabs
// around the numbers, blank lines, values side by side. It refuses a file that is
// short, holds more than 16 values, holds a value that is not a plain decimal number
// or one outside 0 to 65535. Pure functions: the caller reads and writes the file.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/telegram.h"

namespace sensorlink {

constexpr int kParameterFileValues = kRecordWords;   // words in a parameter file (anzpara)
constexpr int kParameterFieldWidth = 10;             // characters per value field

// The file's bytes for the 16 words.
std::string FormatParameterFile(const uint16_t words[kParameterFileValues]);

// Parses a file's bytes into out[0..15]. Returns "" on success; otherwise a short
// reason for the user that names the line of a bad value ("line 3: value 3 is outside 0
// to 65535") and out is left unchanged.
std::string ParseParameterFile(std::string_view text, uint16_t out[kParameterFileValues]);

}   // namespace sensorlink
