#include "sim/protocol.h"

namespace sim {

namespace {
constexpr uint8_t kSyncHigh = sensorlink::kSyncWord >> 8;    // 0x00
constexpr uint8_t kSyncLow = sensorlink::kSyncWord & 0xFF;   // 0x55
}  // namespace

bool FeedByte(RequestParser& parser, uint8_t byte) {
    if (parser.m_filled == 0) {
        if (byte != kSyncHigh) {
            ++parser.m_dropped;
            return false;
        }
    } else if (parser.m_filled == 1 && byte != kSyncLow) {
        // The 0x00 seen before was no sync word; this byte may begin the next one.
        ++parser.m_dropped;
        if (byte != kSyncHigh) {
            ++parser.m_dropped;
            parser.m_filled = 0;
        }
        return false;
    }
    parser.m_buffer[parser.m_filled++] = byte;
    if (parser.m_filled < parser.m_buffer.size()) return false;
    parser.m_filled = 0;
    return true;
}

std::vector<Telegram> FeedBytes(RequestParser& parser, const uint8_t* data, size_t size) {
    std::vector<Telegram> requests;
    for (size_t i = 0; i < size; ++i)
        if (FeedByte(parser, data[i])) requests.push_back(parser.m_buffer);
    return requests;
}

uint16_t TelegramCode(const Telegram& telegram) {
    return static_cast<uint16_t>(telegram[2] << 8 | telegram[3]);
}

bool IsTriggerRequest(const Telegram& request) {
    return TelegramCode(request) == sensorlink::kCodeTriggered;
}

}  // namespace sim
