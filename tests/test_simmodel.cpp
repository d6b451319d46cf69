// Tests of the simulated sensor's behaviour: the switching rules driven with chosen
// signals, hold time, threshold tracing, the receiver (averaging, DYN regulation, range),
// the scenes, the temperature, and the EEPROM records with their file.
// The model is stepped directly, one 1 ms tick per call, so no test waits in real time.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

#include "core/telegram.h"
#include "sim/model.h"
#include "sim/sensor.h"

namespace {

using sim::Record;
using sim::Scene;
namespace sl = sensorlink;

// The default record with the given words changed.
Record With(std::initializer_list<std::pair<int, int>> words) {
    Record r = sim::kDefaultRecord;
    for (auto [word, value] : words) r[word] = static_cast<uint16_t>(value);
    return r;
}

// The output state after each of the given raw values.
std::vector<int> Drive(const Record& record, const std::vector<int>& raws) {
    sim::ModelState model = sim::StartModel(1);
    std::vector<int> states;
    for (int raw : raws) {
        sim::StepEvaluation(model, record, static_cast<uint16_t>(raw));
        states.push_back(model.m_outTol);
    }
    return states;
}

// The data words of every tick of a whole-model run.
std::vector<Record> RunModel(const Record& record, Scene scene, int ticks, uint64_t seed = 1) {
    sim::ModelState model = sim::StartModel(seed, scene);
    std::vector<Record> frames(static_cast<size_t>(ticks));
    for (Record& frame : frames) {
        sim::StepModel(model, record);
        frame = sim::DataWords(model);
    }
    return frames;
}

// One data word of every frame.
std::vector<int> Column(const std::vector<Record>& frames, int word = sim::kDataRaw) {
    std::vector<int> values;
    for (const Record& f : frames) values.push_back(f[word]);
    return values;
}

double Mean(const std::vector<int>& v) { return std::accumulate(v.begin(), v.end(), 0.0) / v.size(); }
int Spread(const std::vector<int>& v) { return std::ranges::max(v) - std::ranges::min(v); }
int LargestStep(const std::vector<int>& v) {
    int step = 0;
    for (size_t i = 1; i < v.size(); ++i) step = std::max(step, std::abs(v[i] - v[i - 1]));
    return step;
}

TEST(SimSwitching, LowHiAndWinLeaveAtTheThresholdAndReturnPastTheHysteresis) {
    struct Case {
        int mode, teach, tol, hyst;
        std::vector<int> raws, states;
    };
    const Case cases[] = {
        // LOW: threshold 900, hysteresis line 920; started below, the output is off at once.
        {0, 1000, 100, 20, {1000, 901, 900, 899, 910, 920, 921, 4000, 900, 899},
         {1, 1, 1, 0, 0, 0, 1, 1, 1, 0}},
        {0, 1000, 100, 20, {500, 920, 921}, {0, 0, 1}},
        {0, 100, 200, 50, {0, 0, 4095, 0}, {1, 1, 1, 1}},   // threshold clamped to 0
        // HI: threshold 1100, hysteresis line 1080, no lower bound.
        {1, 1000, 100, 20, {1000, 1100, 1101, 1090, 1080, 1079, 0, 1100, 1101},
         {1, 1, 0, 0, 0, 1, 1, 1, 0}},
        {1, 4000, 200, 50, {4095, 4095}, {1, 1}},   // threshold clamped to 4095
        // WIN: window 1700..2300, hysteresis window 1800..2200; other mode values switch as WIN.
        {2, 2000, 300, 100, {2000, 2300, 2301, 2250, 2200, 2199, 1700, 1699, 1750, 1800, 1801},
         {1, 1, 0, 0, 0, 1, 1, 0, 0, 0, 1}},
        {7, 2000, 300, 100, {2000, 1699, 2301, 2100}, {1, 0, 0, 1}},
        // A hysteresis wider than the window: once out, the signal cannot return.
        {2, 2000, 100, 150, {2000, 2101, 2000, 1950, 2050}, {1, 0, 0, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Drive(With({{sim::kWordTrshMode, c.mode}, {sim::kWordTeachValue, c.teach},
                              {sim::kWordTol, c.tol}, {sim::kWordHyst, c.hyst}}), c.raws), c.states)
            << "mode " << c.mode << ", teach " << c.teach << ", tol " << c.tol;
}

TEST(SimSwitching, HoldTimeKeepsEveryNewStateForItsTime) {
    const Record r = With({{sim::kWordTrshMode, 0}, {sim::kWordTeachValue, 1000},
                           {sim::kWordTol, 100}, {sim::kWordHold, 50}});
    // One tick below the threshold at 10, then below for good from 70: off for exactly 50 ms,
    // and back on at 60 it may not go off again before 110.
    std::vector<int> raws(200, 1000);
    raws[10] = 800;
    std::fill(raws.begin() + 70, raws.end(), 800);
    const std::vector<int> states = Drive(r, raws);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(states[i], (i >= 10 && i < 60) || i >= 110 ? 0 : 1) << "tick " << i;
}

TEST(SimSwitching, OutputModeLeavesTheOutputWordAlone) {
    const auto direct = RunModel(sim::kDefaultRecord, Scene::Objects, 20000, 4);
    EXPECT_EQ(direct, RunModel(With({{sim::kWordOutmode, 1}}), Scene::Objects, 20000, 4));
    EXPECT_EQ(Spread(Column(direct, sim::kDataOutTol)), 1);   // both output states compared
}

// Ticks until the reference reaches target while the signal holds it; it never moves away.
int TicksToReach(sim::ModelState& model, const Record& record, int target) {
    for (int tick = 1; tick <= 100000; ++tick) {
        const int before = model.m_ref;
        sim::StepEvaluation(model, record, static_cast<uint16_t>(target));
        EXPECT_LE(std::abs(model.m_ref - target), std::abs(before - target)) << "moved away";
        if (model.m_ref == target) return tick;
    }
    return -1;
}

TEST(SimReference, TeachValueWhileTracingIsOffOneUnitPerDelayWhileOn) {
    Record r = With({{sim::kWordTeachValue, 1000}});
    sim::ModelState model = sim::StartModel(1);
    sim::StepEvaluation(model, r, 4095);
    EXPECT_EQ(model.m_ref, 1000);
    r[sim::kWordTracing] = 1;        // from the teach value on
    r[sim::kWordTracingUp] = 20;     // 200 us per unit
    r[sim::kWordTracingDown] = 50;   // 500 us per unit
    EXPECT_NEAR(TicksToReach(model, r, 1500), 100, 2);   // 500 units up
    EXPECT_NEAR(TicksToReach(model, r, 1300), 100, 2);   // 200 units down
    r[sim::kWordTracing] = 0;            // off: back at the teach value at once
    sim::StepEvaluation(model, r, 0);
    EXPECT_EQ(model.m_ref, 1000);
    r[sim::kWordTracing] = 1;
    r[sim::kWordTracingUp] = 0;          // a delay of 0 follows at once
    sim::StepEvaluation(model, r, 3000);
    EXPECT_EQ(model.m_ref, 3000);
    r[sim::kWordTracingDown] = 60000;    // the longest delay, 600 ms per unit
    EXPECT_NEAR(TicksToReach(model, r, 2998), 1200, 2);
}

TEST(SimReceiver, SteadyRawFollowsPowerInStatAveragedOverTheCount) {
    const auto frames = RunModel(sim::kDefaultRecord, Scene::Steady, 5000);   // averaging 1: none
    const std::vector<int> none = Column(frames);
    EXPECT_EQ(Spread(Column(frames, sim::kDataOutTol)), 0);
    EXPECT_NEAR(Mean(none), 2048, 5);   // a clear beam: noise only
    EXPECT_TRUE(Spread(none) > 20 && Spread(none) <= 50);
    EXPECT_EQ(Column(RunModel(With({{sim::kWordAverage, 0}}), Scene::Steady, 5000)), none);
    const auto averaged = Column(RunModel(With({{sim::kWordAverage, 64}}), Scene::Steady, 5000));
    EXPECT_LT(Spread(averaged), Spread(none) / 3);
    EXPECT_NEAR(Mean(averaged), Mean(none), 5.0);
    // Beyond full power counts as full power: full scale, less the noise peaks clipped.
    for (const auto& [power, level] : {std::pair{100, 410}, {500, 2048}, {900, 3686}, {60000, 4080}}) {
        const Record r = With({{sim::kWordAverage, 100}, {sim::kWordPower, power}});
        EXPECT_NEAR(Column(RunModel(r, Scene::Steady, 1000)).back(), level, 15) << power;
    }
}

TEST(SimReceiver, DynKeepsTheLevelInsideTheWindow) {
    constexpr int kSettleTicks = 4000;
    constexpr int kMarginCounts = 40;   // noise and the regulation's lag
    // The regulation starts from the power word; the lens soils and is cleaned meanwhile.
    for (int power : {0, 1000}) {
        const Record r = With({{sim::kWordPmode, sim::kPmodeDyn}, {sim::kWordDynWinLo, 1000},
                               {sim::kWordDynWinHi, 1300}, {sim::kWordPower, power}});
        const std::vector<int> raws = Column(RunModel(r, Scene::Drift, 90000));
        const auto [lo, hi] = std::minmax_element(raws.begin() + kSettleTicks, raws.end());
        EXPECT_TRUE(*lo >= 1000 - kMarginCounts && *hi <= 1300 + kMarginCounts) << power;
    }
}

TEST(SimScene, ObjectsPassAtIrregularIntervalsDarkerOrBrighterWithinFullScale) {
    // With the default record each object leaves the window and returns: one off per object.
    const auto frames = RunModel(sim::kDefaultRecord, Scene::Objects, 60000, 3);
    std::vector<int> offs, gaps;
    for (size_t i = 1; i < frames.size(); ++i)
        if (frames[i - 1][sim::kDataOutTol] == 1 && frames[i][sim::kDataOutTol] == 0) offs.push_back(int(i));
    std::adjacent_difference(offs.begin(), offs.end(), std::back_inserter(gaps));
    ASSERT_TRUE(gaps.size() >= 24 && gaps.size() <= 150) << gaps.size();   // 0.4 to 2.6 s apart
    gaps.erase(gaps.begin());
    EXPECT_GE(std::ranges::min(gaps), 300);
    EXPECT_GT(Spread(gaps), 500);
    EXPECT_LT(std::ranges::min(Column(frames)), 1400);
    EXPECT_GT(std::ranges::max(Column(frames)), 2400);
    // At full power bright objects would take the signal beyond 4095.
    const auto bright = RunModel(With({{sim::kWordPower, 1000}}), Scene::Objects, 60000, 11);
    EXPECT_EQ(std::ranges::max(Column(bright)), 4095);
    EXPECT_LE(std::ranges::max(Column(bright, sim::kDataRef)), 4095);
}

// The lens soils down to below 70 % half-way and is clean again; the temperature wanders
// slowly around its base of 2000.
TEST(SimScene, DriftAndTemperatureAreSlow) {
    const std::vector<int> raws = Column(RunModel(sim::kDefaultRecord, Scene::Drift, 90000));
    EXPECT_NEAR(raws.front(), 2048, 25);
    EXPECT_LT(raws[45000], 2048 * 0.7);
    EXPECT_NEAR(raws.back(), 2048, 25);
    EXPECT_LE(LargestStep(raws), 50);
    const auto temps = Column(RunModel(sim::kDefaultRecord, Scene::Steady, 150000), sim::kDataTemp);
    EXPECT_LE(LargestStep(temps), 1);
    EXPECT_TRUE(std::ranges::min(temps) >= 1950 && std::ranges::max(temps) <= 2050);
    EXPECT_GE(Spread(temps), 10);
}

const Record kStored = {800, 1, 1100, 2900, 4, 1, 25, 0, 1, 300, 400, 1500, 120, 30, 5, 6};

// Answers a request with the given code and payload.
std::optional<sim::ReplyPlan> Ask(sim::Sensor& sensor, uint16_t code, const Record& payload = {}) {
    sim::Telegram request{};
    sl::PackTelegram(sl::kSyncWord, code, payload.data(), request.data());
    return sensor.answer(request);
}

// The record of a code-3 reply.
Record ReadRecord(sim::Sensor& sensor) {
    const auto reply = Ask(sensor, sl::kCodeParaRead);
    Record record{};
    for (size_t i = 0; reply && i < record.size(); ++i)
        record[i] = static_cast<uint16_t>(reply->m_bytes[4 + 2 * i] << 8 | reply->m_bytes[5 + 2 * i]);
    return record;
}

// What a restart takes from the file is tested in test_sim.cpp.
TEST(SimEeprom, StoreAndLoadThroughTheProtocolAFileTooShortAndAFailedWrite) {
    QTemporaryDir dir;
    const QString path = dir.filePath("eeprom.ini");
    sim::Sensor sensor;
    EXPECT_FALSE(sensor.useEepromFile(path).isEmpty());   // not there yet
    Ask(sensor, sl::kCodeParaWrite, kStored);
    EXPECT_EQ(ReadRecord(sensor), kStored);
    EXPECT_EQ(sensor.eeprom(), sim::kDefaultRecord);   // a write reaches RAM only
    EXPECT_FALSE(QFile::exists(path));
    Ask(sensor, sl::kCodeEepromStore);
    EXPECT_EQ(sensor.eeprom(), kStored);
    EXPECT_TRUE(QFile::exists(path));
    Ask(sensor, sl::kCodeParaWrite, sim::kDefaultRecord);
    Ask(sensor, sl::kCodeEepromLoad);
    EXPECT_EQ(ReadRecord(sensor), kStored);   // the next read only
    EXPECT_EQ(ReadRecord(sensor), sim::kDefaultRecord);

    {
        QFile file(path);   // what a file must hold is tested in test_core.cpp
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write("1 2 3\n") > 0);
    }
    sim::Sensor restarted;
    EXPECT_FALSE(restarted.useEepromFile(path).isEmpty());
    EXPECT_TRUE(restarted.ram() == sim::kDefaultRecord && restarted.eeprom() == sim::kDefaultRecord);

    restarted.useEepromFile(dir.filePath("no/such/folder/eeprom.ini"));
    QSignalSpy failed(&restarted, &sim::Sensor::eepromFileFailed);
    Ask(restarted, sl::kCodeParaWrite, kStored);
    const auto echo = Ask(restarted, sl::kCodeEepromStore);
    ASSERT_TRUE(echo);   // the sensor answers all the same
    EXPECT_EQ(echo->m_bytes[3], sl::kCodeEepromStore);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(restarted.eeprom(), kStored);
}

}  // namespace
