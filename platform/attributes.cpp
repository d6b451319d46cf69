// Control attributes: state, colours, font, geometry, entry limits, selection, tab order.
#include "platform/panelstate.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <algorithm>

namespace platform {
namespace {

constexpr int kRgbMask = 0xFFFFFF;
constexpr int kQtUnlimitedLength = 32767;   // QLineEdit's maximum length when unlimited

bool IsColour(int value) { return value >= 0 && value <= kRgbMask; }

bool IsIndicator(const ControlEntry& entry) {
    switch (entry.m_kind) {
    case CtrlKind::Led:
    case CtrlKind::TextBox:
    case CtrlKind::Progress:
    case CtrlKind::Label:
    case CtrlKind::Decoration:
    case CtrlKind::Graph:
        return true;
    default:
        return entry.m_mode == kModeIndicator;
    }
}

// Line edits and spin boxes show their value read-only in indicator mode; the other
// operable controls ignore input there (see the event routing).
void ApplyMode(ControlEntry& entry) {
    const bool readOnly = entry.m_mode == kModeIndicator;
    if (entry.m_kind == CtrlKind::String) {
        static_cast<QLineEdit*>(entry.m_widget.data())->setReadOnly(readOnly);
    } else if (auto* spin = qobject_cast<QAbstractSpinBox*>(entry.m_widget.data())) {
        spin->setReadOnly(readOnly);
    }
}

int SetColour(ControlEntry& entry, int attr, int value) {
    const bool button = entry.m_kind == CtrlKind::Command || entry.m_kind == CtrlKind::Toggle;
    switch (attr) {
    case ATTR_CMD_BUTTON_COLOR:
        if (!button) return kErrBadAttribute;
        if (!IsColour(value)) return kErrBadValue;
        entry.m_cmdColor = value;
        break;
    case ATTR_TEXT_COLOR:
        if (!IsColour(value)) return kErrBadValue;
        entry.m_textColor = value;
        break;
    case ATTR_TEXT_BGCOLOR:
        if (!IsColour(value) && value != kTransparent) return kErrBadValue;
        entry.m_bgColor = value;
        break;
    default:   // ATTR_FRAME_COLOR
        if (!IsColour(value)) return kErrBadValue;
        entry.m_frameColor = value;
        break;
    }
    ApplyStyle(entry);
    return 0;
}

int GetColour(const ControlEntry& entry, int attr, int& value) {
    const QWidget* widget = entry.m_widget.data();
    const QPalette& palette = widget->palette();
    int stored = kColorUnset;
    QColor shown;
    switch (attr) {
    case ATTR_CMD_BUTTON_COLOR:
        if (entry.m_kind != CtrlKind::Command && entry.m_kind != CtrlKind::Toggle) {
            return kErrBadAttribute;
        }
        stored = entry.m_cmdColor;
        shown = palette.color(QPalette::Button);
        break;
    case ATTR_TEXT_COLOR:
        stored = entry.m_textColor;
        shown = palette.color(widget->foregroundRole());
        break;
    case ATTR_TEXT_BGCOLOR:
        stored = entry.m_bgColor;
        shown = palette.color(widget->backgroundRole());
        break;
    default:   // ATTR_FRAME_COLOR
        stored = entry.m_frameColor;
        shown = palette.color(entry.m_kind == CtrlKind::Decoration ? widget->backgroundRole()
                                                                   : QPalette::Mid);
        break;
    }
    value = stored != kColorUnset ? stored : static_cast<int>(shown.rgb() & kRgbMask);
    return 0;
}

int SetFontAttribute(ControlEntry& entry, int attr, int value) {
    QFont font = entry.m_widget->font();
    if (attr == ATTR_TEXT_POINT_SIZE) {
        if (value <= 0) return kErrBadValue;
        font.setPointSize(value);
    } else {
        font.setBold(value != 0);
    }
    entry.m_widget->setFont(font);
    if (entry.m_autoSize) entry.m_widget->adjustSize();
    return 0;
}

int SetRange(ControlEntry& entry, int attr, int value) {
    QWidget* widget = entry.m_widget.data();
    ProgrammaticChange quiet;
    const bool minimum = attr == ATTR_MIN_VALUE;
    if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
        minimum ? spin->setMinimum(value) : spin->setMaximum(value);
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(widget)) {
        minimum ? slider->setMinimum(value) : slider->setMaximum(value);
    } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
        minimum ? bar->setMinimum(value) : bar->setMaximum(value);
    } else {
        return kErrBadAttribute;
    }
    return 0;
}

int GetRange(const ControlEntry& entry, int attr, int& value) {
    QWidget* widget = entry.m_widget.data();
    const bool minimum = attr == ATTR_MIN_VALUE;
    if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
        value = minimum ? spin->minimum() : spin->maximum();
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(widget)) {
        value = minimum ? slider->minimum() : slider->maximum();
    } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
        value = minimum ? bar->minimum() : bar->maximum();
    } else {
        return kErrBadAttribute;
    }
    return 0;
}

// Selection start and length of a string control: with nothing selected the start is the
// cursor position and the length 0.
int SetSelection(QLineEdit* edit, int attr, int value) {
    if (value < 0) return kErrBadValue;
    const int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    const int length = edit->hasSelectedText() ? edit->selectionLength() : 0;
    if (attr == ATTR_TEXT_SELECTION_START) {
        length > 0 ? edit->setSelection(value, length) : edit->setCursorPosition(value);
    } else {
        value > 0 ? edit->setSelection(start, value) : edit->setCursorPosition(start);
    }
    return 0;
}

int GetSelection(const QLineEdit* edit, int attr, int& value) {
    if (attr == ATTR_TEXT_SELECTION_START) {
        value = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    } else {
        value = edit->hasSelectedText() ? edit->selectionLength() : 0;
    }
    return 0;
}

// Moves a control to `position` in its panel's tab chain and rebuilds Qt's focus chain.
int SetTabPosition(int panel, int control, int position) {
    PanelEntry* entry = FindPanel(panel);
    std::vector<int>& order = entry->m_tabOrder;
    if (position < 0 || position >= static_cast<int>(order.size())) return kErrBadValue;
    std::erase(order, control);
    order.insert(order.begin() + position, control);
    QWidget* previous = nullptr;
    for (int id : order) {
        QWidget* widget = entry->m_controls[id].m_widget.data();
        if (widget == nullptr) continue;
        if (previous != nullptr) QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
    return 0;
}

int GetTabPosition(int panel, int control, int& position) {
    const std::vector<int>& order = FindPanel(panel)->m_tabOrder;
    position = static_cast<int>(std::find(order.begin(), order.end(), control) - order.begin());
    return 0;
}

}   // namespace

int SetCtrlAttribute(int panel, int control, int attr, int value) {
    int error = 0;
    ControlEntry* entry = FindControl(panel, control, error);
    if (entry == nullptr) return error;
    QWidget* widget = entry->m_widget.data();
    auto* edit = qobject_cast<QLineEdit*>(widget);
    switch (attr) {
    case ATTR_DIMMED:
        widget->setEnabled(value == 0);
        return 0;
    case ATTR_VISIBLE:
        widget->setVisible(value != 0);
        return 0;
    case ATTR_CTRL_MODE:
        if (value != kModeHot && value != kModeIndicator) return kErrBadValue;
        entry->m_mode = value;
        ApplyMode(*entry);
        return 0;
    case ATTR_CMD_BUTTON_COLOR:
    case ATTR_TEXT_COLOR:
    case ATTR_TEXT_BGCOLOR:
    case ATTR_FRAME_COLOR:
        return SetColour(*entry, attr, value);
    case ATTR_TEXT_POINT_SIZE:
    case ATTR_TEXT_BOLD:
        return SetFontAttribute(*entry, attr, value);
    case ATTR_TOP:
        widget->move(widget->x(), value);
        return 0;
    case ATTR_LEFT:
        widget->move(value, widget->y());
        return 0;
    case ATTR_WIDTH:
    case ATTR_HEIGHT:
        if (value < 0) return kErrBadValue;
        attr == ATTR_WIDTH ? widget->resize(value, widget->height())
                           : widget->resize(widget->width(), value);
        return 0;
    case ATTR_MAX_ENTRY_LENGTH:
        if (edit == nullptr) return kErrBadAttribute;
        edit->setMaxLength(value < 0 ? kQtUnlimitedLength : value);
        return 0;
    case ATTR_TEXT_SELECTION_START:
    case ATTR_TEXT_SELECTION_LENGTH:
        return edit != nullptr ? SetSelection(edit, attr, value) : kErrBadAttribute;
    case ATTR_CTRL_TAB_POSITION:
        return SetTabPosition(panel, control, value);
    case ATTR_MIN_VALUE:
    case ATTR_MAX_VALUE:
        return SetRange(*entry, attr, value);
    default:
        return kErrBadAttribute;   // unknown, or get-only like ATTR_IS_INDICATOR
    }
}

int GetCtrlAttribute(int panel, int control, int attr, int& value) {
    int error = 0;
    ControlEntry* entry = FindControl(panel, control, error);
    if (entry == nullptr) return error;
    QWidget* widget = entry->m_widget.data();
    auto* edit = qobject_cast<QLineEdit*>(widget);
    switch (attr) {
    case ATTR_DIMMED:
        value = widget->testAttribute(Qt::WA_ForceDisabled) ? 1 : 0;
        return 0;
    case ATTR_VISIBLE:
        value = widget->isHidden() ? 0 : 1;
        return 0;
    case ATTR_CTRL_MODE:
        value = entry->m_mode;
        return 0;
    case ATTR_CMD_BUTTON_COLOR:
    case ATTR_TEXT_COLOR:
    case ATTR_TEXT_BGCOLOR:
    case ATTR_FRAME_COLOR:
        return GetColour(*entry, attr, value);
    case ATTR_TEXT_POINT_SIZE:
        value = widget->font().pointSize();
        return 0;
    case ATTR_TEXT_BOLD:
        value = widget->font().bold() ? 1 : 0;
        return 0;
    case ATTR_TOP:
        value = widget->y();
        return 0;
    case ATTR_LEFT:
        value = widget->x();
        return 0;
    case ATTR_WIDTH:
        value = widget->width();
        return 0;
    case ATTR_HEIGHT:
        value = widget->height();
        return 0;
    case ATTR_MAX_ENTRY_LENGTH:
        if (edit == nullptr) return kErrBadAttribute;
        value = edit->maxLength() >= kQtUnlimitedLength ? -1 : edit->maxLength();
        return 0;
    case ATTR_TEXT_SELECTION_START:
    case ATTR_TEXT_SELECTION_LENGTH:
        return edit != nullptr ? GetSelection(edit, attr, value) : kErrBadAttribute;
    case ATTR_CTRL_TAB_POSITION:
        return GetTabPosition(panel, control, value);
    case ATTR_IS_INDICATOR:
        value = IsIndicator(*entry) ? 1 : 0;
        return 0;
    case ATTR_MIN_VALUE:
    case ATTR_MAX_VALUE:
        return GetRange(*entry, attr, value);
    default:
        return kErrBadAttribute;
    }
}

int SetCtrlAttribute(int panel, int control, int attr, const std::string& value) {
    int error = 0;
    ControlEntry* entry = FindControl(panel, control, error);
    if (entry == nullptr) return error;
    QWidget* widget = entry->m_widget.data();
    const QString text = QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
    if (attr == ATTR_TEXT_FONT) {
        QFont font = widget->font();
        font.setFamily(text);
        widget->setFont(font);
    } else if (attr == ATTR_TOOLTIP_TEXT) {
        widget->setToolTip(text);
    } else if (attr != ATTR_LABEL_TEXT) {
        return kErrBadAttribute;
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    } else {
        return kErrBadAttribute;
    }
    if (entry->m_autoSize) widget->adjustSize();
    return 0;
}

int GetCtrlAttribute(int panel, int control, int attr, std::string& value) {
    int error = 0;
    ControlEntry* entry = FindControl(panel, control, error);
    if (entry == nullptr) return error;
    QWidget* widget = entry->m_widget.data();
    QString text;
    if (attr == ATTR_TEXT_FONT) {
        text = widget->font().family();
    } else if (attr == ATTR_TOOLTIP_TEXT) {
        text = widget->toolTip();
    } else if (attr != ATTR_LABEL_TEXT) {
        return kErrBadAttribute;
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        text = button->text();
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        text = label->text();
    } else {
        return kErrBadAttribute;
    }
    value = text.toUtf8().toStdString();
    return 0;
}

}   // namespace platform
