// The simulator's fault-rule parser on any text, and the fault applied to a reply: errors are
// explained, and a reply never grows past its bounds.
#include <string>

#include "fuzz/fuzzcheck.h"
#include "sim/fault.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto rule = sim::ParseFaultSpec(text, error);
    if (!rule) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(rule->m_count == -1 || rule->m_count > 0);
    sim::ReplyPlan plan{std::vector<uint8_t>(36, 0xAA)};
    const bool delivered = sim::ApplyFault(plan, rule->m_fault);
    FUZZ_CHECK(delivered == (rule->m_fault.m_kind != sim::FaultKind::NoReply));
    FUZZ_CHECK(plan.m_bytes.size() <= 36 + 1024);
    FUZZ_CHECK(plan.m_delayMs >= 0 && plan.m_pieceBytes >= 0 && plan.m_pieceGapMs >= 0);
    return 0;
}
