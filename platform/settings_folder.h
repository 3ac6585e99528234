// The folder that holds the settings file and the comN links that name the serial ports.
// Empty (the default) means the working directory, where both were always looked for.
#pragma once

#include <string>

namespace folder {

void SetSettingsFolder(const std::string& path);
const std::string& SettingsFolder();

// The path of name inside the settings folder: name itself while the folder is the
// working directory.
std::string InSettingsFolder(const std::string& name);

}  // namespace folder
