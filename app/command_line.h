// The command line of ombrastel: --help, --version, --settings DIR and --log FILE, read
// before the user interface starts, so that help and version need no display.
#pragma once

#include <optional>
#include <string>

struct CommandLineOptions {
    std::string settingsFolder;  // empty: the working directory
    std::string logFile;         // empty: no log file
};

// Reads the arguments. Returns the exit status when the program is to end at once: 0
// after printing the help or the version, 2 after saying what is wrong with an option.
// Arguments of the Qt toolkit (-platform NAME, -style NAME, ...) are let through.
std::optional<int> ParseCommandLine(int argc, char** argv, CommandLineOptions* options);

// Puts the options in force: the settings folder, and the log file opened for appending.
// False, with one line on standard error, when the folder is no folder or the log file
// cannot be opened.
bool ApplyCommandLine(const CommandLineOptions& options);
