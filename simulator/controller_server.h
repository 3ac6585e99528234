// The "++" GPIB controller with its decades, on a pseudo-terminal (its USB serial port) or a
// TCP port (its network port, one connection at a time), served on a background thread.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "simulator/controller.h"
#include "simulator/stream_server.h"

namespace sim {

class ControllerServer {
  public:
    ControllerServer(ControllerConfig config, const std::vector<std::pair<int, Config>>& decades)
        : controller_(std::move(config), decades), server_(&controller_) {}
    ~ControllerServer() { server_.Stop(); }
    ControllerServer(const ControllerServer&) = delete;
    ControllerServer& operator=(const ControllerServer&) = delete;

    bool StartPty(std::string* error = nullptr) { return server_.StartPty(error); }
    bool StartTcp(const TcpAddress& address, std::string* error = nullptr) {
        return server_.StartTcp(address, error);
    }
    void Stop() { server_.Stop(); }

    // The terminal's path, or HOST:PORT of the TCP port.
    const std::string& Address() const { return server_.Address(); }
    int Port() const { return server_.Port(); }
    bool LinkAs(const std::string& linkPath) { return server_.LinkAs(linkPath); }
    // True once the controller hung up the link (a drop).
    bool Dropped() const { return server_.Dropped(); }
    int Connections() const { return server_.Connections(); }
    int Refused() const { return server_.Refused(); }

    // The host's lines exactly as they came (escapes kept, line ends off) and the link's
    // events (<connect>, <disconnect>, <busy>, <drop>).
    std::vector<std::string> HostLines() const { return controller_.host().Lines(); }
    // One decade's transcript: its received lines without line ends, and the bus events it
    // saw (<clr>, <loc>, <ifc>, <llo>, <trg>, <drop>). Empty when no decade is there.
    std::vector<std::string> Lines(int address) const;
    std::vector<Record> Transcript(int address) const;
    ControllerSettings Settings() const;

    // Wait until the host sent count lines (events included), or a decade's transcript holds
    // count entries; false on time-out.
    bool WaitForHostLines(std::size_t count, int timeoutMs) const;
    bool WaitForLines(int address, std::size_t count, int timeoutMs) const;

    // Runs fn with the engine of the decade at address under the server's lock. The decade
    // must be there.
    template <typename Fn>
    auto WithEngine(int address, Fn&& fn) {
        std::lock_guard lock(server_.mutex());
        return fn(controller_.DecadeAt(address)->engine());
    }

  private:
    Controller controller_;
    StreamServer server_;
};

}  // namespace sim
