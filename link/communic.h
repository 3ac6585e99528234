// The one command exchange with the decade, over whichever link is open.
#pragma once

#include <string>
#include <string_view>

// 1 once the one-time wait before the first GPIB read of an open link has been spent.
extern int firstReadDone;

inline constexpr std::size_t kMaxCommandLength = 49;  // characters, without line end
inline constexpr std::size_t kMaxReplyLength = 50;    // bytes

// What the exchanges of one sequence (an open, a close, an operator's handler with its
// refresh) came to: the first failure since the sequence began, with its reason in one
// line. The handlers and the open read it to decide what to tell the operator.
enum class LinkOutcome {
    Done,      // every exchange went through
    Refused,   // a reply came but said no
    NoAnswer,  // an exchange that expects a reply got no byte at all within its time-out
    LinkGone,  // the port or the GPIB device is gone (cable pulled, adapter unplugged)
};
struct ExchangeResult {
    LinkOutcome outcome = LinkOutcome::Done;
    std::string reason;
};

// Starts a sequence: the result goes back to Done. With stopOnFailure (an operator's
// handler), once an exchange has found no answer or the link gone, it and every later
// Communic of the sequence return 0 and send nothing, so the rest of the sequence is not
// sent; without it (the open, the close) each exchange is tried as before.
void BeginSequence(bool stopOnFailure);
const ExchangeResult& SequenceResult();
// True when the sequence met no answer or a link that is gone.
bool SequenceLinkFailed();
// The same, for an operator's sequence only (one that stops at the first such failure).
bool StoppedSequenceFailed();
// Records a reply that said no, unless the sequence already failed on the link.
void NoteRefusal(const std::string& reason);

// Sends command with the line end of the connected model class and, when noReply is 0,
// reads one reply line into reply (the text up to its first NUL byte, at most 50 bytes;
// over RS-232 without the LF, with a CR before it kept). Returns 0 when nothing was sent
// (no link, no GPIB device, a command over 49 characters, a sequence that stops after a
// failure), 1 otherwise. reply is written only when a reply is read; a failed exchange
// of a stopping sequence leaves it empty.
int Communic(int noReply, const std::string& command, std::string& reply);

// The reply as the program keeps it from a receive buffer and the byte count the link
// reported: the first count bytes (none for a negative count, at most kMaxReplyLength and
// never more than the buffer holds), up to the first NUL byte among them.
std::string ReplyFromBytes(std::string_view received, long count);
