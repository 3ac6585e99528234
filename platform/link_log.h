// The link log: every line sent to the decade and received from it, and every GPIB library
// call with its status, each with a monotonic time stamp. Lines go to a file (ombrastel
// --log FILE) and to a listener (the panel's Log window), one entry a line:
//   <seconds> TX <escaped bytes>   a line written to the decade, line end included
//   <seconds> RX <escaped bytes>   what was read back: the bytes stored, then \n when the
//                                  read ended at the line feed
//   <seconds> IB <call>            a GPIB library call, its status word and count
//   <seconds> LK <what>            the link opened, closed or let go, and which it is
// Seconds count from the first entry of the run. Bytes are escaped as the simulator's
// transcript does: \r \n \t \\ and \xHH for other control bytes and bytes from 0x7F up.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace linklog {

// How long the end of the program waits for the file to take what is still to be written.
inline constexpr std::chrono::milliseconds kCloseBound{1000};
// The most that waits for a file that takes the entries too slowly (a FIFO nobody reads);
// beyond it nothing more is logged to the file.
inline constexpr std::size_t kMaxWaiting = 8u << 20;

// Called at most once a file, with what went wrong in words: the file refused a write (a
// full disk, /dev/full, a reader gone), took the entries too slowly, or had not taken
// everything when the program ended. It may be called on the writer's thread.
using Say = std::function<void(const std::string& problem)>;

// Opens path for appending, without blocking (a FIFO that no program reads is refused).
// Entries are written by a thread of their own within a few tens of milliseconds, and the
// rest when the file is closed or the program ends; the writer never lets an exchange or
// the end of the program wait for the file beyond kCloseBound. False with the reason when
// it cannot be opened.
bool OpenFile(const std::string& path, std::string* why, Say say = {});
// Writes what is left, waiting at most kCloseBound, and closes the file. False when some
// entries never reached it (said through the file's Say).
bool CloseFile();

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
void LinkEvent(std::string_view text);

// Printable form of bytes (see above).
std::string Escape(std::string_view bytes);

}  // namespace linklog
