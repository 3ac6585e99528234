// Debian's ser2net, a serial device server we did not write, in front of the simulator's
// pseudo-terminal: as a raw TCP port and as an RFC 2217 (telnet) port, from a plain socket.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/sim_fixture.h"

extern char** environ;

namespace {

constexpr const char* kSer2net = "/usr/sbin/ser2net";

// ser2net serving one connection from a YAML file in a folder of its own, in the foreground
// (-n), with UUCP locks off (-u) should the build take them: the lock folder is shared with
// everything on the machine.
struct Ser2net {
    Ser2net(const std::string& accepter, const std::string& device) {
        char pattern[] = "/tmp/ombrastel-ser2net-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return;
        folder = pattern;
        port = simtest::FreePort();
        std::ofstream(folder + "/s.yaml")
            << "%YAML 1.1\n---\nconnection: &decade\n    accepter: " << accepter << ",127.0.0.1,"
            << port << "\n    connector: serialdev," << device
            << ",9600n81,local\n    options:\n      mdns: false\n";
        std::vector<std::string> args = {kSer2net, "-n", "-u", "-c", folder + "/s.yaml"};
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, (folder + "/log").c_str(),
                                         O_WRONLY | O_CREAT, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        if (::posix_spawn(&pid, kSer2net, &actions, nullptr, argv.data(), environ) != 0) pid = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Ser2net() {
        if (pid > 0 && ::kill(pid, SIGTERM) == 0) ::waitpid(pid, nullptr, 0);
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
    }
    std::string Log() const {
        std::ifstream in(folder + "/log");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string folder;
    int port = 0;
    pid_t pid = 0;
};

// IAC SB COM-PORT-OPTION <payload> IAC SE (RFC 2217).
std::string ComPort(std::string payload) {
    return "\xFF\xFA\x2C" + payload + "\xFF\xF0";
}

TEST(SimNetwork, ThroughSer2net) {
    ASSERT_EQ(::access(kSer2net, X_OK), 0) << "ser2net is missing: scripts/setup --dev installs it";
    for (const std::string accepter : {"tcp", "telnet(rfc2217),tcp"}) {
        SCOPED_TRACE(accepter);
        simtest::SimFixture sim({"--model", "V330A"});
        ASSERT_TRUE(sim.ok()) << sim.error();
        Ser2net server(accepter, sim.server().SlavePath());
        ASSERT_GT(server.pid, 0);
        simtest::PlainClient client(simtest::TcpConnect(server.port, 3000));
        ASSERT_TRUE(client.ok()) << server.Log();
        if (accepter != "tcp") {
            EXPECT_NE(client.ReadFor(300).find("\xFF\xFD\x2C"), std::string::npos);  // DO COM-PORT
            // 19200 baud, 8 data bits, no parity, 1 stop bit: each set and read back (the
            // server's replies are the commands plus 100).
            const std::string settings[] = {std::string("\x01\x00\x00\x4B\x00", 5), "\x02\x08",
                                            "\x03\x01", "\x04\x01"};
            std::string request = "\xFF\xFB\x2C";  // WILL COM-PORT
            for (const std::string& s : settings) request += ComPort(s);
            ASSERT_TRUE(client.Send(request));
            std::string stream;
            for (int i = 0; i < 10 && stream.find(ComPort("\x68\x01")) == std::string::npos; ++i) {
                stream += client.ReadFor(100);
            }
            for (std::string reply : settings) {
                reply[0] = static_cast<char>(reply[0] + 100);
                EXPECT_NE(stream.find(ComPort(reply)), std::string::npos) << int(reply[0]);
            }
            // They reached the terminal: the decade's side runs at 19200 baud, 8N1.
            const int fd = ::open(sim.server().SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            termios tio{};
            ASSERT_EQ(::tcgetattr(fd, &tio), 0);
            ::close(fd);
            EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B19200));
            EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
        }
        // Every byte passes unchanged both ways, in both line ends.
        for (const auto& [line, reply] : std::vector<std::pair<std::string, std::string>>{
                 {"*IDN?\r\n", "SIMLAB,V330A,1234,1.000\r\n"}, {"V?\n", "F0U0\r\n"}}) {
            ASSERT_TRUE(client.Send(line));
            EXPECT_EQ(client.ReadLine(2000), reply);
        }
        EXPECT_EQ(sim.Bytes(), (std::vector<std::string>{"*IDN?\r\n", "V?\n"}));
    }
}

}  // namespace
