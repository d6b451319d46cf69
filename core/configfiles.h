#pragma once
// The two configuration files of the program's directory, as bytes.
//
// Settings ("ComSettings.cfg"): four lines, each ended by CR LF when written:
//   1 comprotocol (decimal), 2 comport (decimal), 3 server address, 4 port-number text.
// Reading accepts CR LF or LF; a missing line gives 0 or an empty text.
//
// Server-address history ("IPComboBox.cfg"): one record per entry, most recent first,
// each a 100-byte field (the text, then NUL bytes) followed by CR LF, 102 bytes.
// Reading takes file size div 101 records, so files written with CR LF (102 bytes a
// record) and with LF only (101 bytes) both give every record; at most 100 are read.
//
// The readers take any bytes at all (binary, no line ends, megabytes) without fault.
// Pure functions: the caller reads and writes the files.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace connection {

// The settings file in the program's directory, read by the window and the command-line tool.
constexpr const char* kSettingsFile = "ComSettings.cfg";

constexpr size_t kNumberLineChars = 100;        // characters of lines 1 and 2 that are converted
constexpr size_t kAddressMaxChars = 99;         // server address, kept from line 3 or a record
constexpr size_t kPortTextMaxChars = 31;        // port-number text, kept from line 4
constexpr size_t kHistoryFieldBytes = 100;      // text field of a history record
constexpr size_t kHistoryRecordDivisor = 101;   // file size div this = records to read
constexpr size_t kHistoryMaxRecords = 100;      // records read at most, however large the file

// The settings as stored.
struct ConnectionSettings {
    uint16_t m_comprotocol = 0;   // 0 RS-232, 1 TCP/IP
    uint16_t m_comport = 0;       // serial port number, 1 = first
    std::string m_ipBuf;          // server name or address
    std::string m_portNumStr;     // TCP port number as typed
    bool operator==(const ConnectionSettings&) const = default;
};

// The C library's decimal conversion (atoi): leading blanks (space, tab, line ends,
// vertical tab, form feed) and one sign allowed, stops at the first non-digit, no
// digits give 0. Values beyond the 32-bit range saturate instead of overflowing.
// "5000x" gives 5000.
int32_t DecimalValue(std::string_view text);

// The settings file's bytes: the numbers in decimal, the texts unchanged, CR LF.
std::string FormatSettingsFile(const ConnectionSettings& settings);

// Lines 1 and 2: their first 100 characters converted by DecimalValue and taken
// modulo 2^16; line 3: at most 99 bytes; line 4: at most 31. A text ends at its first
// NUL byte, is taken as UTF-8 with any other bytes as Windows-1252 (DisplayText), and is cut
// on a character boundary. Characters beyond a limit are skipped up to the line end.
ConnectionSettings ParseSettingsFile(std::string_view bytes);

// The history file's bytes, one 102-byte record per entry in the given order; an
// entry (UTF-8) longer than 99 bytes is cut to 99 on a character boundary so that its
// field keeps a NUL and no half character.
std::string FormatHistoryFile(std::span<const std::string> entries);

// The entries of a history file in file order: size div 101 (at most 100) lines of at most 100
// characters each (the rest of a longer line is skipped); a record's text ends at its
// first NUL, is read like line 3 of the settings and cut to 99 bytes; empty texts are
// skipped.
std::vector<std::string> ParseHistoryFile(std::string_view bytes);

}   // namespace connection
