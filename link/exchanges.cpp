#include "link/exchanges.h"

#include <algorithm>
#include <cstring>

#include "graph/graph.h"
#include "link/displaytext.h"
#include "link/paramfile.h"
#include "platform/platform.h"
#include "shell/TavrixV20.h"
#include "ui/TavrixV20.h"

namespace sensorlink {

namespace {

bool Serial() { return comprotocol == kRS232; }

// One request and its reply: RS-232 flushes first; TCP arms the awaited count before the
// write so that a reply arriving during the write's event processing is kept.
int32_t Exchange(int tcpWriteTimeoutMs, double limitSeconds) {
    if (Serial())
        FlushSerialQueues();
    else
        ArmReply();
    WriteTelegram(tcpWriteTimeoutMs);
    return AwaitReply(limitSeconds);
}

// Packs `code` and sends it; the echo is checked by CheckEcho.
void SendForEcho(uint16_t code) {
    order = code;
    FillTxBuf(order);
    if (!Serial()) ArmReply();
    WriteTelegram(kWriteTimeoutMs);
}

bool ReadParameterFileInto(const std::string& path, uint16_t words[kRecordWords],
                           std::string& reason) {
    long long size = 0;
    if (platform::GetFileInfo(path, size) != 1) {
        reason = "the file does not exist";
        return false;
    }
    std::string bytes;
    // A parameter file is 16 short lines; anything far larger is not one.
    constexpr long long kMaxParameterFileBytes = 64 * 1024;
    if (size > kMaxParameterFileBytes) {
        reason = "the file is too large to be a parameter file";
        return false;
    }
    if (!platform::ReadFileBytes(path, bytes, kMaxParameterFileBytes)) {
        reason = "the file cannot be read";
        return false;
    }
    reason = ParseParameterFile(bytes, words);
    return reason.empty();
}

}  // namespace

void Pause(double seconds) {
    const double start = platform::Timer();
    while (platform::Timer() - start <= seconds) platform::ProcessSystemEvents();
}

void CheckEcho(int words) {
    AwaitReply(kReplyLimitS);
    if (bytesToRead == 0) {
        comecho = 1;
        if (szReadBuf[0] != 0x00 || szReadBuf[1] != 0xAA) comecho = 0;
        for (int i = 2; i < 2 * words; ++i)
            if (szReadBuf[i] != szWriteBuf[i]) comecho = 0;
        if (comecho == 1) return;
    }
    SetPopupTimeout();
}

void SetPopupTimeout() {
    poll = 0;
    comecho = 0;
    shell::ShowStatusText("TIMEOUT");
    shell::ShowChildPanel(shell::kShowConnection);
}

void SendPara() {
    shell::GetPanelValues();
    CopyVarsToPP();
    if (Serial()) FlushSerialQueues();
    SendForEcho(kCodeParaWrite);
    CheckEcho(kTelegramWords);
    if (comecho == 0) return;
    if (target == EEPROM) {
        SendForEcho(kCodeEepromStore);
        CheckEcho(2);
        Pause(kEepromStorePauseS);
    }
}

void GetPara() {
    poll = 0;
    comecho = 1;
    if (Serial()) FlushSerialQueues();
    if (target == EEPROM) {
        SendForEcho(kCodeEepromLoad);
        CheckEcho(2);
        if (comecho == 0) return;
    }
    order = kCodeParaRead;
    FillTxBuf(order);
    Befehl3plus4();
    shell::SetPanelValues();
    shell::InitPanelCtrlAttr();
}

void Befehl3plus4() {
    if (Exchange(kWriteTimeoutMs, kReplyLimitS) == 0) {
        GetRxBufPara();
        CopyPPtoVars();
    } else {
        SetPopupTimeout();
    }
}

void GetDataFrame() { Exchange(kWriteTimeoutMs, kReplyLimitS); }

void GetData() {
    if (Serial()) FlushSerialQueues();
    poll = 1;
    while (poll == 1) {
        order = kCodeData;
        FillTxBuf(order);
        GetDataFrame();
        if (bytesToRead == 0) {
            GetRxBufData();
            CopyDatatoVars();
            shell::SetPanelData();
            graph::ShowGraph();
        } else {
            SetPopupTimeout();
        }
        platform::ProcessSystemEvents();
        platform::Sleep(kPollSleepMs);
    }
}

void CheckComLine() {
    Pause(kIdentifyPauseS);
    order = kCodeIdentify;
    FillTxBuf(order);
    const bool serial = Serial();
    Exchange(serial ? kWriteTimeoutMs : kIdentifyWriteTimeoutMs,
             serial ? kIdentifyLimitSerialS : kIdentifyLimitTcpS);
    if (bytesToRead != 0) {
        SetPopupTimeout();
        return;
    }
    std::memcpy(version, szReadBuf, kVersionLength);
    version[kVersionLength] = '\0';
    shell::ShowStatusText(DisplayText(std::string_view(version, strnlen(version, kVersionLength))));
    GetPara();
    if (comecho == 1)
        platform::SetCtrlAttribute(shell::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT,
                                   platform::ATTR_DIMMED, 0);
}

void SendParaToFile() {
    if (platform::FileSelectPopup(shell::proj_dir, kParameterFileName, kParameterFileFilter,
                                  kParameterFileTitle, file_name) <= 0)
        return;
    shell::GetPanelValues();
    CopyVarsToPP();
    if (!platform::WriteFileBytes(file_name, FormatParameterFile(pp)))
        platform::MessagePopup("ATTENTION!", "The parameter file could not be written:\n" +
                                                 file_name);
}

void ReadParaFromFile() {
    if (platform::FileSelectPopup(shell::proj_dir, kParameterFileName, kParameterFileFilter,
                                  kParameterFileTitle, file_name) <= 0)
        return;
    uint16_t words[kRecordWords];
    std::string reason;
    if (!ReadParameterFileInto(file_name, words, reason)) {
        platform::MessagePopup("ATTENTION!", "The parameter file was not loaded: " + reason +
                                                 ".\n" + file_name);
        return;
    }
    std::copy(words, words + kRecordWords, pp);
    CopyFileParatoVars();
    shell::SetPanelValues();
    shell::InitPanelCtrlAttr();
}

}  // namespace sensorlink
