#include "shell/TavrixV20.h"

#include <cstdint>
#include <iterator>

#include "connection/connection.h"
#include "graph/graph.h"
#include "link/exchanges.h"
#include "platform/platform.h"
#include "shell/logo.h"
#include "ui/TavrixV20.h"

namespace shell {

namespace {

using namespace sensorlink;

// The fourteen parameter controls and the values they edit, in panel order.
struct ParameterControl {
    int control;
    uint16_t* value;
};
const ParameterControl kParameterControls[] = {
    {ui::PARAP_POWER, &paraPower},
    {ui::PARAP_PMODE, &paraPmode},
    {ui::PARAP_DYNWINLO, &paraDynWinLo},
    {ui::PARAP_DYNWINHI, &paraDynWinHi},
    {ui::PARAP_AVERAGE, &paraAverage},
    {ui::PARAP_OUTMODE, &paraOutmode},
    {ui::PARAP_HOLD, &paraHold},
    {ui::PARAP_TRSHMODE, &paraTrshMode},
    {ui::PARAP_TRSHTRACING, &paraTrshTracing},
    {ui::PARAP_TRACINGUP, &paraTrshTracingUp},
    {ui::PARAP_TRACINGDOWN, &paraTrshTracingDown},
    {ui::PARAP_TEACHVALUE, &paraTeachValue},
    {ui::PARAP_TOLERANCE, &paraTol},
    {ui::PARAP_HYSTERESIS, &paraHyst},
};

// The controls that must not start a second exchange while one runs, in dimming order.
struct PanelControl {
    int* panel;
    int control;
};
const PanelControl kExchangeControls[] = {
    {&mainpanel, ui::MAINP_BUTTON_SEND},       {&mainpanel, ui::MAINP_BUTTON_GET},
    {&mainpanel, ui::MAINP_BUTTON_GO},         {&mainpanel, ui::MAINP_SELECT_RAM},
    {&mainpanel, ui::MAINP_SELECT_EEPROM},     {&mainpanel, ui::MAINP_SELECT_FILE},
    {&interfacepanel, ui::INTERFACEP_BUTTON_TRY}, {&interfacepanel, ui::INTERFACEP_BUTTON_DISCARD},
    {&recpanel, ui::RECP_BUTTON_SELFILE},      {&recpanel, ui::RECP_MODE},
    {&recpanel, ui::RECP_BUTTON_START},        {&recpanel, ui::RECP_BUTTON_TRIGSTART},
};

void Dim(int panel, int control, bool dimmed) {
    platform::SetCtrlAttribute(panel, control, platform::ATTR_DIMMED, dimmed ? 1 : 0);
}

// A number control keeps its value within its limits; a value read from the sensor or a file
// beyond them widens the limits, so that it is shown and sent back unchanged.
void WidenLimitsFor(int control, int value) {
    int low = 0;
    int high = 0;
    if (platform::GetCtrlAttribute(parapanel, control, platform::ATTR_MIN_VALUE, low) < 0 ||
        platform::GetCtrlAttribute(parapanel, control, platform::ATTR_MAX_VALUE, high) < 0)
        return;   // a ring: it has no limits
    if (value < low)
        platform::SetCtrlAttribute(parapanel, control, platform::ATTR_MIN_VALUE, value);
    if (value > high)
        platform::SetCtrlAttribute(parapanel, control, platform::ATTR_MAX_VALUE, value);
}

// A ring shows only the values it lists; a value read from the sensor or a file that it
// does not list gets an item of its own, so that it is kept and sent back unchanged.
void SetRingOrNumber(int control, uint16_t value) {
    WidenLimitsFor(control, value);
    if (platform::SetCtrlVal(parapanel, control, static_cast<int>(value)) >= 0) return;
    platform::InsertListItem(parapanel, control, -1, std::to_string(value),
                             std::to_string(value));
    platform::SetCtrlVal(parapanel, control, static_cast<int>(value));
}

}  // namespace

void ShowStatusText(const std::string& text) {
    platform::SetCtrlVal(datapanel, ui::DATAP_STATUS, text);
    platform::SetCtrlVal(interfacepanel, ui::INTERFACEP_STATUS, text);
}

void InitAll() {
    anzpara = kRecordWords;
    anzframe = kTelegramWords;
    anzdata = kRecordWords;
    tcpcon = 0;
    sync = kSyncWord;
    order = kCodeParaWrite;
    target = RAM;
    poll = 0;
    statusDisplay = ShowStatusText;

    proj_dir = platform::GetProjectDir();
    const std::string configDir = platform::GetConfigDir();
    ipComboBoxFileName = platform::JoinPath(configDir, kHistoryFile);
    conSettingsFileName = platform::JoinPath(configDir, kSettingsFile);

    ShowLogo(kBrandVariant);
    GetPanelValues();

    connection::LoadAddressHistory();
    connection::GetConnectionSettingsFromFile();
    connection::InitConnectPanel();

    SetButtonsDimmed(1);
    connection::TryToConnect();
    SetButtonsDimmed(0);
}

void ShowChildPanel(int code) {
    const int buttons[] = {ui::MAINP_BUTTON_CONNECT, ui::MAINP_BUTTON_PARA,
                           ui::MAINP_BUTTON_RECORDER};
    for (int button : buttons)
        platform::SetCtrlAttribute(mainpanel, button, platform::ATTR_CMD_BUTTON_COLOR,
                                   kButtonColor);
    platform::HidePanel(interfacepanel);
    platform::HidePanel(parapanel);
    platform::HidePanel(recpanel);
    switch (code) {
        case kShowConnection:
            platform::SetCtrlAttribute(mainpanel, ui::MAINP_BUTTON_CONNECT,
                                       platform::ATTR_CMD_BUTTON_COLOR, kSelectedButtonColor);
            Dim(interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT, true);
            platform::DisplayPanel(interfacepanel);
            break;
        case kShowParameters:
            platform::SetCtrlAttribute(mainpanel, ui::MAINP_BUTTON_PARA,
                                       platform::ATTR_CMD_BUTTON_COLOR, kSelectedButtonColor);
            platform::DisplayPanel(parapanel);
            break;
        case kShowRecorder:
            platform::SetCtrlAttribute(mainpanel, ui::MAINP_BUTTON_RECORDER,
                                       platform::ATTR_CMD_BUTTON_COLOR, kSelectedButtonColor);
            platform::DisplayPanel(recpanel);
            break;
        default:
            break;
    }
}

void SetButtonsDimmed(int dimmed) {
    for (const PanelControl& c : kExchangeControls) Dim(*c.panel, c.control, dimmed != 0);
    platform::ProcessSystemEvents();
}

void GetPanelValues() {
    for (const ParameterControl& c : kParameterControls)
        platform::GetCtrlVal(parapanel, c.control, *c.value);
}

void SetPanelValues() {
    for (const ParameterControl& c : kParameterControls) SetRingOrNumber(c.control, *c.value);
}

void InitPanelCtrlAttr() {
    InitPowerMode();
    InitThresholdTracing();
}

void InitPowerMode() {
    platform::GetCtrlVal(parapanel, ui::PARAP_PMODE, paraPmode);
    if (paraPmode > 1) return;
    const bool dynamic = paraPmode == 1;
    Dim(parapanel, ui::PARAP_POWER, dynamic);
    Dim(parapanel, ui::PARAP_DYNWINLO, !dynamic);
    Dim(parapanel, ui::PARAP_DYNWINHI, !dynamic);
}

void InitThresholdTracing() {
    platform::GetCtrlVal(parapanel, ui::PARAP_TRSHTRACING, paraTrshTracing);
    if (paraTrshTracing > 1) return;
    const bool tracing = paraTrshTracing == 1;
    Dim(parapanel, ui::PARAP_TRACINGUP, !tracing);
    Dim(parapanel, ui::PARAP_TRACINGDOWN, !tracing);
    Dim(parapanel, ui::PARAP_TEACHVALUE, tracing);
    Dim(parapanel, ui::PARAP_BUTTON_TEACH, tracing);
}

void SetPanelData() {
    platform::SetCtrlVal(datapanel, ui::DATAP_RAW, static_cast<int>(dataANA0));
    platform::SetCtrlVal(datapanel, ui::DATAP_TEMP, static_cast<int>(dataTemp));
    platform::SetCtrlVal(datapanel, ui::DATAP_REF, static_cast<int>(dataRef));
    // The LED is lit exactly when the switching output is at +24 V.
    const bool lit = paraOutmode == 0 ? dataOutTol != 0 : dataOutTol == 0;
    platform::SetCtrlVal(datapanel, ui::DATAP_LED_OUT, lit ? 1 : 0);
    graph::InitGraphBuffers();
}

}  // namespace shell
