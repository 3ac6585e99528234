// The one command exchange with the decade, over whichever link is open.
#pragma once

#include <string>
#include <string_view>

// 1 once the one-time wait before the first GPIB read of an open link has been spent.
extern int firstReadDone;

inline constexpr std::size_t kMaxCommandLength = 49;  // characters, without line end
inline constexpr std::size_t kMaxReplyLength = 50;    // bytes

// Sends command with the line end of the connected model class and, when noReply is 0,
// reads one reply line into reply (the text up to its first NUL byte, at most 50 bytes;
// over RS-232 without the LF, with a CR before it kept). Returns 0 when nothing was sent
// (no link, no GPIB device, a command over 49 characters), 1 otherwise. reply is written
// only when a reply is read.
int Communic(int noReply, const std::string& command, std::string& reply);

// The reply as the program keeps it from a receive buffer and the byte count the link
// reported: the first count bytes (none for a negative count, at most kMaxReplyLength and
// never more than the buffer holds), up to the first NUL byte among them.
std::string ReplyFromBytes(std::string_view received, long count);
