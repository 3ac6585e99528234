// One simulated decade behind a byte stream: a pseudo-terminal (PtyServer) or a TCP port as a
// serial device server in raw mode gives it (TcpServer). Lines end at a line feed; each is
// answered as soon as it is complete.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "simulator/config.h"
#include "simulator/device.h"
#include "simulator/stream_server.h"

namespace sim {

// The single decade's side of the stream: framing at LF, faults and transcript of Device.
class DecadeProtocol : public Protocol {
  public:
    explicit DecadeProtocol(Config config) : device_(std::move(config)) {}

    void Append(std::string_view bytes) override;
    std::optional<Reply> Next(Clock::time_point now) override;
    void Reset() override { pending_.clear(); }
    void Event(std::string_view text) override { device_.transcript().Event(text); }
    std::optional<Clock::time_point> DropDeadline() const override {
        return device_.DropDeadline();
    }
    void DropNow() override { device_.DropNow(); }
    std::string_view FloodBytes() const override;

    Device& device() { return device_; }
    const Device& device() const { return device_; }

  private:
    Device device_;
    std::string pending_;
};

class DecadeServer {
  public:
    explicit DecadeServer(Config config) : protocol_(std::move(config)), server_(&protocol_) {}
    virtual ~DecadeServer() { server_.Stop(); }
    DecadeServer(const DecadeServer&) = delete;
    DecadeServer& operator=(const DecadeServer&) = delete;

    // Stops the thread, closes the link and removes the links made. Safe to call twice.
    void Stop() { server_.Stop(); }

    // The terminal's path, or HOST:PORT of the TCP port.
    const std::string& Address() const { return server_.Address(); }

    std::vector<Record> Transcript() const { return protocol_.device().transcript().Records(); }
    // Received lines without line ends, events (<drop>, <connect>, ...) among them.
    std::vector<std::string> Lines() const { return protocol_.device().transcript().Lines(); }
    void ClearTranscript() { protocol_.device().transcript().Clear(); }
    // Waits until at least count lines are in the transcript; false on time-out.
    bool WaitForLines(std::size_t count, int timeoutMs) const;
    // True once the link was dropped (--drop-after, --drop-at).
    bool Dropped() const { return server_.Dropped(); }
    // The bytes --flood-after has sent so far.
    long long FloodBytes() const { return server_.FloodBytesSent(); }

    // Runs fn with the engine under the server's lock, to read or change the state.
    template <typename Fn>
    auto WithEngine(Fn&& fn) {
        std::lock_guard lock(server_.mutex());
        return fn(protocol_.device().engine());
    }

  protected:
    DecadeProtocol protocol_;
    StreamServer server_;
};

// The decade on a pseudo-terminal; the serial layer opens the slave side like any serial
// port.
class PtyServer : public DecadeServer {
  public:
    explicit PtyServer(Config config) : DecadeServer(std::move(config)) {}

    // Opens the pty (raw mode) and starts the thread. False when the pty cannot be made.
    bool Start() { return server_.StartPty(nullptr); }
    std::string SlavePath() const { return server_.Address(); }
    // Makes linkPath a symbolic link to the slave (replacing an older link there); the link
    // is removed by Stop.
    bool LinkAs(const std::string& linkPath) { return server_.LinkAs(linkPath); }
};

// The decade on a TCP port, as a serial device server in raw mode offers a serial port: the
// bytes pass unchanged, one connection at a time (a second one is closed at once, recorded
// as <busy>). The decade keeps its state from one connection to the next; connects and
// closes are recorded as <connect> and <disconnect>. A drop closes the connection and the
// port: later connects are refused.
class TcpServer : public DecadeServer {
  public:
    explicit TcpServer(Config config) : DecadeServer(std::move(config)) {}

    bool Start(const TcpAddress& address, std::string* error = nullptr) {
        return server_.StartTcp(address, error);
    }
    int Port() const { return server_.Port(); }
    int Connections() const { return server_.Connections(); }
    int Refused() const { return server_.Refused(); }
};

}  // namespace sim
