// Each fault the simulated decade can show, seen from a plain termios client.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/sim_fixture.h"

namespace {

using simtest::PlainClient;
using simtest::SimFixture;

struct Exchange {
    std::string sent;
    std::string expected;  // exact bytes the client reads within the wait
    int waitMs;
};

void Check(const std::vector<std::string>& args, const std::vector<Exchange>& exchanges) {
    SimFixture fixture(args);
    ASSERT_TRUE(fixture.ok()) << fixture.error();
    PlainClient client(fixture.linkPath());
    ASSERT_TRUE(client.ok());
    for (const Exchange& exchange : exchanges) {
        SCOPED_TRACE("sent " + exchange.sent);
        ASSERT_TRUE(client.Send(exchange.sent));
        EXPECT_EQ(client.ReadFor(exchange.waitMs), exchange.expected);
    }
}

TEST(SimFaults, Silent) {
    Check({"--model", "V212", "--silent"}, {{"*IDN?\r\n", "", 200}, {"F0\r\n", "", 100}});
}

TEST(SimFaults, SilentToChosenCommands) {
    // A silenced command still acts: F1 selects the Pt385 curve, at 0 degrees.
    Check({"--model", "V212", "--silent-to", "V?,F*"},
          {{"V?\r\n", "", 150}, {"F1\r\n", "", 150}, {"A?\r\n", "0.0000E+00\r\n", 150}});
}

TEST(SimFaults, SilentAfterSomeExchangesForAWhile) {
    // Answers the first exchange, is silent to the next two (which still act), then
    // answers again.
    Check({"--model", "V212", "--silent-after", "1", "--silent-for", "2"},
          {{"F0\r\n", "Ok\r\n", 150},
           {"F1\r\n", "", 150},
           {"V?\r\n", "", 150},
           {"V?\r\n", "F1U0\r\n", 150}});
}

TEST(SimFaults, GarbageReplies) {
    Check({"--model", "V212", "--garbage"}, {{"*IDN?\r\n", "#\xA5?~%\x7F!\r\n", 150}});
}

TEST(SimFaults, RepliesOverFiftyBytes) {
    Check({"--model", "V212", "--long-replies"},
          {{"F0\r\n", "Ok" + std::string(62, '#') + "\r\n", 150}});
}

TEST(SimFaults, NulByteInsideReplies) {
    Check({"--model", "V212", "--nul-bytes"}, {{"A?\r\n",
                                                std::string("100.0\0"
                                                            "0E+00\r\n",
                                                            13),
                                                150}});
}

TEST(SimFaults, LineEnds) {
    Check({"--model", "V212", "--line-end", "lf"}, {{"F0\r\n", "Ok\n", 150}});
    Check({"--model", "V212", "--line-end", "cr"}, {{"F0\r\n", "Ok\r", 150}});
    Check({"--model", "V212", "--no-line-end"}, {{"F0\r\n", "Ok", 150}});
}

TEST(SimFaults, FaultsLimitedToChosenCommands) {
    Check({"--model", "V212", "--garbage", "--no-line-end", "--fault-commands", "A?"},
          {{"F0\r\n", "Ok\r\n", 150}, {"A?\r\n", "#\xA5?~%\x7F!", 150}});
}

TEST(SimFaults, DelayedReplies) {
    SimFixture fixture({"--model", "V212", "--delay", "300", "--fault-commands", "*IDN?"});
    ASSERT_TRUE(fixture.ok()) << fixture.error();
    PlainClient client(fixture.linkPath());
    using Clock = std::chrono::steady_clock;
    auto timed = [&](const std::string& line, std::string* reply) {
        const Clock::time_point start = Clock::now();
        client.Send(line);
        *reply = client.ReadLine(2000);
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    std::string reply;
    EXPECT_GE(timed("*IDN?\r\n", &reply), 300.0);
    EXPECT_EQ(reply, "SIMLAB,V212,1234,1.000\r\n");
    EXPECT_LT(timed("F0\r\n", &reply), 250.0);
    EXPECT_EQ(reply, "Ok\r\n");
}

TEST(SimFaults, DropTheLinkAfterExchanges) {
    SimFixture fixture({"--model", "V212", "--drop-after", "2"});
    ASSERT_TRUE(fixture.ok()) << fixture.error();
    PlainClient client(fixture.linkPath());
    client.Send("F0\r\n");
    EXPECT_EQ(client.ReadLine(1000), "Ok\r\n");
    client.Send(":SYST:REM\r\n");
    client.Send("*IDN?\r\n");
    EXPECT_TRUE(client.HungUp(1000));
    EXPECT_TRUE(fixture.server().Dropped());
    EXPECT_EQ(fixture.Lines(), (std::vector<std::string>{"F0", ":SYST:REM", "*IDN?", "<drop>"}));
    // The terminal is gone for good: it can no longer be opened.
    PlainClient again(fixture.linkPath());
    EXPECT_FALSE(again.ok());
}

TEST(SimFaults, RefusedAndFirstIdentity) {
    Check({"--model", "V212", "--refuse", "FS", "--first-idn", "BUSY"},
          {{"FS\r\n", "Err\r\n", 150},
           {"*IDN?\r\n", "BUSY\r\n", 150},
           {"*IDN?\r\n", "SIMLAB,V212,1234,1.000\r\n", 150}});
}

}  // namespace
