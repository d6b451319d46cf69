#include "link/exchanges.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "core/displaytext.h"
#include "core/paramfile.h"
#include "link/transport.h"
#include "platform/platform.h"

namespace sensorlink {

namespace {

void Call(const std::function<void()>& hook) {
    if (hook) hook();
}

// One request and its reply: stale bytes are dropped and the reply is armed before the
// write, so that a reply arriving during the write's event processing is kept.
int32_t Exchange(int writeTimeoutMs, double limitSeconds) {
    Transport& transport = CurrentTransport();
    transport.FlushQueues();
    transport.ArmReply();
    transport.Write(writeTimeoutMs);
    return transport.AwaitReply(limitSeconds);
}

// Packs `code` and sends it; the echo is checked by CheckEcho.
void SendForEcho(uint16_t code) {
    order = code;
    FillTxBuf(order);
    CurrentTransport().ArmReply();
    CurrentTransport().Write(kWriteTimeoutMs);
}

}   // namespace

bool ReadParameterFile(const std::string& path, uint16_t words[kRecordWords], std::string& reason) {
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

void Pause(double seconds) {
    const double start = platform::Timer();
    while (platform::Timer() - start <= seconds) platform::ProcessSystemEvents();
}

void CheckEcho(int words) {
    CurrentTransport().AwaitReply(kReplyLimitS);
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
    ShowStatus("TIMEOUT");
    Call(hooks.m_exchangeFailed);
}

void SendPara() {
    Call(hooks.m_readPanel);
    CopyVarsToPP();
    CurrentTransport().FlushQueues();
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
    CurrentTransport().FlushQueues();
    if (target == EEPROM) {
        SendForEcho(kCodeEepromLoad);
        CheckEcho(2);
        if (comecho == 0) return;
    }
    order = kCodeParaRead;
    FillTxBuf(order);
    Befehl3plus4();
    Call(hooks.m_parametersChanged);
}

void Befehl3plus4() {
    if (Exchange(kWriteTimeoutMs, kReplyLimitS) == 0) {
        GetRxBufPara();
        CopyPPtoVars();
    } else {
        SetPopupTimeout();
    }
}

void GetDataFrame() {
    order = kCodeData;
    FillTxBuf(order);
    Exchange(kWriteTimeoutMs, kReplyLimitS);
}

void GetData() {
    CurrentTransport().FlushQueues();
    poll = 1;
    while (poll == 1) {
        GetDataFrame();
        if (bytesToRead == 0) {
            GetRxBufData();
            CopyDatatoVars();
            Call(hooks.m_frameTaken);
        } else {
            SetPopupTimeout();
        }
        // The sleep follows at once: no reason to wait for an event first.
        platform::ProcessSystemEvents(platform::EventWait::None);
        platform::Sleep(kPollSleepMs);
    }
}

void CheckComLine() {
    Pause(kIdentifyPauseS);
    order = kCodeIdentify;
    FillTxBuf(order);
    Exchange(CurrentTransport().IdentifyWriteTimeoutMs(), CurrentTransport().IdentifyLimitS());
    if (bytesToRead != 0) {
        SetPopupTimeout();
        return;
    }
    std::memcpy(version, szReadBuf, kVersionLength);
    version[kVersionLength] = '\0';
    ShowStatus(DisplayText(std::string_view(version, strnlen(version, kVersionLength))));
    GetPara();
    if (comecho == 1) Call(hooks.m_sensorReady);
}

void SendParaToFile() {
    if (platform::FileSelectPopup(proj_dir, kParameterFileName, kParameterFileFilter,
                                  kParameterFileTitle, file_name) <= 0)
        return;
    Call(hooks.m_readPanel);
    CopyVarsToPP();
    if (!platform::WriteFileBytes(file_name, FormatParameterFile(pp)))
        platform::MessagePopup(platform::kAttentionTitle,
                               "The parameter file could not be written:\n" + file_name);
}

void ReadParaFromFile() {
    if (platform::FileSelectPopup(proj_dir, kParameterFileName, kParameterFileFilter,
                                  kParameterFileTitle, file_name) <= 0)
        return;
    uint16_t words[kRecordWords];
    std::string reason;
    if (!ReadParameterFile(file_name, words, reason)) {
        platform::MessagePopup(platform::kAttentionTitle,
                               "The parameter file was not loaded: " + reason + ".\n" + file_name);
        return;
    }
    std::copy(words, words + kRecordWords, pp);
    CopyFileParatoVars();
    Call(hooks.m_parametersChanged);
}

void StartTriggeredData() {
    order = kCodeTriggered;
    FillTxBuf(order);
    // Bytes from before the trigger command are no triggered frames.
    CurrentTransport().BeginStream();
    CurrentTransport().Write(kWriteTimeoutMs);
}

int32_t AwaitTriggeredFrame() { return CurrentTransport().AwaitStreamFrame(); }

void StopTriggeredData() { CurrentTransport().EndStream(); }

}   // namespace sensorlink
