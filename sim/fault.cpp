#include "sim/fault.h"

#include <algorithm>
#include <charconv>

namespace sim {

const char* const kFaultSyntaxHelp =
    "Faults: --fault CODE:KIND[:ARG[:ARG]][xCOUNT], repeatable. CODE is the command code\n"
    "(1, 3, 5, 6, 7, 8, or 50 for the triggered frames); xCOUNT applies the fault to the\n"
    "next COUNT replies to that code only (default: every reply). KIND is one of:\n"
    "  none                no reply at all\n"
    "  short[:N]           the last N bytes are left out (default 1)\n"
    "  surplus[:N[:V]]     N extra bytes of value V follow the reply (default 1, 0)\n"
    "  byte:I[:V]          byte I of the reply becomes V (default: the byte inverted)\n"
    "  mark                wrong reply mark: byte 1 becomes 0xAB\n"
    "  delay:MS            the reply leaves MS milliseconds late\n"
    "  split[:N[:MS]]      the reply leaves in pieces of N bytes, MS ms apart (default 10, 5)\n"
    "  close[:N]           N bytes of the reply leave, then the connection is closed or the\n"
    "                      pseudo-terminal hung up (default 0)\n"
    "Example: --fault 5:delay:4000x1 --fault 1:byte:10:255 --fault 7:split:10:20\n"
    "With --control, each line read from standard input is a rule in the same form that\n"
    "applies from the moment it is read, e.g. 5:nonex1.\n";

namespace {

constexpr int kMaxReplyBytes = 1024;   // upper bound for byte counts and indexes
constexpr int kMaxDelayMs = 600000;    // upper bound for delays and gaps (10 min)
constexpr int kMaxCount = 1000000;     // upper bound for xCOUNT
constexpr int kDefaultPieceBytes = 10;
constexpr int kDefaultPieceGapMs = 5;
constexpr int kInvertByte = -1;   // WrongByte value that inverts the original byte

struct KindInfo {
    const char* m_name;
    FaultKind m_kind;
    int m_minArgs;
    int m_maxArgs;
    int m_default;    // value of a missing first argument
    int m_default2;   // value of a missing second argument
};

constexpr KindInfo kKinds[] = {
    {"none", FaultKind::NoReply, 0, 0, 0, 0},
    {"short", FaultKind::Short, 0, 1, 1, 0},
    {"surplus", FaultKind::Surplus, 0, 2, 1, 0},
    {"byte", FaultKind::WrongByte, 1, 2, 0, kInvertByte},
    {"mark", FaultKind::WrongMark, 0, 0, 0, 0},
    {"delay", FaultKind::Delay, 1, 1, 0, 0},
    {"split", FaultKind::Split, 0, 2, kDefaultPieceBytes, kDefaultPieceGapMs},
    {"close", FaultKind::Close, 0, 1, 0, 0},
};

std::vector<std::string> SplitAt(const std::string& text, char separator) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

std::optional<int> ParseNumber(const std::string& text, int max) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < 0 || value > max) return {};
    return value;
}

int ArgumentLimit(FaultKind kind, int index) {
    if (kind == FaultKind::Delay || (kind == FaultKind::Split && index == 1)) return kMaxDelayMs;
    if (index == 1) return 255;   // a byte value
    return kMaxReplyBytes;
}

}   // namespace

bool ApplyFault(ReplyPlan& plan, const Fault& fault) {
    auto& bytes = plan.m_bytes;
    const size_t n = static_cast<size_t>(std::max(fault.m_arg, 0));
    switch (fault.m_kind) {
    case FaultKind::NoReply:
        return false;
    case FaultKind::WrongMark:
        if (bytes.size() > 1) bytes[1] = kWrongReplyMark;
        break;
    case FaultKind::WrongByte:
        if (n < bytes.size())
            bytes[n] = fault.m_arg2 < 0 ? static_cast<uint8_t>(~bytes[n])
                                        : static_cast<uint8_t>(fault.m_arg2);
        break;
    case FaultKind::Short:
        bytes.resize(bytes.size() - std::min(n, bytes.size()));
        break;
    case FaultKind::Surplus:
        bytes.insert(bytes.end(), n, static_cast<uint8_t>(fault.m_arg2));
        break;
    case FaultKind::Close:
        bytes.resize(std::min(n, bytes.size()));
        plan.m_closeAfter = true;
        break;
    case FaultKind::Delay:
        plan.m_delayMs += fault.m_arg;
        break;
    case FaultKind::Split:
        plan.m_pieceBytes = std::max(fault.m_arg, 1);
        plan.m_pieceGapMs = fault.m_arg2;
        break;
    }
    return true;
}

std::string FormatReplyLine(uint16_t code, const ReplyPlan& plan) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line = std::to_string(code) + ' ';
    for (uint8_t byte : plan.m_bytes) {
        line += kHex[byte >> 4];
        line += kHex[byte & 0xF];
    }
    if (plan.m_bytes.empty()) line += '-';
    if (plan.m_delayMs > 0) line += " delay " + std::to_string(plan.m_delayMs);
    if (plan.m_closeAfter) line += " close";
    return line;
}

std::optional<FaultSpec> ParseFaultSpec(const std::string& text, std::string& error) {
    FaultSpec rule;
    std::string body = text;
    if (const size_t x = text.rfind('x'); x != std::string::npos) {
        const auto count = ParseNumber(text.substr(x + 1), kMaxCount);
        if (!count || *count == 0) {
            error = "bad count in fault '" + text + "'";
            return {};
        }
        rule.m_count = *count;
        body = text.substr(0, x);
    }
    const auto parts = SplitAt(body, ':');
    const auto code = parts.size() >= 2 ? ParseNumber(parts[0], 0xFFFF) : std::nullopt;
    if (!code) {
        error = "fault '" + text + "' does not start with CODE:KIND";
        return {};
    }
    rule.m_code = static_cast<uint16_t>(*code);
    const auto* info = std::find_if(std::begin(kKinds), std::end(kKinds),
                                    [&](const KindInfo& k) { return parts[1] == k.m_name; });
    if (info == std::end(kKinds)) {
        error = "unknown fault kind '" + parts[1] + "'";
        return {};
    }
    const int args = static_cast<int>(parts.size()) - 2;
    if (args < info->m_minArgs || args > info->m_maxArgs) {
        error = "wrong number of arguments in fault '" + text + "'";
        return {};
    }
    int values[2] = {info->m_default, info->m_default2};
    for (int i = 0; i < args; ++i) {
        const auto value = ParseNumber(parts[2 + i], ArgumentLimit(info->m_kind, i));
        if (!value) {
            error = "bad argument '" + parts[2 + i] + "' in fault '" + text + "'";
            return {};
        }
        values[i] = *value;
    }
    rule.m_fault = Fault{info->m_kind, values[0], values[1]};
    return rule;
}

}   // namespace sim
