#pragma once
// Internal state of the panel layer: the registered resources, the panel table and each
// panel's control table, shared by the files that load panels, bind events and operate on
// controls. Not for use outside platform/.
#include "platform/platform.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <map>
#include <vector>

class QLineEdit;

namespace platform {

// What a control is, found from its widget class (and the tavrixKind property).
enum class CtrlKind {
    Command,      // QPushButton
    Toggle,       // checkable QAbstractButton
    Numeric,      // QSpinBox
    Slider,       // QSlider
    Ring,         // QComboBox
    String,       // QLineEdit (read-only: a string or numeric display)
    Led,          // QLineEdit with tavrixKind "led"
    TextBox,      // QPlainTextEdit
    Progress,     // QProgressBar
    Label,        // QLabel: a text message or a picture
    Decoration,   // QFrame
    Graph,        // any other widget: drawn by its owner module
};

// A colour attribute that was never set: reads return the palette's colour.
constexpr int kColorUnset = -1;

// Names of the dynamic properties that tie a widget to its panel handle and control id.
inline constexpr char kPanelProperty[] = "tavrixPanel";
inline constexpr char kControlProperty[] = "tavrixControl";
inline constexpr char kKindProperty[] = "tavrixKind";

// One control of a loaded panel.
struct ControlEntry {
    QPointer<QWidget> m_widget;
    CtrlKind m_kind = CtrlKind::Graph;
    CtrlCallbackPtr m_callback = nullptr;
    void* m_callbackData = nullptr;
    int m_mode = kModeHot;
    int m_cmdColor = kColorUnset;
    int m_textColor = kColorUnset;
    int m_bgColor = kColorUnset;
    int m_frameColor = kColorUnset;
    QString m_baseStyle;       // the widget's own style sheet from its form
    bool m_autoSize = false;   // created by NewCtrl: a label grows with its text
    bool m_edited = false;     // string control: edited since the last commit
    bool m_ledOn = false;
};

// One loaded panel.
struct PanelEntry {
    QPointer<QWidget> m_widget;
    int m_parent = 0;
    CtrlCallbackPtr m_callback = nullptr;
    void* m_callbackData = nullptr;
    std::map<int, ControlEntry> m_controls;
    std::vector<int> m_tabOrder;   // control ids, first to last in the tab chain
};

inline std::map<int, PanelDef> panelResources;
inline std::map<int, PanelEntry> panelTable;
inline int nextPanelHandle = 1;
// Callbacks currently running; while any is, widgets are deleted only later.
inline int callbackDepth = 0;
// Set while the layer itself changes a value, so the change raises no event.
inline int programmaticChange = 0;

PanelEntry* FindPanel(int panel);
// The control, or nullptr with `error` set to kErrBadPanel or kErrBadControl.
ControlEntry* FindControl(int panel, int control, int& error);

// Calls a control's callback (control > 0) or the panel's callback (control 0); returns the
// callback's result, 0 when there is none.
int Dispatch(int panel, int control, int event, int eventData1, int eventData2);

// Classifies a widget and ties its signals to the control's events.
CtrlKind KindOfWidget(QWidget* widget);
void BindControl(int panel, int control, ControlEntry& entry);
// Installs the application-wide filter that turns input events into control events.
void InstallEventRouting();
// Applies the colour attributes (and an LED's state) as the widget's style sheet.
void ApplyStyle(ControlEntry& entry);
// Paints the line edit's fill and frame from a picture kept per size and state.
void PaintFrameFromCache(QLineEdit* edit);
// Deletes a widget now, or later while callbacks are on the stack.
void DisposeWidget(QWidget* widget);

// Scope guard around a change made by the layer itself: the signals it causes raise no
// events, while the widgets' own connections (a slider's value box) still follow.
class ProgrammaticChange {
public:
    ProgrammaticChange() { ++programmaticChange; }
    ~ProgrammaticChange() { --programmaticChange; }
    ProgrammaticChange(const ProgrammaticChange&) = delete;
    ProgrammaticChange& operator=(const ProgrammaticChange&) = delete;
};

}   // namespace platform
