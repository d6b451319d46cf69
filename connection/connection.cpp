#include "connection/connection.h"

#include <vector>

#include "connection/combobox.h"
#include "core/configfiles.h"
#include "core/displaytext.h"
#include "link/com232.h"
#include "link/exchanges.h"
#include "link/transport.h"
#include "platform/platform.h"
#include "ui/TavrixV20.h"
#include "ui/helptexts.h"
#include "ui/panels.h"

namespace connection {

namespace sl = sensorlink;

namespace {

int Panel() { return ui::interfacepanel; }

void DimAccept() {
    platform::SetCtrlAttribute(Panel(), ui::INTERFACEP_BUTTON_ACCEPT, platform::ATTR_DIMMED, 1);
}

std::string TextOf(int panel, int control, size_t maxChars) {
    std::string text;
    platform::GetCtrlVal(panel, control, text);
    return std::string(sensorlink::CutOnCharBoundary(text, maxChars));
}

uint16_t NumberOf(int control) {
    uint16_t value = 0;
    platform::GetCtrlVal(Panel(), control, value);
    return value;
}

// What the panel shows, as the settings.
void ReadPanelSettings() {
    sl::comprotocol = NumberOf(ui::INTERFACEP_PROTOCOL);
    sl::comport = NumberOf(ui::INTERFACEP_COMPORT);
    sl::ipBuf = TextOf(Panel(), ui::INTERFACEP_IPADDRESS, kAddressMaxChars);
    portNumStr = TextOf(Panel(), ui::INTERFACEP_PORTNUMBER, kPortTextMaxChars);
}

// Selects port n in the serial port selector, listing it as not present if the table lacks it.
void SelectSerialPort(int n) {
    if (platform::SetCtrlVal(Panel(), ui::INTERFACEP_COMPORT, n) >= 0) return;
    platform::InsertListItem(Panel(), ui::INTERFACEP_COMPORT, -1,
                             std::to_string(n) + "  (not present)", std::to_string(n));
    platform::SetCtrlVal(Panel(), ui::INTERFACEP_COMPORT, n);
}

void ShowSettingsOnPanel(uint16_t protocol, uint16_t port, const std::string& address,
                         const std::string& portText) {
    platform::SetCtrlVal(Panel(), ui::INTERFACEP_PROTOCOL, static_cast<int>(protocol));
    SelectSerialPort(port);
    platform::SetCtrlVal(Panel(), ui::INTERFACEP_IPADDRESS, address);
    platform::SetCtrlVal(Panel(), ui::INTERFACEP_PORTNUMBER, portText);
}

void ShowServerAddressBox(bool visible) {
    platform::SetCtrlAttribute(Panel(), ui::INTERFACEP_IPADDRESS, platform::ATTR_VISIBLE,
                               visible ? 1 : 0);
    Combo_SetComboAttribute(Panel(), ui::INTERFACEP_IPADDRESS, COMBO_ATTR_VISIBLE, visible ? 1 : 0);
}

std::vector<std::string> HistoryEntries() {
    std::vector<std::string> entries;
    const ComboRecord* record = GetComboRecord(Panel(), ui::INTERFACEP_IPADDRESS);
    if (record == nullptr) return entries;
    int count = 0;
    platform::GetNumListItems(record->m_panel, record->m_listButton, count);
    for (int i = 0; i < count; ++i) {
        std::string entry;
        platform::GetValueFromIndex(record->m_panel, record->m_listButton, i, entry);
        entries.push_back(entry);
    }
    return entries;
}

void WriteHistoryFile() {
    const std::vector<std::string> entries = HistoryEntries();
    if (platform::WriteFileBytes(ipComboBoxFileName, FormatHistoryFile(entries))) return;
    if (historyWriteFailureReported) return;
    historyWriteFailureReported = true;
    platform::MessagePopup(
        platform::kAttentionTitle,
        "The list of server addresses could not be saved in\n" + ipComboBoxFileName);
}

// A committed address goes to the top of the history, once, and the list keeps the ten most
// recent; the file is rewritten to match.
void CommitAddress(int panel, int control) {
    DimAccept();
    sl::ipBuf = TextOf(panel, control, kAddressMaxChars);
    int index = -1;
    Combo_GetIndexFromValue(panel, control, index, sl::ipBuf);
    if (index >= 0) Combo_DeleteComboItem(panel, control, index, 1);
    Combo_InsertComboItem(panel, control, 0, sl::ipBuf);
    if (const ComboRecord* record = GetComboRecord(panel, control)) {
        int count = 0;
        platform::GetNumListItems(panel, record->m_listButton, count);
        if (count > kHistoryEntries) Combo_DeleteComboItem(panel, control, kHistoryEntries, -1);
    }
    WriteHistoryFile();
}

void Discard() {
    ShowSettingsOnPanel(comprotocolold, comportold, ipBufOld, portNumStrOld);
    DimAccept();
    ui::SetButtonsDimmed(1);
    InitConnectPanel();
    TryToConnect();
    ui::SetButtonsDimmed(0);
}

// The panel is opened: a running GO loop ends, the port list is brought up to date, and
// what the panel shows becomes the settings that discarding puts back.
void OpenPanel() {
    sl::poll = 0;
    const uint16_t selectedPort = NumberOf(ui::INTERFACEP_COMPORT);
    if (refreshPortTableOnOpen) platform::RefreshSerialPortTable();
    FillSerialPortSelector(selectedPort);
    comprotocolold = NumberOf(ui::INTERFACEP_PROTOCOL);
    comportold = NumberOf(ui::INTERFACEP_COMPORT);
    ipBufOld = TextOf(Panel(), ui::INTERFACEP_IPADDRESS, kAddressMaxChars);
    portNumStrOld = TextOf(Panel(), ui::INTERFACEP_PORTNUMBER, kPortTextMaxChars);
    ui::ShowChildPanel(ui::kShowConnection);
}

bool Commit(int event) { return event == platform::EVENT_COMMIT; }

}   // namespace

void FillSerialPortSelector(int selected) {
    platform::DeleteListItem(Panel(), ui::INTERFACEP_COMPORT, 0, -1);
    const std::vector<platform::SerialPortEntry>& table = platform::SerialPortTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        std::string label = n + "  " + table[i].device;
        if (!table[i].description.empty()) label += "  " + table[i].description;
        platform::InsertListItem(Panel(), ui::INTERFACEP_COMPORT, -1, label, n);
    }
    SelectSerialPort(selected);
}

void LoadAddressHistory() {
    const int panel = Panel();
    Combo_NewComboBox(panel, ui::INTERFACEP_IPADDRESS);
    Combo_SetComboAttribute(panel, ui::INTERFACEP_IPADDRESS, COMBO_ATTR_FRAME_COLOR,
                            kHistoryFrameColor);
    long long size = 0;
    if (platform::GetFileInfo(ipComboBoxFileName, size) != 1) return;
    std::string bytes;
    if (!platform::ReadFileBytes(ipComboBoxFileName, bytes)) return;
    const ComboRecord* record = GetComboRecord(panel, ui::INTERFACEP_IPADDRESS);
    if (record == nullptr) return;
    for (const std::string& entry : ParseHistoryFile(bytes)) {
        int count = 0;
        platform::GetNumListItems(panel, record->m_listButton, count);
        Combo_InsertComboItem(panel, ui::INTERFACEP_IPADDRESS, count, entry);
    }
}

void GetConnectionSettingsFromFile() {
    long long size = 0;
    std::string bytes;
    if (platform::GetFileInfo(conSettingsFileName, size) != 1 ||
        !platform::ReadFileBytes(conSettingsFileName, bytes)) {
        sl::comprotocol = sl::kRS232;
        sl::comport = 1;
        FillSerialPortSelector(NumberOf(ui::INTERFACEP_COMPORT));
        return;
    }
    const ConnectionSettings settings = ParseSettingsFile(bytes);
    sl::comprotocol = settings.m_comprotocol;
    sl::comport = settings.m_comport;
    sl::ipBuf = settings.m_ipBuf;
    portNumStr = settings.m_portNumStr;
    FillSerialPortSelector(sl::comport);
    ShowSettingsOnPanel(sl::comprotocol, sl::comport, sl::ipBuf, portNumStr);
}

void InitConnectPanel() {
    sl::comprotocol = NumberOf(ui::INTERFACEP_PROTOCOL);
    if (sl::comprotocol != sl::kRS232 && sl::comprotocol != sl::kTCPIP) return;
    const bool tcp = sl::comprotocol == sl::kTCPIP;
    platform::SetCtrlAttribute(Panel(), ui::INTERFACEP_COMPORT, platform::ATTR_VISIBLE,
                               tcp ? 0 : 1);
    ShowServerAddressBox(tcp);
    platform::SetCtrlAttribute(Panel(), ui::INTERFACEP_PORTNUMBER, platform::ATTR_VISIBLE,
                               tcp ? 1 : 0);
}

void TryToConnect() {
    // The port in use is freed before the panel names the next one, so switching ports or
    // leaving RS-232 for TCP/IP releases it; a port that is not open is no error.
    platform::CloseCom(sl::comport);
    sl::ShowStatus("TRY");
    ReadPanelSettings();
    platform::ProcessSystemEvents();
    platform::SetCtrlVal(ui::datapanel, ui::DATAP_COMPORT, static_cast<int>(sl::comport));
    platform::SetCtrlVal(ui::datapanel, ui::DATAP_IPADDRESS, sl::ipBuf);
    sl::portNum = DecimalValue(portNumStr);
    if (sl::comprotocol == sl::kRS232) {
        platform::SetCtrlAttribute(ui::datapanel, ui::DATAP_COMPORT, platform::ATTR_VISIBLE, 1);
        platform::SetCtrlAttribute(ui::datapanel, ui::DATAP_IPADDRESS, platform::ATTR_VISIBLE, 0);
    } else if (sl::comprotocol == sl::kTCPIP) {
        platform::SetCtrlAttribute(ui::datapanel, ui::DATAP_COMPORT, platform::ATTR_VISIBLE, 0);
        platform::SetCtrlAttribute(ui::datapanel, ui::DATAP_IPADDRESS, platform::ATTR_VISIBLE, 1);
    }
    sl::OpenTransport();
    // "TIMEOUT" replaces the open's failure text in the status displays; why it failed stays
    // at hand in the connection status display's tooltip.
    platform::SetCtrlAttribute(Panel(), ui::INTERFACEP_STATUS, platform::ATTR_TOOLTIP_TEXT,
                               sl::ret < 0 ? sl::OpenFailureText() : std::string());
    if (sl::ret < 0)
        sl::SetPopupTimeout();
    else
        sl::CheckComLine();
}

void SaveCommunicationSettings() {
    ReadPanelSettings();
    const ConnectionSettings settings{sl::comprotocol, sl::comport, sl::ipBuf, portNumStr};
    if (platform::WriteFileBytes(conSettingsFileName, FormatSettingsFile(settings))) return;
    platform::MessagePopup(platform::kAttentionTitle,
                           "The connection settings could not be saved in\n" + conSettingsFileName);
}

int CBF_ButtonConnect(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonConnect)) return 0;
    if (Commit(event)) OpenPanel();
    return 0;
}

int CBF_ButtonTryToConnect(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonTryToConnect)) return 0;
    if (!Commit(event)) return 0;
    ui::SetButtonsDimmed(1);
    TryToConnect();
    ui::SetButtonsDimmed(0);
    return 0;
}

int CBF_ButtonAccept(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonAccept)) return 0;
    if (!Commit(event)) return 0;
    SaveCommunicationSettings();
    ui::ShowChildPanel(ui::kShowParameters);
    return 0;
}

int CBF_ButtonDiscard(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoButtonDiscard)) return 0;
    if (Commit(event)) Discard();
    return 0;
}

int CBF_EditCommunicationProtocol(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoEditCommunicationProtocol)) return 0;
    if (!Commit(event)) return 0;
    InitConnectPanel();
    DimAccept();
    return 0;
}

int CBF_EditSelectComPort(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoEditConnect)) return 0;
    if (Commit(event)) DimAccept();
    return 0;
}

int CBF_StringIpAdress(int panel, int control, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoStringIpAdress)) return 0;
    if (Commit(event)) CommitAddress(panel, control);
    return 0;
}

int CBF_StringPortNumber(int, int, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoStringPortNumber)) return 0;
    if (Commit(event)) DimAccept();
    return 0;
}

int CBF_EditID(int panel, int control, int event, void*, int, int) {
    if (ui::ShowHelpOnRightClick(event, ui::InfoEditID)) return 0;
    if (Commit(event))
        platform::SetCtrlVal(ui::recpanel, ui::RECP_SENSOR_ID,
                             TextOf(panel, control, kSensorIdMaxChars));
    return 0;
}

int CBF_INTERFACEP(int, int, int, void*, int, int) { return 0; }

void RegisterCallbacks() {
    platform::RegisterCallbacks({
        {"CBF_ButtonConnect", CBF_ButtonConnect},
        {"CBF_ButtonTryToConnect", CBF_ButtonTryToConnect},
        {"CBF_ButtonAccept", CBF_ButtonAccept},
        {"CBF_ButtonDiscard", CBF_ButtonDiscard},
        {"CBF_EditCommunicationProtocol", CBF_EditCommunicationProtocol},
        {"CBF_EditSelectComPort", CBF_EditSelectComPort},
        {"CBF_StringIpAdress", CBF_StringIpAdress},
        {"CBF_StringPortNumber", CBF_StringPortNumber},
        {"CBF_EditID", CBF_EditID},
        {"CBF_INTERFACEP", CBF_INTERFACEP},
    });
}

}   // namespace connection
