#include "platform/link_thread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/rs232.h"

namespace linkthread {

namespace {

QThread* thread = nullptr;
QThread* abandonedThread = nullptr;
QObject* worker = nullptr;  // lives in the link thread; sequences are queued onto it
std::atomic<bool> busy{false};
std::atomic<bool> abandoned{false};
std::atomic<bool> cancelRequested{false};
std::atomic<long long> waitStartedMs{-1};  // on the clock below; -1 while nothing waits

std::mutex cancelMutex;
std::condition_variable cancelled;
std::function<void()> cancelHook;  // set and run on the GUI thread only

std::mutex handOver;

thread_local int orderlyEnds = 0;  // OrderlyEnd scopes alive on this thread

static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler sets the cancel");

long long NowMs() {
    static const auto origin = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 origin)
        .count();
}

}  // namespace

void RunQueued(QObject* context, std::function<void()> task) {
    const std::lock_guard lock(handOver);
    QMetaObject::invokeMethod(
        context,
        [task = std::move(task)] {
            { const std::lock_guard taken(handOver); }
            task();
        },
        Qt::QueuedConnection);
}

void Start() {
    if (thread != nullptr || QCoreApplication::instance() == nullptr) return;
    abandoned = false;
    thread = new QThread;
    thread->setObjectName(QStringLiteral("link"));
    worker = new QObject;
    worker->moveToThread(thread);
    QObject::connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    // The thread's last step, so that what it did is ordered before Stop's return for a
    // thread sanitizer too (it does not see Qt's own wait).
    QObject::connect(
        thread, &QThread::finished, thread, [] { const std::lock_guard lock(handOver); },
        Qt::DirectConnection);
    thread->start();
}

bool Running() {
    return thread != nullptr;
}

bool OnLinkThread() {
    return thread != nullptr && QThread::currentThread() == thread;
}

bool Post(std::function<void()> sequence, std::function<void()> done) {
    if (thread == nullptr) {
        if (sequence) sequence();
        if (done) done();
        return true;
    }
    if (busy.exchange(true)) return false;
    RunQueued(worker, [sequence = std::move(sequence), done = std::move(done)] {
        if (sequence) sequence();
        if (abandoned) return;
        RunQueued(QCoreApplication::instance(), [done] {
            busy = false;
            if (done) done();
        });
    });
    return true;
}

bool Busy() {
    return busy;
}

bool Stop(std::chrono::milliseconds timeout) {
    if (thread == nullptr) return true;
    // Ports opened on the thread are closed there, while their thread still runs.
    RunQueued(worker, [] { rs232::CloseThreadPorts(); });
    thread->quit();
    // The sequence under way may still call into the panel: those calls (and nothing
    // else) are served while waiting.
    QDeadlineTimer deadline(timeout);
    bool ended = thread->wait(QDeadlineTimer(0));
    while (!ended && !deadline.hasExpired()) {
        QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
        ended = thread->wait(QDeadlineTimer(std::min<qint64>(10, deadline.remainingTime())));
    }
    if (!ended) {
        abandoned = true;  // the thread and its objects are left to the end of the process
        Cancel();
        abandonedThread = thread;
        thread = nullptr;
        worker = nullptr;
        busy = false;
        return false;
    }
    { const std::lock_guard lock(handOver); }
    delete thread;
    thread = nullptr;
    worker = nullptr;
    busy = false;
    return true;
}

bool Abandoned() {
    return abandoned;
}

bool WaitAbandonedEnd(std::chrono::milliseconds timeout) {
    if (abandonedThread == nullptr) return true;
    QElapsedTimer clock;
    clock.start();
    // The abandoned thread may be waiting for one more call into the panel: serve it.
    while (!abandonedThread->isFinished()) {
        if (clock.elapsed() >= timeout.count()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        abandonedThread->wait(QDeadlineTimer(10));
    }
    { const std::lock_guard lock(handOver); }
    delete abandonedThread;
    abandonedThread = nullptr;
    abandoned = false;
    return true;
}

void Cancel() {
    {
        const std::lock_guard lock(cancelMutex);
        cancelRequested = true;
    }
    cancelled.notify_all();
    if (cancelHook) cancelHook();
}

void CancelFromSignal() noexcept {
    cancelRequested = true;
}

bool CancelRequested() {
    return cancelRequested && orderlyEnds == 0;
}

OrderlyEnd::OrderlyEnd() {
    ++orderlyEnds;
}

OrderlyEnd::~OrderlyEnd() {
    --orderlyEnds;
}

void ClearCancel() {
    const std::lock_guard lock(cancelMutex);
    cancelRequested = false;
}

void SetCancelHook(std::function<void()> hook) {
    cancelHook = std::move(hook);
}

Waiting::Waiting() {
    waitStartedMs = NowMs();
}

Waiting::~Waiting() {
    waitStartedMs = -1;
}

std::chrono::milliseconds CurrentWait() {
    const long long started = waitStartedMs;
    return std::chrono::milliseconds(started < 0 ? 0 : NowMs() - started);
}

bool WaitFor(std::chrono::microseconds time) {
    const Waiting waiting;
    std::unique_lock lock(cancelMutex);
    return !cancelled.wait_for(lock, time, [] { return CancelRequested(); });
}

void Delay(double seconds) {
    if (!(seconds > 0.0)) return;  // also refuses NaN
    const double ms = std::min(seconds * 1000.0, 24.0 * 3600.0 * 1000.0);
    const std::chrono::microseconds time(static_cast<long long>(ms * 1000.0));
    if (OnLinkThread()) {  // a wait the operator may cancel
        WaitFor(time);
        return;
    }
    std::this_thread::sleep_for(time);
}

}  // namespace linkthread
