#pragma once
// The connection-settings panel: choosing RS-232 or TCP/IP, the connection attempt, the
// stored settings ("ComSettings.cfg") and the server-address history ("IPComboBox.cfg").
#include <cstdint>
#include <string>

#include "core/configfiles.h"

namespace connection {

// The two configuration files in the program's directory (kSettingsFile: core/configfiles.h).
constexpr const char* kHistoryFile = "IPComboBox.cfg";
inline std::string ipComboBoxFileName;
inline std::string conSettingsFileName;

inline std::string portNumStr;        // TCP port number as typed, at most 31 characters
inline uint16_t comprotocolold = 0;   // what the panel showed when it was last opened
inline uint16_t comportold = 0;
inline std::string ipBufOld;
inline std::string portNumStrOld;

// A history file that cannot be written is reported once per run.
inline bool historyWriteFailureReported = false;
// Opening the panel re-reads the system's serial ports; tests that put their own ports into
// the table turn this off.
inline bool refreshPortTableOnOpen = true;

constexpr int kHistoryEntries = 10;
constexpr int kHistoryFrameColor = 0xE0E0E0;   // frame colour of the server address box
constexpr int kSensorIdMaxChars = 99;

void LoadAddressHistory();   // the combo box and its list at start-up
void GetConnectionSettingsFromFile();
void InitConnectPanel();
void TryToConnect();
void SaveCommunicationSettings();

// Lists the serial port table in the serial port selector ("n  device  description", value
// n) and selects port `selected`; a number the table does not have is listed as not present.
void FillSerialPortSelector(int selected);

// Control callbacks of the connection-settings panel and the main panel's button for it.
int CBF_ButtonConnect(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2);
int CBF_ButtonTryToConnect(int panel, int control, int event, void* callbackData, int eventData1,
                           int eventData2);
int CBF_ButtonAccept(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
int CBF_ButtonDiscard(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2);
int CBF_EditCommunicationProtocol(int panel, int control, int event, void* callbackData,
                                  int eventData1, int eventData2);
int CBF_EditSelectComPort(int panel, int control, int event, void* callbackData, int eventData1,
                          int eventData2);
int CBF_StringIpAdress(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int CBF_StringPortNumber(int panel, int control, int event, void* callbackData, int eventData1,
                         int eventData2);
int CBF_EditID(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int CBF_INTERFACEP(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);

// Binds the callbacks above to their names (before the panels are loaded).
void RegisterCallbacks();

}   // namespace connection
