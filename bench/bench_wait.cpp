// CPU used by a wait for a reply that never comes: AwaitReply with the 3.0 s limit over a TCP
// connection whose peer stays silent. Target: under 5 % of one core.
#include <sys/resource.h>

#include <QApplication>
#include <QTcpServer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "link/com232.h"
#include "link/transport.h"
#include "platform/platform.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

}   // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTcpServer silent;
    silent.listen(QHostAddress::LocalHost, 0);

    using namespace sensorlink;
    comprotocol = kTCPIP;
    ipBuf = "127.0.0.1";
    portNum = silent.serverPort();
    InitTCP_IP();
    if (ret < 0) {
        std::printf("bench_wait: cannot connect (%s)\n", szStatus.c_str());
        return 1;
    }

    constexpr int kRuns = 3;
    constexpr double kLimitS = 3.0;
    std::vector<double> shares, durations;
    for (int run = 0; run < kRuns; ++run) {
        CurrentTransport().ArmReply();
        const double cpuStart = CpuSeconds();
        const double start = platform::Timer();
        CurrentTransport().AwaitReply(kLimitS);
        const double wall = platform::Timer() - start;
        shares.push_back((CpuSeconds() - cpuStart) / wall);
        durations.push_back(wall);
    }
    std::sort(shares.begin(), shares.end());
    std::sort(durations.begin(), durations.end());
    const double share = shares[kRuns / 2];
    std::printf(
        "4. wait for a missing reply, CPU: %.2f %% of one core (target < 5 %%, ratio %.2f)\n",
        share * 100.0, share / 0.05);
    std::printf("4. wait for a missing reply, duration: %.3f s (limit 3.0 s, ratio %.3f)\n",
                durations[kRuns / 2], durations[kRuns / 2] / kLimitS);
    return 0;
}
