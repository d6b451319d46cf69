#include "bench/benchutil.h"
#include "connection/connection.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>

#include "graph/graph.h"
#include "link/com232.h"
#include "platform/platform.h"
#include "shell/TavrixV20.h"
#include "shell/gui.h"
#include "ui/TavrixV20.h"

namespace bench {

namespace {

constexpr int kSimStartMs = 10000;   // longest wait for the simulator's first line
constexpr int kSimEndMs = 2000;      // grace after SIGTERM before the simulator is killed

// The program directory of the program brought up by StartProgram; removed at exit.
std::unique_ptr<QTemporaryDir> programDir;

// Counts the exchanges of the GO loop as they happen: the wait for each reply stamps its
// start into tstart and then processes events, so the first event seen after a new stamp
// belongs to a new frame. Clears poll when `stop` says so.
class ExchangeCounter : public QObject {
public:
    explicit ExchangeCounter(const std::function<bool(long long)>& stop) : m_stop(stop) {}
    long long m_frames = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (sensorlink::tstart != m_lastStart) {
            m_lastStart = sensorlink::tstart;
            ++m_frames;
            if (m_stop(m_frames)) sensorlink::poll = 0;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const std::function<bool(long long)>& m_stop;
    double m_lastStart = sensorlink::tstart;
};

}   // namespace

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long long ResidentBytes() {
    // The second field of statm is the resident size in pages.
    std::ifstream statm("/proc/self/statm");
    long long pages = 0;
    long long resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

SimProcess::SimProcess(const QStringList& arguments) {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(TAVRIX_SIM_PROGRAM), arguments);
    if (!m_process.waitForStarted(kSimStartMs)) return;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(kSimStartMs)) {}
    m_address = m_process.readLine().trimmed().toStdString();
}

void SimProcess::send(const std::string& line) {
    m_process.write((line + '\n').c_str());
    m_process.waitForBytesWritten(kSimEndMs);
}

SimProcess::~SimProcess() {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.terminate();
    if (!m_process.waitForFinished(kSimEndMs)) {
        m_process.kill();
        m_process.waitForFinished(kSimEndMs);
    }
}

connection::ConnectionSettings TcpSettings(const std::string& port) {
    connection::ConnectionSettings settings;
    settings.m_comprotocol = sensorlink::kTCPIP;
    settings.m_comport = 1;
    settings.m_ipBuf = "127.0.0.1";
    settings.m_portNumStr = port;
    return settings;
}

connection::ConnectionSettings SerialSettings(const std::string& device) {
    platform::SetSerialPortTable({{device, "simulated sensor"}});
    connection::ConnectionSettings settings;
    settings.m_comprotocol = sensorlink::kRS232;
    settings.m_comport = 1;
    return settings;
}

std::string StartProgram(const connection::ConnectionSettings& settings) {
    programDir = std::make_unique<QTemporaryDir>();
    const std::string dir = programDir->path().toStdString();
    platform::SetProjectDir(dir);
    // Every box is answered at once, as a user pressing OK or Yes.
    platform::SetPopupHandler([](const platform::PopupRecord&, std::string&) { return 1; });
    platform::WriteFileBytes(platform::JoinPath(dir, connection::kSettingsFile),
                             connection::FormatSettingsFile(settings));
    if (shell::LoadPanels() < 0) return {};
    shell::InitAll();
    graph::InitCharts();
    std::string shown;
    platform::GetCtrlVal(ui::datapanel, ui::DATAP_STATUS, shown);
    return shown;
}

long long RunGo(const std::function<bool(long long)>& stop) {
    ExchangeCounter counter(stop);
    QCoreApplication::instance()->installEventFilter(&counter);
    shell::CBF_ButtonGo(ui::mainpanel, ui::MAINP_BUTTON_GO, platform::EVENT_COMMIT, nullptr, 0, 0);
    QCoreApplication::instance()->removeEventFilter(&counter);
    return counter.m_frames;
}

void Report(const std::string& figure, const std::string& value, const std::string& target,
            double ratio) {
    std::printf("%s: %s (%s, ratio %.2f)\n", figure.c_str(), value.c_str(), target.c_str(), ratio);
    std::fflush(stdout);
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}   // namespace bench
