#include "platform/link_log.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace linklog {

namespace {

// Entries for the file are collected in memory and written by a thread of their own every
// few milliseconds, so that an exchange never waits for the disk.
constexpr auto kWriteInterval = std::chrono::milliseconds(20);

struct Log {
    std::mutex mutex;
    std::condition_variable wake;
    std::FILE* file = nullptr;
    std::string pending;  // entries not yet written to the file
    std::string writing;  // entries the writer is writing; only the writer touches it
    std::thread writer;
    bool stopping = false;
    std::shared_ptr<const Listener> listener;  // null when none
    bool started = false;
    std::chrono::steady_clock::time_point start;
};

Log& State() {
    static Log log;
    return log;
}

std::atomic<bool> active{false};

void UpdateActive(const Log& log) {
    active.store(log.file != nullptr || log.listener != nullptr);
}

void WriteOut(std::FILE* file, const std::string& text) {
    if (text.empty()) return;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
}

void Writer() {
    Log& log = State();
    std::unique_lock lock(log.mutex);
    while (!log.stopping) {
        log.wake.wait_for(lock, kWriteInterval);
        // Two buffers change places, so neither gives its memory back.
        log.writing.swap(log.pending);
        std::FILE* file = log.file;
        lock.unlock();
        WriteOut(file, log.writing);
        log.writing.clear();
        lock.lock();
    }
}

// Stops the writer and writes what is left; the file stays open. Called without the lock.
void StopWriter(Log& log) {
    {
        std::lock_guard lock(log.mutex);
        if (!log.writer.joinable()) return;
        log.stopping = true;
    }
    log.wake.notify_all();
    log.writer.join();
    std::lock_guard lock(log.mutex);
    log.stopping = false;
    if (log.file != nullptr) WriteOut(log.file, log.pending);
    log.pending.clear();
}

void AppendEscaped(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (b < 0x20 || b >= 0x7F) {
                    out += "\\x";
                    out += kHex[b >> 4];
                    out += kHex[b & 0x0F];
                } else {
                    out += c;
                }
        }
    }
}

// Seconds with six decimals, without the cost of a floating-point format.
void AppendStamp(std::string& out, std::chrono::steady_clock::duration since) {
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
    {
        std::lock_guard lock(log.mutex);
        const auto now = std::chrono::steady_clock::now();
        if (!log.started) {
            log.started = true;
            log.start = now;
        }
        AppendStamp(entry, now - log.start);
        entry += ' ';
        entry += tag;
        entry += ' ';
        if (escape) {
            AppendEscaped(entry, text);
        } else {
            entry += text;
        }
        entry += suffix;
        if (log.file != nullptr) {
            log.pending += entry;
            log.pending += '\n';
        }
        listener = log.listener;
    }
    // Outside the lock: the listener may take its time or log itself.
    if (listener) (*listener)(entry);
}

}  // namespace

bool OpenFile(const std::string& path, std::string* why) {
    std::FILE* file = std::fopen(path.c_str(), "ae");
    if (file == nullptr) {
        if (why != nullptr) *why = std::strerror(errno);
        return false;
    }
    CloseFile();
    static const bool closeAtExit = std::atexit(CloseFile) == 0;
    (void)closeAtExit;
    Log& log = State();
    std::lock_guard lock(log.mutex);
    log.file = file;
    log.writer = std::thread(Writer);
    UpdateActive(log);
    return true;
}

void CloseFile() {
    Log& log = State();
    StopWriter(log);
    std::lock_guard lock(log.mutex);
    if (log.file != nullptr) std::fclose(log.file);
    log.file = nullptr;
    UpdateActive(log);
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

std::string Escape(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 8);
    AppendEscaped(out, bytes);
    return out;
}

}  // namespace linklog
