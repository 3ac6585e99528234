// The whole command line of decade-sim: which front end, and the decade or the decades behind
// it. The decade options themselves are read by ParseArgs (config.h).
//
//   decade-sim [decade options]                       one decade on a pseudo-terminal
//   decade-sim --tcp [HOST:]PORT [decade options]     one decade on a TCP port
//   decade-sim --controller pty|tcp[:[HOST:]PORT] [controller options] [decade options]
//              --decade ADDR[:MODEL|:silent] [decade options] --decade ...
//
// With --controller, every --decade starts the options of the decade at ADDR; the decade
// options before the first --decade apply to every decade, those after one to it alone.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "simulator/config.h"
#include "simulator/controller.h"
#include "simulator/stream_server.h"

namespace sim {

inline constexpr int kControllerPort = 1234;  // the usual port of network GPIB controllers

struct Launch {
    enum class Kind { Pty, Tcp, Controller };
    Kind kind = Kind::Pty;
    Config decade;   // Pty and Tcp
    TcpAddress tcp;  // Tcp, and a controller on TCP
    bool controllerTcp = false;
    std::string controllerLink;  // a controller on the pseudo-terminal: --link
    ControllerConfig controller;
    std::vector<std::pair<int, Config>> decades;  // address and configuration, in order
};

// Reads the options (without the program name). On a mistake returns nothing and says why.
std::optional<Launch> ParseLaunch(const std::vector<std::string>& args, std::string* error);

}  // namespace sim
