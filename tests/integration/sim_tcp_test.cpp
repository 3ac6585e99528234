// The simulator's TCP front end: one decade, as a serial device server in raw mode offers a
// port.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <string>
#include <vector>

#include "simulator/decade_server.h"
#include "support/sim_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
using simtest::PlainClient;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A decade on a free TCP port and a plain client connected to it.
struct Rig {
    explicit Rig(const std::vector<std::string>& args)
        : server(*sim::ParseArgs(args, nullptr)),
          started(server.Start({"127.0.0.1", 0})),
          client(simtest::TcpConnect(server.Port())) {}
    sim::TcpServer server;
    bool started;
    PlainClient client;
};

TEST(SimTcp, RepliesAndFaultsAsOnTheTerminal) {
    struct Row {
        std::vector<std::string> args;
        std::vector<std::pair<std::string, std::string>> exchanges;  // sent, read in 150 ms
    };
    const std::vector<Row> table = {
        {{"--model", "V330A"},
         {{"*IDN?\n", "SIMLAB,V330A,1234,1.000\r\n"}, {"V", ""}, {"?\r\n", "F0U0\r\n"}}},
        {{"--silent"}, {{"*IDN?\r\n", ""}}},
        {{"--garbage", "--line-end", "cr"}, {{"*IDN?\r\n", "#\xA5?~%\x7F!\r"}}},
        {{"--silent-after", "1", "--silent-for", "1"},
         {{"F0\r\n", "Ok\r\n"}, {"F1\r\n", ""}, {"V?\r\n", "F1U0\r\n"}}},
        {{"--reply", "V?=F9\\xFF"}, {{"V?\r\n", "F9\xFF\r\n"}}},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(testing::PrintToString(row.args));
        Rig rig(row.args);
        ASSERT_TRUE(rig.started && rig.client.ok());
        for (const auto& [sent, expected] : row.exchanges) {
            ASSERT_TRUE(rig.client.Send(sent));
            EXPECT_EQ(rig.client.ReadFor(150), expected) << sent;
        }
    }
    Rig slow({"--delay", "250"});
    const Clock::time_point start = Clock::now();
    slow.client.Send("F0\r\n");
    EXPECT_EQ(slow.client.ReadLine(2000), "Ok\r\n");
    EXPECT_GE(MsSince(start), 245.0);
}

TEST(SimTcp, OneClientAtATimeAndTheDecadeKeepsItsState) {
    Rig rig({});
    rig.client.Send("A 250\r\n");
    EXPECT_EQ(rig.client.ReadLine(1000), "Ok\r\n");
    PlainClient second(simtest::TcpConnect(rig.server.Port()));
    ASSERT_TRUE(second.ok());
    EXPECT_TRUE(second.HungUp(1000));  // accepted and closed at once: the port is busy
    ::shutdown(rig.client.fd(), SHUT_RDWR);
    ASSERT_TRUE(rig.server.WaitForLines(4, 1000));
    PlainClient third(simtest::TcpConnect(rig.server.Port()));
    third.Send("A?\r\n");
    EXPECT_EQ(third.ReadLine(1000), "250.00E+00\r\n");
    EXPECT_EQ(rig.server.Lines(), (std::vector<std::string>{"<connect>", "A 250", "<busy>",
                                                            "<disconnect>", "<connect>", "A?"}));
}

TEST(SimTcp, DropClosesTheConnectionAndThePort) {
    // After N exchanges (the next line gets no reply), or at a time while idle.
    struct Row {
        std::vector<std::string> args;
        std::string next;  // sent after the first exchange
        bool goneAt150;
        std::vector<std::string> lines;
    };
    for (const Row& row :
         {Row{{"--drop-after", "1"}, "V?\r\n", true, {"<connect>", "F0", "V?", "<drop>"}},
          Row{{"--drop-at", "300"}, "", false, {"<connect>", "F0", "<drop>"}}}) {
        SCOPED_TRACE(row.args.front());
        Rig rig(row.args);
        const Clock::time_point start = Clock::now();
        rig.client.Send("F0\r\n");
        EXPECT_EQ(rig.client.ReadLine(1000), "Ok\r\n");
        rig.client.Send(row.next);
        EXPECT_EQ(rig.client.HungUp(150), row.goneAt150);
        EXPECT_TRUE(rig.client.HungUp(1500));
        EXPECT_GE(MsSince(start), row.goneAt150 ? 0.0 : 290.0);
        EXPECT_TRUE(rig.server.Dropped());
        EXPECT_EQ(rig.server.Lines(), row.lines);
        EXPECT_TRUE(simtest::TcpRefused(rig.server.Port()));
    }
    simtest::SimFixture pty({"--drop-at", "200"});  // the terminal too
    ASSERT_TRUE(pty.ok()) << pty.error();
    PlainClient client(pty.linkPath());
    client.Send("F0\r\n");
    EXPECT_EQ(client.ReadLine(1000), "Ok\r\n");
    EXPECT_TRUE(client.HungUp(1500));
    EXPECT_EQ(pty.Lines(), (std::vector<std::string>{"F0", "<drop>"}));
}

}  // namespace
