// The link log: every line sent to the decade and received from it, and every GPIB library
// call with its status, each with a monotonic time stamp. Lines go to a file (ombrastel
// --log FILE) and to a listener (the panel's Log window), one entry a line:
//   <seconds> TX <escaped bytes>   a line written to the decade, line end included
//   <seconds> RX <escaped bytes>   what was read back: the bytes stored, then \n when the
//                                  read ended at the line feed
//   <seconds> IB <call>            a GPIB library call, its status word and count
// Seconds count from the first entry of the run. Bytes are escaped as the simulator's
// transcript does: \r \n \t \\ and \xHH for other control bytes and bytes from 0x7F up.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace linklog {

// Opens path for appending. Entries are written and flushed by a thread of their own within
// a few tens of milliseconds, and the rest when the file is closed or the program ends.
// False with the reason when it cannot be opened.
bool OpenFile(const std::string& path, std::string* why);
void CloseFile();

// Called with each entry (without its line end) on the thread that logged it. An empty
// function removes the listener.
using Listener = std::function<void(const std::string& entry)>;
void SetListener(Listener listener);

// True when an entry would go anywhere; callers skip building entries otherwise.
bool Active();

void Sent(std::string_view bytes);
// The first count bytes of buffer (none for a negative count, at most all of it), and an LF
// after them when lineEnded says the read ended at the line feed the link layer keeps.
void Received(std::string_view buffer, long count, bool lineEnded);
void LibraryCall(std::string_view text);

// Printable form of bytes (see above).
std::string Escape(std::string_view bytes);

}  // namespace linklog
