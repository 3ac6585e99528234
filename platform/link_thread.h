// The link thread: every sequence the operator starts on the link (an open, a close, a
// handler with its waits and its refresh) runs here, one at a time, in the order posted,
// while the GUI thread keeps painting the panel. Before Start, or after Stop, a sequence
// runs at once on the calling thread, as the program did before it had a link thread.
//
// The thread runs an event loop between sequences, so a serial port opened there has its
// signals (the idle hang-up watch) served there. A serial port belongs to the thread that
// opened it.
#pragma once

#include <chrono>
#include <functional>

class QObject;

namespace linkthread {

// Runs task from the event loop of context's thread, queued. The hand-over is ordered by a
// mutex of this program as well as by Qt's own queue, so that a thread sanitizer, which
// does not see inside Qt, sees it too.
void RunQueued(QObject* context, std::function<void()> task);

// Starts the thread; called on the GUI thread once the application exists.
void Start();
bool Running();
bool OnLinkThread();

// Runs sequence on the link thread, then done (may be empty) on the GUI thread. False,
// with nothing run, while another sequence is still under way: the link does one thing at
// a time. Without a running thread both run here and now.
bool Post(std::function<void()> sequence, std::function<void()> done = {});
// A sequence is posted and has not ended yet (GUI thread).
bool Busy();

// Ends the thread after the sequence under way, waiting at most timeout and serving the
// sequence's calls into the panel meanwhile (nothing else runs). False when the
// sequence did not end in that time (a library call that never returns): the thread is
// then abandoned, its later calls into the panel are refused, and the program must end
// without waiting for it.
bool Stop(std::chrono::milliseconds timeout);
bool Abandoned();
// For tests after an abandoned Stop: waits until the abandoned thread has ended.
bool WaitAbandonedEnd(std::chrono::milliseconds timeout);

// Cancel: asks the sequence under way to end. Waits end at once, a serial read within
// 100 ms, and every later exchange of the sequence sends nothing. The hooks (a GPIB read
// stopped in the library) run on the calling thread.
void Cancel();
// The same from a signal handler (async-signal-safe): only the request is noted, which a
// serial read sees within 100 ms and every later exchange at its start; no hook runs and a
// wait of the link thread is not woken.
void CancelFromSignal() noexcept;
// Whether a cancel reaches the calling thread's exchanges and waits now: false inside an
// orderly end (below) even while one is requested.
bool CancelRequested();
void ClearCancel();
void SetCancelHook(std::function<void()> hook);

// The orderly end of a link: while one lives, a cancel does not reach the exchanges and
// waits of the thread it lives on, so the local command still goes out and its wait before
// the port closes is kept after Cancel, Exit or an end signal. A cancel requested before or
// meanwhile stays requested and is seen again once the end is over.
class OrderlyEnd {
  public:
    OrderlyEnd();
    ~OrderlyEnd();
    OrderlyEnd(const OrderlyEnd&) = delete;
    OrderlyEnd& operator=(const OrderlyEnd&) = delete;
};

// Waits on the link: a read that waits for a reply, a mandated delay. While one has lasted
// more than a second the operator is offered Cancel.
class Waiting {
  public:
    Waiting();
    ~Waiting();
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;
};
// How long the wait under way has lasted; zero when none.
std::chrono::milliseconds CurrentWait();

// A cancellable wait on the link thread: true when the whole time passed, false when a
// cancel ended it.
bool WaitFor(std::chrono::microseconds time);

// The mandated waits of the exchanges and the sessions: blocks the calling thread for the
// given time (at most a day; nothing for zero, a negative time or NaN) without running an
// event loop. On the link thread it is a WaitFor, which a cancel ends early; elsewhere (a
// program without a link thread, such as ombrastel-ctl) it sleeps.
void Delay(double seconds);

}  // namespace linkthread
