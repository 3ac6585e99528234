// What an exchange with a decade came to, the limits of one exchange, and the reply as kept.
#pragma once

#include <cstddef>
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

// The reply as the program keeps it from a receive buffer and the byte count the link
// reported: the first count bytes (none for a negative count, at most kMaxReplyLength and
// never more than the buffer holds), up to the first NUL byte among them.
std::string ReplyFromBytes(std::string_view received, long count);
