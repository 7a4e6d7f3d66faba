#pragma once

#include <QString>

// Where the tool keeps its files. A run from the build tree keeps them where
// it always has: config/, translations/ and crash dumps relative to the
// working directory, the temporary image beside the executable. The installed
// tool cannot write under its prefix (/usr): it works in the user's data
// folder, $XDG_DATA_HOME/netquill (by default ~/.local/share/netquill), and
// reads its catalogue and its crash-box helper from where the package puts
// them.
//
// The tool counts as installed when its executable lies in the prefix's bin
// folder beside the prefix's share/netquill: the layout the package (and
// `cmake --install`) makes, wherever the prefix is. A build tree has no such
// folder next to its bin/.
namespace AppPaths {

bool isInstalled();

// $XDG_DATA_HOME/netquill, whether or not the tool is installed.
QString userDataDirectory();

// Installed: creates the user data folder and makes it the working
// directory; false when either fails. From the build tree it does nothing.
bool enterWorkingDirectory();

// The folder the tool's own files go beside (firmware/tmp.bin): the
// executable's folder in a build tree, the user data folder when installed.
QString applicationDirectory();

// The Chinese catalogue: translations/zh.qm relative to the working
// directory in a build tree, the installed file otherwise.
QString translationFile();

// The crash-box helper: beside the executable in a build tree, in the
// package's folder of private programs otherwise.
QString crashBoxPath();

// The crash-box helper's file name.
constexpr const char* kCrashBoxName = "netquill-crashbox";

} // namespace AppPaths
