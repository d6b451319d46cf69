// The panel resources: each panel widget is built from its Designer form, and each control id
// of TavrixV20.h is bound to its widget's objectName and to the name of its callback.
#include "ui/TavrixV20.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>

#include "ui/Anchors.h"
#include "ui/PowerSlider.h"
#include "ui/TavrixV20Panels.h"
#include "ui_DataPanel.h"
#include "ui_GraphPanel.h"
#include "ui_InterfacePanel.h"
#include "ui_MainPanel.h"
#include "ui_ParaPanel.h"
#include "ui_RecPanel.h"

// The logo bitmaps are compiled into this static library; Qt must be told of them at run
// time, from outside any namespace.
static void InitLogoResources() { Q_INIT_RESOURCE(TavrixV20); }

namespace ui {
namespace {

// Shows, hides, enables and dims a companion widget (a caption, the POWER value box) together
// with the control it belongs to, so the program only has to handle the control itself.
class FollowControl : public QObject {
public:
    FollowControl(QWidget* control, QWidget* follower) : QObject(follower), m_follower(follower) {
        control->installEventFilter(this);
        Follow(control);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
        case QEvent::EnabledChange:
            Follow(static_cast<QWidget*>(watched));
            break;
        default:
            break;
        }
        return false;
    }

private:
    void Follow(const QWidget* control) {
        m_follower->setVisible(!control->isHidden());
        m_follower->setEnabled(control->isEnabled());
    }

    QWidget* m_follower = nullptr;
};

// Every caption with a buddy follows that buddy.
void FollowCaptions(QWidget* panel) {
    for (QLabel* caption : panel->findChildren<QLabel*>()) {
        if (caption->buddy() != nullptr) new FollowControl(caption->buddy(), caption);
    }
}

// Ring items carry their position as value: 0, 1, 2, ...
void NumberItems(QComboBox* ring) {
    for (int i = 0; i < ring->count(); ++i) ring->setItemData(i, i);
}

// Ring items carry the number their text shows (serial port numbers).
void NumberItemsByText(QComboBox* ring) {
    for (int i = 0; i < ring->count(); ++i) ring->setItemData(i, ring->itemText(i).toInt());
}

template <class Form>
QWidget* BuildPanel(Form& form) {
    auto* panel = new QWidget;
    form.setupUi(panel);
    FollowCaptions(panel);
    new Anchors(panel);
    return panel;
}

QWidget* CreateMainPanel() {
    Ui::MainPanel form;
    return BuildPanel(form);
}

QWidget* CreateParaPanel() {
    Ui::ParaPanel form;
    QWidget* panel = BuildPanel(form);
    for (QComboBox* ring : {form.pmode, form.outmode, form.thresholdMode, form.thresholdTracing}) {
        NumberItems(ring);
    }
    form.power->setValueBox(form.powerValue);
    new FollowControl(form.power, form.powerValue);
    return panel;
}

QWidget* CreateDataPanel() {
    Ui::DataPanel form;
    return BuildPanel(form);
}

QWidget* CreateInterfacePanel() {
    Ui::InterfacePanel form;
    QWidget* panel = BuildPanel(form);
    NumberItems(form.protocol);
    NumberItemsByText(form.comPort);
    return panel;
}

QWidget* CreateRecPanel() {
    Ui::RecPanel form;
    QWidget* panel = BuildPanel(form);
    NumberItems(form.mode);
    return panel;
}

QWidget* CreateGraphPanel() {
    Ui::GraphPanel form;
    QWidget* panel = BuildPanel(form);
    NumberItems(form.signalSelect);
    return panel;
}

}   // namespace

const std::vector<platform::PanelDef>& PanelResources() {
    static const std::vector<platform::PanelDef> resources = {
        {MAINP,
         "MAINP",
         CreateMainPanel,
         "CBF_MAINP",
         {
             {MAINP_BUTTON_CONNECT, "buttonConnect", "CBF_ButtonConnect"},
             {MAINP_BUTTON_PARA, "buttonPara", "CBF_ButtonPara"},
             {MAINP_BUTTON_RECORDER, "buttonRecorder", "CBF_ButtonRecorder"},
             {MAINP_SELECT_RAM, "selectRam", "CBF_SelectRAM"},
             {MAINP_SELECT_EEPROM, "selectEeprom", "CBF_SelectEEPROM"},
             {MAINP_SELECT_FILE, "selectFile", "CBF_SelectFILE"},
             {MAINP_BUTTON_SEND, "buttonSend", "CBF_ButtonSend"},
             {MAINP_BUTTON_GET, "buttonGet", "CBF_ButtonGet"},
             {MAINP_BUTTON_GO, "buttonGo", "CBF_ButtonGo"},
             {MAINP_BUTTON_STOP, "buttonStop", "CBF_ButtonStop"},
             {MAINP_BANNER, "banner", ""},
             {MAINP_LOGO, "logo", ""},
         }},
        {PARAP,
         "PARAP",
         CreateParaPanel,
         "CBF_PARAP",
         {
             {PARAP_POWER, "power", "CBF_SlidePower"},
             {PARAP_PMODE, "pmode", "CBF_EditPmode"},
             {PARAP_DYNWINLO, "dynWinLo", "CBF_EditDynWinLoHi"},
             {PARAP_DYNWINHI, "dynWinHi", "CBF_EditDynWinLoHi"},
             {PARAP_AVERAGE, "average", "CBF_EditAverage"},
             {PARAP_OUTMODE, "outmode", "CBF_EditOutmode"},
             {PARAP_HOLD, "hold", "CBF_EditHold"},
             {PARAP_TRSHMODE, "thresholdMode", "CBF_EditThresholdMode"},
             {PARAP_TRSHTRACING, "thresholdTracing", "CBF_EditThresholdTracing"},
             {PARAP_TRACINGUP, "tracingUp", "CBF_EditThresholdTracingUP"},
             {PARAP_TRACINGDOWN, "tracingDown", "CBF_EditThresholdTracingDown"},
             {PARAP_TEACHVALUE, "teachValue", "CBF_EditTeachValue"},
             {PARAP_TOLERANCE, "tolerance", "CBF_EditTolerance"},
             {PARAP_HYSTERESIS, "hysteresis", "CBF_EditHysteresis"},
             {PARAP_BUTTON_TEACH, "buttonTeach", "CBF_ButtonTeach"},
         }},
        {DATAP,
         "DATAP",
         CreateDataPanel,
         "CBF_DATAP",
         {
             {DATAP_RAW, "dispRaw", "CBF_DispRaw"},
             {DATAP_REF, "dispRef", "CBF_DispRef"},
             {DATAP_TEMP, "dispTemp", "CBF_DispTemp"},
             {DATAP_LED_OUT, "ledOut", "CBF_LedOut"},
             {DATAP_STRIPCHART, "stripChart", "CBF_GraphANA0"},
             {DATAP_LEGEND, "legend", "CBF_GraphData1"},
             {DATAP_GRID, "grid", "CBF_GridCtt"},
             {DATAP_BUTTON_SHOWGRAPH, "buttonShowGraph", "CBF_ButtonShowGraph"},
             {DATAP_STATUS, "dispStatus", "CBF_DispStatus"},
             {DATAP_COMPORT, "dispComPort", ""},
             {DATAP_IPADDRESS, "dispIpAddress", ""},
             {DATAP_BUTTON_SAVECHART, "buttonSaveChart", "CBF_ButtonSaveChart"},
         }},
        {INTERFACEP,
         "INTERFACEP",
         CreateInterfacePanel,
         "CBF_INTERFACEP",
         {
             {INTERFACEP_PROTOCOL, "protocol", "CBF_EditCommunicationProtocol"},
             {INTERFACEP_COMPORT, "comPort", "CBF_EditSelectComPort"},
             {INTERFACEP_IPADDRESS, "ipAddress", "CBF_StringIpAdress"},
             {INTERFACEP_PORTNUMBER, "portNumber", "CBF_StringPortNumber"},
             {INTERFACEP_BUTTON_TRY, "buttonTryToConnect", "CBF_ButtonTryToConnect"},
             {INTERFACEP_BUTTON_ACCEPT, "buttonAccept", "CBF_ButtonAccept"},
             {INTERFACEP_BUTTON_DISCARD, "buttonDiscard", "CBF_ButtonDiscard"},
             {INTERFACEP_STATUS, "dispStatus", "CBF_DispStatus"},
             {INTERFACEP_SENSOR_ID, "sensorId", "CBF_EditID"},
         }},
        {RECP,
         "RECP",
         CreateRecPanel,
         "CBF_RECP",
         {
             {RECP_MODE, "mode", "CBF_EditSelectDataRec"},
             {RECP_INTERVAL, "interval", "CBF_EditInterval"},
             {RECP_RECVAL, "recVal", "CBF_EditRecVal"},
             {RECP_DAYS, "dispDays", "CBF_DispRecordTime"},
             {RECP_HOURS, "dispHours", "CBF_DispRecordTime"},
             {RECP_MINUTES, "dispMinutes", "CBF_DispRecordTime"},
             {RECP_SECONDS, "dispSeconds", "CBF_DispRecordTime"},
             {RECP_RECORDTIME_FRAME, "recordTimeFrame", ""},
             {RECP_RECORDED, "dispRecorded", "CBF_DispRecordedValues"},
             {RECP_REMAINING, "dispRemaining", "CBF_DispRemaining"},
             {RECP_PROGRESS, "progress", ""},
             {RECP_RUNNING_COUNT, "dispRunningCount", ""},
             {RECP_BUTTON_START, "buttonStart", "CBF_ButtonStartRecord"},
             {RECP_BUTTON_STOP, "buttonStop", "CBF_ButtonStopRecord"},
             {RECP_BUTTON_TRIGSTART, "buttonTrigStart", "CBF_ButtonStartTrigRec"},
             {RECP_BUTTON_TRIGSTOP, "buttonTrigStop", "CBF_ButtonStopTrigRec"},
             {RECP_BUTTON_MANUAL, "buttonManualRecord", "CBF_ButtonManualRecord"},
             {RECP_BUTTON_SELFILE, "buttonSelRecFile", "CBF_ButtonSelRecFile"},
             {RECP_FILE, "recordFile", "CBF_DispRecFile"},
             {RECP_SENSOR_ID, "dispSensorId", ""},
         }},
        {GRAPHP,
         "GRAPHP",
         CreateGraphPanel,
         "CBF_GRAPHP",
         {
             {GRAPHP_SIGNAL, "signalSelect", "CBF_EditSignal"},
             {GRAPHP_RAW, "dispRaw", ""},
             {GRAPHP_TEMP, "dispTemp", ""},
             {GRAPHP_GRAPH_RAW, "graphRaw", "CBF_PanelGraphGraph"},
             {GRAPHP_GRAPH_TEMP, "graphTemp", "CBF_PanelGraphGraph"},
             {GRAPHP_BUTTON_CLOSE, "buttonClose", "CBF_ButtonGpClose"},
             {GRAPHP_BUTTON_SAVEGRAPH, "buttonSaveGraph", "CBF_ButtonSaveGraph"},
         }},
    };
    return resources;
}

void RegisterPanelResources() {
    InitLogoResources();
    for (const platform::PanelDef& def : PanelResources()) platform::RegisterPanelResource(def);
}

}   // namespace ui
