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

std::tm LocalNow() { return platform::LocalTime(std::time(nullptr)); }

}   // namespace

void SelRecFile() {
    using sensorlink::file_name;
    const int chosen = platform::FileSelectPopup(sensorlink::proj_dir, kRecordFileName,
                                                 kRecordFileFilter, kRecordFileTitle, file_name);
    constexpr int kExistingFile = 1;
    if (chosen <= 0) {
        platform::MessagePopup(platform::kAttentionTitle, kNoFileText);
        return;
    }
    if (chosen == kExistingFile) {
        if (platform::ConfirmPopup(platform::kAttentionTitle, kFileExistsText) == 0) return;
        platform::MessagePopup(platform::kAttentionTitle, kReminderExistingFile);
        ShowRecordFile(file_name);
        platform::DeleteFile(file_name);
        WriteFileHeader();
        return;
    }
    ShowRecordFile(file_name);
    WriteFileHeader();
}

// The header's result is not examined: a file that cannot be written shows when its lines
// are written.
void WriteFileHeader() {
    platform::AppendFileBytes(sensorlink::file_name, std::string(kRecordHeader));
}

bool ToFile() {
    const std::string line =
        FormatRecordLine(LocalNow(), sensorlink::dataANA0, sensorlink::dataTemp);
    const bool written = platform::AppendFileBytes(sensorlink::file_name, line);
    ++linesTried;
    if (!written) ++linesFailed;
    return written;
}

}   // namespace recorder
