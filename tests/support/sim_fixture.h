// Puts a simulated decade on the other end of a link for a test.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "simulator/config.h"
#include "simulator/pty_server.h"

namespace simtest {

// Makes a temporary folder, changes into it, starts a decade on a pseudo-terminal and links
// it there as "comN" (the panel finds COM n through that link). The destructor stops the
// decade, changes back to the folder of before and removes the temporary one.
class SimFixture {
  public:
    explicit SimFixture(const sim::Config& config, int comPort = 1);
    // The options of decade-sim, e.g. {"--model", "V330A", "--refuse", "FS"}.
    explicit SimFixture(const std::vector<std::string>& args, int comPort = 1);
    ~SimFixture();
    SimFixture(const SimFixture&) = delete;
    SimFixture& operator=(const SimFixture&) = delete;

    // False when the options were wrong or the pty or the link could not be made; error()
    // then says why.
    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }

    sim::PtyServer& server() { return *server_; }
    const std::string& folder() const { return folder_; }
    std::string linkPath() const;

    std::vector<std::string> Lines() const { return server_->Lines(); }
    // The lines received exactly as they came, line ends included.
    std::vector<std::string> Bytes() const;
    void ClearTranscript() { server_->ClearTranscript(); }

  private:
    void Begin(const sim::Config& config);

    int comPort_;
    bool ok_ = false;
    std::string error_;
    std::string previousDir_;
    std::string folder_;
    std::unique_ptr<sim::PtyServer> server_;
};

// Configures the stand-in GPIB library for the devices opened while it lives: sets
// DECADE_SIM_ARGS to the options and DECADE_SIM_TRANSCRIPT to a fresh file, and unsets
// both (and removes the file) in its destructor. Each instance gets a new decade.
class GpibSim {
  public:
    explicit GpibSim(const std::vector<std::string>& args);
    ~GpibSim();
    GpibSim(const GpibSim&) = delete;
    GpibSim& operator=(const GpibSim&) = delete;

    const std::string& transcriptPath() const { return transcript_; }
    // Everything the decade saw, in order: command lines without their line ends and the
    // library calls as "<ibdev 5>", "<ibpad 5>", "<ibtmo 13>", "<ibloc>", "<ibonl 0>".
    std::vector<std::string> Lines() const;
    // Only the command lines.
    std::vector<std::string> Commands() const;

  private:
    std::string transcript_;
};

// A plain termios client on a terminal path (raw mode), for tests that talk to a decade
// without the panel's serial layer; or a plain client on a TCP connection (TcpConnect).
class PlainClient {
  public:
    explicit PlainClient(const std::string& path);
    // Takes over a connected socket.
    explicit PlainClient(int socketFd);
    ~PlainClient();
    PlainClient(const PlainClient&) = delete;
    PlainClient& operator=(const PlainClient&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    bool Send(std::string_view bytes);
    // Bytes up to and including the first LF, or whatever came within timeoutMs.
    std::string ReadLine(int timeoutMs);
    // Everything that arrives within timeoutMs.
    std::string ReadFor(int timeoutMs);
    // Bytes until count have come, or whatever came within timeoutMs.
    std::string ReadCount(std::size_t count, int timeoutMs);
    // True when the terminal reports a hang-up or a read error within timeoutMs.
    bool HungUp(int timeoutMs);

  private:
    int fd_ = -1;
    bool socket_ = false;
};

// A TCP connection to 127.0.0.1:port, retried while nothing listens there yet; -1 when
// none came within timeoutMs.
int TcpConnect(int port, int timeoutMs = 1000);
// True when a connect to 127.0.0.1:port is refused.
bool TcpRefused(int port);
// A port on 127.0.0.1 that was free a moment ago, for a program that cannot pick one.
int FreePort();

// Joins options into one DECADE_SIM_ARGS text, quoting where needed.
std::string JoinArgs(const std::vector<std::string>& args);

}  // namespace simtest
