// The parameter file reader on any bytes: a refusal leaves the record alone, and a record
// it takes is written and read back unchanged.
#include <algorithm>
#include <string_view>

#include "core/paramfile.h"
#include "fuzz/fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace sensorlink;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    constexpr uint16_t kUntouched = 0xBEEF;
    uint16_t words[kParameterFileValues];
    std::fill_n(words, kParameterFileValues, kUntouched);
    const std::string reason = ParseParameterFile(text, words);
    if (!reason.empty()) {
        FUZZ_CHECK(std::all_of(words, words + kParameterFileValues, [](uint16_t w) { return w == kUntouched; }));
        return 0;
    }
    uint16_t again[kParameterFileValues] = {};
    FUZZ_CHECK(ParseParameterFile(FormatParameterFile(words), again).empty());
    FUZZ_CHECK(std::equal(words, words + kParameterFileValues, again));
    return 0;
}
