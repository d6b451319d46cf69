// Control values, lists, text boxes, pictures, run-time controls and focus.
#include "platform/panelstate.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSlider>
#include <QSpinBox>
#include <QTextBlock>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace platform {
namespace {

constexpr char kLedOnText[] = "ON";
constexpr char kLedOffText[] = "OFF";
constexpr int kLedOnColor = 0xFF8000;    // lit: orange
constexpr int kLedOffColor = 0x000000;   // dark: black
constexpr int kDecorationWidth = 100;    // pixels, until the owner sizes it
constexpr int kDecorationHeight = 30;

QString ToQt(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
std::string ToStd(const QString& text) { return text.toUtf8().toStdString(); }

QString ColorName(int rgb) { return QColor(static_cast<QRgb>(rgb)).name(); }

QString ShownText(const ControlEntry& entry) {
    if (auto* edit = qobject_cast<QLineEdit*>(entry.m_widget.data())) return edit->text();
    if (auto* label = qobject_cast<QLabel*>(entry.m_widget.data())) return label->text();
    return {};
}

// Setting a text again would lay it out and repaint it for nothing: the number displays get
// the same value on most frames of the GO loop.
void SetShownText(ControlEntry& entry, const QString& text) {
    if (ShownText(entry) == text) return;
    if (auto* edit = qobject_cast<QLineEdit*>(entry.m_widget.data())) {
        edit->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(entry.m_widget.data())) {
        label->setText(text);
        if (entry.m_autoSize) label->adjustSize();
    }
}

// The value an item of a ring carries: an integer for the rings of the forms, a text for
// the lists filled at run time; an item without data stands for its index and label.
QVariant ItemValue(const QComboBox* ring, int index) {
    const QVariant data = ring->itemData(index);
    return data.isValid() ? data : QVariant(index);
}

QString ItemValueText(const QComboBox* ring, int index) {
    const QVariant data = ring->itemData(index);
    return data.isValid() ? data.toString() : ring->itemText(index);
}

int SelectRingItem(QComboBox* ring, const QString& valueText) {
    for (int index = 0; index < ring->count(); ++index) {
        if (ItemValueText(ring, index) == valueText) {
            ring->setCurrentIndex(index);
            return 0;
        }
    }
    return kErrBadValue;
}

// An LED set to the state it shows is left alone: no text layout, style or repaint.
void SetLed(ControlEntry& entry, bool on) {
    auto* led = static_cast<QLineEdit*>(entry.m_widget.data());
    const QLatin1StringView text(on ? kLedOnText : kLedOffText);
    if (entry.m_ledOn == on && led->text() == text) return;
    entry.m_ledOn = on;
    led->setText(text);
    ApplyStyle(entry);
}

QComboBox* RingOf(int panel, int control, int& error) {
    ControlEntry* entry = FindControl(panel, control, error);
    if (entry == nullptr) return nullptr;
    auto* ring = qobject_cast<QComboBox*>(entry->m_widget.data());
    if (ring == nullptr) error = kErrBadAttribute;
    return ring;
}

QPlainTextEdit* TextBoxOf(int panel, int control, int& error) {
    ControlEntry* entry = FindControl(panel, control, error);
    if (entry == nullptr) return nullptr;
    auto* box = qobject_cast<QPlainTextEdit*>(entry->m_widget.data());
    if (box == nullptr) error = kErrBadAttribute;
    return box;
}

// Declarations of the colour attributes that were set, for everything but buttons.
QString ColourDeclarations(const ControlEntry& entry) {
    QString decls;
    if (entry.m_textColor != kColorUnset) decls += "color: " + ColorName(entry.m_textColor) + ";";
    if (entry.m_kind == CtrlKind::Decoration) {
        // A decoration's frame colour is its fill.
        if (entry.m_frameColor != kColorUnset) {
            decls += "background-color: " + ColorName(entry.m_frameColor) + ";";
        }
        return decls;
    }
    if (entry.m_kind == CtrlKind::Led) {
        decls += "background-color: " + ColorName(entry.m_ledOn ? kLedOnColor : kLedOffColor) +
                 "; color: " + QString(entry.m_ledOn ? "black" : "#c0c0c0") + ";";
    } else if (entry.m_bgColor == kTransparent) {
        decls += "background-color: transparent;";
    } else if (entry.m_bgColor != kColorUnset) {
        decls += "background-color: " + ColorName(entry.m_bgColor) + ";";
    }
    if (entry.m_frameColor != kColorUnset) {
        decls += "border: 1px solid " + ColorName(entry.m_frameColor) + ";";
    }
    return decls;
}

QString ButtonRules(const ControlEntry& entry, const QString& selector) {
    QString rules;
    if (entry.m_cmdColor != kColorUnset) {
        const QColor face(static_cast<QRgb>(entry.m_cmdColor));
        rules += selector + " { background-color: " + face.name() +
                 "; border: 1px solid #808080; border-radius: 2px; padding: 1px; }" + selector +
                 ":pressed, " + selector +
                 ":checked { background-color: " + face.darker(125).name() + "; }" + selector +
                 ":disabled { color: #a0a0a0; }" + selector +
                 ":focus { border: 1px solid #3070c0; }";
    }
    if (entry.m_textColor != kColorUnset) {
        rules += selector + " { color: " + ColorName(entry.m_textColor) + "; }";
    }
    return rules;
}

int NextControlId(const PanelEntry& panel) {
    return panel.m_controls.empty() ? 1 : panel.m_controls.rbegin()->first + 1;
}

QWidget* CreateControlWidget(int style, const QString& label, QWidget* parent) {
    switch (style) {
    case CTRL_TEXT_MSG: {
        auto* text = new QLabel(label, parent);
        text->adjustSize();
        return text;
    }
    case CTRL_RING: {
        auto* ring = new QComboBox(parent);
        if (!label.isEmpty()) ring->setAccessibleName(label);
        return ring;
    }
    case CTRL_DECORATION: {
        auto* frame = new QFrame(parent);
        frame->setFrameShape(QFrame::Box);
        frame->resize(kDecorationWidth, kDecorationHeight);
        if (!label.isEmpty()) frame->setAccessibleName(label);
        return frame;
    }
    default:
        return nullptr;
    }
}

}   // namespace

void ApplyStyle(ControlEntry& entry) {
    QWidget* widget = entry.m_widget.data();
    // Rules match this widget only: its exact class and object name.
    QString selector = QString(".") + widget->metaObject()->className();
    if (!widget->objectName().isEmpty()) selector += "#" + widget->objectName();
    QString sheet = entry.m_baseStyle;
    if (!sheet.isEmpty() && !sheet.contains('{')) sheet = "* { " + sheet + " }";
    QString rules;
    if (entry.m_kind == CtrlKind::Command || entry.m_kind == CtrlKind::Toggle) {
        rules = ButtonRules(entry, selector);
    } else {
        const QString decls = ColourDeclarations(entry);
        if (!decls.isEmpty()) rules = selector + " { " + decls + " }";
    }
    if (!rules.isEmpty()) sheet += (sheet.isEmpty() ? "" : "\n") + rules;
    if (sheet != widget->styleSheet()) widget->setStyleSheet(sheet);
}

// ---------------------------------------------------------------------------------------------
// Values

int GetCtrlVal(int panel, int control, int& value) {
    int error = 0;
    ControlEntry* entry = FindControl(panel, control, error);
    if (entry == nullptr) return error;
    QWidget* widget = entry->m_widget.data();
    switch (entry->m_kind) {
    case CtrlKind::Numeric:
        value = static_cast<QSpinBox*>(widget)->value();
        return 0;
    case CtrlKind::Slider:
        value = static_cast<QSlider*>(widget)->value();
        return 0;
    case CtrlKind::Progress:
        value = static_cast<QProgressBar*>(widget)->value();
        return 0;
    case CtrlKind::Toggle:
        value = static_cast<QAbstractButton*>(widget)->isChecked() ? 1 : 0;
        return 0;
    case CtrlKind::Led:
        value = entry->m_ledOn ? 1 : 0;
        return 0;
    case CtrlKind::Ring: {
        auto* ring = static_cast<QComboBox*>(widget);
        if (ring->currentIndex() < 0) return kErrBadValue;
        bool ok = false;
        const int itemValue = ItemValue(ring, ring->currentIndex()).toInt(&ok);
        if (!ok) return kErrBadValue;
        value = itemValue;
        return 0;
    }
    case CtrlKind::String:
    case CtrlKind::Label: {
        bool ok = false;
        const int number = ShownText(*entry).trimmed().toInt(&ok);
        if (!ok) return kErrBadValue;
        value = number;
        return 0;
    }
    default:
        return kErrBadValue;
    }
}

int GetCtrlVal(int panel, int control, uint16_t& value) {
    int number = 0;
    const int result = GetCtrlVal(panel, control, number);
    if (result < 0) return result;
    value = static_cast<uint16_t>(std::clamp(number, 0, 0xFFFF));
    return 0;
}

int GetCtrlVal(int panel, int control, std::string& value) {
    int error = 0;
    ControlEntry* entry = FindControl(panel, control, error);
    if (entry == nullptr) return error;
    QWidget* widget = entry->m_widget.data();
    switch (entry->m_kind) {
    case CtrlKind::String:
    case CtrlKind::Label:
        value = ToStd(ShownText(*entry));
        return 0;
    case CtrlKind::TextBox:
        value = ToStd(static_cast<QPlainTextEdit*>(widget)->toPlainText());
        return 0;
    case CtrlKind::Ring: {
        auto* ring = static_cast<QComboBox*>(widget);
        if (ring->currentIndex() < 0) return kErrBadValue;
        value = ToStd(ItemValueText(ring, ring->currentIndex()));
        return 0;
    }
    default:
        return kErrBadValue;
    }
}

int SetCtrlVal(int panel, int control, int value) {
    int error = 0;
    ControlEntry* entry = FindControl(panel, control, error);
    if (entry == nullptr) return error;
    QWidget* widget = entry->m_widget.data();
    ProgrammaticChange quiet;
    switch (entry->m_kind) {
    case CtrlKind::Numeric:
        static_cast<QSpinBox*>(widget)->setValue(value);
        return 0;
    case CtrlKind::Slider:
        static_cast<QSlider*>(widget)->setValue(value);
        return 0;
    case CtrlKind::Progress:
        static_cast<QProgressBar*>(widget)->setValue(value);
        return 0;
    case CtrlKind::Toggle:
        static_cast<QAbstractButton*>(widget)->setChecked(value != 0);
        return 0;
    case CtrlKind::Led:
        SetLed(*entry, value != 0);
        return 0;
    case CtrlKind::Ring: {
        auto* ring = static_cast<QComboBox*>(widget);
        for (int index = 0; index < ring->count(); ++index) {
            bool ok = false;
            if (ItemValue(ring, index).toInt(&ok) == value && ok) {
                ring->setCurrentIndex(index);
                return 0;
            }
        }
        return kErrBadValue;
    }
    case CtrlKind::String:
    case CtrlKind::Label: {
        // Compared before a QString is made: most frames show the number already shown.
        char digits[std::numeric_limits<int>::digits10 + 3];
        const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        const QLatin1StringView number(digits, end);
        if (ShownText(*entry) != number) SetShownText(*entry, number);
        return 0;
    }
    default:
        return kErrBadValue;
    }
}

int SetCtrlVal(int panel, int control, const std::string& value) {
    int error = 0;
    ControlEntry* entry = FindControl(panel, control, error);
    if (entry == nullptr) return error;
    QWidget* widget = entry->m_widget.data();
    ProgrammaticChange quiet;
    switch (entry->m_kind) {
    case CtrlKind::String:
    case CtrlKind::Label:
        SetShownText(*entry, ToQt(value));
        return 0;
    case CtrlKind::TextBox: {
        // A text box collects: the text is appended where the last one ended.
        auto* box = static_cast<QPlainTextEdit*>(widget);
        QTextCursor end(box->document());
        end.movePosition(QTextCursor::End);
        end.insertText(ToQt(value));
        return 0;
    }
    case CtrlKind::Ring:
        return SelectRingItem(static_cast<QComboBox*>(widget), ToQt(value));
    default:
        return kErrBadValue;
    }
}

int SetCtrlVal(int panel, int control, const char* value) {
    return SetCtrlVal(panel, control, std::string(value != nullptr ? value : ""));
}

// ---------------------------------------------------------------------------------------------
// Focus

int SetActiveCtrl(int panel, int control) {
    int error = 0;
    ControlEntry* entry = FindControl(panel, control, error);
    if (entry == nullptr) return error;
    entry->m_widget->setFocus(Qt::OtherFocusReason);
    return 0;
}

int GetActiveCtrl(int panel) {
    PanelEntry* entry = FindPanel(panel);
    if (entry == nullptr) return kErrBadPanel;
    const QWidget* focused = entry->m_widget->focusWidget();
    for (const auto& [id, control] : entry->m_controls) {
        const QWidget* widget = control.m_widget.data();
        if (widget != nullptr && focused != nullptr &&
            (focused == widget || widget->isAncestorOf(focused))) {
            return id;
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Controls made at run time

int NewCtrl(int panel, int style, const std::string& label, int top, int left) {
    PanelEntry* entry = FindPanel(panel);
    if (entry == nullptr) return kErrBadPanel;
    QWidget* widget = CreateControlWidget(style, ToQt(label), entry->m_widget.data());
    if (widget == nullptr) return kErrBadValue;
    const int id = NextControlId(*entry);
    widget->setObjectName(QStringLiteral("tavrixCtrl%1").arg(id));
    widget->move(left, top);
    // Decorations lie behind the controls they frame, so they never take their clicks.
    if (style == CTRL_DECORATION) widget->lower();
    widget->show();

    ControlEntry& control = entry->m_controls[id];
    control.m_widget = widget;
    control.m_kind = KindOfWidget(widget);
    control.m_autoSize = style == CTRL_TEXT_MSG;
    entry->m_tabOrder.push_back(id);
    widget->setProperty(kPanelProperty, panel);
    widget->setProperty(kControlProperty, id);
    BindControl(panel, id, control);
    return id;
}

int DiscardCtrl(int panel, int control) {
    int error = 0;
    ControlEntry* entry = FindControl(panel, control, error);
    if (entry == nullptr) return error;
    QWidget* widget = entry->m_widget.data();
    PanelEntry* owner = FindPanel(panel);
    owner->m_controls.erase(control);
    std::erase(owner->m_tabOrder, control);
    DisposeWidget(widget);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Lists of rings

int InsertListItem(int panel, int control, int index, const std::string& label,
                   const std::string& value) {
    int error = 0;
    QComboBox* ring = RingOf(panel, control, error);
    if (ring == nullptr) return error;
    if (index < -1 || index > ring->count()) return kErrBadValue;
    ProgrammaticChange quiet;
    ring->insertItem(index < 0 ? ring->count() : index, ToQt(label), ToQt(value));
    return 0;
}

int ReplaceListItem(int panel, int control, int index, const std::string& label,
                    const std::string& value) {
    int error = 0;
    QComboBox* ring = RingOf(panel, control, error);
    if (ring == nullptr) return error;
    if (index < 0 || index >= ring->count()) return kErrBadValue;
    ProgrammaticChange quiet;
    ring->setItemText(index, ToQt(label));
    ring->setItemData(index, ToQt(value));
    return 0;
}

int DeleteListItem(int panel, int control, int index, int count) {
    int error = 0;
    QComboBox* ring = RingOf(panel, control, error);
    if (ring == nullptr) return error;
    if (index < 0 || index >= ring->count()) return kErrBadValue;
    const int last = count < 0 ? ring->count() : std::min(ring->count(), index + count);
    ProgrammaticChange quiet;
    for (int item = last - 1; item >= index; --item) ring->removeItem(item);
    return 0;
}

int GetNumListItems(int panel, int control, int& count) {
    int error = 0;
    QComboBox* ring = RingOf(panel, control, error);
    if (ring == nullptr) return error;
    count = ring->count();
    return 0;
}

int GetIndexFromValue(int panel, int control, int& index, const std::string& value) {
    int error = 0;
    QComboBox* ring = RingOf(panel, control, error);
    if (ring == nullptr) return error;
    const QString wanted = ToQt(value);
    index = -1;
    for (int item = 0; item < ring->count() && index < 0; ++item) {
        if (ItemValueText(ring, item) == wanted) index = item;
    }
    return 0;
}

int GetValueFromIndex(int panel, int control, int index, std::string& value) {
    int error = 0;
    QComboBox* ring = RingOf(panel, control, error);
    if (ring == nullptr) return error;
    if (index < 0 || index >= ring->count()) return kErrBadValue;
    value = ToStd(ItemValueText(ring, index));
    return 0;
}

int FakeKeystroke(int panel, int control, int key) {
    int error = 0;
    QComboBox* ring = RingOf(panel, control, error);
    if (ring == nullptr) return error;
    if (key != kKeySpace) return kErrBadValue;
    ring->showPopup();
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Text boxes and pictures

int GetTextBoxLine(int panel, int control, int line, std::string& text) {
    int error = 0;
    QPlainTextEdit* box = TextBoxOf(panel, control, error);
    if (box == nullptr) return error;
    const QTextBlock block = box->document()->findBlockByNumber(line);
    if (line < 0 || !block.isValid()) return kErrBadValue;
    text = ToStd(block.text());
    return 0;
}

int ResetTextBox(int panel, int control, const std::string& text) {
    int error = 0;
    QPlainTextEdit* box = TextBoxOf(panel, control, error);
    if (box == nullptr) return error;
    box->setPlainText(ToQt(text));
    return 0;
}

int DisplayImageFile(int panel, int control, const std::string& path) {
    int error = 0;
    ControlEntry* entry = FindControl(panel, control, error);
    if (entry == nullptr) return error;
    auto* picture = qobject_cast<QLabel*>(entry->m_widget.data());
    if (picture == nullptr) return kErrBadAttribute;
    QPixmap image;
    if (!image.load(ToQt(path))) return kErrBadValue;
    picture->setPixmap(image);
    return 0;
}

}   // namespace platform
