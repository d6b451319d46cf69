// The help texts, one definition each. Long texts are split at their line breaks; the
// blanks around them belong to the texts.
#include "ui/helptexts.h"

#include "platform/platform.h"

namespace ui {

// Parameters and commands.
const char* const InfoButtonPara = "Switch to sensor parameters.";
const char* const InfoButtonSend =
    "All the parameters of the PC-User-Interface are transferred to the sensor or to a "
    "selectable file. \n"
    "The target of the parameter transfer is determined by the select button (RAM, EEPROM, "
    "FILE). \n"
    "\n"
    "Shortcut Key: F9. ";
const char* const InfoButtonGet =
    "Sensor or file parameters are transferred to the PC-User-Interface. \n"
    "The source of the parameter transfer is determined by the select button (RAM, EEPROM, "
    "FILE). \n"
    "\n"
    "Shortcut Key: F10. ";
const char* const InfoButtonGo =
    "Starts data transfer from sensor to PC. \n"
    "\n"
    "Shortcut Key: F11. ";
const char* const InfoButtonStop =
    "Stops data transfer from sensor to PC. \n"
    "\n"
    "Shortcut Key: F12. ";
const char* const InfoButtonTeach =
    "Assign current RAW signal to TEACH VALUE. \n"
    "Push SEND to update sensor.";
const char* const InfoSelectMEM =
    "Select source respectively the \n"
    "target for the parameter transfer.";
const char* const InfoEditPower =
    "Select the intensity of the transmitter LED. \n"
    "0 = no intensity,  1000 = full intensity.";
const char* const InfoEditPmod =
    "Select the operating mode of the transmitter unit. \n"
    "\n"
    "STAT: \n"
    "Transmitter power is constantly kept at the POWER-SLIDER value. \n"
    "\n"
    "DYN : \n"
    "Transmitter power is dynamically tuned in accordance with the amount of radiation  \n"
    "which is is detected at the receiver. Sensor should not exceed the dynamic range. \n"
    "The dynamic range can be selected with DYN WIN LO and DYN WIN HI.";
const char* const InfoEditDynWinLoHi =
    "Select a window for dynamic regaluation \n"
    "if POWER MODE = DYNAMIC.";
const char* const InfoEditAverage =
    "Select the number of scanning values (measured values) \n"
    "over which the raw signal is averaged (meanvalue!).";
const char* const InfoEditOutmode =
    "Select how to set the output. \n"
    "DIRECT  : Output is HIGH (+24V), if the signal is within the tolerance. \n"
    "INVERSE : Output is LOW  (0V),   if the signal is within the tolerance.";
const char* const InfoEditHold =
    "Select the minimum pulse length \n"
    "when a digital output changes.";
const char* const InfoEditThresholdMode =
    "Select a treshold mode. \n"
    "\n"
    "LOW: Output changes when RAW signal (green line) goes lower than switching threshold "
    "(red Line) \n"
    "or higher than switching hysteresis (black dashed line). \n"
    "\n"
    "HI: Output changes when RAW signal (green line) goes higher than switching threshold "
    "(red Line) \n"
    "or lower than switching hysteresis (black dashed line). \n"
    "\n"
    "WIN: Output changes when RAW signal (green line) leaves switching threshold window "
    "(red Line) \n"
    "or returns into switching hysteresis window (black dashed line). ";
const char* const InfoEditThresholdTracing = "Enable or disable treshold tracing.";
const char* const InfoEditThresholdTracingUP =
    "Select a time delay for \n"
    "threshold tracing Up. \n"
    "Range goes from 0 to 60000. \n"
    "Resolution is 10 Microseconds per step.";
const char* const InfoEditThresholdTracingDown =
    "Select a time delay for \n"
    "threshold tracing Down. \n"
    "Range goes from 0 to 60000. \n"
    "Resolution is 10 Microseconds per step.";
const char* const InfoEditTeachValue =
    "Teach value is reference value REF (blue dashed line) for \n"
    "switching threshold calculation when THRESHOLD TRACING = OFF. \n"
    "When THRESHOLD TRACING = ON. Reference REF (blue dashed line) is calculated "
    "automatically. \n"
    "\n"
    "If THRESHOLD MODE = LOW: \n"
    "Switching threshold = REF-TOLERANCE (red Line) \n"
    "Switching hysteresis = REF-TOLERANCE+HYSTERESIS (black dashed line) \n"
    "\n"
    "If THRESHOLD MODE = HI:  \n"
    "Switching threshold = REF+TOLERANCE (red Line) \n"
    "Switching hysteresis = REF+TOLERANCE-HYSTERESIS (black dashed line) \n"
    "\n"
    "If THRESHOLD MODE = WIN: \n"
    "Lower switching threshold = REF-TOLERANCE (red Line) \n"
    "Lower switching hysteresis = REF-TOLERANCE+HYSTERESIS (black dashed line) \n"
    "Upper switching threshold = REF+TOLERANCE (red Line) \n"
    "Upper switching hysteresis = REF+TOLERANCE-HYSTERESIS (black dashed line)";
const char* const InfoEditTolerance =
    "Select a TOLERANCE for switching \n"
    "threshold calculation (red line).";
const char* const InfoEditHysteresis =
    "Select a HYSTERESIS for switching \n"
    "hysteresis calculation (black dashed line).";

// Live values.
const char* const InfoDispRaw =
    "Displays the intensity of the raw signal \n"
    "currently arriving at the receiver (green line). ";
const char* const InfoDispRef =
    "Displays the reference value for \n"
    "switching threshold calculation (blue line). ";
const char* const InfoDispTemp =
    "Displays actual temperature in the sensor. \n"
    " Not in °C !";
const char* const InfoLedOut =
    "Displays the status of the output. \n"
    "Led OFF (black): Output is 0V. \n"
    "Led ON (orange): Output is +24V.";

// Strip chart and signal graphs.
const char* const InfoGraph =
    "Displays the intensity of the raw signal currently arriving at the receiver (green "
    "line), \n"
    "the reference value for switching threshold calculation (blue dashed line), \n"
    "the switching threshold (red line) and the switching hysteresis (black dashed line). \n"
    "\n"
    "Left mouse double click on the Y-AXIS starts an auto zoom. \n"
    "Left mouse click scales the Y-AXIS fix.";
const char* const InfoButtonShowGraph = " Switch to a graphical display for each signal.";
const char* const InfoGraphPanel = " Displays the signals selected with SIGNAL. ";
const char* const InfoEditSignal = " Select Signal to be displayed in the graph. ";
const char* const InfoButtonClosePanel = " Close PANEL and return to MAIN PANEL. ";
const char* const InfoButtonSaveChart = " Save the strip chart as a PNG picture. ";
const char* const InfoButtonSaveGraph = " Save the graph shown as a PNG picture. ";

// Recorder.
const char* const InfoButtonOpenRecorder = " Switch to data recorder.";
const char* const InfoEditSelDataRec = " Select how to record data frame. ";
const char* const InfoButtonSelRecFile = " Select a record file for data save. ";
const char* const InfoDisRecFile = " Shows the path of the record file. ";
const char* const InfoButtonStartRecord = " Start data record. ";
const char* const InfoButtonStopRecord = " Stop data record.";
const char* const InfoButtonManualRecord =
    " Record one frame manually \n"
    " and append to existing file. ";
const char* const InfoEditInterval =
    " Choose a interval in secondes for recording. \n"
    " Minimum interval is 1 second. ";
const char* const InfoEditRecVal = " Choose how many data frames should be recorded. ";
const char* const InfoDispRecordTime =
    " Displays the time for recording \n"
    " when all VALUES will be recorded.";
const char* const InfoDispRecordedValues = " Displays how many values are already recorded.";
const char* const InfoDispRemaining = " Displays how many values remain to be recorded.";

// Connection settings.
const char* const InfoButtonConnect = " Switch to connection settings.";
const char* const InfoEditCommunicationProtocol = " Select RS232 or TCP/IP Interface. ";
const char* const InfoEditConnect = "Select a serial COM-PORT.";
const char* const InfoStringIpAdress = " Select a Server by name or IP address.";
const char* const InfoStringPortNumber = " Select a port number.";
const char* const InfoButtonTryToConnect = " Try to connect sensor.";
const char* const InfoButtonAccept =
    " Accept settings for communication \n"
    " and switch to parapanel. ";
const char* const InfoButtonDiscard =
    " Adjust old settings \n"
    " and switch to parapanel. ";
const char* const InfoEditID =
    " Insert sensor identification. \n"
    " This ID will be displayed in some panels of the software.";
const char* const InfoStatus = "Displays interface status.";

bool ShowHelpOnRightClick(int event, const char* text) {
    if (event != platform::EVENT_RIGHT_CLICK) return false;
    platform::MessagePopup(platform::kInfoTitle, text);
    return true;
}

}   // namespace ui
