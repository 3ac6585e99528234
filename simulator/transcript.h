// The record of what a simulated decade received: every line with its time stamp and its
// exact bytes (line end included), kept in memory and optionally appended to a file.
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct Record {
    double seconds;       // since the transcript was started
    std::string bytes;    // exactly as received, line end included
    bool framed = false;  // a line whose end was taken off on arrival: nothing to strip
};

class Transcript {
  public:
    // With a file path, every entry is also appended to that file, one entry a line:
    //   <seconds> RX <escaped bytes>   a line received
    //   <seconds> RL <escaped bytes>   a line received, its end already taken off
    //   <seconds> TX <escaped bytes>   a reply sent
    //   <seconds> EV <text>            an event (ibloc, drop, ...)
    explicit Transcript(const std::string& filePath = "");
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    bool FileOk() const { return file_ != nullptr || path_.empty(); }

    void Received(std::string_view bytes);
    // A line whose end was taken off on arrival (a GPIB controller's host line, where a
    // CR or LF at the end may be data): kept and given back exactly as it is.
    void ReceivedLine(std::string_view line);
    void Sent(std::string_view bytes);
    // Also kept among the received lines, as "<text>", so a test sees where it happened.
    void Event(std::string_view text);

    std::vector<Record> Records() const;
    std::vector<std::string> Lines() const;  // received lines without their line ends
    void Clear();

    // Printable form of bytes: \r \n \t \\ and \xHH for other control and high bytes.
    static std::string Escape(std::string_view bytes);
    static std::optional<std::string> Unescape(std::string_view text);
    // Strips one LF and then one CR from the end.
    static std::string_view StripLineEnd(std::string_view bytes);
    // Reads a transcript file back: received lines without line ends, events as "<text>".
    static std::vector<std::string> ReadLines(const std::string& filePath);

  private:
    void Write(const char* tag, std::string_view text, double seconds);
    double Now() const;

    mutable std::mutex mutex_;
    std::chrono::steady_clock::time_point start_;
    std::vector<Record> records_;
    std::string path_;
    std::FILE* file_ = nullptr;
};

}  // namespace sim
