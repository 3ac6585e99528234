// The one command exchange with the decade, over the transport chosen at the open.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "link/outcome.h"
#include "link/transport.h"

// One link to a decade: the transport chosen at the open, and what the exchanges of the
// present sequence came to. The decade session owns one; the panel's link-state names
// refer to the panel's.
struct LinkState {
    int connected = 0;  // 1 while the link is open or being opened
    // The link of the last open, kept after its close until the next open replaces it
    // (so what it obtained, a GPIB descriptor, can still be read); null before any open.
    std::unique_ptr<links::Transport> transport;
    // Called when the link goes away while idle (see Transport::WatchWhileIdle); handed to
    // each transport that opens.
    std::function<void()> whenGoneWhileIdle;
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
// (the text up to its first NUL byte, at most 50 bytes, stored as the transport reads it:
// see Transport::MarksReplyEnd). Returns 0 when nothing was sent (no link, a transport that
// cannot send, a command over 49 characters, a sequence that stops after a failure), 1
// otherwise. reply is written only when a reply is read; a failed exchange of a stopping
// sequence leaves it empty.
int Exchange(LinkState& link, int noReply, const std::string& command, std::string_view lineEnd,
             std::string& reply);

// Opening and letting go of the link. OpenLink makes the transport of settings, marks the
// link connected and opens it; false with the reason when it cannot. CloseLink closes it as
// an orderly end (GPIB: the device goes back to local); ReleaseLink lets it go without a
// word to the decade.
bool OpenLink(LinkState& link, const links::LinkSettings& settings, std::string& reason);
void CloseLink(LinkState& link);
void ReleaseLink(LinkState& link);
// True when the link layer gave the link up (a serial port closed after a hang-up ...).
bool LinkLost(const LinkState& link);
// What the link is, for the messages (empty before any open).
std::string LinkDescription(const LinkState& link);
// Whether the link itself switches the decade to remote and back (see
// Transport::SwitchesRemote); false before any open.
bool LinkSwitchesRemote(const LinkState& link);
