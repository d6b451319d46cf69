#pragma once
// The application module: start-up defaults, the link's hooks into the panels, and the
// parameter panel as the view of the parameter values.
#include <cstdint>

namespace shell {

void InitAll();   // defaults, paths, banner, history, settings, first attempt
// Lets the link reach the panels: status displays, the connection settings after a failed
// exchange, the parameter panel, the data panel and strip chart, the accept button.
void InstallLinkHooks();

// Parameter panel.
void GetPanelValues();   // the fourteen parameter controls -> parameter values
void SetPanelValues();   // parameter values -> the fourteen controls
// One value into a parameter control, widening its limits or listing it in a ring as needed,
// so that it is shown and sent back unchanged.
void SetRingOrNumber(int control, uint16_t value);
void InitPanelCtrlAttr();   // InitPowerMode, then InitThresholdTracing
void InitPowerMode();
void InitThresholdTracing();
void SetPanelData();   // latest frame -> data panel and strip-chart history

}   // namespace shell
