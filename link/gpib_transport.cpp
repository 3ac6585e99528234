#include "link/gpib_transport.h"

#include "link/outcome.h"
#include "platform/gpib.h"
#include "platform/link_thread.h"

namespace links {

namespace {

constexpr const char* kGpibPrefix = "v212";
constexpr double kWaitBeforeFirstRead = 0.1;  // seconds

std::string Quoted(std::string_view command) {
    return "\"" + std::string(command) + "\"";
}

}  // namespace

GpibTransport::GpibTransport(const GpibDevice& device) {
    record_.address = device.address;
}

std::unique_ptr<GpibTransport> GpibTransport::Adopting(const GpibDevice& address, int device) {
    auto transport = std::make_unique<GpibTransport>(address);
    transport->record_.device = device;
    return transport;
}

std::string GpibTransport::Describe() const {
    return LinkName(GpibDevice{record_.address});
}

bool GpibTransport::Open(std::string& reason) {
    gpib::CloseInstrDevs(kGpibPrefix);  // descriptors left from earlier opens
    record_.device = gpib::OpenDev("", kGpibPrefix, record_.address);
    if (record_.device < 0) {
        reason = gpib::LastError();
        return false;
    }
    gpib::ibtmo(record_.device, gpib::T10s);
    gpib::ibpad(record_.device, record_.address);
    return true;
}

// A GPIB call that failed: a time-out is no answer; an error that says the board or the
// device is not there any more (driver error, no listener, no board) is a link gone.
ExchangeResult GpibTransport::Failure(int status, const char* call,
                                      std::string_view command) const {
    const int error = gpib::iberr();
    const std::string address = std::to_string(record_.address);
    const std::string where = Describe() + ": ";
    const std::string what = std::string(call) + " " + Quoted(command);
    if ((status & gpib::TIMO) != 0 || error == gpib::EABO) {
        return {LinkOutcome::NoAnswer,
                where + "no answer to " + Quoted(command) + " within the time-out"};
    }
    if (error == gpib::ENOL) {
        return {LinkOutcome::LinkGone,
                where + "no listener at address " + address + " (" + what + ")"};
    }
    const LinkOutcome outcome = (error == gpib::EDVR || error == gpib::ENEB || error < 0)
                                    ? LinkOutcome::LinkGone
                                    : LinkOutcome::NoAnswer;
    return {outcome, where + what + " failed: " + gpib::ErrorName(error)};
}

bool GpibTransport::Write(std::string_view line, std::string_view command,
                          ExchangeResult& failure) {
    const int written = gpib::ibwrt(record_.device, line.data(), static_cast<long>(line.size()));
    if ((written & gpib::ERR) == 0) return true;
    failure = Failure(written, "write", command);
    return false;
}

ReplyRead GpibTransport::ReadLine(std::string_view command) {
    if (record_.firstReadDone == 0) {
        record_.firstReadDone = 1;
        linkthread::Delay(kWaitBeforeFirstRead);
    }
    ReplyRead read;
    // A cancel that came while the command went out or during the wait: no read, which
    // would not see it and wait out the 10 s time-out.
    if (linkthread::CancelRequested()) {
        read.failure = {LinkOutcome::NoAnswer,
                        Describe() + ": no answer to " + Quoted(command) + " within the time-out"};
        return read;
    }
    char buffer[kMaxReplyLength + 1] = {};
    const int status = gpib::ibrd(record_.device, buffer, static_cast<long>(kMaxReplyLength));
    const long count = gpib::ibcntl();
    const std::string_view bytes(buffer, kMaxReplyLength);
    const long shown = count < 0 ? 0 : (count > static_cast<long>(kMaxReplyLength)
                                            ? static_cast<long>(kMaxReplyLength)
                                            : count);
    read.received = std::string(bytes.substr(0, static_cast<std::size_t>(shown)));
    // A failed read, or a count the layer cannot vouch for, is no reply at all.
    if ((status & gpib::ERR) != 0) {
        read.failure = Failure(status, "read after", command);
    } else if (count >= 0 && count <= static_cast<long>(kMaxReplyLength)) {
        read.reply = ReplyFromBytes(bytes, count);
    }
    return read;
}

void GpibTransport::Close() {
    if (record_.device >= 0) gpib::CloseDev(record_.device);  // the decade back to local
    record_.firstReadDone = 0;
}

void GpibTransport::Release() {
    if (record_.device >= 0) gpib::ReleaseDev(record_.device);
    record_.firstReadDone = 0;
}

}  // namespace links
