#pragma once
// The conversations with the sensor that the user starts: parameter write and read (RAM or
// EEPROM), the GO polling loop, the identification after a connection, the echo check, the
// one failure handling, and the parameter file. Each runs synchronously inside the callback
// that started it and keeps the panels live while it waits.
#include <cstdint>
#include <string>

#include "link/com232.h"

namespace sensorlink {

// Source or target of a parameter transfer, chosen with the RAM/EEPROM/FILE selector.
constexpr uint16_t RAM = 1;
constexpr uint16_t EEPROM = 2;
constexpr uint16_t DATFILE = 3;
inline uint16_t target = RAM;

inline uint16_t comecho = 0;   // 1 after a good echo or parameter read, 0 after a failure
constexpr int kVersionLength = 36;
inline char version[kVersionLength + 1] = {};   // identification text of the sensor
inline std::string file_name;                   // path chosen in the last file dialog
// Where the file dialogs start: the program's directory, or the user's documents folder when no
// file can be created in the program's directory (an installed program).
inline std::string proj_dir;

// Time limits and pauses, seconds.
constexpr double kReplyLimitS = 3.0;   // parameter, EEPROM and data exchanges
constexpr double kIdentifyLimitSerialS = 3.0;
constexpr double kIdentifyLimitTcpS = 5.0;
constexpr double kIdentifyPauseS = 0.1;      // before the identification request
constexpr double kEepromStorePauseS = 0.5;   // after the EEPROM store exchange
constexpr int kPollSleepMs = 10;             // after each pass of the GO loop
constexpr double kStreamQuietS = 0.05;       // silence that ends a triggered frame

// Parameter file dialog.
constexpr const char* kParameterFileName = "Parameter.ini";
constexpr const char* kParameterFileFilter = "*.ini";
constexpr const char* kParameterFileTitle = "Parameter";

void CheckEcho(int words);   // awaits an echo and compares bytes 2 .. 2*words-1
void SetPopupTimeout();      // the failure handling of every exchange
void SendPara();             // SEND to RAM, or RAM then EEPROM
void GetPara();              // GET from RAM, or EEPROM load then read
void Befehl3plus4();         // the parameter read proper (code 3 already packed)
void GetData();              // the GO loop
void GetDataFrame();         // packs and sends a data request; outcome in bytesToRead
void CheckComLine();         // identification, then the parameter read
void SendParaToFile();       // SEND with FILE selected
void ReadParaFromFile();     // GET with FILE selected
// Reads the parameter file at `path` into words; false and the reason when it is missing,
// too large, unreadable or not a parameter file.
bool ReadParameterFile(const std::string& path, uint16_t words[kRecordWords], std::string& reason);

// Triggered data: the trigger command after stale bytes are dropped, then frames as the
// sensor sends them, each whole in szReadBuf (AwaitTriggeredFrame returns 0) until poll
// becomes 0; StopTriggeredData drops what still arrives.
void StartTriggeredData();
int32_t AwaitTriggeredFrame();
void StopTriggeredData();

// A busy pause that keeps processing events.
void Pause(double seconds);

}   // namespace sensorlink
