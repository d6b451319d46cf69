// Replies of any bytes: unpacking, the echo check, framing a stream into telegrams with either first
// word. Input: the 36-byte reply (zero padded), the words to compare and the code sent, then the rest.
#include <algorithm>
#include <cstring>

#include "core/frameassembler.h"
#include "fuzz/fuzzcheck.h"
#include "link/exchanges.h"

namespace sl = sensorlink;

namespace {

void ParameterValues(uint16_t out[sl::kRecordWords]) {
    sl::CopyVarsToPP();
    std::copy_n(sl::pp, sl::kRecordWords, out);
}

void CheckUnpacking(const uint8_t reply[sl::kTelegramBytes]) {
    uint16_t words[sl::kTelegramWords];
    sl::UnpackTelegram(reply, words);
    uint8_t packed[sl::kTelegramBytes];
    sl::PackTelegram(words[0], words[1], words + 2, packed);
    FUZZ_CHECK(std::memcmp(packed, reply, sl::kTelegramBytes) == 0);

    // A parameter reply changes the values only when it begins with 170, 3.
    uint16_t before[sl::kRecordWords];
    for (int i = 0; i < sl::kRecordWords; ++i) sl::pp[i] = static_cast<uint16_t>(0x5A00 + i);
    sl::CopyFileParatoVars();
    ParameterValues(before);
    std::memcpy(sl::szReadBuf, reply, sl::kTelegramBytes);
    sl::GetRxBufPara();
    FUZZ_CHECK(std::equal(words, words + sl::kTelegramWords, sl::pp));
    sl::CopyPPtoVars();
    uint16_t after[sl::kRecordWords];
    ParameterValues(after);
    const bool taken = words[0] == sl::kReplyMark && words[1] == sl::kCodeParaRead;
    FUZZ_CHECK(std::equal(after, after + sl::kRecordWords, taken ? words + 2 : before));

    // A data frame is taken whatever its first two words.
    sl::GetRxBufData();
    sl::CopyDatatoVars();
    FUZZ_CHECK(sl::dataANA0 == words[2] && sl::dataOutTol == words[3] && sl::dataRef == words[4] &&
               sl::dataTemp == words[17]);
}

// It passes exactly when the reply mark and the compared bytes are right; a failure runs the failure handling.
void CheckEcho(const uint8_t reply[sl::kTelegramBytes], int words, uint16_t code) {
    sl::comprotocol = sl::kTCPIP;
    sl::tcpcon = 0;
    sl::FillTxBuf(code);
    std::memcpy(sl::szReadBuf, reply, sl::kTelegramBytes);
    sl::bytesToRead = 0;   // complete: the wait returns at once
    sl::poll = 1;
    sl::CheckEcho(words);
    const bool matches =
        reply[0] == 0x00 && reply[1] == 0xAA && std::memcmp(reply + 2, sl::szWriteBuf + 2, 2 * words - 2) == 0;
    FUZZ_CHECK(sl::comecho == (matches ? 1 : 0) && sl::poll == (matches ? 1 : 0));
}

void CheckFraming(const uint8_t* data, size_t size, uint16_t mark) {
    sl::FrameAssembler frames;
    frames.m_mark = mark;
    frames.m_confirmByNextMark = mark == sl::kReplyMark;   // as the link takes triggered frames
    size_t taken = 0;
    for (size_t i = 0; i < size; ++i) {
        if (sl::FeedByte(frames, data[i])) {
            ++taken;
            FUZZ_CHECK(frames.m_buffer[0] == (mark >> 8) && frames.m_buffer[1] == (mark & 0xFF));
            // The telegram is the run of bytes just before those still waiting in the window.
            FUZZ_CHECK(std::equal(frames.m_buffer.begin(), frames.m_buffer.end(),
                                  data + i + 1 - frames.m_filled - sl::kTelegramBytes));
        }
        FUZZ_CHECK(frames.m_filled < frames.m_window.size());
    }
    if (frames.m_confirmByNextMark && sl::TakeAfterQuiet(frames)) ++taken;   // the stream falls quiet
    // Every byte is taken into a telegram, dropped, or waiting in the unfinished one.
    FUZZ_CHECK(taken * sl::kTelegramBytes + frames.m_dropped + frames.m_filled == size);
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t reply[sl::kTelegramBytes] = {};
    std::memcpy(reply, data, std::min<size_t>(size, sl::kTelegramBytes));
    CheckUnpacking(reply);
    const uint8_t selector = size > sl::kTelegramBytes ? data[sl::kTelegramBytes] : 0;
    const int words = selector & 1 ? sl::kTelegramWords : 2;
    const uint16_t code = size > sl::kTelegramBytes + 2
                              ? static_cast<uint16_t>(data[sl::kTelegramBytes + 1] << 8 | data[sl::kTelegramBytes + 2])
                              : sl::kCodeParaWrite;
    CheckEcho(reply, words, code);
    CheckFraming(data, size, sl::kReplyMark);
    CheckFraming(data, size, sl::kSyncWord);
    return 0;
}
