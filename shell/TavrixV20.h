#pragma once
// The application module: start-up defaults, the link's hooks into the panels, and the
// parameter panel as the view of the parameter values.

namespace shell {

void InitAll();   // defaults, paths, banner, history, settings, first attempt
// Lets the link reach the panels: status displays, the connection settings after a failed
// exchange, the parameter panel, the data panel and strip chart, the accept button.
void InstallLinkHooks();

// Parameter panel.
void GetPanelValues();      // the fourteen parameter controls -> parameter values
void SetPanelValues();      // parameter values -> the fourteen controls
void InitPanelCtrlAttr();   // InitPowerMode, then InitThresholdTracing
void InitPowerMode();
void InitThresholdTracing();
void SetPanelData();   // latest frame -> data panel and strip-chart history

}   // namespace shell
