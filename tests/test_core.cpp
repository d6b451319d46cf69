// Rules and file formats of tavrix_core, checked without screen, port or file. The program-level
// tests prove the same formats through the panels; these pin the rules' corners.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "core/completion.h"
#include "core/configfiles.h"
#include "core/displaytext.h"
#include "core/frameassembler.h"
#include "core/graphrules.h"
#include "core/paramfile.h"
#include "core/recordformat.h"

namespace {

std::vector<uint8_t> Frame(uint8_t fill) {
    std::vector<uint8_t> bytes(sensorlink::kTelegramBytes, fill);
    bytes[0] = 0x00;
    bytes[1] = 0xAA;
    return bytes;
}

// Feeds the bursts in order, the stream falling quiet after each when frames wait for the next
// mark, and returns the frames they complete.
std::vector<std::vector<uint8_t>> Assemble(sensorlink::FrameAssembler& assembler,
                                           const std::vector<std::vector<uint8_t>>& bursts) {
    std::vector<std::vector<uint8_t>> frames;
    const auto taken = [&] { frames.emplace_back(assembler.m_buffer.begin(), assembler.m_buffer.end()); };
    for (const auto& burst : bursts) {
        for (uint8_t byte : burst)
            if (sensorlink::FeedByte(assembler, byte)) taken();
        if (assembler.m_confirmByNextMark && sensorlink::TakeAfterQuiet(assembler)) taken();
    }
    return frames;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> joined;
    for (const auto& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

}   // namespace

TEST(CoreFrameAssembler, FramesByLengthAndAFaultyFrameNeverLendsBytes) {
    const std::vector<uint8_t> a = Frame(0x00), b = Frame(0xAA), c = Frame(0x11);
    std::vector<uint8_t> p = Frame(0x00);   // its data holds the mark at an odd offset
    p[9] = 0x00, p[10] = 0xAA;
    const std::vector<uint8_t> aShort(a.begin(), a.end() - 1), pShort(p.begin(), p.end() - 1);
    const std::vector<uint8_t> noise = {0x55, 0x00, 0x00, 0xAB, 0x13};   // lone mark bytes, a wrong mark
    const struct {
        const char* name;
        bool confirm;   // a frame waits for the next mark or the stream's falling quiet
        std::vector<std::vector<uint8_t>> bursts, frames;
        uint64_t dropped;
    } cases[] = {
        {"request taken at once", false, {a}, {a}, 0},
        {"noise, then two frames", false, {Join({noise, a, b})}, {a, b}, 5},
        {"noise, then two frames, confirmed", true, {Join({noise, a, b})}, {a, b}, 5},
        {"one byte short", true, {Join({aShort, b, c})}, {b, c}, 35},
        {"one byte long", true, {Join({a, {0x13}, b, c})}, {a, b, c}, 1},
        {"data holding 00 AA", true, {Join({p, b})}, {p, b}, 0},
        {"data holding 00 AA, short", true, {Join({pShort, b})}, {b}, 35},
        {"short, then quiet", true, {aShort, b}, {b}, 35},
    };
    for (const auto& k : cases) {
        sensorlink::FrameAssembler assembler;
        assembler.m_confirmByNextMark = assembler.m_inStep = k.confirm;   // as a triggered stream starts
        EXPECT_EQ(Assemble(assembler, k.bursts), k.frames) << k.name;
        EXPECT_EQ(assembler.m_dropped, k.dropped) << k.name;
    }
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
        {graph::kModeHi, 30000, 30000, 0, {-5536, -5536, 0, 0}},      // wraps, not lowered
        {graph::kModeLow, 0, 40000, 0, {25536, 25536, 4095, 4095}},   // wraps, not raised
        {graph::kModeWin, 4095, 0, 0, {4095, 4095, 4095, 4095}},      // the scale's ends
        {graph::kModeHi, 4095, 1, 1, {4095, 4095, 4094, 4094}},
        {graph::kModeLow, 0, 1, 1, {0, 0, 1, 1}},
    };
    for (const Case& c : cases) {
        const graph::ThresholdLines l = graph::ThresholdRule(c.mode, c.ref, c.tol, c.hyst);
        EXPECT_EQ((std::array<int, 4>{l.m_threshold1, l.m_threshold2, l.m_hysteresis1, l.m_hysteresis2}), c.lines)
            << c.mode << " " << c.ref << "/" << c.tol << "/" << c.hyst;
    }
}

TEST(CoreAxisLimits, AutoZoomSearchesFromItsStartValues) {
    // A flat history of each value; the search for the smallest value starts at 10000.
    for (auto [value, low, high] : {std::tuple{1000.0, 975.0, 1025.0},
                                    {10.0, 0.0, 35.0},
                                    {20000.0, 9975.0, 20025.0},
                                    {4095.0, 4070.0, 4120.0},
                                    {0.0, 0.0, 25.0}}) {
        const graph::AxisLimits l = graph::AutoZoomLimits(std::vector<double>(600, value));
        EXPECT_EQ(std::pair(l.m_low, l.m_high), std::pair(low, high)) << value;
    }
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
        {3, 5, 10, {3, 4, 5}},   // never a step below 1
        {2.2, 2.8, 10, {}},
        {5, 1, 10, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.low << ".." << c.high << " at most " << c.maxTicks);
        EXPECT_EQ(graph::RoundTicks(c.low, c.high, c.maxTicks), c.ticks);
    }
}

TEST(CoreRecordFormat, ZeroPaddedDateAndTime) {
    std::tm t{};
    t.tm_year = 2024 - 1900, t.tm_mon = 3 - 1, t.tm_mday = 7;
    t.tm_hour = 9, t.tm_min = 5, t.tm_sec = 4;
    EXPECT_EQ(recorder::FormatRecordLine(t, 0, 65535), "03-07-2024\t09:05:04\t0\t65535\r\n");
}

// The round trips of both files are fuzzed (fuzz/); here the lenient corners.
TEST(CoreSettingsFile, LenientNumbersAndLineEnds) {
    const auto lf = connection::ParseSettingsFile("  +1 tcp\n 4\n127.0.0.1\n5000x");
    EXPECT_EQ(std::tuple(lf.m_comprotocol, lf.m_comport, lf.m_ipBuf, lf.m_portNumStr),
              std::tuple(1, 4, std::string("127.0.0.1"), std::string("5000x")));
    // Only the first 100 characters of a number line count.
    EXPECT_EQ(connection::ParseSettingsFile(std::string(99, ' ') + "12\n").m_comprotocol, 1);
    const std::pair<const char*, long long> numbers[] = {{"5000x", 5000},
                                                         {" \t-42abc", -42},
                                                         {"x12", 0},
                                                         {"", 0},
                                                         {"-", 0},
                                                         {"99999999999999999999", 2147483647},
                                                         {"-2147483648", -2147483648LL},
                                                         {"-99999999999999999999", -2147483648LL}};
    for (const auto& [text, value] : numbers) EXPECT_EQ(connection::DecimalValue(text), value) << text;
}

// Bytes that are not UTF-8 show as Windows-1252; UTF-8 stays; a cut never splits a character, so
// an address written to a file and read back is the same text.
TEST(CoreTexts, NonUtf8BytesAreWindows1252AndCutsKeepWholeCharacters) {
    const std::pair<std::string, std::string> texts[] = {
        {"25\xB0"
         "C",
         "25\u00B0C"},
        {"ID\xFF\xFF", "ID\u00FF\u00FF"},
        {"5\x80 \x99\x81\x9F", "5\u20AC \u2122\u0081\u0178"},
        {"Gr\u00FC\u00DFe \u20AC \U0001F600", "Gr\u00FC\u00DFe \u20AC \U0001F600"},
        {"\xC3", "\u00C3"},
        {"\xC0\xAF", "\u00C0\u00AF"},
        {"\xED\xA0\x80", "\u00ED\u00A0\u20AC"}};
    for (const auto& [bytes, shown] : texts) EXPECT_EQ(sensorlink::DisplayText(bytes), shown);

    const std::string address = std::string(98, 'a') + "\u00E9";   // 100 bytes
    const std::string cut(98, 'a');
    EXPECT_EQ(connection::ParseSettingsFile("1\n1\n" + address + "\n").m_ipBuf, cut);
    const std::vector<std::string> entries = {address};
    EXPECT_EQ(connection::ParseHistoryFile(connection::FormatHistoryFile(entries)), std::vector<std::string>{cut});
    EXPECT_EQ(connection::ParseHistoryFile(std::string("caf\xE9") + std::string(98, '\0')),
              std::vector<std::string>{"caf\u00E9"});
}

// That a refusal leaves the record alone is fuzzed.
TEST(CoreParameterFile, TenCharacterFieldsAndTheReasonsOfRefusals) {
    uint16_t words[16];
    for (int i = 0; i < 16; ++i) words[i] = static_cast<uint16_t>(i * 4099);
    const std::string good = sensorlink::FormatParameterFile(words);
    EXPECT_EQ(good.substr(0, 24) + good.substr(180), "         0\r\n      4099\r\n     61485\r\n");
    EXPECT_EQ(good.size(), 16u * 12u);
    uint16_t out[16] = {};
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
        {with(11, "     12a45"), "line 12: value 12 is not a number"},
        {"\r\n\n" + with(2, "     65536"), "line 5: value 3 is outside 0 to 65535"},
        {with(0, "     1  -1"), "line 1: value 2 is outside 0 to 65535"},
        {good + "17\r\n", "line 17: the file holds more than 16 values"},
    };
    for (const auto& [text, reason] : refused) EXPECT_EQ(sensorlink::ParseParameterFile(text, out), reason);
}

TEST(CoreCompletion, FirstMatchingEntryDecidesAndTheLimitCuts) {
    const std::vector<std::string> entries{"x", "xylo", "Alpha", "alps", "caf\u00E9-server"};
    struct Case {
        const char* typed;
        int limit;
        const char* text;
        int start, length;
    };   // text nullptr: none
    constexpr int kNone = connection::kNoLengthLimit;
    const Case cases[] = {
        {"al", kNone, "alpha", 2, 3},   // typed case kept
        {"ALPS", kNone, "ALPS", 4, 0},
        {"a", 4, "alp", 1, 2},         // maximum entry length 3: cut to 3 characters
        {"x", kNone, nullptr, 0, 0},   // the first match has one character
        {"", kNone, nullptr, 0, 0},
        {"alphas", kNone, nullptr, 0, 0},
        {"caf\u00E9", kNone, "caf\u00E9-server", 4, 7},
        {"c", 6, "caf\u00E9-", 1, 4},   // characters, not bytes
    };
    for (const Case& c : cases) {
        const connection::Completion got = connection::AutoComplete(c.typed, entries, c.limit);
        EXPECT_EQ(got.m_complete, c.text != nullptr) << c.typed;
        if (c.text == nullptr) continue;
        EXPECT_EQ(std::tuple(got.m_text, got.m_selectionStart, got.m_selectionLength),
                  std::tuple(std::string(c.text), c.start, c.length))
            << c.typed;
    }
}
