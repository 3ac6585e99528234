// decade-sim: one simulated decade on a pseudo-terminal, until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "simulator/config.h"
#include "simulator/pty_server.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(sim::HelpText().c_str(), stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("decade-sim %s\n", DECADE_SIM_VERSION);
            return 0;
        }
    }
    std::string error;
    const std::optional<sim::Config> config = sim::ParseArgs(args, &error);
    if (!config) {
        std::fprintf(stderr, "decade-sim: %s (see --help)\n", error.c_str());
        return 2;
    }

    // The signals are taken by sigwait below; block them before the server thread starts
    // so that it inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    sim::PtyServer server(*config);
    if (!server.Start()) {
        std::fprintf(stderr, "decade-sim: cannot open a pseudo-terminal\n");
        return 1;
    }
    if (!config->link.empty() && !server.LinkAs(config->link)) {
        std::fprintf(stderr, "decade-sim: cannot make the link %s\n", config->link.c_str());
        server.Stop();
        return 1;
    }
    std::printf("%s\n", server.SlavePath().c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    server.Stop();
    return 0;
}
