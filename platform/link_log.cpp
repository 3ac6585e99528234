#include "platform/link_log.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

namespace linklog {

namespace {

struct Log {
    std::mutex mutex;
    std::FILE* file = nullptr;
    Listener listener;
    bool started = false;
    std::chrono::steady_clock::time_point start;
};

Log& State() {
    static Log log;
    return log;
}

std::atomic<bool> active{false};

void UpdateActive(const Log& log) {
    active.store(log.file != nullptr || static_cast<bool>(log.listener));
}

void Write(const char* tag, std::string_view text) {
    Log& log = State();
    Listener listener;
    std::string entry;
    {
        std::lock_guard lock(log.mutex);
        const auto now = std::chrono::steady_clock::now();
        if (!log.started) {
            log.started = true;
            log.start = now;
        }
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%.6f ",
                      std::chrono::duration<double>(now - log.start).count());
        entry.reserve(std::strlen(stamp) + 3 + text.size());
        entry += stamp;
        entry += tag;
        entry += ' ';
        entry += text;
        if (log.file != nullptr) {
            std::fprintf(log.file, "%s\n", entry.c_str());
            std::fflush(log.file);
        }
        listener = log.listener;
    }
    // Outside the lock: the listener may take its time or log itself.
    if (listener) listener(entry);
}

}  // namespace

bool OpenFile(const std::string& path, std::string* why) {
    std::FILE* file = std::fopen(path.c_str(), "ae");
    if (file == nullptr) {
        if (why != nullptr) *why = std::strerror(errno);
        return false;
    }
    Log& log = State();
    std::lock_guard lock(log.mutex);
    if (log.file != nullptr) std::fclose(log.file);
    log.file = file;
    UpdateActive(log);
    return true;
}

void CloseFile() {
    Log& log = State();
    std::lock_guard lock(log.mutex);
    if (log.file != nullptr) std::fclose(log.file);
    log.file = nullptr;
    UpdateActive(log);
}

void SetListener(Listener listener) {
    Log& log = State();
    std::lock_guard lock(log.mutex);
    log.listener = std::move(listener);
    UpdateActive(log);
}

bool Active() {
    return active.load(std::memory_order_relaxed);
}

void Sent(std::string_view bytes) {
    if (Active()) Write("TX", Escape(bytes));
}

void Received(std::string_view buffer, long count, bool lineEnded) {
    if (!Active()) return;
    const std::size_t n =
        count < 0 ? 0 : std::min(static_cast<std::size_t>(count), buffer.size());
    std::string text = Escape(buffer.substr(0, n));
    if (lineEnded) text += "\\n";
    Write("RX", text);
}

void LibraryCall(std::string_view text) {
    if (Active()) Write("IB", text);
}

std::string Escape(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() + 8);
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
    return out;
}

}  // namespace linklog
