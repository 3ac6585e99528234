#include "link/communic.h"

#include <string>
#include <string_view>

#include "app/shared_state.h"
#include "decade/profiles.h"
#include "platform/gpib.h"
#include "platform/link_log.h"
#include "platform/rs232.h"
#include "platform/text.h"
#include "platform/ui.h"

int firstReadDone = 0;

namespace {

constexpr int kLineFeed = 10;

ExchangeResult sequenceResult;
bool stopOnLinkFailure = false;

void RecordFailure(LinkOutcome outcome, const std::string& reason) {
    if (SequenceLinkFailed()) return;  // the first failure is the one that counts
    sequenceResult = ExchangeResult{outcome, reason};
}

std::string Quoted(const std::string& command) {
    return "\"" + command + "\"";
}

std::string SerialPortText() {
    return "COM" + std::to_string(comPort) + " (" + rs232::PortDeviceName(comPort) + ")";
}

// A GPIB call that failed: a time-out is no answer; an error that says the board or the
// device is not there any more (driver error, no listener, no board) is a link gone.
void RecordGpibFailure(int status, const char* call, const std::string& command) {
    const int error = gpib::iberr();
    const std::string where = "GPIB address " + std::to_string(gpibAddress) + ": ";
    if ((status & gpib::TIMO) != 0 || error == gpib::EABO) {
        RecordFailure(LinkOutcome::NoAnswer, where + "no answer to " + Quoted(command) +
                                                 " within the time-out");
    } else if (error == gpib::ENOL) {
        RecordFailure(LinkOutcome::LinkGone, where + "no listener at address " +
                                                 std::to_string(gpibAddress) + " (" + call +
                                                 " " + Quoted(command) + ")");
    } else if (error == gpib::EDVR || error == gpib::ENEB || error < 0) {
        RecordFailure(LinkOutcome::LinkGone, where + call + " " + Quoted(command) +
                                                 " failed: " + gpib::ErrorName(error));
    } else {
        RecordFailure(LinkOutcome::NoAnswer, where + call + " " + Quoted(command) +
                                                 " failed: " + gpib::ErrorName(error));
    }
}

void RecordSerialGone(const std::string& command) {
    RecordFailure(LinkOutcome::LinkGone, SerialPortText() + " closed at " + Quoted(command) +
                                             ": " + rs232::ClosedReason(comPort));
}

// The line end of the class at the moment of the call, so the identity query of an open
// goes with the line end of no decade (CR LF).
std::string FrameLine(const std::string& command) {
    return command + std::string(decade::ProfileOf(decadeModel).lineEnd);
}

// The exchanges report 1 when the line went out and the reply (if any) was read, 0 when
// they failed on the link; Communic turns a 0 into 1 outside a stopping sequence.
int ExchangeGpib(int noReply, const std::string& command, const std::string& line,
                 std::string& reply) {
    linklog::Sent(line);
    const int written = gpib::ibwrt(gpibDevice, line.data(), static_cast<long>(line.size()));
    if ((written & gpib::ERR) != 0) {
        RecordGpibFailure(written, "write", command);
        if (noReply == 0) reply.clear();
        return 0;
    }
    if (noReply != 0) return 1;
    if (firstReadDone == 0) {
        firstReadDone = 1;
        ui::Delay(0.1);
    }
    char buffer[kMaxReplyLength + 1] = {};
    const int status = gpib::ibrd(gpibDevice, buffer, static_cast<long>(kMaxReplyLength));
    const long count = gpib::ibcntl();
    linklog::Received(std::string_view(buffer, kMaxReplyLength), count, false);
    // A failed read, or a count the layer cannot vouch for, is no reply at all.
    if ((status & gpib::ERR) != 0) {
        reply.clear();
        RecordGpibFailure(status, "read after", command);
        return 0;
    }
    if (count < 0 || count > static_cast<long>(kMaxReplyLength)) {
        reply.clear();
        return 1;
    }
    reply = ReplyFromBytes(std::string_view(buffer, kMaxReplyLength), count);
    return 1;
}

int ExchangeSerial(int noReply, const std::string& command, const std::string& line,
                   std::string& reply) {
    rs232::FlushInQ(comPort);
    linklog::Sent(line);
    rs232::ComWrt(comPort, line.data(), static_cast<int>(line.size()));
    if (!rs232::IsOpen(comPort)) {  // the layer closed the port: the line is gone
        RecordSerialGone(command);
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
        RecordSerialGone(command);
        return 0;
    }
    if (!rs232::LastReadGotByte(comPort)) {
        RecordFailure(LinkOutcome::NoAnswer, SerialPortText() + ": no answer to " +
                                                 Quoted(command) + " within the time-out");
        return 0;
    }
    return 1;
}

}  // namespace

void BeginSequence(bool stopOnFailure) {
    sequenceResult = ExchangeResult{};
    stopOnLinkFailure = stopOnFailure;
}

const ExchangeResult& SequenceResult() {
    return sequenceResult;
}

bool SequenceLinkFailed() {
    return sequenceResult.outcome == LinkOutcome::NoAnswer ||
           sequenceResult.outcome == LinkOutcome::LinkGone;
}

bool StoppedSequenceFailed() {
    return stopOnLinkFailure && SequenceLinkFailed();
}

void NoteRefusal(const std::string& reason) {
    if (sequenceResult.outcome == LinkOutcome::Done) {
        sequenceResult = ExchangeResult{LinkOutcome::Refused, reason};
    }
}

std::string ReplyFromBytes(std::string_view received, long count) {
    std::size_t length = count < 0 ? 0 : static_cast<std::size_t>(count);
    if (length > kMaxReplyLength) length = kMaxReplyLength;
    if (length > received.size()) length = received.size();
    return std::string(text::UpToNul(received.substr(0, length)));
}

int Communic(int noReply, const std::string& command, std::string& reply) {
    // A longer command would not fit the line, and a control byte inside it would split it
    // into lines the decade takes for separate commands: neither is sent.
    if (command.size() > kMaxCommandLength || text::HasControlByte(command)) return 0;
    if (connected == 0) return 0;
    if (StoppedSequenceFailed()) return 0;
    const std::string line = FrameLine(command);
    int done = 0;
    if (linkType != 0) {
        if (gpibDevice <= 0) return 0;
        done = ExchangeGpib(noReply, command, line, reply);
    } else {
        done = ExchangeSerial(noReply, command, line, reply);
    }
    // Outside a stopping sequence a failed exchange still counts as sent, as it always did.
    return (done != 0 || !stopOnLinkFailure) ? 1 : 0;
}
