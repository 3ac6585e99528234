// Ending the whole program with a signal while a link is open: the decade gets its local
// command and the settings file is written, as after Exit; a second signal ends at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/shared_state.h"
#include "support/panel_fixture.h"
#include "support/program_fixture.h"
#include "support/sim_fixture.h"

namespace {

class EndSignalsTest : public ProgramRunTest {};

TEST_F(EndSignalsTest, SignalDuringAnOpenLinkClosesItAndWritesTheSettings) {
    for (const int number : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(number));
        simtest::SimFixture sim({"--model", "V212"});
        ASSERT_TRUE(sim.ok()) << sim.error();
        bool opened = false;
        const int result = RunProgram([&](int) {
            ClickCom();  // COM1 at 9600 baud, as the panel starts
            opened = connected == 1;
            sim.ClearTranscript();
            kill(getpid(), number);
        });
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(opened);
        EXPECT_EQ(sim.Lines(), (Lines{":SYST:LOC"}));
        EXPECT_EQ(connected, 0);
        EXPECT_EQ(FileText(sim.folder() + "/Ombrastel.ini"), kDefaultSettings);
    }
}

// The first signal starts the close, which waits half a second before the port closes; a
// second one in that time ends the program there: killed by it, no settings written.
TEST_F(EndSignalsTest, SecondSignalEndsAtOnce) {
    GTEST_FLAG_SET(death_test_style, "fast");
    simtest::SimFixture sim({"--model", "V212"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EXIT(RunProgram([](int) {
                    ClickCom();
                    if (connected != 1) std::_Exit(3);
                    std::thread([] {
                        std::this_thread::sleep_for(std::chrono::milliseconds(150));
                        kill(getpid(), SIGTERM);
                    }).detach();
                    kill(getpid(), SIGTERM);
                }),
                testing::KilledBySignal(SIGTERM), "");
    EXPECT_LT(SecondsSince(start), 5.0);
    EXPECT_FALSE(std::filesystem::exists(sim.folder() + "/Ombrastel.ini"));
    const Lines lines = sim.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), ":SYST:LOC");  // the close had begun
}

}  // namespace
