// tavrix-cli as a process against the simulator program, over TCP and over a pseudo-terminal.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <functional>

#include "testsystem.h"

namespace {

constexpr int kRunLimitMs = 30000;

QString BuildPath(const QString& relative) { return QDir(QCoreApplication::applicationDirPath()).filePath(relative); }

struct Result {
    int m_code = -1;
    QString m_out, m_err;
};

// Runs the tool, its files limited to `fileLimit` bytes unless negative; `meanwhile` acts on it as it runs.
Result RunTool(const QStringList& args, const std::function<void(QProcess&)>& meanwhile = {},
               const QString& program = BuildPath("../cli/tavrix-cli"), long long fileLimit = -1) {
    QProcess tool;
    if (fileLimit >= 0) EXPECT_TRUE(testsystem::LimitFileSizeOf(tool, fileLimit));
    tool.start(program, args);
    if (meanwhile) meanwhile(tool);
    EXPECT_TRUE(tool.waitForFinished(kRunLimitMs));
    EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit);
    return {tool.exitCode(), testsystem::PrintedText(tool.readAllStandardOutput()),
            testsystem::PrintedText(tool.readAllStandardError())};
}

// The simulator program on a free loopback port or a new pty; m_link: the tool's option for it.
class Simulator {
public:
    Simulator(bool pty, const QStringList& args = {}) {
        m_process.start(BuildPath("../sim/tavrix-sensor-sim"),
                        (pty ? QStringList{"--pty"} : QStringList{"--tcp", "127.0.0.1:0"}) + args);
        EXPECT_TRUE(m_process.waitForReadyRead(kRunLimitMs));
        const QString where = m_process.readLine().trimmed();
        m_link = pty ? QStringList{"--serial", where} : QStringList{"--tcp", "127.0.0.1:" + where};
    }
    ~Simulator() { m_process.terminate(), m_process.waitForFinished(); }
    Result Tool(const QStringList& args) const { return RunTool(m_link + args); }

    QStringList m_link;
    QProcess m_process;
};

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

void WriteText(const QString& path, const QString& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toLatin1());
}

// Every line of a record file after the header is a complete record line.
int RecordLines(const QString& path) {
    static const QRegularExpression kRecordLine(R"(^\d\d-\d\d-\d{4}\t\d\d:\d\d:\d\d\t\d+\t\d+\r$)");
    QStringList lines = ReadText(path).split('\n');
    EXPECT_EQ(lines.takeFirst(), "DATE\tTIME\tRAW\tTEMP\t\r");
    EXPECT_EQ(lines.takeLast(), "") << "the last line is complete";
    for (const QString& line : lines) EXPECT_TRUE(kRecordLine.match(line).hasMatch()) << line.toStdString();
    return static_cast<int>(lines.size());
}

class CliLink : public ::testing::TestWithParam<bool> {
protected:
    QTemporaryDir m_dir;
    QString Path(const char* name) const { return m_dir.filePath(name); }
};

TEST_P(CliLink, EachCommandPrintsWhatTheSensorHoldsAndTheRecordMakesTheRoundTrip) {
    const Simulator sim(GetParam(), {"--id", "LINE 7 SENSOR"});
    const Result identified = sim.Tool({"--trace", "identify"});   // a pty reports 8N1 whatever was set
    EXPECT_EQ(identified.m_out, "LINE 7 SENSOR\n");
    if (GetParam())   // the serial line as the port took it, which a pty's own settings cannot show
        EXPECT_EQ(identified.m_err.section('\n', 0, 0),
                  "serial " + sim.m_link.last() + " (from --serial): 19200 8N1, no handshake");

    // get prints what get -o writes; a record changed in that file goes in and comes back.
    const Result before = sim.Tool({"get"});
    ASSERT_EQ(sim.Tool({"get", "-o", Path("ram.ini")}).m_code, 0);
    QStringList words = ReadText(Path("ram.ini")).split("\r\n"), lines = before.m_out.split('\n');
    ASSERT_TRUE(words.size() == 17 && lines.size() == 17) << before.m_out.toStdString();
    for (int i = 0; i < 16; ++i) EXPECT_EQ(lines[i].section('=', 1), words[i].trimmed());
    for (const auto& [word, value] : {std::pair{0, 600}, {11, 1234}, {14, 7}, {15, 65535}}) {
        words[word] = QString("%1").arg(value, 10);
        lines[word] = lines[word].section('=', 0, 0) + '=' + QString::number(value);
    }
    WriteText(Path("changed.ini"), words.join("\r\n"));
    EXPECT_EQ(sim.Tool({"send", "--eeprom", Path("changed.ini")}).m_code, 0);
    EXPECT_EQ(sim.Tool({"get"}).m_out, lines.join('\n'));
    EXPECT_EQ(sim.Tool({"get", "--eeprom", "-o", Path("eeprom.ini")}).m_code, 0);
    EXPECT_EQ(ReadText(Path("eeprom.ini")), words.join("\r\n"));

    const Result watched = sim.Tool({"watch", "--count", "3"});   // REF: the teach value sent
    EXPECT_TRUE(watched.m_code == 0 &&
                QRegularExpression(R"(^(\d+\t1234\t\d+\t\d+\n){3}$)").match(watched.m_out).hasMatch())
        << watched.m_out.toStdString();

    for (const QStringList& how :
         {QStringList{"--frames", "3", "--interval", "0.1"}, QStringList{"--triggered", "--count", "3"}}) {
        EXPECT_EQ(sim.Tool(QStringList{"record"} + how << Path("rec.dat")).m_code, 0);
        EXPECT_EQ(RecordLines(Path("rec.dat")), 3) << how.join(' ').toStdString();
    }
}

// Ctrl+C ends a loop with code 130: every line counted is whole, in the file or on stdout.
TEST_P(CliLink, CtrlCEndsWatchAndRecordWithCode130AndWholeLines) {
    const Simulator sim(GetParam());
    const auto interrupt = [](QProcess& tool) {
        QByteArray trace;   // until the first telegram is out
        tool.setReadChannel(QProcess::StandardError);
        while (!trace.contains(" > ") && tool.waitForReadyRead(kRunLimitMs)) trace += tool.readAllStandardError();
        QThread::msleep(100);
        ASSERT_TRUE(testsystem::SendSignal(tool.processId(), SIGINT));
    };
    for (const QStringList& command : {QStringList{"watch"},
                                       {"record", "--frames", "60000", "--interval", "0", Path("t.dat")},
                                       {"record", "--triggered", Path("r.dat")}}) {
        const Result result = RunTool(sim.m_link + QStringList{"--trace"} + command, interrupt);
        EXPECT_EQ(result.m_code, 130) << command.join(' ').toStdString();
        if (command.first() == "watch")
            EXPECT_TRUE(result.m_out.isEmpty() || result.m_out.endsWith('\n'));
        else
            EXPECT_GE(RecordLines(command.last()), command[1] == "--frames") << "timed: lines recorded";
    }
}

INSTANTIATE_TEST_SUITE_P(TcpAndPty, CliLink, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Pty" : "Tcp"; });

// A misbehaving sensor: exit code 3, the reason, and the trace of both telegrams.
TEST(CliFaults, WrongRepliesAndSilenceEndWithCode3AndAreTraced) {
    QTemporaryDir dir;
    WriteText(dir.filePath("p.ini"), QString("1\n").repeated(16));
    const struct {
        const char *m_fault, *m_command, *m_reply;
    } cases[] = {
        // the trace's reply
        {"1:byte:10:255", "send", R"(\n +\d+ < 00 AA 00 01( [0-9A-F]{2}){6} FF( [0-9A-F]{2}){25} echo mismatch\n)"},
        {"3:mark", "get", R"(\n +\d+ < 00 AB 00 03( [0-9A-F]{2}){32} wrong mark\n)"},
        {"5:short:4", "watch", R"(\n +\d+ < 00 AA 00 05( [0-9A-F]{2}){28} short by 4 bytes\n)"},
        {"3:none", "get", R"(\n +\d+ < - time-out after 3\d{3} ms\n)"},
    };
    for (const auto& c : cases) {
        const Simulator sim(false, {"--fault", c.m_fault});
        QStringList command{"--trace", c.m_command};
        if (command.last() == "send") command << dir.filePath("p.ini");
        const Result result = sim.Tool(command);
        const QString code = QString(c.m_fault).section(':', 0, 0);
        EXPECT_EQ(QString::number(result.m_code) + result.m_out, "3") << c.m_fault;
        EXPECT_TRUE(QRegularExpression("^ +\\d+ > 00 55 00 0" + code + "( [0-9A-F]{2}){32} ok" + c.m_reply +
                                       "tavrix-cli: 127\\.0\\.0\\.1:\\d+ \\(from --tcp\\): reply to code " + code +
                                       ": ")
                        .match(result.m_err)
                        .hasMatch())
            << result.m_err.toStdString();
    }
}

// Refusals with their codes and reasons; --help and --version.
TEST(CliRun, RefusalsEndWithTheirCodeAndReasonHelpAndVersionWithZero) {
    QTemporaryDir dir;
    WriteText(dir.filePath("bad.ini"), "1\n2\n\n3x\n");
    const struct {
        QStringList m_args;
        int m_code;
        const char* m_said;
    } cases[] = {
        {{}, 2, "no command"},
        {{"--tcp", "127.0.0.1:1", "--serial", "/dev/null", "get"}, 2, "either --tcp or --serial"},
        {{"get", "--count", "3"}, 2, "unknown option --count for get"},
        {{"--tcp", "127.0.0.1:1", "identify"},
         4,
         "open 127.0.0.1:1 (from --tcp): FailedToConnect (Connection refused)"},
        {{"--serial", dir.filePath("tty"), "get"}, 4, "tty (from --serial): Cannot open port (No such file or"},
        // The file is refused before any connection is tried.
        {{"--tcp", "127.0.0.1:1", "send", dir.filePath("bad.ini")}, 5, "line 4: value 3 is not a"},
        {{"--tcp", "127.0.0.1:1", "send", dir.filePath("none.ini")}, 5, "the file does not exist"},
    };
    for (const auto& c : cases) {
        const Result result = RunTool(c.m_args);
        EXPECT_EQ(result.m_code, c.m_code) << c.m_said;
        EXPECT_TRUE(result.m_err.contains(c.m_said)) << result.m_err.toStdString();
    }
    const Simulator sim(false);
    EXPECT_EQ(std::pair(sim.Tool({"get", "-o", dir.filePath("no/such/dir/p.ini")}).m_code,
                        sim.Tool({"record", "--triggered", dir.filePath("no/such/dir/r.dat")}).m_code),
              std::pair(5, 5));
    const QString full = dir.filePath("full.dat");   // the disk fills: room for the header and one line
    const Result stopped = RunTool(sim.m_link + QStringList{"record", "--frames", "5", "--interval", "0.1", full}, {},
                                   BuildPath("../cli/tavrix-cli"), 21 + 40);
    EXPECT_EQ(stopped.m_code, 5);
    EXPECT_TRUE(stopped.m_err.contains("cannot write " + full + ": File too large; lines recorded in it: 1"))
        << stopped.m_err.toStdString();
    EXPECT_EQ(RecordLines(full), 1);
    EXPECT_TRUE(RunTool({"--help"}).m_out.contains("Exit codes: 0 success;") &&
                RunTool({"get", "--help"}).m_out.contains("TEACH_VALUE TOLERANCE HYSTERESIS"));
    // --version of each program; without a display the window program would fail to open one.
    for (const char* display : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) qunsetenv(display);
    for (const QString program : {"cli/tavrix-cli", "sim/tavrix-sensor-sim", "shell/TavrixV20"}) {
        const Result result = RunTool({"--version"}, {}, BuildPath("../" + program));
        EXPECT_EQ(QString::number(result.m_code) + ' ' + result.m_out, "0 " + program.section('/', 1) + " 2.0\n");
    }
}

// Beside the window (in the tool's folder, or shell/ beside it in the build tree), else in the window's
// folder among the user's configuration folders; no folder made; a failure names where it came from.
TEST(CliRun, TakesTheConnectionTheWindowStoredWhereTheWindowKeepsIt) {
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
    qputenv("TAVRIX_SERIAL_PORTS", dir.filePath("tty").toUtf8());   // serial port 1
    const Simulator sim(false);
    const QString port = sim.m_link.last().section(':', 1);
    const struct {
        const char *m_tool, *m_window, *m_settings, *m_port;
        int m_code;
        QString m_said;
    } cases[] = {
        {"build/cli", "build/shell", "build/shell", "", 0, "TAVRIX-Vovez SIM V2.0\n"},
        {"usr/bin", "usr/bin", "usr/bin", "", 0, "TAVRIX-Vovez SIM V2.0\n"},
        {"b/bin", nullptr, "config/TavrixV20", "1", 4,
         "open 127.0.0.1:1 (from " + dir.filePath("config/TavrixV20/ComSettings.cfg") + "): FailedTo"},
        {"c/bin", nullptr, nullptr, "", 4,
         "open " + dir.filePath("tty") + " (the window's default: no " +
             dir.filePath("config/TavrixV20/ComSettings.cfg") + "): Cannot open port"},
    };
    const auto put = [&](const char* folder, const char* name, const QString& text) {
        QDir(dir.path()).mkpath(folder);
        WriteText(dir.filePath(folder + QString("/") + name), text);
        return dir.filePath(folder + QString("/") + name);
    };
    for (const auto& c : cases) {
        const QString tool = put(c.m_tool, "tavrix-cli", "");
        ASSERT_TRUE(QFile::remove(tool) && QFile::copy(BuildPath("../cli/tavrix-cli"), tool));
        if (c.m_window) QFile::setPermissions(put(c.m_window, "TavrixV20", ""), QFile::ExeOwner);
        const QString stored = "1\r\n1\r\n127.0.0.1\r\n" + (*c.m_port ? c.m_port : port) + "\r\n";
        const QString settings = c.m_settings ? put(c.m_settings, "ComSettings.cfg", stored) : "";
        const Result result = RunTool({"identify"}, {}, tool);
        EXPECT_EQ(result.m_code, c.m_code) << c.m_tool;
        EXPECT_TRUE((c.m_code == 0 ? result.m_out : result.m_err).contains(c.m_said)) << result.m_err.toStdString();
        QFile::remove(settings);
    }
    EXPECT_EQ(QDir(dir.filePath("config")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"TavrixV20"});
    for (const char* variable : {"XDG_CONFIG_HOME", "TAVRIX_SERIAL_PORTS"}) qunsetenv(variable);
}

}   // namespace
