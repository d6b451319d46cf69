// The simulated sensor's request parser on any bytes in chunks the input chooses: every request is a
// whole telegram that begins with the sync word, whatever the chunking.
#include <algorithm>
#include <vector>

#include "fuzz/fuzzcheck.h"
#include "sim/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t chunk = data[0] % 40 + 1;
    sim::RequestParser whole, pieces;
    const std::vector<sim::Telegram> expected = sim::FeedBytes(whole, data + 1, size - 1);
    std::vector<sim::Telegram> found;
    for (size_t at = 1; at < size; at += chunk) {
        const size_t n = std::min(chunk, size - at);
        for (const sim::Telegram& request : sim::FeedBytes(pieces, data + at, n)) found.push_back(request);
    }
    FUZZ_CHECK(found == expected);
    for (const sim::Telegram& request : found) {
        FUZZ_CHECK(request[0] == 0x00 && request[1] == 0x55);
        FUZZ_CHECK(sim::IsTriggerRequest(request) == (sim::TelegramCode(request) == 50));
    }
    return 0;
}
