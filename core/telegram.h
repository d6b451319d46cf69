#pragma once
// Telegram layout shared by the program and the simulated sensor: 18 big-endian
// 16-bit words, 36 bytes, in both directions. Pure functions, no I/O.
#include <cstdint>

namespace sensorlink {

constexpr int kTelegramWords = 18;   // words per telegram (anzframe)
constexpr int kTelegramBytes = kTelegramWords * 2;
constexpr int kRecordWords = 16;       // parameter record / data words (anzpara, anzdata)
constexpr uint16_t kSyncWord = 85;     // 0x0055, first word of a request
constexpr uint16_t kReplyMark = 170;   // 0x00AA, first word of a reply

// Command codes.
constexpr uint16_t kCodeParaWrite = 1;
constexpr uint16_t kCodeParaRead = 3;
constexpr uint16_t kCodeData = 5;
constexpr uint16_t kCodeEepromStore = 6;
constexpr uint16_t kCodeIdentify = 7;
constexpr uint16_t kCodeEepromLoad = 8;
constexpr uint16_t kCodeTriggered = 50;

// Writes head, code and the 16 payload words, each high byte first, into out[0..35].
void PackTelegram(uint16_t head, uint16_t code, const uint16_t payload[kRecordWords],
                  uint8_t out[kTelegramBytes]);

// Reads out[0..35] as 18 words: word i = byte 2i * 256 + byte 2i+1 (bytes unsigned).
void UnpackTelegram(const uint8_t in[kTelegramBytes], uint16_t words[kTelegramWords]);

}   // namespace sensorlink
