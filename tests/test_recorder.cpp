// The recorder's rules as the user meets them in the running program, on TCP.
#include <QSpinBox>
#include <regex>

#include "apptest.h"
#include "core/recordformat.h"
#include "recorder/recorder.h"
#include "testsystem.h"

using namespace apptest;
namespace sl = sensorlink;
namespace rec = recorder;

namespace {

const std::string kDialog = std::string(rec::kRecordFileTitle) + "|" + rec::kRecordFileName;
const Texts kIntervalBoxes = {Attention(rec::kConfirmFileText), Attention(rec::kReminderInterval),
                              Info(rec::kSavedText)};

std::string LineLost(const std::string& path, int lines) {
    return Attention("The recording has stopped: a line could not be written to the record file\n" + path +
                     "\nLines recorded in it: " + std::to_string(lines));
}

// The program on TCP with the recorder panel open.
class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(P().StartConnected());
        P().Click(ui::mainpanel, ui::MAINP_BUTTON_RECORDER);
    }
    Program& P() { return m_program; }
    std::string Rec(int control) { return P().Text(ui::recpanel, control); }
    int Attribute(int control, int attr) { return P().Attribute(ui::recpanel, control, attr); }
    void Type(int control, int value) {   // into a spin box, then Enter
        auto* spin = qobject_cast<QSpinBox*>(P().Widget(ui::recpanel, control));
        spin->setFocus();
        spin->selectAll();
        QTest::keyClicks(spin, QString::number(value));
        QTest::keyClick(spin, Qt::Key_Return);
    }

    Program m_program{Transport::Tcp};
};

}   // namespace

TEST_F(RecorderTest, FileChoiceOutcomesAndNoAtTheConfirmationRecordsNothing) {
    const std::string first = P().Path("first.dat"), old = P().Path("old.dat"), folder = P().m_dir.path().toStdString();
    const std::string refused = "The record file cannot be written there: Is a directory.\n";
    platform::WriteFileBytes(old, "earlier\r\n");
    const struct {
        std::string path;
        int result, answer;
        std::string shown;
        Texts boxes;
    } steps[] = {
        {first, 2, 1, first, {kDialog}},                                  // a new name: its header, no question
        {old, 1, 0, first, {kDialog, Attention(rec::kFileExistsText)}},   // No: nothing changes
        {old, 1, 1, old, {kDialog, Attention(rec::kFileExistsText), Attention(rec::kReminderExistingFile)}},
        {folder, 1, 1, old, {kDialog, Attention(refused + folder)}},   // refused before any question
        {"", 0, 1, old, {kDialog, Attention(rec::kNoFileText)}},       // cancelled: the choice stays
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.path + " " + std::to_string(s.answer));
        platform::ClearPopupLog();
        P().m_confirmAnswer = s.answer;
        P().ChooseRecordFile(s.path, s.result);
        EXPECT_EQ(Program::Popups(), s.boxes);
        EXPECT_EQ(Rec(ui::RECP_FILE), s.shown);
        EXPECT_EQ(Program::Bytes(old) == "earlier\r\n", s.shown == first);
    }
    EXPECT_EQ(Program::Bytes(old), Program::Bytes(first));   // an existing file chosen starts afresh

    P().m_confirmAnswer = 0;   // No at the confirmation records nothing, in either mode
    platform::ClearPopupLog();
    P().Click(ui::recpanel, ui::RECP_BUTTON_START);
    P().ChooseRecordMode(rec::kModeTriggered);
    P().Click(ui::recpanel, ui::RECP_BUTTON_TRIGSTART);
    EXPECT_EQ(Program::Popups(), Texts(2, Attention(rec::kConfirmFileText)));
    EXPECT_EQ(Program::Bytes(old), Program::Bytes(first));
    EXPECT_TRUE(P().RequestCodes().empty());
}

// Each mode shows its own start button, which without a record file only says so; choosing a
// mode starts the count and the graph afresh. Manual lines need no question; a deleted file comes
// back without a header; a line that cannot be written is reported at once, not counted, not drawn.
TEST_F(RecorderTest, ModesShowTheirButtonsAndManualLinesFollowTheFile) {
    const int starts[rec::kModeCount] = {ui::RECP_BUTTON_START, ui::RECP_BUTTON_START, ui::RECP_BUTTON_MANUAL,
                                         ui::RECP_BUTTON_TRIGSTART};
    for (int mode = 0; mode < rec::kModeCount; ++mode) {
        P().ChooseRecordMode(mode);
        for (int button : {ui::RECP_BUTTON_START, ui::RECP_BUTTON_MANUAL, ui::RECP_BUTTON_TRIGSTART})
            EXPECT_EQ(P().Widget(ui::recpanel, button)->isVisible(), button == starts[mode]) << mode;
        platform::ClearPopupLog();
        P().Click(ui::recpanel, starts[mode]);
        EXPECT_EQ(Program::Popups(), Texts{Attention(rec::kNoFileText)}) << mode;
    }
    EXPECT_TRUE(P().RequestCodes().empty());
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "0");
    QDir(P().m_dir.path()).mkdir("stick");
    const std::string path = P().PrepareRecording(P().Path("stick/manual.dat"), rec::kModeManual);
    std::tie(sl::dataANA0, sl::dataTemp) = std::pair(4095, 2003);
    for (int i = 0; i < 2; ++i) P().Click(ui::recpanel, ui::RECP_BUTTON_MANUAL);
    const std::string line = R"(\d\d-\d\d-20\d\d\t\d\d:\d\d:\d\d\t4095\t2003\r\n)";   // the header once, then the lines
    EXPECT_TRUE(std::regex_match(Program::Bytes(path), std::regex("DATE\tTIME\tRAW\tTEMP\t\r\n" + line + line)));
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "2");
    EXPECT_EQ(P().RawGraphPoints(), 2u);
    EXPECT_TRUE(platform::PopupLog().empty());

    P().ChooseRecordMode(rec::kModeManual);
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "0");
    EXPECT_EQ(P().RawGraphPoints(), 0u);
    platform::DeleteFile(path);
    P().Click(ui::recpanel, ui::RECP_BUTTON_MANUAL);
    EXPECT_EQ(Program::Bytes(path).find("DATE"), std::string::npos);
    EXPECT_EQ(Program::RecordLines(path).size(), 1u);

    QDir(P().m_dir.filePath("stick")).removeRecursively();   // the stick is pulled
    P().Click(ui::recpanel, ui::RECP_BUTTON_MANUAL);
    EXPECT_EQ(Program::Popups(), Texts{LineLost(path, 1)});
    EXPECT_EQ(Rec(ui::RECP_RECORDED) + " " + std::to_string(P().RawGraphPoints()), "1 1");
}

// The largest values the controls take: 4294836225 s, more than a signed 32-bit number holds.
TEST_F(RecorderTest, RecordTimeFollowsTheTypedValuesIn64Bits) {
    P().ChooseRecordMode(rec::kModeTimed);
    Type(ui::RECP_INTERVAL, 65535);
    Type(ui::RECP_RECVAL, 65535);
    EXPECT_EQ(Rec(ui::RECP_DAYS) + " " + Rec(ui::RECP_HOURS) + " " + Rec(ui::RECP_MINUTES) + " " +
                  Rec(ui::RECP_SECONDS) + " / " + Rec(ui::RECP_REMAINING),
              "49708 18 3 45 / 65535");
}

TEST_F(RecorderTest, StopDuringThePacingWaitEndsAtOnce) {
    constexpr int kLongIntervalS = 5;
    const std::string path = P().PrepareRecording(P().Path("continuous.dat"), rec::kModeContinuous);
    platform::SetCtrlVal(ui::recpanel, ui::RECP_INTERVAL, kLongIntervalS);
    double stopped = 0.0;
    P().ClickWhile(ui::recpanel, ui::RECP_BUTTON_START, [&] {
        if (stopped > 0.0 || Rec(ui::RECP_RUNNING_COUNT) != "1") return;
        stopped = platform::Timer();
        P().Click(ui::recpanel, ui::RECP_BUTTON_STOP);
    });
    const double ended = platform::Timer();
    ASSERT_GT(stopped, 0.0);
    EXPECT_LT(ended - stopped, kLongIntervalS / 2.0);
    EXPECT_EQ(Program::Popups(), kIntervalBoxes);
    EXPECT_EQ(Program::RecordLines(path).size(), 1u);   // the line of that pass is in the file
    EXPECT_EQ(P().RequestCodes(), std::vector<int>{sl::kCodeData});
}

// A running timed recording locks its controls; a time-out writes no stale line, ends in the
// TIMEOUT state and unlocks them.
TEST_F(RecorderTest, TimeOutWritesNoStaleLineAndUnlocksTheControls) {
    const std::string path = P().PrepareRecording(P().Path("timeout.dat"), rec::kModeTimed);
    platform::SetCtrlVal(ui::recpanel, ui::RECP_RECVAL, 5);
    // Start red, interval and count read-only, GO and the mode dimmed: all or nothing.
    const auto locked = [&](int color, int mode) {
        return Attribute(ui::RECP_BUTTON_START, platform::ATTR_CMD_BUTTON_COLOR) == color &&
               Attribute(ui::RECP_INTERVAL, platform::ATTR_CTRL_MODE) == mode &&
               Attribute(ui::RECP_RECVAL, platform::ATTR_CTRL_MODE) == mode &&
               P().Dimmed(ui::mainpanel, ui::MAINP_BUTTON_GO) == (mode == platform::kModeIndicator) &&
               P().Dimmed(ui::recpanel, ui::RECP_MODE) == (mode == platform::kModeIndicator);
    };
    bool broken = false, lockedWhileRunning = true;   // every reply after the first line is swallowed
    P().ClickWhile(ui::recpanel, ui::RECP_BUTTON_START, [&] {
        lockedWhileRunning &= sl::poll != 1 || locked(rec::kRecordingColor, platform::kModeIndicator);
        if (broken || Rec(ui::RECP_RECORDED) != "1") return;
        P().m_sensor.addFault(sl::kCodeData, {sim::FaultKind::NoReply}, -1);
        broken = true;
    });
    ASSERT_TRUE(broken);
    EXPECT_TRUE(lockedWhileRunning);
    P().ExpectTimeoutState();
    EXPECT_EQ(Program::RecordLines(path).size(), 1u);
    EXPECT_EQ(Rec(ui::RECP_RECORDED) + " " + Rec(ui::RECP_REMAINING), "1 4");
    EXPECT_EQ(P().Requests(sl::kCodeData), 2);
    EXPECT_EQ(Program::Popups(), kIntervalBoxes);
    EXPECT_TRUE(locked(rec::kIdleColor, platform::kModeHot));
}

// A disk that fills during a recording: the line that does not fit is cut back, the recording
// ends at once with one box, the file, the count and the graphs agree, and GO works after.
TEST_F(RecorderTest, AFullDiskEndsTheRecordingWithWholeLinesAndGoWorksAfter) {
    const std::string path = P().PrepareRecording(P().Path("full.dat"), rec::kModeTimed);
    platform::SetCtrlVal(ui::recpanel, ui::RECP_RECVAL, 5);
    testsystem::LimitFileSize(rec::kRecordHeader.size() + 40);   // room for one line of 25 to 33 bytes
    P().ClickWhile(ui::recpanel, ui::RECP_BUTTON_START, [&] {   // a recording that went on is stopped
        if (P().Requests(sl::kCodeData) > 2) P().Click(ui::recpanel, ui::RECP_BUTTON_STOP);
    });
    testsystem::LimitFileSize(-1);
    const graph::PointStore &raw = P().GraphPoints(ui::GRAPHP_GRAPH_RAW),
                            &temp = P().GraphPoints(ui::GRAPHP_GRAPH_TEMP);
    ASSERT_EQ(raw.Size() + temp.Size(), 2u);
    EXPECT_TRUE(std::regex_match(Program::Bytes(path),
                                 std::regex(std::string(rec::kRecordHeader) + R"(\d\d-\d\d-\d{4}\t\d\d:\d\d:\d\d\t)" +
                                            std::to_string(raw[0].m_y) + "\t" + std::to_string(temp[0].m_y) + "\r\n")));
    EXPECT_EQ(Rec(ui::RECP_RECORDED), "1");
    EXPECT_EQ(P().Requests(sl::kCodeData), 2);   // none after the line that did not fit
    EXPECT_EQ(Program::Popups(), (Texts{kIntervalBoxes[0], kIntervalBoxes[1], LineLost(path, 1)}));
    P().m_sensor.clearLog();
    P().ClickWhile(ui::mainpanel, ui::MAINP_BUTTON_GO, [&] {
        if (P().Requests(sl::kCodeData) >= 2) P().Click(ui::mainpanel, ui::MAINP_BUTTON_STOP);
    });
    EXPECT_GE(P().Requests(sl::kCodeData), 2);
}
