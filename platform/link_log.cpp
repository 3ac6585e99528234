#include "platform/link_log.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/text.h"

namespace linklog {

namespace {

using Clock = std::chrono::steady_clock;

// Entries for the file are collected in memory and written by a thread of their own every
// few milliseconds, so that an exchange never waits for the disk.
constexpr auto kWriteInterval = std::chrono::milliseconds(20);
// A file that takes nothing (a full pipe) is looked at again this often.
constexpr int kRetryMs = 50;

// One opened file and its writer. The writer keeps it alive, so that a writer left behind
// at the end (a write the kernel does not return from) never touches a later file.
struct File {
    int fd = -1;
    Say say;
    std::string pending;  // entries not yet written; guarded by the log's mutex
    std::string writing;  // entries the writer is writing; only the writer touches it
    bool stopping = false;
    bool ended = false;  // the writer is done
    Clock::time_point stopBy;
    bool failed = false;           // nothing more goes to the file
    unsigned long long lost = 0;   // bytes of entries that never reached it
    bool said = false;
};

struct Log {
    std::mutex mutex;
    std::condition_variable wake;   // to the writer: entries, or the end
    std::condition_variable ended;  // from the writer
    std::shared_ptr<File> file;
    std::thread writer;
    std::shared_ptr<const Listener> listener;  // null when none
    bool started = false;
    Clock::time_point start;
};

// Never destroyed: a writer still running at the end of the program must find it.
Log& State() {
    static Log* log = new Log;
    return *log;
}

std::atomic<bool> active{false};

void UpdateActive(const Log& log) {
    active.store(log.file != nullptr || log.listener != nullptr);
}

// The problem said once a file; the text goes to its Say outside the lock.
std::string NoteProblem(File& file, std::string problem) {
    if (file.said) return {};
    file.said = true;
    return problem;
}

void SayOutside(const File& file, const std::string& problem) {
    if (!problem.empty() && file.say) file.say(problem);
}

// Writes text to fd; a full pipe is waited for until giveUp says so. The bytes written,
// and the reason when a write failed for good.
std::size_t WriteAll(int fd, std::string_view text, const std::function<bool()>& giveUp,
                     std::string* error) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (giveUp()) break;
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, kRetryMs);
            continue;
        }
        *error = n < 0 ? std::strerror(errno) : "the file took no byte";
        break;
    }
    return done;
}

void Writer(std::shared_ptr<File> file) {
    Log& log = State();
    std::unique_lock lock(log.mutex);
    for (;;) {
        if (!file->stopping) log.wake.wait_for(lock, kWriteInterval);
        // Two buffers change places, so neither gives its memory back.
        file->writing.swap(file->pending);
        const bool failed = file->failed;
        lock.unlock();
        std::string error;
        const std::size_t written =
            failed ? 0
                   : WriteAll(file->fd, file->writing,
                                    [&log, &file] {
                                        const std::lock_guard guard(log.mutex);
                                        return file->stopping && Clock::now() >= file->stopBy;
                                    },
                                    &error);
        lock.lock();
        std::string problem;
        if (written < file->writing.size()) {
            file->lost += file->writing.size() - written;
            if (!error.empty()) {
                file->failed = true;
                problem = NoteProblem(*file, "cannot write: " + error + "; nothing more is logged");
            }
        }
        file->writing.clear();
        if (!problem.empty()) {
            lock.unlock();
            SayOutside(*file, problem);
            lock.lock();
        }
        if (file->stopping && (file->pending.empty() || file->failed || Clock::now() >= file->stopBy)) {
            file->lost += file->pending.size();
            file->pending.clear();
            break;
        }
    }
    file->ended = true;
    log.ended.notify_all();
}

// The signals the program ends on go to its other threads, never to the writer; and a
// pipe whose reader went away fails the write with EPIPE instead of ending the program.
class SignalsBlocked {
  public:
    SignalsBlocked() {
        sigset_t set;
        sigemptyset(&set);
        for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&set, s);
        pthread_sigmask(SIG_BLOCK, &set, &saved_);
    }
    ~SignalsBlocked() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;

  private:
    sigset_t saved_;
};

// Seconds with six decimals, without the cost of a floating-point format.
void AppendStamp(std::string& out, Clock::duration since) {
    const long long us = std::chrono::duration_cast<std::chrono::microseconds>(since).count();
    char digits[24];
    auto r = std::to_chars(digits, digits + sizeof digits, us / 1000000);
    out.append(digits, r.ptr);
    out += '.';
    r = std::to_chars(digits, digits + sizeof digits, 1000000 + us % 1000000);
    out.append(digits + 1, r.ptr);  // the six digits after the leading 1
}

// One entry: the stamp, the tag and the text, escaped when escape says so, followed by
// suffix as it is.
void Write(const char* tag, std::string_view text, bool escape, std::string_view suffix = {}) {
    Log& log = State();
    // Built in a buffer each thread keeps, so an entry costs no allocation.
    thread_local std::string entry;
    entry.clear();
    std::shared_ptr<const Listener> listener;
    std::shared_ptr<File> saying;
    std::string problem;
    {
        std::lock_guard lock(log.mutex);
        const auto now = Clock::now();
        if (!log.started) {
            log.started = true;
            log.start = now;
        }
        AppendStamp(entry, now - log.start);
        entry += ' ';
        entry += tag;
        entry += ' ';
        if (escape) {
            text::AppendEscaped(entry, text);
        } else {
            entry += text;
        }
        entry += suffix;
        if (File* file = log.file.get(); file != nullptr) {
            if (file->failed) {
                file->lost += entry.size() + 1;
            } else if (file->pending.size() + entry.size() + 1 > kMaxWaiting) {
                file->lost += file->pending.size() + entry.size() + 1;
                file->pending.clear();
                file->failed = true;
                problem = NoteProblem(*file, "the file takes the log too slowly (" +
                                                 std::to_string(kMaxWaiting >> 20) +
                                                 " MiB waited); nothing more is logged");
                saying = log.file;
            } else {
                file->pending += entry;
                file->pending += '\n';
            }
        }
        listener = log.listener;
    }
    // Outside the lock: the listener may take its time or log itself.
    if (saying) SayOutside(*saying, problem);
    if (listener) (*listener)(entry);
}

}  // namespace

bool OpenFile(const std::string& path, std::string* why, Say say) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                          0666);
    if (fd < 0) {
        const int error = errno;
        struct stat st {};
        if (why != nullptr) {
            *why = error == ENXIO && ::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)
                       ? "a FIFO that no program reads"
                       : std::strerror(error);
        }
        return false;
    }
    CloseFile();
    static const bool closeAtExit = std::atexit([] { CloseFile(); }) == 0;
    (void)closeAtExit;
    auto file = std::make_shared<File>();
    file->fd = fd;
    file->say = std::move(say);
    Log& log = State();
    std::lock_guard lock(log.mutex);
    log.file = file;
    {
        const SignalsBlocked blocked;  // the writer starts with them blocked
        log.writer = std::thread(Writer, file);
    }
    UpdateActive(log);
    return true;
}

bool CloseFile() {
    Log& log = State();
    std::unique_lock lock(log.mutex);
    const std::shared_ptr<File> file = std::move(log.file);
    log.file = nullptr;
    UpdateActive(log);
    if (file == nullptr) return true;
    file->stopping = true;
    file->stopBy = Clock::now() + kCloseBound;
    log.wake.notify_all();
    // The writer gives up at stopBy; a write the kernel holds longer leaves it behind.
    const bool ended = log.ended.wait_until(lock, file->stopBy + std::chrono::milliseconds(4 * kRetryMs),
                                            [&file] { return file->ended; });
    std::thread writer = std::move(log.writer);
    if (!ended) {
        file->lost += file->pending.size();
        file->pending.clear();
        file->failed = true;
    }
    const unsigned long long lost = file->lost;
    const std::string problem =
        lost == 0 ? std::string()
                  : NoteProblem(*file, std::to_string(lost) + " bytes of the log were not written: the file "
                                       "did not take them within " +
                                       std::to_string(kCloseBound.count()) + " ms");
    lock.unlock();
    if (ended) {
        writer.join();
        ::close(file->fd);
    } else {
        writer.detach();  // its file stays open and alive for it
    }
    SayOutside(*file, problem);
    return lost == 0 && !file->failed;
}

void SetListener(Listener listener) {
    Log& log = State();
    std::lock_guard lock(log.mutex);
    log.listener = listener ? std::make_shared<const Listener>(std::move(listener)) : nullptr;
    UpdateActive(log);
}

bool Active() {
    return active.load(std::memory_order_relaxed);
}

void Sent(std::string_view bytes) {
    if (Active()) Write("TX", bytes, true);
}

void Received(std::string_view buffer, long count, bool lineEnded) {
    if (!Active()) return;
    const std::size_t n =
        count < 0 ? 0 : std::min(static_cast<std::size_t>(count), buffer.size());
    Write("RX", buffer.substr(0, n), true, lineEnded ? "\\n" : "");
}

void LibraryCall(std::string_view text) {
    if (Active()) Write("IB", text, false);
}

void LinkEvent(std::string_view text) {
    if (Active()) Write("LK", text, true);
}

std::string Escape(std::string_view bytes) {
    return text::Escape(bytes);
}

}  // namespace linklog
