// decade-sim's command line for its front ends: which one, where it listens, the decades
// behind a controller and the options each gets; and the mistakes it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simulator/launch.h"

namespace {

// What a command line comes to, in one line; or "error: " and the reason.
std::string Describe(const std::vector<std::string>& args) {
    std::string error;
    const std::optional<sim::Launch> l = sim::ParseLaunch(args, &error);
    if (!l) return "error: " + error;
    const std::string tcp = l->tcp.host + ":" + std::to_string(l->tcp.port);
    switch (l->kind) {
        case sim::Launch::Kind::Pty:
            return "pty " + l->decade.model;
        case sim::Launch::Kind::Tcp:
            return "tcp " + tcp + " " + l->decade.model;
        case sim::Launch::Kind::Controller:
            break;
    }
    const sim::ControllerConfig& c = l->controller;
    std::string text =
        (l->controllerTcp ? "controller " + tcp : "controller pty " + l->controllerLink) + " [" +
        c.version + "] " + std::to_string(c.delayMs) + "/" + std::to_string(c.dropAfter) + "/" +
        std::to_string(c.dropAtMs);
    for (const auto& [address, d] : l->decades) {
        text += " " + std::to_string(address) + "=" + d.model + "," + d.firmware +
                (d.silent ? ",silent" : "") + (d.transcript.empty() ? "" : "," + d.transcript);
    }
    return text;
}

TEST(SimLaunch, CommandLines) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> table = {
        {{}, "pty V212"},
        {{"--tcp", "4001", "--model", "V151"}, "tcp 127.0.0.1:4001 V151"},
        {{"--tcp=0.0.0.0:0"}, "tcp 0.0.0.0:0 V212"},
        {{"--tcp", "[::1]:65535"}, "tcp ::1:65535 V212"},
        {{"--controller", "tcp"}, "controller 127.0.0.1:1234 [SIMLAB GPIB controller 1.0] 0/-1/-1"},
        {{"--controller", "pty", "--link", "ttyUSB1", "--controller-delay", "20",
          "--controller-drop-after=7", "--controller-drop-at", "900", "--controller-version",
          "AR-like 0.5", "--decade", "5"},
         "controller pty ttyUSB1 [AR-like 0.5] 20/7/900 5=V212,1.000"},
        // Options before the first --decade are every decade's, the later ones its own.
        {{"--controller", "tcp:localhost:0", "--firmware", "1.030", "--decade", "5:V330A",
          "--transcript", "t5", "--decade", "7:V330A", "--firmware", "1.020", "--decade",
          "9:silent"},
         "controller localhost:0 [SIMLAB GPIB controller 1.0] 0/-1/-1 5=V330A,1.030,t5 "
         "7=V330A,1.020 "
         "9=V212,1.030,silent"},
        {{"--tcp", "65536"}, "error: bad or missing value for --tcp"},
        {{"--tcp", "::1:4001"}, "error: bad or missing value for --tcp"},
        {{"--tcp"}, "error: bad or missing value for --tcp"},
        {{"--tcp", "4001", "--link", "com1"},
         "error: --link needs the pseudo-terminal (not --tcp)"},
        {{"--tcp", "1", "--controller", "pty"},
         "error: --tcp and --controller exclude each other (use --controller tcp:PORT)"},
        {{"--controller", "usb"}, "error: bad or missing value for --controller"},
        {{"--controller", "tcp:0", "--link", "x"},
         "error: --link needs the pseudo-terminal (--controller pty)"},
        {{"--decade", "5"}, "error: --decade needs --controller"},
        {{"--controller-delay", "5"}, "error: the --controller- options need --controller"},
        {{"--controller", "pty", "--controller-delay", "-1"},
         "error: bad or missing value for --controller-delay"},
        {{"--controller", "pty", "--bogus"}, "error: unknown option: --bogus"},
        {{"--controller", "pty", "--decade", "0"},
         "error: --decade 0: the address is 1 to 30 (0 is the controller's)"},
        {{"--controller", "pty", "--decade", "5", "--decade", "5:V330A"},
         "error: --decade 5:V330A: address 5 is taken"},
        {{"--controller", "pty", "--decade", "5:V999"},
         "error: --decade 5:V999: unknown model token: V999"},
        {{"--controller", "pty", "--decade", "5", "--delay", "x"},
         "error: --decade 5: bad or missing value for --delay"},
        {{"--controller", "pty", "--transcript", "t", "--decade", "5"},
         "error: --transcript goes after a --decade: each decade keeps its own"},
        {{"--controller", "pty", "--decade", "5", "--tcp", "1"},
         "error: --tcp belongs before the first --decade"},
        {{"--controller", "pty", "--decade"}, "error: --decade needs ADDR"},
    };
    for (const auto& [args, expected] : table) {
        EXPECT_EQ(Describe(args), expected) << testing::PrintToString(args);
    }
}

}  // namespace
