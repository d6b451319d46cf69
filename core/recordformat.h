#pragma once
// Record file bytes and the record-time split. The record file is tab-separated
// text with CR LF line ends, written without translation:
//   header  "DATE\tTIME\tRAW\tTEMP\t\r\n"          (five fields, the last empty)
//   line    "MM-DD-YYYY\tHH:MM:SS\t<raw>\t<temp>\r\n"  (decimal, no leading zeros)
// Pure functions: the caller takes the clock and appends the bytes to the file.
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace recorder {

// The header line, 21 bytes.
constexpr std::string_view kRecordHeader = "DATE\tTIME\tRAW\tTEMP\t\r\n";

constexpr uint64_t kSecondsPerDay = 86400;
constexpr uint64_t kSecondsPerHour = 3600;
constexpr uint64_t kSecondsPerMinute = 60;

// Interval x frame count split for the record-time displays.
struct RecordTime {
    uint64_t m_totalSeconds = 0;
    uint64_t m_days = 0;
    uint64_t m_hours = 0;     // 0..23
    uint64_t m_minutes = 0;   // 0..59
    uint64_t m_seconds = 0;   // 0..59
};

// "MM-DD-YYYY" (two-digit month, two-digit day, four-digit year) of a local time.
std::string FormatRecordDate(const std::tm& when);

// "HH:MM:SS" on the 24-hour clock.
std::string FormatRecordTime(const std::tm& when);

// One data line: date, time, raw signal and temperature, tab-separated, CR LF.
std::string FormatRecordLine(const std::tm& when, uint16_t raw, uint16_t temp);

// interval (seconds) x count in 64 bits, split into days, hours, minutes, seconds
// by truncating division.
RecordTime SplitRecordTime(uint16_t intervalSeconds, uint16_t frameCount);

}   // namespace recorder
