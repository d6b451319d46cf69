#pragma once
// Where the window program keeps the connection it stored, seen from the tool.
#include <string>

namespace cli {

// The settings file that the window program reads: beside the window (in the tool's folder
// when it is installed there, or in shell/ beside the tool's folder in the build tree) while
// its folder is writable, otherwise in the window's folder among the user's configuration
// folders.
std::string StoredSettingsPath();

}   // namespace cli
