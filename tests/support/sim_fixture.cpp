#include "support/sim_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>

#include "simulator/transcript.h"

namespace simtest {
namespace {

std::string MakeTempFolder() {
    char pattern[] = "/tmp/ombrastel-sim-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    return made ? made : "";
}

}  // namespace

SimFixture::SimFixture(const sim::Config& config, int comPort) : comPort_(comPort) {
    Begin(config);
}

SimFixture::SimFixture(const std::vector<std::string>& args, int comPort) : comPort_(comPort) {
    const std::optional<sim::Config> config = sim::ParseArgs(args, &error_);
    if (!config) {
        server_ = std::make_unique<sim::PtyServer>(sim::Config{});
        return;
    }
    Begin(*config);
}

void SimFixture::Begin(const sim::Config& config) {
    server_ = std::make_unique<sim::PtyServer>(config);
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) {
        error_ = "no working directory";
        return;
    }
    previousDir_ = cwd;
    folder_ = MakeTempFolder();
    if (folder_.empty() || ::chdir(folder_.c_str()) != 0) {
        error_ = "cannot make or enter a temporary folder";
        return;
    }
    if (!server_->Start()) {
        error_ = "cannot open a pseudo-terminal";
        return;
    }
    if (!server_->LinkAs(linkPath())) {
        error_ = "cannot make the link " + linkPath();
        return;
    }
    ok_ = true;
}

SimFixture::~SimFixture() {
    server_->Stop();
    if (!previousDir_.empty() && ::chdir(previousDir_.c_str()) != 0) {
        std::perror("SimFixture: chdir back");
    }
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

std::string SimFixture::linkPath() const {
    return folder_ + "/com" + std::to_string(comPort_);
}

std::vector<std::string> SimFixture::Bytes() const {
    std::vector<std::string> bytes;
    for (const sim::Record& r : server_->Transcript()) bytes.push_back(r.bytes);
    return bytes;
}

PlainClient::PlainClient(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return;
    termios raw{};
    if (::tcgetattr(fd_, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(fd_, TCSANOW, &raw);
    }
}

PlainClient::PlainClient(int socketFd) : fd_(socketFd), socket_(true) {
    if (fd_ >= 0) ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
}

PlainClient::~PlainClient() {
    if (fd_ >= 0) ::close(fd_);
}

bool PlainClient::Send(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        // A closed connection fails the send instead of raising SIGPIPE.
        const ssize_t n = socket_
                              ? ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                              : ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd out{fd_, POLLOUT, 0};
            if (::poll(&out, 1, 1000) <= 0) return false;
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

namespace {

// Reads until a LF came (stopAtLineFeed), count bytes came (count > 0) or the time is up.
std::string ReadUntil(int fd, int timeoutMs, bool stopAtLineFeed, std::size_t count = 0) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string bytes;
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd in{fd, POLLIN, 0};
        if (::poll(&in, 1, static_cast<int>(left)) <= 0) break;
        if (!(in.revents & POLLIN)) break;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (stopAtLineFeed && bytes.find('\n') != std::string::npos) break;
        if (count > 0 && bytes.size() >= count) break;
    }
    return bytes;
}

}  // namespace

std::string PlainClient::ReadLine(int timeoutMs) {
    return ReadUntil(fd_, timeoutMs, true);
}

std::string PlainClient::ReadFor(int timeoutMs) {
    return ReadUntil(fd_, timeoutMs, false);
}

std::string PlainClient::ReadCount(std::size_t count, int timeoutMs) {
    return ReadUntil(fd_, timeoutMs, false, count);
}

bool PlainClient::HungUp(int timeoutMs) {
    pollfd in{fd_, POLLIN, 0};
    if (::poll(&in, 1, timeoutMs) <= 0) return false;
    if (in.revents & (POLLHUP | POLLERR)) return true;
    char byte;
    return ::read(fd_, &byte, 1) <= 0;
}

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int Connect(int port, int* error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        return fd;
    }
    *error = errno;
    ::close(fd);
    return -1;
}

}  // namespace

int TcpConnect(int port, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int error = 0;
    int fd = -1;
    while ((fd = Connect(port, &error)) < 0 && error == ECONNREFUSED &&
           std::chrono::steady_clock::now() < deadline) {
        ::usleep(20000);
    }
    return fd;
}

bool TcpRefused(int port) {
    int error = 0;
    const int fd = Connect(port, &error);
    if (fd >= 0) ::close(fd);
    return fd < 0 && error == ECONNREFUSED;
}

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    const bool bound = fd >= 0 &&
                       ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (fd >= 0) ::close(fd);
    return bound ? ntohs(address.sin_port) : 0;
}

std::string JoinArgs(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& arg : args) {
        if (!text.empty()) text += ' ';
        text += '\'';
        for (char c : arg) {
            if (c == '\'') {
                text += "'\\''";
            } else {
                text += c;
            }
        }
        text += '\'';
    }
    return text;
}

GpibSim::GpibSim(const std::vector<std::string>& args) {
    char pattern[] = "/tmp/ombrastel-gpib-XXXXXX";
    const int fd = ::mkstemp(pattern);
    if (fd >= 0) {
        ::close(fd);
        transcript_ = pattern;
    }
    ::setenv("DECADE_SIM_ARGS", JoinArgs(args).c_str(), 1);
    ::setenv("DECADE_SIM_TRANSCRIPT", transcript_.c_str(), 1);
}

GpibSim::~GpibSim() {
    ::unsetenv("DECADE_SIM_ARGS");
    ::unsetenv("DECADE_SIM_TRANSCRIPT");
    if (!transcript_.empty()) ::unlink(transcript_.c_str());
}

std::vector<std::string> GpibSim::Lines() const {
    return sim::Transcript::ReadLines(transcript_);
}

std::vector<std::string> GpibSim::Commands() const {
    std::vector<std::string> commands;
    for (std::string& line : Lines()) {
        if (line.empty() || line.front() != '<' || line.back() != '>') {
            commands.push_back(std::move(line));
        }
    }
    return commands;
}

}  // namespace simtest
