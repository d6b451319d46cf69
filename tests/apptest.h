#pragma once
// The whole program for a test: a temporary directory, scripted pop-ups, the sensor in-process.
#include <gtest/gtest.h>
#include <QComboBox>
#include <QHostAddress>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "connection/connection.h"
#include "core/configfiles.h"
#include "graph/chart.h"
#include "link/exchanges.h"
#include "platform/platform.h"
#include "shell/TavrixV20.h"
#include "shell/gui.h"
#include "sim/ptyserver.h"
#include "sim/sensor.h"
#include "sim/tcpserver.h"
#include "ui/TavrixV20.h"
#include "ui/panels.h"

namespace apptest {

using Texts = std::vector<std::string>;

enum class Transport { Tcp, Pty };

inline std::string TransportName(const ::testing::TestParamInfo<Transport>& info) {
    return info.param == Transport::Tcp ? "Tcp" : "Pty";
}

// A box as Program::Popups() lists it.
inline std::string Attention(const std::string& t) { return platform::kAttentionTitle + ("|" + t); }
inline std::string Info(const std::string& t) { return platform::kInfoTitle + ("|" + t); }

// Processes events until done() holds or the limit passes; false on time-out.
inline bool PumpUntil(const std::function<bool()>& done, double seconds = 10.0) {
    for (const double start = platform::Timer(); !done(); platform::ProcessSystemEvents())
        if (platform::Timer() - start > seconds) return false;
    return true;
}

inline void PumpFor(double seconds) {
    PumpUntil([] { return false; }, seconds);
}

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
            settings = {sensorlink::kTCPIP, 1, "127.0.0.1", std::to_string(m_tcp->port())};
        } else {
            m_pty = std::make_unique<sim::PtyServer>(m_sensor, false);
            EXPECT_TRUE(m_pty->open());
            platform::SetSerialPortTable({{m_pty->path().toStdString(), "simulated sensor"}});
            settings = {sensorlink::kRS232, 1, {}, {}};
        }
        platform::WriteFileBytes(Path(connection::kSettingsFile), connection::FormatSettingsFile(settings));
    }

    ~Program() {
        if (sensorlink::tcpcon) platform::DisconnectFromTCPServer(static_cast<unsigned>(sensorlink::g_hconversation));
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

    std::string Path(const std::string& name) const { return platform::JoinPath(m_dir.path().toStdString(), name); }

    QWidget* Widget(int panel, int control) const {
        QWidget* widget = platform::ControlWidget(panel, control);
        EXPECT_NE(widget, nullptr);
        return widget;
    }

    // A real left click, as the user makes it.
    void Click(int panel, int control) const { QTest::mouseClick(Widget(panel, control), Qt::LeftButton); }

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

    bool Dimmed(int panel, int control) const { return Attribute(panel, control, platform::ATTR_DIMMED) > 0; }

    // The failure handling's end state: "TIMEOUT", no polling, the connection panel in front.
    void ExpectTimeoutState() const {
        EXPECT_EQ(Text(ui::datapanel, ui::DATAP_STATUS) + " " + Text(ui::interfacepanel, ui::INTERFACEP_STATUS),
                  "TIMEOUT TIMEOUT");
        EXPECT_EQ(std::pair(sensorlink::poll, sensorlink::comecho), (std::pair<uint16_t, uint16_t>(0, 0)));
        EXPECT_TRUE(platform::PanelVisible(ui::interfacepanel) && !platform::PanelVisible(ui::parapanel));
        EXPECT_TRUE(Dimmed(ui::interfacepanel, ui::INTERFACEP_BUTTON_ACCEPT));
    }

    // The command codes of the requests the sensor received since the log was cleared.
    std::vector<int> RequestCodes() const {
        std::vector<int> codes;
        for (const auto& request : m_sensor.requests()) codes.push_back(request[3]);
        return codes;
    }

    int Requests(int code) const { return static_cast<int>(std::ranges::count(RequestCodes(), code)); }

    // Boxes shown since the log was cleared with this title and a text containing part.
    static int Shown(const std::string& title, const std::string& part = "") {
        return static_cast<int>(std::ranges::count_if(platform::PopupLog(), [&](const auto& popup) {
            return popup.title == title && popup.text.find(part) != std::string::npos;
        }));
    }

    // "title|text" of every box shown since the log was cleared.
    static std::vector<std::string> Popups() {
        std::vector<std::string> texts;
        for (const auto& popup : platform::PopupLog()) texts.push_back(popup.title + "|" + popup.text);
        return texts;
    }

    // Clicks a button whose callback blocks (GO, a recording), running step every 5 ms meanwhile.
    void ClickWhile(int panel, int control, std::function<void()> step) const {
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, std::move(step));
        sampler.start(5);
        Click(panel, control);
    }

    // The recorder panel as the user works it: a file chosen in the dialog, a mode picked.
    void ChooseRecordFile(const std::string& path, int result = 2) {
        m_filePath = path;
        m_fileResult = result;
        Click(ui::recpanel, ui::RECP_BUTTON_SELFILE);
    }
    void ChooseRecordMode(int mode) const { Choose(ui::recpanel, ui::RECP_MODE, mode); }
    // Both, then the requests and boxes so far forgotten.
    std::string PrepareRecording(const std::string& path, int mode) {
        ChooseRecordFile(path);
        ChooseRecordMode(mode);
        platform::ClearPopupLog();
        m_sensor.clearLog();
        return path;
    }

    // An item picked in a ring, as the user picks it.
    void Choose(int panel, int control, int index) const {
        auto* ring = qobject_cast<QComboBox*>(Widget(panel, control));
        ring->setCurrentIndex(index);
        emit ring->activated(index);
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

    // The points of a signal graph on the graph panel: one per recorded frame.
    const graph::PointStore& GraphPoints(int control) const {
        return Widget(ui::graphpanel, control)->findChild<graph::SignalGraphWidget*>()->Points();
    }
    std::size_t RawGraphPoints() const { return GraphPoints(ui::GRAPHP_GRAPH_RAW).Size(); }

    sim::Sensor m_sensor{42};
    QTemporaryDir m_dir;
    std::unique_ptr<sim::TcpServer> m_tcp;
    std::unique_ptr<sim::PtyServer> m_pty;
    std::string m_filePath;    // what the scripted file dialog chooses
    int m_fileResult = 2;      // and its result: 0 cancel, 1 existing, 2 new
    int m_confirmAnswer = 1;   // scripted answer to confirmations
};

}   // namespace apptest
