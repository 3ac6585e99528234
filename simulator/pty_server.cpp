#include "simulator/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <utility>

namespace sim {
namespace {

constexpr std::size_t kMaxPending = 4096;  // a "line" longer than this is thrown away

void CloseFd(int* fd) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
}

void SetCloexec(int fd) {
    ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

}  // namespace

PtyServer::PtyServer(Config config) : device_(std::move(config)) {}

PtyServer::~PtyServer() {
    Stop();
}

bool PtyServer::Start() {
    if (started_) return true;
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) return false;
    SetCloexec(master_);
    char name[PATH_MAX];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        CloseFd(&master_);
        return false;
    }
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        CloseFd(&master_);
        return false;
    }
    termios raw{};
    if (::tcgetattr(slave_, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(slave_, TCSANOW, &raw);
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        CloseFd(&slave_);
        CloseFd(&master_);
        return false;
    }
    started_ = true;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void PtyServer::Stop() {
    if (started_) {
        const char byte = 'q';
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
        if (thread_.joinable()) thread_.join();
        started_ = false;
    }
    CloseFd(&wake_[0]);
    CloseFd(&wake_[1]);
    CloseFd(&slave_);
    CloseFd(&master_);
    for (const std::string& link : links_) ::unlink(link.c_str());
    links_.clear();
}

bool PtyServer::LinkAs(const std::string& linkPath) {
    if (slavePath_.empty()) return false;
    char target[PATH_MAX];
    const ssize_t length = ::readlink(linkPath.c_str(), target, sizeof target);
    if (length >= 0) {
        ::unlink(linkPath.c_str());  // an older link (a dead simulator's) is replaced
    } else if (errno != ENOENT && errno != EINVAL) {
        return false;
    }
    if (::symlink(slavePath_.c_str(), linkPath.c_str()) != 0) return false;
    links_.push_back(linkPath);
    return true;
}

std::vector<Record> PtyServer::Transcript() const {
    return device_.transcript().Records();
}

std::vector<std::string> PtyServer::Lines() const {
    return device_.transcript().Lines();
}

void PtyServer::ClearTranscript() {
    device_.transcript().Clear();
}

bool PtyServer::WaitForLines(std::size_t count, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return linesChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return device_.transcript().Records().size() >= count; });
}

void PtyServer::Run() {
    std::string pending;
    char buffer[4096];
    bool stop = false;
    while (!stop) {
        bool flooding = false;
        {
            std::lock_guard lock(mutex_);
            flooding = device_.flooding();
        }
        // A flooding decade writes whenever the terminal takes more; when the client stops
        // reading, the queue fills and the server waits like any other time.
        const short events = static_cast<short>(POLLIN | (flooding ? POLLOUT : 0));
        pollfd fds[2] = {{master_, events, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents != 0) break;
        if (flooding && (fds[0].revents & POLLOUT)) Flood();
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0) {
                pending.append(buffer, static_cast<std::size_t>(n));
                std::size_t newline;
                while (!stop && (newline = pending.find('\n')) != std::string::npos) {
                    const std::string line = pending.substr(0, newline + 1);
                    pending.erase(0, newline + 1);
                    HandleLine(line, &stop);
                }
                if (pending.size() > kMaxPending) pending.clear();
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        }
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // Cannot happen while the server holds its own slave open; never spin on it.
            if (!Pause(50)) break;
        }
    }
}

void PtyServer::HandleLine(const std::string& line, bool* stop) {
    Response response;
    {
        std::lock_guard lock(mutex_);
        response = device_.OnLine(line);
    }
    linesChanged_.notify_all();
    if (response.drop) {
        Hangup();
        *stop = true;
        return;
    }
    if (!response.send) return;
    if (response.delayMs > 0 && !Pause(response.delayMs)) {
        *stop = true;
        return;
    }
    WriteAll(response.bytes);
}

bool PtyServer::WriteAll(const std::string& bytes) {
    std::size_t done = 0;
    bool flushed = false;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd out{master_, POLLOUT, 0};
            if (::poll(&out, 1, 100) > 0) continue;
            // Nobody reads the slave: old replies filled its queue. Drop them once.
            if (flushed) return false;
            ::tcflush(slave_, TCIFLUSH);
            flushed = true;
            continue;
        }
        return false;
    }
    return true;
}

void PtyServer::Flood() {
    std::string chunk;
    while (chunk.size() < 4096) chunk += kFloodLine;
    // One non-blocking write of what fits; the rest waits for the next POLLOUT.
    const ssize_t n = ::write(master_, chunk.data(), chunk.size());
    if (n > 0) floodBytes_ += n;
}

bool PtyServer::Pause(int ms) {
    pollfd wake{wake_[0], POLLIN, 0};
    return ::poll(&wake, 1, ms) == 0;
}

void PtyServer::Hangup() {
    // Closing the master hangs up the slave side: the client's reads and writes fail and
    // its poll reports POLLHUP. The link stays (dangling) until Stop.
    dropped_ = true;
    CloseFd(&slave_);
    CloseFd(&master_);
}

}  // namespace sim
