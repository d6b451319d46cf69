#include "shell/TavrixV20.h"

#include <cstdint>
#include <iterator>

#include "connection/connection.h"
#include "graph/graph.h"
#include "link/exchanges.h"
#include "platform/platform.h"
#include "shell/logo.h"
#include "ui/TavrixV20.h"
#include "ui/panels.h"

namespace shell {

namespace sl = sensorlink;

namespace {

// The fourteen parameter controls and the values they edit, in panel order.
struct ParameterControl {
    int control;
    uint16_t* value;
};
const ParameterControl kParameterControls[] = {
    {ui::PARAP_POWER, &sl::paraPower},
    {ui::PARAP_PMODE, &sl::paraPmode},
    {ui::PARAP_DYNWINLO, &sl::paraDynWinLo},
    {ui::PARAP_DYNWINHI, &sl::paraDynWinHi},
    {ui::PARAP_AVERAGE, &sl::paraAverage},
    {ui::PARAP_OUTMODE, &sl::paraOutmode},
    {ui::PARAP_HOLD, &sl::paraHold},
    {ui::PARAP_TRSHMODE, &sl::paraTrshMode},
    {ui::PARAP_TRSHTRACING, &sl::paraTrshTracing},
    {ui::PARAP_TRACINGUP, &sl::paraTrshTracingUp},
    {ui::PARAP_TRACINGDOWN, &sl::paraTrshTracingDown},
    {ui::PARAP_TEACHVALUE, &sl::paraTeachValue},
    {ui::PARAP_TOLERANCE, &sl::paraTol},
    {ui::PARAP_HYSTERESIS, &sl::paraHyst},
};

void Dim(int panel, int control, bool dimmed) {
    platform::SetCtrlAttribute(panel, control, platform::ATTR_DIMMED, dimmed ? 1 : 0);
}

// A number control keeps its value within its limits; a value read from the sensor or a file
// beyond them widens the limits, so that it is shown and sent back unchanged.
void WidenLimitsFor(int control, int value) {
    int low = 0;
    int high = 0;
    if (platform::GetCtrlAttribute(ui::parapanel, control, platform::ATTR_MIN_VALUE, low) < 0 ||
        platform::GetCtrlAttribute(ui::parapanel, control, platform::ATTR_MAX_VALUE, high) < 0)
        return;   // a ring: it has no limits
    if (value < low)
        platform::SetCtrlAttribute(ui::parapanel, control, platform::ATTR_MIN_VALUE, value);
    if (value > high)
        platform::SetCtrlAttribute(ui::parapanel, control, platform::ATTR_MAX_VALUE, value);
}

}   // namespace

// A ring shows only the values it lists: one it does not list gets an item of its own.
void SetRingOrNumber(int control, uint16_t value) {
    WidenLimitsFor(control, value);
    if (platform::SetCtrlVal(ui::parapanel, control, static_cast<int>(value)) >= 0) return;
    platform::InsertListItem(ui::parapanel, control, -1, std::to_string(value),
                             std::to_string(value));
    platform::SetCtrlVal(ui::parapanel, control, static_cast<int>(value));
}

void InstallLinkHooks() {
    sl::hooks.m_showStatus = ui::ShowStatusText;
    sl::hooks.m_exchangeFailed = [] { ui::ShowChildPanel(ui::kShowConnection); };
    sl::hooks.m_readPanel = GetPanelValues;
    sl::hooks.m_parametersChanged = [] {
        SetPanelValues();
        InitPanelCtrlAttr();
    };
    sl::hooks.m_frameTaken = [] {
        SetPanelData();
        graph::ShowGraph();
    };
    sl::hooks.m_sensorReady = [] {
        platform::SetCtrlAttribute(ui::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT,
                                   platform::ATTR_DIMMED, 0);
    };
}

void InitAll() {
    sl::anzpara = sl::kRecordWords;
    sl::anzframe = sl::kTelegramWords;
    sl::anzdata = sl::kRecordWords;
    sl::tcpcon = 0;
    sl::sync = sl::kSyncWord;
    sl::order = sl::kCodeParaWrite;
    sl::target = sl::RAM;
    sl::poll = 0;
    InstallLinkHooks();

    sl::proj_dir = platform::GetDialogDir();
    const std::string configDir = platform::GetConfigDir();
    connection::ipComboBoxFileName = platform::JoinPath(configDir, connection::kHistoryFile);
    connection::conSettingsFileName = platform::JoinPath(configDir, connection::kSettingsFile);

    ShowLogo(kBrandVariant);
    GetPanelValues();

    connection::LoadAddressHistory();
    connection::GetConnectionSettingsFromFile();
    connection::InitConnectPanel();

    ui::SetButtonsDimmed(1);
    connection::TryToConnect();
    ui::SetButtonsDimmed(0);
}

void GetPanelValues() {
    for (const ParameterControl& c : kParameterControls)
        platform::GetCtrlVal(ui::parapanel, c.control, *c.value);
}

void SetPanelValues() {
    for (const ParameterControl& c : kParameterControls) SetRingOrNumber(c.control, *c.value);
}

void InitPanelCtrlAttr() {
    InitPowerMode();
    InitThresholdTracing();
}

void InitPowerMode() {
    platform::GetCtrlVal(ui::parapanel, ui::PARAP_PMODE, sl::paraPmode);
    if (sl::paraPmode > 1) return;
    const bool dynamic = sl::paraPmode == 1;
    Dim(ui::parapanel, ui::PARAP_POWER, dynamic);
    Dim(ui::parapanel, ui::PARAP_DYNWINLO, !dynamic);
    Dim(ui::parapanel, ui::PARAP_DYNWINHI, !dynamic);
}

void InitThresholdTracing() {
    platform::GetCtrlVal(ui::parapanel, ui::PARAP_TRSHTRACING, sl::paraTrshTracing);
    if (sl::paraTrshTracing > 1) return;
    const bool tracing = sl::paraTrshTracing == 1;
    Dim(ui::parapanel, ui::PARAP_TRACINGUP, !tracing);
    Dim(ui::parapanel, ui::PARAP_TRACINGDOWN, !tracing);
    Dim(ui::parapanel, ui::PARAP_TEACHVALUE, tracing);
    Dim(ui::parapanel, ui::PARAP_BUTTON_TEACH, tracing);
}

void SetPanelData() {
    platform::SetCtrlVal(ui::datapanel, ui::DATAP_RAW, static_cast<int>(sl::dataANA0));
    platform::SetCtrlVal(ui::datapanel, ui::DATAP_TEMP, static_cast<int>(sl::dataTemp));
    platform::SetCtrlVal(ui::datapanel, ui::DATAP_REF, static_cast<int>(sl::dataRef));
    // The LED is lit exactly when the switching output is at +24 V.
    const bool lit = sl::paraOutmode == 0 ? sl::dataOutTol != 0 : sl::dataOutTol == 0;
    platform::SetCtrlVal(ui::datapanel, ui::DATAP_LED_OUT, lit ? 1 : 0);
    graph::InitGraphBuffers();
}

}   // namespace shell
