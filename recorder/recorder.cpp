// The recorder panel and its four modes. Timed and continuous recording request one frame
// per interval; triggered recording sends the trigger command once and then takes every frame
// the sensor sends; manual recording writes the frame received last. The loops run inside
// the Start callbacks and process events while they wait, so the Stop buttons (and STOP)
// end them by clearing `poll`.
#include <array>
#include <cstdint>
#include <limits>
#include <string>

#include "core/recordformat.h"
#include "graph/graph.h"
#include "link/com232.h"
#include "link/exchanges.h"
#include "platform/platform.h"
#include "recorder/recorder.h"
#include "ui/TavrixV20.h"
#include "ui/helptexts.h"
#include "ui/panels.h"

namespace recorder {

namespace sl = sensorlink;

namespace {

// The largest record time the controls allow (65535 s x 65535 frames) keeps its days within
// the 16 bits of `reczeit`.
static_assert(uint64_t{std::numeric_limits<uint16_t>::max()} *
                      std::numeric_limits<uint16_t>::max() / kSecondsPerDay <=
                  std::numeric_limits<decltype(reczeit)>::max(),
              "the days of the record time must fit reczeit");

// Which controls each mode shows, indexed by mode value.
struct ModeVisibility {
    int m_control = 0;
    std::array<bool, kModeCount> m_shown{};   // timed, continuous, manual, triggered
};
constexpr ModeVisibility kVisibility[] = {
    {ui::RECP_INTERVAL, {true, true, false, false}},
    {ui::RECP_RECVAL, {true, false, false, false}},
    {ui::RECP_DAYS, {true, false, false, false}},
    {ui::RECP_HOURS, {true, false, false, false}},
    {ui::RECP_MINUTES, {true, false, false, false}},
    {ui::RECP_SECONDS, {true, false, false, false}},
    {ui::RECP_RECORDTIME_FRAME, {true, false, false, false}},
    {ui::RECP_RECORDED, {true, false, true, false}},
    {ui::RECP_REMAINING, {true, false, false, false}},
    {ui::RECP_PROGRESS, {true, false, false, false}},
    {ui::RECP_RUNNING_COUNT, {false, true, false, true}},
    {ui::RECP_BUTTON_START, {true, true, false, false}},
    {ui::RECP_BUTTON_STOP, {true, true, false, false}},
    {ui::RECP_BUTTON_MANUAL, {false, false, true, false}},
    {ui::RECP_BUTTON_TRIGSTART, {false, false, false, true}},
    {ui::RECP_BUTTON_TRIGSTOP, {false, false, false, true}},
};

// The controls that a timed or continuous recording makes read-only while it runs.
constexpr int kLockedWhileRecording[] = {ui::RECP_INTERVAL, ui::RECP_RECVAL, ui::RECP_BUTTON_START};

int RecordMode() {
    int mode = -1;
    platform::GetCtrlVal(ui::recpanel, ui::RECP_MODE, mode);
    return mode;
}

void Show(int control, int value) { platform::SetCtrlVal(ui::recpanel, control, value); }

// Counts can outgrow an int in continuous and triggered mode, so they are shown as text.
void ShowCount(int control, uint64_t count) {
    platform::SetCtrlVal(ui::recpanel, control, std::to_string(count));
}

void SetColor(int control, int color) {
    platform::SetCtrlAttribute(ui::recpanel, control, platform::ATTR_CMD_BUTTON_COLOR, color);
}

// file_name is shared with the parameter-file dialog, so the record file is taken from the
// record-file box again before every recording and manual record. Without a record file
// there is nothing to record into: the user is told so, and nothing else happens.
bool RecordFileChosen() {
    std::string path;
    if (platform::GetTextBoxLine(ui::recpanel, ui::RECP_FILE, 0, path) < 0) path.clear();
    sl::file_name = path;
    if (!sl::file_name.empty()) return true;
    platform::MessagePopup(platform::kAttentionTitle, kNoFileText);
    return false;
}

// The box of a recording that a line which could not be written has ended: the file, and the
// lines of the recording it holds.
void ReportLineLost(uint64_t lines) {
    platform::MessagePopup(platform::kAttentionTitle,
                           "The recording has stopped: a line could not be written to the record "
                           "file\n" +
                               sl::file_name + "\nLines recorded in it: " + std::to_string(lines));
}

// The box after a timed, continuous or triggered recording.
void ReportRecordingEnd() {
    if (lineLost)
        ReportLineLost(linesWritten);
    else
        platform::MessagePopup(platform::kInfoTitle, kSavedText);
}

void BeginLines() {
    linesWritten = 0;
    lineLost = false;
}

void LockIntervalControls(bool locked) {
    for (int control : kLockedWhileRecording)
        platform::SetCtrlAttribute(ui::recpanel, control, platform::ATTR_CTRL_MODE,
                                   locked ? platform::kModeIndicator : platform::kModeHot);
    SetColor(ui::RECP_BUTTON_START, locked ? kRecordingColor : kIdleColor);
}

// A complete frame in szReadBuf: into the data values and (as a frame of the GO loop) the data
// panel with the strip chart; then into the record file and the signal graphs, which show the
// frames recorded. False when its line could not be written, which ends the recording.
bool RecordTakenFrame() {
    sl::CopyDatatoVars();
    if (sl::hooks.m_frameTaken) sl::hooks.m_frameTaken();
    if (!ToFile()) return false;
    graph::SetPanelGraphData();
    return true;
}

// Counts a recorded frame in the displays of the mode shown.
void CountFrame(uint64_t& runningCount) {
    switch (RecordMode()) {
    case kModeTimed:
        ++otcrec;
        Show(ui::RECP_RECORDED, otcrec);
        Show(ui::RECP_REMAINING, anzwerte - otcrec);
        Show(ui::RECP_PROGRESS, otcrec);
        if (otcrec >= anzwerte) sl::poll = 0;
        break;
    case kModeContinuous:
        ShowCount(ui::RECP_RUNNING_COUNT, ++runningCount);
        break;
    default:
        break;
    }
}

}   // namespace

void InitRecordPanel() {
    const int mode = RecordMode();
    if (mode < 0 || mode >= kModeCount) return;
    for (const ModeVisibility& entry : kVisibility)
        platform::SetCtrlAttribute(ui::recpanel, entry.m_control, platform::ATTR_VISIBLE,
                                   entry.m_shown[mode] ? 1 : 0);
}

void CalcRecTime() {
    platform::GetCtrlVal(ui::recpanel, ui::RECP_INTERVAL, zeitint);
    platform::GetCtrlVal(ui::recpanel, ui::RECP_RECVAL, anzwerte);
    Show(ui::RECP_RECORDED, 0);
    Show(ui::RECP_REMAINING, anzwerte);
    platform::SetCtrlAttribute(ui::recpanel, ui::RECP_PROGRESS, platform::ATTR_MAX_VALUE, anzwerte);
    Show(ui::RECP_PROGRESS, 0);
    const RecordTime time = SplitRecordTime(zeitint, anzwerte);
    const std::array<std::pair<int, uint64_t>, 4> parts = {{{ui::RECP_DAYS, time.m_days},
                                                            {ui::RECP_HOURS, time.m_hours},
                                                            {ui::RECP_MINUTES, time.m_minutes},
                                                            {ui::RECP_SECONDS, time.m_seconds}}};
    for (const auto& [control, value] : parts) {
        reczeit = static_cast<uint16_t>(value);
        Show(control, reczeit);
    }
}

void Record() {
    if (platform::ConfirmPopup(platform::kAttentionTitle, kConfirmFileText) == 0) return;
    platform::MessagePopup(platform::kAttentionTitle, kReminderInterval);
    LockIntervalControls(true);
    BeginLines();
    RecordFrame();
    ReportRecordingEnd();
    LockIntervalControls(false);
}

// After a reply time-out no line is written and nothing is counted: the failure handling
// has cleared `poll`, and the recording ends after the pacing wait's one turn. A line that
// cannot be written ends it the same way.
void RecordFrame() {
    sl::poll = 1;
    otcrec = 0;
    CalcRecTime();
    uint64_t runningCount = 0;
    ShowCount(ui::RECP_RUNNING_COUNT, runningCount);
    while (sl::poll == 1) {
        recstart = platform::Timer();
        sl::GetDataFrame();
        if (sl::bytesToRead == 0) {
            sl::GetRxBufData();
            if (RecordTakenFrame()) CountFrame(runningCount);
        } else {
            sl::SetPopupTimeout();
        }
        SlowDown();
    }
}

void SlowDown() {
    sl::tdiff = 0.0;
    while (static_cast<double>(zeitint) > sl::tdiff) {
        sl::tdiff = platform::Timer() - recstart;
        platform::ProcessSystemEvents();
        if (sl::poll == 0) return;
    }
}

void TriggeredRecord() {
    sl::StartTriggeredData();
    uint64_t runningCount = 0;
    ShowCount(ui::RECP_RUNNING_COUNT, runningCount);
    sl::poll = 1;
    while (sl::poll == 1) {
        if (sl::AwaitTriggeredFrame() != 0) continue;   // stopped before a frame was complete
        sl::GetRxBufData();
        if (sl::databuf[0] == sl::kReplyMark && RecordTakenFrame())
            ShowCount(ui::RECP_RUNNING_COUNT, ++runningCount);
    }
    sl::StopTriggeredData();
}

// The graphs, the count and the file agree: a line that cannot be written adds no point and
// is not counted.
void RecordManually() {
    if (!ToFile()) {
        ReportLineLost(otcrec);
        return;
    }
    graph::SetPanelGraphData();
    ++otcrec;
    Show(ui::RECP_RECORDED, otcrec);
}

// ---- Callbacks

int CBF_ButtonRecorder(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonOpenRecorder)) return 0;
    if (event != platform::EVENT_COMMIT) return 0;
    InitRecordPanel();
    if (RecordMode() == kModeTimed) CalcRecTime();
    ui::ShowChildPanel(ui::kShowRecorder);
    return 0;
}

int CBF_EditSelectDataRec(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoEditSelDataRec)) return 0;
    if (event != platform::EVENT_COMMIT) return 0;
    sl::poll = 0;
    const int mode = RecordMode();
    if (mode == kModeManual) {
        Show(ui::RECP_RECORDED, 0);
        otcrec = 0;
    } else if (mode == kModeTimed) {
        CalcRecTime();
    }
    graph::InitPanelGraph();
    InitRecordPanel();
    return 0;
}

int CBF_EditInterval(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoEditInterval)) return 0;
    if (event == platform::EVENT_COMMIT) CalcRecTime();
    return 0;
}

int CBF_EditRecVal(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoEditRecVal)) return 0;
    if (event == platform::EVENT_COMMIT) CalcRecTime();
    return 0;
}

int CBF_ButtonStartRecord(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonStartRecord)) return 0;
    if (event != platform::EVENT_COMMIT || !RecordFileChosen()) return 0;
    ui::SetButtonsDimmed(1);
    graph::InitPanelGraph();
    Record();
    ui::SetButtonsDimmed(0);
    return 0;
}

int CBF_ButtonStopRecord(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonStopRecord)) return 0;
    if (event == platform::EVENT_COMMIT) sl::poll = 0;
    return 0;
}

int CBF_ButtonStartTrigRec(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonStartRecord)) return 0;
    if (event != platform::EVENT_COMMIT || !RecordFileChosen()) return 0;
    if (platform::ConfirmPopup(platform::kAttentionTitle, kConfirmFileText) == 0) return 0;
    ui::SetButtonsDimmed(1);
    platform::MessagePopup(platform::kAttentionTitle, kReminderTriggered);
    SetColor(ui::RECP_BUTTON_TRIGSTART, kRecordingColor);
    BeginLines();
    TriggeredRecord();
    ReportRecordingEnd();
    SetColor(ui::RECP_BUTTON_TRIGSTART, kIdleColor);
    ui::SetButtonsDimmed(0);
    return 0;
}

int CBF_ButtonStopTrigRec(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonStopRecord)) return 0;
    if (event == platform::EVENT_COMMIT) sl::poll = 0;
    return 0;
}

int CBF_ButtonManualRecord(int panel, int control, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonManualRecord)) return 0;
    if (event != platform::EVENT_COMMIT || !RecordFileChosen()) return 0;
    platform::SetCtrlAttribute(panel, control, platform::ATTR_DIMMED, 1);
    RecordManually();
    platform::SetCtrlAttribute(panel, control, platform::ATTR_DIMMED, 0);
    return 0;
}

int CBF_ButtonSelRecFile(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonSelRecFile)) return 0;
    if (event == platform::EVENT_COMMIT) SelRecFile();
    return 0;
}

int CBF_DispRecFile(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoDisRecFile);
    return 0;
}

int CBF_DispRecordTime(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoDispRecordTime);
    return 0;
}

int CBF_DispRecordedValues(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoDispRecordedValues);
    return 0;
}

int CBF_DispRemaining(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoDispRemaining);
    return 0;
}

// The recorder panel ignores every event, a close request included.
int CBF_RECP(int, int, int, void*, int, int) { return 0; }

void RegisterCallbacks() {
    platform::RegisterCallbacks({
        {"CBF_ButtonRecorder", CBF_ButtonRecorder},
        {"CBF_EditSelectDataRec", CBF_EditSelectDataRec},
        {"CBF_EditInterval", CBF_EditInterval},
        {"CBF_EditRecVal", CBF_EditRecVal},
        {"CBF_ButtonStartRecord", CBF_ButtonStartRecord},
        {"CBF_ButtonStopRecord", CBF_ButtonStopRecord},
        {"CBF_ButtonStartTrigRec", CBF_ButtonStartTrigRec},
        {"CBF_ButtonStopTrigRec", CBF_ButtonStopTrigRec},
        {"CBF_ButtonManualRecord", CBF_ButtonManualRecord},
        {"CBF_ButtonSelRecFile", CBF_ButtonSelRecFile},
        {"CBF_DispRecFile", CBF_DispRecFile},
        {"CBF_DispRecordTime", CBF_DispRecordTime},
        {"CBF_DispRecordedValues", CBF_DispRecordedValues},
        {"CBF_DispRemaining", CBF_DispRemaining},
        {"CBF_RECP", CBF_RECP},
    });
}

}   // namespace recorder
