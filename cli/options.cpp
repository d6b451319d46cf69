#include "cli/options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace cli {

namespace {

constexpr int32_t kMaxTcpPort = 65535;

// A command word and the command it names.
struct CommandName {
    const char* m_name = "";
    Command m_command = Command::None;
};
constexpr CommandName kCommands[] = {{"identify", Command::Identify},
                                     {"get", Command::Get},
                                     {"send", Command::Send},
                                     {"watch", Command::Watch},
                                     {"record", Command::Record}};

const char* const kToolHelp =
    "Usage: tavrix-cli [--tcp HOST:PORT | --serial DEVICE] [--trace] COMMAND ...\n"
    "\n"
    "Talks to a TAVRIX-Vovez sensor with the telegrams, time limits, pauses and checks of the\n"
    "window program. Without --tcp or --serial it uses the connection that the window stored\n"
    "in ComSettings.cfg: beside the window program (TavrixV20, in this tool's folder, or in\n"
    "shell/ beside it in a build) while that folder is writable, otherwise in the user's\n"
    "configuration folder TavrixV20 (~/.config/TavrixV20 on Linux).\n"
    "\n"
    "Options:\n"
    "  --tcp HOST:PORT   connect to the sensor's TCP server\n"
    "  --serial DEVICE   use the serial port DEVICE (19200 baud, 8 data bits, no parity)\n"
    "  --trace           print every telegram on standard error: milliseconds since the\n"
    "                    start, > sent or < received, its bytes in hex, the outcome (ok, echo\n"
    "                    mismatch, wrong mark, time-out after N ms, short by N bytes)\n"
    "  --help            show this text; COMMAND --help explains a command\n"
    "  --version         show the name and version\n"
    "\n"
    "Commands:\n"
    "  identify                         print the identification text\n"
    "  get [--eeprom] [-o FILE]         read the record (code 3, or 8 then 3); print it as\n"
    "                                   "
    "NAME=VALUE lines, or write FILE in the parameter-file format\n"
    "  send [--eeprom] FILE             write FILE's record (code 1, or 1, 6 and the pause)\n"
    "  watch [--count N]                "
    "poll frames (code 5) with the 10 ms pause; one line a frame:\n"
    "                                   RAW, REF, TEMP, OUTPUT tab-separated; until N or Ctrl+C\n"
    "  record --frames N --interval S FILE\n"
    "                                   "
    "a timed recording into FILE, lines exactly as the window writes\n"
    "  record --triggered [--count N] FILE\n"
    "                                   "
    "a triggered recording (code 50, then listen) until N or Ctrl+C\n"
    "\n"
    "Exit codes: 0 success; 2 usage error; 3 the sensor did not answer in time or answered\n"
    "wrongly (echo mismatch, wrong mark, short reply); 4 the port or the connection could not\n"
    "be opened; 5 a file could not be read or written; 130 Ctrl+C ended the run.\n";

const char* const kIdentifyHelp =
    "Usage: tavrix-cli [CONNECTION] identify\n"
    "\n"
    "Asks the sensor for its identification text (code 7) and prints it, then reads its\n"
    "parameter record (code 3) as the window does after connecting.\n";

const char* const kSendHelp =
    "Usage: tavrix-cli [CONNECTION] send [--eeprom] FILE\n"
    "\n"
    "Writes the record of the parameter file FILE into the sensor's RAM (code 1, echo\n"
    "checked); with --eeprom it then stores it in the EEPROM (code 6) and waits 0.5 s.\n"
    "A file that cannot be read is refused with the reason and the line, and nothing is sent.\n";

const char* const kWatchHelp =
    "Usage: tavrix-cli [CONNECTION] watch [--count N]\n"
    "\n"
    "Requests one frame after another (code 5), 10 ms apart, and prints a line per frame:\n"
    "RAW, REF, TEMP and OUTPUT, tab-separated, in decimal. OUTPUT is the frame's switching\n"
    "state: non-zero while the signal is within the tolerance, before the output mode is\n"
    "applied. Ends after N frames, or at Ctrl+C.\n";

const char* const kRecordHelp =
    "Usage: tavrix-cli [CONNECTION] record --frames N --interval S FILE\n"
    "       tavrix-cli [CONNECTION] record --triggered [--count N] FILE\n"
    "\n"
    "Writes a record file as the window's recorder does: the header, then one line per\n"
    "frame (date, time, raw signal, temperature). A timed recording requests N frames, one\n"
    "every S seconds (0 to 65535, fractions allowed); a triggered one sends code 50 once and\n"
    "takes every frame the sensor sends, until N lines or Ctrl+C. FILE is replaced. After\n"
    "Ctrl+C the file holds every line counted. Each line is written whole or not at all: the\n"
    "first that cannot be written (a full disk) ends the recording with exit code 5. Progress\n"
    "goes to standard error when it is a terminal and the recording runs for more than a few\n"
    "seconds.\n";

std::string GetHelp() {
    std::string text =
        "Usage: tavrix-cli [CONNECTION] get [--eeprom] [-o FILE]\n"
        "\n"
        "Reads the sensor's parameter record from its RAM (code 3) or, with --eeprom, loads\n"
        "it from the EEPROM first (code 8, echo checked, then 3). Prints one NAME=VALUE line\n"
        "per word in record order, values in decimal, or with -o writes FILE in the\n"
        "parameter-file format (the format that send and the window read). The names:";
    constexpr int kNamesPerLine = 8;
    for (int i = 0; i < sensorlink::kRecordWords; ++i)
        text += std::string(i % kNamesPerLine == 0 ? "\n  " : " ") + kRecordLabels[i];
    return text + "\n";
}

// Decimal digits only, at least 1.
std::optional<uint64_t> ParseCount(const std::string& text) {
    uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    if (failure != std::errc() || stop != end || value == 0) return std::nullopt;
    return value;
}

// Seconds from 0 to kMaxIntervalS, in decimal with an optional fraction.
std::optional<double> ParseSeconds(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos)
        return std::nullopt;
    char* stop = nullptr;
    const double value = std::strtod(text.c_str(), &stop);
    if (*stop != '\0' || !std::isfinite(value) || value > kMaxIntervalS) return std::nullopt;
    return value;
}

// HOST:PORT or [IPv6]:PORT.
bool ParseHostPort(const std::string& text, Options& options) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    std::string host = text.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    const auto port = ParseCount(text.substr(colon + 1));
    if (!port || *port > kMaxTcpPort) return false;
    options.m_tcpHost = host;
    options.m_tcpPort = static_cast<int32_t>(*port);
    return true;
}

// Walks the arguments; each step takes one option (and its value) or one operand.
class Parser {
public:
    explicit Parser(const std::vector<std::string>& args) : m_args(args) {}

    std::optional<Options> Parse(std::string& error) {
        if (!ParseConnection() || !ParseCommand()) {
            error = m_error;
            return std::nullopt;
        }
        return m_options;
    }

private:
    bool Fail(const std::string& why) {
        m_error = why;
        return false;
    }
    bool More() const { return m_next < m_args.size(); }
    const std::string& Take() { return m_args[m_next++]; }
    // The value of option `name`, which must follow it.
    bool Value(const std::string& name, std::string& value) {
        if (!More()) return Fail(name + " needs a value");
        value = Take();
        return true;
    }

    bool ParseConnection() {
        while (More() && m_args[m_next].rfind("-", 0) == 0) {
            const std::string option = Take();
            std::string value;
            if (option == "--help" || option == "--version") {
                (option == "--help" ? m_options.m_help : m_options.m_version) = true;
                return true;
            } else if (option == "--trace") {
                m_options.m_trace = true;
            } else if (option == "--tcp") {
                if (!Value(option, value)) return false;
                if (!ParseHostPort(value, m_options)) return Fail("bad HOST:PORT " + value);
            } else if (option == "--serial") {
                if (!Value(option, value)) return false;
                if (value.empty()) return Fail("--serial needs a device");
                m_options.m_serialDevice = value;
            } else {
                return Fail("unknown option " + option);
            }
        }
        if (!m_options.m_tcpHost.empty() && !m_options.m_serialDevice.empty())
            return Fail("give either --tcp or --serial");
        return true;
    }

    bool ParseCommand() {
        if (m_options.m_help || m_options.m_version) return true;
        if (!More()) return Fail("no command");
        const std::string name = Take();
        for (const CommandName& command : kCommands)
            if (name == command.m_name) m_options.m_command = command.m_command;
        if (m_options.m_command == Command::None) return Fail("unknown command " + name);
        std::vector<std::string> operands;
        bool frames = false;
        bool interval = false;
        while (More()) {
            const std::string word = Take();
            std::string value;
            if (word == "--help") {
                m_options.m_help = true;
                return true;
            }
            if (word.rfind("-", 0) != 0) {
                operands.push_back(word);
            } else if (word == "--eeprom" && Takes({Command::Get, Command::Send})) {
                m_options.m_eeprom = true;
            } else if (word == "-o" && Takes({Command::Get})) {
                if (!Value(word, value)) return false;
                m_options.m_file = value;
            } else if ((word == "--count" && Takes({Command::Watch, Command::Record})) ||
                       (word == "--frames" && Takes({Command::Record}))) {
                if (!Value(word, value)) return false;
                const auto count = ParseCount(value);
                if (!count) return Fail(word + " needs a whole number of at least 1: " + value);
                m_options.m_count = *count;
                (word == "--frames" ? frames : m_counted) = true;
            } else if (word == "--interval" && Takes({Command::Record})) {
                if (!Value(word, value)) return false;
                const auto seconds = ParseSeconds(value);
                if (!seconds) return Fail("--interval needs seconds from 0 to 65535: " + value);
                m_options.m_intervalS = *seconds;
                interval = true;
            } else if (word == "--triggered" && Takes({Command::Record})) {
                m_options.m_triggered = true;
            } else {
                return Fail("unknown option " + word + " for " + name);
            }
        }
        return CheckOperands(name, operands, frames, interval);
    }

    bool Takes(std::initializer_list<Command> commands) const {
        for (Command command : commands)
            if (command == m_options.m_command) return true;
        return false;
    }

    bool CheckOperands(const std::string& name, const std::vector<std::string>& operands,
                       bool frames, bool interval) {
        const bool wantsFile =
            m_options.m_command == Command::Send || m_options.m_command == Command::Record;
        if (operands.size() > (wantsFile ? 1u : 0u))
            return Fail("unexpected argument " + operands.back() + " for " + name);
        if (wantsFile && operands.empty()) return Fail(name + " needs a FILE");
        if (wantsFile) m_options.m_file = operands.front();
        if (m_options.m_command != Command::Record) return true;
        if (m_options.m_triggered && (frames || interval))
            return Fail("record --triggered takes --count, not --frames or --interval");
        if (!m_options.m_triggered && (!frames || !interval || m_counted))
            return Fail("record needs --frames N --interval S, or --triggered");
        return true;
    }

    const std::vector<std::string>& m_args;
    size_t m_next = 0;
    Options m_options;
    bool m_counted = false;   // --count was given
    std::string m_error;
};

}   // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    return Parser(args).Parse(error);
}

std::string HelpText(Command command) {
    switch (command) {
    case Command::Identify:
        return kIdentifyHelp;
    case Command::Get:
        return GetHelp();
    case Command::Send:
        return kSendHelp;
    case Command::Watch:
        return kWatchHelp;
    case Command::Record:
        return kRecordHelp;
    case Command::None:
        break;
    }
    return kToolHelp;
}

}   // namespace cli
