// Rules and file formats of tavrix_core, checked without screen, port or file.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "connection/completion.h"
#include "connection/configfiles.h"
#include "graph/graphrules.h"
#include "link/frameassembler.h"
#include "link/paramfile.h"
#include "link/telegram.h"
#include "recorder/recordformat.h"

namespace {

using Lines = std::array<int, 4>;

Lines LinesOf(uint16_t mode, uint16_t ref, uint16_t tol, uint16_t hyst) {
    const graph::ThresholdLines l = graph::ThresholdRule(mode, ref, tol, hyst);
    return {l.m_threshold1, l.m_threshold2, l.m_hysteresis1, l.m_hysteresis2};
}

std::tm MakeTm(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

// A history record as written with the given line end.
std::string HistoryRecord(const std::string& text, const std::string& lineEnd) {
    std::string record = text;
    record.resize(connection::kHistoryFieldBytes, '\0');
    return record + lineEnd;
}

}  // namespace

TEST(CoreTelegram, ParameterWritePacksHighByteFirst) {
    uint16_t payload[sensorlink::kRecordWords] = {1000};
    uint8_t out[sensorlink::kTelegramBytes];
    sensorlink::PackTelegram(sensorlink::kSyncWord, sensorlink::kCodeParaWrite, payload, out);
    std::array<uint8_t, sensorlink::kTelegramBytes> expected{0x00, 0x55, 0x00, 0x01, 0x03, 0xE8};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out));
}

TEST(CoreTelegram, HighBytesAbove0x7FAreNotSignExtended) {
    uint8_t in[sensorlink::kTelegramBytes] = {0x00, 0xAA, 0x80, 0x00, 0xFF, 0xFE};
    in[35] = 0x7F;
    uint16_t words[sensorlink::kTelegramWords];
    sensorlink::UnpackTelegram(in, words);
    EXPECT_EQ(words[0], 170);
    EXPECT_EQ(words[1], 0x8000);
    EXPECT_EQ(words[2], 0xFFFE);
    EXPECT_EQ(words[17], 0x007F);
}

namespace {

std::vector<uint8_t> Frame(uint8_t fill) {
    std::vector<uint8_t> bytes(sensorlink::kTelegramBytes, fill);
    bytes[0] = 0x00;
    bytes[1] = 0xAA;
    return bytes;
}

// Feeds the chunks in order and returns the frames they complete.
std::vector<std::vector<uint8_t>> Assemble(sensorlink::FrameAssembler& assembler,
                                           const std::vector<std::vector<uint8_t>>& chunks) {
    std::vector<std::vector<uint8_t>> frames;
    for (const auto& chunk : chunks)
        for (uint8_t byte : chunk)
            if (sensorlink::FeedByte(assembler, byte))
                frames.emplace_back(assembler.m_buffer.begin(), assembler.m_buffer.end());
    return frames;
}

}  // namespace

TEST(CoreFrameAssembler, FramesByLengthWhateverTheChunks) {
    const std::vector<uint8_t> a = Frame(0x41), b = Frame(0x42);
    auto cut = [](const std::vector<uint8_t>& bytes, std::vector<size_t> sizes) {
        std::vector<std::vector<uint8_t>> chunks;
        size_t at = 0;
        for (size_t size : sizes) {
            chunks.emplace_back(bytes.begin() + at, bytes.begin() + at + size);
            at += size;
        }
        return chunks;
    };
    std::vector<std::vector<uint8_t>> oneByOne;
    for (uint8_t byte : a) oneByOne.push_back({byte});
    for (const auto& chunks : {oneByOne, cut(a, {35, 1}), cut(a, {10, 10, 16})}) {
        sensorlink::FrameAssembler assembler;
        const auto frames = Assemble(assembler, chunks);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0], a);
    }
    std::vector<uint8_t> both = a;
    both.insert(both.end(), b.begin(), b.end());
    sensorlink::FrameAssembler assembler;
    const auto frames = Assemble(assembler, {both});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1], b);
}

TEST(CoreFrameAssembler, GetsBackInStepAfterNoise) {
    const std::vector<uint8_t> a = Frame(0x00), b = Frame(0xAA);
    // Noise with lone mark bytes, a wrong mark (00 AB), then two frames.
    std::vector<uint8_t> stream = {0x55, 0x00, 0x00, 0xAB, 0x13};
    stream.insert(stream.end(), a.begin(), a.end());
    stream.insert(stream.end(), b.begin(), b.end());
    sensorlink::FrameAssembler assembler;
    const auto frames = Assemble(assembler, {stream});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], a);
    EXPECT_EQ(frames[1], b);
    EXPECT_EQ(assembler.m_dropped, 5u);

    sensorlink::FrameAssembler requests{sensorlink::kSyncWord};
    std::vector<uint8_t> request(36, 0x01);
    request[0] = 0x00;
    request[1] = 0x55;
    EXPECT_EQ(Assemble(requests, {a, request}).size(), 1u);
}

TEST(CoreThresholdRule, ExamplesOfTheThreeModes) {
    EXPECT_EQ(LinesOf(graph::kModeLow, 100, 200, 50), (Lines{0, 0, 50, 50}));
    EXPECT_EQ(LinesOf(graph::kModeHi, 4000, 200, 50), (Lines{4095, 4095, 4045, 4045}));
    EXPECT_EQ(LinesOf(graph::kModeWin, 2000, 300, 100), (Lines{2300, 1700, 2200, 1800}));
    EXPECT_EQ(LinesOf(7, 2000, 300, 100), (Lines{2300, 1700, 2200, 1800}));  // other modes act as WIN
}

TEST(CoreThresholdRule, ClampsOnlyInTheNamedDirections) {
    // LOW: the hysteresis line is lowered to 4095 ...
    EXPECT_EQ(LinesOf(graph::kModeLow, 4000, 0, 500), (Lines{4000, 4000, 4095, 4095}));
    // ... but a threshold above 4095 is not lowered.
    EXPECT_EQ(LinesOf(graph::kModeLow, 5000, 100, 0), (Lines{4900, 4900, 4095, 4095}));
    // HI: a hysteresis line below 0 is raised.
    EXPECT_EQ(LinesOf(graph::kModeHi, 100, 0, 300), (Lines{100, 100, 0, 0}));
    // WIN: hysteresis lines come from the clamped upper and lower lines.
    EXPECT_EQ(LinesOf(graph::kModeWin, 4000, 500, 100), (Lines{4095, 3500, 3995, 3600}));
    EXPECT_EQ(LinesOf(graph::kModeWin, 100, 500, 4000), (Lines{600, 0, 0, 4000}));
}

TEST(CoreThresholdRule, SumsWrapInSixteenBits) {
    // 30000 + 30000 wraps to -5536: not above 4095, so not lowered.
    EXPECT_EQ(LinesOf(graph::kModeHi, 30000, 30000, 0)[0], -5536);
    // 0 - 40000 wraps to 25536: not negative, so not raised; then lowered via hysteresis.
    EXPECT_EQ(LinesOf(graph::kModeLow, 0, 40000, 0), (Lines{25536, 25536, 4095, 4095}));
}

TEST(CoreAxisLimits, FixedAndAutoZoom) {
    EXPECT_EQ(graph::FixedScaleLimits().m_low, 0.0);
    EXPECT_EQ(graph::FixedScaleLimits().m_high, 4096.0);

    std::vector<double> equal(600, 1000.0);
    EXPECT_EQ(graph::AutoZoomLimits(equal).m_low, 975.0);
    EXPECT_EQ(graph::AutoZoomLimits(equal).m_high, 1025.0);
    std::vector<double> small(600, 10.0);
    EXPECT_EQ(graph::AutoZoomLimits(small).m_low, 0.0);

    std::vector<double> partlyFilled(600, 0.0);  // history after a few frames
    partlyFilled[590] = 3000.0;
    partlyFilled[599] = 1200.0;
    EXPECT_EQ(graph::AutoZoomLimits(partlyFilled).m_low, 0.0);
    EXPECT_EQ(graph::AutoZoomLimits(partlyFilled).m_high, 3025.0);

    std::vector<double> high(600, 20000.0);  // the search for the smallest starts at 10000
    EXPECT_EQ(graph::AutoZoomLimits(high).m_low, 9975.0);
    EXPECT_EQ(graph::AutoZoomLimits(high).m_high, 20025.0);
}

TEST(CoreRecordFormat, HeaderAndLines) {
    EXPECT_EQ(recorder::kRecordHeader.size(), 21u);
    EXPECT_EQ(recorder::kRecordHeader, "DATE\tTIME\tRAW\tTEMP\t\r\n");
    const std::tm t = MakeTm(2024, 3, 7, 9, 5, 4);
    EXPECT_EQ(recorder::FormatRecordLine(t, 0, 65535), "03-07-2024\t09:05:04\t0\t65535\r\n");
    EXPECT_EQ(recorder::FormatRecordLine(MakeTm(1999, 12, 31, 23, 59, 58), 1024, 7),
              "12-31-1999\t23:59:58\t1024\t7\r\n");
}

TEST(CoreRecordFormat, RecordTimeSplit) {
    recorder::RecordTime day = recorder::SplitRecordTime(60, 1440);
    EXPECT_EQ(day.m_days, 1u);
    EXPECT_EQ(day.m_hours + day.m_minutes + day.m_seconds, 0u);

    recorder::RecordTime three = recorder::SplitRecordTime(1, 3);
    EXPECT_EQ(three.m_days + three.m_hours + three.m_minutes, 0u);
    EXPECT_EQ(three.m_seconds, 3u);

    // 65535 * 65535 = 4294836225 s overflows 32-bit signed arithmetic.
    recorder::RecordTime most = recorder::SplitRecordTime(65535, 65535);
    EXPECT_EQ(most.m_totalSeconds, 4294836225u);
    EXPECT_EQ(most.m_days, 49708u);
    EXPECT_EQ(most.m_hours, 18u);
    EXPECT_EQ(most.m_minutes, 3u);
    EXPECT_EQ(most.m_seconds, 45u);
}

TEST(CoreSettingsFile, RoundTripWithCrLf) {
    connection::ConnectionSettings s{1, 3, "sensor.local", "5000"};
    const std::string bytes = connection::FormatSettingsFile(s);
    EXPECT_EQ(bytes, "1\r\n3\r\nsensor.local\r\n5000\r\n");
    const connection::ConnectionSettings back = connection::ParseSettingsFile(bytes);
    EXPECT_EQ(back.m_comprotocol, 1);
    EXPECT_EQ(back.m_comport, 3);
    EXPECT_EQ(back.m_ipBuf, "sensor.local");
    EXPECT_EQ(back.m_portNumStr, "5000");
}

TEST(CoreSettingsFile, LenientReading) {
    const auto lf = connection::ParseSettingsFile("  +1 tcp\n 4\n127.0.0.1\n5000x");
    EXPECT_EQ(lf.m_comprotocol, 1);
    EXPECT_EQ(lf.m_comport, 4);
    EXPECT_EQ(lf.m_ipBuf, "127.0.0.1");
    EXPECT_EQ(lf.m_portNumStr, "5000x");
    EXPECT_EQ(connection::DecimalValue(lf.m_portNumStr), 5000);

    const auto two = connection::ParseSettingsFile("1\r\nCOM\r\n");  // fewer than four lines
    EXPECT_EQ(two.m_comprotocol, 1);
    EXPECT_EQ(two.m_comport, 0);
    EXPECT_EQ(two.m_ipBuf, "");
    EXPECT_EQ(two.m_portNumStr, "");

    const std::string longAddress(150, 'a');
    const auto cut = connection::ParseSettingsFile("1\r\n2\r\n" + longAddress + "\r\n" +
                                                   std::string(40, '9') + "\r\n");
    EXPECT_EQ(cut.m_ipBuf, std::string(99, 'a'));
    EXPECT_EQ(cut.m_portNumStr, std::string(31, '9'));
}

TEST(CoreSettingsFile, DecimalConversion) {
    EXPECT_EQ(connection::DecimalValue(" \t-42abc"), -42);
    EXPECT_EQ(connection::DecimalValue("x12"), 0);
    EXPECT_EQ(connection::DecimalValue(""), 0);
    EXPECT_EQ(connection::DecimalValue("-"), 0);
    EXPECT_EQ(connection::DecimalValue("99999999999999999999"), 2147483647);
    EXPECT_EQ(connection::DecimalValue("-2147483648"), -2147483648LL);
    EXPECT_EQ(connection::DecimalValue("-99999999999999999999"), -2147483648LL);
    // Only the first 100 characters of a number line count.
    EXPECT_EQ(connection::ParseSettingsFile(std::string(99, ' ') + "12\n").m_comprotocol, 1);
}

TEST(CoreHistoryFile, RecordsOf102And101Bytes) {
    std::vector<std::string> entries;
    for (int i = 0; i < 10; ++i) entries.push_back("host" + std::to_string(i));
    const std::string crlf = connection::FormatHistoryFile(entries);
    ASSERT_EQ(crlf.size(), 1020u);
    EXPECT_EQ(crlf.substr(0, 102), HistoryRecord("host0", "\r\n"));
    EXPECT_EQ(connection::ParseHistoryFile(crlf), entries);

    std::string lf;
    for (const auto& e : entries) lf += HistoryRecord(e, "\n");
    EXPECT_EQ(connection::ParseHistoryFile(lf), entries);
}

TEST(CoreHistoryFile, SkipsEmptyAndCutsLongRecords) {
    const std::string bytes = HistoryRecord("first", "\r\n") + HistoryRecord("", "\r\n") +
                              std::string(130, 'x') + "\r\n" + HistoryRecord("last", "\r\n");
    EXPECT_EQ(connection::ParseHistoryFile(bytes),
              (std::vector<std::string>{"first", std::string(99, 'x'), "last"}));

    // A long entry is written cut to 99 characters, so its field still ends in NUL.
    const std::vector<std::string> longEntry{std::string(120, 'y')};
    const std::string written = connection::FormatHistoryFile(longEntry);
    ASSERT_EQ(written.size(), 102u);
    EXPECT_EQ(written[99], '\0');
}

TEST(CoreHistoryFile, ToleratesGarbage) {
    EXPECT_TRUE(connection::ParseHistoryFile("").empty());
    EXPECT_TRUE(connection::ParseHistoryFile(std::string(100, 'z')).empty());  // below 101 bytes

    const std::string noLineEnds(10'000'000, 'q');
    const auto one = connection::ParseHistoryFile(noLineEnds);
    EXPECT_EQ(one, (std::vector<std::string>{std::string(99, 'q')}));

    std::string binary;
    for (int i = 0; i < 5000; ++i) binary += static_cast<char>((i * 37) & 0xFF);
    for (const auto& entry : connection::ParseHistoryFile(binary)) {
        EXPECT_FALSE(entry.empty());
        EXPECT_LE(entry.size(), 99u);
        EXPECT_EQ(entry.find('\0'), std::string::npos);
        EXPECT_EQ(entry.find('\n'), std::string::npos);
    }
    const auto settings = connection::ParseSettingsFile(binary);
    EXPECT_LE(settings.m_ipBuf.size(), 99u);
    EXPECT_LE(settings.m_portNumStr.size(), 31u);
}

TEST(CoreParameterFile, RoundTripKeepsEveryWord) {
    uint16_t words[16];
    for (int i = 0; i < 16; ++i) words[i] = static_cast<uint16_t>(i * 4099);
    words[14] = 7;       // spare words travel too
    words[15] = 65535;
    const std::string text = sensorlink::FormatParameterFile(words);
    EXPECT_EQ(text.size(), 16u * 12u);
    EXPECT_EQ(text.substr(0, 24), "         0\r\n      4099\r\n");

    uint16_t back[16] = {};
    EXPECT_EQ(sensorlink::ParseParameterFile(text, back), "");
    EXPECT_TRUE(std::equal(words, words + 16, back));

    std::string lf = "1\n 2 \n\t3\n";
    for (int i = 4; i <= 16; ++i) lf += std::to_string(i) + "\n";
    EXPECT_EQ(sensorlink::ParseParameterFile(lf, back), "");
    EXPECT_EQ(back[0], 1);
    EXPECT_EQ(back[15], 16);
}

TEST(CoreParameterFile, RefusesAndLeavesTheRecordAlone) {
    uint16_t words[16];
    for (int i = 0; i < 16; ++i) words[i] = static_cast<uint16_t>(100 + i);
    const std::string good = sensorlink::FormatParameterFile(words);

    uint16_t out[16] = {};
    out[0] = 4242;
    const auto refuse = [&](const std::string& text) {
        const std::string reason = sensorlink::ParseParameterFile(text, out);
        EXPECT_EQ(out[0], 4242) << text;
        return reason;
    };
    EXPECT_EQ(refuse(good.substr(0, 7 * 12)), "the file holds only 7 of 16 values");
    EXPECT_EQ(refuse(""), "the file holds no values");
    std::string bad = good;
    bad.replace(11 * 12, 10, "     12a45");
    EXPECT_EQ(refuse(bad), "value 12 is not a number");
    bad = good;
    bad.replace(2 * 12, 10, "     65536");
    EXPECT_EQ(refuse(bad), "value 3 is outside 0 to 65535");
    bad = good;
    bad.replace(0, 10, "        -1");
    EXPECT_EQ(refuse(bad), "value 1 is outside 0 to 65535");
    EXPECT_EQ(refuse(good + "17\r\n"), "the file holds more than 16 values");
    EXPECT_FALSE(refuse(std::string(3'000'000, '\x01')).empty());
}

TEST(CoreCompletion, CompletesFromTheFirstMatchingEntry) {
    const std::vector<std::string> entries{"Alpha", "alps"};
    const auto check = [&](std::string_view typed, int limit, const char* text, int start,
                           int length) {
        const connection::Completion c = connection::AutoComplete(typed, entries, limit);
        EXPECT_TRUE(c.m_complete) << typed;
        EXPECT_EQ(c.m_text, text) << typed;
        EXPECT_EQ(c.m_selectionStart, start) << typed;
        EXPECT_EQ(c.m_selectionLength, length) << typed;
    };
    check("a", connection::kNoLengthLimit, "alpha", 1, 4);
    check("al", connection::kNoLengthLimit, "alpha", 2, 3);
    check("ALPS", connection::kNoLengthLimit, "ALPS", 4, 0);
    check("", connection::kNoLengthLimit, "Alpha", 0, 5);
    check("a", 4, "alp", 1, 2);    // maximum entry length 3: text cut to 3 characters
    check("alp", 4, "alp", 3, 0);
    check("a", 6, "alpha", 1, 4);  // the limit does not cut an entry that fits
}

TEST(CoreCompletion, LeavesTheTextAlone) {
    const std::vector<std::string> entries{"x", "xylo", "Alpha"};
    // The first match decides, even when it has one character and a later one is longer.
    EXPECT_FALSE(connection::AutoComplete("x", entries, -1).m_complete);
    EXPECT_FALSE(connection::AutoComplete("b", entries, -1).m_complete);   // no match
    EXPECT_FALSE(connection::AutoComplete("alphas", entries, -1).m_complete);
    EXPECT_FALSE(connection::AutoComplete("", std::vector<std::string>{}, -1).m_complete);
}
