#include "link/serial_transport.h"

#include <array>
#include <atomic>
#include <utility>

#include "link/outcome.h"
#include "platform/rs232.h"

namespace links {

namespace {

constexpr int kLineFeed = 10;
// A device named by its path is opened in the place of COM1 of the serial layer.
constexpr int kDevicePort = 1;

// The transport that watches each port while it is idle, for the serial layer's hang-up
// handler. Plain pointers, so nothing here is left to destroy at the end of the program.
std::array<std::atomic<SerialTransport*>, kLastComPort + 1> watching{};

std::string Quoted(std::string_view command) {
    return "\"" + std::string(command) + "\"";
}

}  // namespace

SerialTransport::SerialTransport(const ComPort& port, int baudRate)
    : address_(port), port_(port.number), baudRate_(baudRate) {}

SerialTransport::SerialTransport(const SerialDevice& device, int baudRate)
    : address_(device), port_(kDevicePort), path_(device.path), baudRate_(baudRate) {}

SerialTransport::~SerialTransport() {
    StopWatching();
}

std::string SerialTransport::Describe() const {
    return name_.empty() ? LinkName(address_) : name_;
}

bool SerialTransport::Open(std::string& reason) {
    // Named as it is when it opens: the device a comN link stands for may be gone by the
    // time a failure names the link.
    name_ = LinkName(address_);
    if (rs232::OpenComConfig(port_, path_, baudRate_, 0, 8, 1, 512, 512) != 0) {
        reason = rs232::OpenError(port_);
        // The layer names the port it used; a device given by its path is that path.
        const std::string layerName = "COM" + std::to_string(port_) + " is ";
        if (!path_.empty() && reason.rfind(layerName, 0) == 0) reason.erase(0, layerName.size());
        return false;
    }
    rs232::SetXMode(port_, 0);
    rs232::SetCTSMode(port_, 0);
    rs232::ComSetEscape(port_, 5);  // DTR raised
    rs232::ComSetEscape(port_, 4);  // RTS lowered
    rs232::SetComTime(port_, 1.0);
    return true;
}

void SerialTransport::EmptyInput() {
    rs232::FlushInQ(port_);
}

ExchangeResult SerialTransport::Gone(std::string_view command) const {
    return {LinkOutcome::LinkGone,
            Describe() + " closed at " + Quoted(command) + ": " + rs232::ClosedReason(port_)};
}

bool SerialTransport::Write(std::string_view line, std::string_view command,
                            ExchangeResult& failure) {
    rs232::ComWrt(port_, line.data(), static_cast<int>(line.size()));
    if (rs232::IsOpen(port_)) return true;
    failure = Gone(command);  // the layer closed the port: the line is gone
    return false;
}

ReplyRead SerialTransport::ReadLine(std::string_view command) {
    char buffer[kMaxReplyLength + 1] = {};
    const int count =
        rs232::ComRdTerm(port_, buffer, static_cast<int>(kMaxReplyLength), kLineFeed);
    const std::string_view bytes(buffer, kMaxReplyLength);
    ReplyRead read;
    // A read error reports a negative count, which gives no bytes and the empty reply.
    read.received = std::string(bytes.substr(0, count < 0 ? 0 : static_cast<std::size_t>(count)));
    read.lineEnded = rs232::LastReadEndedAtTerminator();
    read.reply = ReplyFromBytes(bytes, count);
    if (!rs232::IsOpen(port_)) {
        read.failure = Gone(command);
    } else if (!rs232::LastReadGotByte(port_)) {
        read.failure = {LinkOutcome::NoAnswer,
                        Describe() + ": no answer to " + Quoted(command) + " within the time-out"};
    }
    return read;
}

void SerialTransport::Close() {
    StopWatching();
    rs232::CloseCom(port_);
}

void SerialTransport::Release() {
    Close();  // closing a port says nothing to the decade
}

bool SerialTransport::Lost() const {
    return !rs232::IsOpen(port_);
}

std::string SerialTransport::LostReason() const {
    return rs232::ClosedReason(port_);
}

bool SerialTransport::WatchWhileIdle(std::function<void()> gone) {
    if (port_ < 0 || port_ > kLastComPort) return false;
    gone_ = std::move(gone);
    watching[static_cast<std::size_t>(port_)] = this;
    rs232::SetHangUpHandler(&SerialTransport::HungUp);
    return true;
}

void SerialTransport::HungUp(int port) {
    if (port < 0 || port > kLastComPort) return;
    SerialTransport* transport = watching[static_cast<std::size_t>(port)];
    if (transport == nullptr || !transport->gone_) return;
    const std::function<void()> gone = transport->gone_;  // it may let the transport go
    gone();
}

void SerialTransport::StopWatching() {
    if (port_ < 0 || port_ > kLastComPort) return;
    SerialTransport* self = this;
    watching[static_cast<std::size_t>(port_)].compare_exchange_strong(self, nullptr);
}

}  // namespace links
