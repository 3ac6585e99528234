// The command line of ombrastel-ctl: its commands, its options and the link they name.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "decade/session.h"

namespace ctl {

inline constexpr const char* kProgram = "ombrastel-ctl";

struct CommandEntry {
    const char* name;
    const char* arguments;  // as the help shows them
    const char* summary;
    int positional;  // arguments after the command's name
};

struct Options {
    const CommandEntry* command = nullptr;
    QStringList arguments;
    bool json = false;
    int repeat = 1;
    decade::LinkSettings link;
    std::string logFile;  // --log, opened; empty: none
};

struct UsageError {
    QString text;
    const CommandEntry* command = nullptr;
};

// Says the usage error and how to get help; the exit status of a usage error.
int SayUsage(const UsageError& error);

// Reads the command line into options (and opens the --log file); an exit status when the
// program ends at once (help, version, a usage error).
std::optional<int> ParseOptions(int argc, char** argv, Options* options);

// A whole number in decimal; nothing for any other text.
std::optional<int> IntOf(const QString& text);

}  // namespace ctl
