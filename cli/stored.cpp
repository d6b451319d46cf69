#include "cli/stored.h"

#include <algorithm>

#include "core/configfiles.h"
#include "platform/platform.h"

namespace cli {

namespace {

constexpr char kBuildTreeWindowFolder[] = "shell";   // the window's folder in the build tree

// The folder that holds `directory` (an absolute path); the root holds itself.
std::string ParentDir(const std::string& directory) {
    const size_t separator = directory.find_last_of("/\\");
    if (separator == std::string::npos) return directory;
    return directory.substr(0, std::max<size_t>(separator, 1));
}

// The window program's folder: the tool's own when the window is installed beside it, or
// shell/ beside the tool's folder in the build tree; "" when neither holds the window.
std::string WindowProgramDir() {
    const std::string ownDir = platform::GetProjectDir();
    const std::string buildTreeDir = platform::JoinPath(ParentDir(ownDir), kBuildTreeWindowFolder);
    for (const std::string& directory : {ownDir, buildTreeDir})
        if (platform::HasProgram(directory, platform::kWindowProgram)) return directory;
    return "";
}

}   // namespace

std::string StoredSettingsPath() {
    const std::string windowDir = WindowProgramDir();
    const std::string configDir =
        windowDir.empty() ? platform::UserConfigDir() : platform::ConfigDirOf(windowDir);
    return platform::JoinPath(configDir, connection::kSettingsFile);
}

}   // namespace cli
