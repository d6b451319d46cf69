// The program against the simulated sensor, as a user drives it: SAVE PNG of the strip chart
// and of the graph shown (their layout when the window grows is tested in test_ui.cpp), TEACH that reaches the sensor only through SEND, the output mode
// inverting the LED for the same signal, and triggered recording that writes one line per
// output change, two per object passing the beam.
#include <QComboBox>
#include <QImageReader>
#include <QTimer>

#include <functional>
#include <set>
#include <utility>

#include "apptest.h"
#include "graph/graph.h"
#include "recorder/recorder.h"
#include "sim/model.h"

using namespace apptest;
namespace sl = sensorlink;

namespace {

constexpr double kScenarioLimitS = 30.0;   // one GO or recording, on a slow, busy machine
constexpr int kFramesToWatch = 4;          // frames that show a state is steady
constexpr int kInverse = 1;                // output-mode ring value (0 direct)
constexpr int kWin = 2;                    // threshold-mode ring value
constexpr int kMinWholePassings = 2;       // objects recorded from entering to leaving
// A clear beam at full POWER gives full scale.
constexpr double kCountsPerPower = double{sim::kRawMax} / sim::kPowerMax;
constexpr double kSteadyNoise = 40.0;      // counts; averaged noise stays well inside this

// A picture as the program wrote it: decoded as PNG, or a null image.
QImage ReadPng(const std::string& path) {
    QImageReader reader(QString::fromStdString(path), "png");
    reader.setDecideFormatFromContent(true);
    return reader.format() == "png" ? reader.read() : QImage();
}

// Pixels of the picture that have the colour rgb (0xRRGGBB), up to a small difference.
int PixelsOfColour(const QImage& image, int rgb) {
    const auto near = [](int a, int b) { return std::abs(a - b) < 24; };
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            count += near(qRed(c), rgb >> 16 & 0xFF) && near(qGreen(c), rgb >> 8 & 0xFF) && near(qBlue(c), rgb & 0xFF);
        }
    }
    return count;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        P().m_sensor.setScene(sim::Scene::Steady);
        P().Start();
        ASSERT_EQ(P().Text(ui::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
        P().m_sensor.clearLog();
        platform::ClearPopupLog();
    }

    Program& P() { return m_program; }
    std::string Dir() const { return m_program.m_dir.path().toStdString(); }

    // Presses GO, notes value() on each of the next frames from the second on (sampled: a
    // frame may pass unseen), then presses STOP. The sensor applies a record sent just before
    // GO within one of its cycles, so the first frame may still show the old one; the GO
    // loop's pause makes the second current.
    template <typename T>
    std::set<T> Watch(const std::function<T()>& value, int frames = kFramesToWatch) {
        const int atStart = P().Requests(sl::kCodeData);
        int seen = atStart;
        std::set<T> values;
        bool stopped = false;
        const double start = platform::Timer();
        QTimer driver;
        QObject::connect(&driver, &QTimer::timeout, [&] {
            // While request n waits for its reply, the frame of request n - 1 is on display.
            const int now = P().Requests(sl::kCodeData);
            if (!stopped && now >= atStart + 3 && now != seen) {
                seen = now;
                values.insert(value());
                --frames;
            }
            const bool late = platform::Timer() - start > kScenarioLimitS;
            if (stopped || (frames > 0 && !late)) return;
            EXPECT_FALSE(late) << "the frames stopped";
            stopped = true;
            P().Click(ui::mainpanel, ui::MAINP_BUTTON_STOP);
        });
        driver.start(2);
        P().Click(ui::mainpanel, ui::MAINP_BUTTON_GO);
        EXPECT_TRUE(stopped);
        return values;
    }

    void SetPara(int control, int value) { platform::SetCtrlVal(ui::parapanel, control, value); }

    // Presses SAVE PNG on the given panel with the dialog answering path and result.
    void Save(int panel, int button, const std::string& path, int result = 2) {
        P().m_filePath = path;
        P().m_fileResult = result;
        P().Click(panel, button);
    }
    QSize ViewSize(int panel, int control) { return P().Widget(panel, control)->size(); }

    Program m_program{Transport::Tcp};
};

// ---- SAVE PNG -------------------------------------------------------------------------------

TEST_F(EndToEnd, SavingTheStripChartDuringGoWritesItsPictureAndThePollingGoesOn) {
    const std::string path = Dir() + "/live.png";
    int frames = 0;
    // Saved half-way through: the polling goes on for as many frames after it.
    EXPECT_EQ(Watch<int>([&] {
                  if (++frames == kFramesToWatch) Save(ui::datapanel, ui::DATAP_BUTTON_SAVECHART, path);
                  return int{sl::poll};
              }, 2 * kFramesToWatch),
              std::set<int>{1});
    ASSERT_EQ(platform::PopupLog().size(), 1u);
    EXPECT_EQ(platform::PopupLog()[0].kind, platform::PopupRecord::FileSelect);
    EXPECT_EQ(platform::PopupLog()[0].title + "|" + platform::PopupLog()[0].text, "PNG|chart.png");
    const QImage picture = ReadPng(path);
    EXPECT_EQ(picture.size(), ViewSize(ui::datapanel, ui::DATAP_STRIPCHART));
    EXPECT_GT(PixelsOfColour(picture, 0x00A000), 100);   // the steady raw signal's green line
}

// The graph panel saves the graph the SIGNAL selector shows, under a name that says which.
TEST_F(EndToEnd, SavingOnTheGraphPanelWritesTheGraphShown) {
    P().Click(ui::datapanel, ui::DATAP_BUTTON_SHOWGRAPH);
    ASSERT_TRUE(platform::PanelVisible(ui::graphpanel));
    for (uint16_t i = 0; i < 20; ++i) {   // recorded frames: a rising raw signal and temperature
        sl::dataANA0 = static_cast<uint16_t>(1000 + 50 * i);
        sl::dataTemp = static_cast<uint16_t>(2000 + 5 * i);
        graph::SetPanelGraphData();
    }
    Save(ui::graphpanel, ui::GRAPHP_BUTTON_SAVEGRAPH, Dir() + "/raw.png");
    auto* signal = qobject_cast<QComboBox*>(P().Widget(ui::graphpanel, ui::GRAPHP_SIGNAL));
    signal->setCurrentIndex(graph::kSignalTemp);
    emit signal->activated(graph::kSignalTemp);
    Save(ui::graphpanel, ui::GRAPHP_BUTTON_SAVEGRAPH, Dir() + "/temp.png");
    std::vector<std::string> defaults;
    for (const auto& popup : platform::PopupLog()) defaults.push_back(popup.title + "|" + popup.text);
    EXPECT_EQ(defaults, (std::vector<std::string>{"PNG|raw.png", "PNG|temp.png"}));

    for (const auto& [name, view, colour, other] :
         {std::tuple{"/raw.png", ui::GRAPHP_GRAPH_RAW, graph::kRawGraphColor, graph::kTempGraphColor},
          std::tuple{"/temp.png", ui::GRAPHP_GRAPH_TEMP, graph::kTempGraphColor, graph::kRawGraphColor}}) {
        const QImage picture = ReadPng(Dir() + name);
        EXPECT_EQ(picture.size(), ViewSize(ui::graphpanel, view)) << name;
        EXPECT_GT(PixelsOfColour(picture, colour), 50) << name;
        EXPECT_EQ(PixelsOfColour(picture, other), 0) << name;
    }
}

TEST_F(EndToEnd, CancelWritesNothingAFailureIsReportedAndANameGetsItsSuffix) {
    const std::string cancelled = Dir() + "/cancelled.png";
    Save(ui::datapanel, ui::DATAP_BUTTON_SAVECHART, cancelled, 0);
    long long size = 0;
    EXPECT_EQ(platform::GetFileInfo(cancelled, size), 0);
    const std::string nowhere = Dir() + "/no such folder/chart.png";
    Save(ui::datapanel, ui::DATAP_BUTTON_SAVECHART, nowhere);
    platform::WriteFileBytes(Dir() + "/plain.png", "old");   // replaced
    Save(ui::datapanel, ui::DATAP_BUTTON_SAVECHART, Dir() + "/plain", 2);
    EXPECT_EQ(platform::GetFileInfo(Dir() + "/plain", size), 0);
    EXPECT_FALSE(ReadPng(Dir() + "/plain.png").isNull());
    // Nothing after the cancelled dialog; one message after the failed one.
    const auto& log = platform::PopupLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2].kind, platform::PopupRecord::Message);
    EXPECT_EQ(log[2].title, "ATTENTION!");
    EXPECT_EQ(log[2].text, "The picture could not be written:\n" + nowhere);
}

// ---- TEACH and SEND, output mode and LED ----------------------------------------------------

TEST_F(EndToEnd, TeachReachesTheSensorThroughSendAndChangesTheReferenceItReports) {
    constexpr int kPower = 300;
    constexpr int kFirstTeach = 3000;
    const auto reference = [] { return int{sl::dataRef}; };
    SetPara(ui::PARAP_POWER, kPower);
    SetPara(ui::PARAP_TEACHVALUE, kFirstTeach);
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_SEND);
    EXPECT_EQ(Watch<int>(reference), std::set<int>{kFirstTeach});

    P().Click(ui::parapanel, ui::PARAP_BUTTON_TEACH);   // takes the raw value shown last
    const int taught = P().Value(ui::parapanel, ui::PARAP_TEACHVALUE);
    EXPECT_EQ(std::to_string(taught), P().Text(ui::datapanel, ui::DATAP_RAW));
    EXPECT_NEAR(taught, kPower * kCountsPerPower, kSteadyNoise);
    EXPECT_EQ(Watch<int>(reference), std::set<int>{kFirstTeach});   // the panel only, so far

    P().Click(ui::mainpanel, ui::MAINP_BUTTON_SEND);
    EXPECT_EQ(P().m_sensor.ram()[sim::kWordTeachValue], taught);
    EXPECT_EQ(Watch<int>(reference), std::set<int>{taught});
    EXPECT_EQ(P().Text(ui::datapanel, ui::DATAP_REF), std::to_string(taught));
}

TEST_F(EndToEnd, OutputModeInvertsTheLedForTheSameSignal) {
    constexpr int kPower = 500;
    const int level = static_cast<int>(kPower * kCountsPerPower);
    SetPara(ui::PARAP_POWER, kPower);
    SetPara(ui::PARAP_TRSHMODE, kWin);
    // teach, output mode, then what the sensor reports (within the tolerance or not) and
    // the LED, lit exactly when the output is at +24 V.
    for (const auto& [teach, outmode, outTol, led] : {std::tuple{level, 0, 1, 1},
                                                      {level, kInverse, 1, 0},
                                                      {level + 1000, kInverse, 0, 1},
                                                      {level + 1000, 0, 0, 0}}) {
        SCOPED_TRACE("teach " + std::to_string(teach) + ", output mode " + std::to_string(outmode));
        SetPara(ui::PARAP_TEACHVALUE, teach);
        SetPara(ui::PARAP_OUTMODE, outmode);
        P().Click(ui::mainpanel, ui::MAINP_BUTTON_SEND);
        const auto seen = Watch<std::pair<int, int>>([&] {
            EXPECT_NEAR(sl::dataANA0, level, kSteadyNoise);
            return std::pair{int{sl::dataOutTol}, P().Value(ui::datapanel, ui::DATAP_LED_OUT)};
        });
        EXPECT_EQ(seen, (std::set<std::pair<int, int>>{{outTol, led}}));
    }
}

// ---- Triggered recording --------------------------------------------------------------------

// Objects pass the beam; the default record keeps the clear beam inside the WIN window and
// takes every object out of it. Each output change is one frame and one line: an object
// leaving the window and then returning. The recording may start while an object is in the beam.
TEST_F(EndToEnd, TriggeredRecordingWritesOneLinePerOutputChangeTwoPerObject) {
    const std::string path = Dir() + "/objects.dat";
    P().Click(ui::mainpanel, ui::MAINP_BUTTON_RECORDER);
    P().ChooseRecordFile(path);
    P().ChooseRecordMode(recorder::kModeTriggered);

    std::vector<std::pair<int, int>> sent;   // (raw, within tolerance) of each frame
    QObject::connect(&P().m_sensor, &sim::Sensor::triggeredFrame, [&](const sim::ReplyPlan& plan) {
        uint16_t words[sl::kTelegramWords];
        sl::UnpackTelegram(plan.m_bytes.data(), words);
        sent.emplace_back(words[2 + sim::kDataRaw], words[2 + sim::kDataOutTol]);
    });
    P().m_sensor.setScene(sim::Scene::Objects);
    const auto wholePassings = [&](size_t count) {
        int passings = 0;
        for (size_t i = 1; i < count; ++i) passings += sent[i - 1].second == 0 && sent[i].second == 1;
        return passings;
    };
    // Stops once every frame is recorded and enough objects have passed; the beam is clear.
    size_t sentAtStop = 0;
    bool timedOut = false;
    const double start = platform::Timer();
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        const bool done = !sent.empty() && sent.back().second == 1 &&
                          wholePassings(sent.size()) >= kMinWholePassings &&
                          P().Text(ui::recpanel, ui::RECP_RUNNING_COUNT) == std::to_string(sent.size());
        timedOut = !done && platform::Timer() - start > kScenarioLimitS;
        if (!done && !timedOut) return;
        driver.stop();
        sentAtStop = sent.size();
        P().Click(ui::recpanel, ui::RECP_BUTTON_TRIGSTOP);
    });
    driver.start(5);
    P().Click(ui::recpanel, ui::RECP_BUTTON_TRIGSTART);
    ASSERT_FALSE(timedOut) << sent.size() << " frames sent";

    // The file holds the sensor's frames in order, one line each, and each is an output change.
    const std::vector<std::string> lines = Program::RecordLines(path);
    ASSERT_GE(lines.size(), sentAtStop);
    ASSERT_LE(lines.size(), sent.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(QString::fromStdString(lines[i]).split('\t').at(2).toInt(), sent[i].first) << "line " << i;
        if (i > 0) {
            EXPECT_NE(sent[i].second, sent[i - 1].second) << "line " << i;
        }
    }
    const int passings = wholePassings(lines.size());
    EXPECT_GE(passings, kMinWholePassings);
    // An object already in the beam at the start, and one still in it at the end, add a line.
    EXPECT_EQ(static_cast<int>(lines.size()),
              2 * passings + sent.front().second + (1 - sent[lines.size() - 1].second));
    EXPECT_EQ(P().Text(ui::recpanel, ui::RECP_RUNNING_COUNT), std::to_string(lines.size()));
}

}  // namespace
