#pragma once
// The editable combo box: turns a single-line string control into a text with a drop-down
// list of earlier entries. Two companion controls are made around the text part: a list
// button (a ring holding the entries) and a frame behind both. The owner keeps its callback
// on the text control; the module installs its own handlers and passes the text control's
// events on, so a pick from the list reaches the owner as a commit of the text control after
// the picked text was put into it. While the user types, the text is completed from the list.
#include <mutex>
#include <string>

#include "platform/platform.h"

namespace connection {

// Result codes besides the platform's own negative codes.
constexpr int kComboOutOfMemory = -12;
constexpr int kComboNotComboBox = -45;    // not a combo box, or already one on creation
constexpr int kComboBadAttribute = -46;   // attribute code not valid for the operation

constexpr int kComboMark = 0x5574;   // identifies a combo record

// Attribute codes of Combo_SetComboAttribute and Combo_GetComboAttribute.
enum ComboAttr : int {
    COMBO_ATTR_HEIGHT = 1,   // get only
    COMBO_ATTR_WIDTH = 2,
    COMBO_ATTR_TEXT_COLOR = 3,
    COMBO_ATTR_FRAME_COLOR = 4,
    COMBO_ATTR_TEXT_FONT = 5,          // a font family name (the string overloads)
    COMBO_ATTR_SELECTION_LENGTH = 6,   // get only: characters selected in the text
    COMBO_ATTR_TEXT_POINT_SIZE = 7,
    COMBO_ATTR_TEXT_BOLD = 8,
    COMBO_ATTR_TEXT_BGCOLOR = 9,
    COMBO_ATTR_LEFT = 10,
    COMBO_ATTR_TOP = 11,
    COMBO_ATTR_VISIBLE = 12,
    COMBO_ATTR_DIMMED = 13,
    COMBO_ATTR_MAX_ENTRY_LENGTH = 14,   // -1 unlimited
};

// The combo record: the three controls, the owner's callback, the lock and the length limit.
// The text part's callback data points to it.
struct ComboRecord {
    int m_panel = 0;
    int m_listButton = 0;
    int m_textPart = 0;
    int m_frame = 0;
    platform::CtrlCallbackPtr m_ownerCallback = nullptr;
    void* m_ownerCallbackData = nullptr;
    std::recursive_mutex m_lock;   // the holder may take it again from a nested event
    int m_lengthLimit = -1;        // maximum entry length + 1, or -1 when unlimited
    int m_keyboardOpen = 0;        // list opened from the keyboard, until the button gets focus
    int m_mark = kComboMark;
};

// One flag for all combo boxes: Backspace and Delete switch completion off, any other key on.
inline bool autoCompletion = true;

int Combo_NewComboBox(int panel, int control);
int Combo_SetComboAttribute(int panel, int control, int attribute, int value);
int Combo_SetComboAttribute(int panel, int control, int attribute, const std::string& value);
int Combo_GetComboAttribute(int panel, int control, int attribute, int& value);
int Combo_GetComboAttribute(int panel, int control, int attribute, std::string& value);
int Combo_InsertComboItem(int panel, int control, int index, const std::string& text);
int Combo_DeleteComboItem(int panel, int control, int index, int count);   // count -1: to the end
int Combo_ReplaceComboItem(int panel, int control, int index, const std::string& text);
// index := the first entry equal to text, -1 if there is none.
int Combo_GetIndexFromValue(int panel, int control, int& index, const std::string& text);
int Combo_DiscardComboBox(int panel, int control);

// The combo record of a text control, or nullptr when it is not a combo box. The owner reads
// the list through the record's list button with the platform's list operations.
ComboRecord* GetComboRecord(int panel, int control);

// Raises value-changed at the owner now and a commit later, from the event loop.
void SendValChangedEvent(ComboRecord* record);
void SendCommitEvent(ComboRecord* record);

// The module's handlers on the text part and on the list button.
int StringDataToRing(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);
int RingDataToString(int panel, int control, int event, void* callbackData, int eventData1,
                     int eventData2);

}   // namespace connection
