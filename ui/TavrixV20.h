#pragma once
// Panel resources of the program and the ids of their controls. A panel handle comes from
// platform::LoadPanel(parent, resource id); a control id below names one control of that
// panel in every platform call. The Designer forms (ui/*.ui) hold the widgets; the table in
// TavrixV20.cpp binds each id to its widget's objectName and to its callback's name.

namespace ui {

// Panel resource ids.
enum PanelResource : int {
    MAINP = 1,        // the main window
    PARAP = 2,        // sensor parameters
    DATAP = 3,        // live values, output LED, strip chart, interface status
    INTERFACEP = 4,   // connection settings
    RECP = 5,         // data recorder
    GRAPHP = 6,       // per-signal graphs of recorded frames
};

// Main panel.
enum MainPanelControl : int {
    MAINP_BUTTON_CONNECT = 1,   // CBF_ButtonConnect: connection-settings button
    MAINP_BUTTON_PARA,          // CBF_ButtonPara: parameters button
    MAINP_BUTTON_RECORDER,      // CBF_ButtonRecorder: recorder button
    MAINP_SELECT_RAM,           // CBF_SelectRAM: toggle
    MAINP_SELECT_EEPROM,        // CBF_SelectEEPROM: toggle
    MAINP_SELECT_FILE,          // CBF_SelectFILE: toggle
    MAINP_BUTTON_SEND,          // CBF_ButtonSend, F9
    MAINP_BUTTON_GET,           // CBF_ButtonGet, F10
    MAINP_BUTTON_GO,            // CBF_ButtonGo, F11
    MAINP_BUTTON_STOP,          // CBF_ButtonStop, F12
    MAINP_BANNER,               // decoration behind the title
    MAINP_LOGO,                 // picture
};

// Parameter panel.
enum ParaPanelControl : int {
    PARAP_POWER = 1,      // CBF_SlidePower: slider 0..1000
    PARAP_PMODE,          // CBF_EditPmode: ring STAT 0 / DYN 1
    PARAP_DYNWINLO,       // CBF_EditDynWinLoHi
    PARAP_DYNWINHI,       // CBF_EditDynWinLoHi
    PARAP_AVERAGE,        // CBF_EditAverage
    PARAP_OUTMODE,        // CBF_EditOutmode: ring DIRECT 0 / INVERSE 1
    PARAP_HOLD,           // CBF_EditHold
    PARAP_TRSHMODE,       // CBF_EditThresholdMode: ring LOW 0 / HI 1 / WIN 2
    PARAP_TRSHTRACING,    // CBF_EditThresholdTracing: ring OFF 0 / ON 1
    PARAP_TRACINGUP,      // CBF_EditThresholdTracingUP: 0..60000
    PARAP_TRACINGDOWN,    // CBF_EditThresholdTracingDown: 0..60000
    PARAP_TEACHVALUE,     // CBF_EditTeachValue
    PARAP_TOLERANCE,      // CBF_EditTolerance
    PARAP_HYSTERESIS,     // CBF_EditHysteresis
    PARAP_BUTTON_TEACH,   // CBF_ButtonTeach
};

// Data panel.
enum DataPanelControl : int {
    DATAP_RAW = 1,            // CBF_DispRaw: numeric display
    DATAP_REF,                // CBF_DispRef: numeric display
    DATAP_TEMP,               // CBF_DispTemp: numeric display
    DATAP_LED_OUT,            // CBF_LedOut: output LED
    DATAP_STRIPCHART,         // CBF_GraphANA0: strip chart
    DATAP_LEGEND,             // CBF_GraphData1: legend of the strip chart's traces
    DATAP_GRID,               // CBF_GridCtt: grid lines of the strip chart on/off
    DATAP_BUTTON_SHOWGRAPH,   // CBF_ButtonShowGraph
    DATAP_STATUS,             // CBF_DispStatus: interface status display
    DATAP_COMPORT,            // serial port display (number)
    DATAP_IPADDRESS,          // server address display (text)
    DATAP_BUTTON_SAVECHART,   // CBF_ButtonSaveChart: saves the strip chart as a PNG picture
};

// Connection-settings panel.
enum InterfacePanelControl : int {
    INTERFACEP_PROTOCOL = 1,     // CBF_EditCommunicationProtocol: ring RS232 0 / TCP/IP 1
    INTERFACEP_COMPORT,          // CBF_EditSelectComPort: ring of port numbers
    INTERFACEP_IPADDRESS,        // CBF_StringIpAdress: string, made an editable combo box
    INTERFACEP_PORTNUMBER,       // CBF_StringPortNumber: string, at most 31 characters
    INTERFACEP_BUTTON_TRY,       // CBF_ButtonTryToConnect
    INTERFACEP_BUTTON_ACCEPT,    // CBF_ButtonAccept
    INTERFACEP_BUTTON_DISCARD,   // CBF_ButtonDiscard
    INTERFACEP_STATUS,           // CBF_DispStatus: connection status display
    INTERFACEP_SENSOR_ID,        // CBF_EditID: string, at most 99 characters
};

// Recorder panel.
enum RecPanelControl : int {
    RECP_MODE = 1,   // CBF_EditSelectDataRec: ring timed 0 / continuous 1 / manual 2 / triggered 3
    RECP_INTERVAL,   // CBF_EditInterval: seconds
    RECP_RECVAL,     // CBF_EditRecVal: frame count
    RECP_DAYS,       // CBF_DispRecordTime
    RECP_HOURS,      // CBF_DispRecordTime
    RECP_MINUTES,    // CBF_DispRecordTime
    RECP_SECONDS,    // CBF_DispRecordTime
    RECP_RECORDTIME_FRAME,   // decoration framing the record-time group
    RECP_RECORDED,           // CBF_DispRecordedValues
    RECP_REMAINING,          // CBF_DispRemaining
    RECP_PROGRESS,           // progress of a timed recording (recorded of total)
    RECP_RUNNING_COUNT,      // frames recorded so far, continuous and triggered
    RECP_BUTTON_START,       // CBF_ButtonStartRecord
    RECP_BUTTON_STOP,        // CBF_ButtonStopRecord
    RECP_BUTTON_TRIGSTART,   // CBF_ButtonStartTrigRec
    RECP_BUTTON_TRIGSTOP,    // CBF_ButtonStopTrigRec
    RECP_BUTTON_MANUAL,      // CBF_ButtonManualRecord
    RECP_BUTTON_SELFILE,     // CBF_ButtonSelRecFile
    RECP_FILE,               // CBF_DispRecFile: text box, line 0 = record file path
    RECP_SENSOR_ID,          // sensor ID display
};

// Graph panel.
enum GraphPanelControl : int {
    GRAPHP_SIGNAL = 1,         // CBF_EditSignal: ring raw 0 / temperature 1
    GRAPHP_RAW,                // raw signal number display
    GRAPHP_TEMP,               // temperature number display
    GRAPHP_GRAPH_RAW,          // CBF_PanelGraphGraph: XY graph of the raw signal
    GRAPHP_GRAPH_TEMP,         // CBF_PanelGraphGraph: XY graph of the temperature
    GRAPHP_BUTTON_CLOSE,       // CBF_ButtonGpClose
    GRAPHP_BUTTON_SAVEGRAPH,   // CBF_ButtonSaveGraph: saves the graph shown as a PNG picture
};

// Registers the six panel resources with the platform layer (call before LoadPanel).
void RegisterPanelResources();

}   // namespace ui
