#pragma once
// Cuts a byte stream into whole 36-byte telegrams that begin with a given first word (the
// reply mark 0x00 0xAA for frames from the sensor, the sync word 0x00 0x55 for requests).
// Telegrams are found by length, never by a silence gap; bytes that cannot start a telegram
// are dropped until the stream is in step again. Pure code, robust against any bytes.
#include <array>
#include <cstddef>
#include <cstdint>

#include "link/telegram.h"

namespace sensorlink {

using Telegram = std::array<uint8_t, kTelegramBytes>;

// Assembly state of one stream.
struct FrameAssembler {
    uint16_t m_mark = kReplyMark;   // first word every telegram must carry
    Telegram m_buffer{};            // the telegram being assembled
    size_t m_filled = 0;            // valid bytes of m_buffer
    uint64_t m_dropped = 0;         // bytes dropped while getting in step
};

// Feeds one byte; returns true when it completes a telegram, which is then in m_buffer
// until the next byte starts a new one.
bool FeedByte(FrameAssembler& assembler, uint8_t byte);

// Drops a partly assembled telegram.
void ResetAssembler(FrameAssembler& assembler);

}  // namespace sensorlink
