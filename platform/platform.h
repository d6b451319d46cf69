#pragma once
// The run-time platform layer: panels and controls, pop-ups, the event loop, timing, serial
// ports, the TCP client and files. Everything above this layer calls these functions; only
// this layer (plus the panel widgets and the charts) includes Qt headers. Operations return a
// non-negative value on success and a negative failure code otherwise.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

class QWidget;

namespace platform {

// ---------------------------------------------------------------------------------------------
// Events and callbacks

enum Event : int {
    EVENT_NONE = 0,
    EVENT_COMMIT = 1,        // the user committed a value or pressed a button
    EVENT_VAL_CHANGED = 2,   // the value changed (each keystroke, each toggle)
    EVENT_LEFT_CLICK = 3,
    EVENT_LEFT_DOUBLE_CLICK = 4,
    EVENT_RIGHT_CLICK = 5,   // eaten by the layer: never reaches the widget itself
    EVENT_KEYPRESS = 6,      // eventData1 = key code (see the key constants below)
    EVENT_GOT_FOCUS = 7,
    EVENT_LOST_FOCUS = 8,
    EVENT_CLOSE = 9,   // panel close request (panel callbacks only)
};

// Control and panel callbacks have one shape. For a panel callback `control` is 0.
// For EVENT_KEYPRESS a non-zero result swallows the key.
using CtrlCallbackPtr = int (*)(int panel, int control, int event, void* callbackData,
                                int eventData1, int eventData2);

// Key codes of EVENT_KEYPRESS: a printable key gives its Unicode code point; other keys give a
// virtual-key code; kShiftModifier is or-ed in while Shift is held.
constexpr int kVKeyMask = 0x0000FFFF;
constexpr int kShiftModifier = 0x00010000;
constexpr int kKeyBackspace = 0x0000E008;
constexpr int kKeyTab = 0x0000E009;
constexpr int kKeyEnter = 0x0000E00D;
constexpr int kKeyEscape = 0x0000E01B;
constexpr int kKeySpace = 0x00000020;
constexpr int kKeyUp = 0x0000E026;
constexpr int kKeyDown = 0x0000E028;
constexpr int kKeyDelete = 0x0000E02E;
constexpr int kKeyF9 = 0x0000E078;
constexpr int kKeyF10 = 0x0000E079;
constexpr int kKeyF11 = 0x0000E07A;
constexpr int kKeyF12 = 0x0000E07B;

// Failure codes of the panel and control operations.
constexpr int kErrBadPanel = -60;       // no such panel handle
constexpr int kErrBadControl = -61;     // no such control id on that panel
constexpr int kErrBadAttribute = -62;   // attribute not available for this kind of control
constexpr int kErrBadValue = -63;       // value does not fit the control (wrong type, no such item)
constexpr int kErrLoadPanel = -64;      // the panel resource is unknown or could not be built

// Callbacks are bound by name, as the panel resources name them. Modules register theirs
// before the panels are loaded; a name without a registered function leaves that control
// without a callback.
struct NamedCallback {
    const char* m_name;
    CtrlCallbackPtr m_fn;
};
void RegisterCallbacks(std::initializer_list<NamedCallback> callbacks);
CtrlCallbackPtr FindCallback(const std::string& name);

// ---------------------------------------------------------------------------------------------
// Panel resources and panels

// One control of a panel resource: its id (an index into the panel's control table), the
// objectName of its widget in the Designer form, and the name of its callback ("" for none).
struct ControlDef {
    int id;
    const char* objectName;
    const char* callbackName;
};

// One panel resource: how to build its widget and which controls it has.
struct PanelDef {
    int resourceId;
    const char* name;           // resource name, e.g. "MAINP"
    QWidget* (*create)();       // builds the panel widget from its form
    const char* callbackName;   // panel callback ("" for none)
    std::vector<ControlDef> controls;
};
void RegisterPanelResource(const PanelDef& def);

// Builds the panel `resourceId`; parentPanel 0 makes a top-level window, otherwise a child
// placed inside that panel. Returns the panel handle (> 0) or kErrLoadPanel.
int LoadPanel(int parentPanel, int resourceId);
int DiscardPanel(int panel);   // also discards its child panels
int DisplayPanel(int panel);
int HidePanel(int panel);
int SetPanelPos(int panel, int top, int left);
int InstallPanelCallback(int panel, CtrlCallbackPtr fn, void* callbackData);
bool PanelVisible(int panel);

// Panel attributes (GetPanelAttribute).
enum PanelAttr : int { ATTR_PANEL_NUM_CTRLS = 1, ATTR_PANEL_TOP, ATTR_PANEL_LEFT };
int GetPanelAttribute(int panel, int attr, int& value);

// ---------------------------------------------------------------------------------------------
// Controls

int InstallCtrlCallback(int panel, int control, CtrlCallbackPtr fn, void* callbackData);
int GetCtrlCallback(int panel, int control, CtrlCallbackPtr& fn, void*& callbackData);

// Values. Numeric controls, rings (the value of the selected item), toggle buttons (0/1),
// LEDs (0/1), sliders, progress bars and numeric displays take integers; string controls,
// string displays and text boxes take text (SetCtrlVal on a text box appends). Setting a value
// never raises an event.
int GetCtrlVal(int panel, int control, int& value);
int GetCtrlVal(int panel, int control, uint16_t& value);   // clamped into 0..65535
int GetCtrlVal(int panel, int control, std::string& value);
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, const std::string& value);
int SetCtrlVal(int panel, int control, const char* value);

enum CtrlAttr : int {
    ATTR_DIMMED = 1,         // 0/1
    ATTR_VISIBLE,            // 0/1
    ATTR_CTRL_MODE,          // kModeHot (operable) or kModeIndicator (read-only)
    ATTR_CMD_BUTTON_COLOR,   // 0xRRGGBB
    ATTR_TEXT_COLOR,         // 0xRRGGBB
    ATTR_TEXT_BGCOLOR,       // 0xRRGGBB, or kTransparent
    ATTR_FRAME_COLOR,        // 0xRRGGBB
    ATTR_TEXT_POINT_SIZE,
    ATTR_TEXT_BOLD,      // 0/1
    ATTR_TEXT_FONT,      // string attribute: a font family name
    ATTR_LABEL_TEXT,     // string attribute: the caption of a button or label
    ATTR_TOOLTIP_TEXT,   // string attribute: the text shown when the pointer rests on it
    ATTR_TOP,
    ATTR_LEFT,
    ATTR_WIDTH,
    ATTR_HEIGHT,
    ATTR_MAX_ENTRY_LENGTH,        // string controls: -1 unlimited
    ATTR_TEXT_SELECTION_START,    // string controls
    ATTR_TEXT_SELECTION_LENGTH,   // string controls
    ATTR_CTRL_TAB_POSITION,       // 0-based position in the panel's tab order
    ATTR_IS_INDICATOR,            // get only: 1 for displays, decorations and pictures
    ATTR_MIN_VALUE,               // numeric controls, sliders, progress bars
    ATTR_MAX_VALUE,
};
constexpr int kModeHot = 1;
constexpr int kModeIndicator = 2;
constexpr int kTransparent = 0x1000000;

int SetCtrlAttribute(int panel, int control, int attr, int value);
int SetCtrlAttribute(int panel, int control, int attr, const std::string& value);
int GetCtrlAttribute(int panel, int control, int attr, int& value);
int GetCtrlAttribute(int panel, int control, int attr, std::string& value);

int SetActiveCtrl(int panel, int control);
int GetActiveCtrl(int panel);

// Creates a control at run time (top, left in the panel's coordinates) and returns its id.
enum CtrlStyle : int {
    CTRL_TEXT_MSG = 1,   // a text label
    CTRL_RING,           // a list button: a drop-down of text items
    CTRL_DECORATION,     // a framed box
};
int NewCtrl(int panel, int style, const std::string& label, int top, int left);
int DiscardCtrl(int panel, int control);

// Lists of rings (items carry a label and a text value).
int InsertListItem(int panel, int control, int index, const std::string& label,
                   const std::string& value);   // index -1 appends
int ReplaceListItem(int panel, int control, int index, const std::string& label,
                    const std::string& value);
int DeleteListItem(int panel, int control, int index, int count);   // count -1: to the end
int GetNumListItems(int panel, int control, int& count);
int GetIndexFromValue(int panel, int control, int& index, const std::string& value);   // -1 if none
int GetValueFromIndex(int panel, int control, int index, std::string& value);
// Opens the drop-down list of a ring as a space keystroke on it would.
int FakeKeystroke(int panel, int control, int key);

// Text boxes.
int GetTextBoxLine(int panel, int control, int line, std::string& text);
int ResetTextBox(int panel, int control, const std::string& text);

// Pictures.
int DisplayImageFile(int panel, int control, const std::string& path);

// The widget behind a control or panel, for the chart module and tests (nullptr if none).
QWidget* ControlWidget(int panel, int control);
QWidget* PanelWidget(int panel);

// ---------------------------------------------------------------------------------------------
// Pop-ups, behind one seam that tests script

struct PopupRecord {
    enum Kind { Message, Confirm, FileSelect } kind;
    std::string title;
    std::string text;   // for FileSelect: the default file name
};
// A handler answers a pop-up instead of a modal box: for Confirm non-zero = yes; for
// FileSelect the result code and, through `path`, the chosen path. The layer records every
// pop-up shown, scripted or not.
using PopupHandler = std::function<int(const PopupRecord&, std::string& path)>;
void SetPopupHandler(PopupHandler handler);   // empty: real modal boxes again
const std::vector<PopupRecord>& PopupLog();
void ClearPopupLog();

// Titles of the boxes: questions and warnings, and explanations.
constexpr const char* kAttentionTitle = "ATTENTION!";
constexpr const char* kInfoTitle = "INFO!";

int MessagePopup(const std::string& title, const std::string& text);
int ConfirmPopup(const std::string& title, const std::string& text);   // non-zero = yes
// 0 cancelled, 1 an existing file was chosen, 2 a new file name, negative on failure.
int FileSelectPopup(const std::string& directory, const std::string& defaultName,
                    const std::string& filter, const std::string& title, std::string& path);

// ---------------------------------------------------------------------------------------------
// Event loop and time

// Creates the application object if there is none. 0 on success, negative on failure.
int InitPlatform(int& argc, char** argv);
// The same without windows, for the command-line tool: the event loop, time, ports, sockets
// and files work; panels and modal pop-ups do not (install a pop-up handler), and no display
// is needed.
int InitConsolePlatform(int& argc, char** argv);
int RunUserInterface();   // dispatches events until QuitUserInterface
void QuitUserInterface(int code);
// How long ProcessSystemEvents may block when no event is pending.
enum class EventWait {
    UpToTick,   // until the next event or for at most 1 ms: a wait loop does not burn a core
    None,       // not at all: for a caller that sleeps or returns next
};
// Dispatches pending events once.
void ProcessSystemEvents(EventWait wait = EventWait::UpToTick);
void PostDeferredCall(std::function<void()> call);   // runs later from the event loop
void SetWaitCursor(int on);
double Timer();   // seconds on a monotonic clock
void Sleep(int milliseconds);
// Tests put a clock they advance in the place of the monotonic one, so that time limits are
// checked exactly and without waiting: it starts at 0, every ProcessSystemEvents call
// dispatches what is pending without blocking and advances it by the tick it may wait (1 ms
// for EventWait::UpToTick, nothing for EventWait::None), and Sleep
// advances it by the time slept. UseTestClock(false) returns to the monotonic clock.
void UseTestClock(bool on);
void AdvanceTestClock(double seconds);
// Ctrl+C (SIGINT) calls `handler` from the next ProcessSystemEvents pass instead of ending
// the process; the signal itself only notes that it came. An empty handler restores the
// default.
void OnInterrupt(std::function<void()> handler);
// Whether `stream` is an interactive terminal (a console window on Windows), not a file or pipe.
bool IsTerminal(std::FILE* stream);
// The calendar time of `time` in the local time zone.
std::tm LocalTime(std::time_t time);
// Asks the system for its finest timer for the life of the process, so that Sleep(10) sleeps
// 10 ms and not a scheduler tick of 15.6 ms (Windows); elsewhere sleeps are fine already.
void UseFineSystemTimer();

// ---------------------------------------------------------------------------------------------
// Serial ports. Port n is the n-th entry of the port table (1-based).

struct SerialPortEntry {
    std::string device;   // system location, e.g. "/dev/ttyUSB0" or "COM3"
    std::string description;
};
// The table: by default the system's ports sorted by system location (refreshed by
// RefreshSerialPortTable); tests put pseudo-terminals into it with SetSerialPortTable.
// Users add devices the system does not list (the simulator's pseudo-terminal) by naming
// their paths in the environment variable below, separated like PATH; they come first in the
// table (on Windows after the COM ports).
inline constexpr char kExtraPortsVariable[] = "TAVRIX_SERIAL_PORTS";
const std::vector<SerialPortEntry>& SerialPortTable();
void RefreshSerialPortTable();
void SetSerialPortTable(std::vector<SerialPortEntry> table);

enum Parity : int { kParityNone = 0, kParityOdd = 1, kParityEven = 2 };
int OpenComConfig(int port, const std::string& deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);
int CloseCom(int port);   // -3 if the port is not open
int SetComTime(int port, double timeoutSeconds);
int SetCTSMode(int port, int mode);                       // 0: no hardware handshake
int ComWrt(int port, const uint8_t* buffer, int count);   // bytes queued, or negative
int ComRd(int port, uint8_t* buffer, int count);          // bytes read from the queue
int GetInQLen(int port);                                  // bytes waiting in the input queue
int FlushInQ(int port);
int FlushOutQ(int port);
// The line of an open port as the port reports it, e.g. "19200 8N1, no handshake"; "" if not open.
std::string ComLineSettings(int port);

// ---------------------------------------------------------------------------------------------
// TCP client

enum TcpEvent : int { TCP_CONNECT = 1, TCP_DISCONNECT = 2, TCP_DATAREADY = 3 };
using TcpCallbackPtr = int (*)(unsigned handle, int event, int errorCode, void* callbackData);

// Connects within timeoutMs while events are processed; the callback later receives
// TCP_DATAREADY and TCP_DISCONNECT. 0 on success with *handle set, else a negative code.
int ConnectToTCPServer(unsigned* handle, int port, const std::string& host, TcpCallbackPtr callback,
                       void* callbackData, int timeoutMs);
int ClientTCPWrite(unsigned handle, const void* data, int count, int timeoutMs);
// Reads at most `count` bytes of what has arrived; never waits for bytes that are not there
// (0 when none has arrived). Negative when the connection is gone.
int ClientTCPRead(unsigned handle, void* buffer, int count, int timeoutMs);
int DisconnectFromTCPServer(unsigned handle);

// The system's reason ("No such file or directory", "Connection refused" ...) of the last
// OpenComConfig or ConnectToTCPServer that failed; empty when the system gave none.
std::string LastOpenFailureReason();

// ---------------------------------------------------------------------------------------------
// Files

std::string GetProjectDir();                        // the directory of the executable
void SetProjectDir(const std::string& directory);   // tests: another directory ("" resets)
// The window program's name: that of its executable and of its folder among the user's
// configuration folders.
inline constexpr char kWindowProgram[] = "TavrixV20";
// The window program's folder among the user's configuration folders: ~/.config/TavrixV20,
// on Windows %APPDATA%\TavrixV20; only named here, not made.
std::string UserConfigDir();
// The folder of the configuration files of a program in `programDir`: `programDir` while it is
// writable (as installations that keep theirs there expect), otherwise UserConfigDir().
std::string ConfigDirOf(const std::string& programDir);
// ConfigDirOf the program's directory, made when missing.
std::string GetConfigDir();
// Whether `directory` holds the executable program `name` (name.exe on Windows).
bool HasProgram(const std::string& directory, const std::string& name);
// The folder where the file dialogs start: the program's directory while a file can be created
// in it, otherwise the user's documents folder (the home folder when there is none).
std::string GetDialogDir();
std::string JoinPath(const std::string& directory, const std::string& name);
// 1 and the size when the file exists, 0 when it does not, negative when it cannot be examined.
int GetFileInfo(const std::string& path, long long& size);
// Whole-file helpers; they return false on any failure and leave no handle open.
bool ReadFileBytes(const std::string& path, std::string& bytes, long long maxBytes = -1);
// Replaces the file as a whole or not at all: when the write fails, the old file stays whole
// (except where no file can be made beside it: then it is written in place).
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Appends all the bytes or none, creating the file if absent: a write that comes up short (a
// full disk) is cut back to the file's former end, so what the file held stays as it was.
bool AppendFileBytes(const std::string& path, const std::string& bytes);
// Whether bytes can be appended to `path`, found by opening it so; a file created only for
// this is removed again. Nothing in an existing file changes.
bool CanAppendTo(const std::string& path);
// The system's reason ("No space left on device", "Permission denied" ...) of the last of the
// file operations above that failed, without a closing full stop.
std::string LastFileFailureReason();
bool DeleteFile(const std::string& path);

}   // namespace platform
