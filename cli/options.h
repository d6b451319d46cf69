#pragma once
// The command line of tavrix-cli: its commands and options, their parsing and help texts.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/telegram.h"

namespace cli {

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitSensor = 3;          // no reply in time, or a wrong one
constexpr int kExitOpen = 4;            // the port or the connection could not be opened
constexpr int kExitFile = 5;            // a file could not be read or written
constexpr int kExitInterrupted = 130;   // Ctrl+C ended the run, as the shell reports it

enum class Command { None, Identify, Get, Send, Watch, Record };

// The parameter panel's labels of the record words, in record order.
constexpr const char* kRecordLabels[sensorlink::kRecordWords] = {
    "POWER",     "POWER_MODE",     "DYN_WIN_LO",        "DYN_WIN_HI", "AVERAGE",      "OUTPUT_MODE",
    "HOLD",      "THRESHOLD_MODE", "THRESHOLD_TRACING", "TRACING_UP", "TRACING_DOWN", "TEACH_VALUE",
    "TOLERANCE", "HYSTERESIS",     "SPARE_1",           "SPARE_2"};

// What the command line asks for.
struct Options {
    std::string m_tcpHost;   // --tcp HOST:PORT
    int32_t m_tcpPort = 0;
    std::string m_serialDevice;   // --serial DEVICE
    bool m_trace = false;
    Command m_command = Command::None;
    bool m_help = false;        // --help of the tool (no command) or of m_command
    bool m_version = false;     // --version
    bool m_eeprom = false;      // get, send
    std::string m_file;         // get -o, send, record
    uint64_t m_count = 0;       // watch --count, record --frames or --count; 0: no end
    double m_intervalS = 0.0;   // record --interval
    bool m_triggered = false;   // record --triggered
};

// The longest interval of a timed recording, as the recorder panel allows.
constexpr double kMaxIntervalS = 65535.0;

// Parses the arguments after the program name; on a usage error returns nothing and says
// why in `error`.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

// The --help text of the tool (Command::None) or of one command.
std::string HelpText(Command command);

}   // namespace cli
