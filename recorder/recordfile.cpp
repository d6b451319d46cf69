// The record file: choosing it through the file dialog, its header, and one line per frame,
// each appended by opening, writing and closing the file so that no handle is held while
// events are processed.
#include <ctime>
#include <string>

#include "core/recordformat.h"
#include "link/com232.h"
#include "link/exchanges.h"
#include "platform/platform.h"
#include "recorder/recorder.h"
#include "ui/TavrixV20.h"
#include "ui/panels.h"

namespace recorder {

namespace {

// Makes the record-file box show `path` as its only line.
void ShowRecordFile(const std::string& path) {
    platform::ResetTextBox(ui::recpanel, ui::RECP_FILE, "");
    platform::SetCtrlVal(ui::recpanel, ui::RECP_FILE, path);
}

void RefuseRecordFile() {
    platform::MessagePopup(platform::kAttentionTitle, "The record file cannot be written there: " +
                                                          platform::LastFileFailureReason() +
                                                          ".\n" + sensorlink::file_name);
}

std::tm LocalNow() { return platform::LocalTime(std::time(nullptr)); }

}   // namespace

// A path where the record file cannot be created or appended to is refused when it is chosen,
// with the system's reason; the record-file box keeps the choice it had.
void SelRecFile() {
    using sensorlink::file_name;
    const int chosen = platform::FileSelectPopup(sensorlink::proj_dir, kRecordFileName,
                                                 kRecordFileFilter, kRecordFileTitle, file_name);
    constexpr int kExistingFile = 1;
    if (chosen <= 0) {
        platform::MessagePopup(platform::kAttentionTitle, kNoFileText);
        return;
    }
    if (!platform::CanAppendTo(file_name)) return RefuseRecordFile();
    if (chosen == kExistingFile) {
        if (platform::ConfirmPopup(platform::kAttentionTitle, kFileExistsText) == 0) return;
        platform::MessagePopup(platform::kAttentionTitle, kReminderExistingFile);
        platform::DeleteFile(file_name);
    }
    if (!WriteFileHeader()) return RefuseRecordFile();
    ShowRecordFile(file_name);
}

bool WriteFileHeader() {
    return platform::AppendFileBytes(sensorlink::file_name, std::string(kRecordHeader));
}

bool ToFile() {
    const std::string line =
        FormatRecordLine(LocalNow(), sensorlink::dataANA0, sensorlink::dataTemp);
    if (platform::AppendFileBytes(sensorlink::file_name, line)) {
        ++linesWritten;
        return true;
    }
    lineLost = true;
    sensorlink::poll = 0;
    return false;
}

}   // namespace recorder
