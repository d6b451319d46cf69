#pragma once
// The six panel handles and what is done to the panels as a whole: switching the child panel
// shown in the main panel, dimming the controls that must not start a second exchange, and
// the two status displays.
#include <string>

namespace ui {

// Panel handles (from platform::LoadPanel).
inline int mainpanel = 0;
inline int parapanel = 0;
inline int datapanel = 0;
inline int interfacepanel = 0;
inline int recpanel = 0;
inline int graphpanel = 0;

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

void ShowChildPanel(int code);       // 1 connection settings, 2 parameters, 3 recorder
void SetButtonsDimmed(int dimmed);   // the twelve controls that must not start a second exchange

// Writes a text into both status displays (data panel and connection-settings panel).
void ShowStatusText(const std::string& text);

}   // namespace ui
