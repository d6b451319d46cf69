#pragma once
// Faults that the simulated sensor can inject into its replies, the reply plan they shape,
// and the command-line form CODE:KIND[:ARG[:ARG]][xCOUNT]. Pure code without I/O.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// One reply as it is to leave the sensor: its bytes and how they are delivered.
struct ReplyPlan {
    std::vector<uint8_t> m_bytes;   // the bytes that leave, faults applied
    int m_delayMs = 0;              // wait before the first byte
    int m_pieceBytes = 0;        // > 0: send in pieces of this many bytes (the last may be shorter)
    int m_pieceGapMs = 0;        // pause between two pieces
    bool m_closeAfter = false;   // close the connection (TCP) or hang up (pty) after m_bytes
};

// Kinds of fault, in the order in which they are applied to one reply.
enum class FaultKind {
    NoReply,     // the reply is swallowed
    WrongMark,   // byte 1 becomes 0xAB
    WrongByte,   // byte m_arg becomes m_arg2 (m_arg2 < 0: the byte is inverted)
    Short,       // the last m_arg bytes are left out
    Surplus,     // m_arg extra bytes of value m_arg2 follow the reply
    Close,       // only the first m_arg bytes leave, then the connection is closed
    Delay,       // m_arg ms pass before the reply
    Split,       // pieces of m_arg bytes, m_arg2 ms apart
};

// A fault and its arguments; the meaning of the arguments depends on the kind.
struct Fault {
    FaultKind m_kind = FaultKind::NoReply;
    int m_arg = 0;
    int m_arg2 = 0;
};

// A fault for one command code and how many replies it applies to (-1 = every reply).
struct FaultSpec {
    uint16_t m_code = 0;
    Fault m_fault;
    int m_count = -1;
};

constexpr uint8_t kWrongReplyMark = 0xAB;   // the byte a wrong reply mark puts at index 1

// Applies one fault to a reply; returns false when the fault swallows the reply.
bool ApplyFault(ReplyPlan& plan, const Fault& fault);

// Parses CODE:KIND[:ARG[:ARG]][xCOUNT]; on failure returns nothing and sets error.
std::optional<FaultSpec> ParseFaultSpec(const std::string& text, std::string& error);

// One line for a reply as it leaves: the command code, its bytes in hex ("-" when none leave),
// then " delay MS" and " close" when they apply. The simulator's --log writes these.
std::string FormatReplyLine(uint16_t code, const ReplyPlan& plan);

// Describes the --fault syntax and every kind, for the usage text.
extern const char* const kFaultSyntaxHelp;

}   // namespace sim
