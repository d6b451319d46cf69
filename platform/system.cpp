// What the C run-time library of each system names or does differently: terminals, the
// local time and the resolution of sleeps.
#include "platform/platform.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
// after windows.h, which it needs
#include <timeapi.h>
#else
#include <unistd.h>
#endif

namespace platform {

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

std::tm LocalTime(std::time_t time) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &time);
#else
    localtime_r(&time, &local);
#endif
    return local;
}

void UseFineSystemTimer() {
#ifdef _WIN32
    // One millisecond: the GO loop's 10 ms pause would otherwise last two 15.6 ms ticks at
    // worst and one at best. The system returns to its default when the process ends.
    static const bool asked = timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)asked;
#endif
}

}   // namespace platform
