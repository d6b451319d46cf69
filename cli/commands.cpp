#include "cli/commands.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

#include "cli/stored.h"
#include "cli/trace.h"
#include "core/configfiles.h"
#include "core/paramfile.h"
#include "core/recordformat.h"
#include "link/com232.h"
#include "link/exchanges.h"
#include "link/transport.h"
#include "platform/platform.h"

namespace cli {

namespace sl = sensorlink;

namespace {

constexpr double kProgressAfterS = 3.0;   // recordings shorter than this show no progress
constexpr double kProgressEveryS = 1.0;   // shortest time between two progress updates

// What the link's failure handling reported last, "" while all went well.
std::string linkFailure;
std::optional<TracePrinter> tracer;   // with --trace

void Complain(const std::string& text) { std::fprintf(stderr, "tavrix-cli: %s\n", text.c_str()); }

// The link reports through its hooks and the pop-up seam: a failed exchange, each telegram
// for the trace, a closed connection.
void InstallHooks(const Options& options, double startS) {
    sl::hooks = {};
    sl::hooks.m_exchangeFailed = [] {
        const std::string outcome = RejectedReplyOutcome();
        if (tracer) tracer->Reject(outcome);
        if (linkFailure.empty())
            linkFailure = "reply to code " + std::to_string(sl::order) + ": " + outcome;
    };
    if (options.m_trace) {
        tracer.emplace(startS);
        sl::hooks.m_telegramTraced = [](char direction, const uint8_t* bytes, int32_t missing,
                                        double waitedS) {
            tracer->Telegram(direction, bytes, missing, waitedS);
        };
    }
    // The only box the link shows here: the server closed the connection.
    platform::SetPopupHandler([](const platform::PopupRecord& record, std::string&) {
        sl::poll = 0;
        if (linkFailure.empty()) linkFailure = record.text;
        return 0;
    });
}

// The transport named on the command line, or the one the window stored where it keeps it;
// without a stored one the window's default, the first serial port. Returns where the choice
// came from, for the failure messages.
std::string ChooseConnection(const Options& options) {
    if (!options.m_tcpHost.empty()) {
        sl::comprotocol = sl::kTCPIP;
        sl::ipBuf = options.m_tcpHost;
        sl::portNum = options.m_tcpPort;
        return "from --tcp";
    }
    if (!options.m_serialDevice.empty()) {
        platform::SetSerialPortTable({{options.m_serialDevice, ""}});
        sl::comprotocol = sl::kRS232;
        sl::comport = 1;
        return "from --serial";
    }
    sl::comprotocol = sl::kRS232;
    sl::comport = 1;
    const std::string path = StoredSettingsPath();
    std::string bytes;
    if (!platform::ReadFileBytes(path, bytes)) return "the window's default: no " + path;
    const connection::ConnectionSettings settings = connection::ParseSettingsFile(bytes);
    sl::comprotocol = settings.m_comprotocol;
    sl::comport = settings.m_comport;
    sl::ipBuf = settings.m_ipBuf;
    sl::portNum = connection::DecimalValue(settings.m_portNumStr);
    return "from " + path;
}

std::string ConnectionName() {
    if (sl::comprotocol != sl::kRS232) return sl::ipBuf + ":" + std::to_string(sl::portNum);
    const auto& table = platform::SerialPortTable();
    if (sl::comport >= 1 && sl::comport <= table.size()) return table[sl::comport - 1].device;
    return "serial port " + std::to_string(sl::comport);
}

bool Open(const std::string& connectionName) {
    sl::OpenTransport();
    if (sl::ret >= 0) return true;
    Complain("cannot open " + connectionName + ": " + sl::OpenFailureText());
    return false;
}

// A whole reply that does not begin with the reply mark and `code` is a wrong answer; the
// link's failure handling takes it like any other.
void RejectUnlessMarked(const uint16_t words[], uint16_t code) {
    if (words[0] != sl::kReplyMark || words[1] != code) sl::SetPopupTimeout();
}

int SensorOutcome() { return linkFailure.empty() ? kExitOk : kExitSensor; }

// ---- identify, get, send

int Identify() {
    sl::CheckComLine();
    if (linkFailure.empty()) RejectUnlessMarked(sl::pp, sl::kCodeParaRead);
    if (!linkFailure.empty()) return kExitSensor;
    std::printf("%s\n", sl::version);
    return kExitOk;
}

int Get(const Options& options) {
    sl::target = options.m_eeprom ? sl::EEPROM : sl::RAM;
    sl::GetPara();
    if (linkFailure.empty()) RejectUnlessMarked(sl::pp, sl::kCodeParaRead);
    if (!linkFailure.empty()) return kExitSensor;
    const uint16_t* record = sl::pp + 2;
    if (!options.m_file.empty()) {
        if (platform::WriteFileBytes(options.m_file, sl::FormatParameterFile(record)))
            return kExitOk;
        Complain("cannot write " + options.m_file);
        return kExitFile;
    }
    for (int i = 0; i < sl::kRecordWords; ++i)
        std::printf("%s=%u\n", kRecordLabels[i], static_cast<unsigned>(record[i]));
    return kExitOk;
}

int Send(const Options& options, const uint16_t words[sl::kRecordWords]) {
    std::copy(words, words + sl::kRecordWords, sl::pp);
    sl::CopyFileParatoVars();
    sl::target = options.m_eeprom ? sl::EEPROM : sl::RAM;
    sl::SendPara();
    return SensorOutcome();
}

// ---- watch

int Watch(const Options& options) {
    uint64_t frames = 0;
    sl::hooks.m_frameTaken = [&] {
        RejectUnlessMarked(sl::databuf, sl::kCodeData);
        if (!linkFailure.empty()) return;
        std::printf("%u\t%u\t%u\t%u\n", unsigned{sl::dataANA0}, unsigned{sl::dataRef},
                    unsigned{sl::dataTemp}, unsigned{sl::dataOutTol});
        std::fflush(stdout);
        if (++frames == options.m_count) sl::poll = 0;
    };
    sl::GetData();
    sl::hooks.m_frameTaken = nullptr;
    return SensorOutcome();
}

// ---- record

// The count of a recording on standard error, once it has run for a few seconds and only
// when standard error is a terminal.
class Progress {
public:
    explicit Progress(uint64_t total) : m_total(total) {}
    ~Progress() {
        if (m_shownS >= 0.0) std::fputc('\n', stderr);
    }

    void Show(uint64_t lines) {
        const double nowS = platform::Timer();
        if (!m_terminal || nowS - m_startS < kProgressAfterS || nowS - m_shownS < kProgressEveryS)
            return;
        m_shownS = nowS;
        std::string text = std::to_string(lines);
        if (m_total > 0) text.append(" of ").append(std::to_string(m_total));
        std::fprintf(stderr, "\r%s lines recorded", text.c_str());
    }

private:
    uint64_t m_total = 0;
    bool m_terminal = platform::IsTerminal(stderr);
    double m_startS = platform::Timer();
    double m_shownS = -1.0;   // when the count was last shown; < 0: never
};

// The record file of one recording: replaced by the header, then one line a frame. Each is
// written whole or not at all; the first that cannot be written ends the recording.
class RecordFile {
public:
    explicit RecordFile(const std::string& path) : m_path(path) {}

    bool Start() {
        return Written(platform::WriteFileBytes(m_path, std::string(recorder::kRecordHeader)));
    }
    // The frame in the data values, with the local date and time, as the window writes it.
    bool Append() {
        const std::tm local = platform::LocalTime(std::time(nullptr));
        if (!Written(platform::AppendFileBytes(
                m_path, recorder::FormatRecordLine(local, sl::dataANA0, sl::dataTemp))))
            return false;
        ++m_lines;
        return true;
    }

private:
    bool Written(bool written) const {
        if (!written)
            Complain("cannot write " + m_path + ": " + platform::LastFileFailureReason() +
                     "; lines recorded in it: " + std::to_string(m_lines));
        return written;
    }

    std::string m_path;
    uint64_t m_lines = 0;
};

// One frame every interval, as the window's timed recording: a pass starts with the request
// and the next one starts an interval later. Ctrl+C ends the wait or the pass in progress.
int RecordTimed(const Options& options, RecordFile& file) {
    Progress progress(options.m_count);
    uint64_t lines = 0;
    sl::poll = 1;
    while (sl::poll == 1) {
        const double passStartS = platform::Timer();
        sl::order = sl::kCodeData;
        sl::FillTxBuf(sl::order);
        sl::GetDataFrame();
        if (sl::bytesToRead != 0) {
            sl::SetPopupTimeout();
            break;
        }
        sl::GetRxBufData();
        RejectUnlessMarked(sl::databuf, sl::kCodeData);
        if (!linkFailure.empty()) break;
        sl::CopyDatatoVars();
        if (!file.Append()) return kExitFile;
        progress.Show(++lines);
        if (lines == options.m_count) break;
        while (sl::poll == 1 && platform::Timer() - passStartS < options.m_intervalS)
            platform::ProcessSystemEvents();
    }
    return SensorOutcome();
}

// The trigger command, then every frame the sensor sends, until the count or Ctrl+C.
int RecordTriggered(const Options& options, RecordFile& file) {
    Progress progress(options.m_count);
    uint64_t lines = 0;
    int result = kExitOk;
    sl::StartTriggeredData();
    sl::poll = 1;
    while (sl::poll == 1) {
        if (sl::AwaitTriggeredFrame() != 0) continue;   // stopped before a frame was whole
        sl::GetRxBufData();
        if (sl::databuf[0] != sl::kReplyMark) continue;
        sl::CopyDatatoVars();
        if (!file.Append()) {
            result = kExitFile;
            break;
        }
        progress.Show(++lines);
        if (lines == options.m_count) break;
    }
    sl::StopTriggeredData();
    return result != kExitOk ? result : SensorOutcome();
}

int Record(const Options& options) {
    RecordFile file(options.m_file);
    if (!file.Start()) return kExitFile;
    const int result =
        options.m_triggered ? RecordTriggered(options, file) : RecordTimed(options, file);
    sl::poll = 0;
    return result;
}

int RunCommand(const Options& options, const uint16_t words[sl::kRecordWords]) {
    switch (options.m_command) {
    case Command::Identify:
        return Identify();
    case Command::Get:
        return Get(options);
    case Command::Send:
        return Send(options, words);
    case Command::Watch:
        return Watch(options);
    case Command::Record:
        return Record(options);
    case Command::None:
        break;
    }
    return kExitUsage;
}

}   // namespace

int Execute(const Options& options) {
    const double startS = platform::Timer();
    // A parameter file is read before anything is sent, so that a bad one sends nothing.
    uint16_t words[sl::kRecordWords] = {};
    std::string reason;
    if (options.m_command == Command::Send &&
        !sl::ReadParameterFile(options.m_file, words, reason)) {
        Complain("cannot read " + options.m_file + ": " + reason);
        return kExitFile;
    }
    InstallHooks(options, startS);
    // Failures name the connection and where it came from: "127.0.0.1:5000 (from --tcp)".
    const std::string origin = ChooseConnection(options);
    const std::string connectionName = ConnectionName() + " (" + origin + ")";
    if (!Open(connectionName)) return kExitOpen;
    // Ctrl+C ends watch and record after the frame in progress: every line counted is in
    // the file (each is appended and the file closed) and the connection is closed below.
    // The exit code then tells a script that the run did not end by itself.
    bool interrupted = false;
    platform::OnInterrupt([&interrupted] {
        interrupted = true;
        sl::poll = 0;
    });
    const int result = RunCommand(options, words);
    platform::OnInterrupt(nullptr);
    sl::CloseTransports();
    if (tracer) tracer->Finish();
    if (!linkFailure.empty()) Complain(connectionName + ": " + linkFailure);
    return result == kExitOk && interrupted ? kExitInterrupted : result;
}

}   // namespace cli
