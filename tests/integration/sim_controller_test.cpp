// The simulated "++" GPIB controller with decades at their addresses, from a plain client on
// its pseudo-terminal and on its TCP port: the commands and their limits, escaping, the
// line end sent to the device, reads and their time-out, several decades with their own
// transcripts, and the faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "simulator/controller_server.h"
#include "simulator/launch.h"
#include "support/sim_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
using simtest::PlainClient;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A controller from decade-sim's own command line, on a terminal or a TCP port, and a
// plain client on it.
struct Rig {
    Rig(bool tcp, std::vector<std::string> args) {
        args.insert(args.begin(), {"--controller", tcp ? "tcp:0" : "pty"});
        const std::optional<sim::Launch> launch = sim::ParseLaunch(args, &error);
        if (!launch) return;
        server = std::make_unique<sim::ControllerServer>(launch->controller, launch->decades);
        if (!(tcp ? server->StartTcp(launch->tcp, &error) : server->StartPty(&error))) return;
        client = tcp ? std::make_unique<PlainClient>(simtest::TcpConnect(server->Port()))
                     : std::make_unique<PlainClient>(server->Address());
    }
    bool ok() const { return client && client->ok(); }
    // Sends, then reads the count of bytes expected, or for 250 ms when none are.
    std::string Exchange(std::string_view bytes, std::size_t expected) {
        client->Send(bytes);
        return expected > 0 ? client->ReadCount(expected, 1500) : client->ReadFor(250);
    }
    std::string error;
    std::unique_ptr<sim::ControllerServer> server;
    std::unique_ptr<PlainClient> client;
};

const std::vector<std::string> kBus = {"--decade",   "5:V212", "--decade", "7:V330A",
                                       "--firmware", "1.030",  "--decade", "9:silent"};
const std::string kEsc = "\x1B";
const std::string kVersion = "SIMLAB GPIB controller 1.0\r\n";

struct Step {
    std::string send;
    std::string expected;  // exact bytes; empty: nothing within 250 ms
};

// Each case starts at address 0 with read_tmo_ms 100.
const std::vector<std::pair<const char*, std::vector<Step>>> kCases = {
    {"version, and what the controller does not know",
     {{"++ver\n", kVersion},
      {"++VER\r\n", "Unrecognized command\r\n"},
      {"++foo 1\n", "Unrecognized command\r\n"},
      {"++\n", "Unrecognized command\r\n"},
      {"++mode\n", "1\r\n"}}},
    {"settings within their limits; values outside are ignored",
     {{"++addr\n", "0\r\n"},
      {"++addr 31\n++addr\n", "0\r\n"},
      {"++addr 30\n++addr\n", "30\r\n"},
      {"++addr 9 96\n++addr\n", "9 96\r\n"},
      {"++addr 9 95\n++addr 5x\n++addr\n", "9 96\r\n"},
      {"++read_tmo_ms 3001\n++read_tmo_ms 0\n++read_tmo_ms\n", "100\r\n"},
      {"++read_tmo_ms 3000\n++read_tmo_ms\n", "3000\r\n"},
      {"++read_tmo_ms 1\n++read_tmo_ms\n", "1\r\n"},
      {"++eos 4\n++eos\n", "0\r\n"},
      {"++auto 2\n++auto\n", "0\r\n"},
      {"++eoi 0\n++eoi\n", "0\r\n"},
      {"++eot_char 256\n++eot_char 13\n++eot_char\n", "13\r\n"}}},
    {"address switching between two decades",
     {{"++addr 5\n*IDN?\n++read eoi\n", "SIMLAB,V212,1234,1.000\r\n"},
      {"++addr 7\n*IDN?\n++read eoi\n", "SIMLAB,V330A,1234,1.030\r\n"},
      {"++addr 5\nF1\n++read eoi\n", "Ok\r\n"},
      {"++addr 7\nV?\n++read eoi\n", "F0U0\r\n"},
      {"++addr 5\nV?\n++read eoi\n", "F1U0\r\n"}}},
    {"escaped CR, LF, ESC and + are data; so is a leading escaped ++",
     {{"++addr 5\n++eos 3\nA 1" + kEsc + "+5" + kEsc + "\r" + kEsc + "\n\n++read eoi\n", "Err\r\n"},
      {kEsc + "+" + kEsc + "+ver" + kEsc + "\r" + kEsc + "\n\r\n++read eoi\n", "Err\r\n"},
      {"*IDN?" + kEsc + "\n\n++read eoi\n", "SIMLAB,V212,1234,1.000\r\n"}}},
    {"the read ends: a character, EOI, the time-out; the EOT character; auto",
     {{"++addr 5\n*IDN?\n++read 44\n", "SIMLAB,"},
      {"++read 10\n", "V212,1234,1.000\r\n"},
      {"V?\n++read\n", "F0U0\r\n"},
      {"++eot_enable 1\n++eot_char 4\nV?\n++read eoi\n", "F0U0\r\n\x04"},
      {"++eot_enable 0\n++auto 1\nV?\n", "F0U0\r\n"}}},
    {"no reply: no device at the address, a silent one, a secondary address",
     {{"++addr 12\n*IDN?\n++read eoi\n", ""},
      {"++addr 9\n*IDN?\n++read eoi\n", ""},
      {"++addr 5 96\n*IDN?\n++read eoi\n", ""},
      {"++addr 5\n++read eoi\n", ""}}},
    {"a new message, or a device clear, drops the unread reply",
     {{"++addr 5\n*IDN?\nF0\n++read eoi\n", "Ok\r\n"},
      {"*IDN?\n++clr\n++read eoi\n", ""},
      {"V?\n++read eoi\n", "F0U0\r\n"}}},
    {"in device mode nothing goes to the bus",
     {{"++mode 0\n++addr 5\n*IDN?\n++read eoi\n", ""},
      {"++mode 1\n*IDN?\n++read eoi\n", "SIMLAB,V212,1234,1.000\r\n"}}},
};

class Controller : public testing::TestWithParam<bool> {};

TEST_P(Controller, Commands) {
    for (const auto& [name, steps] : kCases) {
        SCOPED_TRACE(name);
        Rig rig(GetParam(), kBus);
        ASSERT_TRUE(rig.ok()) << rig.error;
        rig.client->Send("++read_tmo_ms 100\n");
        for (const Step& step : steps) {
            SCOPED_TRACE(step.send);
            EXPECT_EQ(rig.Exchange(step.send, step.expected.size()), step.expected);
            EXPECT_EQ(rig.client->ReadFor(step.expected.empty() ? 0 : 30), "");  // nothing more
        }
    }
}

TEST_P(Controller, EachDecadeHasItsOwnStateTranscriptAndLineEnd) {
    Rig rig(GetParam(), kBus);
    ASSERT_TRUE(rig.ok()) << rig.error;
    // An escaped line end is data: each data line still needs its own unescaped end.
    rig.client->Send("++eos 3\n++addr 5\n:SYST:REM" + kEsc + "\r" + kEsc + "\n\nA 150" + kEsc +
                     "\r" + kEsc + "\n\n++read eoi\n");
    EXPECT_EQ(rig.client->ReadCount(4, 1500), "Ok\r\n");
    rig.client->Send("++addr 7\n:SYST:REM" + kEsc + "\n\nRES 2500" + kEsc + "\n\n++loc\n");
    rig.client->Send("++ifc\n++addr 9\nV?\n++addr 5\n++loc\n");
    // ++eos chooses what follows the data; without EOI and without LF the device waits.
    for (const auto& [setting, bytes] : std::vector<std::pair<std::string, std::string>>{
             {"0", "V?\r\n"}, {"1", "V?\r"}, {"2", "V?\n"}, {"3", "V?"}}) {
        EXPECT_EQ(rig.Exchange("++eos " + setting + "\nV?\n++read eoi\n", 6), "F0U0\r\n");
        EXPECT_EQ(rig.server->Transcript(5).back().bytes, bytes);
    }
    EXPECT_EQ(rig.Exchange("++eoi 0\nV?\n++read eoi\n", 0), "");
    EXPECT_EQ(rig.Exchange(kEsc + "\n\n++read eoi\n", 6), "F0U0\r\n");

    const std::vector<std::string> v = {"V?", "V?", "V?", "V?", "V?"};
    std::vector<std::string> five = {":SYST:REM", "A 150", "<ifc>", "<loc>"};
    five.insert(five.end(), v.begin(), v.end());
    EXPECT_EQ(rig.server->Lines(5), five);
    EXPECT_EQ(rig.server->Lines(7),
              (std::vector<std::string>{":SYST:REM", "RES 2500", "<loc>", "<ifc>"}));
    EXPECT_EQ(rig.server->Lines(9), (std::vector<std::string>{"<ifc>", "V?"}));
    // The bytes each decade got: the line end it was sent, nothing of the escapes.
    EXPECT_EQ(rig.server->Transcript(5).at(1).bytes, "A 150\r\n");
    EXPECT_EQ(rig.server->Transcript(5).back().bytes, "V?\n");
    EXPECT_EQ(rig.server->Transcript(7).at(1).bytes, "RES 2500\n");
    EXPECT_DOUBLE_EQ(rig.server->WithEngine(5, [](sim::Engine& e) { return e.Value(); }), 150);
    EXPECT_DOUBLE_EQ(rig.server->WithEngine(7, [](sim::Engine& e) { return e.Value(); }), 2500);
    EXPECT_FALSE(rig.server->WithEngine(5, [](sim::Engine& e) { return e.state().remote; }));
    EXPECT_FALSE(rig.server->WithEngine(7, [](sim::Engine& e) { return e.state().remote; }));
    // The host's lines as they came, escapes kept.
    const std::vector<std::string> host = rig.server->HostLines();
    EXPECT_NE(std::find(host.begin(), host.end(), "RES 2500" + kEsc + "\n"), host.end());
}

TEST_P(Controller, ReadTimesOutAndALateReplyComesToALaterRead) {
    // No line is taken while a read lasts: the ++ver behind each read shows when it ended.
    Rig rig(GetParam(), {"--decade", "5:V212", "--delay", "350"});
    ASSERT_TRUE(rig.ok()) << rig.error;
    rig.client->Send("++read_tmo_ms 150\n++addr 5\n*IDN?\n");
    const Clock::time_point start = Clock::now();
    std::vector<std::string> reads;
    while (reads.size() < 3) {
        const Clock::time_point read = Clock::now();
        rig.client->Send("++read eoi\n++ver\n");
        reads.push_back(rig.client->ReadLine(1500));
        if (reads.back() == kVersion) {
            EXPECT_GE(MsSince(read), 145.0) << "read " << reads.size();
        } else {
            reads.back() += rig.client->ReadLine(1500);
        }
    }
    // Two reads ran out (at about 150 and 300 ms), the third got the reply at 350 ms.
    EXPECT_EQ(reads, (std::vector<std::string>{kVersion, kVersion,
                                               "SIMLAB,V212,1234,1.000\r\n" + kVersion}));
    EXPECT_GE(MsSince(start), 345.0);
}

TEST_P(Controller, Faults) {
    {  // A slow controller: its own replies and the device's come late.
        Rig rig(GetParam(), {"--controller-delay", "200", "--decade", "5"});
        ASSERT_TRUE(rig.ok()) << rig.error;
        for (const auto& [sent, reply] : std::vector<std::pair<std::string, std::string>>{
                 {"++ver\n", kVersion}, {"++addr 5\nF0\n++read eoi\n", "Ok\r\n"}}) {
            const Clock::time_point start = Clock::now();
            EXPECT_EQ(rig.Exchange(sent, reply.size()), reply);
            EXPECT_GE(MsSince(start), 195.0);
        }
    }
    {  // Hangs up on the line after three.
        Rig rig(GetParam(), {"--controller-drop-after", "3", "--decade", "5"});
        ASSERT_TRUE(rig.ok()) << rig.error;
        EXPECT_EQ(rig.Exchange("++addr 5\nF0\n++read eoi\n", 4), "Ok\r\n");
        rig.client->Send("++ver\n");
        EXPECT_TRUE(rig.client->HungUp(1000));
        EXPECT_TRUE(rig.server->Dropped());
        EXPECT_EQ(rig.server->HostLines().back(), "<drop>");
        EXPECT_EQ(rig.server->Lines(5), (std::vector<std::string>{"F0"}));
        if (GetParam()) {
            EXPECT_TRUE(simtest::TcpRefused(rig.server->Port()));
        }
    }
    {  // Gone while idle: one exchange, then the controller hangs up on its own.
        Rig rig(GetParam(), {"--controller-drop-at", "300", "--decade", "5"});
        ASSERT_TRUE(rig.ok()) << rig.error;
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(rig.Exchange("++ver\n", kVersion.size()), kVersion);
        EXPECT_FALSE(rig.client->HungUp(150));
        EXPECT_TRUE(rig.client->HungUp(1500));
        EXPECT_GE(MsSince(start), 290.0);
        std::vector<std::string> expected = {"++ver", "<drop>"};
        if (GetParam()) expected.insert(expected.begin(), "<connect>");
        EXPECT_EQ(rig.server->HostLines(), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(FrontEnds, Controller, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Tcp" : "Pty";
                         });

TEST(ControllerTcp, OneHostAtATimeAndTheSettingsStay) {
    sim::ControllerServer server({}, {{5, sim::Config{}}});
    ASSERT_TRUE(server.StartTcp({"127.0.0.1", 0}));
    {
        PlainClient first(simtest::TcpConnect(server.Port()));
        first.Send("++addr 5\n++read_tmo_ms 700\n++ver\n");
        EXPECT_EQ(first.ReadLine(1500), kVersion);
        PlainClient second(simtest::TcpConnect(server.Port()));
        ASSERT_TRUE(second.ok());
        EXPECT_TRUE(second.HungUp(1000));  // accepted and closed at once
        EXPECT_EQ(server.Refused(), 1);
        first.Send("F0\n++read eoi\n");
        EXPECT_EQ(first.ReadLine(1500), "Ok\r\n");
    }
    ASSERT_TRUE(server.WaitForHostLines(8, 1000));  // up to the first one's close
    PlainClient third(simtest::TcpConnect(server.Port()));
    third.Send("++addr\n++read_tmo_ms\n");
    EXPECT_EQ(third.ReadCount(8, 1500), "5\r\n700\r\n");
    const std::vector<std::string> host = server.HostLines();
    EXPECT_EQ(
        std::vector<std::string>(host.begin(), host.begin() + 9),
        (std::vector<std::string>{"<connect>", "++addr 5", "++read_tmo_ms 700", "++ver", "<busy>",
                                  "F0", "++read eoi", "<disconnect>", "<connect>"}));
}

}  // namespace
