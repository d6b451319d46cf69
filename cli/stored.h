#pragma once
// Where the window program keeps the connection it stored, seen from the tool.
#include <string>

namespace cli {

// The window program's folder: the tool's own when the window is installed beside it, or
// shell/ beside the tool's folder in the build tree; "" when neither holds the window.
std::string WindowProgramDir();

// The settings file that the window program reads: beside the window while its folder is
// writable, otherwise in the window's folder among the user's configuration folders.
std::string StoredSettingsPath();

}   // namespace cli
