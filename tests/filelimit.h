#pragma once
// A disk that fills up: while the limit holds, no file of this process (or of a process it
// starts) grows beyond `bytes`; a write that crosses it stops there and the next one fails.
#include <sys/resource.h>

#include <csignal>

inline void LimitFileSize(rlim_t bytes) {   // RLIM_INFINITY lifts the limit
    std::signal(SIGXFSZ, SIG_IGN);          // a failed write, not the end of the process
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}
