#include "simulator/stream_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace sim {
namespace {

void CloseFd(int* fd) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
}

void SetCloexec(int fd) {
    ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

void SetNonblocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// Milliseconds from now until when, rounded up, at least 0.
int MillisUntil(Clock::time_point when) {
    const auto left = when - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

std::string NumericHost(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
        return std::string("[") + text + "]";
    }
    const auto* in4 = reinterpret_cast<const sockaddr_in*>(address);
    ::inet_ntop(AF_INET, &in4->sin_addr, text, sizeof text);
    return text;
}

}  // namespace

std::optional<TcpAddress> ParseTcpAddress(std::string_view text) {
    TcpAddress address;
    std::string_view port = text;
    if (!text.empty() && text.front() == '[') {  // [IPv6]:PORT
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            return std::nullopt;
        }
        address.host = std::string(text.substr(1, close - 1));
        port = text.substr(close + 2);
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
        if (text.find(':') != colon) return std::nullopt;  // a bare IPv6 address needs brackets
        if (colon > 0) address.host = std::string(text.substr(0, colon));
        port = text.substr(colon + 1);
    }
    if (address.host.empty() || port.empty() || port.size() > 5) return std::nullopt;
    int number = 0;
    const auto [ptr, ec] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (ec != std::errc() || ptr != port.data() + port.size() || number < 0 || number > 65535) {
        return std::nullopt;
    }
    address.port = number;
    return address;
}

StreamServer::StreamServer(Protocol* protocol) : protocol_(protocol) {}

StreamServer::~StreamServer() {
    Stop();
}

bool StreamServer::StartPty(std::string* error) {
    if (started_) return true;
    pty_ = true;
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) {
        if (error) *error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    SetCloexec(master_);
    char name[PATH_MAX];
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        if (error) *error = "cannot set up the pseudo-terminal";
        CloseFd(&master_);
        return false;
    }
    address_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        if (error) *error = "cannot open " + address_;
        CloseFd(&master_);
        return false;
    }
    termios raw{};
    if (::tcgetattr(slave_, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(slave_, TCSANOW, &raw);
    }
    SetNonblocking(master_);
    return StartThread(error);
}

bool StreamServer::StartTcp(const TcpAddress& address, std::string* error) {
    if (started_) return true;
    pty_ = false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(address.port);
    const int status = ::getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found);
    if (status != 0) {
        if (error) *error = "cannot listen on " + address.host + ": " + ::gai_strerror(status);
        return false;
    }
    std::string reason = "no address";
    for (addrinfo* a = found; a != nullptr && listener_ < 0; a = a->ai_next) {
        listener_ =
            ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (listener_ < 0) continue;
        const int on = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(listener_, a->ai_addr, a->ai_addrlen) != 0 || ::listen(listener_, 4) != 0) {
            reason = std::strerror(errno);
            CloseFd(&listener_);
        }
    }
    ::freeaddrinfo(found);
    if (listener_ < 0) {
        if (error) *error = "cannot listen on " + address.host + ":" + port + ": " + reason;
        return false;
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&bound), &length);
    const auto* asSockaddr = reinterpret_cast<const sockaddr*>(&bound);
    port_ =
        ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                                          : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
    address_ = NumericHost(asSockaddr) + ":" + std::to_string(port_);
    return StartThread(error);
}

bool StreamServer::StartThread(std::string* error) {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error) *error = "cannot make a pipe";
        CloseFd(&slave_);
        CloseFd(&master_);
        CloseFd(&listener_);
        return false;
    }
    started_ = true;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void StreamServer::Stop() {
    if (started_) {
        const char byte = 'q';
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
        if (thread_.joinable()) thread_.join();
        started_ = false;
    }
    CloseFd(&wake_[0]);
    CloseFd(&wake_[1]);
    CloseFd(&client_);
    CloseFd(&listener_);
    CloseFd(&slave_);
    CloseFd(&master_);
    for (const std::string& link : links_) ::unlink(link.c_str());
    links_.clear();
}

bool StreamServer::LinkAs(const std::string& linkPath) {
    if (!pty_ || address_.empty()) return false;
    char target[PATH_MAX];
    const ssize_t length = ::readlink(linkPath.c_str(), target, sizeof target);
    if (length >= 0) {
        ::unlink(linkPath.c_str());  // an older link (a dead simulator's) is replaced
    } else if (errno != ENOENT && errno != EINVAL) {
        return false;
    }
    if (::symlink(address_.c_str(), linkPath.c_str()) != 0) return false;
    links_.push_back(linkPath);
    return true;
}

void StreamServer::Run() {
    char buffer[4096];
    while (true) {
        std::optional<Clock::time_point> deadline;
        std::string_view flood;
        {
            std::lock_guard lock(mutex_);
            deadline = protocol_->DropDeadline();
            flood = protocol_->FloodBytes();
        }
        const int stream = Stream();
        pollfd fds[3] = {{wake_[0], POLLIN, 0}, {-1, 0, 0}, {-1, 0, 0}};
        nfds_t count = 1;
        const nfds_t streamAt = stream >= 0 ? count++ : 0;
        if (stream >= 0) {
            // A flooding decade writes whenever the client takes more; when it stops
            // reading, the queue fills and the server waits like any other time.
            fds[streamAt] = {stream, static_cast<short>(POLLIN | (flood.empty() ? 0 : POLLOUT)), 0};
        }
        const nfds_t listenAt = listener_ >= 0 ? count++ : 0;
        if (listener_ >= 0) fds[listenAt] = {listener_, POLLIN, 0};
        if (::poll(fds, count, deadline ? MillisUntil(*deadline) : -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents != 0) break;
        if (deadline && Clock::now() >= *deadline) {
            DropNow();
            break;
        }
        if (listenAt != 0 && (fds[listenAt].revents & POLLIN)) Accept();
        if (streamAt == 0) continue;
        const short events = fds[streamAt].revents;
        if (!flood.empty() && (events & POLLOUT)) Flood(flood);
        if (events & POLLIN) {
            const ssize_t n = ::read(stream, buffer, sizeof buffer);
            if (n > 0) {
                if (!Serve(std::string_view(buffer, static_cast<std::size_t>(n)))) break;
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (!pty_) {
                CloseClient("disconnect");  // end of stream or a reset connection
                continue;
            }
        }
        if (events & (POLLHUP | POLLERR | POLLNVAL)) {
            if (!pty_) {
                CloseClient("disconnect");
                continue;
            }
            // Cannot happen while the server holds its own slave open; never spin on it.
            const Wait wait = WaitFor(Clock::now() + std::chrono::milliseconds(50));
            if (wait == Wait::DropDue) DropNow();
            if (wait != Wait::Reached) break;
        }
    }
}

bool StreamServer::Serve(std::string_view bytes) {
    {
        std::lock_guard lock(mutex_);
        protocol_->Append(bytes);
    }
    while (true) {
        std::optional<Reply> reply;
        {
            std::lock_guard lock(mutex_);
            reply = protocol_->Next(Clock::now());
        }
        changed_.notify_all();
        if (!reply) return true;
        if (reply->drop) {
            Hangup();
            return false;
        }
        if (!Perform(*reply)) return false;
    }
}

bool StreamServer::Perform(const Reply& reply) {
    for (const Chunk& chunk : reply.chunks) {
        const Wait wait = WaitFor(chunk.at);
        if (wait == Wait::Stopped) return false;
        if (wait == Wait::DropDue) {
            DropNow();
            return false;
        }
        if (Stream() >= 0) WriteAll(chunk.bytes);
    }
    const Wait wait = WaitFor(reply.busyUntil);
    if (wait == Wait::DropDue) DropNow();
    return wait == Wait::Reached;
}

StreamServer::Wait StreamServer::WaitFor(Clock::time_point when) {
    std::optional<Clock::time_point> deadline;
    {
        std::lock_guard lock(mutex_);
        deadline = protocol_->DropDeadline();
    }
    const bool dropFirst = deadline && *deadline <= when;
    const Clock::time_point until = dropFirst ? *deadline : when;
    // No wait at all for what is due already: a reply goes out without a system call more.
    if (Clock::now() >= until) return dropFirst ? Wait::DropDue : Wait::Reached;
    while (true) {
        pollfd wake{wake_[0], POLLIN, 0};
        const int n = ::poll(&wake, 1, MillisUntil(until));
        if (n > 0) return Wait::Stopped;
        if (n < 0 && errno != EINTR) return Wait::Stopped;
        if (Clock::now() >= until) return dropFirst ? Wait::DropDue : Wait::Reached;
    }
}

void StreamServer::DropNow() {
    {
        std::lock_guard lock(mutex_);
        protocol_->DropNow();
    }
    Hangup();
    changed_.notify_all();
}

bool StreamServer::WriteAll(std::string_view bytes) {
    std::size_t done = 0;
    bool flushed = false;
    while (done < bytes.size()) {
        const int fd = Stream();
        const ssize_t n = pty_ ? ::write(fd, bytes.data() + done, bytes.size() - done)
                               : ::send(fd, bytes.data() + done, bytes.size() - done,
                                        MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd out{fd, POLLOUT, 0};
            if (::poll(&out, 1, pty_ ? 100 : 1000) > 0) continue;
            // Nobody reads: old replies filled the queue. On the terminal they are dropped
            // once; a network client that reads nothing for a second loses this reply.
            if (!pty_ || flushed) return false;
            ::tcflush(slave_, TCIFLUSH);
            flushed = true;
            continue;
        }
        return false;
    }
    return true;
}

void StreamServer::Flood(std::string_view bytes) {
    // One non-blocking write of what fits; the rest waits for the next POLLOUT.
    const ssize_t n =
        pty_ ? ::write(master_, bytes.data(), bytes.size())
             : ::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) floodBytes_ += n;
}

void StreamServer::Accept() {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    if (client_ >= 0) {
        // One client at a time, as a serial port has: a second connection is closed at once
        // (counted and recorded first, so that whoever sees it closed sees it counted).
        ++refused_;
        {
            std::lock_guard lock(mutex_);
            protocol_->Event("busy");
        }
        changed_.notify_all();
        ::close(fd);
        return;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    client_ = fd;
    ++connections_;
    {
        std::lock_guard lock(mutex_);
        protocol_->Event("connect");
    }
    changed_.notify_all();
}

void StreamServer::CloseClient(const char* event) {
    CloseFd(&client_);
    {
        std::lock_guard lock(mutex_);
        protocol_->Reset();
        protocol_->Event(event);
    }
    changed_.notify_all();
}

void StreamServer::Hangup() {
    // Closing the master hangs up the slave side: the client's reads and writes fail and its
    // poll reports POLLHUP. A TCP client sees the connection closed, and later connects are
    // refused. Links stay (dangling) until Stop.
    // The port goes first: a client that sees its connection end finds the port closed.
    dropped_ = true;
    CloseFd(&listener_);
    CloseFd(&client_);
    CloseFd(&slave_);
    CloseFd(&master_);
}

}  // namespace sim
