// A byte stream to one client, served on a background thread: a pseudo-terminal (the client
// opens its slave side like a serial port) or a TCP port (one connection at a time). What the
// bytes mean is the business of a Protocol: one decade, or a GPIB controller with decades
// behind it. The server reads, hands complete lines to the protocol, and writes its replies
// at the times the protocol names, with no sleeps in between.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace sim {

using Clock = std::chrono::steady_clock;

// Bytes to write, not before a time.
struct Chunk {
    Clock::time_point at;
    std::string bytes;
};

// What the server does after the protocol took one line.
struct Reply {
    std::vector<Chunk> chunks;      // written in order, each at its time
    Clock::time_point busyUntil{};  // the next line is not taken before this
    bool drop = false;              // hang up the link instead
};

class Protocol {
  public:
    virtual ~Protocol() = default;
    // Bytes from the client.
    virtual void Append(std::string_view bytes) = 0;
    // Handles the next complete line; nothing when no line is complete.
    virtual std::optional<Reply> Next(Clock::time_point now) = 0;
    // Forgets a partial line (the client went away).
    virtual void Reset() = 0;
    // Something happened on the link: "connect", "disconnect", "busy".
    virtual void Event(std::string_view text) = 0;
    // When the link is to be hung up on its own; nothing for never.
    virtual std::optional<Clock::time_point> DropDeadline() const { return std::nullopt; }
    // The deadline has passed: record it; the server hangs up next.
    virtual void DropNow() {}
    // Bytes to send unasked whenever the client takes them (empty: none). The view must
    // stay valid while the server lives.
    virtual std::string_view FloodBytes() const { return {}; }
};

// Where a TCP front end listens: HOST:PORT, HOST defaulting to 127.0.0.1, PORT 0 for any.
struct TcpAddress {
    std::string host = "127.0.0.1";
    int port = 0;
};

// Reads "[HOST:]PORT" ("4001", "localhost:4001", "0.0.0.0:0", "[::1]:1234"). Nothing on a
// mistake.
std::optional<TcpAddress> ParseTcpAddress(std::string_view text);

class StreamServer {
  public:
    // The protocol must outlive the server; every call into it is made under mutex().
    explicit StreamServer(Protocol* protocol);
    ~StreamServer();
    StreamServer(const StreamServer&) = delete;
    StreamServer& operator=(const StreamServer&) = delete;

    // Opens a pseudo-terminal (raw mode) and starts the thread.
    bool StartPty(std::string* error);
    // Listens on a TCP port and starts the thread.
    bool StartTcp(const TcpAddress& address, std::string* error);
    // Stops the thread, closes everything and removes the links. Safe to call twice.
    void Stop();

    // The pseudo-terminal's slave path, or "HOST:PORT" of the TCP port (the port bound).
    const std::string& Address() const { return address_; }
    int Port() const { return port_; }
    // Makes linkPath a symbolic link to the slave (replacing an older link there); removed
    // by Stop. Pseudo-terminal only.
    bool LinkAs(const std::string& linkPath);

    // True once the link was hung up by the protocol (a drop).
    bool Dropped() const { return dropped_; }
    long long FloodBytesSent() const { return floodBytes_; }
    // TCP: connections accepted and served, and those closed at once because one was open.
    int Connections() const { return connections_; }
    int Refused() const { return refused_; }

    std::mutex& mutex() const { return mutex_; }
    // Waits until pred() holds, evaluated under mutex() after each line and each event;
    // false on time-out.
    template <typename Pred>
    bool WaitUntil(Pred pred, int timeoutMs) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), pred);
    }

  private:
    enum class Wait { Reached, Stopped, DropDue };

    bool StartThread(std::string* error);
    void Run();
    // Serves the lines complete after bytes came in; false when the thread is to end.
    bool Serve(std::string_view bytes);
    bool Perform(const Reply& reply);  // false when the thread is to end
    bool WriteAll(std::string_view bytes);
    void Flood(std::string_view bytes);
    // Waits until when, unless Stop or the protocol's drop deadline comes first.
    Wait WaitFor(Clock::time_point when);
    void DropNow();
    void Accept();
    void CloseClient(const char* event);
    void Hangup();
    int Stream() const { return pty_ ? master_ : client_; }

    Protocol* protocol_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool pty_ = true;
    int master_ = -1;
    int slave_ = -1;  // kept open so the master never sees EIO while no client is open
    int listener_ = -1;
    int client_ = -1;
    int wake_[2] = {-1, -1};
    std::string address_;
    int port_ = 0;
    std::vector<std::string> links_;
    std::thread thread_;
    std::atomic<bool> dropped_{false};
    std::atomic<long long> floodBytes_{0};
    std::atomic<int> connections_{0};
    std::atomic<int> refused_{0};
    bool started_ = false;
};

}  // namespace sim
