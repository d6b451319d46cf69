#include "link/frameassembler.h"

namespace sensorlink {

bool FeedByte(FrameAssembler& assembler, uint8_t byte) {
    const uint8_t markHigh = static_cast<uint8_t>(assembler.m_mark >> 8);
    const uint8_t markLow = static_cast<uint8_t>(assembler.m_mark & 0xFF);
    if (assembler.m_filled == 0) {
        if (byte != markHigh) {
            ++assembler.m_dropped;
            return false;
        }
    } else if (assembler.m_filled == 1 && byte != markLow) {
        // The first byte was not the start of a telegram; this one may be.
        ++assembler.m_dropped;
        if (byte != markHigh) {
            ++assembler.m_dropped;
            assembler.m_filled = 0;
        }
        return false;
    }
    assembler.m_buffer[assembler.m_filled++] = byte;
    if (assembler.m_filled < kTelegramBytes) return false;
    assembler.m_filled = 0;
    return true;
}

void ResetAssembler(FrameAssembler& assembler) {
    assembler.m_dropped += assembler.m_filled;
    assembler.m_filled = 0;
}

}  // namespace sensorlink
