// Serial ports by number: the port table and the operations on open ports.
#include "platform/failurecodes.h"
#include "platform/platform.h"

#include <QDir>
#include <QSerialPortInfo>
#include <algorithm>
#include <map>
#include <memory>

namespace platform {
namespace {

std::vector<SerialPortEntry> portTable;
bool portTableLoaded = false;
std::map<int, std::unique_ptr<QSerialPort>> openPorts;

QSerialPort* OpenPort(int port) {
    auto found = openPorts.find(port);
    return found != openPorts.end() ? found->second.get() : nullptr;
}

QSerialPort::Parity ToQtParity(int parity) {
    switch (parity) {
    case kParityOdd:
        return QSerialPort::OddParity;
    case kParityEven:
        return QSerialPort::EvenParity;
    default:
        return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits ToQtStopBits(int stopBits) {
    return stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop;
}

// The device vanished while open (an unplugged adapter): every later operation reports it.
int PendingFailure(const QSerialPort& port) {
    return port.error() == QSerialPort::ResourceError ? SerialFailureCode(port.error()) : 0;
}

bool ApplySettings(QSerialPort& port, long baudRate, int parity, int dataBits, int stopBits) {
    return port.setBaudRate(static_cast<qint32>(baudRate)) &&
           port.setDataBits(static_cast<QSerialPort::DataBits>(dataBits)) &&
           port.setParity(ToQtParity(parity)) && port.setStopBits(ToQtStopBits(stopBits)) &&
           port.setFlowControl(QSerialPort::NoFlowControl);
}

// Devices the system does not list, such as the simulator's pseudo-terminal: the paths named
// in the environment variable kExtraPortsVariable, separated like PATH, that are not listed.
std::vector<SerialPortEntry> ExtraPorts(const std::vector<SerialPortEntry>& listed) {
    std::vector<SerialPortEntry> extra;
    const QString paths = qEnvironmentVariable(kExtraPortsVariable);
    for (const QString& path : paths.split(QDir::listSeparator(), Qt::SkipEmptyParts)) {
        const std::string device = path.toStdString();
        const auto same = [&](const SerialPortEntry& entry) { return entry.device == device; };
        if (std::none_of(listed.begin(), listed.end(), same) &&
            std::none_of(extra.begin(), extra.end(), same))
            extra.push_back({device, std::string("from ") + kExtraPortsVariable});
    }
    return extra;
}

}   // namespace

const std::vector<SerialPortEntry>& SerialPortTable() {
    if (!portTableLoaded) RefreshSerialPortTable();
    return portTable;
}

void RefreshSerialPortTable() {
    std::vector<SerialPortEntry> table;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
#ifdef Q_OS_WIN
    // Port n is COMn: the table runs from COM1 to the highest port present.
    int highest = 0;
    for (const QSerialPortInfo& info : ports) {
        if (info.portName().startsWith(QLatin1String("COM"))) {
            highest = std::max(highest, info.portName().mid(3).toInt());
        }
    }
    for (int number = 1; number <= highest; ++number) {
        SerialPortEntry entry{"COM" + std::to_string(number), ""};
        for (const QSerialPortInfo& info : ports) {
            if (info.portName() == QString::fromStdString(entry.device)) {
                entry.description = info.description().toStdString();
            }
        }
        table.push_back(entry);
    }
#else
    for (const QSerialPortInfo& info : ports) {
        table.push_back({info.systemLocation().toStdString(), info.description().toStdString()});
    }
    std::sort(table.begin(), table.end(), [](const SerialPortEntry& a, const SerialPortEntry& b) {
        return a.device < b.device;
    });
#endif
    // The added devices come first, so that the first of them is port 1 whatever the system
    // lists; on Windows they follow the COM ports, so that port n stays COMn.
    const std::vector<SerialPortEntry> extra = ExtraPorts(table);
#ifdef Q_OS_WIN
    table.insert(table.end(), extra.begin(), extra.end());
#else
    table.insert(table.begin(), extra.begin(), extra.end());
#endif
    SetSerialPortTable(std::move(table));
}

void SetSerialPortTable(std::vector<SerialPortEntry> table) {
    portTable = std::move(table);
    portTableLoaded = true;
}

int OpenComConfig(int port, const std::string& deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int /*outputQueueSize*/) {
    NoteOpenFailure({});
    const std::vector<SerialPortEntry>& table = SerialPortTable();
    if (table.empty()) return kComErrNoPorts;
    if (port < 1 || port > static_cast<int>(table.size())) return kComErrBadPort;
    openPorts.erase(port);   // reopening a port closes it first

    // An explicit device name wins over the table entry.
    const std::string& device = deviceName.empty() ? table[port - 1].device : deviceName;
    auto serial = std::make_unique<QSerialPort>(QString::fromStdString(device));
    if (!ApplySettings(*serial, baudRate, parity, dataBits, stopBits) ||
        !serial->open(QIODevice::ReadWrite)) {
        NoteOpenFailure(serial->errorString());
        return SerialFailureCode(serial->error());
    }
    // Qt queues writes without a limit; the input queue is capped like a driver's.
    if (inputQueueSize > 0) serial->setReadBufferSize(inputQueueSize);
    openPorts[port] = std::move(serial);
    return 0;
}

int CloseCom(int port) {
    QSerialPort* serial = OpenPort(port);
    if (serial == nullptr) return kComErrNotOpen;
    serial->close();
    openPorts.erase(port);
    return 0;
}

int SetComTime(int port, double timeoutSeconds) {
    // Writes are queued and reads take only what has arrived, so no operation here ever
    // waits: the time-out is accepted for an open port and has nothing to limit.
    if (OpenPort(port) == nullptr) return kComErrNotOpen;
    return timeoutSeconds >= 0.0 ? 0 : kComErrUnknown;
}

int SetCTSMode(int port, int mode) {
    QSerialPort* serial = OpenPort(port);
    if (serial == nullptr) return kComErrNotOpen;
    const auto flow = mode == 0 ? QSerialPort::NoFlowControl : QSerialPort::HardwareControl;
    return serial->setFlowControl(flow) ? 0 : SerialFailureCode(serial->error());
}

int ComWrt(int port, const uint8_t* buffer, int count) {
    QSerialPort* serial = OpenPort(port);
    if (serial == nullptr) return kComErrNotOpen;
    if (const int failure = PendingFailure(*serial)) return failure;
    const qint64 queued = serial->write(reinterpret_cast<const char*>(buffer), count);
    if (queued < 0) return SerialFailureCode(serial->error());
    serial->flush();
    return static_cast<int>(queued);
}

int ComRd(int port, uint8_t* buffer, int count) {
    QSerialPort* serial = OpenPort(port);
    if (serial == nullptr) return kComErrNotOpen;
    const qint64 wanted = std::min<qint64>(count, serial->bytesAvailable());
    if (wanted <= 0) return 0;
    const qint64 got = serial->read(reinterpret_cast<char*>(buffer), wanted);
    return got < 0 ? SerialFailureCode(serial->error()) : static_cast<int>(got);
}

int GetInQLen(int port) {
    QSerialPort* serial = OpenPort(port);
    if (serial == nullptr) return kComErrNotOpen;
    if (const int failure = PendingFailure(*serial)) return failure;
    return static_cast<int>(serial->bytesAvailable());
}

int FlushInQ(int port) {
    QSerialPort* serial = OpenPort(port);
    if (serial == nullptr) return kComErrNotOpen;
    if (!serial->clear(QSerialPort::Input)) return SerialFailureCode(serial->error());
    // A full input queue stopped the reading from the device, and clearing it does not start
    // it again: setting the queue size does.
    serial->setReadBufferSize(serial->readBufferSize());
    return 0;
}

int FlushOutQ(int port) {
    QSerialPort* serial = OpenPort(port);
    if (serial == nullptr) return kComErrNotOpen;
    return serial->clear(QSerialPort::Output) ? 0 : SerialFailureCode(serial->error());
}

std::string ComLineSettings(int port) {
    const QSerialPort* serial = OpenPort(port);
    if (serial == nullptr) return "";
    const QSerialPort::Parity parity = serial->parity();
    const QSerialPort::FlowControl flow = serial->flowControl();
    return std::to_string(serial->baudRate()) + " " + std::to_string(serial->dataBits()) +
           (parity == QSerialPort::NoParity     ? "N"
            : parity == QSerialPort::EvenParity ? "E"
                                                : "O") +
           (serial->stopBits() == QSerialPort::TwoStop ? "2" : "1") +
           (flow == QSerialPort::NoFlowControl     ? ", no handshake"
            : flow == QSerialPort::HardwareControl ? ", RTS/CTS handshake"
                                                   : ", XON/XOFF handshake");
}

}   // namespace platform
