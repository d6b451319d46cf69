#include "cli/trace.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "link/com232.h"
#include "platform/platform.h"

namespace cli {

namespace sl = sensorlink;

namespace {

constexpr double kMsPerSecond = 1000.0;

long long Milliseconds(double seconds) { return std::llround(seconds * kMsPerSecond); }

}   // namespace

std::string TelegramOutcome(char direction, int32_t missing, double waitedS) {
    if (missing == 0) return "ok";
    if (direction == '>') return "write failed";
    if (missing == sl::kTelegramBytes)
        return "time-out after " + std::to_string(Milliseconds(waitedS)) + " ms";
    if (missing > 0) return "short by " + std::to_string(missing) + " bytes";
    return std::to_string(-missing) + " bytes too many";
}

std::string RejectedReplyOutcome() {
    if (sl::bytesToRead != 0) return TelegramOutcome('<', sl::bytesToRead, sl::tdiff);
    const uint16_t head = static_cast<uint16_t>(sl::szReadBuf[0] << 8 | sl::szReadBuf[1]);
    return head == sl::kReplyMark ? "echo mismatch" : "wrong mark";
}

void TracePrinter::Telegram(char direction, const uint8_t* bytes, int32_t missing, double waitedS) {
    Finish();
    const double nowS = platform::Timer();
    if (direction == '<' && missing == 0) {
        m_holding = true;
        m_heldAtS = nowS;
        std::copy(bytes, bytes + sl::kTelegramBytes, m_held.begin());
        return;
    }
    const int count = direction == '<' ? std::max(sl::kTelegramBytes - std::max(missing, 0), 0)
                                       : sl::kTelegramBytes;
    Print(nowS, direction, bytes, count, TelegramOutcome(direction, missing, waitedS));
}

void TracePrinter::Reject(const std::string& outcome) {
    if (!m_holding) return;
    m_holding = false;
    Print(m_heldAtS, '<', m_held.data(), sl::kTelegramBytes, outcome);
}

void TracePrinter::Finish() {
    if (!m_holding) return;
    m_holding = false;
    Print(m_heldAtS, '<', m_held.data(), sl::kTelegramBytes, "ok");
}

void TracePrinter::Print(double atS, char direction, const uint8_t* bytes, int count,
                         const std::string& outcome) const {
    std::string hex;
    for (int i = 0; i < count; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X ", bytes[i]);
        hex += pair;
    }
    if (hex.empty()) hex = "- ";
    std::fprintf(stderr, "%7lld %c %s%s\n", Milliseconds(atS - m_startS), direction, hex.c_str(),
                 outcome.c_str());
}

}   // namespace cli
