#pragma once
// Request framing for the simulated sensor: bytes in, whole 36-byte requests out. Requests
// start with the sync word 0x00 0x55; the link's frame assembler finds them by length and
// gets back in step after stray bytes. Pure code without I/O (also a fuzz target).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/frameassembler.h"

namespace sim {

using Telegram = sensorlink::Telegram;

// Assembles requests; other bytes are dropped.
struct RequestParser : sensorlink::FrameAssembler {
    RequestParser() { m_mark = sensorlink::kSyncWord; }
};

// Feeds bytes in order and returns the requests they complete.
std::vector<Telegram> FeedBytes(RequestParser& parser, const uint8_t* data, size_t size);

// The command code of a request or reply (telegram word 1).
uint16_t TelegramCode(const Telegram& telegram);

// Whether a request starts the triggered mode.
bool IsTriggerRequest(const Telegram& request);

}   // namespace sim
