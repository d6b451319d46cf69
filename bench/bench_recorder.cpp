// Pacing of a timed recording: interval 1 s, 60 frames, over TCP loopback against the
// simulator program in a process of its own. The time each line is written is taken as it
// happens; the 60th line should follow the first by 59 s, within 0.2 s.
//
// Options: --runs N (default 3; each takes a minute); the median drift is shown.
#include <QCoreApplication>
#include <QEvent>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/benchutil.h"
#include "platform/platform.h"
#include "recorder/recorder.h"
#include "shell/TavrixV20.h"
#include "ui/TavrixV20.h"

namespace {

constexpr int kIntervalS = 1;
constexpr int kFrames = 60;
constexpr double kTargetDriftS = 0.2;

// Takes the time of every line the recorder writes: ToFile counts each line it tries, and
// the recording processes events right after it, so the first event seen after the count
// moved belongs to that line.
class LineClock : public QObject {
public:
    std::vector<double> m_times;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A new recording first resets the count; only a count that went up is a line.
        if (recorder::linesWritten > m_seen) m_times.push_back(platform::Timer());
        m_seen = recorder::linesWritten;
        return QObject::eventFilter(watched, event);
    }

private:
    uint64_t m_seen = recorder::linesWritten;
};

// One recording; the seconds between the first and the last line minus the intended 59 s,
// or NaN when it did not write all its lines.
double RecordOnce(const std::string& path) {
    platform::DeleteFile(path);
    platform::ResetTextBox(ui::recpanel, ui::RECP_FILE, path);
    LineClock clock;
    QCoreApplication::instance()->installEventFilter(&clock);
    recorder::CBF_ButtonStartRecord(ui::recpanel, ui::RECP_BUTTON_START, platform::EVENT_COMMIT,
                                    nullptr, 0, 0);
    QCoreApplication::instance()->removeEventFilter(&clock);
    if (static_cast<int>(clock.m_times.size()) != kFrames || recorder::lineLost) {
        std::fprintf(stderr, "bench_recorder: %zu lines seen, %s\n", clock.m_times.size(),
                     recorder::lineLost ? "a line could not be written" : "all written");
        return std::nan("");
    }
    return clock.m_times.back() - clock.m_times.front() - (kFrames - 1) * kIntervalS;
}

}   // namespace

int main(int argc, char** argv) {
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    platform::InitPlatform(argc, argv);

    bench::SimProcess sim({"--tcp", "127.0.0.1:0"});
    if (sim.address().empty() ||
        bench::StartProgram(bench::TcpSettings(sim.address())) == "TIMEOUT") {
        std::fprintf(stderr, "bench_recorder: the program did not connect\n");
        return 1;
    }
    // The recorder panel in timed mode, as the user sets it up.
    recorder::CBF_ButtonRecorder(ui::mainpanel, ui::MAINP_BUTTON_RECORDER, platform::EVENT_COMMIT,
                                 nullptr, 0, 0);
    platform::SetCtrlVal(ui::recpanel, ui::RECP_MODE, recorder::kModeTimed);
    recorder::CBF_EditSelectDataRec(ui::recpanel, ui::RECP_MODE, platform::EVENT_COMMIT, nullptr, 0,
                                    0);
    platform::SetCtrlVal(ui::recpanel, ui::RECP_INTERVAL, kIntervalS);
    platform::SetCtrlVal(ui::recpanel, ui::RECP_RECVAL, kFrames);

    QTemporaryDir dir;
    const std::string path = platform::JoinPath(dir.path().toStdString(), "record.dat");
    std::vector<double> drifts;
    for (int run = 0; run < runs; ++run) {
        const double drift = RecordOnce(path);
        if (std::isnan(drift)) {
            std::fprintf(stderr, "bench_recorder: the recording did not write %d lines\n", kFrames);
            return 1;
        }
        drifts.push_back(drift);
    }
    const double drift = bench::Median(drifts);
    char value[128];
    std::snprintf(value, sizeof value, "60th line %.3f s after the first (drift %+.3f s)",
                  (kFrames - 1) * kIntervalS + drift, drift);
    bench::Report("8. Timed recording, interval 1 s, 60 frames", value, "target: 59 s within 0.2 s",
                  std::abs(drift) / kTargetDriftS);
    return 0;
}
