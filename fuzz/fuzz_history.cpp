// The server-address history reader on any bytes: a bounded number of entries, each within
// its field, and what it reads is written and read back unchanged.
#include <string_view>

#include "core/configfiles.h"
#include "core/displaytext.h"
#include "fuzz/fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace connection;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> entries = ParseHistoryFile(bytes);
    FUZZ_CHECK(entries.size() <= kHistoryMaxRecords && entries.size() <= size / kHistoryRecordDivisor);
    for (const std::string& entry : entries) {
        FUZZ_CHECK(!entry.empty() && entry.size() <= kAddressMaxChars);
        FUZZ_CHECK(entry.find_first_of(std::string_view("\0\n", 2)) == std::string::npos);
        FUZZ_CHECK(sensorlink::DisplayText(entry) == entry);   // whole UTF-8 characters
    }
    FUZZ_CHECK(ParseHistoryFile(FormatHistoryFile(entries)) == entries);
    return 0;
}
