#pragma once
// The application module: start-up defaults, the panel handles, switching the child panels,
// dimming around blocking operations, and the parameter panel as the view of the parameter
// values.
#include <string>

namespace shell {

// Panel handles (from platform::LoadPanel).
inline int mainpanel = 0;
inline int parapanel = 0;
inline int datapanel = 0;
inline int interfacepanel = 0;
inline int recpanel = 0;
inline int graphpanel = 0;

// The program's directory and the two configuration files in it.
inline std::string proj_dir;
inline std::string ipComboBoxFileName;
inline std::string conSettingsFileName;
constexpr const char* kHistoryFile = "IPComboBox.cfg";
constexpr const char* kSettingsFile = "ComSettings.cfg";

// Child-panel codes of ShowChildPanel.
constexpr int kShowConnection = 1;
constexpr int kShowParameters = 2;
constexpr int kShowRecorder = 3;

// Colours of the child-panel buttons: the selected one and the others.
constexpr int kSelectedButtonColor = 0xC0C0C0;
constexpr int kButtonColor = 0xE0E0E0;

// Places of the child panels in the main panel (top, left).
constexpr int kChildPanelTop = 93;
constexpr int kChildPanelLeft = 8;
constexpr int kDataPanelTop = 63;
constexpr int kDataPanelLeft = 288;

void InitAll();                     // defaults, paths, banner, history, settings, first attempt
void ShowChildPanel(int code);      // 1 connection settings, 2 parameters, 3 recorder
void SetButtonsDimmed(int dimmed);  // the twelve controls that must not start a second exchange

// Parameter panel.
void GetPanelValues();              // the fourteen parameter controls -> parameter values
void SetPanelValues();              // parameter values -> the fourteen controls
void InitPanelCtrlAttr();           // InitPowerMode, then InitThresholdTracing
void InitPowerMode();
void InitThresholdTracing();
void SetPanelData();                // latest frame -> data panel and strip-chart history

// Writes a text into both status displays (data panel and connection-settings panel).
void ShowStatusText(const std::string& text);

}  // namespace shell
