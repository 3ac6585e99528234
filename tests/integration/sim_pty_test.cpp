// The simulator's pseudo-terminal front end and the decade-sim program, from a plain
// termios client.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "simulator/transcript.h"
#include "support/sim_fixture.h"

extern char** environ;

namespace {

using simtest::PlainClient;
using simtest::SimFixture;

TEST(SimPty, IdentityRoundTripAndTranscript) {
    SimFixture fixture({"--model", "V330A", "--serial", "77", "--firmware", "1.030"});
    ASSERT_TRUE(fixture.ok()) << fixture.error();
    PlainClient client(fixture.linkPath());
    ASSERT_TRUE(client.ok());
    ASSERT_TRUE(client.Send("*IDN?\n"));
    EXPECT_EQ(client.ReadLine(1000), "SIMLAB,V330A,77,1.030\r\n");
    ASSERT_TRUE(client.Send("V?\r\n"));
    EXPECT_EQ(client.ReadLine(1000), "F0U0\r\n");

    const std::vector<sim::Record> records = fixture.server().Transcript();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].bytes, "*IDN?\n");
    EXPECT_EQ(records[1].bytes, "V?\r\n");
    EXPECT_GE(records[0].seconds, 0.0);
    EXPECT_LE(records[0].seconds, records[1].seconds);
    EXPECT_EQ(fixture.Lines(), (std::vector<std::string>{"*IDN?", "V?"}));
}

TEST(SimPty, ServesAcrossReopensOfTheTerminal) {
    SimFixture fixture({"--model", "V212"});
    ASSERT_TRUE(fixture.ok()) << fixture.error();
    for (int round = 0; round < 5; ++round) {
        PlainClient client(fixture.linkPath());
        ASSERT_TRUE(client.ok());
        ASSERT_TRUE(client.Send("A " + std::to_string(100 + round) + "\r\n"));
        EXPECT_EQ(client.ReadLine(1000), "Ok\r\n") << "round " << round;
    }
    EXPECT_DOUBLE_EQ(fixture.server().WithEngine([](sim::Engine& e) { return e.Value(); }), 104);
}

TEST(SimPty, NoReplyBeforeTheLineIsComplete) {
    SimFixture fixture({"--model", "V212"});
    ASSERT_TRUE(fixture.ok()) << fixture.error();
    PlainClient client(fixture.linkPath());
    ASSERT_TRUE(client.Send("*ID"));
    EXPECT_EQ(client.ReadFor(100), "");
    ASSERT_TRUE(client.Send("N?\r"));
    EXPECT_EQ(client.ReadFor(100), "");
    ASSERT_TRUE(client.Send("\n"));
    EXPECT_EQ(client.ReadLine(1000), "SIMLAB,V212,1234,1.000\r\n");
    EXPECT_EQ(fixture.server().Transcript().at(0).bytes, "*IDN?\r\n");
}

std::string SimulatorPath() {
    const char* path = std::getenv("OMBRASTEL_SIM");
    return path ? path : "";
}

TEST(SimProgram, LinkLivesUntilSigterm) {
    const std::string program = SimulatorPath();
    ASSERT_FALSE(program.empty()) << "OMBRASTEL_SIM is not set";
    char pattern[] = "/tmp/ombrastel-simprog-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    const std::string link = folder + "/com3";
    const std::string transcript = folder + "/t.log";

    std::vector<std::string> args = {program, "--model",      "V090",    "--link",
                                     link,    "--transcript", transcript};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);

    struct stat info {};
    for (int i = 0; i < 500 && ::lstat(link.c_str(), &info) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(::lstat(link.c_str(), &info), 0) << "no link made";
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    {
        PlainClient client(link);
        ASSERT_TRUE(client.ok());
        ASSERT_TRUE(client.Send("*IDN?\r\n"));
        EXPECT_EQ(client.ReadLine(1000), "SIMLAB,V090,1234,1.000\r\n");
    }
    ASSERT_EQ(::kill(child, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(::lstat(link.c_str(), &info), 0) << "the link outlived the simulator";
    EXPECT_EQ(sim::Transcript::ReadLines(transcript), (std::vector<std::string>{"*IDN?"}));

    std::remove(transcript.c_str());
    ::rmdir(folder.c_str());
}

TEST(SimProgram, HelpNamesEveryOption) {
    const std::string program = SimulatorPath();
    ASSERT_FALSE(program.empty()) << "OMBRASTEL_SIM is not set";
    const std::string command = "'" + program + "' --help";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string help;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) help += buffer;
    EXPECT_EQ(::pclose(pipe), 0);
    for (const char* option :
         {"--model",      "--serial",     "--firmware",     "--user-presets", "--timing-presets",
          "--refuse",     "--link",       "--transcript",   "--silent",       "--silent-to",
          "--delay",      "--garbage",    "--long-replies", "--nul-bytes",    "--no-line-end",
          "--line-end",   "--drop-after", "--first-idn",    "--silent-after", "--silent-for",
          "--flood-after", "--drop-at", "--tcp", "--controller", "--decade",
          "--controller-version", "--controller-delay", "--controller-drop-after",
          "--controller-drop-at", "--controller-transcript"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

}  // namespace
