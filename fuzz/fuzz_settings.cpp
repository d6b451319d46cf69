// The settings file reader on any bytes: the fields keep their limits, are whole UTF-8
// characters, and what it reads is written and read back unchanged.
#include <string_view>

#include "core/configfiles.h"
#include "core/displaytext.h"
#include "fuzz/fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace connection;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ConnectionSettings settings = ParseSettingsFile(bytes);
    FUZZ_CHECK(settings.m_ipBuf.size() <= kAddressMaxChars && settings.m_portNumStr.size() <= kPortTextMaxChars);
    FUZZ_CHECK((settings.m_ipBuf + settings.m_portNumStr).find('\0') == std::string::npos);
    FUZZ_CHECK(sensorlink::DisplayText(settings.m_ipBuf) == settings.m_ipBuf);
    FUZZ_CHECK(ParseSettingsFile(FormatSettingsFile(settings)) == settings);
    // The decimal conversion of the port text never overflows.
    const int32_t port = DecimalValue(settings.m_portNumStr);
    FUZZ_CHECK(DecimalValue(std::to_string(port)) == port);
    return 0;
}
