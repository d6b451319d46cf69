// A long run of the program against the simulator program over TCP loopback: GO, timed and
// triggered recordings in turn, each some tens of seconds, while the simulator misbehaves at
// random moments (no reply, a short, long, wrong-marked or late reply, a dropped connection).
// Faults are handed to the running simulator through its --control channel; its --log tells
// what each reply was as it left, and every record file is checked line by line against it.
// After a fault that ends an activity the bench does what a user would: TRY, then the
// activity again. Printed: frames and lines handled, faults injected and recovered from, the
// resident size at the start, after a tenth of the run and at the end, the longest time the
// event loop did not turn, and the record-file check.
//
// Options: --minutes M (default 60), --seed N (default 1).
#include <QCoreApplication>
#include <QEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/benchutil.h"
#include "connection/connection.h"
#include "core/telegram.h"
#include "link/com232.h"
#include "platform/platform.h"
#include "recorder/recorder.h"
#include "shell/gui.h"
#include "ui/TavrixV20.h"
#include "ui/panels.h"

namespace {

namespace sl = sensorlink;

constexpr double kMinActivityS = 10.0;
constexpr double kMaxActivityS = 40.0;
constexpr double kMinFaultGapS = 2.0;   // between two injected faults
constexpr double kMaxFaultGapS = 12.0;
constexpr double kReplyLimitS = 3.0;   // an exchange's time limit: a later reply is late
constexpr int kLateMs = 4000;
constexpr int kSlowMs = 300;
constexpr int kTickMs = 10;   // the event-loop probe
constexpr int kTryAttempts = 5;
constexpr double kTryPauseS = 1.0;
constexpr double kMemoryTargetBytes = 1024.0 * 1024.0;
constexpr double kMiB = 1024.0 * 1024.0;

double Now() { return platform::Timer(); }

// ---- What the simulator sent: its --log, read as it grows.

// One reply as it left the simulator.
struct Reply {
    bool m_whole = false;       // all 36 bytes of a frame left, on time, connection kept
    bool m_marked = false;      // the first word is the reply mark
    bool m_innerMark = false;   // the mark's two bytes also stand inside the frame
    uint16_t m_raw = 0;
    uint16_t m_temp = 0;
};

uint16_t WordAt(const std::string& hex, size_t word) {
    return static_cast<uint16_t>(std::stoul(hex.substr(word * 4, 4), nullptr, 16));
}

// Parses "CODE HEX[ delay MS][ close]"; false for a reply to another code.
bool ParseReply(const std::string& line, uint16_t code, Reply& reply) {
    std::istringstream in(line);
    int lineCode = 0;
    std::string hex, word;
    in >> lineCode >> hex;
    if (lineCode != code) return false;
    int delayMs = 0;
    bool closed = false;
    while (in >> word) {
        if (word == "delay") in >> delayMs;
        if (word == "close") closed = true;
    }
    const bool frame = hex.size() >= 2 * sl::kTelegramBytes;
    reply.m_marked = frame && WordAt(hex, 0) == sl::kReplyMark;
    reply.m_whole =
        frame && !closed && (code == sl::kCodeTriggered || delayMs < kReplyLimitS * 1000.0);
    if (frame) {
        const std::string mark = hex.substr(0, 4);
        for (size_t at = 2; at + 4 <= 2 * sl::kTelegramBytes && !reply.m_innerMark; at += 2)
            reply.m_innerMark = hex.compare(at, 4, mark) == 0;
        reply.m_raw = WordAt(hex, 2);
        reply.m_temp = WordAt(hex, sl::kTelegramWords - 1);
    }
    return true;
}

// Reads the lines the simulator has appended since the last call; a line still being
// written waits for the next call.
class LogReader {
public:
    explicit LogReader(const std::string& path) : m_path(path) {}

    // Calls `take` with each new whole line.
    template <typename Take>
    void read(Take take) {
        std::ifstream in(m_path, std::ios::binary);
        in.seekg(m_offset);
        std::string line;
        while (std::getline(in, line)) {
            if (in.eof()) break;   // no line end yet
            m_offset += static_cast<std::streamoff>(line.size() + 1);
            take(line);
        }
    }

private:
    std::string m_path;
    std::streamoff m_offset = 0;
};

// ---- Record-file check

struct LineCheck {
    long long m_checked = 0;
    long long m_torn = 0;         // not a whole line of the record format
    long long m_lost = 0;         // a whole frame delivered without a line
    long long m_wrong = 0;        // values of no frame sent
    long long m_fromMarked = 0;   // values of a frame with a wrong reply mark
    long long m_repeated = 0;     // the previous line's values again (after a time-out)
    long long m_inFlight = 0;     // the last frame, sent as the recording was stopped
};

bool Digits(const std::string& text, size_t from, size_t count) {
    if (from + count > text.size()) return false;
    return std::all_of(text.begin() + from, text.begin() + from + count,
                       [](char c) { return c >= '0' && c <= '9'; });
}

// MM-DD-YYYY<tab>HH:MM:SS<tab>RAW<tab>TEMP<cr>: the values, or false.
bool ParseRecordLine(const std::string& line, uint16_t& raw, uint16_t& temp) {
    if (line.size() < 24 || line.back() != '\r' || line[2] != '-' || line[5] != '-' ||
        line[10] != '\t' || line[13] != ':' || line[16] != ':' || line[19] != '\t' ||
        !Digits(line, 0, 2) || !Digits(line, 3, 2) || !Digits(line, 6, 4) || !Digits(line, 11, 2) ||
        !Digits(line, 14, 2) || !Digits(line, 17, 2))
        return false;
    const std::string values = line.substr(20, line.size() - 21);
    const size_t tab = values.find('\t');
    if (tab == std::string::npos || tab == 0 || tab > 5 || values.size() - tab - 1 > 5 ||
        values.size() - tab - 1 == 0 || !Digits(values, 0, tab) ||
        !Digits(values, tab + 1, values.size() - tab - 1) || (values[0] == '0' && tab > 1) ||
        (values[tab + 1] == '0' && values.size() - tab - 1 > 1))
        return false;
    const long rawValue = std::stol(values.substr(0, tab));
    const long tempValue = std::stol(values.substr(tab + 1));
    if (rawValue > 0xFFFF || tempValue > 0xFFFF) return false;
    raw = static_cast<uint16_t>(rawValue);
    temp = static_cast<uint16_t>(tempValue);
    return true;
}

// Matches the lines of one record file, in order, against the replies sent meanwhile; those
// from `stopAt` on left after the recording was stopped, and need no line. `before` holds the
// values of the frame the program took last before the recording: a time-out on the first
// request writes a line with them.
void CheckRecordFile(const std::string& path, const std::vector<Reply>& replies, size_t stopAt,
                     const Reply& before, LineCheck& check) {
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t next = 0;   // the first reply not yet matched
    bool havePrevious = true;
    uint16_t previousRaw = before.m_raw, previousTemp = before.m_temp;
    auto countLost = [&](size_t end) {
        for (; next < end; ++next)
            if (replies[next].m_whole && replies[next].m_marked) {
                ++check.m_lost;
                const Reply& after = next + 1 < replies.size() ? replies[next + 1] : Reply{};
                std::fprintf(stderr,
                             "bench_soak: %s: the frame with values %u %u has no line (reply %zu "
                             "of %zu; mark inside it: %s; the next reply whole: %s, marked: %s)\n",
                             path.c_str(), replies[next].m_raw, replies[next].m_temp, next,
                             replies.size(), replies[next].m_innerMark ? "yes" : "no",
                             after.m_whole ? "yes" : "no", after.m_marked ? "yes" : "no");
            }
    };
    size_t start = 0;
    for (int number = 1; start < text.size(); ++number) {
        const size_t end = text.find('\n', start);
        const std::string line =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        ++check.m_checked;
        uint16_t raw = 0, temp = 0;
        if (end == std::string::npos || !ParseRecordLine(line, raw, temp)) {
            ++check.m_torn;
            continue;
        }
        const auto match = std::find_if(
            replies.begin() + static_cast<std::ptrdiff_t>(next), replies.end(),
            [&](const Reply& r) { return r.m_whole && r.m_raw == raw && r.m_temp == temp; });
        if (match != replies.end()) {
            countLost(static_cast<size_t>(match - replies.begin()));
            if (!match->m_marked) ++check.m_fromMarked;
            ++next;
        } else if (havePrevious && raw == previousRaw && temp == previousTemp) {
            ++check.m_repeated;
        } else {
            ++check.m_wrong;
            std::fprintf(stderr, "bench_soak: %s, line %d: values %u %u were not sent\n",
                         path.c_str(), number, raw, temp);
        }
        havePrevious = true;
        previousRaw = raw;
        previousTemp = temp;
    }
    // The last frame before the stop may have been on its way as the recording ended.
    stopAt = std::min(stopAt, replies.size());
    if (next + 1 == stopAt && replies[next].m_whole && replies[next].m_marked) {
        ++check.m_inFlight;
        ++next;
    }
    countLost(stopAt);
}

// ---- Faults and their recovery

// The faults injected whose recovery is still awaited, as the program's telegrams pass: the
// first reply after the injection is taken as the faulted one, and the fault counts as
// recovered from when a later reply arrives whole with the reply mark.
class Recovery {
public:
    long long m_injected = 0;
    long long m_recovered = 0;
    long long m_goodFrames = 0;   // replies and triggered frames taken whole

    void injected() {
        ++m_injected;
        m_pending.push_back(false);
    }
    void received(const uint8_t* bytes, int32_t missing) {
        const bool good = missing == 0 && bytes[0] == 0 && bytes[1] == sl::kReplyMark;
        if (good) ++m_goodFrames;
        for (auto it = m_pending.begin(); it != m_pending.end();) {
            if (!*it) {
                *it = true;   // the faulted reply
                ++it;
            } else if (good) {
                ++m_recovered;
                it = m_pending.erase(it);
            } else {
                ++it;
            }
        }
    }
    size_t pending() const { return m_pending.size(); }

private:
    std::deque<bool> m_pending;   // per fault: its faulted reply has passed
};

// ---- The event-loop probe: a 10 ms timer; its largest lateness is the longest time the
// window could not have reacted.
class Probe {
public:
    Probe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const double now = Now();
            if (now - m_last - kTickMs / 1000.0 > m_longestS) {
                m_longestS = now - m_last - kTickMs / 1000.0;
                m_longestIn = m_doing;
            }
            m_last = now;
        });
    }
    void start() {
        m_last = Now();
        m_timer.start(kTickMs);
    }
    void stop() { m_timer.stop(); }
    // Names what the program is doing, for the report of the longest stall.
    void doing(const char* what) { m_doing = what; }
    double longestS() const { return m_longestS; }
    const char* longestIn() const { return m_longestIn; }

private:
    const char* m_doing = "";
    const char* m_longestIn = "";
    QTimer m_timer;
    double m_last = 0.0;
    double m_longestS = 0.0;
};

// ---- The soak

enum class Activity { Go, Timed, Triggered };
constexpr Activity kActivities[] = {Activity::Go, Activity::Timed, Activity::Triggered};
constexpr const char* kActivityNames[] = {"GO", "a timed recording", "a triggered recording"};

class Soak {
public:
    Soak(bench::SimProcess& sim, const std::string& logPath, const std::string& dir, unsigned seed)
        : m_sim(sim), m_log(logPath), m_dir(dir), m_random(seed) {
        sl::hooks.m_telegramTraced = [this](char direction, const uint8_t* bytes, int32_t missing,
                                            double) {
            if (direction != '<') return;
            m_recovery.received(bytes, missing);
            if (missing != 0 && !sl::tcpStreaming) m_timedOut = true;
        };
        QObject::connect(&m_faultTimer, &QTimer::timeout, [this] { injectFault(); });
        m_faultTimer.setSingleShot(true);
    }

    void run(double seconds) {
        const double start = Now();
        m_residentStart = bench::ResidentBytes();
        m_probe.start();
        for (size_t turn = 0; Now() - start < seconds; ++turn) {
            const double length =
                std::uniform_real_distribution<double>(kMinActivityS, kMaxActivityS)(m_random);
            const double end = std::min(Now() + length, start + seconds);
            runActivity(kActivities[turn % std::size(kActivities)], end);
            if (m_residentTenth == 0 && Now() - start >= seconds / 10)
                m_residentTenth = bench::ResidentBytes();
            // The course of the resident size, for a look at where it grew.
            std::fprintf(stderr, "bench_soak: %.0f s: resident %.3f MiB\n", Now() - start,
                         bench::ResidentBytes() / kMiB);
        }
        m_probe.stop();
        m_residentEnd = bench::ResidentBytes();
        if (m_residentTenth == 0) m_residentTenth = m_residentEnd;
    }

    void report() const {
        std::printf("Soak: %lld GO frames, %lld timed and %lld triggered recordings\n", m_goFrames,
                    m_timedRecordings, m_triggeredRecordings);
        std::printf("Frames taken whole by the program: %lld\n", m_recovery.m_goodFrames);
        std::printf(
            "Faults injected: %lld; recovered from: %lld; awaiting recovery at the "
            "end: %zu; TRY pressed %lld times, %lld failed\n",
            m_recovery.m_injected, m_recovery.m_recovered, m_recovery.pending(), m_tries,
            m_failedTries);
        for (const auto& [kind, count] : m_kindCounts)
            std::printf("  fault %s: %lld\n", kind.c_str(), count);
        const double growth = static_cast<double>(m_residentEnd - m_residentTenth);
        bench::Report("Resident size",
                      bench::Fixed(m_residentStart / kMiB, 1) + " MiB at the start, " +
                          bench::Fixed(m_residentTenth / kMiB, 1) + " MiB after a tenth, " +
                          bench::Fixed(m_residentEnd / kMiB, 1) + " MiB at the end (" +
                          (growth >= 0 ? "+" : "") + bench::Fixed(growth / kMiB, 3) +
                          " MiB from a tenth to the end)",
                      "target: under 1 MiB growth from a tenth to the end",
                      growth / kMemoryTargetBytes);
        std::printf(
            "Longest time the event loop did not turn: %s ms, during %s (a %d ms timer's "
            "largest lateness)\n",
            bench::Fixed(m_probe.longestS() * 1e3, 1).c_str(), m_probe.longestIn(), kTickMs);
        std::printf(
            "Record lines checked: %lld; torn: %lld; lost: %lld; wrong values: %lld; "
            "from wrong-marked replies: %lld; repeated after a time-out: %lld; frames "
            "in flight at a stop: %lld\n",
            m_lines.m_checked, m_lines.m_torn, m_lines.m_lost, m_lines.m_wrong,
            m_lines.m_fromMarked, m_lines.m_repeated, m_lines.m_inFlight);
        std::fflush(stdout);
    }

private:
    // Runs one activity until `end`; one that a fault ends early is started again after TRY.
    void runActivity(Activity activity, double end) {
        m_code = activity == Activity::Triggered ? sl::kCodeTriggered : sl::kCodeData;
        armFaultTimer();
        while (Now() < end) {
            if (!sl::tcpcon) tryToConnect();
            m_probe.doing(kActivityNames[static_cast<int>(activity)]);
            if (activity == Activity::Go)
                m_goFrames += bench::RunGo([end](long long) { return Now() >= end; });
            else
                record(activity, end);
            // A stream of triggered frames goes on until the connection ends; a user
            // reconnects before polling again. A reply time-out takes the user to the
            // connection panel, where TRY starts a fresh connection: a reply that comes late
            // is then not taken as the answer to the next request. Any other early end calls
            // for TRY as well.
            if (activity == Activity::Triggered || m_timedOut || Now() < end) tryToConnect();
            m_timedOut = false;
            // Between two actions of a user the program is back in its main event loop,
            // where objects whose deletion was deferred (closed connections) go.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        m_faultTimer.stop();
    }

    // One recording into a file of its own, stopped at `end` unless it ends before; then the
    // file is checked against what the simulator sent meanwhile and deleted.
    void record(Activity activity, double end) {
        const bool timed = activity == Activity::Timed;
        const uint16_t code = timed ? sl::kCodeData : sl::kCodeTriggered;
        std::vector<Reply> replies;
        size_t stopAt = SIZE_MAX;   // the replies sent before the stop
        auto drain = [&] {
            m_log.read([&](const std::string& line) {
                Reply reply;
                if (ParseReply(line, code, reply)) replies.push_back(reply);
            });
        };
        m_probe.stop();                          // the bench's own bookkeeping is not the program's
        m_log.read([](const std::string&) {});   // what came before belongs to no recording
        Reply before;   // the values a line written after a time-out on the first request holds
        before.m_raw = sl::dataANA0;
        before.m_temp = sl::dataTemp;
        m_probe.start();
        const std::string path =
            platform::JoinPath(m_dir, "record-" + std::to_string(m_fileNumber++) + ".dat");
        recorder::CBF_ButtonRecorder(ui::mainpanel, ui::MAINP_BUTTON_RECORDER,
                                     platform::EVENT_COMMIT, nullptr, 0, 0);
        platform::SetCtrlVal(ui::recpanel, ui::RECP_MODE,
                             timed ? recorder::kModeTimed : recorder::kModeTriggered);
        recorder::CBF_EditSelectDataRec(ui::recpanel, ui::RECP_MODE, platform::EVENT_COMMIT,
                                        nullptr, 0, 0);
        platform::ResetTextBox(ui::recpanel, ui::RECP_FILE, path);
        QTimer stop;
        stop.setSingleShot(true);
        QObject::connect(&stop, &QTimer::timeout, [&] {
            drain();
            stopAt = replies.size();
            if (timed)
                recorder::CBF_ButtonStopRecord(ui::recpanel, ui::RECP_BUTTON_STOP,
                                               platform::EVENT_COMMIT, nullptr, 0, 0);
            else
                recorder::CBF_ButtonStopTrigRec(ui::recpanel, ui::RECP_BUTTON_TRIGSTOP,
                                                platform::EVENT_COMMIT, nullptr, 0, 0);
        });
        const double seconds = std::max(end - Now(), 0.0);
        stop.start(static_cast<int>(seconds * 1000.0));
        if (timed) {
            platform::SetCtrlVal(ui::recpanel, ui::RECP_INTERVAL, 1);
            platform::SetCtrlVal(ui::recpanel, ui::RECP_RECVAL,
                                 std::clamp(static_cast<int>(seconds) + 1, 1, 0xFFFF));
            recorder::CBF_ButtonStartRecord(ui::recpanel, ui::RECP_BUTTON_START,
                                            platform::EVENT_COMMIT, nullptr, 0, 0);
            ++m_timedRecordings;
        } else {
            recorder::CBF_ButtonStartTrigRec(ui::recpanel, ui::RECP_BUTTON_TRIGSTART,
                                             platform::EVENT_COMMIT, nullptr, 0, 0);
            ++m_triggeredRecordings;
        }
        stop.stop();
        drain();
        m_probe.stop();   // the bench's own bookkeeping is not the program's
        CheckRecordFile(path, replies, stopAt, before, m_lines);
        platform::DeleteFile(path);
        m_probe.start();
    }

    void tryToConnect() {
        m_probe.doing("TRY");
        for (int attempt = 0; attempt < kTryAttempts; ++attempt) {
            ++m_tries;
            connection::CBF_ButtonTryToConnect(ui::interfacepanel, ui::INTERFACEP_BUTTON_TRY,
                                               platform::EVENT_COMMIT, nullptr, 0, 0);
            if (sl::tcpcon) return;
            ++m_failedTries;
            const double until = Now() + kTryPauseS;
            while (Now() < until) platform::ProcessSystemEvents();
        }
    }

    void armFaultTimer() {
        const double gap =
            std::uniform_real_distribution<double>(kMinFaultGapS, kMaxFaultGapS)(m_random);
        m_faultTimer.start(static_cast<int>(gap * 1000.0));
    }

    // Arms one fault for the next reply of the activity's kind, at a random moment.
    void injectFault() {
        armFaultTimer();
        if (!sl::poll || !sl::tcpcon) return;   // nothing runs to fault
        static const char* const kKinds[] = {"none", "short", "surplus", "mark", "delay", "close"};
        const int last = static_cast<int>(std::size(kKinds)) - 1;
        const std::string kind = kKinds[std::uniform_int_distribution<int>(0, last)(m_random)];
        std::string rule = std::to_string(m_code);
        rule += ':';
        rule += kind;
        auto add = [&](int value) {
            rule += ':';
            rule += std::to_string(value);
        };
        auto random = [&](int low, int high) {
            return std::uniform_int_distribution<int>(low, high)(m_random);
        };
        if (kind == "short") add(random(1, sl::kTelegramBytes));
        if (kind == "surplus") {   // stale bytes behind the reply
            add(random(1, 2 * sl::kTelegramBytes));
            add(random(0, 255));
        }
        if (kind == "delay") add(m_code == sl::kCodeTriggered ? kSlowMs : kLateMs);
        if (kind == "close") add(random(0, sl::kTelegramBytes - 1));
        m_sim.send(rule + "x1");
        m_recovery.injected();
        ++m_kindCounts[kind];
    }

    bench::SimProcess& m_sim;
    LogReader m_log;
    std::string m_dir;
    std::mt19937 m_random;
    int m_code = sl::kCodeData;   // the command code of the replies the activity awaits
    QTimer m_faultTimer;
    Recovery m_recovery;
    Probe m_probe;
    LineCheck m_lines;
    std::map<std::string, long long> m_kindCounts;
    long long m_goFrames = 0, m_timedRecordings = 0, m_triggeredRecordings = 0;
    long long m_tries = 0, m_failedTries = 0;
    bool m_timedOut = false;   // a reply did not come in time since the last TRY
    long long m_fileNumber = 0;
    long long m_residentStart = 0, m_residentTenth = 0, m_residentEnd = 0;
};

}   // namespace

int main(int argc, char** argv) {
    double minutes = 60.0;
    unsigned seed = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--minutes") == 0) minutes = std::max(0.1, std::atof(argv[i + 1]));
        if (std::strcmp(argv[i], "--seed") == 0)
            seed = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
    }
    platform::InitPlatform(argc, argv);

    QTemporaryDir dir;
    const std::string logPath = platform::JoinPath(dir.path().toStdString(), "sim.log");
    bench::SimProcess sim(
        {"--tcp", "127.0.0.1:0", "--control", "--log", QString::fromStdString(logPath)});
    if (sim.address().empty() ||
        bench::StartProgram(bench::TcpSettings(sim.address())) == "TIMEOUT") {
        std::fprintf(stderr, "bench_soak: the program did not connect\n");
        return 1;
    }
    Soak soak(sim, logPath, dir.path().toStdString(), seed);
    soak.run(minutes * 60.0);
    soak.report();
    return 0;
}
