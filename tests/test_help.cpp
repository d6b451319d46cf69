// Right-click help in the running program: a real right click on every control shows exactly
// one "INFO!" box with that control's text and changes nothing else; the panels and the GRID
// toggle show no help; a help box opened while GO polls holds the polling until it is closed.
#include <QTimer>

#include <algorithm>
#include <array>
#include <map>

#include "apptest.h"
#include "connection/connection.h"
#include "graph/graph.h"
#include "recorder/recorder.h"
#include "shell/helptexts.h"
#include "ui/TavrixV20Panels.h"

using namespace apptest;
namespace sl = sensorlink;

namespace {

constexpr double kClickLimitS = 5.0;        // a right click that has not returned by then hangs
constexpr double kAfterClickS = 0.2;        // time for late consequences of a click to show
constexpr double kSettleS = 0.1;            // a request already on its way reaches the sensor
constexpr double kHoldS = 0.5;              // how long the scripted help box stays open
constexpr int kFramesAfterHelp = 3;         // data requests that prove the polling goes on
constexpr double kGoLimitS = 20.0;          // the whole GO scenario, on a slow machine

int Handle(int resource) {
    static const std::map<int, int*> handles = {
        {ui::MAINP, &shell::mainpanel},       {ui::PARAP, &shell::parapanel},
        {ui::DATAP, &shell::datapanel},       {ui::INTERFACEP, &shell::interfacepanel},
        {ui::RECP, &shell::recpanel},         {ui::GRAPHP, &shell::graphpanel}};
    return *handles.at(resource);
}

// ---- The states that show controls the start-up state hides or dims, set directly ----------

// EEPROM selected: a right click taken for a toggle would change `target` on every selector.
void SelectEeprom() {
    platform::SetCtrlVal(shell::mainpanel, ui::MAINP_SELECT_RAM, 0);
    platform::SetCtrlVal(shell::mainpanel, ui::MAINP_SELECT_EEPROM, 1);
    sl::target = sl::EEPROM;
}
// Auto zoom: a right click taken for a left click would fix the scale.
void AutoZoom() { graph::scale = graph::kScaleAutoZoom; }
void DynamicPower() {
    platform::SetCtrlVal(shell::parapanel, ui::PARAP_PMODE, 1);
    shell::InitPowerMode();
}
void TracingOn() {
    platform::SetCtrlVal(shell::parapanel, ui::PARAP_TRSHTRACING, 1);
    shell::InitThresholdTracing();
}
void Connection(int protocol) {
    shell::ShowChildPanel(shell::kShowConnection);
    platform::SetCtrlVal(shell::interfacepanel, ui::INTERFACEP_PROTOCOL, protocol);
    connection::InitConnectPanel();
}
void ConnectionRs232() { Connection(sl::kRS232); }
void ConnectionTcp() { Connection(sl::kTCPIP); }
// After a good connection test the accept button is usable.
void ConnectionTested() {
    ConnectionTcp();
    platform::SetCtrlAttribute(shell::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT,
                               platform::ATTR_DIMMED, 0);
}
void Recorder(int mode) {
    shell::ShowChildPanel(shell::kShowRecorder);
    platform::SetCtrlVal(shell::recpanel, ui::RECP_MODE, mode);
    recorder::InitRecordPanel();
}
void RecorderTimed() { Recorder(recorder::kModeTimed); }
void RecorderManual() { Recorder(recorder::kModeManual); }
void RecorderTriggered() { Recorder(recorder::kModeTriggered); }
void Graph(int signal) {
    platform::HidePanel(shell::datapanel);
    platform::DisplayPanel(shell::graphpanel);
    platform::SetCtrlVal(shell::graphpanel, ui::GRAPHP_SIGNAL, signal);
    graph::SetGraphVisible();
}
void GraphRaw() { Graph(graph::kSignalRaw); }
void GraphTemp() { Graph(graph::kSignalTemp); }

// One control that explains itself, with the text the user must read.
struct HelpCase {
    const char* name;
    int resource;            // panel resource
    int control;
    const char* text;        // the constants are checked word for word by test_helptexts
    void (*prepare)();       // shows the control; nullptr when the start-up state shows it
};

void PrintTo(const HelpCase& c, std::ostream* os) { *os << c.name; }

// Every control whose callback carries a help text, grouped by panel.
const HelpCase kCases[] = {
    // Main panel: child-panel buttons, selector, commands.
    {"ButtonConnect", ui::MAINP, ui::MAINP_BUTTON_CONNECT, shell::InfoButtonConnect, nullptr},
    {"ButtonPara", ui::MAINP, ui::MAINP_BUTTON_PARA, shell::InfoButtonPara, nullptr},
    {"ButtonRecorder", ui::MAINP, ui::MAINP_BUTTON_RECORDER, shell::InfoButtonOpenRecorder, nullptr},
    {"SelectRAM", ui::MAINP, ui::MAINP_SELECT_RAM, shell::InfoSelectMEM, SelectEeprom},
    {"SelectEEPROM", ui::MAINP, ui::MAINP_SELECT_EEPROM, shell::InfoSelectMEM, SelectEeprom},
    {"SelectFILE", ui::MAINP, ui::MAINP_SELECT_FILE, shell::InfoSelectMEM, SelectEeprom},
    {"ButtonSend", ui::MAINP, ui::MAINP_BUTTON_SEND, shell::InfoButtonSend, nullptr},
    {"ButtonGet", ui::MAINP, ui::MAINP_BUTTON_GET, shell::InfoButtonGet, nullptr},
    {"ButtonGo", ui::MAINP, ui::MAINP_BUTTON_GO, shell::InfoButtonGo, nullptr},
    {"ButtonStop", ui::MAINP, ui::MAINP_BUTTON_STOP, shell::InfoButtonStop, nullptr},
    // Parameter panel.
    {"SlidePower", ui::PARAP, ui::PARAP_POWER, shell::InfoEditPower, nullptr},
    {"EditPmode", ui::PARAP, ui::PARAP_PMODE, shell::InfoEditPmod, nullptr},
    {"EditDynWinLo", ui::PARAP, ui::PARAP_DYNWINLO, shell::InfoEditDynWinLoHi, DynamicPower},
    {"EditDynWinHi", ui::PARAP, ui::PARAP_DYNWINHI, shell::InfoEditDynWinLoHi, DynamicPower},
    {"EditAverage", ui::PARAP, ui::PARAP_AVERAGE, shell::InfoEditAverage, nullptr},
    {"EditOutmode", ui::PARAP, ui::PARAP_OUTMODE, shell::InfoEditOutmode, nullptr},
    {"EditHold", ui::PARAP, ui::PARAP_HOLD, shell::InfoEditHold, nullptr},
    {"EditThresholdMode", ui::PARAP, ui::PARAP_TRSHMODE, shell::InfoEditThresholdMode, nullptr},
    {"EditThresholdTracing", ui::PARAP, ui::PARAP_TRSHTRACING, shell::InfoEditThresholdTracing, nullptr},
    {"EditThresholdTracingUP", ui::PARAP, ui::PARAP_TRACINGUP, shell::InfoEditThresholdTracingUP, TracingOn},
    {"EditThresholdTracingDown", ui::PARAP, ui::PARAP_TRACINGDOWN, shell::InfoEditThresholdTracingDown, TracingOn},
    {"EditTeachValue", ui::PARAP, ui::PARAP_TEACHVALUE, shell::InfoEditTeachValue, nullptr},
    {"EditTolerance", ui::PARAP, ui::PARAP_TOLERANCE, shell::InfoEditTolerance, nullptr},
    {"EditHysteresis", ui::PARAP, ui::PARAP_HYSTERESIS, shell::InfoEditHysteresis, nullptr},
    {"ButtonTeach", ui::PARAP, ui::PARAP_BUTTON_TEACH, shell::InfoButtonTeach, nullptr},
    // Data panel.
    {"DispRaw", ui::DATAP, ui::DATAP_RAW, shell::InfoDispRaw, nullptr},
    {"DispRef", ui::DATAP, ui::DATAP_REF, shell::InfoDispRef, nullptr},
    {"DispTemp", ui::DATAP, ui::DATAP_TEMP, shell::InfoDispTemp, nullptr},
    {"LedOut", ui::DATAP, ui::DATAP_LED_OUT, shell::InfoLedOut, nullptr},
    {"GraphANA0", ui::DATAP, ui::DATAP_STRIPCHART, shell::InfoGraph, AutoZoom},
    {"GraphData1", ui::DATAP, ui::DATAP_LEGEND, shell::InfoGraph, nullptr},
    {"ButtonShowGraph", ui::DATAP, ui::DATAP_BUTTON_SHOWGRAPH, shell::InfoButtonShowGraph, nullptr},
    {"ButtonSaveChart", ui::DATAP, ui::DATAP_BUTTON_SAVECHART, shell::InfoButtonSaveChart, nullptr},
    {"DataPanelStatus", ui::DATAP, ui::DATAP_STATUS, shell::InfoStatus, nullptr},
    // Connection-settings panel.
    {"EditCommunicationProtocol", ui::INTERFACEP, ui::INTERFACEP_PROTOCOL, shell::InfoEditCommunicationProtocol, ConnectionTcp},
    {"EditSelectComPort", ui::INTERFACEP, ui::INTERFACEP_COMPORT, shell::InfoEditConnect, ConnectionRs232},
    {"StringIpAdress", ui::INTERFACEP, ui::INTERFACEP_IPADDRESS, shell::InfoStringIpAdress, ConnectionTcp},
    {"StringPortNumber", ui::INTERFACEP, ui::INTERFACEP_PORTNUMBER, shell::InfoStringPortNumber, ConnectionTcp},
    {"ButtonTryToConnect", ui::INTERFACEP, ui::INTERFACEP_BUTTON_TRY, shell::InfoButtonTryToConnect, ConnectionTcp},
    {"ButtonAccept", ui::INTERFACEP, ui::INTERFACEP_BUTTON_ACCEPT, shell::InfoButtonAccept, ConnectionTested},
    {"ButtonDiscard", ui::INTERFACEP, ui::INTERFACEP_BUTTON_DISCARD, shell::InfoButtonDiscard, ConnectionTcp},
    {"ConnectionPanelStatus", ui::INTERFACEP, ui::INTERFACEP_STATUS, shell::InfoStatus, ConnectionTcp},
    {"EditID", ui::INTERFACEP, ui::INTERFACEP_SENSOR_ID, shell::InfoEditID, ConnectionTcp},
    // Recorder panel, each control in a mode that shows it.
    {"EditSelectDataRec", ui::RECP, ui::RECP_MODE, shell::InfoEditSelDataRec, RecorderTimed},
    {"EditInterval", ui::RECP, ui::RECP_INTERVAL, shell::InfoEditInterval, RecorderTimed},
    {"EditRecVal", ui::RECP, ui::RECP_RECVAL, shell::InfoEditRecVal, RecorderTimed},
    {"RecordTimeDays", ui::RECP, ui::RECP_DAYS, shell::InfoDispRecordTime, RecorderTimed},
    {"RecordTimeHours", ui::RECP, ui::RECP_HOURS, shell::InfoDispRecordTime, RecorderTimed},
    {"RecordTimeMinutes", ui::RECP, ui::RECP_MINUTES, shell::InfoDispRecordTime, RecorderTimed},
    {"RecordTimeSeconds", ui::RECP, ui::RECP_SECONDS, shell::InfoDispRecordTime, RecorderTimed},
    {"DispRecordedValues", ui::RECP, ui::RECP_RECORDED, shell::InfoDispRecordedValues, RecorderManual},
    {"DispRemaining", ui::RECP, ui::RECP_REMAINING, shell::InfoDispRemaining, RecorderTimed},
    {"ButtonStartRecord", ui::RECP, ui::RECP_BUTTON_START, shell::InfoButtonStartRecord, RecorderTimed},
    {"ButtonStopRecord", ui::RECP, ui::RECP_BUTTON_STOP, shell::InfoButtonStopRecord, RecorderTimed},
    {"ButtonStartTrigRec", ui::RECP, ui::RECP_BUTTON_TRIGSTART, shell::InfoButtonStartRecord, RecorderTriggered},
    {"ButtonStopTrigRec", ui::RECP, ui::RECP_BUTTON_TRIGSTOP, shell::InfoButtonStopRecord, RecorderTriggered},
    {"ButtonManualRecord", ui::RECP, ui::RECP_BUTTON_MANUAL, shell::InfoButtonManualRecord, RecorderManual},
    {"ButtonSelRecFile", ui::RECP, ui::RECP_BUTTON_SELFILE, shell::InfoButtonSelRecFile, RecorderTimed},
    {"DispRecFile", ui::RECP, ui::RECP_FILE, shell::InfoDisRecFile, RecorderTimed},
    // Graph panel.
    {"EditSignal", ui::GRAPHP, ui::GRAPHP_SIGNAL, shell::InfoEditSignal, GraphRaw},
    {"PanelGraphRaw", ui::GRAPHP, ui::GRAPHP_GRAPH_RAW, shell::InfoGraphPanel, GraphRaw},
    {"PanelGraphTemp", ui::GRAPHP, ui::GRAPHP_GRAPH_TEMP, shell::InfoGraphPanel, GraphTemp},
    {"ButtonGpClose", ui::GRAPHP, ui::GRAPHP_BUTTON_CLOSE, shell::InfoButtonClosePanel, GraphRaw},
    {"ButtonSaveGraph", ui::GRAPHP, ui::GRAPHP_BUTTON_SAVEGRAPH, shell::InfoButtonSaveGraph, GraphTemp},
};

// What a right click must leave as it was.
struct ProgramState {
    uint16_t target = 0;
    uint16_t poll = 0;
    int16_t scale = 0;
    std::array<int, 3> selectors{};
    std::array<bool, 6> panelsShown{};
    std::string value;                   // of the clicked control
    std::string dataStatus;
    std::string connectionStatus;
    std::string settingsFile;
    std::string historyFile;

    bool operator==(const ProgramState&) const = default;
};

// The value a control shows, as text, or "" for controls without one (charts, buttons).
std::string ValueOf(int panel, int control) {
    std::string text;
    if (platform::GetCtrlVal(panel, control, text) >= 0) return text;
    int number = 0;
    if (platform::GetCtrlVal(panel, control, number) >= 0) return std::to_string(number);
    return "";
}

std::string FileOf(const std::string& path) {
    std::string bytes;
    return platform::ReadFileBytes(path, bytes) ? bytes : "(none)";
}

ProgramState Snapshot(int panel, int control) {
    ProgramState s;
    s.target = sl::target;
    s.poll = sl::poll;
    s.scale = graph::scale;
    const int selectors[] = {ui::MAINP_SELECT_RAM, ui::MAINP_SELECT_EEPROM, ui::MAINP_SELECT_FILE};
    for (int i = 0; i < 3; ++i) platform::GetCtrlVal(shell::mainpanel, selectors[i], s.selectors[i]);
    const int panels[] = {ui::MAINP, ui::PARAP, ui::DATAP, ui::INTERFACEP, ui::RECP, ui::GRAPHP};
    for (int i = 0; i < 6; ++i) s.panelsShown[i] = platform::PanelVisible(Handle(panels[i]));
    s.value = ValueOf(panel, control);
    s.dataStatus = ValueOf(shell::datapanel, ui::DATAP_STATUS);
    s.connectionStatus = ValueOf(shell::interfacepanel, ui::INTERFACEP_STATUS);
    s.settingsFile = FileOf(shell::conSettingsFileName);
    s.historyFile = FileOf(shell::ipComboBoxFileName);
    return s;
}

void PrintTo(const ProgramState& s, std::ostream* os) {
    *os << "target " << s.target << ", poll " << s.poll << ", scale " << s.scale
        << ", selectors " << s.selectors[0] << s.selectors[1] << s.selectors[2] << ", panels ";
    for (bool shown : s.panelsShown) *os << shown;
    *os << ", value \"" << s.value << "\", status \"" << s.dataStatus << "\" / \""
        << s.connectionStatus << "\", settings file " << s.settingsFile.size()
        << " bytes, history file " << s.historyFile.size() << " bytes";
}

// A real right click where the user makes it: on whatever part of the control lies under the
// mouse at its centre (a spin box's text field, a chart's viewport) or the control itself.
// A click whose callback does not return in time (a loop started by mistake) is ended by
// clearing `poll`; the result says whether that was needed.
bool RightClick(QWidget* control) {
    const QPoint centre = control->rect().center();
    QWidget* receiver = control->childAt(centre);
    if (receiver == nullptr) receiver = control;
    bool hung = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        hung = true;
        sl::poll = 0;
    });
    watchdog.start(static_cast<int>(kClickLimitS * 1000));
    QTest::mouseClick(receiver, Qt::RightButton, {}, receiver->mapFrom(control, centre));
    return !hung;
}

size_t DataRequests(const sim::Sensor& sensor) {
    size_t count = 0;
    for (const auto& request : sensor.requests()) count += request[3] == sl::kCodeData ? 1 : 0;
    return count;
}

class HelpTest : public ::testing::TestWithParam<HelpCase> {
protected:
    void SetUp() override {
        graph::scale = graph::kScaleFixed;
        m_program = std::make_unique<Program>(Transport::Tcp);
        m_program->Start();
        ASSERT_EQ(m_program->Text(shell::datapanel, ui::DATAP_STATUS),
                  sim::kDefaultIdentification);
    }
    void TearDown() override { m_program.reset(); }

    Program& P() { return *m_program; }
    std::unique_ptr<Program> m_program;
};

}  // namespace

TEST_P(HelpTest, RightClickShowsItsTextAndDoesNothingElse) {
    const HelpCase& c = GetParam();
    const int panel = Handle(c.resource);
    if (c.prepare != nullptr) c.prepare();
    PumpFor(kAfterClickS);
    QWidget* widget = P().Widget(panel, c.control);
    ASSERT_NE(widget, nullptr);
    ASSERT_TRUE(widget->isVisible()) << "the control must be shown before it is clicked";
    ASSERT_FALSE(P().Dimmed(panel, c.control)) << "a dimmed control takes no clicks";

    P().m_sensor.clearLog();
    platform::ClearPopupLog();
    const ProgramState before = Snapshot(panel, c.control);
    ASSERT_TRUE(RightClick(widget)) << "the right click started a loop";
    PumpFor(kAfterClickS);

    const auto& boxes = platform::PopupLog();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, platform::PopupRecord::Message);
    EXPECT_EQ(boxes[0].title, "INFO!");
    EXPECT_EQ(boxes[0].text, c.text);
    EXPECT_TRUE(P().m_sensor.log().empty()) << "a telegram was sent";
    EXPECT_EQ(Snapshot(panel, c.control), before);
}

INSTANTIATE_TEST_SUITE_P(Controls, HelpTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<HelpCase>& info) {
                             return std::string(info.param.name);
                         });

// The table above covers every control that has a callback, except the GRID toggle.
TEST(HelpTable, CoversEveryControlWithACallback) {
    size_t withCallback = 0;
    for (const platform::PanelDef& panel : ui::PanelResources()) {
        for (const platform::ControlDef& control : panel.controls) {
            if (*control.callbackName == '\0' || std::string(control.callbackName) == "CBF_GridCtt")
                continue;
            ++withCallback;
            const auto found = std::count_if(std::begin(kCases), std::end(kCases), [&](const HelpCase& c) {
                return c.resource == panel.resourceId && c.control == control.id;
            });
            EXPECT_EQ(found, 1) << panel.name << " " << control.objectName << " ("
                                << control.callbackName << ")";
        }
    }
    EXPECT_EQ(withCallback, std::size(kCases));
}

// Right clicks on the panels themselves and on the GRID toggle show no box and change nothing.
TEST(HelpNone, PanelsAndTheGridToggle) {
    Program program(Transport::Tcp);
    program.Start();
    program.m_sensor.clearLog();
    platform::ClearPopupLog();

    const ProgramState before = Snapshot(shell::datapanel, ui::DATAP_GRID);
    EXPECT_TRUE(RightClick(program.Widget(shell::datapanel, ui::DATAP_GRID)));
    PumpFor(kAfterClickS);
    EXPECT_TRUE(platform::PopupLog().empty());
    EXPECT_EQ(Snapshot(shell::datapanel, ui::DATAP_GRID), before);

    // Each panel in turn, clicked where none of its controls lies.
    const std::pair<int, void (*)()> panels[] = {
        {ui::MAINP, nullptr},          {ui::PARAP, nullptr},
        {ui::DATAP, nullptr},          {ui::INTERFACEP, ConnectionTcp},
        {ui::RECP, RecorderTimed},     {ui::GRAPHP, GraphRaw}};
    for (const auto& [resource, prepare] : panels) {
        SCOPED_TRACE(resource);
        if (prepare != nullptr) prepare();
        QWidget* widget = platform::PanelWidget(Handle(resource));
        ASSERT_NE(widget, nullptr);
        ASSERT_TRUE(widget->isVisible());
        QPoint empty(-1, -1);
        for (int y = 2; y < widget->height() && empty.x() < 0; y += 4)
            for (int x = 2; x < widget->width() && empty.x() < 0; x += 4)
                if (widget->childAt(x, y) == nullptr) empty = QPoint(x, y);
        ASSERT_GE(empty.x(), 0) << "no free spot on the panel";
        QTest::mouseClick(widget, Qt::RightButton, {}, empty);
        PumpFor(kAfterClickS);
        EXPECT_TRUE(platform::PopupLog().empty());
    }
    EXPECT_TRUE(program.m_sensor.log().empty());
}

// While GO polls, a help box (held open by its scripted answer, which processes events as a
// modal box does) stops the requests; once it is closed the frames come again. A right click
// on the GRID toggle meanwhile neither shows a box nor stops the polling.
class HelpDuringGo : public ::testing::TestWithParam<Transport> {};

TEST_P(HelpDuringGo, HoldsThePollingUntilClosed) {
    Program program(GetParam());
    program.Start();
    ASSERT_EQ(program.Text(shell::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
    program.m_sensor.clearLog();
    platform::ClearPopupLog();

    size_t requestsWhileOpen = 0;
    int pollWhileOpen = -1;
    platform::SetPopupHandler([&](const platform::PopupRecord&, std::string&) {
        PumpFor(kSettleS);
        const size_t atOpen = DataRequests(program.m_sensor);
        PumpFor(kHoldS);
        requestsWhileOpen = DataRequests(program.m_sensor) - atOpen;
        pollWhileOpen = sl::poll;
        return 1;
    });

    enum class Phase { Polling, HelpClosed, Stopped } phase = Phase::Polling;
    size_t afterHelp = 0;
    int pollAfterGrid = -1;
    const double start = platform::Timer();
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        const size_t requests = DataRequests(program.m_sensor);
        if (platform::Timer() - start > kGoLimitS) {
            phase = Phase::Stopped;
            sl::poll = 0;
            driver.stop();
        } else if (phase == Phase::Polling && requests >= 3) {
            driver.stop();   // the box is held open inside the click
            RightClick(program.Widget(shell::mainpanel, ui::MAINP_BUTTON_STOP));
            RightClick(program.Widget(shell::datapanel, ui::DATAP_GRID));
            pollAfterGrid = sl::poll;
            afterHelp = DataRequests(program.m_sensor);
            phase = Phase::HelpClosed;
            driver.start();
        } else if (phase == Phase::HelpClosed && requests >= afterHelp + kFramesAfterHelp) {
            phase = Phase::Stopped;
            driver.stop();
            program.Click(shell::mainpanel, ui::MAINP_BUTTON_STOP);
        }
    });
    driver.start(20);
    program.Click(shell::mainpanel, ui::MAINP_BUTTON_GO);
    ASSERT_LT(platform::Timer() - start, kGoLimitS) << "GO did not end";

    ASSERT_EQ(platform::PopupLog().size(), 1u);
    EXPECT_EQ(platform::PopupLog()[0].title, "INFO!");
    EXPECT_EQ(platform::PopupLog()[0].text, shell::InfoButtonStop);
    EXPECT_EQ(requestsWhileOpen, 0u);
    EXPECT_EQ(pollWhileOpen, 1);
    EXPECT_EQ(pollAfterGrid, 1);
    EXPECT_GE(DataRequests(program.m_sensor), afterHelp + kFramesAfterHelp);
    EXPECT_EQ(sl::poll, 0);
    EXPECT_EQ(program.Text(shell::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
    EXPECT_FALSE(program.Dimmed(shell::mainpanel, ui::MAINP_BUTTON_GO));
}

INSTANTIATE_TEST_SUITE_P(Transports, HelpDuringGo,
                         ::testing::Values(Transport::Tcp, Transport::Pty), TransportName);
