#pragma once
// Request framing for the simulated sensor: bytes in, whole 36-byte requests out.
// Pure code without I/O, robust against any byte sequence (it is also a fuzz target).
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/telegram.h"

namespace sim {

using Telegram = std::array<uint8_t, sensorlink::kTelegramBytes>;

// Assembles requests that start with the sync word 0x00 0x55; other bytes are dropped.
struct RequestParser {
    Telegram m_buffer{};        // the request being assembled
    size_t m_filled = 0;        // bytes of m_buffer that are valid
    uint64_t m_dropped = 0;     // bytes discarded while resynchronising
};

// Feeds one byte; returns true when it completes a request, which is then in parser.m_buffer.
bool FeedByte(RequestParser& parser, uint8_t byte);

// Feeds bytes in order and returns the requests they complete.
std::vector<Telegram> FeedBytes(RequestParser& parser, const uint8_t* data, size_t size);

// The command code of a request or reply (telegram word 1).
uint16_t TelegramCode(const Telegram& telegram);

// Whether a request switches its connection to triggered frames (code 50).
bool IsTriggerRequest(const Telegram& request);

}  // namespace sim
