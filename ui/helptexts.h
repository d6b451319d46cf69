#pragma once
// The right-click help texts of the controls and the one helper through which every control
// callback shows them. A right click on a control opens a modal "INFO!" box with its text and
// does nothing else. The texts are kept exactly as the user has always read them, including
// their blanks and spellings.

namespace ui {

// Parameters and commands.
extern const char* const InfoButtonPara;
extern const char* const InfoButtonSend;
extern const char* const InfoButtonGet;
extern const char* const InfoButtonGo;
extern const char* const InfoButtonStop;
extern const char* const InfoButtonTeach;
extern const char* const InfoSelectMEM;   // the RAM, EEPROM and FILE selector buttons
extern const char* const InfoEditPower;
extern const char* const InfoEditPmod;
extern const char* const InfoEditDynWinLoHi;
extern const char* const InfoEditAverage;
extern const char* const InfoEditOutmode;
extern const char* const InfoEditHold;
extern const char* const InfoEditThresholdMode;
extern const char* const InfoEditThresholdTracing;
extern const char* const InfoEditThresholdTracingUP;
extern const char* const InfoEditThresholdTracingDown;
extern const char* const InfoEditTeachValue;
extern const char* const InfoEditTolerance;
extern const char* const InfoEditHysteresis;

// Live values.
extern const char* const InfoDispRaw;
extern const char* const InfoDispRef;
extern const char* const InfoDispTemp;
extern const char* const InfoLedOut;

// Strip chart and signal graphs.
extern const char* const InfoGraph;   // the strip chart and the further graph control
extern const char* const InfoButtonShowGraph;
extern const char* const InfoGraphPanel;
extern const char* const InfoEditSignal;
extern const char* const InfoButtonClosePanel;
extern const char* const InfoButtonSaveChart;   // SAVE PNG of the data panel
extern const char* const InfoButtonSaveGraph;   // SAVE PNG of the graph panel

// Recorder.
extern const char* const InfoButtonOpenRecorder;
extern const char* const InfoEditSelDataRec;
extern const char* const InfoButtonSelRecFile;
extern const char* const InfoDisRecFile;
extern const char* const InfoButtonStartRecord;   // Start of both the interval and trigger modes
extern const char* const InfoButtonStopRecord;    // Stop of both the interval and trigger modes
extern const char* const InfoButtonManualRecord;
extern const char* const InfoEditInterval;
extern const char* const InfoEditRecVal;
extern const char* const InfoDispRecordTime;
extern const char* const InfoDispRecordedValues;
extern const char* const InfoDispRemaining;

// Connection settings.
extern const char* const InfoButtonConnect;
extern const char* const InfoEditCommunicationProtocol;
extern const char* const InfoEditConnect;
extern const char* const InfoStringIpAdress;
extern const char* const InfoStringPortNumber;
extern const char* const InfoButtonTryToConnect;
extern const char* const InfoButtonAccept;
extern const char* const InfoButtonDiscard;
extern const char* const InfoEditID;
extern const char* const InfoStatus;

// Shows `text` in a modal "INFO!" box when `event` is a right click and returns true; returns
// false for every other event. A control callback starts with
//     if (ShowHelpOnRightClick(event, InfoButtonGo)) return 0;
// so that a right click never reaches the control's own action.
bool ShowHelpOnRightClick(int event, const char* text);

}   // namespace ui
