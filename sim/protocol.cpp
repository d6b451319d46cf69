#include "sim/protocol.h"

namespace sim {

std::vector<Telegram> FeedBytes(RequestParser& parser, const uint8_t* data, size_t size) {
    std::vector<Telegram> requests;
    for (size_t i = 0; i < size; ++i)
        if (sensorlink::FeedByte(parser, data[i])) requests.push_back(parser.m_buffer);
    return requests;
}

uint16_t TelegramCode(const Telegram& telegram) {
    return static_cast<uint16_t>(telegram[2] << 8 | telegram[3]);
}

bool IsTriggerRequest(const Telegram& request) {
    return TelegramCode(request) == sensorlink::kCodeTriggered;
}

}   // namespace sim
