#pragma once
// The record file (choosing it, its header, one line per frame) and the recorder panel with
// its four modes: timed, continuous, manual and triggered.
#include <cstdint>

namespace recorder {

// Record-mode selector values.
constexpr int kModeTimed = 0;
constexpr int kModeContinuous = 1;
constexpr int kModeManual = 2;
constexpr int kModeTriggered = 3;
constexpr int kModeCount = 4;

// Colours of a Start button: while its recording runs, and otherwise.
constexpr int kRecordingColor = 0xFF0000;
constexpr int kIdleColor = 0xE0E0E0;

// The file dialog of the record file.
constexpr const char* kRecordFileName = "record.dat";
constexpr const char* kRecordFileFilter = "*.dat";
constexpr const char* kRecordFileTitle = "FILENAME!";

// Box texts.
constexpr const char* kNoFileText = "No filename was choosen! \nRecording will not be done! ";
constexpr const char* kFileExistsText =
    "File already exist! \nDo you want to select existing file?";
constexpr const char* kConfirmFileText =
    "Are you sure, that you have selected the right file name?";
constexpr const char* kSavedText = "File has been saved!";
// The three reminders differ only in the run of blanks before the line break.
constexpr const char* kReminderExistingFile =   // choosing an existing file
    " Make sure, that the file is not opened by any other program.                                 "
    "   \n Otherwise it can not be saved.";
constexpr const char* kReminderInterval =   // before a timed or continuous recording
    " Make sure, that the file is not opened by any other program.                                 "
    " \n Otherwise it can not be saved.";
constexpr const char* kReminderTriggered =   // before a triggered recording
    " Make sure, that the file is not opened by any other program.                                 "
    "         \n Otherwise it can not be saved.";

inline uint16_t zeitint = 0;    // interval, whole seconds
inline uint16_t anzwerte = 0;   // frames of a timed recording
inline uint16_t reczeit = 0;    // days, hours, minutes, seconds on their way to the displays
inline uint16_t otcrec = 0;     // frames recorded in a timed recording; manual records
inline double recstart = 0.0;   // start of the current pass, seconds

// Lines of the current recording written to the record file, and whether a line could not be
// written: the first such line ends the recording.
inline uint64_t linesWritten = 0;
inline bool lineLost = false;

// Record file. The header and each line are written whole or not at all.
void SelRecFile();
bool WriteFileHeader();
// Appends one line. A line that cannot be written ends the recording (`poll` = 0, as Stop
// does) and sets lineLost; the result is false then.
bool ToFile();

// Recorder panel. The recordings write to file_name, which their callbacks take from the
// record-file box.
void InitRecordPanel();
void CalcRecTime();
void Record();
void RecordFrame();
void SlowDown();
void TriggeredRecord();
void RecordManually();

// Control and panel callbacks.
int CBF_ButtonRecorder(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int CBF_EditSelectDataRec(int panel, int control, int event, void* callbackData, int eventData1,
                          int eventData2);
int CBF_EditInterval(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
int CBF_EditRecVal(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CBF_ButtonStartRecord(int panel, int control, int event, void* callbackData, int eventData1,
                          int eventData2);
int CBF_ButtonStopRecord(int panel, int control, int event, void* callbackData, int eventData1,
                         int eventData2);
int CBF_ButtonStartTrigRec(int panel, int control, int event, void* callbackData, int eventData1,
                           int eventData2);
int CBF_ButtonStopTrigRec(int panel, int control, int event, void* callbackData, int eventData1,
                          int eventData2);
int CBF_ButtonManualRecord(int panel, int control, int event, void* callbackData, int eventData1,
                           int eventData2);
int CBF_ButtonSelRecFile(int panel, int control, int event, void* callbackData, int eventData1,
                         int eventData2);
int CBF_DispRecFile(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
int CBF_DispRecordTime(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int CBF_DispRecordedValues(int panel, int control, int event, void* callbackData, int eventData1,
                           int eventData2);
int CBF_DispRemaining(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2);
int CBF_RECP(int panel, int control, int event, void* callbackData, int eventData1, int eventData2);

void RegisterCallbacks();

}   // namespace recorder
