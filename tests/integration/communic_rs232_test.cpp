// The command exchange over a serial link: the real serial layer on a pseudo-terminal with
// the decade simulator at the other end.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "app/shared_state.h"
#include "link/communic.h"
#include "platform/rs232.h"
#include "simulator/transcript.h"
#include "support/link_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

class CommunicRs232Test : public SimLinkTest {
  protected:
    void Open(const std::vector<std::string>& args) { SimLinkTest::Open(args, 2); }
};

TEST_F(CommunicRs232Test, FramesEachClassAndKeepsTheCarriageReturn) {
    Open({"--model", "V330A", "--serial", "77", "--firmware", "1.030"});
    const std::string identity = "SIMLAB,V330A,77,1.030";
    struct Case {
        int model;
        const char* line;
    };
    const Case cases[] = {
        {0, "*IDN?\r\n"}, {1, "*IDN?\r\n"}, {2, "*IDN?\r\n"}, {3, "*IDN?\n"},
        {4, "*IDN?\n"},   {5, "*IDN?\r\n"}, {6, "*IDN?\r\n"}, {7, "*IDN?\r\n"},
    };
    for (const auto& c : cases) {
        sim_->ClearTranscript();
        decadeModel = c.model;
        std::string reply = "stale";
        EXPECT_EQ(Communic(0, "*IDN?", reply), 1);
        EXPECT_EQ(reply, identity + "\r") << "class " << c.model;
        const std::vector<std::string> received = sim_->Bytes();
        ASSERT_EQ(received.size(), 1u) << "class " << c.model;
        EXPECT_EQ(received[0], c.line) << "class " << c.model;
    }
}

TEST_F(CommunicRs232Test, SendOnlyLeavesTheReplyAlone) {
    Open({"--model", "V212"});
    std::string reply = "previous";
    EXPECT_EQ(Communic(1, ":SYST:REM", reply), 1);
    EXPECT_EQ(reply, "previous");
    ASSERT_TRUE(sim_->server().WaitForLines(1, 1000));
    EXPECT_EQ(sim_->Bytes(), std::vector<std::string>{":SYST:REM\r\n"});
    // Whatever a send-only command left behind does not show up in the next reply.
    EXPECT_EQ(Communic(0, "*IDN?", reply), 1);
    EXPECT_EQ(reply, "SIMLAB,V212,1234,1.000\r");
}

TEST_F(CommunicRs232Test, NothingGoesOutWithoutALinkOrForABadCommand) {
    Open({"--model", "V212"});
    std::string reply = "untouched";
    connected = 0;
    EXPECT_EQ(Communic(0, "*IDN?", reply), 0);
    connected = 1;
    const std::string longest(kMaxCommandLength, 'A');
    EXPECT_EQ(Communic(1, longest + "B", reply), 0);  // 50 characters
    EXPECT_EQ(Communic(0, "RES 100\r\nOUTP 1", reply), 0);
    EXPECT_EQ(Communic(0, std::string("A 1\0X", 5), reply), 0);
    EXPECT_EQ(reply, "untouched");
    EXPECT_FALSE(sim_->server().WaitForLines(1, 200));

    // 49 characters are fine.
    EXPECT_EQ(Communic(1, longest, reply), 1);
    ASSERT_TRUE(sim_->server().WaitForLines(1, 1000));
    EXPECT_EQ(sim_->Bytes(), std::vector<std::string>{longest + "\r\n"});
}

TEST_F(CommunicRs232Test, LongReplyIsCutAndItsRestFlushed) {
    Open({"--model", "V212", "--long-replies"});
    std::string first;
    EXPECT_EQ(Communic(0, "*IDN?", first), 1);
    ASSERT_EQ(first.size(), kMaxReplyLength);
    EXPECT_EQ(first.rfind("SIMLAB,V212,1234,1.000", 0), 0u) << first;
    // The 14 bytes beyond the cut wait in the queue; the next exchange starts clean.
    std::string second;
    EXPECT_EQ(Communic(0, "*IDN?", second), 1);
    EXPECT_EQ(second, first);
}

TEST_F(CommunicRs232Test, ReplyIsCutAtItsFirstNul) {
    Open({"--model", "V212", "--nul-bytes"});
    std::string reply = "stale";
    EXPECT_EQ(Communic(0, "*IDN?", reply), 1);
    EXPECT_EQ(reply.find('\0'), std::string::npos);
    EXPECT_FALSE(reply.empty());
    EXPECT_EQ(std::string("SIMLAB,V212,1234,1.000").rfind(reply, 0), 0u) << reply;
}

TEST_F(CommunicRs232Test, SilentDecadeGivesAnEmptyReplyAfterOneSecond) {
    Open({"--model", "V212", "--silent"});
    std::string reply = "stale";
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(Communic(0, "*IDN?", reply), 1);
    const double elapsed = SecondsSince(start);
    EXPECT_EQ(reply, "");
    EXPECT_GE(elapsed, 0.99);
    EXPECT_LE(elapsed, 1.1);
}

TEST_F(CommunicRs232Test, PulledLinkEndsEveryExchangeAtOnce) {
    Open({"--model", "V212", "--drop-after", "1"});
    std::string reply;
    EXPECT_EQ(Communic(0, "*IDN?", reply), 1);
    EXPECT_EQ(reply, "SIMLAB,V212,1234,1.000\r");
    // The decade hangs up on the second exchange.
    reply = "stale";
    Communic(0, "*IDN?", reply);
    EXPECT_TRUE(sim_->server().Dropped());
    EXPECT_EQ(reply, "");
    EXPECT_FALSE(rs232::IsOpen(1));

    const Clock::time_point start = Clock::now();
    const double cpuStart = CpuSeconds();
    for (int i = 0; i < 100; ++i) {
        reply = "stale";
        EXPECT_EQ(Communic(0, "*IDN?", reply), 1);
        EXPECT_EQ(reply, "");
    }
    // A wait for the reply would take the 1 s time-out each, 100 s in all; half a second
    // leaves room for a sanitizer build on a loaded machine and still catches one.
    EXPECT_LT(SecondsSince(start), 0.5);
    EXPECT_LT(CpuSeconds() - cpuStart, 0.05);
}

}  // namespace
