#include "link/communic.h"

#include <string>
#include <string_view>

#include "platform/link_log.h"
#include "platform/link_thread.h"
#include "platform/text.h"

namespace {

void RecordFailure(LinkState& link, const ExchangeResult& failure) {
    if (SequenceLinkFailed(link)) return;  // the first failure is the one that counts
    link.sequence = failure;
}

// 1 when the line went out and the reply (if any) was read, 0 when the link failed;
// Exchange turns a 0 into 1 outside a stopping sequence.
int Carry(LinkState& link, links::Transport& transport, int noReply, const std::string& command,
          const std::string& line, std::string& reply) {
    transport.EmptyInput();
    linklog::Sent(line);
    ExchangeResult failure;
    if (!transport.Write(line, command, failure)) {
        RecordFailure(link, failure);
        if (noReply == 0) reply.clear();
        return 0;
    }
    if (noReply != 0) return 1;
    links::ReplyRead read = transport.ReadLine(command);
    linklog::Received(read.received, static_cast<long>(read.received.size()), read.lineEnded);
    reply = std::move(read.reply);
    if (read.failure.outcome != LinkOutcome::Done) {
        RecordFailure(link, read.failure);
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
        RecordFailure(link, {LinkOutcome::NoAnswer, "cancelled by the operator"});
        return link.stopOnFailure ? 0 : 1;
    }
    if (!link.transport || !link.transport->Usable()) return 0;
    const std::string line = command + std::string(lineEnd);
    const int done = Carry(link, *link.transport, noReply, command, line, reply);
    // Outside a stopping sequence a failed exchange still counts as sent, as it always did.
    return (done != 0 || !link.stopOnFailure) ? 1 : 0;
}

bool OpenLink(LinkState& link, const links::LinkSettings& settings, std::string& reason) {
    link.connected = 1;
    link.transport = links::MakeTransport(settings);
    if (!link.transport->Open(reason)) {
        if (linklog::Active()) linklog::LinkEvent("open " + link.transport->Describe() + " failed: " + reason);
        return false;
    }
    if (linklog::Active()) linklog::LinkEvent("open " + link.transport->Describe());
    if (link.whenGoneWhileIdle) link.transport->WatchWhileIdle(link.whenGoneWhileIdle);
    return true;
}

void CloseLink(LinkState& link) {
    if (!link.transport) return;
    if (linklog::Active()) linklog::LinkEvent("close " + link.transport->Describe());
    link.transport->Close();
}

void ReleaseLink(LinkState& link) {
    if (!link.transport) return;
    if (linklog::Active()) linklog::LinkEvent("let go " + link.transport->Describe());
    link.transport->Release();
}

bool LinkLost(const LinkState& link) {
    return link.transport && link.transport->Lost();
}

std::string LinkDescription(const LinkState& link) {
    return link.transport ? link.transport->Describe() : std::string();
}

bool LinkSwitchesRemote(const LinkState& link) {
    return link.transport && link.transport->SwitchesRemote();
}
