// The help texts word for word, and the right-click helper that shows them. That every control
// answers a real right click with its text is proven by the program-level help tests.
#include "platform/platform.h"
#include "ui/helptexts.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>
#include <string_view>

namespace {

using namespace shell;

struct HelpText {
    const char* name;
    const char* actual;    // the program's constant
    const char* expected;  // the text as the user must read it
};

// Typed from the texts the user reads; "\n" is a line break, blanks at either end count.
const HelpText kTexts[] = {
    {"InfoButtonPara", InfoButtonPara,
     "Switch to sensor parameters."},
    {"InfoButtonSend", InfoButtonSend,
     "All the parameters of the PC-User-Interface are transferred to the sensor or to a selectable file. \nThe target of the parameter transfer is determined by the select button (RAM, EEPROM, FILE). \n\nShortcut Key: F9. "},
    {"InfoButtonGet", InfoButtonGet,
     "Sensor or file parameters are transferred to the PC-User-Interface. \nThe source of the parameter transfer is determined by the select button (RAM, EEPROM, FILE). \n\nShortcut Key: F10. "},
    {"InfoButtonGo", InfoButtonGo,
     "Starts data transfer from sensor to PC. \n\nShortcut Key: F11. "},
    {"InfoButtonStop", InfoButtonStop,
     "Stops data transfer from sensor to PC. \n\nShortcut Key: F12. "},
    {"InfoButtonTeach", InfoButtonTeach,
     "Assign current RAW signal to TEACH VALUE. \nPush SEND to update sensor."},
    {"InfoSelectMEM", InfoSelectMEM,
     "Select source respectively the \ntarget for the parameter transfer."},
    {"InfoEditPower", InfoEditPower,
     "Select the intensity of the transmitter LED. \n0 = no intensity,  1000 = full intensity."},
    {"InfoEditPmod", InfoEditPmod,
     "Select the operating mode of the transmitter unit. \n\nSTAT: \nTransmitter power is constantly kept at the POWER-SLIDER value. \n\nDYN : \nTransmitter power is dynamically tuned in accordance with the amount of radiation  \nwhich is is detected at the receiver. Sensor should not exceed the dynamic range. \nThe dynamic range can be selected with DYN WIN LO and DYN WIN HI."},
    {"InfoEditDynWinLoHi", InfoEditDynWinLoHi,
     "Select a window for dynamic regaluation \nif POWER MODE = DYNAMIC."},
    {"InfoEditAverage", InfoEditAverage,
     "Select the number of scanning values (measured values) \nover which the raw signal is averaged (meanvalue!)."},
    {"InfoEditOutmode", InfoEditOutmode,
     "Select how to set the output. \nDIRECT  : Output is HIGH (+24V), if the signal is within the tolerance. \nINVERSE : Output is LOW  (0V),   if the signal is within the tolerance."},
    {"InfoEditHold", InfoEditHold,
     "Select the minimum pulse length \nwhen a digital output changes."},
    {"InfoEditThresholdMode", InfoEditThresholdMode,
     "Select a treshold mode. \n\nLOW: Output changes when RAW signal (green line) goes lower than switching threshold (red Line) \nor higher than switching hysteresis (black dashed line). \n\nHI: Output changes when RAW signal (green line) goes higher than switching threshold (red Line) \nor lower than switching hysteresis (black dashed line). \n\nWIN: Output changes when RAW signal (green line) leaves switching threshold window (red Line) \nor returns into switching hysteresis window (black dashed line). "},
    {"InfoEditThresholdTracing", InfoEditThresholdTracing,
     "Enable or disable treshold tracing."},
    {"InfoEditThresholdTracingUP", InfoEditThresholdTracingUP,
     "Select a time delay for \nthreshold tracing Up. \nRange goes from 0 to 60000. \nResolution is 10 Microseconds per step."},
    {"InfoEditThresholdTracingDown", InfoEditThresholdTracingDown,
     "Select a time delay for \nthreshold tracing Down. \nRange goes from 0 to 60000. \nResolution is 10 Microseconds per step."},
    {"InfoEditTeachValue", InfoEditTeachValue,
     "Teach value is reference value REF (blue dashed line) for \nswitching threshold calculation when THRESHOLD TRACING = OFF. \nWhen THRESHOLD TRACING = ON. Reference REF (blue dashed line) is calculated automatically. \n\nIf THRESHOLD MODE = LOW: \nSwitching threshold = REF-TOLERANCE (red Line) \nSwitching hysteresis = REF-TOLERANCE+HYSTERESIS (black dashed line) \n\nIf THRESHOLD MODE = HI:  \nSwitching threshold = REF+TOLERANCE (red Line) \nSwitching hysteresis = REF+TOLERANCE-HYSTERESIS (black dashed line) \n\nIf THRESHOLD MODE = WIN: \nLower switching threshold = REF-TOLERANCE (red Line) \nLower switching hysteresis = REF-TOLERANCE+HYSTERESIS (black dashed line) \nUpper switching threshold = REF+TOLERANCE (red Line) \nUpper switching hysteresis = REF+TOLERANCE-HYSTERESIS (black dashed line)"},
    {"InfoEditTolerance", InfoEditTolerance,
     "Select a TOLERANCE for switching \nthreshold calculation (red line)."},
    {"InfoEditHysteresis", InfoEditHysteresis,
     "Select a HYSTERESIS for switching \nhysteresis calculation (black dashed line)."},
    {"InfoDispRaw", InfoDispRaw,
     "Displays the intensity of the raw signal \ncurrently arriving at the receiver (green line). "},
    {"InfoDispRef", InfoDispRef,
     "Displays the reference value for \nswitching threshold calculation (blue line). "},
    {"InfoDispTemp", InfoDispTemp,
     "Displays actual temperature in the sensor. \n Not in \xC2\xB0" "C !"},
    {"InfoLedOut", InfoLedOut,
     "Displays the status of the output. \nLed OFF (black): Output is 0V. \nLed ON (orange): Output is +24V."},
    {"InfoGraph", InfoGraph,
     "Displays the intensity of the raw signal currently arriving at the receiver (green line), \nthe reference value for switching threshold calculation (blue dashed line), \nthe switching threshold (red line) and the switching hysteresis (black dashed line). \n\nLeft mouse double click on the Y-AXIS starts an auto zoom. \nLeft mouse click scales the Y-AXIS fix."},
    {"InfoButtonShowGraph", InfoButtonShowGraph,
     " Switch to a graphical display for each signal."},
    {"InfoGraphPanel", InfoGraphPanel,
     " Displays the signals selected with SIGNAL. "},
    {"InfoEditSignal", InfoEditSignal,
     " Select Signal to be displayed in the graph. "},
    {"InfoButtonClosePanel", InfoButtonClosePanel,
     " Close PANEL and return to MAIN PANEL. "},
    {"InfoButtonOpenRecorder", InfoButtonOpenRecorder,
     " Switch to data recorder."},
    {"InfoEditSelDataRec", InfoEditSelDataRec,
     " Select how to record data frame. "},
    {"InfoButtonSelRecFile", InfoButtonSelRecFile,
     " Select a record file for data save. "},
    {"InfoDisRecFile", InfoDisRecFile,
     " Shows the path of the record file. "},
    {"InfoButtonStartRecord", InfoButtonStartRecord,
     " Start data record. "},
    {"InfoButtonStopRecord", InfoButtonStopRecord,
     " Stop data record."},
    {"InfoButtonManualRecord", InfoButtonManualRecord,
     " Record one frame manually \n and append to existing file. "},
    {"InfoEditInterval", InfoEditInterval,
     " Choose a interval in secondes for recording. \n Minimum interval is 1 second. "},
    {"InfoEditRecVal", InfoEditRecVal,
     " Choose how many data frames should be recorded. "},
    {"InfoDispRecordTime", InfoDispRecordTime,
     " Displays the time for recording \n when all VALUES will be recorded."},
    {"InfoDispRecordedValues", InfoDispRecordedValues,
     " Displays how many values are already recorded."},
    {"InfoDispRemaining", InfoDispRemaining,
     " Displays how many values remain to be recorded."},
    {"InfoButtonConnect", InfoButtonConnect,
     " Switch to connection settings."},
    {"InfoEditCommunicationProtocol", InfoEditCommunicationProtocol,
     " Select RS232 or TCP/IP Interface. "},
    {"InfoEditConnect", InfoEditConnect,
     "Select a serial COM-PORT."},
    {"InfoStringIpAdress", InfoStringIpAdress,
     " Select a Server by name or IP address."},
    {"InfoStringPortNumber", InfoStringPortNumber,
     " Select a port number."},
    {"InfoButtonTryToConnect", InfoButtonTryToConnect,
     " Try to connect sensor."},
    {"InfoButtonAccept", InfoButtonAccept,
     " Accept settings for communication \n and switch to parapanel. "},
    {"InfoButtonDiscard", InfoButtonDiscard,
     " Adjust old settings \n and switch to parapanel. "},
    {"InfoEditID", InfoEditID,
     " Insert sensor identification. \n This ID will be displayed in some panels of the software."},
    {"InfoStatus", InfoStatus,
     "Displays interface status."},
};
constexpr std::size_t kTextCount = 51;
static_assert(std::size(kTexts) == kTextCount, "one row per help text");

TEST(HelpTexts, EveryTextIsExactlyAsWritten) {
    std::set<std::string_view> names;
    for (const HelpText& t : kTexts) {
        names.insert(t.name);
        ASSERT_NE(t.actual, nullptr) << t.name;
        EXPECT_EQ(std::string_view(t.actual), std::string_view(t.expected)) << t.name;
    }
    EXPECT_EQ(names.size(), kTextCount);
}

TEST(HelpTexts, OnlyARightClickShowsOneInfoBoxWithTheWholeText) {
    platform::SetPopupHandler([](const platform::PopupRecord&, std::string&) { return 1; });
    platform::ClearPopupLog();
    for (int event : {platform::EVENT_NONE, platform::EVENT_COMMIT, platform::EVENT_VAL_CHANGED,
                      platform::EVENT_LEFT_CLICK, platform::EVENT_LEFT_DOUBLE_CLICK,
                      platform::EVENT_KEYPRESS, platform::EVENT_GOT_FOCUS,
                      platform::EVENT_LOST_FOCUS, platform::EVENT_CLOSE}) {
        EXPECT_FALSE(ShowHelpOnRightClick(event, InfoButtonGo)) << "event " << event;
    }
    EXPECT_TRUE(platform::PopupLog().empty());
    EXPECT_TRUE(ShowHelpOnRightClick(platform::EVENT_RIGHT_CLICK, InfoDispTemp));
    ASSERT_EQ(platform::PopupLog().size(), 1u);
    EXPECT_EQ(platform::PopupLog()[0].kind, platform::PopupRecord::Message);
    EXPECT_EQ(platform::PopupLog()[0].title, "INFO!");
    EXPECT_EQ(platform::PopupLog()[0].text, std::string(InfoDispTemp));
    platform::SetPopupHandler({});
}

}  // namespace
