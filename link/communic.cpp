#include "link/communic.h"

#include <string>
#include <string_view>

#include "app/shared_state.h"
#include "platform/gpib.h"
#include "platform/link_log.h"
#include "platform/rs232.h"
#include "platform/text.h"
#include "platform/ui.h"

int firstReadDone = 0;

namespace {

constexpr int kLineFeed = 10;

// Classes 3 and 4 end a line with LF alone, every other class with CR LF; the class is
// taken at the moment of the call, so the identity query of an open goes with CR LF.
std::string FrameLine(const std::string& command) {
    return command + ((decadeModel == 3 || decadeModel == 4) ? "\n" : "\r\n");
}

int ExchangeGpib(int noReply, const std::string& line, std::string& reply) {
    linklog::Sent(line);
    gpib::ibwrt(gpibDevice, line.data(), static_cast<long>(line.size()));
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
    if ((status & gpib::ERR) != 0 || count < 0 || count > static_cast<long>(kMaxReplyLength)) {
        reply.clear();
        return 1;
    }
    reply = ReplyFromBytes(std::string_view(buffer, kMaxReplyLength), count);
    return 1;
}

int ExchangeSerial(int noReply, const std::string& line, std::string& reply) {
    rs232::FlushInQ(comPort);
    linklog::Sent(line);
    rs232::ComWrt(comPort, line.data(), static_cast<int>(line.size()));
    if (noReply != 0) return 1;
    char buffer[kMaxReplyLength + 1] = {};
    const int count =
        rs232::ComRdTerm(comPort, buffer, static_cast<int>(kMaxReplyLength), kLineFeed);
    linklog::Received(std::string_view(buffer, kMaxReplyLength), count,
                      rs232::LastReadEndedAtTerminator());
    // A read error reports a negative count, which gives the empty reply.
    reply = ReplyFromBytes(std::string_view(buffer, kMaxReplyLength), count);
    return 1;
}

}  // namespace

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
    const std::string line = FrameLine(command);
    if (linkType != 0) {
        if (gpibDevice <= 0) return 0;
        return ExchangeGpib(noReply, line, reply);
    }
    return ExchangeSerial(noReply, line, reply);
}
