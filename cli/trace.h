#pragma once
// What became of a telegram, in words, and the --trace output on standard error.
#include <array>
#include <cstdint>
#include <string>

#include "core/telegram.h"

namespace cli {

// A written telegram ('>'): "ok" or "write failed". A reply ('<'): "ok", "time-out after
// N ms" (nothing came), "short by N bytes" or "N bytes too many".
std::string TelegramOutcome(char direction, int32_t missing, double waitedS);

// The reply that the link's failure handling has just rejected, read from the link's state:
// as TelegramOutcome, or for a whole reply "wrong mark" or "echo mismatch".
std::string RejectedReplyOutcome();

// Prints every telegram as the link's trace hook reports it: milliseconds since the start,
// direction, bytes in hex, outcome. A whole reply is held back until the next telegram or
// the end, as the link's echo check or the tool's mark check may still reject it.
class TracePrinter {
public:
    explicit TracePrinter(double startS) : m_startS(startS) {}

    void Telegram(char direction, const uint8_t* bytes, int32_t missing, double waitedS);
    void Reject(const std::string& outcome);   // the held reply was wrong
    void Finish();                             // prints a held reply as ok

private:
    void Print(double atS, char direction, const uint8_t* bytes, int count,
               const std::string& outcome) const;

    double m_startS = 0.0;
    bool m_holding = false;   // a whole reply awaits its judgement
    double m_heldAtS = 0.0;
    std::array<uint8_t, sensorlink::kTelegramBytes> m_held{};
};

}   // namespace cli
