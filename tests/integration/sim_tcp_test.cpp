// The simulator's TCP front end (one decade, as a serial device server in raw mode offers a
// port), and the network and controller front ends of the decade-sim program.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "simulator/decade_server.h"
#include "support/sim_fixture.h"

extern char** environ;

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

// decade-sim as a program: its first output line, then SIGTERM; the exit status.
struct Program {
    explicit Program(std::vector<std::string> args) {
        const char* path = std::getenv("OMBRASTEL_SIM");
        if (path == nullptr || ::pipe(out) != 0) return;
        args.insert(args.begin(), path);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        if (::posix_spawn(&pid, path, &actions, nullptr, argv.data(), environ) != 0) pid = 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        char c;
        pollfd in{out[0], POLLIN, 0};
        while (::poll(&in, 1, 3000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') firstLine += c;
    }
    int Exit(bool terminate) {
        if (terminate) ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(out[0]);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int out[2] = {-1, -1};
    pid_t pid = 0;
    std::string firstLine;
};

int PortOf(const std::string& address) {
    return std::atoi(address.c_str() + address.rfind(':') + 1);
}

TEST(SimProgram, NetworkAndControllerFrontEnds) {
    char folder[] = "/tmp/ombrastel-simnet-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string link = std::string(folder) + "/ttyUSB1";
    struct Row {
        std::vector<std::string> args;
        std::string sent, expected;
    };
    const std::vector<Row> table = {
        {{"--tcp", "0", "--model", "V090"}, "*IDN?\r\n", "SIMLAB,V090,1234,1.000\r\n"},
        {{"--controller", "tcp:127.0.0.1:0", "--controller-version", "Bench GPIB 2", "--decade",
          "5:V212", "--decade", "7:V330A"},
         "++ver\n++addr 7\n*IDN?\n++read eoi\n",
         "Bench GPIB 2\r\nSIMLAB,V330A,1234,1.000\r\n"},
        {{"--controller", "pty", "--link", link, "--decade", "5"},
         "++addr 5\r\nV?\r\n++read eoi\r\n",
         "F0U0\r\n"},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(testing::PrintToString(row.args));
        Program program(row.args);
        const bool tcp = program.firstLine.rfind("127.0.0.1:", 0) == 0;
        EXPECT_TRUE(tcp || program.firstLine.rfind("/dev/pts/", 0) == 0) << program.firstLine;
        PlainClient client =
            tcp ? PlainClient(simtest::TcpConnect(PortOf(program.firstLine))) : PlainClient(link);
        ASSERT_TRUE(client.Send(row.sent));
        EXPECT_EQ(client.ReadCount(row.expected.size(), 1500), row.expected);
        EXPECT_EQ(program.Exit(true), 0);
        if (tcp) {
            EXPECT_TRUE(simtest::TcpRefused(PortOf(program.firstLine)));
        }
    }
    EXPECT_NE(::access(link.c_str(), F_OK), 0) << "the link outlived the simulator";
    ::rmdir(folder);
    for (const auto& wrong : {std::vector<std::string>{"--decade", "5"},
                              {"--tcp", "99999"},
                              {"--controller", "pty", "--decade", "31"}}) {
        EXPECT_EQ(Program(wrong).Exit(false), 2) << testing::PrintToString(wrong);
    }
}

}  // namespace
