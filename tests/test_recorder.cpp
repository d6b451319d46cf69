// The recorder in the running program against the simulated sensor: the record file byte for
// byte and its three dialog outcomes, the record time, timed, continuous, triggered and manual
// recording with their counters, pacing, stops, time-outs and lines that cannot be written.
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLineEdit>
#include <QLineSeries>
#include <QSpinBox>
#include <QTimer>
#include <ctime>
#include <functional>
#include <regex>

#include "apptest.h"
#include "graph/graph.h"
#include "recorder/recorder.h"
#include "recorder/recordformat.h"

using namespace apptest;
namespace sl = sensorlink;

namespace {

constexpr char kHeader[] = "DATE\tTIME\tRAW\tTEMP\t\r\n";
constexpr char kNoFile[] = "No filename was choosen! \nRecording will not be done! ";
constexpr char kExists[] = "File already exist! \nDo you want to select existing file?";
constexpr char kConfirm[] = "Are you sure, that you have selected the right file name?";
constexpr char kSaved[] = "File has been saved!";

std::string Reminder(int blanks) {
    return " Make sure, that the file is not opened by any other program." +
           std::string(static_cast<size_t>(blanks), ' ') + "\n Otherwise it can not be saved.";
}

// One shown pop-up and when it was shown.
struct Shown {
    platform::PopupRecord m_popup;
    double m_time = 0.0;
};

// A frame as the sensor sends it after the trigger command.
QByteArray TriggeredFrame(uint16_t raw, uint16_t temp, uint16_t mark = sl::kReplyMark) {
    uint16_t words[sl::kRecordWords] = {};
    words[0] = raw;
    words[sl::kRecordWords - 1] = temp;
    uint8_t bytes[sl::kTelegramBytes];
    sl::PackTelegram(mark, sl::kCodeTriggered, words, bytes);
    return QByteArray(reinterpret_cast<const char*>(bytes), sl::kTelegramBytes);
}

class RecorderTest : public ::testing::Test {
protected:
    virtual Transport Link() const { return Transport::Tcp; }

    void SetUp() override {
        m_program = std::make_unique<Program>(Link());
        Program& p = *m_program;
        platform::SetPopupHandler([this](const platform::PopupRecord& popup, std::string& path) {
            m_shown.push_back({popup, platform::Timer()});
            if (popup.kind == platform::PopupRecord::FileSelect) {
                path = m_program->m_filePath;
                return m_program->m_fileResult;
            }
            return popup.kind == platform::PopupRecord::Confirm ? m_program->m_confirmAnswer : 1;
        });
        p.Start();
        ASSERT_EQ(p.Text(shell::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
        p.Click(shell::mainpanel, ui::MAINP_BUTTON_RECORDER);
        ASSERT_TRUE(platform::PanelVisible(shell::recpanel));
        p.m_sensor.clearLog();
        m_shown.clear();
    }
    void TearDown() override { m_program.reset(); }

    Program& P() { return *m_program; }
    std::string Dir() const { return m_program->m_dir.path().toStdString(); }
    std::string Rec(int control) { return P().Text(shell::recpanel, control); }

    void ChooseFile(const std::string& path, int result) {
        P().m_filePath = path;
        P().m_fileResult = result;
        P().Click(shell::recpanel, ui::RECP_BUTTON_SELFILE);
    }
    void ChooseMode(int mode) {   // as the user picks an item of the selector
        auto* ring = qobject_cast<QComboBox*>(P().Widget(shell::recpanel, ui::RECP_MODE));
        ring->setCurrentIndex(mode);
        emit ring->activated(mode);
    }
    void Type(int control, int value) {   // types a number into a spin box and presses Enter
        auto* spin = qobject_cast<QSpinBox*>(P().Widget(shell::recpanel, control));
        spin->setFocus();
        spin->selectAll();
        QTest::keyClicks(spin, QString::number(value));
        QTest::keyClick(spin, Qt::Key_Return);
    }
    std::string Box() { return Rec(ui::RECP_FILE); }
    static std::string Bytes(const std::string& path) {
        std::string bytes;
        platform::ReadFileBytes(path, bytes);
        return bytes;
    }
    // The data lines of a record file (everything after the header), CR LF removed.
    static std::vector<std::string> DataLines(const std::string& path) {
        std::string bytes = Bytes(path);
        if (bytes.rfind(kHeader, 0) == 0) bytes.erase(0, sizeof(kHeader) - 1);
        std::vector<std::string> lines;
        for (size_t at = 0; at < bytes.size();) {
            const size_t end = bytes.find("\r\n", at);
            if (end == std::string::npos) break;
            lines.push_back(bytes.substr(at, end - at));
            at = end + 2;
        }
        return lines;
    }
    static std::string Values(const std::string& line) {   // "raw\ttemp" of a data line
        return line.substr(20);
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Shown& s : m_shown) texts.push_back(s.m_popup.title + "|" + s.m_popup.text);
        return texts;
    }
    const Shown* Last(const std::string& text) const {
        for (auto it = m_shown.rbegin(); it != m_shown.rend(); ++it)
            if (it->m_popup.text == text) return &*it;
        return nullptr;
    }
    int Attribute(int control, int attr) {
        int value = -1;
        platform::GetCtrlAttribute(shell::recpanel, control, attr, value);
        return value;
    }
    std::vector<QPointF> RawGraphPoints() {
        auto* view = qobject_cast<QChartView*>(P().Widget(shell::graphpanel, ui::GRAPHP_GRAPH_RAW));
        std::vector<QPointF> points;
        for (QAbstractSeries* series : view->chart()->series())
            for (const QPointF& p : qobject_cast<QLineSeries*>(series)->points()) points.push_back(p);
        return points;
    }
    int Requests(int code) {
        int n = 0;
        for (int c : P().RequestCodes()) n += c == code;
        return n;
    }
    // Runs `step` every few milliseconds while the blocking click below runs.
    void WhileRunning(std::function<void()> step) {
        m_sampler = std::make_unique<QTimer>();
        QObject::connect(m_sampler.get(), &QTimer::timeout, std::move(step));
        m_sampler->start(5);
    }

    std::unique_ptr<Program> m_program;
    std::vector<Shown> m_shown;
    std::unique_ptr<QTimer> m_sampler;
};

class RecorderLinkTest : public RecorderTest, public ::testing::WithParamInterface<Transport> {
protected:
    Transport Link() const override { return GetParam(); }
};

// ---- the record file ------------------------------------------------------------------------

TEST_F(RecorderTest, FileChoiceHasThreeOutcomes) {
    const std::string first = Dir() + "/first.dat";
    ChooseFile(first, 2);   // a new name: the header alone, no question
    EXPECT_EQ(Bytes(first), kHeader);
    EXPECT_EQ(Bytes(first).size(), 21u);
    EXPECT_EQ(Box(), first);
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].m_popup.kind, platform::PopupRecord::FileSelect);
    EXPECT_EQ(m_shown[0].m_popup.title, "FILENAME!");
    EXPECT_EQ(m_shown[0].m_popup.text, "record.dat");

    const std::string old = Dir() + "/old.dat";
    platform::WriteFileBytes(old, "earlier recording\r\n");
    m_shown.clear();
    P().m_confirmAnswer = 0;   // No: file, box and choice stay
    ChooseFile(old, 1);
    EXPECT_EQ(Bytes(old), "earlier recording\r\n");
    EXPECT_EQ(Box(), first);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"FILENAME!|record.dat",
                                                 std::string("ATTENTION!|") + kExists}));

    m_shown.clear();
    P().m_confirmAnswer = 1;   // Yes: reminder 1, and the file is emptied down to the header
    ChooseFile(old, 1);
    EXPECT_EQ(Bytes(old), kHeader);
    EXPECT_EQ(Box(), old);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"FILENAME!|record.dat",
                                                 std::string("ATTENTION!|") + kExists,
                                                 "ATTENTION!|" + Reminder(36)}));

    m_shown.clear();
    ChooseFile("", 0);   // cancelled
    EXPECT_EQ(Box(), old);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"FILENAME!|record.dat",
                                                 std::string("ATTENTION!|") + kNoFile}));
}

TEST_F(RecorderTest, ManualRecordsWriteTheLastValuesAndReportAFailureAtOnce) {
    const std::string path = Dir() + "/manual.dat";
    ChooseFile(path, 2);
    ChooseMode(recorder::kModeManual);
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "0");
    sl::dataANA0 = 0;
    sl::dataTemp = 65535;
    m_shown.clear();

    const std::time_t before = std::time(nullptr);
    P().Click(shell::recpanel, ui::RECP_BUTTON_MANUAL);
    const std::time_t after = std::time(nullptr);
    EXPECT_TRUE(m_shown.empty());   // no question, no reminder
    const std::string bytes = Bytes(path);
    ASSERT_EQ(bytes.rfind(kHeader, 0), 0u);
    const std::string line = bytes.substr(sizeof(kHeader) - 1);
    EXPECT_TRUE(std::regex_match(line, std::regex("\\d\\d-\\d\\d-\\d{4}\t\\d\\d:\\d\\d:\\d\\d\t0\t65535\r\n")))
        << line;
    // The local clock at the moment of writing.
    std::tm t{};
    bool matches = false;
    for (std::time_t s = before; s <= after; ++s) {
        localtime_r(&s, &t);
        matches |= line == recorder::FormatRecordLine(t, 0, 65535);
    }
    EXPECT_TRUE(matches) << line;
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "1");
    EXPECT_EQ(RawGraphPoints(), (std::vector<QPointF>{QPointF(0, 0)}));

    // A file deleted after it was chosen comes back with the line, without a header.
    platform::DeleteFile(path);
    sl::dataANA0 = 4095;
    sl::dataTemp = 7;
    P().Click(shell::recpanel, ui::RECP_BUTTON_MANUAL);
    const auto lines = DataLines(path);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Bytes(path).find("DATE"), std::string::npos);
    EXPECT_EQ(Values(lines[0]), "4095\t7");
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "2");

    // A line that cannot be written is reported at once and not counted.
    const std::string nowhere = Dir() + "/no such folder/manual.dat";
    ChooseFile(nowhere, 2);
    m_shown.clear();
    P().Click(shell::recpanel, ui::RECP_BUTTON_MANUAL);
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].m_popup.title, "ATTENTION!");
    EXPECT_NE(m_shown[0].m_popup.text.find(nowhere), std::string::npos);
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "2");
    EXPECT_FALSE(P().Dimmed(shell::recpanel, ui::RECP_BUTTON_MANUAL));
}

// ---- record time ----------------------------------------------------------------------------

TEST_F(RecorderTest, RecordTimeIsIntervalTimesCountForEveryValueTheControlsAllow) {
    ChooseMode(recorder::kModeTimed);
    const auto shown = [&] {
        return Rec(ui::RECP_DAYS) + " " + Rec(ui::RECP_HOURS) + " " + Rec(ui::RECP_MINUTES) +
               " " + Rec(ui::RECP_SECONDS);
    };
    Type(ui::RECP_INTERVAL, 60);
    Type(ui::RECP_RECVAL, 1440);
    EXPECT_EQ(shown(), "1 0 0 0");
    EXPECT_EQ(Rec(ui::RECP_REMAINING), "1440");
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "0");
    // 65535 s x 65535 frames = 4294836225 s, beyond 32 bits.
    Type(ui::RECP_INTERVAL, 65535);
    Type(ui::RECP_RECVAL, 65535);
    EXPECT_EQ(shown(), "49708 18 3 45");
    Type(ui::RECP_INTERVAL, 1);
    Type(ui::RECP_RECVAL, 3);
    EXPECT_EQ(shown(), "0 0 0 3");
}

// ---- timed and continuous recording ---------------------------------------------------------

TEST_P(RecorderLinkTest, TimedRecordingPacesCountsAndEndsWithoutAFurtherWait) {
    const std::string path = Dir() + "/timed.dat";
    ChooseFile(path, 2);
    ChooseMode(recorder::kModeTimed);
    Type(ui::RECP_INTERVAL, 1);
    Type(ui::RECP_RECVAL, 3);
    m_shown.clear();

    struct Count {
        std::string recorded, remaining;
        double time;
    };
    std::vector<Count> counts;   // each change of the counters, when it is shown
    auto* remaining = qobject_cast<QLineEdit*>(P().Widget(shell::recpanel, ui::RECP_REMAINING));
    ASSERT_NE(remaining, nullptr);
    QObject::connect(remaining, &QLineEdit::textChanged, [&] {
        counts.push_back({Rec(ui::RECP_RECORDED), Rec(ui::RECP_REMAINING), platform::Timer()});
    });
    bool lockedWhileRunning = true;
    WhileRunning([&] {
        if (sl::poll != 1) return;   // not yet or no longer recording
        lockedWhileRunning &= Attribute(ui::RECP_BUTTON_START, platform::ATTR_CMD_BUTTON_COLOR) == 0xFF0000 &&
                              Attribute(ui::RECP_INTERVAL, platform::ATTR_CTRL_MODE) == platform::kModeIndicator &&
                              Attribute(ui::RECP_RECVAL, platform::ATTR_CTRL_MODE) == platform::kModeIndicator &&
                              P().Dimmed(shell::mainpanel, ui::MAINP_BUTTON_GO) &&
                              P().Dimmed(shell::recpanel, ui::RECP_MODE);
    });
    P().Click(shell::recpanel, ui::RECP_BUTTON_START);
    m_sampler.reset();

    EXPECT_TRUE(lockedWhileRunning);
    ASSERT_EQ(counts.size(), 3u);
    EXPECT_EQ(counts[0].recorded + counts[0].remaining, "12");
    EXPECT_EQ(counts[1].recorded + counts[1].remaining, "21");
    EXPECT_EQ(counts[2].recorded + counts[2].remaining, "30");
    for (int i = 1; i < 3; ++i) {
        EXPECT_GT(counts[i].time - counts[i - 1].time, 0.9);
        EXPECT_LT(counts[i].time - counts[i - 1].time, 1.6);
    }
    const Shown* saved = Last(kSaved);
    ASSERT_NE(saved, nullptr);
    EXPECT_LT(saved->m_time - counts[2].time, 0.5);   // no wait after the last line
    EXPECT_EQ(Texts(), (std::vector<std::string>{std::string("ATTENTION!|") + kConfirm,
                                                 "ATTENTION!|" + Reminder(34),
                                                 std::string("INFO!|") + kSaved}));

    const auto lines = DataLines(path);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Values(lines[2]), std::to_string(sl::dataANA0) + "\t" + std::to_string(sl::dataTemp));
    EXPECT_EQ(P().RequestCodes(), (std::vector<int>{5, 5, 5}));
    EXPECT_EQ(P().Value(shell::recpanel, ui::RECP_PROGRESS), 3);
    EXPECT_EQ(Attribute(ui::RECP_PROGRESS, platform::ATTR_MAX_VALUE), 3);
    EXPECT_EQ(RawGraphPoints().size(), 3u);
    // Everything is operable again.
    EXPECT_EQ(Attribute(ui::RECP_BUTTON_START, platform::ATTR_CMD_BUTTON_COLOR), 0xE0E0E0);
    EXPECT_EQ(Attribute(ui::RECP_INTERVAL, platform::ATTR_CTRL_MODE), platform::kModeHot);
    EXPECT_EQ(Attribute(ui::RECP_BUTTON_START, platform::ATTR_CTRL_MODE), platform::kModeHot);
    EXPECT_FALSE(P().Dimmed(shell::mainpanel, ui::MAINP_BUTTON_GO));
    EXPECT_EQ(sl::poll, 0);
}

TEST_F(RecorderTest, StopDuringThePacingWaitEndsAtOnce) {
    const std::string path = Dir() + "/continuous.dat";
    ChooseFile(path, 2);
    ChooseMode(recorder::kModeContinuous);
    Type(ui::RECP_INTERVAL, 5);
    double stopped = 0.0;
    WhileRunning([&] {
        if (stopped == 0.0 && Rec(ui::RECP_RUNNING_COUNT) == "1") {
            stopped = platform::Timer();
            P().Click(shell::recpanel, ui::RECP_BUTTON_STOP);
        }
    });
    const double start = platform::Timer();
    P().Click(shell::recpanel, ui::RECP_BUTTON_START);
    m_sampler.reset();
    ASSERT_GT(stopped, 0.0);
    const Shown* saved = Last(kSaved);
    ASSERT_NE(saved, nullptr);
    EXPECT_LT(saved->m_time - stopped, 0.5);
    EXPECT_LT(platform::Timer() - start, 3.0);
    EXPECT_EQ(DataLines(path).size(), 1u);   // the line of that pass is in the file
    EXPECT_EQ(P().RequestCodes(), (std::vector<int>{5}));
}

TEST_F(RecorderTest, TimeOutWritesNoStaleLineAndEndsTheRecording) {
    const std::string path = Dir() + "/timeout.dat";
    ChooseFile(path, 2);
    ChooseMode(recorder::kModeTimed);
    Type(ui::RECP_RECVAL, 5);
    bool broken = false;
    WhileRunning([&] {
        if (!broken && Rec(ui::RECP_RECORDED) == "1") {
            P().m_sensor.addFault(sl::kCodeData, {sim::FaultKind::NoReply}, -1);
            broken = true;
        }
    });
    P().Click(shell::recpanel, ui::RECP_BUTTON_START);
    m_sampler.reset();
    ASSERT_TRUE(broken);
    P().ExpectTimeoutState();
    EXPECT_EQ(DataLines(path).size(), 1u);
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "1");
    EXPECT_EQ(Rec(ui::RECP_REMAINING), "4");
    ASSERT_FALSE(m_shown.empty());
    EXPECT_EQ(m_shown.back().m_popup.title, "INFO!");
    EXPECT_EQ(m_shown.back().m_popup.text, kSaved);
}

TEST_F(RecorderTest, LinesThatCannotBeWrittenAreReportedInsteadOfSaved) {
    ChooseMode(recorder::kModeTimed);
    Type(ui::RECP_RECVAL, 2);
    // A folder that does not exist, and a device that takes no bytes. The dialog result is
    // "new file", so nothing is ever deleted.
    for (const std::string& path : {Dir() + "/missing/record.dat", std::string("/dev/full")}) {
        SCOPED_TRACE(path);
        ChooseFile(path, 2);
        m_shown.clear();
        P().Click(shell::recpanel, ui::RECP_BUTTON_START);
        EXPECT_EQ(Last(kSaved), nullptr);
        ASSERT_FALSE(m_shown.empty());
        EXPECT_EQ(m_shown.back().m_popup.title, "ATTENTION!");
        EXPECT_EQ(m_shown.back().m_popup.text,
                  "2 of 2 lines could not be written to the record file:\n" + path);
        EXPECT_EQ(Rec(ui::RECP_RECORDED), "2");   // the frames were taken all the same
    }
}

TEST_F(RecorderTest, NoAtTheConfirmationRecordsNothing) {
    const std::string path = Dir() + "/untouched.dat";
    ChooseFile(path, 2);
    sl::dataANA0 = 10;
    graph::SetPanelGraphData();
    ASSERT_FALSE(RawGraphPoints().empty());
    P().m_confirmAnswer = 0;
    m_shown.clear();
    P().Click(shell::recpanel, ui::RECP_BUTTON_START);
    EXPECT_EQ(Bytes(path), kHeader);
    EXPECT_TRUE(RawGraphPoints().empty());   // the graphs were cleared before the question
    EXPECT_TRUE(P().RequestCodes().empty());
    EXPECT_EQ(Texts(), (std::vector<std::string>{std::string("ATTENTION!|") + kConfirm}));
    EXPECT_FALSE(P().Dimmed(shell::recpanel, ui::RECP_BUTTON_START));

    ChooseMode(recorder::kModeTriggered);
    m_shown.clear();
    P().Click(shell::recpanel, ui::RECP_BUTTON_TRIGSTART);
    EXPECT_EQ(Texts(), (std::vector<std::string>{std::string("ATTENTION!|") + kConfirm}));
    EXPECT_TRUE(P().RequestCodes().empty());
}

// ---- triggered recording --------------------------------------------------------------------

TEST_P(RecorderLinkTest, TriggeredRecordingTakesEveryFrameTheSensorSends) {
    const std::string path = Dir() + "/triggered.dat";
    ChooseFile(path, 2);
    ChooseMode(recorder::kModeTriggered);
    m_shown.clear();
    // The sensor also sends frames of its own whenever its output switches: count them.
    int sensorFrames = 0;
    QObject::connect(&P().m_sensor, &sim::Sensor::triggeredFrame, [&] { ++sensorFrames; });
    const auto sendRaw = [&](const QByteArray& bytes) {
        if (P().m_tcp) P().m_tcp->sendRaw(bytes);
        else P().m_pty->sendRaw(bytes);
    };
    // Our own frames carry temperatures the simulated sensor never reports.
    const auto ours = [&] {
        int n = 0;
        for (const std::string& line : DataLines(path)) n += Values(line).find("\t6000") != std::string::npos;
        return n;
    };
    int step = 0;
    bool dimmedWhileRunning = true;
    const double start = platform::Timer();
    WhileRunning([&] {
        dimmedWhileRunning &= P().Dimmed(shell::recpanel, ui::RECP_BUTTON_SELFILE) &&
                              Attribute(ui::RECP_BUTTON_TRIGSTART, platform::ATTR_CMD_BUTTON_COLOR) == 0xFF0000;
        if (step == 0 && Requests(sl::kCodeTriggered) == 1) {
            sendRaw(TriggeredFrame(1001, 60001));
            step = 1;
        } else if (step == 1 && ours() == 1) {   // three at once
            sendRaw(TriggeredFrame(1002, 60002) + TriggeredFrame(1003, 60003) +
                    TriggeredFrame(1004, 60004));
            step = 2;
        } else if (step == 2 && ours() == 4) {   // a wrong mark, then (serial) stray bytes
            QByteArray bytes = TriggeredFrame(9999, 60099, 0xAB);
            if (P().m_pty) bytes += QByteArray("\x12\x00\x34", 3);
            sendRaw(bytes + TriggeredFrame(1005, 60005));
            step = 3;
        } else if (step == 3 && ours() == 5) {
            P().m_sensor.emitTriggeredFrame();
            step = 4;
        } else if (step == 4 && std::stoi(Rec(ui::RECP_RUNNING_COUNT)) == 5 + sensorFrames) {
            P().Click(shell::recpanel, ui::RECP_BUTTON_TRIGSTOP);
            step = 5;
        } else if (platform::Timer() - start > 20.0) {
            P().Click(shell::recpanel, ui::RECP_BUTTON_TRIGSTOP);
        }
    });
    P().Click(shell::recpanel, ui::RECP_BUTTON_TRIGSTART);
    m_sampler.reset();
    ASSERT_EQ(step, 5);

    EXPECT_TRUE(dimmedWhileRunning);
    const auto lines = DataLines(path);
    ASSERT_EQ(static_cast<int>(lines.size()), 5 + sensorFrames);
    EXPECT_EQ(Rec(ui::RECP_RUNNING_COUNT), std::to_string(lines.size()));
    std::vector<std::string> mine;
    for (const std::string& line : lines)
        if (Values(line).find("\t6000") != std::string::npos) mine.push_back(Values(line));
    EXPECT_EQ(mine, (std::vector<std::string>{"1001\t60001", "1002\t60002", "1003\t60003",
                                              "1004\t60004", "1005\t60005"}));
    EXPECT_EQ(Bytes(path).find("9999"), std::string::npos);
    EXPECT_EQ(RawGraphPoints().size(), lines.size());
    // The trigger command went out once; stopping sent nothing.
    EXPECT_EQ(P().RequestCodes(), (std::vector<int>{sl::kCodeTriggered}));
    EXPECT_EQ(Texts(), (std::vector<std::string>{std::string("ATTENTION!|") + kConfirm,
                                                 "ATTENTION!|" + Reminder(42),
                                                 std::string("INFO!|") + kSaved}));
    EXPECT_EQ(Attribute(ui::RECP_BUTTON_TRIGSTART, platform::ATTR_CMD_BUTTON_COLOR), 0xE0E0E0);
    EXPECT_FALSE(P().Dimmed(shell::recpanel, ui::RECP_BUTTON_SELFILE));
}

INSTANTIATE_TEST_SUITE_P(Transports, RecorderLinkTest,
                         ::testing::Values(Transport::Tcp, Transport::Pty), TransportName);

// ---- manual recording and the panel ---------------------------------------------------------

TEST_F(RecorderTest, ManualRecordDuringGoWritesTheLatestFrame) {
    const std::string path = Dir() + "/go.dat";
    ChooseFile(path, 2);
    ChooseMode(recorder::kModeManual);
    std::vector<std::string> taken;
    size_t requestsAtFirst = 0;
    WhileRunning([&] {
        const size_t requests = P().m_sensor.requests().size();
        const auto record = [&] {
            P().Click(shell::recpanel, ui::RECP_BUTTON_MANUAL);
            taken.push_back(std::to_string(sl::dataANA0) + "\t" + std::to_string(sl::dataTemp));
        };
        if (taken.empty() && requests >= 3) {
            record();
            requestsAtFirst = requests;
        } else if (taken.size() == 1 && requests >= requestsAtFirst + 3) {
            record();
            P().Click(shell::mainpanel, ui::MAINP_BUTTON_STOP);
        }
    });
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_GO);
    m_sampler.reset();
    ASSERT_EQ(taken.size(), 2u);
    const auto lines = DataLines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(Values(lines[0]), taken[0]);
    EXPECT_EQ(Values(lines[1]), taken[1]);
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "2");
    const auto points = RawGraphPoints();
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].x(), 0);
    EXPECT_EQ(points[1].x(), 1);
    EXPECT_EQ(std::to_string(static_cast<int>(points[1].y())), taken[1].substr(0, taken[1].find('\t')));
    EXPECT_TRUE(m_shown.size() == 1u && m_shown[0].m_popup.kind == platform::PopupRecord::FileSelect);
}

TEST_F(RecorderTest, ChoosingTheManualModeStartsTheCountAndTheGraphsAfresh) {
    ChooseFile(Dir() + "/modes.dat", 2);
    ChooseMode(recorder::kModeManual);
    P().Click(shell::recpanel, ui::RECP_BUTTON_MANUAL);
    P().Click(shell::recpanel, ui::RECP_BUTTON_MANUAL);
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "2");
    EXPECT_EQ(RawGraphPoints().size(), 2u);
    ChooseMode(recorder::kModeManual);
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "0");
    EXPECT_TRUE(RawGraphPoints().empty());
    EXPECT_EQ(graph::graphCnt, 0);
    P().Click(shell::recpanel, ui::RECP_BUTTON_MANUAL);
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "1");
    EXPECT_EQ(DataLines(Dir() + "/modes.dat").size(), 3u);
}

}  // namespace
