#include "core/frameassembler.h"

#include <algorithm>

namespace sensorlink {

namespace {

bool MarkAt(const FrameAssembler& a, size_t at) {
    return a.m_window[at] == static_cast<uint8_t>(a.m_mark >> 8) &&
           a.m_window[at + 1] == static_cast<uint8_t>(a.m_mark & 0xFF);
}

void Drop(FrameAssembler& a, size_t count) {
    std::copy(a.m_window.begin() + static_cast<std::ptrdiff_t>(count),
              a.m_window.begin() + static_cast<std::ptrdiff_t>(a.m_filled), a.m_window.begin());
    a.m_filled -= count;
}

void Take(FrameAssembler& a) {
    std::copy_n(a.m_window.begin(), kTelegramBytes, a.m_buffer.begin());
    Drop(a, kTelegramBytes);
    a.m_inStep = true;
}

// A mark inside the telegram at the window's start, up to the byte before the next one's.
bool MarkInside(const FrameAssembler& a) {
    for (size_t at = 1; at < kTelegramBytes; ++at)
        if (MarkAt(a, at)) return true;
    return false;
}

}   // namespace

bool FeedByte(FrameAssembler& a, uint8_t byte) {
    a.m_window[a.m_filled++] = byte;
    for (;;) {
        if (a.m_filled < 2) {
            // A first byte that cannot begin the mark is dropped at once when out of step.
            if (a.m_filled == 1 && !a.m_inStep &&
                a.m_window[0] != static_cast<uint8_t>(a.m_mark >> 8)) {
                ++a.m_dropped;
                a.m_filled = 0;
            }
            return false;
        }
        if (MarkAt(a, 0)) {
            if (!a.m_confirmByNextMark) {
                if (a.m_filled < kTelegramBytes) return false;
                Take(a);
                return true;
            }
            if (a.m_filled < a.m_window.size()) return false;
            // Followed by the next mark, or whole in step with what follows at fault.
            if (MarkAt(a, kTelegramBytes) || (a.m_inStep && !MarkInside(a))) {
                Take(a);
                return true;
            }
            a.m_inStep = false;   // short: the search goes on from its second byte
        } else if (a.m_inStep) {
            // A whole telegram with a wrong mark is known only when the next mark follows it.
            if (a.m_filled < a.m_window.size()) return false;
            if (MarkAt(a, kTelegramBytes)) {
                a.m_dropped += kTelegramBytes;
                Drop(a, kTelegramBytes);
                continue;
            }
            a.m_inStep = false;
        }
        ++a.m_dropped;
        Drop(a, 1);
    }
}

bool TakeAfterQuiet(FrameAssembler& a) {
    const bool whole = a.m_filled >= kTelegramBytes && MarkAt(a, 0);
    if (whole) Take(a);
    ResetAssembler(a);
    a.m_inStep = true;
    return whole;
}

void ResetAssembler(FrameAssembler& a) {
    a.m_dropped += a.m_filled;
    a.m_filled = 0;
    a.m_inStep = false;
}

}   // namespace sensorlink
