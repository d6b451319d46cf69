// A triggered recording of 100 000 frames sent as fast as TCP allows, with the graph panel
// shown: frames recorded per second, the growth of the program's resident size per recorded
// frame, and frames lost. A relay in a thread of its own stands between the program and the
// simulator program: it passes the connection attempt through and answers the trigger command
// itself, writing the frames as fast as the socket takes them.
//
// Options: --frames N (default 100000).
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/benchutil.h"
#include "core/telegram.h"
#include "graph/graph.h"
#include "platform/platform.h"
#include "recorder/recorder.h"
#include "shell/TavrixV20.h"
#include "ui/TavrixV20.h"
#include "ui/panels.h"

namespace {

constexpr int kFramesPerWrite = 256;    // triggered frames handed to the socket at once
constexpr int kCheckMs = 10;            // how often the recording's progress is looked at
constexpr double kLimitS = 600.0;       // a recording that takes longer is stopped
constexpr double kTargetBytes = 16.0;   // what the graphs may keep per recorded frame

// Writes all bytes on a blocking socket; false when the peer is gone.
bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The relay: one program connection, passed through to the simulator until the trigger
// command, which it answers with `frames` triggered frames of its own.
class Relay {
public:
    Relay(int simPort, int frames) : m_frames(frames) {
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(m_listener, 1) != 0 ||
            getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this, simPort] { Serve(simPort); });
    }
    ~Relay() {
        // Wakes the thread wherever it waits: in accept or in poll.
        for (int fd : {m_listener, m_program.load(), m_sim.load()})
            if (fd >= 0) shutdown(fd, SHUT_RDWR);
        close(m_listener);
        if (m_thread.joinable()) m_thread.join();
    }
    int port() const { return m_port; }
    bool sent() const { return m_sent; }

private:
    void Serve(int simPort) {
        const int program = accept(m_listener, nullptr, nullptr);
        const int sim = socket(AF_INET, SOCK_STREAM, 0);
        m_program = program;
        m_sim = sim;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(simPort));
        if (program < 0 || connect(sim, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            return;
        std::vector<uint8_t> request;
        pollfd fds[2] = {{program, POLLIN, 0}, {sim, POLLIN, 0}};
        uint8_t buffer[4096];
        while (poll(fds, 2, -1) > 0) {
            if (fds[1].revents & POLLIN) {
                const ssize_t n = read(sim, buffer, sizeof buffer);
                if (n <= 0 || !WriteAll(program, buffer, static_cast<size_t>(n))) break;
            }
            if (!(fds[0].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = read(program, buffer, sizeof buffer);
            if (n <= 0) break;
            request.insert(request.end(), buffer, buffer + n);
            for (; request.size() >= sensorlink::kTelegramBytes;
                 request.erase(request.begin(), request.begin() + sensorlink::kTelegramBytes)) {
                const uint16_t code = static_cast<uint16_t>(request[2] << 8 | request[3]);
                if (code == sensorlink::kCodeTriggered) {
                    SendFrames(program);
                } else if (!WriteAll(sim, request.data(), sensorlink::kTelegramBytes)) {
                    break;
                }
            }
        }
        m_program = m_sim = -1;
        close(sim);
        close(program);
    }

    // Frames with a raw signal and temperature that move, so that every frame draws.
    void SendFrames(int program) {
        std::vector<uint8_t> bytes(static_cast<size_t>(kFramesPerWrite) *
                                   sensorlink::kTelegramBytes);
        for (int first = 0; first < m_frames; first += kFramesPerWrite) {
            const int count = std::min(kFramesPerWrite, m_frames - first);
            for (int i = 0; i < count; ++i) {
                uint16_t payload[sensorlink::kRecordWords] = {};
                payload[0] = static_cast<uint16_t>(2000 + (first + i) * 37 % 1500);   // raw
                payload[1] = 2048;                                                    // reference
                payload[sensorlink::kRecordWords - 1] =
                    static_cast<uint16_t>(300 + (first + i) % 50);
                sensorlink::PackTelegram(
                    sensorlink::kReplyMark, sensorlink::kCodeTriggered, payload,
                    bytes.data() + static_cast<size_t>(i) * sensorlink::kTelegramBytes);
            }
            if (!WriteAll(program, bytes.data(),
                          static_cast<size_t>(count) * sensorlink::kTelegramBytes))
                return;
        }
        m_sent = true;
    }

    int m_frames = 0;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<int> m_program{-1};   // the two connections, for the destructor to end
    std::atomic<int> m_sim{-1};
    std::atomic<bool> m_sent{false};
    std::thread m_thread;
};

}   // namespace

int main(int argc, char** argv) {
    int frames = 100000;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--frames") == 0) frames = std::max(1, std::atoi(argv[i + 1]));
    platform::InitPlatform(argc, argv);

    bench::SimProcess sim({"--tcp", "127.0.0.1:0"});
    if (sim.address().empty()) {
        std::fprintf(stderr, "bench_trigger: the simulator did not start\n");
        return 1;
    }
    Relay relay(std::stoi(sim.address()), frames);
    if (relay.port() == 0 ||
        bench::StartProgram(bench::TcpSettings(std::to_string(relay.port()))) == "TIMEOUT") {
        std::fprintf(stderr, "bench_trigger: the program did not connect\n");
        return 1;
    }
    // The recorder in triggered mode with a record file, and the graph panel in front.
    recorder::CBF_ButtonRecorder(ui::mainpanel, ui::MAINP_BUTTON_RECORDER, platform::EVENT_COMMIT,
                                 nullptr, 0, 0);
    platform::SetCtrlVal(ui::recpanel, ui::RECP_MODE, recorder::kModeTriggered);
    recorder::CBF_EditSelectDataRec(ui::recpanel, ui::RECP_MODE, platform::EVENT_COMMIT, nullptr, 0,
                                    0);
    const std::string path = platform::JoinPath(platform::GetProjectDir(), "record.dat");
    platform::ResetTextBox(ui::recpanel, ui::RECP_FILE, path);
    graph::CBF_ButtonShowGraph(ui::datapanel, ui::DATAP_BUTTON_SHOWGRAPH, platform::EVENT_COMMIT,
                               nullptr, 0, 0);

    // Looks at the progress now and then: the time of the first and the last line, and stops
    // the recording when every frame is in (or the time is up).
    const long long residentBefore = bench::ResidentBytes();
    double start = platform::Timer(), first = 0.0, last = 0.0;
    long long residentAtEnd = 0;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        const double now = platform::Timer();
        if (first == 0.0 && recorder::linesWritten > 0) first = now;
        if (recorder::linesWritten >= static_cast<uint64_t>(frames) || now - start > kLimitS) {
            last = now;
            residentAtEnd = bench::ResidentBytes();
            check.stop();
            recorder::CBF_ButtonStopTrigRec(ui::recpanel, ui::RECP_BUTTON_TRIGSTOP,
                                            platform::EVENT_COMMIT, nullptr, 0, 0);
        }
    });
    check.start(kCheckMs);
    start = platform::Timer();
    recorder::CBF_ButtonStartTrigRec(ui::recpanel, ui::RECP_BUTTON_TRIGSTART,
                                     platform::EVENT_COMMIT, nullptr, 0, 0);
    const long long recorded = static_cast<long long>(recorder::linesWritten);
    if (!relay.sent() || recorded <= 1 || last <= first) {
        std::fprintf(stderr, "bench_trigger: %lld of %d frames recorded\n", recorded, frames);
        return 1;
    }
    const double rate = static_cast<double>(recorded - 1) / (last - first);
    const double bytes = static_cast<double>(residentAtEnd - residentBefore) / recorded;
    bench::Report(
        "9. Triggered recording over TCP, " + std::to_string(frames) +
            " frames as fast as TCP allows, graph panel shown",
        bench::Fixed(rate, 0) + " frames/s recorded, " + std::to_string(frames - recorded) + " lost",
        "no frame lost", static_cast<double>(frames - recorded) / frames);
    bench::Report("9. Resident size per recorded frame in that recording",
                  bench::Fixed(bytes, 1) + " bytes",
                  "held against the graphs' " + bench::Fixed(kTargetBytes, 0) + " bytes a frame",
                  bytes / kTargetBytes);
    return 0;
}
