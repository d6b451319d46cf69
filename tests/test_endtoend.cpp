// The program against the simulated sensor, as a user drives it: SAVE PNG of the strip chart
// and of the graph shown, a TEACH during GO that reaches the sensor only through SEND, the
// output mode inverting the LED for the same signal, and triggered recording that writes one
// line per output change, two per object passing the beam.
#include <QComboBox>
#include <QImage>
#include <QImageReader>
#include <QTimer>

#include <functional>
#include <set>
#include <sstream>
#include <utility>

#include "apptest.h"
#include "graph/graph.h"
#include "graph/graphrules.h"
#include "recorder/recorder.h"
#include "recorder/recordformat.h"
#include "shell/helptexts.h"
#include "sim/model.h"

using namespace apptest;
namespace sl = sensorlink;

namespace {

constexpr double kScenarioLimitS = 30.0;   // one GO or recording, on a slow, busy machine
constexpr int kFramesToWatch = 4;          // frames that show a state is steady
constexpr size_t kFramesSkipped = 1;       // frames of a GO taken before the sensor is current
constexpr int kDirect = 0;                 // output-mode ring values
constexpr int kInverse = 1;
constexpr int kWin = 2;                    // threshold-mode ring value
constexpr int kMinWholePassings = 2;       // objects recorded from entering to leaving
// A clear beam at full POWER gives full scale.
constexpr double kCountsPerPower = double{sim::kRawMax} / sim::kPowerMax;
constexpr double kSteadyNoise = 40.0;      // counts; averaged noise stays well inside this

// A picture as the program wrote it: decoded as PNG, or a null image.
QImage ReadPng(const std::string& path) {
    QImageReader reader(QString::fromStdString(path), "png");
    reader.setDecideFormatFromContent(true);
    if (reader.format() != "png") return {};
    return reader.read();
}

// Pixels of the picture that have the colour rgb (0xRRGGBB), up to a small difference.
int PixelsOfColour(const QImage& image, int rgb) {
    const QColor want = QColor::fromRgb(static_cast<QRgb>(rgb));
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += std::abs(c.red() - want.red()) < 24 && std::abs(c.green() - want.green()) < 24 &&
                     std::abs(c.blue() - want.blue()) < 24;
        }
    }
    return count;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        m_program = std::make_unique<Program>(Transport::Tcp);
        P().m_sensor.setScene(sim::Scene::Steady);
        P().Start();
        ASSERT_EQ(P().Text(shell::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
        P().m_sensor.clearLog();
        platform::ClearPopupLog();
    }
    void TearDown() override { m_program.reset(); }

    Program& P() { return *m_program; }
    std::string Dir() const { return m_program->m_dir.path().toStdString(); }

    size_t DataRequests() const {
        size_t n = 0;
        for (int code : m_program->RequestCodes()) n += code == sl::kCodeData;
        return n;
    }

    // Presses GO and calls onFrame for each frame taken from the second on (sampled: a frame
    // may pass unseen) until it returns true, then presses STOP. False when the limit passed
    // first. The sensor applies a record sent just before GO within one of its cycles, so the
    // first frame may still show the old one; the GO loop's pause makes the second current.
    bool RunGo(const std::function<bool()>& onFrame) {
        const size_t atStart = DataRequests();
        size_t seen = atStart;
        bool stopped = false;
        bool timedOut = false;
        const double start = platform::Timer();
        QTimer driver;
        QObject::connect(&driver, &QTimer::timeout, [&] {
            if (stopped) return;
            const size_t now = DataRequests();
            // While request n waits for its reply, the frame of request n - 1 is on display.
            bool done = false;
            if (now >= atStart + kFramesSkipped + 2 && now != seen) {
                seen = now;
                done = onFrame();
            }
            if (!done && platform::Timer() - start > kScenarioLimitS) timedOut = done = true;
            if (!done) return;
            stopped = true;
            P().Click(shell::mainpanel, ui::MAINP_BUTTON_STOP);
        });
        driver.start(2);
        P().Click(shell::mainpanel, ui::MAINP_BUTTON_GO);
        return !timedOut && stopped;
    }

    void SetPara(int control, int value) { platform::SetCtrlVal(shell::parapanel, control, value); }
    int Led() const { return m_program->Value(shell::datapanel, ui::DATAP_LED_OUT); }

    // Presses SAVE PNG on the given panel with the dialog answering path and result.
    void Save(int panel, int button, const std::string& path, int result = 2) {
        P().m_filePath = path;
        P().m_fileResult = result;
        P().Click(panel, button);
    }
    QSize ViewSize(int panel, int control) { return P().Widget(panel, control)->size(); }

    void ChooseSignal(int signal) {   // as the user picks an item of the SIGNAL ring
        auto* ring = qobject_cast<QComboBox*>(P().Widget(shell::graphpanel, ui::GRAPHP_SIGNAL));
        ring->setCurrentIndex(signal);
        emit ring->activated(signal);
    }

    std::unique_ptr<Program> m_program;
};

// ---- SAVE PNG -------------------------------------------------------------------------------

TEST_F(EndToEnd, SavingTheStripChartDuringGoWritesItsPictureAndThePollingGoesOn) {
    const std::string path = Dir() + "/live.png";
    int frames = 0;
    size_t requestsAtSave = 0;
    int pollAfterSave = -1;
    ASSERT_TRUE(RunGo([&] {
        if (++frames == kFramesToWatch) {
            Save(shell::datapanel, ui::DATAP_BUTTON_SAVECHART, path);
            pollAfterSave = sl::poll;
            requestsAtSave = DataRequests();
        }
        return requestsAtSave > 0 && DataRequests() >= requestsAtSave + kFramesToWatch;
    }));
    EXPECT_EQ(pollAfterSave, 1);
    EXPECT_GE(DataRequests(), requestsAtSave + kFramesToWatch) << "the frames stopped";

    ASSERT_EQ(platform::PopupLog().size(), 1u);
    const platform::PopupRecord& dialog = platform::PopupLog()[0];
    EXPECT_EQ(dialog.kind, platform::PopupRecord::FileSelect);
    EXPECT_EQ(dialog.title, "PNG");
    EXPECT_EQ(dialog.text, "chart.png");

    const QImage picture = ReadPng(path);
    ASSERT_FALSE(picture.isNull()) << "no PNG picture at " << path;
    EXPECT_EQ(picture.size(), ViewSize(shell::datapanel, ui::DATAP_STRIPCHART));
    // The steady raw signal is drawn as a green line across the chart.
    EXPECT_GT(PixelsOfColour(picture, 0x00A000), 100);
}

TEST_F(EndToEnd, SavedPictureFollowsTheSizeOfTheWindow) {
    QWidget* window = platform::PanelWidget(shell::mainpanel);
    const QSize form = ViewSize(shell::datapanel, ui::DATAP_STRIPCHART);
    window->resize(window->size() + QSize(240, 120));
    ASSERT_EQ(ViewSize(shell::datapanel, ui::DATAP_STRIPCHART), form + QSize(240, 120));

    const std::string path = Dir() + "/wide.png";
    Save(shell::datapanel, ui::DATAP_BUTTON_SAVECHART, path);
    EXPECT_EQ(ReadPng(path).size(), form + QSize(240, 120));
}

// The graph panel saves the graph the SIGNAL selector shows, under a name that says which.
TEST_F(EndToEnd, SavingOnTheGraphPanelWritesTheGraphShown) {
    P().Click(shell::datapanel, ui::DATAP_BUTTON_SHOWGRAPH);
    ASSERT_TRUE(platform::PanelVisible(shell::graphpanel));
    for (uint16_t i = 0; i < 20; ++i) {   // recorded frames: a rising raw signal and temperature
        sl::dataANA0 = static_cast<uint16_t>(1000 + 50 * i);
        sl::dataTemp = static_cast<uint16_t>(2000 + 5 * i);
        graph::SetPanelGraphData();
    }
    const std::string rawPath = Dir() + "/raw.png";
    Save(shell::graphpanel, ui::GRAPHP_BUTTON_SAVEGRAPH, rawPath);
    ChooseSignal(graph::kSignalTemp);
    const std::string tempPath = Dir() + "/temp.png";
    Save(shell::graphpanel, ui::GRAPHP_BUTTON_SAVEGRAPH, tempPath);

    std::vector<std::string> defaults;
    for (const auto& popup : platform::PopupLog()) defaults.push_back(popup.title + "|" + popup.text);
    EXPECT_EQ(defaults, (std::vector<std::string>{"PNG|raw.png", "PNG|temp.png"}));

    const QImage raw = ReadPng(rawPath);
    const QImage temp = ReadPng(tempPath);
    ASSERT_FALSE(raw.isNull());
    ASSERT_FALSE(temp.isNull());
    EXPECT_EQ(raw.size(), ViewSize(shell::graphpanel, ui::GRAPHP_GRAPH_RAW));
    EXPECT_EQ(temp.size(), ViewSize(shell::graphpanel, ui::GRAPHP_GRAPH_TEMP));
    EXPECT_GT(PixelsOfColour(raw, graph::kRawGraphColor), 50);
    EXPECT_EQ(PixelsOfColour(raw, graph::kTempGraphColor), 0);
    EXPECT_GT(PixelsOfColour(temp, graph::kTempGraphColor), 50);
    EXPECT_EQ(PixelsOfColour(temp, graph::kRawGraphColor), 0);
}

TEST_F(EndToEnd, CancelWritesNothingAndAFileThatCannotBeWrittenIsReported) {
    const std::string cancelled = Dir() + "/cancelled.png";
    Save(shell::datapanel, ui::DATAP_BUTTON_SAVECHART, cancelled, 0);
    long long size = 0;
    EXPECT_EQ(platform::GetFileInfo(cancelled, size), 0);
    EXPECT_EQ(platform::PopupLog().size(), 1u) << "cancel shows nothing after the dialog";

    platform::ClearPopupLog();
    const std::string nowhere = Dir() + "/no such folder/chart.png";
    Save(shell::datapanel, ui::DATAP_BUTTON_SAVECHART, nowhere);
    ASSERT_EQ(platform::PopupLog().size(), 2u);
    EXPECT_EQ(platform::PopupLog()[1].kind, platform::PopupRecord::Message);
    EXPECT_EQ(platform::PopupLog()[1].title, "ATTENTION!");
    EXPECT_EQ(platform::PopupLog()[1].text, "The picture could not be written:\n" + nowhere);

    // A name typed without a suffix gets ".png"; an existing picture is replaced.
    platform::ClearPopupLog();
    platform::WriteFileBytes(Dir() + "/plain.png", "old");
    Save(shell::datapanel, ui::DATAP_BUTTON_SAVECHART, Dir() + "/plain", 2);
    EXPECT_EQ(platform::GetFileInfo(Dir() + "/plain", size), 0);
    EXPECT_FALSE(ReadPng(Dir() + "/plain.png").isNull());
    EXPECT_EQ(platform::PopupLog().size(), 1u);
}

TEST_F(EndToEnd, SaveButtonsExplainThemselvesInTheStyleOfTheOtherTexts) {
    EXPECT_STREQ(shell::InfoButtonSaveChart, " Save the strip chart as a PNG picture. ");
    EXPECT_STREQ(shell::InfoButtonSaveGraph, " Save the graph shown as a PNG picture. ");
    for (auto [panel, button] : {std::pair{shell::datapanel, int{ui::DATAP_BUTTON_SAVECHART}},
                                 std::pair{shell::graphpanel, int{ui::GRAPHP_BUTTON_SAVEGRAPH}}}) {
        EXPECT_EQ(P().Widget(panel, button)->accessibleName(), "SAVE PNG");
    }
}

// ---- TEACH and SEND -------------------------------------------------------------------------

TEST_F(EndToEnd, TeachDuringGoReachesTheSensorThroughSend) {
    constexpr int kPower = 300;
    constexpr int kFirstTeach = 3000;
    SetPara(ui::PARAP_POWER, kPower);
    SetPara(ui::PARAP_TEACHVALUE, kFirstTeach);
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_SEND);
    ASSERT_EQ(P().m_sensor.ram()[sim::kWordTeachValue], kFirstTeach);
    ASSERT_EQ(P().m_sensor.ram()[sim::kWordPower], kPower);

    std::set<int> refsBefore;
    std::set<int> refsAfterTeach;
    int taught = -1;
    int rawOnDisplay = -1;
    int frames = 0;
    ASSERT_TRUE(RunGo([&] {
        if (taught < 0) {
            refsBefore.insert(sl::dataRef);
            if (++frames < kFramesToWatch) return false;
            rawOnDisplay = std::stoi(P().Text(shell::datapanel, ui::DATAP_RAW));
            P().Click(shell::parapanel, ui::PARAP_BUTTON_TEACH);
            taught = P().Value(shell::parapanel, ui::PARAP_TEACHVALUE);
            frames = 0;
            return false;
        }
        refsAfterTeach.insert(sl::dataRef);
        return ++frames >= kFramesToWatch;
    }));
    EXPECT_EQ(refsBefore, std::set<int>{kFirstTeach});
    EXPECT_EQ(taught, rawOnDisplay);
    EXPECT_NEAR(taught, kPower * kCountsPerPower, kSteadyNoise);
    // TEACH alone changes the panel, not the sensor.
    EXPECT_EQ(refsAfterTeach, std::set<int>{kFirstTeach});
    EXPECT_EQ(P().m_sensor.ram()[sim::kWordTeachValue], kFirstTeach);

    P().Click(shell::mainpanel, ui::MAINP_BUTTON_SEND);
    EXPECT_EQ(P().m_sensor.ram()[sim::kWordTeachValue], taught);
    std::set<int> refsAfterSend;
    frames = 0;
    ASSERT_TRUE(RunGo([&] {
        refsAfterSend.insert(sl::dataRef);
        return ++frames >= kFramesToWatch;
    }));
    EXPECT_EQ(refsAfterSend, std::set<int>{taught});
    EXPECT_EQ(P().Text(shell::datapanel, ui::DATAP_REF), std::to_string(taught));
}

// ---- Output mode and LED --------------------------------------------------------------------

TEST_F(EndToEnd, OutputModeInvertsTheLedForTheSameSignal) {
    constexpr int kPower = 500;
    const int level = static_cast<int>(kPower * kCountsPerPower);
    struct Case {
        int teach;
        int outmode;
        int outTol;   // what the sensor reports: within the tolerance or not
        int led;      // lit exactly when the output is at +24 V
    };
    const Case cases[] = {
        {level, kDirect, 1, 1},
        {level, kInverse, 1, 0},
        {level + 1000, kInverse, 0, 1},
        {level + 1000, kDirect, 0, 0},
    };
    SetPara(ui::PARAP_POWER, kPower);
    SetPara(ui::PARAP_TRSHMODE, kWin);
    for (const Case& c : cases) {
        SCOPED_TRACE("teach " + std::to_string(c.teach) + ", output mode " + std::to_string(c.outmode));
        SetPara(ui::PARAP_TEACHVALUE, c.teach);
        SetPara(ui::PARAP_OUTMODE, c.outmode);
        P().Click(shell::mainpanel, ui::MAINP_BUTTON_SEND);
        ASSERT_EQ(P().m_sensor.ram()[sim::kWordOutmode], c.outmode);

        std::set<std::pair<int, int>> seen;   // (within tolerance, LED)
        int lowest = 4095;
        int highest = 0;
        int frames = 0;
        ASSERT_TRUE(RunGo([&] {
            seen.insert({sl::dataOutTol, Led()});
            lowest = std::min<int>(lowest, sl::dataANA0);
            highest = std::max<int>(highest, sl::dataANA0);
            return ++frames >= kFramesToWatch;
        }));
        EXPECT_EQ(seen, (std::set<std::pair<int, int>>{{c.outTol, c.led}}));
        EXPECT_NEAR(lowest, level, kSteadyNoise);
        EXPECT_NEAR(highest, level, kSteadyNoise);
    }
}

// ---- Triggered recording --------------------------------------------------------------------

// One frame the sensor sent by itself.
struct SensorFrame {
    int m_raw = 0;
    int m_outTol = 0;
};

// The RAW column of a record file's data lines.
std::vector<int> RecordedRaw(const std::string& path) {
    std::string bytes;
    platform::ReadFileBytes(path, bytes);
    std::vector<int> raw;
    std::istringstream lines(bytes.substr(std::min(bytes.size(), recorder::kRecordHeader.size())));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string date, time, value;
        if (std::getline(fields, date, '\t') && std::getline(fields, time, '\t') &&
            std::getline(fields, value, '\t'))
            raw.push_back(std::stoi(value));
    }
    return raw;
}

// Objects pass the beam; the default record keeps the clear beam inside the WIN window and
// takes every object out of it. Each output change is one frame and one line: an object
// leaving the window (signal beyond a threshold line) and then returning (signal back inside
// the hysteresis lines). The recording may start while an object is in the beam. SAVE PNG
// pressed meanwhile does not end it.
TEST_F(EndToEnd, TriggeredRecordingWritesOneLinePerOutputChangeTwoPerObject) {
    const std::string path = Dir() + "/objects.dat";
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_RECORDER);
    P().m_filePath = path;
    P().m_fileResult = 2;
    P().Click(shell::recpanel, ui::RECP_BUTTON_SELFILE);
    const std::string picture = Dir() + "/while recording.png";
    P().m_filePath = picture;   // for SAVE PNG pressed while the recording runs
    auto* mode = qobject_cast<QComboBox*>(P().Widget(shell::recpanel, ui::RECP_MODE));
    mode->setCurrentIndex(recorder::kModeTriggered);
    emit mode->activated(recorder::kModeTriggered);

    std::vector<SensorFrame> sent;
    QObject::connect(&P().m_sensor, &sim::Sensor::triggeredFrame, [&](const sim::ReplyPlan& plan) {
        ASSERT_EQ(plan.m_bytes.size(), size_t{sl::kTelegramBytes});
        uint16_t words[sl::kTelegramWords];
        sl::UnpackTelegram(plan.m_bytes.data(), words);
        sent.push_back({words[2 + sim::kDataRaw], words[2 + sim::kDataOutTol]});
    });
    P().m_sensor.setScene(sim::Scene::Objects);

    const auto wholePassings = [&](size_t count) {
        int passings = 0;
        for (size_t i = 1; i < count; ++i) passings += sent[i - 1].m_outTol == 0 && sent[i].m_outTol == 1;
        return passings;
    };
    size_t sentAtStop = 0;
    int recordedAtSave = 0;
    int pollAfterSave = -1;
    bool timedOut = false;
    const double start = platform::Timer();
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (sentAtStop > 0 || timedOut) return;
        const int recorded = std::stoi(P().Text(shell::recpanel, ui::RECP_RUNNING_COUNT));
        const bool caughtUp = !sent.empty() && recorded == static_cast<int>(sent.size());
        if (recordedAtSave == 0 && recorded > 0) {
            P().Click(shell::datapanel, ui::DATAP_BUTTON_SAVECHART);
            recordedAtSave = recorded;
            pollAfterSave = sl::poll;
            return;
        }
        if (caughtUp && sent.back().m_outTol == 1 && wholePassings(sent.size()) >= kMinWholePassings) {
            sentAtStop = sent.size();
        } else if (platform::Timer() - start > kScenarioLimitS) {
            timedOut = true;
        } else {
            return;
        }
        P().Click(shell::recpanel, ui::RECP_BUTTON_TRIGSTOP);
    });
    driver.start(5);
    P().Click(shell::recpanel, ui::RECP_BUTTON_TRIGSTART);
    driver.stop();
    ASSERT_FALSE(timedOut) << sent.size() << " frames sent";

    // The file holds the sensor's frames in order, one line each.
    const std::vector<int> lines = RecordedRaw(path);
    ASSERT_GE(lines.size(), sentAtStop);
    ASSERT_LE(lines.size(), sent.size());
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], sent[i].m_raw) << "line " << i;

    // Each line is an output change: leaving and returning alternate, and the signal of each
    // line lies where that change happens.
    const sim::Record& record = sim::kDefaultRecord;
    const graph::ThresholdLines window = graph::ThresholdRule(
        record[sim::kWordTrshMode], record[sim::kWordTeachValue], record[sim::kWordTol],
        record[sim::kWordHyst]);
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i) + ", raw " + std::to_string(lines[i]));
        if (i > 0) {
            EXPECT_NE(sent[i].m_outTol, sent[i - 1].m_outTol);
        }
        if (sent[i].m_outTol == 0) {
            EXPECT_TRUE(lines[i] < window.m_threshold2 || lines[i] > window.m_threshold1);
        } else {
            EXPECT_TRUE(lines[i] > window.m_hysteresis2 && lines[i] < window.m_hysteresis1);
        }
    }
    const int passings = wholePassings(lines.size());
    const size_t partialFirst = sent[0].m_outTol == 1 ? 1 : 0;   // an object already in the beam
    EXPECT_GE(passings, kMinWholePassings);
    EXPECT_EQ(lines.size(), 2 * static_cast<size_t>(passings) + partialFirst +
                                (sent[lines.size() - 1].m_outTol == 0 ? 1 : 0));
    EXPECT_EQ(P().Text(shell::recpanel, ui::RECP_RUNNING_COUNT), std::to_string(lines.size()));

    // SAVE PNG during the recording wrote the strip chart and the recording went on.
    EXPECT_FALSE(ReadPng(picture).isNull());
    EXPECT_EQ(pollAfterSave, 1);
    EXPECT_GT(static_cast<int>(lines.size()), recordedAtSave);
}

}  // namespace
