// One simulated decade as the wire sees it: the engine, the faults configured on top of it
// and the transcript. Both front ends (pseudo-terminal and GPIB stand-in) use it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "simulator/config.h"
#include "simulator/engine.h"
#include "simulator/transcript.h"

namespace sim {

// What the front end does after a line came in.
struct Response {
    bool send = false;  // send bytes (possibly empty when the line end is "none")
    std::string bytes;  // reply with its line end, faults applied
    int delayMs = 0;    // wait this long before sending
    bool drop = false;  // drop the link instead of replying
};

// The junk that --garbage sends instead of a reply.
inline constexpr std::string_view kGarbage = "#\xA5?~%\x7F!";
// --long-replies pads a reply with '#' to this many bytes (before its line end).
inline constexpr std::size_t kLongReplySize = 64;
// The line --flood-after sends over and over.
inline constexpr std::string_view kFloodLine = "FLOOD 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n";

class Device {
  public:
    explicit Device(Config config);

    // One complete line as received, line end included.
    Response OnLine(std::string_view line);
    // A line end for a reply under the configured faults.
    static std::string LineEndBytes(LineEnd lineEnd);

    Engine& engine() { return engine_; }
    const Engine& engine() const { return engine_; }
    Transcript& transcript() { return transcript_; }
    const Transcript& transcript() const { return transcript_; }
    const Config& config() const { return config_; }
    bool dropped() const { return dropped_; }
    // With --drop-at: when the link goes, counted from the first line; nothing before the
    // first line, after the drop, or without the option.
    std::optional<std::chrono::steady_clock::time_point> DropDeadline() const;
    // Drops the link now (recorded as <drop>); later lines get the drop response.
    void DropNow();
    long exchanges() const { return exchanges_; }
    // True once --flood-after's exchanges have passed: the front end streams lines unasked.
    bool flooding() const {
        return config_.floodAfter >= 0 && exchanges_ >= config_.floodAfter && !dropped_;
    }

  private:
    Config config_;
    Engine engine_;
    Transcript transcript_;
    long exchanges_ = 0;
    bool dropped_ = false;
    std::optional<std::chrono::steady_clock::time_point> firstLine_;
};

}  // namespace sim
