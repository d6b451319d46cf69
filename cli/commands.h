#pragma once
// The commands of tavrix-cli, run over the window's link: the connection is chosen and
// opened, the command runs, the connection is closed.
#include "cli/options.h"

namespace cli {

// Runs the command of `options` and returns the exit code; what went wrong goes to standard
// error. Needs the platform started (InitConsolePlatform).
int Execute(const Options& options);

}   // namespace cli
