// decade-sim: one simulated decade on a pseudo-terminal or a TCP port, or a "++" GPIB
// controller with decades behind it, until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "simulator/config.h"
#include "simulator/controller_server.h"
#include "simulator/decade_server.h"
#include "simulator/launch.h"

namespace {

int Serve(const sim::Launch& launch, const sigset_t& signals) {
    std::unique_ptr<sim::PtyServer> pty;
    std::unique_ptr<sim::TcpServer> tcp;
    std::unique_ptr<sim::ControllerServer> controller;
    std::string error;
    std::string link;
    bool started = false;
    switch (launch.kind) {
        case sim::Launch::Kind::Pty:
            pty = std::make_unique<sim::PtyServer>(launch.decade);
            started = pty->Start();
            if (!started) error = "cannot open a pseudo-terminal";
            link = launch.decade.link;
            break;
        case sim::Launch::Kind::Tcp:
            tcp = std::make_unique<sim::TcpServer>(launch.decade);
            started = tcp->Start(launch.tcp, &error);
            break;
        case sim::Launch::Kind::Controller:
            controller = std::make_unique<sim::ControllerServer>(launch.controller, launch.decades);
            started = launch.controllerTcp ? controller->StartTcp(launch.tcp, &error)
                                           : controller->StartPty(&error);
            link = launch.controllerLink;
            break;
    }
    if (!started) {
        std::fprintf(stderr, "decade-sim: %s\n", error.c_str());
        return 1;
    }
    const bool linked = link.empty() || (pty ? pty->LinkAs(link) : controller->LinkAs(link));
    if (!linked) {
        std::fprintf(stderr, "decade-sim: cannot make the link %s\n", link.c_str());
        return 1;
    }
    const std::string address = pty   ? pty->SlavePath()
                                : tcp ? tcp->Address()
                                      : controller->Address();
    std::printf("%s\n", address.c_str());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    return 0;  // the servers stop and remove their links as they go out of scope
}

}  // namespace

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
    const std::optional<sim::Launch> launch = sim::ParseLaunch(args, &error);
    if (!launch) {
        std::fprintf(stderr, "decade-sim: %s (see --help)\n", error.c_str());
        return 2;
    }

    // The signals are taken by sigwait; block them before a server thread starts so that it
    // inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return Serve(*launch, signals);
}
