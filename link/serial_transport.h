// A link over a serial port (platform/rs232): COM n, or a device by its path. 8 data bits,
// no parity, 1 stop bit, no handshake, DTR raised, RTS lowered, 1 s time-out.
#pragma once

#include <functional>
#include <string>

#include "link/transport.h"

namespace links {

class SerialTransport final : public Transport {
  public:
    // COM n (1..256), or a device by its path.
    SerialTransport(const ComPort& port, int baudRate);
    SerialTransport(const SerialDevice& device, int baudRate);
    ~SerialTransport() override;
    SerialTransport(const SerialTransport&) = delete;
    SerialTransport& operator=(const SerialTransport&) = delete;

    std::string Describe() const override;
    bool Open(std::string& reason) override;
    bool Usable() const override { return true; }
    void EmptyInput() override;
    bool Write(std::string_view line, std::string_view command, ExchangeResult& failure) override;
    ReplyRead ReadLine(std::string_view command) override;
    void Close() override;
    void Release() override;
    bool Lost() const override;
    std::string LostReason() const override;
    bool WatchWhileIdle(std::function<void()> gone) override;
    bool SwitchesRemote() const override { return false; }
    bool MarksReplyEnd() const override { return false; }

  private:
    static void HungUp(int port);
    void StopWatching();
    ExchangeResult Gone(std::string_view command) const;

    LinkAddress address_;
    std::string name_;  // what the link was when it opened (Describe)
    int port_;          // the serial layer's port number (a device by path uses COM1's)
    std::string path_;  // empty: COM n
    int baudRate_;
    std::function<void()> gone_;
};

}  // namespace links
