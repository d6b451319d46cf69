// The GO loop against the simulator program in a process of its own.
//
//   bench_go tcp   frames per second over TCP loopback, held against 1 / (10 ms + the bare
//                  round trip of a data request measured in the same run), with the rate of
//                  a bare loop (request, reply, 10 ms sleep) beside it; and the CPU this
//                  process uses meanwhile, with the strip chart painted for every frame in a
//                  real window of the platform in use: target under 3 % of one core.
//   bench_go pty   frames per second over a pseudo-terminal paced at 19200 baud (10 bits a
//                  byte, 72 bytes an exchange), held against 1 / (37.5 ms + 10 ms).
//
// Options: --runs N (default 3) GO runs of --seconds S (default 10) each; medians are shown.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/benchutil.h"
#include "core/telegram.h"
#include "graph/chart.h"
#include "platform/platform.h"
#include "shell/TavrixV20.h"
#include "ui/TavrixV20.h"

namespace {

constexpr int kRoundTrips = 500;            // bare round trips measured before and after
constexpr int kLineRoundTrips = 10;         // bare round trips on the paced line
constexpr int kReplyLimitMs = 1000;         // longest wait for a bare reply
constexpr double kBareLoopS = 3.0;          // length of the bare loop run before and after
constexpr double kLineBitsPerByte = 10.0;   // start bit, 8 data bits, stop bit
constexpr double kBaud = 19200.0;
constexpr double kLineExchangeS = 2 * sensorlink::kTelegramBytes * kLineBitsPerByte / kBaud;
constexpr double kCpuTarget = 0.03;   // share of one core

// Counts the paint events of one widget.
class PaintCounter : public QObject {
public:
    long long m_paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++m_paints;
        return QObject::eventFilter(watched, event);
    }
};

// Sends a data request and reads its 36-byte reply on a descriptor; false if it fails.
bool RoundTrip(int fd, int replyLimitMs) {
    const uint16_t payload[sensorlink::kRecordWords] = {};
    uint8_t request[sensorlink::kTelegramBytes];
    sensorlink::PackTelegram(sensorlink::kSyncWord, sensorlink::kCodeData, payload, request);
    if (write(fd, request, sizeof request) != static_cast<ssize_t>(sizeof request)) return false;
    uint8_t reply[sensorlink::kTelegramBytes];
    size_t got = 0;
    while (got < sizeof reply) {
        pollfd readable{fd, POLLIN, 0};
        if (poll(&readable, 1, replyLimitMs) <= 0) return false;
        const ssize_t n = read(fd, reply + got, sizeof reply - got);
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

// Median time of `count` round trips on fd; negative when one fails.
double MedianRoundTripS(int fd, int count, int replyLimitMs) {
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!RoundTrip(fd, replyLimitMs)) return -1.0;
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return bench::Median(times);
}

// A plain blocking socket connected to 127.0.0.1:port; negative on failure.
int ConnectLoopback(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0) close(fd);
        return -1;
    }
    return fd;
}

// Median time of a data request and its reply on a plain blocking socket of its own: what
// the loopback and the simulator take, without the program.
double BareRoundTripS(int port) {
    const int fd = ConnectLoopback(port);
    if (fd < 0) return -1.0;
    const double roundTrip = MedianRoundTripS(fd, kRoundTrips, kReplyLimitMs);
    close(fd);
    return roundTrip;
}

// Frames per second of a loop on a plain blocking socket of its own that does what the GO
// loop's exchange does and nothing else: request, reply, sleep 10 ms. What the machine's
// sleep and wake-ups allow, against which the GO loop's own cost shows; negative on failure.
double BareLoopRate(int port, double seconds) {
    const int fd = ConnectLoopback(port);
    if (fd < 0) return -1.0;
    const double start = platform::Timer();
    long long frames = 0;
    bool failed = false;
    while (!failed && platform::Timer() - start < seconds) {
        failed = !RoundTrip(fd, kReplyLimitMs);
        platform::Sleep(static_cast<int>(bench::kGoPauseS * 1e3));
        ++frames;
    }
    const double elapsed = platform::Timer() - start;
    close(fd);
    return failed ? -1.0 : static_cast<double>(frames) / elapsed;
}

// The same on the pseudo-terminal, raw like a serial port: what the paced simulator takes
// for an exchange without the program.
double BareLineRoundTripS(const std::string& device) {
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return -1.0;
    termios settings{};
    tcgetattr(fd, &settings);
    cfmakeraw(&settings);
    tcsetattr(fd, TCSANOW, &settings);
    const double roundTrip = MedianRoundTripS(fd, kLineRoundTrips, kReplyLimitMs);
    close(fd);
    return roundTrip;
}

// One GO run of `seconds`, measured from its first frame to its last.
struct GoRun {
    double m_framesPerS = 0.0;
    double m_cpuShare = 0.0;
    double m_paintsPerFrame = 0.0;
};

GoRun MeasureGo(double seconds, PaintCounter& paints) {
    double firstTime = 0.0, firstCpu = 0.0, lastTime = 0.0, lastCpu = 0.0;
    long long firstPaints = 0, lastPaints = 0;
    const long long frames = bench::RunGo([&](long long count) {
        const double now = platform::Timer();
        if (count == 1) {
            firstTime = now;
            firstCpu = bench::CpuSeconds();
            firstPaints = paints.m_paints;
            return false;
        }
        if (now - firstTime < seconds) return false;
        lastTime = now;
        lastCpu = bench::CpuSeconds();
        lastPaints = paints.m_paints;
        return true;
    });
    GoRun run;
    if (frames < 2 || lastTime <= firstTime) return run;
    const double elapsed = lastTime - firstTime;
    run.m_framesPerS = static_cast<double>(frames - 1) / elapsed;
    run.m_cpuShare = (lastCpu - firstCpu) / elapsed;
    run.m_paintsPerFrame = static_cast<double>(lastPaints - firstPaints) / (frames - 1);
    return run;
}

}   // namespace

int main(int argc, char** argv) {
    if (argc < 2 || (std::strcmp(argv[1], "tcp") != 0 && std::strcmp(argv[1], "pty") != 0)) {
        std::fprintf(stderr, "usage: bench_go tcp|pty [--runs N] [--seconds S]\n");
        return 2;
    }
    const bool tcp = std::strcmp(argv[1], "tcp") == 0;
    int runs = 3;
    double seconds = 10.0;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
    }
    platform::InitPlatform(argc, argv);

    bench::SimProcess sim(tcp ? QStringList{"--tcp", "127.0.0.1:0"}
                              : QStringList{"--pty", "--paced"});
    if (sim.address().empty()) {
        std::fprintf(stderr, "bench_go: the simulator did not start\n");
        return 1;
    }
    std::vector<double> roundTrips, bareRates;
    if (tcp) {
        roundTrips.push_back(BareRoundTripS(std::stoi(sim.address())));
        bareRates.push_back(BareLoopRate(std::stoi(sim.address()), kBareLoopS));
    }
    const double lineRoundTrip = tcp ? 0.0 : BareLineRoundTripS(sim.address());
    const std::string id = bench::StartProgram(tcp ? bench::TcpSettings(sim.address())
                                                   : bench::SerialSettings(sim.address()));
    if (id.empty() || id == "TIMEOUT") {
        std::fprintf(stderr, "bench_go: the program did not connect (%s)\n", id.c_str());
        return 1;
    }
    PaintCounter paints;
    QWidget* place = platform::ControlWidget(ui::datapanel, ui::DATAP_STRIPCHART);
    if (auto* chart = place->findChild<graph::StripChartWidget*>())
        chart->installEventFilter(&paints);

    std::vector<double> rates, shares, paintsPerFrame;
    for (int run = 0; run < runs; ++run) {
        const GoRun measured = MeasureGo(seconds, paints);
        if (measured.m_framesPerS <= 0.0) {
            std::fprintf(stderr, "bench_go: the GO loop ended early\n");
            return 1;
        }
        rates.push_back(measured.m_framesPerS);
        shares.push_back(measured.m_cpuShare);
        paintsPerFrame.push_back(measured.m_paintsPerFrame);
    }
    const double rate = bench::Median(rates);
    const std::string platformName = QGuiApplication::platformName().toStdString();
    if (tcp) {
        roundTrips.push_back(BareRoundTripS(std::stoi(sim.address())));
        bareRates.push_back(BareLoopRate(std::stoi(sim.address()), kBareLoopS));
        const double roundTrip = bench::Median(roundTrips);
        const double ceiling = 1.0 / (bench::kGoPauseS + roundTrip);
        const double bareRate = bench::Median(bareRates);
        bench::Report("1. GO loop over TCP loopback", bench::Fixed(rate, 1) + " frames/s",
                      "ceiling 1 / (10 ms + " + bench::Fixed(roundTrip * 1e3, 3) +
                          " ms bare round trip) = " + bench::Fixed(ceiling, 1) +
                          " frames/s; target >= 0.97; a bare loop of request, reply and "
                          "10 ms sleep reached " +
                          bench::Fixed(bareRate, 1) + " frames/s, ratio " +
                          bench::Fixed(bareRate / ceiling, 2),
                      rate / ceiling);
        const double share = bench::Median(shares);
        bench::Report("3. CPU while GO polls over TCP, strip chart painted " +
                          bench::Fixed(bench::Median(paintsPerFrame), 2) + " times a frame (" +
                          platformName + ")",
                      bench::Fixed(share * 100.0, 1) + " % of one core, " +
                          bench::Fixed(share / rate * 1e3, 3) + " ms a frame",
                      "target < 3 %", share / kCpuTarget);
    } else {
        const double ceiling = 1.0 / (kLineExchangeS + bench::kGoPauseS);
        // The simulator paces with millisecond timers, so its own exchange takes a little
        // longer than the line would; that share of the loss is not the program's.
        bench::Report("2. GO loop over a pseudo-terminal paced at 19200 baud",
                      bench::Fixed(rate, 2) + " frames/s",
                      "ceiling 1 / (37.5 ms + 10 ms) = " + bench::Fixed(ceiling, 2) +
                          " frames/s; target >= 0.95; the paced simulator's bare exchange "
                          "took " +
                          bench::Fixed(lineRoundTrip * 1e3, 1) + " ms, allowing " +
                          bench::Fixed(1.0 / (lineRoundTrip + bench::kGoPauseS), 2) + " frames/s",
                      rate / ceiling);
    }
    return 0;
}
