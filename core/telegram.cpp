#include "core/telegram.h"

namespace sensorlink {

namespace {
void PutWord(uint8_t* at, uint16_t word) {
    at[0] = static_cast<uint8_t>(word >> 8);
    at[1] = static_cast<uint8_t>(word & 0xFF);
}
}   // namespace

void PackTelegram(uint16_t head, uint16_t code, const uint16_t payload[kRecordWords],
                  uint8_t out[kTelegramBytes]) {
    PutWord(out, head);
    PutWord(out + 2, code);
    for (int i = 0; i < kRecordWords; ++i) PutWord(out + 4 + 2 * i, payload[i]);
}

void UnpackTelegram(const uint8_t in[kTelegramBytes], uint16_t words[kTelegramWords]) {
    for (int i = 0; i < kTelegramWords; ++i)
        words[i] = static_cast<uint16_t>(in[2 * i] * 256 + in[2 * i + 1]);
}

}   // namespace sensorlink
