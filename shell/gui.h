#pragma once
// The entry point and the control callbacks of the main, parameter and data panels.

namespace shell {

// Start-up and shutdown: returns the process exit code (0, or -1 when the platform or a panel
// cannot be set up).
int WinMain(int argc, char** argv);

// Registers the panel resources and every module's callbacks, loads the six panels, places
// them and shows the parameter panel and the data panel. 0, or -1 on failure. Used by
// WinMain and by tests that bring the program up without its event loop.
int LoadPanels();

// Panel callbacks.
int CBF_MAINP(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
int CBF_PARAP(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);
int CBF_DATAP(int panel, int control, int event, void* callbackData, int eventData1,
              int eventData2);

// Control callbacks.
int CBF_GridCtt(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
int CBF_ButtonPara(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CBF_ButtonSend(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CBF_ButtonGet(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int CBF_ButtonGo(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int CBF_ButtonStop(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CBF_ButtonTeach(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
int CBF_SelectRAM(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int CBF_SelectEEPROM(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
int CBF_SelectFILE(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CBF_SlidePower(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);
int CBF_EditPmode(int panel, int control, int event, void* callbackData, int eventData1,
                  int eventData2);
int CBF_EditDynWinLoHi(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int CBF_EditAverage(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
int CBF_EditOutmode(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
int CBF_EditHold(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int CBF_EditThresholdMode(int panel, int control, int event, void* callbackData, int eventData1,
                          int eventData2);
int CBF_EditThresholdTracing(int panel, int control, int event, void* callbackData, int eventData1,
                             int eventData2);
int CBF_EditThresholdTracingUP(int panel, int control, int event, void* callbackData,
                               int eventData1, int eventData2);
int CBF_EditThresholdTracingDown(int panel, int control, int event, void* callbackData,
                                 int eventData1, int eventData2);
int CBF_EditTeachValue(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int CBF_EditTolerance(int panel, int control, int event, void* callbackData, int eventData1,
                      int eventData2);
int CBF_EditHysteresis(int panel, int control, int event, void* callbackData, int eventData1,
                       int eventData2);
int CBF_DispRaw(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
int CBF_DispRef(int panel, int control, int event, void* callbackData, int eventData1,
                int eventData2);
int CBF_DispTemp(int panel, int control, int event, void* callbackData, int eventData1,
                 int eventData2);
int CBF_LedOut(int panel, int control, int event, void* callbackData, int eventData1,
               int eventData2);
int CBF_DispStatus(int panel, int control, int event, void* callbackData, int eventData1,
                   int eventData2);

void RegisterCallbacks();

}   // namespace shell
