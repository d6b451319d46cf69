#pragma once
// Cuts a byte stream into whole 36-byte telegrams that begin with a given first word (the
// reply mark 0x00 0xAA for frames from the sensor, the sync word 0x00 0x55 for requests).
// Telegrams are found by length. In step (after a telegram), 36 bytes that do not begin with
// the mark but are followed by it are one whole telegram with a wrong mark: they are skipped
// and the stream stays in step. Otherwise bytes that cannot start a telegram are dropped one
// by one until the mark comes. Pure code, robust against any bytes.
//
// A stream the sensor sends by itself (m_confirmByNextMark) may carry a frame a byte short or
// long. There a telegram is taken only when the next telegram's mark follows it, or when the
// stream falls quiet after it (TakeAfterQuiet). One whose next two bytes are not the mark
// while a mark sits inside it is short: it is dropped and the telegram at that inner mark is
// looked at, so a short frame never takes the first bytes of the next.
#include <array>
#include <cstddef>
#include <cstdint>

#include "core/telegram.h"

namespace sensorlink {

using Telegram = std::array<uint8_t, kTelegramBytes>;

// Assembly state of one stream.
struct FrameAssembler {
    uint16_t m_mark = kReplyMark;       // first word every telegram must carry
    bool m_confirmByNextMark = false;   // a telegram waits for the next mark or a quiet time
    Telegram m_buffer{};                // the telegram last completed
    // Bytes not yet taken: at most a telegram and the first word of the next one.
    std::array<uint8_t, kTelegramBytes + 2> m_window{};
    size_t m_filled = 0;      // valid bytes of m_window
    bool m_inStep = false;    // the window starts where the last telegram ended
    uint64_t m_dropped = 0;   // bytes dropped while getting in step
};

// Feeds one byte; returns true when it completes a telegram, which is then in m_buffer
// until the next telegram is completed.
bool FeedByte(FrameAssembler& assembler, uint8_t byte);

// The stream has fallen quiet: a telegram that begins with the mark and is whole is taken
// (true, in m_buffer), and every byte still waiting is dropped; the next byte starts a
// telegram.
bool TakeAfterQuiet(FrameAssembler& assembler);

// Drops the bytes not yet taken; the next telegram is looked for from the next byte on.
void ResetAssembler(FrameAssembler& assembler);

}   // namespace sensorlink
