#include "shell/gui.h"

#include "connection/connection.h"
#include "graph/graph.h"
#include "link/exchanges.h"
#include "link/transport.h"
#include "platform/platform.h"
#include "recorder/recorder.h"
#include "shell/TavrixV20.h"
#include "ui/TavrixV20.h"
#include "ui/helptexts.h"
#include "ui/panels.h"

namespace shell {

namespace sl = sensorlink;

namespace {

constexpr int kExitFailure = -1;

// Runs one blocking operation with the exchange controls dimmed.
template <typename Operation>
void Dimmed(Operation operation) {
    ui::SetButtonsDimmed(1);
    operation();
    ui::SetButtonsDimmed(0);
}

// The three selector toggles and the target each stands for.
struct Selector {
    int m_control;
    uint16_t m_target;
};
const Selector kSelectors[] = {{ui::MAINP_SELECT_RAM, sl::RAM},
                               {ui::MAINP_SELECT_EEPROM, sl::EEPROM},
                               {ui::MAINP_SELECT_FILE, sl::DATFILE}};

// A toggle switched on selects its target and switches the other two off; a toggle switched
// off falls back to RAM, so that exactly one stays on.
int SelectorChanged(int control, int event) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoSelectMEM)) return 0;
    if (event != platform::EVENT_VAL_CHANGED) return 0;
    int on = 0;
    platform::GetCtrlVal(ui::mainpanel, control, on);
    if (on == 1) {
        for (const Selector& s : kSelectors) {
            if (s.m_control == control)
                sl::target = s.m_target;
            else
                platform::SetCtrlVal(ui::mainpanel, s.m_control, 0);
        }
    } else {
        sl::target = sl::RAM;
        platform::SetCtrlVal(ui::mainpanel, ui::MAINP_SELECT_RAM, 1);
    }
    return 0;
}

}   // namespace

// ---- Start-up and shutdown

int LoadPanels() {
    ui::RegisterPanelResources();
    RegisterCallbacks();
    graph::RegisterCallbacks();
    recorder::RegisterCallbacks();
    connection::RegisterCallbacks();

    if ((ui::mainpanel = platform::LoadPanel(0, ui::MAINP)) < 0) return kExitFailure;
    if ((ui::parapanel = platform::LoadPanel(ui::mainpanel, ui::PARAP)) < 0) return kExitFailure;
    if ((ui::datapanel = platform::LoadPanel(ui::mainpanel, ui::DATAP)) < 0) return kExitFailure;
    if ((ui::interfacepanel = platform::LoadPanel(ui::mainpanel, ui::INTERFACEP)) < 0)
        return kExitFailure;
    if ((ui::recpanel = platform::LoadPanel(ui::mainpanel, ui::RECP)) < 0) return kExitFailure;
    if ((ui::graphpanel = platform::LoadPanel(ui::mainpanel, ui::GRAPHP)) < 0) return kExitFailure;

    platform::SetPanelPos(ui::parapanel, ui::kChildPanelTop, ui::kChildPanelLeft);
    platform::SetPanelPos(ui::interfacepanel, ui::kChildPanelTop, ui::kChildPanelLeft);
    platform::SetPanelPos(ui::recpanel, ui::kChildPanelTop, ui::kChildPanelLeft);
    platform::SetPanelPos(ui::datapanel, ui::kDataPanelTop, ui::kDataPanelLeft);
    platform::SetPanelPos(ui::graphpanel, ui::kDataPanelTop, ui::kDataPanelLeft);

    graph::InitCharts();
    ui::ShowChildPanel(ui::kShowParameters);
    platform::DisplayPanel(ui::datapanel);
    platform::DisplayPanel(ui::mainpanel);
    return 0;
}

int WinMain(int argc, char** argv) {
    if (platform::InitPlatform(argc, argv) < 0) return kExitFailure;
    if (LoadPanels() < 0) return kExitFailure;
    InitAll();
    platform::RunUserInterface();
    sl::CloseTransports();
    platform::DiscardPanel(ui::mainpanel);
    return 0;
}

// ---- Panel callbacks

int CBF_MAINP(int, int, int event, void*, int, int) {
    if (event == platform::EVENT_CLOSE) {
        sl::poll = 0;
        platform::QuitUserInterface(0);
    }
    return 0;
}

int CBF_PARAP(int, int, int, void*, int, int) { return 0; }

int CBF_DATAP(int, int, int, void*, int, int) { return 0; }

// ---- Main panel

int CBF_GridCtt(int, int control, int event, void*, int, int) {
    if (event == platform::EVENT_VAL_CHANGED) {
        sl::poll = 0;
        int on = 0;
        platform::GetCtrlVal(ui::datapanel, control, on);
        graph::ShowGridLines(on != 0);
    }
    return 0;
}

int CBF_ButtonPara(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonPara)) return 0;
    if (event == platform::EVENT_COMMIT) ui::ShowChildPanel(ui::kShowParameters);
    return 0;
}

int CBF_ButtonSend(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonSend)) return 0;
    if (event == platform::EVENT_COMMIT)
        Dimmed([] { sl::target == sl::DATFILE ? sl::SendParaToFile() : sl::SendPara(); });
    return 0;
}

int CBF_ButtonGet(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonGet)) return 0;
    if (event == platform::EVENT_COMMIT)
        Dimmed([] { sl::target == sl::DATFILE ? sl::ReadParaFromFile() : sl::GetPara(); });
    return 0;
}

int CBF_ButtonGo(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonGo)) return 0;
    if (event == platform::EVENT_COMMIT)
        Dimmed([] {
            GetPanelValues();
            sl::GetData();
        });
    return 0;
}

int CBF_ButtonStop(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonStop)) return 0;
    if (event == platform::EVENT_COMMIT) sl::poll = 0;
    return 0;
}

int CBF_SelectRAM(int, int control, int event, void*, int, int) {
    return SelectorChanged(control, event);
}

int CBF_SelectEEPROM(int, int control, int event, void*, int, int) {
    return SelectorChanged(control, event);
}

int CBF_SelectFILE(int, int control, int event, void*, int, int) {
    return SelectorChanged(control, event);
}

// ---- Parameter panel

int CBF_ButtonTeach(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonTeach)) return 0;
    if (event == platform::EVENT_COMMIT) SetRingOrNumber(ui::PARAP_TEACHVALUE, sl::dataANA0);
    return 0;
}

int CBF_EditPmode(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoEditPmod)) return 0;
    if (event == platform::EVENT_COMMIT) InitPowerMode();
    return 0;
}

int CBF_EditThresholdTracing(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoEditThresholdTracing)) return 0;
    if (event == platform::EVENT_COMMIT) InitThresholdTracing();
    return 0;
}

// The other parameter controls keep their value until the next GetPanelValues; their
// callbacks only explain them.
int CBF_SlidePower(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoEditPower);
    return 0;
}

int CBF_EditDynWinLoHi(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoEditDynWinLoHi);
    return 0;
}

int CBF_EditAverage(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoEditAverage);
    return 0;
}

int CBF_EditOutmode(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoEditOutmode);
    return 0;
}

int CBF_EditHold(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoEditHold);
    return 0;
}

int CBF_EditThresholdMode(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoEditThresholdMode);
    return 0;
}

int CBF_EditThresholdTracingUP(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoEditThresholdTracingUP);
    return 0;
}

int CBF_EditThresholdTracingDown(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoEditThresholdTracingDown);
    return 0;
}

int CBF_EditTeachValue(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoEditTeachValue);
    return 0;
}

int CBF_EditTolerance(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoEditTolerance);
    return 0;
}

int CBF_EditHysteresis(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoEditHysteresis);
    return 0;
}

// ---- Data panel indicators

int CBF_DispRaw(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoDispRaw);
    return 0;
}

int CBF_DispRef(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoDispRef);
    return 0;
}

int CBF_DispTemp(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoDispTemp);
    return 0;
}

int CBF_LedOut(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoLedOut);
    return 0;
}

int CBF_DispStatus(int, int, int event, void*, int, int) {
    ui::ShowHelpOnRightClick(event, ui::InfoStatus);
    return 0;
}

void RegisterCallbacks() {
    platform::RegisterCallbacks({
        {"CBF_MAINP", CBF_MAINP},
        {"CBF_PARAP", CBF_PARAP},
        {"CBF_DATAP", CBF_DATAP},
        {"CBF_GridCtt", CBF_GridCtt},
        {"CBF_ButtonPara", CBF_ButtonPara},
        {"CBF_ButtonSend", CBF_ButtonSend},
        {"CBF_ButtonGet", CBF_ButtonGet},
        {"CBF_ButtonGo", CBF_ButtonGo},
        {"CBF_ButtonStop", CBF_ButtonStop},
        {"CBF_ButtonTeach", CBF_ButtonTeach},
        {"CBF_SelectRAM", CBF_SelectRAM},
        {"CBF_SelectEEPROM", CBF_SelectEEPROM},
        {"CBF_SelectFILE", CBF_SelectFILE},
        {"CBF_SlidePower", CBF_SlidePower},
        {"CBF_EditPmode", CBF_EditPmode},
        {"CBF_EditDynWinLoHi", CBF_EditDynWinLoHi},
        {"CBF_EditAverage", CBF_EditAverage},
        {"CBF_EditOutmode", CBF_EditOutmode},
        {"CBF_EditHold", CBF_EditHold},
        {"CBF_EditThresholdMode", CBF_EditThresholdMode},
        {"CBF_EditThresholdTracing", CBF_EditThresholdTracing},
        {"CBF_EditThresholdTracingUP", CBF_EditThresholdTracingUP},
        {"CBF_EditThresholdTracingDown", CBF_EditThresholdTracingDown},
        {"CBF_EditTeachValue", CBF_EditTeachValue},
        {"CBF_EditTolerance", CBF_EditTolerance},
        {"CBF_EditHysteresis", CBF_EditHysteresis},
        {"CBF_DispRaw", CBF_DispRaw},
        {"CBF_DispRef", CBF_DispRef},
        {"CBF_DispTemp", CBF_DispTemp},
        {"CBF_LedOut", CBF_LedOut},
        {"CBF_DispStatus", CBF_DispStatus},
    });
}

}   // namespace shell
