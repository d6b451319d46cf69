#include "core/recordformat.h"

#include <cstdio>

namespace recorder {

namespace {
constexpr long kTmYearBase = 1900;   // std::tm counts years from 1900
constexpr int kTmMonthBase = 1;      // ... and months from 0
}   // namespace

std::string FormatRecordDate(const std::tm& when) {
    char text[48];
    std::snprintf(text, sizeof text, "%02d-%02d-%04ld", when.tm_mon + kTmMonthBase, when.tm_mday,
                  long{when.tm_year} + kTmYearBase);
    return text;
}

std::string FormatRecordTime(const std::tm& when) {
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", when.tm_hour, when.tm_min, when.tm_sec);
    return text;
}

std::string FormatRecordLine(const std::tm& when, uint16_t raw, uint16_t temp) {
    return FormatRecordDate(when) + '\t' + FormatRecordTime(when) + '\t' + std::to_string(raw) +
           '\t' + std::to_string(temp) + "\r\n";
}

RecordTime SplitRecordTime(uint16_t intervalSeconds, uint16_t frameCount) {
    RecordTime t;
    t.m_totalSeconds = uint64_t{intervalSeconds} * frameCount;
    t.m_days = t.m_totalSeconds / kSecondsPerDay;
    uint64_t rest = t.m_totalSeconds - t.m_days * kSecondsPerDay;
    t.m_hours = rest / kSecondsPerHour;
    rest -= t.m_hours * kSecondsPerHour;
    t.m_minutes = rest / kSecondsPerMinute;
    t.m_seconds = rest - t.m_minutes * kSecondsPerMinute;
    return t;
}

}   // namespace recorder
