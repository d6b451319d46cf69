// Rules and file formats of tavrix_core, checked without screen, port or file. The program-level
// tests prove the same formats through the panels; these pin the rules' corners.

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
#include "recorder/recordformat.h"

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

TEST(CoreFrameAssembler, FramesByLengthWhateverTheChunksAndGetsBackInStepAfterNoise) {
    const std::vector<uint8_t> a = Frame(0x00), b = Frame(0xAA);
    std::vector<std::vector<uint8_t>> oneByOne;
    for (uint8_t byte : a) oneByOne.push_back({byte});
    const std::vector<std::vector<uint8_t>> pieces = {{a.begin(), a.begin() + 10},
                                                      {a.begin() + 10, a.begin() + 20},
                                                      {a.begin() + 20, a.end()}};
    for (const auto& chunks : {oneByOne, pieces}) {
        sensorlink::FrameAssembler assembler;
        EXPECT_EQ(Assemble(assembler, chunks), std::vector<std::vector<uint8_t>>{a});
    }
    // Noise with lone mark bytes and a wrong mark (00 AB), then two frames in one chunk.
    std::vector<uint8_t> stream = {0x55, 0x00, 0x00, 0xAB, 0x13};
    stream.insert(stream.end(), a.begin(), a.end());
    stream.insert(stream.end(), b.begin(), b.end());
    sensorlink::FrameAssembler assembler;
    EXPECT_EQ(Assemble(assembler, {stream}), (std::vector<std::vector<uint8_t>>{a, b}));
    EXPECT_EQ(assembler.m_dropped, 5u);
}

TEST(CoreThresholdRule, ModesClampsAndSixteenBitWrap) {
    struct Case {
        uint16_t mode, ref, tol, hyst;
        std::array<int, 4> lines;   // threshold 1, threshold 2, hysteresis 1, hysteresis 2
    };
    const Case cases[] = {
        {graph::kModeLow, 100, 200, 50, {0, 0, 50, 50}},
        {graph::kModeHi, 4000, 200, 50, {4095, 4095, 4045, 4045}},
        {graph::kModeWin, 2000, 300, 100, {2300, 1700, 2200, 1800}},
        {7, 2000, 300, 100, {2300, 1700, 2200, 1800}},                 // other modes act as WIN
        {graph::kModeLow, 4000, 0, 500, {4000, 4000, 4095, 4095}},     // hysteresis lowered
        {graph::kModeLow, 5000, 100, 0, {4900, 4900, 4095, 4095}},     // threshold not lowered
        {graph::kModeHi, 100, 0, 300, {100, 100, 0, 0}},               // hysteresis raised
        {graph::kModeWin, 4000, 500, 100, {4095, 3500, 3995, 3600}},   // from the clamped lines
        {graph::kModeWin, 100, 500, 4000, {600, 0, 0, 4000}},
        {graph::kModeHi, 30000, 30000, 0, {-5536, -5536, 0, 0}},   // wraps, not lowered
        {graph::kModeLow, 0, 40000, 0, {25536, 25536, 4095, 4095}},        // wraps, not raised
    };
    for (const Case& c : cases) {
        const graph::ThresholdLines l = graph::ThresholdRule(c.mode, c.ref, c.tol, c.hyst);
        EXPECT_EQ((std::array<int, 4>{l.m_threshold1, l.m_threshold2, l.m_hysteresis1,
                                      l.m_hysteresis2}), c.lines)
            << c.mode << " " << c.ref << "/" << c.tol << "/" << c.hyst;
    }
}

TEST(CoreAxisLimits, AutoZoomSearchesFromItsStartValues) {
    const auto limits = [](std::vector<double> history) {
        const graph::AxisLimits l = graph::AutoZoomLimits(history);
        return std::make_pair(l.m_low, l.m_high);
    };
    EXPECT_EQ(limits(std::vector<double>(600, 1000.0)), std::make_pair(975.0, 1025.0));
    EXPECT_EQ(limits(std::vector<double>(600, 10.0)), std::make_pair(0.0, 35.0));
    // The search for the smallest value starts at 10000.
    EXPECT_EQ(limits(std::vector<double>(600, 20000.0)), std::make_pair(9975.0, 20025.0));
}

TEST(CoreAxisTicks, RoundStepsInsideTheLimits) {
    const struct {
        double low, high;
        int maxTicks;
        std::vector<double> ticks;
    } cases[] = {
        {0, 4096, 10, {0, 500, 1000, 1500, 2000, 2500, 3000, 3500, 4000}},
        {1975, 2025, 6, {1980, 1990, 2000, 2010, 2020}},   // auto zoom: not at the odd limits
        {1975, 2025, 4, {1980, 2000, 2020}},
        {0, 1225, 3, {0, 500, 1000}},
        {84, 116, 10, {85, 90, 95, 100, 105, 110, 115}},
        {0, 65535, 8, {0, 10000, 20000, 30000, 40000, 50000, 60000}},
        {3, 5, 10, {3, 4, 5}},                              // never a step below 1
        {2.2, 2.8, 10, {}},
        {5, 1, 10, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.low << ".." << c.high << " at most " << c.maxTicks);
        EXPECT_EQ(graph::RoundTicks(c.low, c.high, c.maxTicks), c.ticks);
    }
}

TEST(CoreRecordFormat, HeaderAndZeroPaddedDateAndTime) {
    EXPECT_EQ(recorder::kRecordHeader, "DATE\tTIME\tRAW\tTEMP\t\r\n");
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 3 - 1;
    t.tm_mday = 7;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 4;
    EXPECT_EQ(recorder::FormatRecordLine(t, 0, 65535), "03-07-2024\t09:05:04\t0\t65535\r\n");
}

TEST(CoreSettingsFile, LenientNumbersAndLineEnds) {
    const auto lf = connection::ParseSettingsFile("  +1 tcp\n 4\n127.0.0.1\n5000x");
    EXPECT_EQ(lf.m_comprotocol, 1);
    EXPECT_EQ(lf.m_comport, 4);
    EXPECT_EQ(lf.m_ipBuf, "127.0.0.1");
    EXPECT_EQ(lf.m_portNumStr, "5000x");
    // Only the first 100 characters of a number line count.
    EXPECT_EQ(connection::ParseSettingsFile(std::string(99, ' ') + "12\n").m_comprotocol, 1);

    const std::pair<const char*, long long> numbers[] = {
        {"5000x", 5000}, {" \t-42abc", -42}, {"x12", 0}, {"", 0}, {"-", 0},
        {"99999999999999999999", 2147483647}, {"-2147483648", -2147483648LL},
        {"-99999999999999999999", -2147483648LL}};
    for (const auto& [text, value] : numbers) EXPECT_EQ(connection::DecimalValue(text), value) << text;
}

TEST(CoreParameterFile, TenCharacterFieldsRoundTripAndRefusalsLeaveTheRecordAlone) {
    uint16_t words[16];
    for (int i = 0; i < 16; ++i) words[i] = static_cast<uint16_t>(i * 4099);
    words[14] = 7;       // spare words travel too
    words[15] = 65535;
    const std::string good = sensorlink::FormatParameterFile(words);
    EXPECT_EQ(good.size(), 16u * 12u);
    EXPECT_EQ(good.substr(0, 24), "         0\r\n      4099\r\n");
    uint16_t out[16] = {};
    EXPECT_EQ(sensorlink::ParseParameterFile(good, out), "");
    EXPECT_TRUE(std::equal(words, words + 16, out));

    std::string lf = "1\n 2 \n\t3\n";   // LF ends and blanks around the number are taken
    for (int i = 4; i <= 16; ++i) lf += std::to_string(i) + "\n";
    EXPECT_EQ(sensorlink::ParseParameterFile(lf, out), "");
    EXPECT_EQ(out[15], 16);

    const auto with = [&](std::size_t field, const char* text) {
        return std::string(good).replace(field * 12, 10, text);
    };
    const std::pair<std::string, const char*> refused[] = {
        {good.substr(0, 7 * 12), "the file holds only 7 of 16 values"},
        {"", "the file holds no values"},
        {with(11, "     12a45"), "value 12 is not a number"},
        {with(2, "     65536"), "value 3 is outside 0 to 65535"},
        {with(0, "        -1"), "value 1 is outside 0 to 65535"},
        {good + "17\r\n", "the file holds more than 16 values"},
    };
    for (const auto& [text, reason] : refused) {
        out[0] = 4242;
        EXPECT_EQ(sensorlink::ParseParameterFile(text, out), reason);
        EXPECT_EQ(out[0], 4242) << reason;
    }
}

TEST(CoreCompletion, FirstMatchingEntryDecidesAndTheLimitCuts) {
    const std::vector<std::string> entries{"x", "xylo", "Alpha", "alps"};
    struct Case {
        const char* typed;
        int limit;
        bool complete;
        const char* text;
        int start, length;
    };
    const Case cases[] = {
        {"al", connection::kNoLengthLimit, true, "alpha", 2, 3},   // typed case kept
        {"ALPS", connection::kNoLengthLimit, true, "ALPS", 4, 0},
        {"a", 4, true, "alp", 1, 2},   // maximum entry length 3: cut to 3 characters
        {"a", 6, true, "alpha", 1, 4},
        {"x", connection::kNoLengthLimit, false, "", 0, 0},   // the first match has one character
        {"", connection::kNoLengthLimit, false, "", 0, 0},
        {"b", connection::kNoLengthLimit, false, "", 0, 0},
        {"alphas", connection::kNoLengthLimit, false, "", 0, 0},
    };
    for (const Case& c : cases) {
        const connection::Completion got = connection::AutoComplete(c.typed, entries, c.limit);
        EXPECT_EQ(got.m_complete, c.complete) << c.typed;
        if (!c.complete) continue;
        EXPECT_EQ(got.m_text, c.text) << c.typed;
        EXPECT_EQ(got.m_selectionStart, c.start) << c.typed;
        EXPECT_EQ(got.m_selectionLength, c.length) << c.typed;
    }
}
