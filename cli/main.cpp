// tavrix-cli: the sensor from a terminal or a script, over the window's link.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/options.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    std::string error;
    const auto options = cli::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "tavrix-cli: %s\nTry 'tavrix-cli --help'.\n", error.c_str());
        return cli::kExitUsage;
    }
    if (options->m_version) {
        std::printf("tavrix-cli %s\n", TAVRIX_VERSION);
        return cli::kExitOk;
    }
    if (options->m_help) {
        std::fputs(cli::HelpText(options->m_command).c_str(), stdout);
        return cli::kExitOk;
    }
    platform::InitConsolePlatform(argc, argv);
    return cli::Execute(*options);
}
