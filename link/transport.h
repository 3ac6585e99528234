// One link to a decade, whatever carries it: the command exchange (link/communic.h) and the
// decade session talk to the transport chosen at the open and never ask what kind it is.
// Each kind of link is one implementation in a file pair of its own (serial_transport,
// gpib_transport); MakeTransport chooses it from the link address.
//
// A transport is used by one thread at a time, the one that opened it (the link thread in
// the panel); only StopReads may be called from any thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "link/link_address.h"
#include "link/outcome.h"

namespace links {

// What one read of a reply came to.
struct ReplyRead {
    std::string received;    // the bytes the link delivered, at most kMaxReplyLength (the log)
    bool lineEnded = false;  // the read ended at a line feed that the link does not store
    std::string reply;       // what the exchange keeps of them (see Transport::ReadLine)
    ExchangeResult failure;  // Done when the read went through
};

class Transport {
  public:
    virtual ~Transport() = default;

    // What the link is, for the log and the messages: "COM1 (/dev/ttyUSB0)", "/dev/ttyUSB0",
    // "GPIB address 5". Failures of an exchange name it first.
    virtual std::string Describe() const = 0;

    // Opens the link with its settings; false with the reason in one line.
    virtual bool Open(std::string& reason) = 0;
    // Whether an exchange can go out at all. When not (a GPIB open that obtained no device
    // descriptor), the exchange sends nothing and says so.
    virtual bool Usable() const = 0;
    // Throws away whatever waits in the input, before a command goes out.
    virtual void EmptyInput() = 0;
    // Writes line (the command with its line end). False with failure set when the link
    // failed; command, the bare command, is for the reason.
    virtual bool Write(std::string_view line, std::string_view command, ExchangeResult& failure) = 0;
    // Reads one reply: up to a line feed, kMaxReplyLength bytes, the link's time-out or a
    // cancel of the sequence (linkthread::Cancel; see StopReads). The reply is cut at its
    // first NUL byte. failure says why no reply came (no answer, the link gone).
    virtual ReplyRead ReadLine(std::string_view command) = 0;

    // The orderly end (GPIB: the decade back to local, then the device released).
    virtual void Close() = 0;
    // Lets the link go without a word to the decade: it is gone.
    virtual void Release() = 0;

    // True once the link layer itself has given the link up (the serial layer closed a port
    // whose partner hung up): nothing can go out on it any more. LostReason says why.
    virtual bool Lost() const = 0;
    virtual std::string LostReason() const = 0;
    // Asks to be told when the link goes away while no exchange runs: gone is then called
    // from the event loop of the link's thread, after which Lost is true. False for a link
    // that cannot see that (a GPIB bus says nothing until it is addressed); the next exchange
    // finds such a link gone.
    virtual bool WatchWhileIdle(std::function<void()> gone) = 0;

    // The link itself puts the decade in remote while it is addressed and back to local at
    // Close (GPIB's remote enable and go-to-local), so the session sends no remote or local
    // command of its own on it, and no wait before its close.
    virtual bool SwitchesRemote() const = 0;
    // The link marks the end of a reply itself (GPIB's END with the last byte): a reply is
    // every byte up to that end, line ends included, and one without a line feed ends there
    // too. Otherwise a reply ends at its line feed, which is not stored (a CR before it is),
    // or at the time-out.
    virtual bool MarksReplyEnd() const = 0;
};

// Where a link goes and how: the address, and the baud rate of a serial link.
struct LinkSettings {
    LinkAddress address = ComPort{1};
    int baudRate = 9600;
};

// The transport for settings, not opened yet.
std::unique_ptr<Transport> MakeTransport(const LinkSettings& settings);

// Ends a read under way on any transport at once, from any thread (the cancel hook of the
// link thread: linkthread::SetCancelHook). A transport whose read sees the cancel itself
// needs nothing here.
void StopReads();

}  // namespace links
