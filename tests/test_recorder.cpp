// The recorder in the running program against the simulated sensor: the record file and its
// dialog outcomes, the record time, timed, continuous, triggered and manual recording with their
// counters, pacing, stops and time-outs. Recordings into files that cannot be written are in
// test_files.cpp.
#include <QLineEdit>
#include <QSpinBox>
#include <ctime>

#include "apptest.h"
#include "graph/chart.h"
#include "graph/graph.h"
#include "recorder/recorder.h"
#include "recorder/recordformat.h"

using namespace apptest;
namespace sl = sensorlink;

namespace {

using Texts = std::vector<std::string>;
const std::string kHeader = "DATE\tTIME\tRAW\tTEMP\t\r\n";
const std::string kConfirm = "ATTENTION!|Are you sure, that you have selected the right file name?";
const std::string kSaved = "INFO!|File has been saved!";
const std::string kExists = "ATTENTION!|File already exist! \nDo you want to select existing file?";

std::string Reminder(int blanks) {
    return "ATTENTION!| Make sure, that the file is not opened by any other program." +
           std::string(static_cast<size_t>(blanks), ' ') + "\n Otherwise it can not be saved.";
}

std::string Bytes(const std::string& path) {
    std::string bytes;
    platform::ReadFileBytes(path, bytes);
    return bytes;
}

// "raw\ttemp" of each data line of a record file.
Texts ValuesIn(const std::string& path) {
    Texts values;
    for (const std::string& line : Program::RecordLines(path))
        values.push_back(line.substr(std::min<size_t>(20, line.size())));
    return values;
}

// "title|text" of every box shown since the log was cleared.
Texts Popups() {
    Texts texts;
    for (const auto& popup : platform::PopupLog()) texts.push_back(popup.title + "|" + popup.text);
    return texts;
}

// A frame as the sensor sends it after the trigger command.
QByteArray TriggeredFrame(uint16_t raw, uint16_t temp, uint16_t mark = sl::kReplyMark) {
    uint16_t words[sl::kRecordWords] = {};
    words[0] = raw;
    words[sl::kRecordWords - 1] = temp;
    uint8_t bytes[sl::kTelegramBytes];
    sl::PackTelegram(mark, sl::kCodeTriggered, words, bytes);
    return QByteArray(reinterpret_cast<const char*>(bytes), sl::kTelegramBytes);
}

// The program started on TCP (or the parameter's transport) with the recorder panel open.
class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(Bring(Transport::Tcp)); }
    void Bring(Transport link) {
        m_program = std::make_unique<Program>(link);
        P().Start();
        ASSERT_EQ(P().Text(shell::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
        P().Click(shell::mainpanel, ui::MAINP_BUTTON_RECORDER);
        ASSERT_TRUE(platform::PanelVisible(shell::recpanel));
        P().m_sensor.clearLog();
    }

    Program& P() { return *m_program; }
    std::string Rec(int control) { return P().Text(shell::recpanel, control); }
    int Attribute(int control, int attr) {
        int value = -1;
        platform::GetCtrlAttribute(shell::recpanel, control, attr, value);
        return value;
    }
    // A new record file and a mode; the boxes shown so far are forgotten.
    std::string Prepare(const std::string& name, int mode) {
        const std::string path = P().Path(name);
        P().ChooseRecordFile(path);
        P().ChooseRecordMode(mode);
        platform::ClearPopupLog();
        return path;
    }
    void Type(int control, int value) {   // into a spin box, then Enter
        auto* spin = qobject_cast<QSpinBox*>(P().Widget(shell::recpanel, control));
        spin->setFocus();
        spin->selectAll();
        QTest::keyClicks(spin, QString::number(value));
        QTest::keyClick(spin, Qt::Key_Return);
    }
    std::vector<QPointF> RawGraphPoints() {
        const graph::PointStore& stored = P().Widget(shell::graphpanel, ui::GRAPHP_GRAPH_RAW)
                                              ->findChild<graph::SignalGraphWidget*>()->Points();
        std::vector<QPointF> points;
        for (std::size_t i = 0; i < stored.Size(); ++i)
            points.emplace_back(stored[i].m_x, stored[i].m_y);
        return points;
    }

    std::unique_ptr<Program> m_program;
};

class RecorderLinkTest : public RecorderTest, public ::testing::WithParamInterface<Transport> {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(Bring(GetParam())); }
};

// ---- the record file ------------------------------------------------------------------------

TEST_F(RecorderTest, FileChoiceHasThreeOutcomesAndNoAtTheConfirmationRecordsNothing) {
    const std::string first = P().Path("first.dat"), old = P().Path("old.dat");
    platform::WriteFileBytes(old, "earlier\r\n");
    struct Step {
        std::string path;
        int result, answer;
        std::string oldBytes, box;
        Texts boxes;   // after the dialog itself
    };
    const Step steps[] = {
        {first, 2, 1, "earlier\r\n", first, {}},   // a new name: its header, no question
        {old, 1, 0, "earlier\r\n", first, {kExists}},
        {old, 1, 1, kHeader, old, {kExists, Reminder(36)}},
        {"", 0, 1, kHeader, old, {"ATTENTION!|No filename was choosen! \nRecording will not be done! "}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.path + " " + std::to_string(s.answer));
        platform::ClearPopupLog();
        P().m_confirmAnswer = s.answer;
        P().ChooseRecordFile(s.path, s.result);
        Texts expected{"FILENAME!|record.dat"};
        expected.insert(expected.end(), s.boxes.begin(), s.boxes.end());
        EXPECT_EQ(Popups(), expected);
        EXPECT_EQ(Bytes(old), s.oldBytes);
        EXPECT_EQ(Rec(ui::RECP_FILE), s.box);
    }
    EXPECT_EQ(Bytes(first), kHeader);

    platform::ClearPopupLog();
    P().m_confirmAnswer = 0;   // No at the confirmation records nothing, in either mode
    P().Click(shell::recpanel, ui::RECP_BUTTON_START);
    P().ChooseRecordMode(recorder::kModeTriggered);
    P().Click(shell::recpanel, ui::RECP_BUTTON_TRIGSTART);
    EXPECT_EQ(Popups(), (Texts{kConfirm, kConfirm}));
    EXPECT_EQ(Bytes(old), kHeader);
    EXPECT_TRUE(P().RequestCodes().empty());
    EXPECT_EQ(sl::poll, 0);
}

// Manual lines: the local clock and values without leading zeros; a second recording into the
// same file adds no header; a deleted file comes back without one; a line that cannot be
// written is reported at once and not counted. Choosing the mode starts count and graphs afresh.
TEST_F(RecorderTest, ManualLinesAndTheRecordFile) {
    const std::string path = Prepare("manual.dat", recorder::kModeManual);
    sl::dataANA0 = 0;
    sl::dataTemp = 65535;
    const std::time_t before = std::time(nullptr);
    P().Click(shell::recpanel, ui::RECP_BUTTON_MANUAL);
    const std::time_t after = std::time(nullptr);
    ASSERT_TRUE(Bytes(path).starts_with(kHeader));
    const std::string line = Bytes(path).substr(kHeader.size());
    EXPECT_TRUE(line.ends_with("\t0\t65535\r\n")) << line;
    bool localClock = false;
    for (std::time_t s = before; s <= after; ++s) {
        std::tm t{};
        localClock |= localtime_r(&s, &t) != nullptr && line == recorder::FormatRecordLine(t, 0, 65535);
    }
    EXPECT_TRUE(localClock) << line;
    EXPECT_TRUE(platform::PopupLog().empty());   // no question, no reminder
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "1");
    EXPECT_EQ(RawGraphPoints(), std::vector<QPointF>{QPointF(0, 0)});

    P().ChooseRecordMode(recorder::kModeTimed);   // a timed recording of one frame follows
    EXPECT_TRUE(RawGraphPoints().empty());
    platform::SetCtrlVal(shell::recpanel, ui::RECP_RECVAL, 1);
    P().Click(shell::recpanel, ui::RECP_BUTTON_START);
    EXPECT_EQ(Bytes(path).rfind("DATE"), 0u);
    EXPECT_EQ(ValuesIn(path).size(), 2u);

    P().ChooseRecordMode(recorder::kModeManual);
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "0");
    platform::DeleteFile(path);
    sl::dataANA0 = 4095;
    sl::dataTemp = 7;
    P().Click(shell::recpanel, ui::RECP_BUTTON_MANUAL);
    EXPECT_EQ(Bytes(path).find("DATE"), std::string::npos);
    EXPECT_EQ(ValuesIn(path), Texts{"4095\t7"});
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "1");

    const std::string nowhere = P().Path("no such folder/manual.dat");
    P().ChooseRecordFile(nowhere);
    platform::ClearPopupLog();
    P().Click(shell::recpanel, ui::RECP_BUTTON_MANUAL);
    EXPECT_EQ(Popups(), Texts{"ATTENTION!|The line could not be written to the record file:\n" + nowhere});
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "1");
    EXPECT_FALSE(P().Dimmed(shell::recpanel, ui::RECP_BUTTON_MANUAL));
}

// ---- timed and continuous recording ---------------------------------------------------------

TEST_F(RecorderTest, RecordTimeIsIntervalTimesCountIn64Bits) {
    P().ChooseRecordMode(recorder::kModeTimed);
    const auto shown = [&](int interval, int count) {
        Type(ui::RECP_INTERVAL, interval);
        Type(ui::RECP_RECVAL, count);
        return Rec(ui::RECP_DAYS) + " " + Rec(ui::RECP_HOURS) + " " + Rec(ui::RECP_MINUTES) + " " +
               Rec(ui::RECP_SECONDS) + " / " + Rec(ui::RECP_RECORDED) + " " + Rec(ui::RECP_REMAINING);
    };
    EXPECT_EQ(shown(60, 1440), "1 0 0 0 / 0 1440");
    EXPECT_EQ(shown(65535, 65535), "49708 18 3 45 / 0 65535");   // 4294836225 s
    EXPECT_EQ(shown(1, 3), "0 0 0 3 / 0 3");
}

TEST_F(RecorderTest, TimedRecordingPacesCountsAndEndsWithoutAFurtherWait) {
    const std::string path = Prepare("timed.dat", recorder::kModeTimed);
    Type(ui::RECP_INTERVAL, 1);
    Type(ui::RECP_RECVAL, 3);
    std::vector<std::pair<std::string, double>> counts;   // recorded and remaining, when shown
    const auto shown = [&] {
        counts.emplace_back(Rec(ui::RECP_RECORDED) + Rec(ui::RECP_REMAINING), platform::Timer());
    };
    QObject::connect(qobject_cast<QLineEdit*>(P().Widget(shell::recpanel, ui::RECP_REMAINING)),
                     &QLineEdit::textChanged, shown);
    bool locked = true;   // while recording: red Start, read-only interval and count, no GO
    P().WhileRunning([&] {
        locked &= sl::poll != 1 ||
                  (Attribute(ui::RECP_BUTTON_START, platform::ATTR_CMD_BUTTON_COLOR) == 0xFF0000 &&
                   Attribute(ui::RECP_INTERVAL, platform::ATTR_CTRL_MODE) == platform::kModeIndicator &&
                   Attribute(ui::RECP_RECVAL, platform::ATTR_CTRL_MODE) == platform::kModeIndicator &&
                   P().Dimmed(shell::mainpanel, ui::MAINP_BUTTON_GO) &&
                   P().Dimmed(shell::recpanel, ui::RECP_MODE));
    });
    P().Click(shell::recpanel, ui::RECP_BUTTON_START);
    const double ended = platform::Timer();
    P().StopSampler();

    EXPECT_TRUE(locked);
    ASSERT_EQ(counts.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(counts[i].first, std::to_string(i + 1) + std::to_string(2 - i));
        if (i > 0) {
            EXPECT_GT(counts[i].second - counts[i - 1].second, 0.9);
            EXPECT_LT(counts[i].second - counts[i - 1].second, 1.6);
        }
    }
    EXPECT_LT(ended - counts[2].second, 0.5);   // no wait after the last line
    EXPECT_EQ(Popups(), (Texts{kConfirm, Reminder(34), kSaved}));
    const Texts values = ValuesIn(path);
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[2], std::to_string(sl::dataANA0) + "\t" + std::to_string(sl::dataTemp));
    EXPECT_EQ(P().RequestCodes(), (std::vector<int>{5, 5, 5}));
    EXPECT_EQ(P().Value(shell::recpanel, ui::RECP_PROGRESS), 3);
    EXPECT_EQ(Attribute(ui::RECP_PROGRESS, platform::ATTR_MAX_VALUE), 3);
    EXPECT_EQ(RawGraphPoints().size(), 3u);
    // Everything is operable again.
    EXPECT_EQ(Attribute(ui::RECP_BUTTON_START, platform::ATTR_CMD_BUTTON_COLOR), 0xE0E0E0);
    EXPECT_EQ(Attribute(ui::RECP_INTERVAL, platform::ATTR_CTRL_MODE), platform::kModeHot);
    EXPECT_FALSE(P().Dimmed(shell::mainpanel, ui::MAINP_BUTTON_GO));
}

TEST_F(RecorderTest, StopDuringThePacingWaitEndsAtOnce) {
    const std::string path = Prepare("continuous.dat", recorder::kModeContinuous);
    Type(ui::RECP_INTERVAL, 5);
    double stopped = 0.0;
    P().WhileRunning([&] {
        if (stopped > 0.0 || Rec(ui::RECP_RUNNING_COUNT) != "1") return;
        stopped = platform::Timer();
        P().Click(shell::recpanel, ui::RECP_BUTTON_STOP);
    });
    P().Click(shell::recpanel, ui::RECP_BUTTON_START);
    const double ended = platform::Timer();
    P().StopSampler();
    ASSERT_GT(stopped, 0.0);
    EXPECT_LT(ended - stopped, 0.5);
    EXPECT_EQ(Popups(), (Texts{kConfirm, Reminder(34), kSaved}));
    EXPECT_EQ(ValuesIn(path).size(), 1u);   // the line of that pass is in the file
    EXPECT_EQ(P().RequestCodes(), std::vector<int>{sl::kCodeData});
}

TEST_F(RecorderTest, TimeOutWritesNoStaleLineAndEndsTheRecording) {
    const std::string path = Prepare("timeout.dat", recorder::kModeTimed);
    Type(ui::RECP_RECVAL, 5);
    bool broken = false;   // every reply after the first line is swallowed
    P().WhileRunning([&] {
        if (broken || Rec(ui::RECP_RECORDED) != "1") return;
        P().m_sensor.addFault(sl::kCodeData, {sim::FaultKind::NoReply}, -1);
        broken = true;
    });
    P().Click(shell::recpanel, ui::RECP_BUTTON_START);
    P().StopSampler();
    ASSERT_TRUE(broken);
    P().ExpectTimeoutState();
    EXPECT_EQ(ValuesIn(path).size(), 1u);
    EXPECT_EQ(Rec(ui::RECP_RECORDED) + " " + Rec(ui::RECP_REMAINING), "1 4");
    EXPECT_EQ(P().Requests(sl::kCodeData), 2);
    EXPECT_EQ(Popups(), (Texts{kConfirm, Reminder(34), kSaved}));
}

// ---- triggered recording --------------------------------------------------------------------

TEST_P(RecorderLinkTest, TriggeredRecordingTakesEveryFrameTheSensorSends) {
    const std::string path = Prepare("triggered.dat", recorder::kModeTriggered);
    // The sensor also sends frames of its own whenever its output switches: count them.
    int sensorFrames = 0;
    QObject::connect(&P().m_sensor, &sim::Sensor::triggeredFrame, [&] { ++sensorFrames; });
    const auto send = [&](const QByteArray& bytes) {
        if (P().m_tcp) P().m_tcp->sendRaw(bytes);
        else P().m_pty->sendRaw(bytes);
    };
    const auto ours = [&] {   // our frames carry temperatures the simulated sensor never reports
        Texts mine;
        for (const std::string& v : ValuesIn(path))
            if (v.find("\t6000") != std::string::npos) mine.push_back(v);
        return mine;
    };
    int step = 0;
    bool locked = true;
    const double start = platform::Timer();
    P().WhileRunning([&] {
        if (sl::poll == 1)   // while listening, not while the recording starts or ends
            locked &= P().Dimmed(shell::recpanel, ui::RECP_BUTTON_SELFILE) &&
                      Attribute(ui::RECP_BUTTON_TRIGSTART, platform::ATTR_CMD_BUTTON_COLOR) == 0xFF0000;
        if (step == 0 && P().Requests(sl::kCodeTriggered) == 1) {
            send(TriggeredFrame(1001, 60001));
        } else if (step == 1 && ours().size() == 1) {   // three at once
            send(TriggeredFrame(1002, 60002) + TriggeredFrame(1003, 60003) + TriggeredFrame(1004, 60004));
        } else if (step == 2 && ours().size() == 4) {   // a wrong mark, then (serial) stray bytes
            const QByteArray stray = P().m_pty ? QByteArray("\x12\x00\x34", 3) : QByteArray();
            send(TriggeredFrame(9999, 60099, 0xAB) + stray + TriggeredFrame(1005, 60005));
        } else if (step == 3 && ours().size() == 5) {
            P().m_sensor.emitTriggeredFrame();
        } else if (step == 4 && std::stoi(Rec(ui::RECP_RUNNING_COUNT)) == 5 + sensorFrames) {
            P().Click(shell::recpanel, ui::RECP_BUTTON_TRIGSTOP);
        } else {
            if (platform::Timer() - start > 20.0) P().Click(shell::recpanel, ui::RECP_BUTTON_TRIGSTOP);
            return;
        }
        ++step;
    });
    P().Click(shell::recpanel, ui::RECP_BUTTON_TRIGSTART);
    P().StopSampler();
    ASSERT_EQ(step, 5);

    EXPECT_TRUE(locked);
    const Texts values = ValuesIn(path);
    ASSERT_EQ(static_cast<int>(values.size()), 5 + sensorFrames);
    EXPECT_EQ(Rec(ui::RECP_RUNNING_COUNT), std::to_string(values.size()));
    EXPECT_EQ(ours(), (Texts{"1001\t60001", "1002\t60002", "1003\t60003", "1004\t60004", "1005\t60005"}));
    EXPECT_EQ(RawGraphPoints().size(), values.size());
    // The trigger command went out once; stopping sent nothing.
    EXPECT_EQ(P().RequestCodes(), std::vector<int>{sl::kCodeTriggered});
    EXPECT_EQ(Popups(), (Texts{kConfirm, Reminder(42), kSaved}));
    EXPECT_EQ(Attribute(ui::RECP_BUTTON_TRIGSTART, platform::ATTR_CMD_BUTTON_COLOR), 0xE0E0E0);
    EXPECT_FALSE(P().Dimmed(shell::recpanel, ui::RECP_BUTTON_SELFILE));
}

INSTANTIATE_TEST_SUITE_P(Transports, RecorderLinkTest,
                         ::testing::Values(Transport::Tcp, Transport::Pty), TransportName);

// ---- manual recording during GO -------------------------------------------------------------

TEST_F(RecorderTest, ManualRecordDuringGoWritesTheLatestFrame) {
    const std::string path = Prepare("go.dat", recorder::kModeManual);
    Texts taken;
    std::vector<QPointF> points;
    size_t requestsAtLast = 0;
    P().WhileRunning([&] {
        const size_t requests = P().m_sensor.requests().size();
        if (taken.size() == 2 || requests < requestsAtLast + 3) return;
        P().Click(shell::recpanel, ui::RECP_BUTTON_MANUAL);
        taken.push_back(std::to_string(sl::dataANA0) + "\t" + std::to_string(sl::dataTemp));
        points.emplace_back(points.size(), sl::dataANA0);
        requestsAtLast = requests;
        if (taken.size() == 2) P().Click(shell::mainpanel, ui::MAINP_BUTTON_STOP);
    });
    P().Click(shell::mainpanel, ui::MAINP_BUTTON_GO);
    P().StopSampler();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(ValuesIn(path), taken);
    EXPECT_EQ(RawGraphPoints(), points);
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "2");
    EXPECT_TRUE(platform::PopupLog().empty());
}

}  // namespace
