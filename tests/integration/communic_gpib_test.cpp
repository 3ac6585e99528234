// The command exchange over GPIB: the real binding loading the simulator's stand-in
// library, as the device manager and Communic use it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/shared_state.h"
#include "link/communic.h"
#include "platform/gpib.h"
#include "platform/text.h"
#include "support/link_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

class CommunicGpibTest : public testing::Test {
  protected:
    void TearDown() override {
        gpib::CloseInstrDevs("v212");
        firstReadDone = 0;
        ResetSharedState();
    }

    // Opens the device the way the open routine does and makes it the link.
    int Open(int address = 7) {
        gpib::CloseInstrDevs("v212");
        const int device = gpib::OpenDev("", "v212");
        if (device < 0) return device;
        gpib::ibtmo(device, gpib::T10s);
        gpib::ibpad(device, address);
        UseGpibDevice(device, address);
        return device;
    }

    // What the close routine does to the GPIB side.
    void Close() {
        gpib::CloseDev(gpibDevice);
        firstReadDone = 0;
        connected = 0;
    }

    // Time of one exchange that reads a reply.
    static double TimedQuery(std::string& reply) {
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(Communic(0, "*IDN?", reply), 1);
        return SecondsSince(start);
    }
};

TEST_F(CommunicGpibTest, BindingIsLoadedFromTheLibraryPath) {
    ASSERT_TRUE(gpib::LibraryAvailable()) << "the stand-in libgpib.so.0 must be on LD_LIBRARY_PATH";
}

TEST_F(CommunicGpibTest, FramesPerClassAndStoresEveryByte) {
    simtest::GpibSim sim({"--model", "V150", "--serial", "0x1F", "--gpib-address", "7"});
    ASSERT_GE(Open(7), 0);
    std::string reply;
    decadeModel = 0;
    EXPECT_EQ(Communic(0, "*IDN?", reply), 1);
    // Over GPIB the line end the decade sends is part of the reply.
    EXPECT_EQ(reply, "SIMLAB,V150,0x1F,1.000\r\n");
    decadeModel = 4;
    EXPECT_EQ(Communic(1, ":SYST:REM", reply), 1);
    decadeModel = 2;
    EXPECT_EQ(Communic(1, ":SYST:LOC", reply), 1);
    EXPECT_EQ(reply, "SIMLAB,V150,0x1F,1.000\r\n");  // send-only: untouched
    Close();

    const std::vector<std::string> lines = sim.Lines();
    const std::vector<std::string> expected = {"<ibdev 0>", "<ibtmo 13>", "<ibpad 7>", "*IDN?",
                                               ":SYST:REM", ":SYST:LOC",  "<ibloc>",   "<ibonl 0>"};
    EXPECT_EQ(lines, expected);
}

TEST_F(CommunicGpibTest, FirstReadOfEachOpenWaitsOnce) {
    simtest::GpibSim sim({"--model", "V212"});
    ASSERT_GE(Open(), 0);
    std::string reply;
    // A send-only exchange does not spend the wait.
    Communic(1, ":SYST:REM", reply);
    EXPECT_EQ(firstReadDone, 0);
    EXPECT_GE(TimedQuery(reply), 0.1);
    EXPECT_EQ(firstReadDone, 1);
    EXPECT_EQ(text::TrimLineEnd(reply), "SIMLAB,V212,1234,1.000");
    EXPECT_LT(TimedQuery(reply), 0.05);
    EXPECT_LT(TimedQuery(reply), 0.05);
    Close();

    ASSERT_GE(Open(), 0);
    EXPECT_GE(TimedQuery(reply), 0.1);
    EXPECT_LT(TimedQuery(reply), 0.05);
    EXPECT_EQ(text::TrimLineEnd(reply), "SIMLAB,V212,1234,1.000");
}

TEST_F(CommunicGpibTest, NoDeviceMeansNothingSent) {
    simtest::GpibSim sim({"--model", "V212"});
    const int device = Open();
    ASSERT_GE(device, 0);
    std::string reply = "untouched";
    for (const int descriptor : {0, -1}) {
        gpibDevice = descriptor;
        EXPECT_EQ(Communic(0, "*IDN?", reply), 0);
    }
    gpibDevice = device;
    connected = 0;
    EXPECT_EQ(Communic(0, "*IDN?", reply), 0);
    EXPECT_EQ(reply, "untouched");
    EXPECT_EQ(firstReadDone, 0);
    EXPECT_TRUE(sim.Commands().empty());
}

TEST_F(CommunicGpibTest, FailedOrOverlongReadsGiveFiftyBytesAtMost) {
    {
        simtest::GpibSim sim({"--model", "V212", "--silent", "--gpib-max-wait", "100"});
        ASSERT_GE(Open(), 0);
        std::string reply = "stale";
        EXPECT_EQ(Communic(0, "*IDN?", reply), 1);
        EXPECT_EQ(reply, "");  // the read timed out
        Close();
    }
    {
        simtest::GpibSim sim({"--model", "V212", "--long-replies"});
        ASSERT_GE(Open(), 0);
        std::string reply;
        EXPECT_EQ(Communic(0, "*IDN?", reply), 1);
        EXPECT_EQ(reply.size(), kMaxReplyLength);
        EXPECT_EQ(reply.rfind("SIMLAB,V212,1234,1.000", 0), 0u);
        Close();
    }
}

TEST_F(CommunicGpibTest, DeviceManagerKeepsDescriptorsPerPrefix) {
    simtest::GpibSim sim({"--model", "V212"});
    EXPECT_LT(gpib::OpenDev("", "v212", 31), 0);
    EXPECT_LT(gpib::OpenDev("", "v212", -1), 0);
    const int first = gpib::OpenDev("", "v212");
    const int second = gpib::OpenDev("", "v212");
    const int other = gpib::OpenDev("", "other");
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    ASSERT_GE(other, 0);
    EXPECT_NE(gpib::ibpad(first, 31) & gpib::ERR, 0);
    EXPECT_NE(gpib::ibpad(first, -1) & gpib::ERR, 0);
    EXPECT_EQ(gpib::ibpad(first, 30) & gpib::ERR, 0);

    gpib::CloseInstrDevs("v212");
    // Both descriptors under the prefix went back to local and were released; the other
    // one still works.
    EXPECT_NE(gpib::CloseDev(first) & gpib::ERR, 0);
    EXPECT_NE(gpib::CloseDev(second) & gpib::ERR, 0);
    std::string buffer = "*IDN?\r\n";
    EXPECT_EQ(gpib::ibwrt(other, buffer.data(), static_cast<long>(buffer.size())) & gpib::ERR, 0);
    EXPECT_EQ(gpib::CloseDev(other) & gpib::ERR, 0);

    const std::vector<std::string> lines = sim.Lines();
    const std::vector<std::string> expected = {"<ibdev 0>", "<ibdev 0>", "<ibdev 0>", "<ibpad 30>",
                                               "<ibloc>",   "<ibonl 0>", "<ibloc>",   "<ibonl 0>",
                                               "*IDN?",     "<ibloc>",   "<ibonl 0>"};
    EXPECT_EQ(lines, expected);
}

// Runs only in a child started without the library path (see the test below).
TEST(GpibWithoutLibrary, DISABLED_OpenFailsWithoutACrash) {
    ASSERT_FALSE(gpib::LibraryAvailable());
    EXPECT_LT(gpib::OpenDev("", "v212"), 0);
    EXPECT_NE(gpib::ibwrt(16, "x", 1) & gpib::ERR, 0);
    EXPECT_NE(gpib::ibrd(16, nullptr, 0) & gpib::ERR, 0);
    EXPECT_EQ(gpib::ibcntl(), -1);
    // The exchange on a link whose open failed sends nothing.
    UseGpibDevice(gpib::OpenDev("", "v212"), 0);
    std::string reply = "untouched";
    EXPECT_EQ(Communic(0, "*IDN?", reply), 0);
    EXPECT_EQ(reply, "untouched");
    ResetSharedState();
}

TEST(GpibWithoutLibrary, OpenReportsFailureWhenNoLibraryLoads) {
    ExpectPassesWithoutGpibLibrary("GpibWithoutLibrary.DISABLED_OpenFailsWithoutACrash");
}

}  // namespace
