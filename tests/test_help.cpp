// A real right click on every control with a callback shows its help text and does nothing else.
#include <map>
#include <sstream>

#include "apptest.h"
#include "graph/graph.h"
#include "recorder/recorder.h"
#include "ui/TavrixV20Panels.h"
#include "ui/helptexts.h"

using namespace apptest;
using namespace ui;
namespace sl = sensorlink;

namespace {

constexpr double kAfterClickS = 0.1;   // time for late consequences of a click to show
constexpr double kClickLimitS = 5.0;   // a right click that has not returned by then hangs

int Handle(int resource) {
    const std::map<int, int> handles = {{MAINP, mainpanel},           {PARAP, parapanel}, {DATAP, datapanel},
                                        {INTERFACEP, interfacepanel}, {RECP, recpanel},   {GRAPHP, graphpanel}};
    return handles.at(resource);
}

void Parameters(int powerMode, int tracing) {
    platform::SetCtrlVal(parapanel, PARAP_PMODE, powerMode);
    platform::SetCtrlVal(parapanel, PARAP_TRSHTRACING, tracing);
    shell::InitPowerMode();
    shell::InitThresholdTracing();
}
void Connection(int protocol) {
    ShowChildPanel(kShowConnection);
    platform::SetCtrlVal(interfacepanel, INTERFACEP_PROTOCOL, protocol);
    connection::InitConnectPanel();
    platform::SetCtrlAttribute(interfacepanel, INTERFACEP_BUTTON_ACCEPT, platform::ATTR_DIMMED, 0);   // as if tested
}
void Recorder(int mode) {
    ShowChildPanel(kShowRecorder);
    platform::SetCtrlVal(recpanel, RECP_MODE, mode);
    recorder::InitRecordPanel();
}
void Graph(int signal) {
    platform::HidePanel(datapanel);
    platform::DisplayPanel(graphpanel);
    platform::SetCtrlVal(graphpanel, GRAPHP_SIGNAL, signal);
    graph::SetGraphVisible();
}

// The states that show every control. EEPROM selected and auto zoom on, so that a right click taken
// for a toggle or a click would change them.
// clang-format off
const struct State { int resource; void (*prepare)(); } kStates[] = {
    {MAINP, [] {
         platform::SetCtrlVal(mainpanel, MAINP_SELECT_RAM, 0);
         platform::SetCtrlVal(mainpanel, MAINP_SELECT_EEPROM, 1);
         sl::target = sl::EEPROM;
     }},
    {PARAP, [] { Parameters(0, 0); }},
    {PARAP, [] { Parameters(1, 1); }},
    {DATAP, [] { graph::scale = graph::kScaleAutoZoom; }},
    {INTERFACEP, [] { Connection(sl::kRS232); }},
    {INTERFACEP, [] { Connection(sl::kTCPIP); }},
    {RECP, [] { Recorder(recorder::kModeTimed); }},
    {RECP, [] { Recorder(recorder::kModeManual); }},
    {RECP, [] { Recorder(recorder::kModeTriggered); }},
    {GRAPHP, [] { Graph(graph::kSignalRaw); }},
    {GRAPHP, [] { Graph(graph::kSignalTemp); }},
};
// clang-format on

// The help text of every control that has a callback, by panel; nullptr: it shows none.
// clang-format off
const std::map<int, std::map<int, const char*>> kHelp = {
    {MAINP, {{MAINP_BUTTON_CONNECT, InfoButtonConnect}, {MAINP_BUTTON_PARA, InfoButtonPara},
             {MAINP_BUTTON_RECORDER, InfoButtonOpenRecorder}, {MAINP_SELECT_RAM, InfoSelectMEM},
             {MAINP_SELECT_EEPROM, InfoSelectMEM}, {MAINP_SELECT_FILE, InfoSelectMEM},
             {MAINP_BUTTON_SEND, InfoButtonSend}, {MAINP_BUTTON_GET, InfoButtonGet},
             {MAINP_BUTTON_GO, InfoButtonGo}, {MAINP_BUTTON_STOP, InfoButtonStop}}},
    {PARAP, {{PARAP_POWER, InfoEditPower}, {PARAP_PMODE, InfoEditPmod}, {PARAP_AVERAGE, InfoEditAverage},
             {PARAP_OUTMODE, InfoEditOutmode}, {PARAP_HOLD, InfoEditHold},
             {PARAP_TRSHMODE, InfoEditThresholdMode}, {PARAP_TRSHTRACING, InfoEditThresholdTracing},
             {PARAP_TEACHVALUE, InfoEditTeachValue}, {PARAP_TOLERANCE, InfoEditTolerance},
             {PARAP_HYSTERESIS, InfoEditHysteresis}, {PARAP_BUTTON_TEACH, InfoButtonTeach},
             {PARAP_DYNWINLO, InfoEditDynWinLoHi}, {PARAP_DYNWINHI, InfoEditDynWinLoHi},
             {PARAP_TRACINGUP, InfoEditThresholdTracingUP},
             {PARAP_TRACINGDOWN, InfoEditThresholdTracingDown}}},
    {DATAP, {{DATAP_RAW, InfoDispRaw}, {DATAP_REF, InfoDispRef}, {DATAP_TEMP, InfoDispTemp},
             {DATAP_LED_OUT, InfoLedOut}, {DATAP_STRIPCHART, InfoGraph}, {DATAP_LEGEND, InfoGraph},
             {DATAP_BUTTON_SHOWGRAPH, InfoButtonShowGraph}, {DATAP_BUTTON_SAVECHART, InfoButtonSaveChart},
             {DATAP_STATUS, InfoStatus}, {DATAP_GRID, nullptr}}},
    {INTERFACEP, {{INTERFACEP_COMPORT, InfoEditConnect}, {INTERFACEP_PROTOCOL, InfoEditCommunicationProtocol},
                  {INTERFACEP_IPADDRESS, InfoStringIpAdress}, {INTERFACEP_PORTNUMBER, InfoStringPortNumber},
                  {INTERFACEP_BUTTON_TRY, InfoButtonTryToConnect},
                  {INTERFACEP_BUTTON_ACCEPT, InfoButtonAccept},
                  {INTERFACEP_BUTTON_DISCARD, InfoButtonDiscard}, {INTERFACEP_STATUS, InfoStatus},
                  {INTERFACEP_SENSOR_ID, InfoEditID}}},
    {RECP, {{RECP_MODE, InfoEditSelDataRec}, {RECP_INTERVAL, InfoEditInterval}, {RECP_RECVAL, InfoEditRecVal},
            {RECP_DAYS, InfoDispRecordTime}, {RECP_HOURS, InfoDispRecordTime},
            {RECP_MINUTES, InfoDispRecordTime}, {RECP_SECONDS, InfoDispRecordTime},
            {RECP_REMAINING, InfoDispRemaining}, {RECP_BUTTON_START, InfoButtonStartRecord},
            {RECP_BUTTON_STOP, InfoButtonStopRecord}, {RECP_BUTTON_SELFILE, InfoButtonSelRecFile},
            {RECP_FILE, InfoDisRecFile}, {RECP_RECORDED, InfoDispRecordedValues},
            {RECP_BUTTON_MANUAL, InfoButtonManualRecord}, {RECP_BUTTON_TRIGSTART, InfoButtonStartRecord},
            {RECP_BUTTON_TRIGSTOP, InfoButtonStopRecord}}},
    {GRAPHP, {{GRAPHP_SIGNAL, InfoEditSignal}, {GRAPHP_GRAPH_RAW, InfoGraphPanel},
              {GRAPHP_BUTTON_CLOSE, InfoButtonClosePanel}, {GRAPHP_GRAPH_TEMP, InfoGraphPanel},
              {GRAPHP_BUTTON_SAVEGRAPH, InfoButtonSaveGraph}}},
};
// clang-format on

std::string ValueOf(int panel, int control) {
    std::string text;
    if (platform::GetCtrlVal(panel, control, text) >= 0) return text;
    int number = 0;
    return platform::GetCtrlVal(panel, control, number) >= 0 ? std::to_string(number) : "";
}

// What a right click must leave as it was.
std::string Snapshot(int panel, int control) {
    std::ostringstream s;
    s << sl::target << ' ' << sl::poll << ' ' << graph::scale << " \"" << ValueOf(panel, control) << "\" ";
    for (int resource = MAINP; resource <= GRAPHP; ++resource) s << platform::PanelVisible(Handle(resource));
    s << " \"" << ValueOf(datapanel, DATAP_STATUS) << "\" \"" << ValueOf(interfacepanel, INTERFACEP_STATUS) << '"';
    return s.str();
}

// On the part under the control's centre. A callback that does not return in time (a loop started by
// mistake) is ended by clearing `poll`; false then.
bool RightClick(QWidget* control) {
    const QPoint point = control->rect().center();
    QWidget* receiver = control->childAt(point) ? control->childAt(point) : control;
    bool hung = false;
    QTimer watchdog;
    watchdog.callOnTimeout([&] { hung = true, sl::poll = 0; });
    watchdog.start(static_cast<int>(kClickLimitS * 1000));
    QTest::mouseClick(receiver, Qt::RightButton, {}, receiver->mapFrom(control, point));
    PumpFor(kAfterClickS);
    return !hung;
}

}   // namespace

TEST(Help, RightClickOnEveryControlShowsItsTextAndDoesNothingElse) {
    Program program(Transport::Tcp);
    ASSERT_NO_FATAL_FAILURE(program.StartConnected());
    std::map<std::pair<int, int>, int> clicked;
    size_t withCallback = 0;
    for (const platform::PanelDef& def : PanelResources())
        for (const platform::ControlDef& control : def.controls) withCallback += *control.callbackName != '\0';
    for (const State& state : kStates) {
        state.prepare();
        PumpFor(kAfterClickS);
        const int panel = Handle(state.resource);
        for (const platform::PanelDef& def : PanelResources()) {
            if (def.resourceId != state.resource) continue;
            for (const platform::ControlDef& control : def.controls) {
                const std::pair key{def.resourceId, control.id};
                QWidget* widget = platform::ControlWidget(panel, control.id);
                if (*control.callbackName == '\0' || clicked.contains(key) || !widget->isVisible() ||
                    program.Dimmed(panel, control.id))
                    continue;   // a hidden or dimmed control takes no clicks: another state shows it
                SCOPED_TRACE(control.objectName);
                ++clicked[key];
                const auto help = kHelp.at(def.resourceId).find(control.id);
                ASSERT_NE(help, kHelp.at(def.resourceId).end()) << "no help text listed";
                program.m_sensor.clearLog();
                platform::ClearPopupLog();
                const std::string before = Snapshot(panel, control.id);
                ASSERT_TRUE(RightClick(widget)) << "the right click started a loop";
                EXPECT_EQ(Program::Popups(),
                          help->second ? std::vector{Info(help->second)} : std::vector<std::string>{});
                EXPECT_TRUE(program.m_sensor.log().empty()) << "a telegram was sent";
                EXPECT_EQ(Snapshot(panel, control.id), before);
            }
        }
    }
    EXPECT_EQ(clicked.size(), withCallback);
}
