#include "link/communic.h"

#include <string>
#include <string_view>

#include "platform/gpib.h"
#include "platform/link_log.h"
#include "platform/link_thread.h"
#include "platform/rs232.h"
#include "platform/text.h"

namespace {

constexpr int kLineFeed = 10;
constexpr const char* kGpibPrefix = "v212";

void RecordFailure(LinkState& link, LinkOutcome outcome, const std::string& reason) {
    if (SequenceLinkFailed(link)) return;  // the first failure is the one that counts
    link.sequence = ExchangeResult{outcome, reason};
}

std::string Quoted(const std::string& command) {
    return "\"" + command + "\"";
}

std::string SerialPortText(const LinkState& link) {
    return "COM" + std::to_string(link.comPort) + " (" + rs232::PortDeviceName(link.comPort) + ")";
}

// A GPIB call that failed: a time-out is no answer; an error that says the board or the
// device is not there any more (driver error, no listener, no board) is a link gone.
void RecordGpibFailure(LinkState& link, int status, const char* call, const std::string& command) {
    const int error = gpib::iberr();
    const int gpibAddress = link.gpibAddress;
    const std::string where = "GPIB address " + std::to_string(gpibAddress) + ": ";
    if ((status & gpib::TIMO) != 0 || error == gpib::EABO) {
        RecordFailure(link, LinkOutcome::NoAnswer,
                      where + "no answer to " + Quoted(command) + " within the time-out");
    } else if (error == gpib::ENOL) {
        RecordFailure(link, LinkOutcome::LinkGone,
                      where + "no listener at address " + std::to_string(gpibAddress) + " (" +
                          call + " " + Quoted(command) + ")");
    } else if (error == gpib::EDVR || error == gpib::ENEB || error < 0) {
        RecordFailure(link, LinkOutcome::LinkGone,
                      where + call + " " + Quoted(command) + " failed: " + gpib::ErrorName(error));
    } else {
        RecordFailure(link, LinkOutcome::NoAnswer,
                      where + call + " " + Quoted(command) + " failed: " + gpib::ErrorName(error));
    }
}

void RecordSerialGone(LinkState& link, const std::string& command) {
    RecordFailure(link, LinkOutcome::LinkGone,
                  SerialPortText(link) + " closed at " + Quoted(command) + ": " +
                      rs232::ClosedReason(link.comPort));
}

// The exchanges report 1 when the line went out and the reply (if any) was read, 0 when
// they failed on the link; Communic turns a 0 into 1 outside a stopping sequence.
int ExchangeGpib(LinkState& link, int noReply, const std::string& command, const std::string& line,
                 std::string& reply) {
    const int gpibDevice = link.gpibDevice;
    linklog::Sent(line);
    const int written = gpib::ibwrt(gpibDevice, line.data(), static_cast<long>(line.size()));
    if ((written & gpib::ERR) != 0) {
        RecordGpibFailure(link, written, "write", command);
        if (noReply == 0) reply.clear();
        return 0;
    }
    if (noReply != 0) return 1;
    if (link.firstReadDone == 0) {
        link.firstReadDone = 1;
        linkthread::Delay(0.1);
    }
    char buffer[kMaxReplyLength + 1] = {};
    const int status = gpib::ibrd(gpibDevice, buffer, static_cast<long>(kMaxReplyLength));
    const long count = gpib::ibcntl();
    linklog::Received(std::string_view(buffer, kMaxReplyLength), count, false);
    // A failed read, or a count the layer cannot vouch for, is no reply at all.
    if ((status & gpib::ERR) != 0) {
        reply.clear();
        RecordGpibFailure(link, status, "read after", command);
        return 0;
    }
    if (count < 0 || count > static_cast<long>(kMaxReplyLength)) {
        reply.clear();
        return 1;
    }
    reply = ReplyFromBytes(std::string_view(buffer, kMaxReplyLength), count);
    return 1;
}

int ExchangeSerial(LinkState& link, int noReply, const std::string& command,
                   const std::string& line, std::string& reply) {
    const int comPort = link.comPort;
    rs232::FlushInQ(comPort);
    linklog::Sent(line);
    rs232::ComWrt(comPort, line.data(), static_cast<int>(line.size()));
    if (!rs232::IsOpen(comPort)) {  // the layer closed the port: the line is gone
        RecordSerialGone(link, command);
        if (noReply == 0) reply.clear();
        return 0;
    }
    if (noReply != 0) return 1;
    char buffer[kMaxReplyLength + 1] = {};
    const int count =
        rs232::ComRdTerm(comPort, buffer, static_cast<int>(kMaxReplyLength), kLineFeed);
    linklog::Received(std::string_view(buffer, kMaxReplyLength), count,
                      rs232::LastReadEndedAtTerminator());
    // A read error reports a negative count, which gives the empty reply.
    reply = ReplyFromBytes(std::string_view(buffer, kMaxReplyLength), count);
    if (!rs232::IsOpen(comPort)) {
        RecordSerialGone(link, command);
        return 0;
    }
    if (!rs232::LastReadGotByte(comPort)) {
        RecordFailure(
            link, LinkOutcome::NoAnswer,
            SerialPortText(link) + ": no answer to " + Quoted(command) + " within the time-out");
        return 0;
    }
    return 1;
}

}  // namespace

void BeginSequence(LinkState& link, bool stopOnFailure) {
    link.sequence = ExchangeResult{};
    link.stopOnFailure = stopOnFailure;
}

bool SequenceLinkFailed(const LinkState& link) {
    return link.sequence.outcome == LinkOutcome::NoAnswer ||
           link.sequence.outcome == LinkOutcome::LinkGone;
}

bool StoppedSequenceFailed(const LinkState& link) {
    return link.stopOnFailure && SequenceLinkFailed(link);
}

void NoteRefusal(LinkState& link, const std::string& reason) {
    if (link.sequence.outcome == LinkOutcome::Done) {
        link.sequence = ExchangeResult{LinkOutcome::Refused, reason};
    }
}

std::string ReplyFromBytes(std::string_view received, long count) {
    std::size_t length = count < 0 ? 0 : static_cast<std::size_t>(count);
    if (length > kMaxReplyLength) length = kMaxReplyLength;
    if (length > received.size()) length = received.size();
    return std::string(text::UpToNul(received.substr(0, length)));
}

int Exchange(LinkState& link, int noReply, const std::string& command, std::string_view lineEnd,
             std::string& reply) {
    // A longer command would not fit the line, and a control byte inside it would split it
    // into lines the decade takes for separate commands: neither is sent.
    if (command.size() > kMaxCommandLength || text::HasControlByte(command)) return 0;
    if (link.connected == 0) return 0;
    if (StoppedSequenceFailed(link)) return 0;
    if (linkthread::CancelRequested()) {  // the operator cancelled: nothing more goes out
        RecordFailure(link, LinkOutcome::NoAnswer, "cancelled by the operator");
        return link.stopOnFailure ? 0 : 1;
    }
    const std::string line = command + std::string(lineEnd);
    int done = 0;
    if (link.linkType != 0) {
        if (link.gpibDevice <= 0) return 0;
        done = ExchangeGpib(link, noReply, command, line, reply);
    } else {
        done = ExchangeSerial(link, noReply, command, line, reply);
    }
    // Outside a stopping sequence a failed exchange still counts as sent, as it always did.
    return (done != 0 || !link.stopOnFailure) ? 1 : 0;
}

bool OpenLink(LinkState& link, std::string& reason) {
    link.connected = 1;
    if (link.linkType != 0) {
        gpib::CloseInstrDevs(kGpibPrefix);
        link.gpibDevice = gpib::OpenDev("", kGpibPrefix, link.gpibAddress);
        if (link.gpibDevice < 0) {
            reason = gpib::LastError();
            return false;
        }
        gpib::ibtmo(link.gpibDevice, gpib::T10s);
        gpib::ibpad(link.gpibDevice, link.gpibAddress);
        return true;
    }
    if (rs232::OpenComConfig(link.comPort, link.device, link.baudRate, 0, 8, 1, 512, 512) != 0) {
        reason = rs232::OpenError(link.comPort);
        return false;
    }
    rs232::SetXMode(link.comPort, 0);
    rs232::SetCTSMode(link.comPort, 0);
    rs232::ComSetEscape(link.comPort, 5);  // DTR raised
    rs232::ComSetEscape(link.comPort, 4);  // RTS lowered
    rs232::SetComTime(link.comPort, 1.0);
    return true;
}

void CloseLink(LinkState& link) {
    if (link.linkType != 0) {
        if (link.gpibDevice >= 0) gpib::CloseDev(link.gpibDevice);  // returns the decade to local
    } else {
        rs232::CloseCom(link.comPort);
    }
}

void ReleaseLink(LinkState& link) {
    if (link.linkType != 0) {
        if (link.gpibDevice >= 0) gpib::ReleaseDev(link.gpibDevice);
    } else {
        rs232::CloseCom(link.comPort);
    }
}

bool SerialLinkLost(const LinkState& link) {
    return link.linkType == 0 && !rs232::IsOpen(link.comPort);
}
