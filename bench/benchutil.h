#pragma once
// What the benchmarks share: medians, the CPU time and resident size of this process, the
// simulator program in a process of its own, and the program brought up against it in this
// process, running its GO loop.
#include <QProcess>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

#include "core/configfiles.h"
#include "ui/panels.h"

namespace bench {

constexpr double kGoPauseS = 0.010;   // the GO loop sleeps this long after each frame

double Median(std::vector<double> values);
double CpuSeconds();         // user and system time of this process so far
long long ResidentBytes();   // resident set size of this process now

// The simulator program, started with the given arguments; ended when this goes away.
class SimProcess {
public:
    explicit SimProcess(const QStringList& arguments);
    ~SimProcess();
    // The line the simulator prints once it serves: its TCP port or its device path;
    // empty when it did not start.
    const std::string& address() const { return m_address; }
    // Writes a line to the simulator's standard input (its --control channel).
    void send(const std::string& line);

private:
    QProcess m_process;
    std::string m_address;
};

// The settings of a TCP connection to 127.0.0.1:port, or of serial port 1 on the
// pseudo-terminal `device`.
connection::ConnectionSettings TcpSettings(const std::string& port);
connection::ConnectionSettings SerialSettings(const std::string& device);

// Loads the panels in a fresh program directory that holds these settings and runs the
// start-up with its connection attempt. Returns the identification text shown then.
std::string StartProgram(const connection::ConnectionSettings& settings);

// Runs the GO loop (the GO button's commit) until `stop` returns true; it is asked as each
// frame's reply is awaited, with the count of frames so far. Returns that count.
long long RunGo(const std::function<bool(long long)>& stop);

// A number with a fixed count of decimals, for result lines.
std::string Fixed(double value, int decimals);

// Prints one result line: the figure, what it is held against, and their ratio.
void Report(const std::string& figure, const std::string& value, const std::string& target,
            double ratio);

}   // namespace bench
