// Memory of the program while GO polls: its resident size after 1 000 polled frames and after
// --frames N (default 20 000) more, over TCP loopback against the simulator program in a
// process of its own (so that only the program's memory is counted; the 10 ms pause stays, so
// 100 000 frames take about 18 minutes). Below 100 000 frames the growth from 1 000 frames
// on is fitted with a straight line over samples taken every 1 000 frames and carried on to
// 100 000 frames, and the line says so. Target: within 2 MiB of the size at 1 000 frames.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/benchutil.h"
#include "platform/platform.h"

namespace {

constexpr long long kBaseFrames = 1000;
constexpr long long kTargetFrames = 100000;
constexpr long long kSampleEvery = 1000;
constexpr double kTargetBytes = 2.0 * 1024 * 1024;
constexpr double kMiB = 1024.0 * 1024.0;

struct Sample {
    double m_frames = 0.0;
    double m_bytes = 0.0;
};

// Growth per frame of the least-squares line through the samples.
double SlopePerFrame(const std::vector<Sample>& samples) {
    double meanX = 0.0, meanY = 0.0;
    for (const Sample& s : samples) {
        meanX += s.m_frames;
        meanY += s.m_bytes;
    }
    meanX /= samples.size();
    meanY /= samples.size();
    double sxy = 0.0, sxx = 0.0;
    for (const Sample& s : samples) {
        sxy += (s.m_frames - meanX) * (s.m_bytes - meanY);
        sxx += (s.m_frames - meanX) * (s.m_frames - meanX);
    }
    return sxx > 0.0 ? sxy / sxx : 0.0;
}

}   // namespace

int main(int argc, char** argv) {
    long long frames = 20000;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::strcmp(argv[i], "--frames") == 0)
            frames = std::max(kBaseFrames + 2 * kSampleEvery, std::atoll(argv[i + 1]));
    platform::InitPlatform(argc, argv);

    bench::SimProcess sim({"--tcp", "127.0.0.1:0"});
    if (sim.address().empty() ||
        bench::StartProgram(bench::TcpSettings(sim.address())) == "TIMEOUT") {
        std::fprintf(stderr, "bench_memory: the program did not connect\n");
        return 1;
    }
    std::vector<Sample> samples;
    const long long polled = bench::RunGo([&](long long count) {
        if (count >= kBaseFrames && count % kSampleEvery == 0)
            samples.push_back(
                {static_cast<double>(count), static_cast<double>(bench::ResidentBytes())});
        return count >= frames;
    });
    if (polled < frames || samples.size() < 2) {
        std::fprintf(stderr, "bench_memory: the GO loop ended after %lld frames\n", polled);
        return 1;
    }
    const double base = samples.front().m_bytes;
    const double measured = samples.back().m_bytes - base;
    char value[256];
    double growth = measured;
    if (frames >= kTargetFrames) {
        std::snprintf(value, sizeof value,
                      "%.1f MiB after 1 000 frames, %+.3f MiB after %lld frames", base / kMiB,
                      measured / kMiB, frames);
    } else {
        growth = SlopePerFrame(samples) * static_cast<double>(kTargetFrames - kBaseFrames);
        std::snprintf(value, sizeof value,
                      "%.1f MiB after 1 000 frames, %+.3f MiB after %lld frames; at the "
                      "fitted rate %+.3f MiB after 100 000 (extrapolated)",
                      base / kMiB, measured / kMiB, frames, growth / kMiB);
    }
    bench::Report("7. Resident size while GO polls over TCP", value,
                  "target: within 2 MiB of the size after 1 000 frames",
                  std::abs(growth) / kTargetBytes);
    return 0;
}
