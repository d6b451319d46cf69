// tavrix-sensor-sim: the simulated sensor as a program, on TCP or a pseudo-terminal.
// It prints the TCP port or the device path as one line on stdout, then serves until Ctrl+C,
// SIGTERM (or WM_CLOSE on Windows) ends it as cleanly as a normal return; the servers then
// close as on any other end, and the pseudo-terminal's symbolic link goes with its server.
// Pseudo-terminals are POSIX only: on Windows --pty fails with a message.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <cstdio>
#include <memory>
#include <optional>

#include "sim/control.h"
#include "sim/fault.h"
#include "sim/ptyserver.h"
#include "sim/sensor.h"
#include "sim/system.h"
#include "sim/tcpserver.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

int UsageError(const QString& message) {
    std::fprintf(stderr, "tavrix-sensor-sim: %s\nTry --help.\n", qPrintable(message));
    return kExitUsage;
}

// HOST:PORT, [IPv6]:PORT or localhost:PORT.
bool ParseHostPort(const QString& text, QHostAddress& address, quint16& port) {
    const qsizetype colon = text.lastIndexOf(':');
    if (colon <= 0) return false;
    QString host = text.left(colon);
    if (host.startsWith('[') && host.endsWith(']')) host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint value = text.mid(colon + 1).toUInt(&ok);
    if (!ok || value > 0xFFFF) return false;
    port = static_cast<quint16>(value);
    address = host == "localhost" ? QHostAddress(QHostAddress::LocalHost) : QHostAddress(host);
    return !address.isNull();
}

int Failure(const QString& message) {
    std::fprintf(stderr, "tavrix-sensor-sim: %s\n", qPrintable(message));
    return kExitFailure;
}

void PrintLine(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

}   // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(TAVRIX_VERSION);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Simulated TAVRIX-Vovez sensor: answers the 36-byte telegrams (codes 1, 3, 5, 6, 7, 8\n"
        "and 50) on a TCP port or a pseudo-terminal. Prints the TCP port or the device path\n"
        "as one line on stdout, then serves until it is ended.\n\n"
        "Usage: tavrix-sensor-sim --tcp HOST:PORT | --pty [--link PATH] [--paced]\n"
        "                         [--id TEXT] [--fault RULE ...] [--seed N]\n"
        "                         [--scene steady|objects|drift] [--eeprom PATH]\n"
        "                         [--control] [--log PATH]");
    const QCommandLineOption help({"h", "help"}, "Show this text.");
    const QCommandLineOption tcp("tcp", "Serve TCP on HOST:PORT; PORT 0 picks a free port.",
                                 "HOST:PORT");
    const QCommandLineOption pty("pty", "Serve on a new pseudo-terminal.");
    const QCommandLineOption link("link", "With --pty: make PATH a symbolic link to the device.",
                                  "PATH");
    const QCommandLineOption paced("paced", "With --pty: pace the bytes like a 19200-baud line.");
    const QCommandLineOption id("id",
                                QString("Identification text (at most 36 bytes are sent); "
                                        "default \"%1\".")
                                    .arg(sim::kDefaultIdentification),
                                "TEXT");
    const QCommandLineOption fault("fault", "Inject a fault (see below); repeatable.", "RULE");
    const QCommandLineOption seed("seed",
                                  "Seed of the noise and of the passing objects; default 1. The "
                                  "same seed and the same request times give the same frames.",
                                  "N");
    const QCommandLineOption scene(
        "scene",
        "What the beam sees: steady (a constant level with noise), objects (objects pass at "
        "irregular intervals, most shading the beam, some reflecting extra light; the default) "
        "or drift (the level drifts slowly down and back, as a lens that soils and is cleaned).",
        "NAME");
    const QCommandLineOption eeprom(
        "eeprom",
        "Keep the EEPROM record in the parameter file PATH: read at start into EEPROM and RAM "
        "when it is there and valid (otherwise the default record, with a note on stderr), "
        "written on every EEPROM store (code 6).",
        "PATH");
    const QCommandLineOption control(
        "control", "Read further fault rules from standard input, one a line (see below).");
    const QCommandLineOption log("log",
                                 "Write one line per reply to the file PATH as it leaves: the "
                                 "command code and the bytes in hex, faults applied.",
                                 "PATH");
    parser.addOptions({help, tcp, pty, link, paced, id, fault, seed, scene, eeprom, control, log});
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(app.arguments())) return UsageError(parser.errorText());
    if (parser.isSet(version)) parser.showVersion();   // prints the name and version, exits 0
    if (parser.isSet(help)) {
        // Qt's own usage line names no option forms; the description carries ours.
        const QString text = parser.helpText();
        PrintLine(text.mid(text.indexOf('\n') + 1) + "\n" + sim::kFaultSyntaxHelp);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return UsageError("unexpected argument " + parser.positionalArguments().first());
    if (parser.isSet(tcp) == parser.isSet(pty)) return UsageError("give either --tcp or --pty");
    if (parser.isSet(tcp) && (parser.isSet(link) || parser.isSet(paced)))
        return UsageError("--link and --paced work with --pty only");

    bool seedOk = true;
    const qulonglong seedValue =
        parser.isSet(seed) ? parser.value(seed).toULongLong(&seedOk) : sim::kDefaultSeed;
    if (!seedOk) return UsageError("bad seed " + parser.value(seed));
    const auto sceneValue = parser.isSet(scene) ? sim::ParseScene(parser.value(scene).toStdString())
                                                : std::optional<sim::Scene>(sim::kDefaultScene);
    if (!sceneValue) return UsageError("unknown scene " + parser.value(scene));
    sim::Sensor sensor(seedValue);
    sensor.setScene(*sceneValue);
    if (parser.isSet(eeprom)) {
        const QString reason = sensor.useEepromFile(parser.value(eeprom));
        if (!reason.isEmpty())
            std::fprintf(stderr,
                         "tavrix-sensor-sim: EEPROM file %s: %s; starting with the "
                         "default record\n",
                         qPrintable(parser.value(eeprom)), qPrintable(reason));
        QObject::connect(&sensor, &sim::Sensor::eepromFileFailed, [](const QString& why) {
            std::fprintf(stderr, "tavrix-sensor-sim: cannot write the EEPROM file %s\n",
                         qPrintable(why));
        });
    }
    if (parser.isSet(id)) sensor.setIdentification(parser.value(id).toStdString());
    for (const QString& text : parser.values(fault)) {
        std::string error;
        const auto rule = sim::ParseFaultSpec(text.toStdString(), error);
        if (!rule) return UsageError(QString::fromStdString(error));
        sensor.addFault(rule->m_code, rule->m_fault, rule->m_count);
    }

    QFile logFile(parser.value(log));
    if (parser.isSet(log)) {
        if (!logFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return Failure("cannot write " + logFile.fileName() + ": " + logFile.errorString());
        QObject::connect(&sensor, &sim::Sensor::replyLeft,
                         [&logFile](quint16 code, const sim::ReplyPlan& plan) {
                             logFile.write((sim::FormatReplyLine(code, plan) + '\n').c_str());
                             logFile.flush();
                         });
    }
    std::unique_ptr<sim::ControlChannel> controlChannel;
    if (parser.isSet(control))
        controlChannel =
            std::make_unique<sim::ControlChannel>(sensor, [](const std::string& error) {
                std::fprintf(stderr, "tavrix-sensor-sim: %s\n", error.c_str());
            });

    sim::QuitOnTerminate(app);   // before the line that tells a caller the sensor is there
    std::unique_ptr<sim::TcpServer> tcpServer;
    std::unique_ptr<sim::PtyServer> ptyServer;
    if (parser.isSet(tcp)) {
        QHostAddress address;
        quint16 port = 0;
        if (!ParseHostPort(parser.value(tcp), address, port))
            return UsageError("bad HOST:PORT " + parser.value(tcp));
        tcpServer = std::make_unique<sim::TcpServer>(sensor);
        if (!tcpServer->listen(address, port))
            return Failure("cannot listen on " + parser.value(tcp) + ": " +
                           tcpServer->errorString());
        PrintLine(QString::number(tcpServer->port()));
    } else {
        ptyServer = std::make_unique<sim::PtyServer>(sensor, parser.isSet(paced));
        if (!ptyServer->open(parser.value(link))) return Failure(ptyServer->errorString());
        PrintLine(ptyServer->path());
    }
    return app.exec();
}
