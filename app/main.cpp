#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"
#include "app/startup.h"
#include "platform/link_thread.h"

int main(int argc, char** argv) {
    CommandLineOptions options;
    if (const std::optional<int> status = ParseCommandLine(argc, argv, &options)) return *status;
    if (!ApplyCommandLine(options)) return 2;
    const int status = RunOmbrastel(argc, argv);
    // A link thread stuck in a library call cannot be joined: the settings are written, so
    // the program ends without running the destructors that would wait for it.
    if (linkthread::Abandoned()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
