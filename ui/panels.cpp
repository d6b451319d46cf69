#include "ui/panels.h"

#include "platform/platform.h"
#include "ui/TavrixV20.h"

namespace ui {

namespace {

// The controls that must not start a second exchange while one runs, in dimming order.
struct PanelControl {
    int* m_panel;
    int m_control;
};
const PanelControl kExchangeControls[] = {
    {&mainpanel, MAINP_BUTTON_SEND},
    {&mainpanel, MAINP_BUTTON_GET},
    {&mainpanel, MAINP_BUTTON_GO},
    {&mainpanel, MAINP_SELECT_RAM},
    {&mainpanel, MAINP_SELECT_EEPROM},
    {&mainpanel, MAINP_SELECT_FILE},
    {&interfacepanel, INTERFACEP_BUTTON_TRY},
    {&interfacepanel, INTERFACEP_BUTTON_DISCARD},
    {&recpanel, RECP_BUTTON_SELFILE},
    {&recpanel, RECP_MODE},
    {&recpanel, RECP_BUTTON_START},
    {&recpanel, RECP_BUTTON_TRIGSTART},
};

void Dim(int panel, int control, bool dimmed) {
    platform::SetCtrlAttribute(panel, control, platform::ATTR_DIMMED, dimmed ? 1 : 0);
}

}   // namespace

void ShowChildPanel(int code) {
    struct Child {
        int m_code;
        int m_button;
        int* m_panel;
    };
    const Child children[] = {{kShowConnection, MAINP_BUTTON_CONNECT, &interfacepanel},
                              {kShowParameters, MAINP_BUTTON_PARA, &parapanel},
                              {kShowRecorder, MAINP_BUTTON_RECORDER, &recpanel}};
    for (const Child& child : children) {
        platform::SetCtrlAttribute(mainpanel, child.m_button, platform::ATTR_CMD_BUTTON_COLOR,
                                   kButtonColor);
        platform::HidePanel(*child.m_panel);
    }
    for (const Child& child : children) {
        if (child.m_code != code) continue;
        platform::SetCtrlAttribute(mainpanel, child.m_button, platform::ATTR_CMD_BUTTON_COLOR,
                                   kSelectedButtonColor);
        if (code == kShowConnection) Dim(interfacepanel, INTERFACEP_BUTTON_ACCEPT, true);
        platform::DisplayPanel(*child.m_panel);
    }
}

void SetButtonsDimmed(int dimmed) {
    for (const PanelControl& c : kExchangeControls) Dim(*c.m_panel, c.m_control, dimmed != 0);
    platform::ProcessSystemEvents();
}

void ShowStatusText(const std::string& text) {
    platform::SetCtrlVal(datapanel, DATAP_STATUS, text);
    platform::SetCtrlVal(interfacepanel, INTERFACEP_STATUS, text);
}

}   // namespace ui
