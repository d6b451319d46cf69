#pragma once
// The connection-settings panel: choosing RS-232 or TCP/IP, the connection attempt, the
// stored settings ("ComSettings.cfg") and the server-address history ("IPComboBox.cfg").
#include <cstdint>
#include <string>

namespace connection {

inline std::string portNumStr;        // TCP port number as typed, at most 31 characters
inline uint16_t comprotocolold = 0;   // what the panel showed when it was last opened
inline uint16_t comportold = 0;
inline std::string ipBufOld;
inline std::string portNumStrOld;

constexpr int kHistoryEntries = 10;

void LoadAddressHistory();            // the combo box and its list at start-up
void GetConnectionSettingsFromFile();
void InitConnectPanel();
void TryToConnect();
void SaveCommunicationSettings();

void RegisterCallbacks();

}  // namespace connection
