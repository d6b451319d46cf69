#include "connection/combobox.h"

#include <memory>
#include <new>
#include <vector>

#include "core/completion.h"

namespace connection {

namespace {

using namespace platform;

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr int kShiftTab = kShiftModifier | kKeyTab;     // taken whole, unlike other keys
constexpr char kListButtonName[] = "earlier entries";   // what assistive technology calls it

// A control is a combo box when its callback is the module's text handler and its callback
// data is a record carrying the mark.
ComboRecord* RecordOf(int panel, int control, int& error) {
    CtrlCallbackPtr fn = nullptr;
    void* data = nullptr;
    error = GetCtrlCallback(panel, control, fn, data);
    if (error < 0) return nullptr;
    auto* record = static_cast<ComboRecord*>(data);
    if (fn != StringDataToRing || record == nullptr || record->m_mark != kComboMark) {
        error = kComboNotComboBox;
        return nullptr;
    }
    return record;
}

int PassOnToOwner(const ComboRecord& record, int event, int eventData1, int eventData2) {
    if (record.m_ownerCallback == nullptr) return 0;
    return record.m_ownerCallback(record.m_panel, record.m_textPart, event,
                                  record.m_ownerCallbackData, eventData1, eventData2);
}

std::vector<std::string> ListEntries(const ComboRecord& record) {
    int count = 0;
    GetNumListItems(record.m_panel, record.m_listButton, count);
    std::vector<std::string> entries(static_cast<size_t>(count > 0 ? count : 0));
    for (int i = 0; i < count; ++i)
        GetValueFromIndex(record.m_panel, record.m_listButton, i, entries[static_cast<size_t>(i)]);
    return entries;
}

// Sets one attribute on several of the combo's controls; the first failure is the result.
int SetOnControls(const ComboRecord& record, std::initializer_list<int> controls, int attr,
                  int value) {
    int result = 0;
    for (int control : controls) {
        const int r = SetCtrlAttribute(record.m_panel, control, attr, value);
        if (r < 0 && result >= 0) result = r;
    }
    return result;
}

int Attribute(int panel, int control, int attr) {
    int value = 0;
    GetCtrlAttribute(panel, control, attr, value);
    return value;
}

// After a font change the text's height may differ: the list button stays square at the
// text's height and the frame and the text follow it, as at creation.
void Relayout(const ComboRecord& record) {
    const int p = record.m_panel;
    const int h = Attribute(p, record.m_textPart, ATTR_HEIGHT);
    const int w = Attribute(p, record.m_textPart, ATTR_WIDTH);
    const int frameLeft = Attribute(p, record.m_frame, ATTR_LEFT);
    SetCtrlAttribute(p, record.m_listButton, ATTR_HEIGHT, h);
    SetCtrlAttribute(p, record.m_listButton, ATTR_WIDTH, h);
    SetCtrlAttribute(p, record.m_frame, ATTR_HEIGHT, h + 2);
    SetCtrlAttribute(p, record.m_frame, ATTR_WIDTH, w + h + 1);
    SetCtrlAttribute(p, record.m_textPart, ATTR_LEFT, frameLeft + h);
}

// The text part's attribute behind each settable code that applies to the text part alone
// or together with the list button.
int TextAttrOf(int attribute) {
    switch (attribute) {
    case COMBO_ATTR_TEXT_COLOR:
        return ATTR_TEXT_COLOR;
    case COMBO_ATTR_TEXT_POINT_SIZE:
        return ATTR_TEXT_POINT_SIZE;
    case COMBO_ATTR_TEXT_BOLD:
        return ATTR_TEXT_BOLD;
    case COMBO_ATTR_TEXT_BGCOLOR:
        return ATTR_TEXT_BGCOLOR;
    case COMBO_ATTR_SELECTION_LENGTH:
        return ATTR_TEXT_SELECTION_LENGTH;
    case COMBO_ATTR_FRAME_COLOR:
        return ATTR_FRAME_COLOR;
    case COMBO_ATTR_MAX_ENTRY_LENGTH:
        return ATTR_MAX_ENTRY_LENGTH;
    default:
        return 0;
    }
}

int SetAttribute(ComboRecord& r, int attribute, int value) {
    const int p = r.m_panel;
    const int listWidth = Attribute(p, r.m_listButton, ATTR_WIDTH);
    switch (attribute) {
    case COMBO_ATTR_WIDTH: {
        const int result = SetCtrlAttribute(p, r.m_frame, ATTR_WIDTH, value);
        if (result < 0) return result;
        return SetCtrlAttribute(p, r.m_textPart, ATTR_WIDTH, value - listWidth);
    }
    case COMBO_ATTR_TEXT_COLOR:
        return SetCtrlAttribute(p, r.m_textPart, ATTR_TEXT_COLOR, value);
    case COMBO_ATTR_FRAME_COLOR:
        return SetOnControls(r, {r.m_textPart, r.m_listButton, r.m_frame}, ATTR_FRAME_COLOR, value);
    case COMBO_ATTR_TEXT_POINT_SIZE: {
        const int result =
            SetOnControls(r, {r.m_textPart, r.m_listButton}, ATTR_TEXT_POINT_SIZE, value);
        Relayout(r);
        return result;
    }
    case COMBO_ATTR_TEXT_BOLD:
    case COMBO_ATTR_TEXT_BGCOLOR:
        return SetOnControls(r, {r.m_listButton, r.m_textPart}, TextAttrOf(attribute), value);
    case COMBO_ATTR_LEFT: {
        const int result = SetCtrlAttribute(p, r.m_frame, ATTR_LEFT, value);
        if (result < 0) return result;
        SetCtrlAttribute(p, r.m_listButton, ATTR_LEFT, value + 1);
        return SetCtrlAttribute(p, r.m_textPart, ATTR_LEFT, value + listWidth);
    }
    case COMBO_ATTR_TOP: {
        const int result = SetCtrlAttribute(p, r.m_frame, ATTR_TOP, value);
        if (result < 0) return result;
        return SetOnControls(r, {r.m_listButton, r.m_textPart}, ATTR_TOP, value + 1);
    }
    case COMBO_ATTR_VISIBLE:
        return SetOnControls(r, {r.m_textPart, r.m_listButton, r.m_frame}, ATTR_VISIBLE, value);
    case COMBO_ATTR_DIMMED:
        return SetOnControls(r, {r.m_textPart, r.m_listButton, r.m_frame}, ATTR_DIMMED, value);
    case COMBO_ATTR_MAX_ENTRY_LENGTH: {
        const int result = SetCtrlAttribute(p, r.m_textPart, ATTR_MAX_ENTRY_LENGTH, value);
        if (result < 0) return result;
        r.m_lengthLimit = value == kNoLengthLimit ? kNoLengthLimit : value + 1;
        return result;
    }
    default:
        return kComboBadAttribute;   // 1 and 6 are read only, 5 takes a font name
    }
}

int GetAttribute(const ComboRecord& r, int attribute, int& value) {
    switch (attribute) {
    case COMBO_ATTR_HEIGHT:
        return GetCtrlAttribute(r.m_panel, r.m_frame, ATTR_HEIGHT, value);
    case COMBO_ATTR_WIDTH:
        return GetCtrlAttribute(r.m_panel, r.m_frame, ATTR_WIDTH, value);
    case COMBO_ATTR_LEFT:
        return GetCtrlAttribute(r.m_panel, r.m_frame, ATTR_LEFT, value);
    case COMBO_ATTR_TOP:
        return GetCtrlAttribute(r.m_panel, r.m_frame, ATTR_TOP, value);
    case COMBO_ATTR_VISIBLE:
        return GetCtrlAttribute(r.m_panel, r.m_frame, ATTR_VISIBLE, value);
    case COMBO_ATTR_DIMMED:
        return GetCtrlAttribute(r.m_panel, r.m_frame, ATTR_DIMMED, value);
    default: {
        const int attr = TextAttrOf(attribute);
        if (attr == 0) return kComboBadAttribute;
        return GetCtrlAttribute(r.m_panel, r.m_textPart, attr, value);
    }
    }
}

// Up or Down opens the list from the keyboard: the list button takes the focus and keeps it
// (the flag stops its got-focus handler from handing the focus straight back).
void OpenListFromKeyboard(ComboRecord& record) {
    record.m_keyboardOpen = 1;
    SetActiveCtrl(record.m_panel, record.m_listButton);
    FakeKeystroke(record.m_panel, record.m_listButton, kKeySpace);
}

// The control before the text part in tab order that the user can operate: the search runs
// backwards from the position before the list button's, wraps from 0 to the last position,
// and skips indicators and dimmed or hidden controls. The text part itself qualifies, so the
// search always ends.
int PreviousOperableControl(const ComboRecord& record) {
    const int p = record.m_panel;
    int count = 0;
    GetPanelAttribute(p, ATTR_PANEL_NUM_CTRLS, count);
    std::vector<int> atPosition(static_cast<size_t>(count), 0);
    int found = 0;
    // Control ids are small numbers from 1; those of discarded controls are skipped.
    constexpr int kIdsScannedBeyondCount = 64;
    for (int id = 1; found < count && id <= count + kIdsScannedBeyondCount; ++id) {
        CtrlCallbackPtr fn = nullptr;
        void* data = nullptr;
        if (GetCtrlCallback(p, id, fn, data) < 0) continue;
        ++found;
        const int position = Attribute(p, id, ATTR_CTRL_TAB_POSITION);
        if (position >= 0 && position < count) atPosition[static_cast<size_t>(position)] = id;
    }
    const int textPosition = Attribute(p, record.m_textPart, ATTR_CTRL_TAB_POSITION);
    int q = textPosition <= 1 ? count : textPosition - 2;
    for (int step = 0; step <= 2 * count + 1; ++step) {
        if (q < 0 || q >= count || atPosition[static_cast<size_t>(q)] == 0) {
            q = q <= 0 ? count : q - 1;
            continue;
        }
        const int id = atPosition[static_cast<size_t>(q)];
        if (Attribute(p, id, ATTR_IS_INDICATOR) == 0 && Attribute(p, id, ATTR_DIMMED) == 0 &&
            Attribute(p, id, ATTR_VISIBLE) == 1) {
            return id;
        }
        q = q == 0 ? count : q - 1;
    }
    return record.m_textPart;
}

// Completes the typed text from the list and selects the added part.
void CompleteText(const ComboRecord& record) {
    std::string typed;
    GetCtrlVal(record.m_panel, record.m_textPart, typed);
    const std::vector<std::string> entries = ListEntries(record);
    const Completion c = AutoComplete(typed, entries, record.m_lengthLimit);
    if (!c.m_complete) return;
    SetCtrlVal(record.m_panel, record.m_textPart, c.m_text);
    SetCtrlAttribute(record.m_panel, record.m_textPart, ATTR_TEXT_SELECTION_START,
                     c.m_selectionStart);
    SetCtrlAttribute(record.m_panel, record.m_textPart, ATTR_TEXT_SELECTION_LENGTH,
                     c.m_selectionLength);
}

int HandleTextKey(ComboRecord& record, int eventData1, int eventData2) {
    const int key = eventData1 == kShiftTab ? kShiftTab : (eventData1 & kVKeyMask);
    switch (key) {
    case kKeyUp:
    case kKeyDown:
        OpenListFromKeyboard(record);
        break;
    case kShiftTab:
        SetActiveCtrl(record.m_panel, PreviousOperableControl(record));
        break;
    case kKeyBackspace:
    case kKeyDelete:
        autoCompletion = false;
        break;
    default:
        autoCompletion = true;
        break;
    }
    const int result = PassOnToOwner(record, EVENT_KEYPRESS, eventData1, eventData2);
    // The focus has moved already; the key must not move it once more.
    return key == kShiftTab ? 1 : result;
}

// Puts the picked entry into the text, cut to the length limit, and reports a commit of the
// text part.
void TakePickedEntry(const ComboRecord& record, int eventData1, int eventData2) {
    std::string text;
    GetCtrlVal(record.m_panel, record.m_listButton, text);
    if (record.m_lengthLimit > 0 && text.size() > static_cast<size_t>(record.m_lengthLimit - 1))
        text.resize(static_cast<size_t>(record.m_lengthLimit - 1));
    SetCtrlVal(record.m_panel, record.m_textPart, text);
    PassOnToOwner(record, EVENT_COMMIT, eventData1, eventData2);
}

}   // namespace

ComboRecord* GetComboRecord(int panel, int control) {
    int error = 0;
    return RecordOf(panel, control, error);
}

int Combo_NewComboBox(int panel, int control) {
    int error = 0;
    if (RecordOf(panel, control, error) != nullptr) return kComboNotComboBox;
    if (error != kComboNotComboBox) return error;   // no such panel or control
    int maxLength = 0;
    if (GetCtrlAttribute(panel, control, ATTR_MAX_ENTRY_LENGTH, maxLength) < 0)
        return kComboNotComboBox;   // only string controls have a maximum entry length

    // Owned here until a handler holds it: a failure before that frees it again.
    std::unique_ptr<ComboRecord> owned(new (std::nothrow) ComboRecord);
    if (owned == nullptr) return kComboOutOfMemory;
    ComboRecord* record = owned.get();
    Guard guard(record->m_lock);

    const int left = Attribute(panel, control, ATTR_LEFT);
    const int top = Attribute(panel, control, ATTR_TOP);
    const int width = Attribute(panel, control, ATTR_WIDTH);
    const int height = Attribute(panel, control, ATTR_HEIGHT);
    const int frameColor = Attribute(panel, control, ATTR_FRAME_COLOR);

    // The frame encloses the list button at its left end and the text to its right.
    const int frame = NewCtrl(panel, CTRL_DECORATION, "", top - 1, left - height);
    if (frame < 0) return frame;
    SetCtrlAttribute(panel, frame, ATTR_HEIGHT, height + 2);
    SetCtrlAttribute(panel, frame, ATTR_WIDTH, width + height + 1);
    const int listButton = NewCtrl(panel, CTRL_RING, kListButtonName, top, left - height + 1);
    if (listButton < 0) return listButton;
    SetCtrlAttribute(panel, listButton, ATTR_WIDTH, height);
    SetCtrlAttribute(panel, listButton, ATTR_HEIGHT, height);
    SetCtrlAttribute(panel, listButton, ATTR_FRAME_COLOR, frameColor);
    SetCtrlAttribute(panel, frame, ATTR_FRAME_COLOR, frameColor);

    record->m_panel = panel;
    record->m_listButton = listButton;
    record->m_textPart = control;
    record->m_frame = frame;
    record->m_keyboardOpen = 0;
    GetCtrlCallback(panel, control, record->m_ownerCallback, record->m_ownerCallbackData);
    record->m_lengthLimit = maxLength == kNoLengthLimit ? kNoLengthLimit : maxLength + 1;

    int result = InstallCtrlCallback(panel, listButton, RingDataToString, record);
    if (result < 0) return result;
    owned.release();
    result = InstallCtrlCallback(panel, control, StringDataToRing, record);
    if (result < 0) return result;
    // The list button comes just before the text in tab order.
    SetCtrlAttribute(panel, listButton, ATTR_CTRL_TAB_POSITION,
                     Attribute(panel, control, ATTR_CTRL_TAB_POSITION));
    return control;
}

int Combo_SetComboAttribute(int panel, int control, int attribute, int value) {
    int error = 0;
    ComboRecord* record = RecordOf(panel, control, error);
    if (record == nullptr) return error;
    Guard guard(record->m_lock);
    return SetAttribute(*record, attribute, value);
}

int Combo_SetComboAttribute(int panel, int control, int attribute, const std::string& value) {
    int error = 0;
    ComboRecord* record = RecordOf(panel, control, error);
    if (record == nullptr) return error;
    Guard guard(record->m_lock);
    if (attribute != COMBO_ATTR_TEXT_FONT) return kComboBadAttribute;
    int result = SetCtrlAttribute(panel, record->m_textPart, ATTR_TEXT_FONT, value);
    const int listResult = SetCtrlAttribute(panel, record->m_listButton, ATTR_TEXT_FONT, value);
    if (result >= 0) result = listResult;
    Relayout(*record);
    return result;
}

int Combo_GetComboAttribute(int panel, int control, int attribute, int& value) {
    int error = 0;
    ComboRecord* record = RecordOf(panel, control, error);
    if (record == nullptr) return error;
    Guard guard(record->m_lock);
    return GetAttribute(*record, attribute, value);
}

int Combo_GetComboAttribute(int panel, int control, int attribute, std::string& value) {
    int error = 0;
    ComboRecord* record = RecordOf(panel, control, error);
    if (record == nullptr) return error;
    Guard guard(record->m_lock);
    if (attribute != COMBO_ATTR_TEXT_FONT) return kComboBadAttribute;
    return GetCtrlAttribute(panel, record->m_textPart, ATTR_TEXT_FONT, value);
}

int Combo_InsertComboItem(int panel, int control, int index, const std::string& text) {
    int error = 0;
    ComboRecord* record = RecordOf(panel, control, error);
    if (record == nullptr) return error;
    return InsertListItem(panel, record->m_listButton, index, text, text);
}

int Combo_DeleteComboItem(int panel, int control, int index, int count) {
    int error = 0;
    ComboRecord* record = RecordOf(panel, control, error);
    if (record == nullptr) return error;
    return DeleteListItem(panel, record->m_listButton, index, count);
}

int Combo_ReplaceComboItem(int panel, int control, int index, const std::string& text) {
    int error = 0;
    ComboRecord* record = RecordOf(panel, control, error);
    if (record == nullptr) return error;
    return ReplaceListItem(panel, record->m_listButton, index, text, text);
}

int Combo_GetIndexFromValue(int panel, int control, int& index, const std::string& text) {
    int error = 0;
    ComboRecord* record = RecordOf(panel, control, error);
    if (record == nullptr) return error;
    return GetIndexFromValue(panel, record->m_listButton, index, text);
}

int Combo_DiscardComboBox(int panel, int control) {
    int error = 0;
    ComboRecord* record = RecordOf(panel, control, error);
    if (record == nullptr) return error;
    record->m_lock.lock();
    DiscardCtrl(panel, record->m_listButton);
    DiscardCtrl(panel, record->m_frame);
    DiscardCtrl(panel, record->m_textPart);
    record->m_mark = 0;
    record->m_lock.unlock();
    delete record;
    return 0;
}

void SendValChangedEvent(ComboRecord* record) {
    Guard guard(record->m_lock);
    PassOnToOwner(*record, EVENT_VAL_CHANGED, 0, 0);
    // The commit follows from the event loop; by then the combo box may be gone.
    PostDeferredCall([panel = record->m_panel, control = record->m_textPart] {
        if (ComboRecord* current = GetComboRecord(panel, control)) SendCommitEvent(current);
    });
}

void SendCommitEvent(ComboRecord* record) {
    Guard guard(record->m_lock);
    PassOnToOwner(*record, EVENT_COMMIT, 0, 0);
}

int StringDataToRing(int, int, int event, void* callbackData, int eventData1, int eventData2) {
    auto& record = *static_cast<ComboRecord*>(callbackData);
    Guard guard(record.m_lock);
    switch (event) {
    case EVENT_KEYPRESS:
        return HandleTextKey(record, eventData1, eventData2);
    case EVENT_VAL_CHANGED:
        try {
            if (autoCompletion) CompleteText(record);
        } catch (const std::bad_alloc&) {
            return 0;   // no memory for the completion: the event is dropped
        }
        return PassOnToOwner(record, event, eventData1, eventData2);
    default:
        return PassOnToOwner(record, event, eventData1, eventData2);
    }
}

int RingDataToString(int, int, int event, void* callbackData, int eventData1, int eventData2) {
    auto& record = *static_cast<ComboRecord*>(callbackData);
    Guard guard(record.m_lock);
    switch (event) {
    case EVENT_COMMIT:
        try {
            TakePickedEntry(record, eventData1, eventData2);
        } catch (const std::bad_alloc&) {
            // no memory for the picked text: nothing changes and the owner is not told
        }
        break;
    case EVENT_VAL_CHANGED:
        SetActiveCtrl(record.m_panel, record.m_textPart);
        PassOnToOwner(record, event, eventData1, eventData2);
        break;
    case EVENT_GOT_FOCUS:
        // A click on the list button leaves the typing focus in the text.
        if (record.m_keyboardOpen == 0) SetActiveCtrl(record.m_panel, record.m_textPart);
        record.m_keyboardOpen = 0;
        break;
    default:
        break;
    }
    return 0;
}

}   // namespace connection
