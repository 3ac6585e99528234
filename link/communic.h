// The one command exchange with the decade, over whichever link is open.
#pragma once

#include <string>
#include <string_view>

inline constexpr std::size_t kMaxCommandLength = 49;  // characters, without line end
inline constexpr std::size_t kMaxReplyLength = 50;    // bytes

// What the exchanges of one sequence (an open, a close, an operator's handler with its
// refresh) came to: the first failure since the sequence began, with its reason in one
// line. The handlers and the open read it to decide what to tell the operator.
enum class LinkOutcome {
    Done,       // every exchange went through
    Refused,    // a reply came but said no
    NoAnswer,   // an exchange that expects a reply got no byte at all within its time-out
    LinkGone,   // the port or the GPIB device is gone (cable pulled, adapter unplugged)
    NotOpened,  // the port or the GPIB device could not be opened
    NoDecade,   // the identity reply names no known decade
};
struct ExchangeResult {
    LinkOutcome outcome = LinkOutcome::Done;
    std::string reason;
};

// One link to a decade: how it was opened, and what the exchanges of the present sequence
// came to. The decade session owns one; the panel's link-state names refer to the panel's.
struct LinkState {
    int connected = 0;      // 1 while the link is open or being opened
    int linkType = 0;       // 0 RS-232, any other value GPIB
    int comPort = 0;        // serial port number 1..256
    std::string device;     // RS-232: the device opened instead of COM n's; empty: COM n's
    int baudRate = 0;       // baud rate
    int gpibAddress = 0;    // GPIB primary address 0..30
    int gpibDevice = -1;    // GPIB device descriptor; negative when none was obtained
    int firstReadDone = 0;  // 1 once the wait before the first GPIB read has been spent
    ExchangeResult sequence;
    bool stopOnFailure = false;
};

// Starts a sequence: the result goes back to Done. With stopOnFailure (an operator's
// handler), once an exchange has found no answer or the link gone, it and every later
// exchange of the sequence return 0 and send nothing, so the rest of the sequence is not
// sent; without it (the open, the close) each exchange is tried as before.
void BeginSequence(LinkState& link, bool stopOnFailure);
// True when the sequence met no answer or a link that is gone.
bool SequenceLinkFailed(const LinkState& link);
// The same, for an operator's sequence only (one that stops at the first such failure).
bool StoppedSequenceFailed(const LinkState& link);
// Records a reply that said no, unless the sequence already failed on the link.
void NoteRefusal(LinkState& link, const std::string& reason);

// Sends command ended by lineEnd and, when noReply is 0, reads one reply line into reply
// (the text up to its first NUL byte, at most 50 bytes; over RS-232 without the LF, with a
// CR before it kept). Returns 0 when nothing was sent (no link, no GPIB device, a command
// over 49 characters, a sequence that stops after a failure), 1 otherwise. reply is
// written only when a reply is read; a failed exchange of a stopping sequence leaves it
// empty.
int Exchange(LinkState& link, int noReply, const std::string& command, std::string_view lineEnd,
             std::string& reply);

// Opening and letting go of the port or device. OpenLink opens what link says (RS-232
// with its port settings, or GPIB with its time-out and address) and marks it connected;
// false with the reason when it cannot. CloseLink closes it as an orderly end (GPIB:
// the device goes back to local); ReleaseLink lets it go without a word to the decade.
bool OpenLink(LinkState& link, std::string& reason);
void CloseLink(LinkState& link);
void ReleaseLink(LinkState& link);
// True when the serial layer closed the port of an RS-232 link (cable pulled ...).
bool SerialLinkLost(const LinkState& link);

// The reply as the program keeps it from a receive buffer and the byte count the link
// reported: the first count bytes (none for a negative count, at most kMaxReplyLength and
// never more than the buffer holds), up to the first NUL byte among them.
std::string ReplyFromBytes(std::string_view received, long count);
