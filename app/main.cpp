#include "app/command_line.h"
#include "app/startup.h"

int main(int argc, char** argv) {
    CommandLineOptions options;
    if (const std::optional<int> status = ParseCommandLine(argc, argv, &options)) return *status;
    if (!ApplyCommandLine(options)) return 2;
    return RunOmbrastel(argc, argv);
}
