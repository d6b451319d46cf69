// Tests of the simulated sensor's behaviour: the switching rules driven with chosen
// signals, hold time, threshold tracing, the receiver (averaging, DYN regulation, range),
// the scenes, the temperature, determinism, and the EEPROM records with their file.
// The model is stepped directly, one 1 ms tick per call, so no test waits in real time.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

#include "link/paramfile.h"
#include "link/telegram.h"
#include "sim/model.h"
#include "sim/sensor.h"

namespace {

using sim::Record;
namespace sl = sensorlink;

// A record with tracing off, no hold, no averaging, in the given threshold mode.
Record SwitchingRecord(uint16_t mode, uint16_t teach, uint16_t tol, uint16_t hyst) {
    Record r = sim::kDefaultRecord;
    r[sim::kWordTrshMode] = mode;
    r[sim::kWordTeachValue] = teach;
    r[sim::kWordTol] = tol;
    r[sim::kWordHyst] = hyst;
    r[sim::kWordHold] = 0;
    r[sim::kWordTracing] = 0;
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
std::vector<Record> RunModel(const Record& record, sim::Scene scene, int ticks, uint64_t seed = 1) {
    sim::ModelState model = sim::StartModel(seed, scene);
    std::vector<Record> frames;
    frames.reserve(static_cast<size_t>(ticks));
    for (int i = 0; i < ticks; ++i) {
        sim::StepModel(model, record);
        frames.push_back(sim::DataWords(model));
    }
    return frames;
}

std::vector<int> Raws(const std::vector<Record>& frames) {
    std::vector<int> raws;
    for (const Record& f : frames) raws.push_back(f[sim::kDataRaw]);
    return raws;
}

int Changes(const std::vector<Record>& frames) {
    int changes = 0;
    for (size_t i = 1; i < frames.size(); ++i)
        changes += frames[i][sim::kDataOutTol] != frames[i - 1][sim::kDataOutTol];
    return changes;
}

double StdDev(const std::vector<int>& values) {
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / values.size();
    double sum = 0.0;
    for (int v : values) sum += (v - mean) * (v - mean);
    return std::sqrt(sum / values.size());
}

// ---- switching rules -------------------------------------------------------------

TEST(SimSwitching, LowLeavesBelowThresholdAndReturnsAboveHysteresis) {
    // Reference 1000, tolerance 100, hysteresis 20: threshold 900, hysteresis line 920.
    const Record r = SwitchingRecord(0, 1000, 100, 20);
    EXPECT_EQ(Drive(r, {1000, 901, 900, 899, 910, 920, 921, 4000, 900, 899}),
              std::vector<int>({1, 1, 1, 0, 0, 0, 1, 1, 1, 0}));
    // Started below the threshold the output is off at once, without a change.
    EXPECT_EQ(Drive(r, {500, 920, 921}), std::vector<int>({0, 0, 1}));
    // Reference 100, tolerance 200: the threshold line is clamped to 0, so the signal can
    // never fall below it, and the hysteresis line sits at 50.
    const Record clamped = SwitchingRecord(0, 100, 200, 50);
    EXPECT_EQ(Drive(clamped, {0, 0, 4095, 0}), std::vector<int>({1, 1, 1, 1}));
}

TEST(SimSwitching, HiLeavesAboveThresholdAndReturnsBelowHysteresis) {
    // Threshold 1100, hysteresis line 1080; no lower bound.
    const Record r = SwitchingRecord(1, 1000, 100, 20);
    EXPECT_EQ(Drive(r, {1000, 1100, 1101, 1090, 1080, 1079, 0, 1100, 1101}),
              std::vector<int>({1, 1, 0, 0, 0, 1, 1, 1, 0}));
    // Reference 4000, tolerance 200: threshold clamped to 4095, hysteresis line 4045.
    const Record clamped = SwitchingRecord(1, 4000, 200, 50);
    EXPECT_EQ(Drive(clamped, {4095, 4095}), std::vector<int>({1, 1}));
}

TEST(SimSwitching, WinLeavesTheWindowAndReturnsIntoTheHysteresisWindow) {
    // Window 1700..2300, hysteresis window 1800..2200.
    const Record r = SwitchingRecord(2, 2000, 300, 100);
    EXPECT_EQ(Drive(r, {2000, 2300, 2301, 2250, 2200, 2199, 1700, 1699, 1750, 1800, 1801}),
              std::vector<int>({1, 1, 0, 0, 0, 1, 1, 0, 0, 0, 1}));
    // Any other mode value switches as WIN, as the strip chart draws it.
    const Record other = SwitchingRecord(7, 2000, 300, 100);
    EXPECT_EQ(Drive(other, {2000, 1699, 2301, 2100}), std::vector<int>({1, 0, 0, 1}));
    // A hysteresis wider than the window: once out, the signal cannot return.
    const Record wide = SwitchingRecord(2, 2000, 100, 150);
    EXPECT_EQ(Drive(wide, {2000, 2101, 2000, 1950, 2050}), std::vector<int>({1, 0, 0, 0, 0}));
}

TEST(SimSwitching, HoldTimeKeepsANewStateForItsTime) {
    Record r = SwitchingRecord(0, 1000, 100, 20);
    r[sim::kWordHold] = 50;
    // A blip of one tick below the threshold: the output is off for exactly 50 ms.
    std::vector<int> raws(200, 1000);
    raws[10] = 800;
    const std::vector<int> states = Drive(r, raws);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(states[i], i >= 10 && i < 60 ? 0 : 1) << "tick " << i;

    // The hold applies to every change: back on at 60, it may not go off before 110.
    raws.assign(200, 1000);
    raws[10] = 800;
    std::fill(raws.begin() + 70, raws.end(), 800);
    const std::vector<int> again = Drive(r, raws);
    EXPECT_EQ(again[69], 1);
    EXPECT_EQ(again[109], 1);
    EXPECT_EQ(again[110], 0);

    // Without a hold time the output follows at once.
    r[sim::kWordHold] = 0;
    raws.assign(20, 1000);
    raws[10] = 800;
    const std::vector<int> direct = Drive(r, raws);
    EXPECT_EQ(direct[10], 0);
    EXPECT_EQ(direct[11], 1);
}

TEST(SimSwitching, OutputModeLeavesTheOutputWordAlone) {
    Record direct = sim::kDefaultRecord;
    Record inverse = sim::kDefaultRecord;
    direct[sim::kWordOutmode] = 0;
    inverse[sim::kWordOutmode] = 1;
    const auto a = RunModel(direct, sim::Scene::Objects, 20000, 4);
    EXPECT_EQ(a, RunModel(inverse, sim::Scene::Objects, 20000, 4));
    EXPECT_GE(Changes(a), 4);   // the comparison covers both output states
}

// ---- reference -------------------------------------------------------------------

// Ticks until the reference reaches target while the signal holds target.
int TicksToReach(sim::ModelState& model, const Record& record, int target) {
    for (int tick = 1; tick <= 100000; ++tick) {
        const int before = model.m_ref;
        sim::StepEvaluation(model, record, static_cast<uint16_t>(target));
        EXPECT_LE(std::abs(model.m_ref - target), std::abs(before - target)) << "moved away";
        if (model.m_ref == target) return tick;
    }
    return -1;
}

TEST(SimReference, TracingMovesOneUnitPerDelay) {
    Record r = SwitchingRecord(2, 2048, 200, 50);
    r[sim::kWordTracing] = 1;
    r[sim::kWordTracingUp] = 20;     // 200 us per unit
    r[sim::kWordTracingDown] = 50;   // 500 us per unit
    sim::ModelState model = sim::StartModel(1);
    sim::StepEvaluation(model, r, 1000);
    TicksToReach(model, r, 1000);
    ASSERT_EQ(model.m_ref, 1000);
    // 500 units up at 200 us each: 100 ms; 200 units down at 500 us each: 100 ms.
    EXPECT_NEAR(TicksToReach(model, r, 1500), 100, 2);
    EXPECT_NEAR(TicksToReach(model, r, 1300), 100, 2);
    // Half-way through a step the reference is half-way too.
    for (int i = 0; i < 25; ++i) sim::StepEvaluation(model, r, 1800);
    EXPECT_NEAR(model.m_ref, 1425, 3);

    // A delay of 0 follows at once.
    r[sim::kWordTracingUp] = 0;
    sim::StepEvaluation(model, r, 3000);
    EXPECT_EQ(model.m_ref, 3000);

    // The longest delay, 600 ms per unit.
    r[sim::kWordTracingDown] = 60000;
    EXPECT_NEAR(TicksToReach(model, r, 2998), 1200, 2);
}

TEST(SimReference, TeachValueWhileTracingIsOff) {
    Record r = SwitchingRecord(0, 1234, 100, 20);
    sim::ModelState model = sim::StartModel(1);
    for (int raw : {0, 4095, 1234, 50}) {
        sim::StepEvaluation(model, r, static_cast<uint16_t>(raw));
        EXPECT_EQ(model.m_ref, 1234);
    }
    // Tracing on starts from the teach value; off again returns to it at once.
    r[sim::kWordTracing] = 1;
    r[sim::kWordTracingDown] = 100;   // 1 unit per ms
    for (int i = 0; i < 10; ++i) sim::StepEvaluation(model, r, 0);
    EXPECT_EQ(model.m_ref, 1224);
    r[sim::kWordTracing] = 0;
    sim::StepEvaluation(model, r, 0);
    EXPECT_EQ(model.m_ref, 1234);
}

TEST(SimReference, TracingFollowsADriftAndKeepsTheOutputOn) {
    // Slow tracing follows the drift of a soiling lens, so the output stays within the
    // tolerance, while a fixed teach value lets the drift leave it.
    Record fixed = sim::kDefaultRecord;
    Record traced = fixed;
    traced[sim::kWordTracing] = 1;
    traced[sim::kWordTracingUp] = 2000;     // 20 ms per unit
    traced[sim::kWordTracingDown] = 2000;
    const auto framesFixed = RunModel(fixed, sim::Scene::Drift, 90000);
    const auto framesTraced = RunModel(traced, sim::Scene::Drift, 90000);
    EXPECT_GE(Changes(framesFixed), 2);
    EXPECT_EQ(Changes(framesTraced), 0);
    EXPECT_LT(framesTraced[45000][sim::kDataRef], 1600);   // it went down with the signal
}

// ---- receiver --------------------------------------------------------------------

TEST(SimReceiver, AveragingSmoothsTheSignal) {
    Record r = sim::kDefaultRecord;
    r[sim::kWordAverage] = 0;
    const std::vector<int> none = Raws(RunModel(r, sim::Scene::Steady, 5000));
    r[sim::kWordAverage] = 1;
    EXPECT_EQ(Raws(RunModel(r, sim::Scene::Steady, 5000)), none);   // 0 and 1 both mean none
    r[sim::kWordAverage] = 64;
    const std::vector<int> averaged = Raws(RunModel(r, sim::Scene::Steady, 5000));
    EXPECT_GT(StdDev(none), 5.0);
    EXPECT_LT(StdDev(averaged), StdDev(none) / 4);
    const auto mean = [](const std::vector<int>& v) {
        return std::accumulate(v.begin(), v.end(), 0.0) / v.size();
    };
    EXPECT_NEAR(mean(averaged), mean(none), 5.0);
    EXPECT_NEAR(mean(none), 2048, 10.0);
}

TEST(SimReceiver, RawFollowsPowerInStat) {
    Record r = sim::kDefaultRecord;
    r[sim::kWordAverage] = 100;
    for (const auto& [power, level] : {std::pair{100, 410}, {500, 2048}, {900, 3686}}) {
        r[sim::kWordPower] = static_cast<uint16_t>(power);
        EXPECT_NEAR(Raws(RunModel(r, sim::Scene::Steady, 1000)).back(), level, 15) << power;
    }
}

TEST(SimReceiver, DynKeepsTheLevelInsideTheWindow) {
    Record r = sim::kDefaultRecord;
    r[sim::kWordPmode] = sim::kPmodeDyn;
    r[sim::kWordDynWinLo] = 1000;
    r[sim::kWordDynWinHi] = 1300;
    constexpr int kSettleTicks = 4000;
    constexpr int kMarginCounts = 40;   // noise and the regulation's lag
    for (uint16_t power : {uint16_t{0}, uint16_t{1000}}) {
        r[sim::kWordPower] = power;   // the regulation starts from here
        for (sim::Scene scene : {sim::Scene::Steady, sim::Scene::Drift}) {
            const std::vector<int> raws = Raws(RunModel(r, scene, 90000));
            const auto [lo, hi] = std::minmax_element(raws.begin() + kSettleTicks, raws.end());
            EXPECT_GE(*lo, 1000 - kMarginCounts) << power << " " << int(scene);
            EXPECT_LE(*hi, 1300 + kMarginCounts) << power << " " << int(scene);
        }
    }
    // The same drift in STAT leaves the window far behind.
    r[sim::kWordPmode] = 0;
    r[sim::kWordPower] = 300;   // about 1230 counts with a clean lens
    const std::vector<int> stat = Raws(RunModel(r, sim::Scene::Drift, 90000));
    EXPECT_LT(*std::min_element(stat.begin(), stat.end()), 900);
}

TEST(SimReceiver, ValuesStayWithinFullScale) {
    Record r = sim::kDefaultRecord;
    r[sim::kWordPower] = 1000;   // bright objects would take it beyond 4095
    const auto bright = RunModel(r, sim::Scene::Objects, 60000, 11);
    int top = 0;
    for (const Record& f : bright) {
        ASSERT_LE(f[sim::kDataRaw], 4095);
        ASSERT_LE(f[sim::kDataRef], 4095);
        top = std::max<int>(top, f[sim::kDataRaw]);
    }
    EXPECT_EQ(top, 4095);
    r[sim::kWordPower] = 0;
    const std::vector<int> dark = Raws(RunModel(r, sim::Scene::Objects, 5000));
    EXPECT_EQ(*std::min_element(dark.begin(), dark.end()), 0);
    EXPECT_LE(*std::max_element(dark.begin(), dark.end()), 2);
    // A power word beyond full power counts as full power: full scale, less the noise
    // peaks that the receiver clips.
    r[sim::kWordPower] = 60000;
    r[sim::kWordAverage] = 100;
    EXPECT_GE(Raws(RunModel(r, sim::Scene::Steady, 1000)).back(), 4070);
}

// ---- scenes, temperature, determinism ----------------------------------------------

TEST(SimScene, SteadyIsNoiseOnly) {
    const auto frames = RunModel(sim::kDefaultRecord, sim::Scene::Steady, 20000);
    const std::vector<int> raws = Raws(frames);
    const auto [lo, hi] = std::minmax_element(raws.begin(), raws.end());
    EXPECT_GE(*lo, 2048 - 25);
    EXPECT_LE(*hi, 2048 + 25);
    EXPECT_EQ(Changes(frames), 0);
}

TEST(SimScene, ObjectsPassAtIrregularIntervals) {
    // With the default record every object leaves the window and returns: the output is
    // off once per object. Collect when each object comes.
    const auto frames = RunModel(sim::kDefaultRecord, sim::Scene::Objects, 60000, 3);
    std::vector<int> arrivals;
    for (size_t i = 1; i < frames.size(); ++i)
        if (frames[i - 1][sim::kDataOutTol] == 1 && frames[i][sim::kDataOutTol] == 0)
            arrivals.push_back(static_cast<int>(i));
    ASSERT_GE(arrivals.size(), 25u);   // 0.4 to 2.6 s apart
    ASSERT_LE(arrivals.size(), 150u);
    std::vector<int> gaps;
    for (size_t i = 1; i < arrivals.size(); ++i) gaps.push_back(arrivals[i] - arrivals[i - 1]);
    const auto [shortest, longest] = std::minmax_element(gaps.begin(), gaps.end());
    EXPECT_GE(*shortest, 300);
    EXPECT_GT(*longest - *shortest, 500);   // irregular
    // Some objects shade the beam, some reflect extra light.
    const std::vector<int> raws = Raws(frames);
    EXPECT_LT(*std::min_element(raws.begin(), raws.end()), 1400);
    EXPECT_GT(*std::max_element(raws.begin(), raws.end()), 2400);
}

TEST(SimScene, DriftIsSlowAndComesBack) {
    const std::vector<int> raws = Raws(RunModel(sim::kDefaultRecord, sim::Scene::Drift, 90000));
    EXPECT_NEAR(raws.front(), 2048, 25);
    EXPECT_LT(raws[45000], 2048 * 0.7);   // deepest half-way through
    EXPECT_NEAR(raws.back(), 2048, 25);
    for (size_t i = 1; i < raws.size(); ++i)
        ASSERT_LE(std::abs(raws[i] - raws[i - 1]), 50) << "jump at tick " << i;
}

TEST(SimScene, Names) {
    EXPECT_EQ(sim::ParseScene("steady"), sim::Scene::Steady);
    EXPECT_EQ(sim::ParseScene("objects"), sim::Scene::Objects);
    EXPECT_EQ(sim::ParseScene("drift"), sim::Scene::Drift);
    EXPECT_FALSE(sim::ParseScene("Steady"));
    EXPECT_FALSE(sim::ParseScene(""));
}

TEST(SimTemperature, DriftsSlowlyAroundItsBase) {
    const auto frames = RunModel(sim::kDefaultRecord, sim::Scene::Steady, 150000);
    int lo = 65535, hi = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const int t = frames[i][sim::kDataTemp];
        lo = std::min(lo, t);
        hi = std::max(hi, t);
        if (i > 0) {
            ASSERT_LE(std::abs(t - frames[i - 1][sim::kDataTemp]), 1);
        }
    }
    EXPECT_GE(lo, 1950);
    EXPECT_LE(hi, 2050);
    EXPECT_GE(hi - lo, 10);
}

TEST(SimDeterminism, SameSeedSameFramesOtherSeedOthers) {
    for (sim::Scene scene : {sim::Scene::Steady, sim::Scene::Objects, sim::Scene::Drift}) {
        const auto a = RunModel(sim::kDefaultRecord, scene, 10000, 7);
        EXPECT_EQ(a, RunModel(sim::kDefaultRecord, scene, 10000, 7)) << int(scene);
        EXPECT_NE(Raws(a), Raws(RunModel(sim::kDefaultRecord, scene, 10000, 8))) << int(scene);
    }
    // Objects come at other times with another seed.
    const auto first = RunModel(sim::kDefaultRecord, sim::Scene::Objects, 20000, 1);
    const auto second = RunModel(sim::kDefaultRecord, sim::Scene::Objects, 20000, 2);
    std::vector<int> outA, outB;
    for (size_t i = 0; i < first.size(); ++i) {
        outA.push_back(first[i][sim::kDataOutTol]);
        outB.push_back(second[i][sim::kDataOutTol]);
    }
    EXPECT_NE(outA, outB);
}

// ---- EEPROM ----------------------------------------------------------------------

sim::Telegram Request(uint16_t code, const Record& payload = {}) {
    sim::Telegram t{};
    sl::PackTelegram(sl::kSyncWord, code, payload.data(), t.data());
    return t;
}

// The record of a code-3 reply.
Record ReadRecord(sim::Sensor& sensor) {
    const auto reply = sensor.answer(Request(sl::kCodeParaRead));
    EXPECT_TRUE(reply);
    uint16_t words[sl::kTelegramWords] = {};
    sl::UnpackTelegram(reply->m_bytes.data(), words);
    Record record{};
    std::copy_n(words + 2, sl::kRecordWords, record.begin());
    return record;
}

const Record kStored = {800, 1, 1100, 2900, 4, 1, 25, 0, 1, 300, 400, 1500, 120, 30, 5, 6};

TEST(SimEeprom, StoreAndLoadThroughTheProtocol) {
    sim::Sensor sensor;
    sensor.answer(Request(sl::kCodeParaWrite, kStored));
    EXPECT_EQ(ReadRecord(sensor), kStored);
    EXPECT_EQ(sensor.eeprom(), sim::kDefaultRecord);   // a write reaches RAM only
    sensor.answer(Request(sl::kCodeEepromStore));
    EXPECT_EQ(sensor.eeprom(), kStored);
    Record other = kStored;
    other[0] = 10;
    sensor.answer(Request(sl::kCodeParaWrite, other));
    sensor.answer(Request(sl::kCodeEepromLoad));
    EXPECT_EQ(ReadRecord(sensor), kStored);   // the next read only
    EXPECT_EQ(ReadRecord(sensor), other);
}

TEST(SimEeprom, FileIsWrittenOnStoreAndLoadedIntoBothRecords) {
    QTemporaryDir dir;
    const QString path = dir.filePath("eeprom.ini");
    {
        sim::Sensor sensor;
        EXPECT_FALSE(sensor.useEepromFile(path).isEmpty());   // not there yet
        EXPECT_EQ(sensor.ram(), sim::kDefaultRecord);
        sensor.answer(Request(sl::kCodeParaWrite, kStored));
        EXPECT_FALSE(QFile::exists(path));   // a write alone is not stored
        sensor.answer(Request(sl::kCodeEepromStore));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), sl::FormatParameterFile(kStored.data()));
    file.close();

    sim::Sensor restarted;
    EXPECT_EQ(restarted.useEepromFile(path), "");
    EXPECT_EQ(restarted.eeprom(), kStored);
    EXPECT_EQ(ReadRecord(restarted), kStored);   // RAM starts from the EEPROM
}

TEST(SimEeprom, BadFilesLeaveTheDefaultsAndFailedWritesAreReported) {
    QTemporaryDir dir;
    const QString path = dir.filePath("eeprom.ini");
    // Short, not a number, out of range, too large.
    for (const QByteArray& text : {QByteArray("1 2 3\n"),
                                   QByteArray("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 x\n"),
                                   QByteArray("70000 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\n"),
                                   QByteArray(70000, ' ')}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        sim::Sensor sensor;
        EXPECT_FALSE(sensor.useEepromFile(path).isEmpty()) << text.left(40).toStdString();
        EXPECT_EQ(sensor.ram(), sim::kDefaultRecord);
        EXPECT_EQ(sensor.eeprom(), sim::kDefaultRecord);
        // The next store replaces the bad file.
        sensor.answer(Request(sl::kCodeParaWrite, kStored));
        sensor.answer(Request(sl::kCodeEepromStore));
        sim::Sensor next;
        EXPECT_EQ(next.useEepromFile(path), "");
        EXPECT_EQ(next.ram(), kStored);
    }

    sim::Sensor sensor;
    sensor.useEepromFile(dir.filePath("no/such/folder/eeprom.ini"));
    QSignalSpy failed(&sensor, &sim::Sensor::eepromFileFailed);
    sensor.answer(Request(sl::kCodeParaWrite, kStored));
    const auto echo = sensor.answer(Request(sl::kCodeEepromStore));
    ASSERT_TRUE(echo);   // the sensor answers all the same
    EXPECT_EQ(echo->m_bytes[3], sl::kCodeEepromStore);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(sensor.eeprom(), kStored);
}

}  // namespace
