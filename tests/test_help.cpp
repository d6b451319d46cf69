// Right-click help in the running program: a real right click on every control shows exactly
// one "INFO!" box with that control's text and changes nothing else; the panels and the GRID
// toggle show no help; a help box opened while GO polls holds the polling until it is closed.
#include <QTimer>

#include <sstream>

#include "apptest.h"
#include "connection/connection.h"
#include "graph/graph.h"
#include "recorder/recorder.h"
#include "ui/helptexts.h"
#include "ui/TavrixV20Panels.h"

using namespace apptest;
namespace sl = sensorlink;
namespace sh = shell;

namespace {

constexpr double kClickLimitS = 5.0;        // a right click that has not returned by then hangs
constexpr double kAfterClickS = 0.2;        // time for late consequences of a click to show
constexpr double kSettleS = 0.1;            // a request already on its way reaches the sensor
constexpr double kHoldS = 0.5;              // how long the scripted help box stays open
constexpr size_t kFramesAfterHelp = 3;      // data requests that prove the polling goes on
constexpr double kGoLimitS = 20.0;          // the whole GO scenario, on a slow machine

int Handle(int resource) {
    for (auto [r, handle] : {std::pair{ui::MAINP, ui::mainpanel}, {ui::PARAP, ui::parapanel},
                             {ui::DATAP, ui::datapanel}, {ui::INTERFACEP, ui::interfacepanel},
                             {ui::RECP, ui::recpanel}, {ui::GRAPHP, ui::graphpanel}})
        if (r == resource) return handle;
    return 0;
}

// States that show the controls the start-up state hides or dims, set directly.
void SelectEeprom() {
    platform::SetCtrlVal(ui::mainpanel, ui::MAINP_SELECT_RAM, 0);
    platform::SetCtrlVal(ui::mainpanel, ui::MAINP_SELECT_EEPROM, 1);
    sl::target = sl::EEPROM;
}
void Parameters(int powerMode, int tracing) {
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_PMODE, powerMode);
    platform::SetCtrlVal(ui::parapanel, ui::PARAP_TRSHTRACING, tracing);
    sh::InitPowerMode();
    sh::InitThresholdTracing();
}
void Connection(int protocol) {
    ui::ShowChildPanel(ui::kShowConnection);
    platform::SetCtrlVal(ui::interfacepanel, ui::INTERFACEP_PROTOCOL, protocol);
    connection::InitConnectPanel();
    // As after a good connection test, so that the accept button takes clicks.
    platform::SetCtrlAttribute(ui::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT,
                               platform::ATTR_DIMMED, 0);
}
void Recorder(int mode) {
    ui::ShowChildPanel(ui::kShowRecorder);
    platform::SetCtrlVal(ui::recpanel, ui::RECP_MODE, mode);
    recorder::InitRecordPanel();
}
void Graph(int signal) {
    platform::HidePanel(ui::datapanel);
    platform::DisplayPanel(ui::graphpanel);
    platform::SetCtrlVal(ui::graphpanel, ui::GRAPHP_SIGNAL, signal);
    graph::SetGraphVisible();
}

// A control and the text its right click must show.
struct Help {
    int control;
    const char* text;   // nullptr: no help; the texts are checked word for word by test_helptexts
};

// Controls of one panel that one state shows, clicked one after the other in one program.
struct HelpGroup {
    const char* name;
    int resource;
    void (*prepare)();   // nullptr when the start-up state shows them
    std::vector<Help> controls;
};

void PrintTo(const HelpGroup& g, std::ostream* os) { *os << g.name; }

using namespace ui;

// Every control with a callback; only the GRID toggle shows no help. Selectors are clicked with
// EEPROM selected, so that a right click taken for a toggle would change `target`; the strip
// chart with auto zoom on, so that one taken for a left click would change the scale.
const HelpGroup kGroups[] = {
    {"Main", MAINP, SelectEeprom,
     {{MAINP_BUTTON_CONNECT, ui::InfoButtonConnect}, {MAINP_BUTTON_PARA, ui::InfoButtonPara},
      {MAINP_BUTTON_RECORDER, ui::InfoButtonOpenRecorder}, {MAINP_SELECT_RAM, ui::InfoSelectMEM},
      {MAINP_SELECT_EEPROM, ui::InfoSelectMEM}, {MAINP_SELECT_FILE, ui::InfoSelectMEM},
      {MAINP_BUTTON_SEND, ui::InfoButtonSend}, {MAINP_BUTTON_GET, ui::InfoButtonGet},
      {MAINP_BUTTON_GO, ui::InfoButtonGo}, {MAINP_BUTTON_STOP, ui::InfoButtonStop}}},
    {"ParametersStatic", PARAP, nullptr,
     {{PARAP_POWER, ui::InfoEditPower}, {PARAP_PMODE, ui::InfoEditPmod},
      {PARAP_AVERAGE, ui::InfoEditAverage}, {PARAP_OUTMODE, ui::InfoEditOutmode},
      {PARAP_HOLD, ui::InfoEditHold}, {PARAP_TRSHMODE, ui::InfoEditThresholdMode},
      {PARAP_TRSHTRACING, ui::InfoEditThresholdTracing}, {PARAP_TEACHVALUE, ui::InfoEditTeachValue},
      {PARAP_TOLERANCE, ui::InfoEditTolerance}, {PARAP_HYSTERESIS, ui::InfoEditHysteresis},
      {PARAP_BUTTON_TEACH, ui::InfoButtonTeach}}},
    {"ParametersDynamicTracing", PARAP, [] { Parameters(1, 1); },
     {{PARAP_DYNWINLO, ui::InfoEditDynWinLoHi}, {PARAP_DYNWINHI, ui::InfoEditDynWinLoHi},
      {PARAP_TRACINGUP, ui::InfoEditThresholdTracingUP},
      {PARAP_TRACINGDOWN, ui::InfoEditThresholdTracingDown}}},
    {"Data", DATAP, [] { graph::scale = graph::kScaleAutoZoom; },
     {{DATAP_RAW, ui::InfoDispRaw}, {DATAP_REF, ui::InfoDispRef}, {DATAP_TEMP, ui::InfoDispTemp},
      {DATAP_LED_OUT, ui::InfoLedOut}, {DATAP_STRIPCHART, ui::InfoGraph},
      {DATAP_LEGEND, ui::InfoGraph}, {DATAP_BUTTON_SHOWGRAPH, ui::InfoButtonShowGraph},
      {DATAP_BUTTON_SAVECHART, ui::InfoButtonSaveChart}, {DATAP_STATUS, ui::InfoStatus},
      {DATAP_GRID, nullptr}}},
    {"ConnectionSerial", INTERFACEP, [] { Connection(sl::kRS232); },
     {{INTERFACEP_COMPORT, ui::InfoEditConnect}}},
    {"ConnectionTcp", INTERFACEP, [] { Connection(sl::kTCPIP); },
     {{INTERFACEP_PROTOCOL, ui::InfoEditCommunicationProtocol},
      {INTERFACEP_IPADDRESS, ui::InfoStringIpAdress},
      {INTERFACEP_PORTNUMBER, ui::InfoStringPortNumber},
      {INTERFACEP_BUTTON_TRY, ui::InfoButtonTryToConnect},
      {INTERFACEP_BUTTON_ACCEPT, ui::InfoButtonAccept},
      {INTERFACEP_BUTTON_DISCARD, ui::InfoButtonDiscard}, {INTERFACEP_STATUS, ui::InfoStatus},
      {INTERFACEP_SENSOR_ID, ui::InfoEditID}}},
    {"RecorderTimed", RECP, [] { Recorder(recorder::kModeTimed); },
     {{RECP_MODE, ui::InfoEditSelDataRec}, {RECP_INTERVAL, ui::InfoEditInterval},
      {RECP_RECVAL, ui::InfoEditRecVal}, {RECP_DAYS, ui::InfoDispRecordTime},
      {RECP_HOURS, ui::InfoDispRecordTime}, {RECP_MINUTES, ui::InfoDispRecordTime},
      {RECP_SECONDS, ui::InfoDispRecordTime}, {RECP_REMAINING, ui::InfoDispRemaining},
      {RECP_BUTTON_START, ui::InfoButtonStartRecord}, {RECP_BUTTON_STOP, ui::InfoButtonStopRecord},
      {RECP_BUTTON_SELFILE, ui::InfoButtonSelRecFile}, {RECP_FILE, ui::InfoDisRecFile}}},
    {"RecorderManual", RECP, [] { Recorder(recorder::kModeManual); },
     {{RECP_RECORDED, ui::InfoDispRecordedValues},
      {RECP_BUTTON_MANUAL, ui::InfoButtonManualRecord}}},
    {"RecorderTriggered", RECP, [] { Recorder(recorder::kModeTriggered); },
     {{RECP_BUTTON_TRIGSTART, ui::InfoButtonStartRecord},
      {RECP_BUTTON_TRIGSTOP, ui::InfoButtonStopRecord}}},
    {"GraphRaw", GRAPHP, [] { Graph(graph::kSignalRaw); },
     {{GRAPHP_SIGNAL, ui::InfoEditSignal}, {GRAPHP_GRAPH_RAW, ui::InfoGraphPanel},
      {GRAPHP_BUTTON_CLOSE, ui::InfoButtonClosePanel}}},
    {"GraphTemp", GRAPHP, [] { Graph(graph::kSignalTemp); },
     {{GRAPHP_GRAPH_TEMP, ui::InfoGraphPanel}, {GRAPHP_BUTTON_SAVEGRAPH, ui::InfoButtonSaveGraph}}},
};

// The value a control shows, as text, or "" for controls without one (charts, buttons).
std::string ValueOf(int panel, int control) {
    std::string text;
    if (platform::GetCtrlVal(panel, control, text) >= 0) return text;
    int number = 0;
    return platform::GetCtrlVal(panel, control, number) >= 0 ? std::to_string(number) : "";
}

std::string FileOf(const std::string& path) {
    std::string bytes;
    return platform::ReadFileBytes(path, bytes) ? bytes : "(none)";
}

// What a right click must leave as it was, readable in a failure message: `target`, `poll`,
// the scale, the control's value, the selector, the panels shown, both status texts, both files.
std::string Snapshot(int panel, int control) {
    std::ostringstream s;
    s << sl::target << ' ' << sl::poll << ' ' << graph::scale << " \"" << ValueOf(panel, control)
      << "\" ";
    for (int selector : {MAINP_SELECT_RAM, MAINP_SELECT_EEPROM, MAINP_SELECT_FILE})
        s << ValueOf(ui::mainpanel, selector);
    for (int resource = MAINP; resource <= GRAPHP; ++resource)
        s << ' ' << platform::PanelVisible(Handle(resource));
    s << " \"" << ValueOf(ui::datapanel, DATAP_STATUS) << "\" \""
      << ValueOf(ui::interfacepanel, INTERFACEP_STATUS) << "\" \""
      << FileOf(connection::conSettingsFileName) << "\" \"" << FileOf(connection::ipComboBoxFileName) << '"';
    return s.str();
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

// The program started against the simulator over TCP, its identification shown.
std::unique_ptr<Program> Started(Transport transport = Transport::Tcp) {
    auto program = std::make_unique<Program>(transport);
    program->Start();
    EXPECT_EQ(program->Text(ui::datapanel, DATAP_STATUS), sim::kDefaultIdentification);
    program->m_sensor.clearLog();
    platform::ClearPopupLog();
    return program;
}

class HelpTest : public ::testing::TestWithParam<HelpGroup> {};

}  // namespace

// Each control shows its text in one box and nothing else happens; then a click on the panel
// where none of its controls lies shows nothing.
TEST_P(HelpTest, RightClickShowsItsTextAndDoesNothingElse) {
    const std::unique_ptr<Program> program = Started();
    const HelpGroup& group = GetParam();
    const int panel = Handle(group.resource);
    if (group.prepare != nullptr) group.prepare();
    PumpFor(kAfterClickS);
    for (const auto& [control, text] : group.controls) {
        QWidget* widget = program->Widget(panel, control);
        ASSERT_NE(widget, nullptr);
        SCOPED_TRACE(widget->objectName().toStdString());
        ASSERT_TRUE(widget->isVisible()) << "the control must be shown before it is clicked";
        ASSERT_FALSE(program->Dimmed(panel, control)) << "a dimmed control takes no clicks";
        program->m_sensor.clearLog();
        platform::ClearPopupLog();
        const std::string before = Snapshot(panel, control);
        ASSERT_TRUE(RightClick(widget)) << "the right click started a loop";
        PumpFor(kAfterClickS);

        const auto& boxes = platform::PopupLog();
        ASSERT_EQ(boxes.size(), text == nullptr ? 0u : 1u);
        if (text != nullptr) {
            EXPECT_EQ(boxes[0].kind, platform::PopupRecord::Message);
            EXPECT_EQ(boxes[0].title, "INFO!");
            EXPECT_EQ(boxes[0].text, text);
        }
        EXPECT_TRUE(program->m_sensor.log().empty()) << "a telegram was sent";
        EXPECT_EQ(Snapshot(panel, control), before);
    }

    QWidget* widget = platform::PanelWidget(panel);
    QPoint empty(-1, -1);
    for (int y = 2; y < widget->height() && empty.x() < 0; y += 4)
        for (int x = 2; x < widget->width() && empty.x() < 0; x += 4)
            if (widget->childAt(x, y) == nullptr) empty = QPoint(x, y);
    ASSERT_GE(empty.x(), 0) << "no free spot on the panel";
    platform::ClearPopupLog();
    QTest::mouseClick(widget, Qt::RightButton, {}, empty);
    PumpFor(kAfterClickS);
    EXPECT_TRUE(platform::PopupLog().empty());
    EXPECT_TRUE(program->m_sensor.log().empty());
}

INSTANTIATE_TEST_SUITE_P(Panels, HelpTest, ::testing::ValuesIn(kGroups),
                         [](const auto& info) { return std::string(info.param.name); });

// The table above holds every control that has a callback, once.
TEST(HelpTable, CoversEveryControlWithACallback) {
    size_t withCallback = 0, rows = 0;
    for (const HelpGroup& group : kGroups) rows += group.controls.size();
    for (const platform::PanelDef& panel : PanelResources()) {
        for (const platform::ControlDef& control : panel.controls) {
            if (std::string(control.callbackName).empty()) continue;
            ++withCallback;
            int found = 0;
            for (const HelpGroup& group : kGroups)
                for (const Help& help : group.controls)
                    found += group.resource == panel.resourceId && help.control == control.id;
            EXPECT_EQ(found, 1) << panel.name << " " << control.objectName;
        }
    }
    EXPECT_EQ(rows, withCallback);
}

// While GO polls, a help box (held open by its scripted answer, which processes events as a
// modal box does) stops the requests; once it is closed the frames come again. A right click
// on the GRID toggle meanwhile neither shows a box nor stops the polling.
class HelpDuringGo : public ::testing::TestWithParam<Transport> {};

TEST_P(HelpDuringGo, HoldsThePollingUntilClosed) {
    const std::unique_ptr<Program> program = Started(GetParam());
    // GO sends nothing but data requests.
    auto requests = [&] { return program->m_sensor.requests().size(); };
    size_t requestsWhileOpen = 0, afterHelp = 0;
    int pollWhileOpen = -1, pollAfterGrid = -1;
    platform::SetPopupHandler([&](const platform::PopupRecord&, std::string&) {
        PumpFor(kSettleS);
        const size_t atOpen = requests();
        PumpFor(kHoldS);
        requestsWhileOpen = requests() - atOpen;
        pollWhileOpen = sl::poll;
        return 1;
    });

    const double start = platform::Timer();
    QTimer driver;   // runs inside the GO loop, which processes events between frames
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (afterHelp == 0 && requests() >= 3) {
            driver.stop();   // the box is held open inside the click
            RightClick(program->Widget(ui::mainpanel, MAINP_BUTTON_STOP));
            RightClick(program->Widget(ui::datapanel, DATAP_GRID));
            pollAfterGrid = sl::poll;
            afterHelp = requests();
            driver.start();
        } else if ((afterHelp > 0 && requests() >= afterHelp + kFramesAfterHelp) ||
                   platform::Timer() - start > kGoLimitS) {
            driver.stop();
            program->Click(ui::mainpanel, MAINP_BUTTON_STOP);
        }
    });
    driver.start(20);
    program->Click(ui::mainpanel, MAINP_BUTTON_GO);
    ASSERT_LT(platform::Timer() - start, kGoLimitS) << "GO did not end in time";

    ASSERT_EQ(platform::PopupLog().size(), 1u);
    EXPECT_EQ(platform::PopupLog()[0].text, ui::InfoButtonStop);
    EXPECT_EQ(requestsWhileOpen, 0u);
    EXPECT_EQ(pollWhileOpen, 1);
    EXPECT_EQ(pollAfterGrid, 1);
    EXPECT_GE(requests(), afterHelp + kFramesAfterHelp);
    EXPECT_EQ(sl::poll, 0);
    EXPECT_EQ(program->Text(ui::datapanel, DATAP_STATUS), sim::kDefaultIdentification);
    EXPECT_FALSE(program->Dimmed(ui::mainpanel, MAINP_BUTTON_GO));
}

INSTANTIATE_TEST_SUITE_P(Transports, HelpDuringGo,
                         ::testing::Values(Transport::Tcp, Transport::Pty), TransportName);
