#include "shell/gui.h"

#include "connection/connection.h"
#include "graph/graph.h"
#include "link/exchanges.h"
#include "platform/platform.h"
#include "recorder/recorder.h"
#include "shell/TavrixV20.h"
#include "shell/helptexts.h"
#include "ui/TavrixV20.h"

namespace shell {

using namespace sensorlink;

namespace {

constexpr int kExitFailure = -1;

// Runs one blocking operation with the exchange controls dimmed.
template <typename Operation>
void Dimmed(Operation operation) {
    SetButtonsDimmed(1);
    operation();
    SetButtonsDimmed(0);
}

// The three selector toggles and the target each stands for.
struct Selector {
    int control;
    uint16_t target;
};
const Selector kSelectors[] = {{ui::MAINP_SELECT_RAM, RAM},
                               {ui::MAINP_SELECT_EEPROM, EEPROM},
                               {ui::MAINP_SELECT_FILE, DATFILE}};

// A toggle switched on selects its target and switches the other two off; a toggle switched
// off falls back to RAM, so that exactly one stays on.
int SelectorChanged(int control, int event) {
    if (ShowHelpOnRightClick(event, InfoSelectMEM)) return 0;
    if (event != platform::EVENT_VAL_CHANGED) return 0;
    int on = 0;
    platform::GetCtrlVal(mainpanel, control, on);
    if (on == 1) {
        for (const Selector& s : kSelectors) {
            if (s.control == control)
                target = s.target;
            else
                platform::SetCtrlVal(mainpanel, s.control, 0);
        }
    } else {
        target = RAM;
        platform::SetCtrlVal(mainpanel, ui::MAINP_SELECT_RAM, 1);
    }
    return 0;
}

}  // namespace

// ---- Start-up and shutdown

int LoadPanels() {
    ui::RegisterPanelResources();
    RegisterCallbacks();
    graph::RegisterCallbacks();
    recorder::RegisterCallbacks();
    connection::RegisterCallbacks();

    if ((mainpanel = platform::LoadPanel(0, ui::MAINP)) < 0) return kExitFailure;
    if ((parapanel = platform::LoadPanel(mainpanel, ui::PARAP)) < 0) return kExitFailure;
    if ((datapanel = platform::LoadPanel(mainpanel, ui::DATAP)) < 0) return kExitFailure;
    if ((interfacepanel = platform::LoadPanel(mainpanel, ui::INTERFACEP)) < 0) return kExitFailure;
    if ((recpanel = platform::LoadPanel(mainpanel, ui::RECP)) < 0) return kExitFailure;
    if ((graphpanel = platform::LoadPanel(mainpanel, ui::GRAPHP)) < 0) return kExitFailure;

    platform::SetPanelPos(parapanel, kChildPanelTop, kChildPanelLeft);
    platform::SetPanelPos(interfacepanel, kChildPanelTop, kChildPanelLeft);
    platform::SetPanelPos(recpanel, kChildPanelTop, kChildPanelLeft);
    platform::SetPanelPos(datapanel, kDataPanelTop, kDataPanelLeft);
    platform::SetPanelPos(graphpanel, kDataPanelTop, kDataPanelLeft);

    graph::InitCharts();
    ShowChildPanel(kShowParameters);
    platform::DisplayPanel(datapanel);
    platform::DisplayPanel(mainpanel);
    return 0;
}

int WinMain(int argc, char** argv) {
    if (platform::InitPlatform(argc, argv) < 0) return kExitFailure;
    if (LoadPanels() < 0) return kExitFailure;
    InitAll();
    platform::RunUserInterface();
    if (tcpcon != 0) {
        platform::DisconnectFromTCPServer(static_cast<unsigned>(g_hconversation));
        tcpcon = 0;
    }
    platform::DiscardPanel(mainpanel);
    return 0;
}

// ---- Panel callbacks

int CBF_MAINP(int, int, int event, void*, int, int) {
    if (event == platform::EVENT_CLOSE) {
        poll = 0;
        platform::QuitUserInterface(0);
    }
    return 0;
}

int CBF_PARAP(int, int, int, void*, int, int) { return 0; }

int CBF_DATAP(int, int, int, void*, int, int) { return 0; }

// ---- Main panel

int CBF_GridCtt(int, int control, int event, void*, int, int) {
    if (event == platform::EVENT_VAL_CHANGED) {
        poll = 0;
        int on = 0;
        platform::GetCtrlVal(datapanel, control, on);
        graph::ShowGridLines(on != 0);
    }
    return 0;
}

int CBF_ButtonPara(int, int, int event, void*, int, int) {
    if (ShowHelpOnRightClick(event, InfoButtonPara)) return 0;
    if (event == platform::EVENT_COMMIT) ShowChildPanel(kShowParameters);
    return 0;
}

int CBF_ButtonSend(int, int, int event, void*, int, int) {
    if (ShowHelpOnRightClick(event, InfoButtonSend)) return 0;
    if (event == platform::EVENT_COMMIT)
        Dimmed([] { target == DATFILE ? SendParaToFile() : SendPara(); });
    return 0;
}

int CBF_ButtonGet(int, int, int event, void*, int, int) {
    if (ShowHelpOnRightClick(event, InfoButtonGet)) return 0;
    if (event == platform::EVENT_COMMIT)
        Dimmed([] { target == DATFILE ? ReadParaFromFile() : GetPara(); });
    return 0;
}

int CBF_ButtonGo(int, int, int event, void*, int, int) {
    if (ShowHelpOnRightClick(event, InfoButtonGo)) return 0;
    if (event == platform::EVENT_COMMIT)
        Dimmed([] {
            GetPanelValues();
            GetData();
        });
    return 0;
}

int CBF_ButtonStop(int, int, int event, void*, int, int) {
    if (ShowHelpOnRightClick(event, InfoButtonStop)) return 0;
    if (event == platform::EVENT_COMMIT) poll = 0;
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
    if (ShowHelpOnRightClick(event, InfoButtonTeach)) return 0;
    if (event == platform::EVENT_COMMIT)
        platform::SetCtrlVal(parapanel, ui::PARAP_TEACHVALUE, static_cast<int>(dataANA0));
    return 0;
}

int CBF_EditPmode(int, int, int event, void*, int, int) {
    if (ShowHelpOnRightClick(event, InfoEditPmod)) return 0;
    if (event == platform::EVENT_COMMIT) InitPowerMode();
    return 0;
}

int CBF_EditThresholdTracing(int, int, int event, void*, int, int) {
    if (ShowHelpOnRightClick(event, InfoEditThresholdTracing)) return 0;
    if (event == platform::EVENT_COMMIT) InitThresholdTracing();
    return 0;
}

// The other parameter controls keep their value until the next GetPanelValues; their
// callbacks only explain them.
int CBF_SlidePower(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoEditPower);
    return 0;
}

int CBF_EditDynWinLoHi(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoEditDynWinLoHi);
    return 0;
}

int CBF_EditAverage(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoEditAverage);
    return 0;
}

int CBF_EditOutmode(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoEditOutmode);
    return 0;
}

int CBF_EditHold(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoEditHold);
    return 0;
}

int CBF_EditThresholdMode(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoEditThresholdMode);
    return 0;
}

int CBF_EditThresholdTracingUP(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoEditThresholdTracingUP);
    return 0;
}

int CBF_EditThresholdTracingDown(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoEditThresholdTracingDown);
    return 0;
}

int CBF_EditTeachValue(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoEditTeachValue);
    return 0;
}

int CBF_EditTolerance(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoEditTolerance);
    return 0;
}

int CBF_EditHysteresis(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoEditHysteresis);
    return 0;
}

// ---- Data panel indicators

int CBF_DispRaw(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoDispRaw);
    return 0;
}

int CBF_DispRef(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoDispRef);
    return 0;
}

int CBF_DispTemp(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoDispTemp);
    return 0;
}

int CBF_LedOut(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoLedOut);
    return 0;
}

int CBF_DispStatus(int, int, int event, void*, int, int) {
    ShowHelpOnRightClick(event, InfoStatus);
    return 0;
}

void RegisterCallbacks() {
    const struct {
        const char* name;
        platform::CtrlCallbackPtr fn;
    } callbacks[] = {
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
    };
    for (const auto& c : callbacks) platform::RegisterCallback(c.name, c.fn);
}

}  // namespace shell
