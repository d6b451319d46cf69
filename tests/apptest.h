#pragma once
// Brings the whole program up for a test: a temporary program directory, scripted pop-ups,
// the simulated sensor in-process on TCP or on a pseudo-terminal, and the real panels.
#include <QComboBox>
#include <QHostAddress>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "connection/connection.h"
#include "graph/chart.h"
#include "ui/panels.h"
#include "core/configfiles.h"
#include "link/exchanges.h"
#include "platform/platform.h"
#include "shell/TavrixV20.h"
#include "shell/gui.h"
#include "sim/ptyserver.h"
#include "sim/sensor.h"
#include "sim/tcpserver.h"
#include "ui/TavrixV20.h"

namespace apptest {

enum class Transport { Tcp, Pty };

inline void PrintTo(Transport t, std::ostream* os) { *os << (t == Transport::Tcp ? "TCP" : "pty"); }

inline std::string TransportName(const ::testing::TestParamInfo<Transport>& info) {
    return info.param == Transport::Tcp ? "Tcp" : "Pty";
}

// A box as Program::Popups() lists it.
inline std::string Attention(const std::string& text) { return std::string(platform::kAttentionTitle) + "|" + text; }
inline std::string Info(const std::string& text) { return std::string(platform::kInfoTitle) + "|" + text; }

// Processes events until done() holds or the limit passes; false on time-out.
template <typename Pred>
bool PumpUntil(Pred done, double seconds = 10.0) {
    const double start = platform::Timer();
    while (!done()) {
        if (platform::Timer() - start > seconds) return false;
        platform::ProcessSystemEvents();
    }
    return true;
}

inline void PumpFor(double seconds) { PumpUntil([] { return false; }, seconds); }

// The program against the simulated sensor.
class Program {
public:
    explicit Program(Transport transport) {
        EXPECT_TRUE(m_dir.isValid());
        platform::SetProjectDir(m_dir.path().toStdString());
        platform::ClearPopupLog();
        platform::SetPopupHandler([this](const platform::PopupRecord& popup, std::string& path) {
            if (popup.kind == platform::PopupRecord::FileSelect) {
                path = m_filePath;
                return m_fileResult;
            }
            return popup.kind == platform::PopupRecord::Confirm ? m_confirmAnswer : 1;
        });
        connection::ConnectionSettings settings;
        if (transport == Transport::Tcp) {
            m_tcp = std::make_unique<sim::TcpServer>(m_sensor);
            EXPECT_TRUE(m_tcp->listen(QHostAddress::LocalHost, 0));
            settings.m_comprotocol = sensorlink::kTCPIP;
            settings.m_comport = 1;
            settings.m_ipBuf = "127.0.0.1";
            settings.m_portNumStr = std::to_string(m_tcp->port());
        } else {
            m_pty = std::make_unique<sim::PtyServer>(m_sensor, false);
            EXPECT_TRUE(m_pty->open());
            platform::SetSerialPortTable({{m_pty->path().toStdString(), "simulated sensor"}});
            settings.m_comprotocol = sensorlink::kRS232;
            settings.m_comport = 1;
        }
        platform::WriteFileBytes(Path(connection::kSettingsFile),
                                 connection::FormatSettingsFile(settings));
    }

    ~Program() {
        m_sampler.reset();
        if (sensorlink::tcpcon)
            platform::DisconnectFromTCPServer(static_cast<unsigned>(sensorlink::g_hconversation));
        platform::SetPopupHandler({});
        platform::SetProjectDir("");
    }

    // Loads the panels and runs the start-up with its first connection attempt.
    void Start() {
        ASSERT_EQ(shell::LoadPanels(), 0);
        shell::InitAll();
    }

    // Start() with the sensor's identification shown, then the request and box logs cleared.
    void StartConnected() {
        Start();
        ASSERT_EQ(Text(ui::datapanel, ui::DATAP_STATUS), sim::kDefaultIdentification);
        m_sensor.clearLog();
        platform::ClearPopupLog();
    }

    std::string Path(const std::string& name) const {
        return platform::JoinPath(m_dir.path().toStdString(), name);
    }

    QWidget* Widget(int panel, int control) const {
        QWidget* widget = platform::ControlWidget(panel, control);
        EXPECT_NE(widget, nullptr);
        return widget;
    }

    // A real left click, as the user makes it.
    void Click(int panel, int control) const {
        QTest::mouseClick(Widget(panel, control), Qt::LeftButton);
    }

    std::string Text(int panel, int control) const {
        std::string text;
        platform::GetCtrlVal(panel, control, text);
        return text;
    }

    int Value(int panel, int control) const {
        int value = 0;
        platform::GetCtrlVal(panel, control, value);
        return value;
    }

    int Attribute(int panel, int control, int attribute) const {
        int value = -1;
        platform::GetCtrlAttribute(panel, control, attribute, value);
        return value;
    }

    bool Dimmed(int panel, int control) const {
        int dimmed = 0;
        platform::GetCtrlAttribute(panel, control, platform::ATTR_DIMMED, dimmed);
        return dimmed != 0;
    }

    // The failure handling's end state: "TIMEOUT", polling stopped, the connection-settings
    // panel in front with its accept button dimmed.
    void ExpectTimeoutState() const {
        EXPECT_EQ(Text(ui::datapanel, ui::DATAP_STATUS), "TIMEOUT");
        EXPECT_EQ(Text(ui::interfacepanel, ui::INTERFACEP_STATUS), "TIMEOUT");
        EXPECT_EQ(sensorlink::poll, 0);
        EXPECT_EQ(sensorlink::comecho, 0);
        EXPECT_TRUE(platform::PanelVisible(ui::interfacepanel));
        EXPECT_FALSE(platform::PanelVisible(ui::parapanel));
        EXPECT_TRUE(Dimmed(ui::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT));
    }

    // The command codes of the requests the sensor received since the log was cleared.
    std::vector<int> RequestCodes() const {
        std::vector<int> codes;
        for (const auto& request : m_sensor.requests()) codes.push_back(request[3]);
        return codes;
    }

    int Requests(int code) const {
        int n = 0;
        for (int c : RequestCodes()) n += c == code;
        return n;
    }

    // Boxes shown since the log was cleared with this title and a text containing part.
    static int Shown(const std::string& title, const std::string& part = "") {
        int n = 0;
        for (const auto& popup : platform::PopupLog())
            n += popup.title == title && popup.text.find(part) != std::string::npos;
        return n;
    }

    // "title|text" of every box shown since the log was cleared.
    static std::vector<std::string> Popups() {
        std::vector<std::string> texts;
        for (const auto& popup : platform::PopupLog()) texts.push_back(popup.title + "|" + popup.text);
        return texts;
    }

    // Runs step every few milliseconds while a blocking click runs, until StopSampler().
    void WhileRunning(std::function<void()> step) {
        m_sampler = std::make_unique<QTimer>();
        QObject::connect(m_sampler.get(), &QTimer::timeout, std::move(step));
        m_sampler->start(5);
    }
    void StopSampler() { m_sampler.reset(); }

    // The recorder panel as the user works it: a file chosen in the dialog, a mode picked.
    void ChooseRecordFile(const std::string& path, int result = 2) {
        m_filePath = path;
        m_fileResult = result;
        Click(ui::recpanel, ui::RECP_BUTTON_SELFILE);
    }
    void ChooseRecordMode(int mode) const {
        auto* ring = qobject_cast<QComboBox*>(Widget(ui::recpanel, ui::RECP_MODE));
        ring->setCurrentIndex(mode);
        emit ring->activated(mode);
    }

    // A file's bytes; "" when it cannot be read.
    static std::string Bytes(const std::string& path) {
        std::string bytes;
        platform::ReadFileBytes(path, bytes);
        return bytes;
    }

    // The data lines of a record file (those after its header), without CR LF.
    static std::vector<std::string> RecordLines(const std::string& path) {
        const std::string bytes = Bytes(path);
        std::vector<std::string> lines;
        for (size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(bytes.substr(at, end - at));
        if (!lines.empty() && lines.front().rfind("DATE\t", 0) == 0) lines.erase(lines.begin());
        return lines;
    }

    // The points of the raw signal's graph on the graph panel: one per recorded frame.
    std::vector<QPointF> RawGraphPoints() const {
        const graph::PointStore& stored = Widget(ui::graphpanel, ui::GRAPHP_GRAPH_RAW)
                                              ->findChild<graph::SignalGraphWidget*>()->Points();
        std::vector<QPointF> points;
        for (std::size_t i = 0; i < stored.Size(); ++i) points.emplace_back(stored[i].m_x, stored[i].m_y);
        return points;
    }

    sim::Sensor m_sensor{42};
    QTemporaryDir m_dir;
    std::unique_ptr<sim::TcpServer> m_tcp;
    std::unique_ptr<sim::PtyServer> m_pty;
    std::string m_filePath;            // what the scripted file dialog chooses
    int m_fileResult = 2;              // and its result: 0 cancel, 1 existing, 2 new
    int m_confirmAnswer = 1;           // scripted answer to confirmations
    std::unique_ptr<QTimer> m_sampler;  // see WhileRunning()
};

}  // namespace apptest
