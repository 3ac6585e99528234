// A GPIB controller of the "++" command kind, with simulated decades on its bus at their
// addresses. The host talks to it over a byte stream (a pseudo-terminal as the controller's
// USB serial port, or TCP as on its network port): lines beginning with "++" are the
// controller's own commands, every other line is data for the addressed device. No I/O here:
// the stream server feeds it and writes its replies at the times it names.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "simulator/config.h"
#include "simulator/device.h"
#include "simulator/stream_server.h"
#include "simulator/transcript.h"

namespace sim {

inline constexpr std::string_view kDefaultControllerVersion = "SIMLAB GPIB controller 1.0";
inline constexpr std::string_view kUnrecognized = "Unrecognized command";

struct ControllerConfig {
    std::string version{kDefaultControllerVersion};  // the ++ver reply
    int delayMs = 0;         // every reply of the controller this much later (a slow controller)
    int dropAfter = -1;      // the line after this many lines from the host hangs up the link
    int dropAtMs = -1;       // hang up this long after the first line from the host
    std::string transcript;  // file the host's lines and the replies are appended to
};

// The controller's settings, as the ++ commands set and report them.
// The switches are 0 or 1, as on the wire.
struct ControllerSettings {
    int mode = 1;             // 1 controller, 0 device
    int address = 0;          // primary address of the device data goes to
    int secondary = -1;       // 96..126, -1 none
    int autoRead = 0;         // 1: read after every data line
    int eoi = 1;              // 1: EOI with the last byte sent
    int eos = 0;              // appended to data: 0 CR LF, 1 CR, 2 LF, 3 nothing
    int eotEnable = 0;        // 1: append eotChar to what is read when EOI came
    int eotChar = 0;          // 0..255
    int readTimeoutMs = 500;  // 1..3000: the wait for the next byte of a read
    int saveConfig = 1;
};

class Controller : public Protocol {
  public:
    // decades: (address, configuration) pairs; each becomes a decade with its own state and
    // transcript.
    Controller(ControllerConfig config, const std::vector<std::pair<int, Config>>& decades);

    void Append(std::string_view bytes) override;
    std::optional<Reply> Next(Clock::time_point now) override;
    void Reset() override;
    void Event(std::string_view text) override { host_.Event(text); }
    std::optional<Clock::time_point> DropDeadline() const override;
    void DropNow() override;

    const ControllerSettings& settings() const { return settings_; }
    // The decade at an address, nullptr when there is none.
    Device* DecadeAt(int address);
    const Device* DecadeAt(int address) const;
    // What the host sent: its lines exactly as they came (escapes kept, line ends taken
    // off), events as <connect>, <disconnect>, <busy>, <drop>.
    const Transcript& host() const { return host_; }

  private:
    enum class ReadEnd { Timeout, Eoi, Char };
    struct Line {
        std::string raw;   // as received, without its end
        std::string data;  // escapes taken out
    };
    struct BusDevice {
        std::unique_ptr<Device> device;
        std::string input;   // bytes received, waiting for their LF or EOI
        std::string output;  // what the device has to say, waiting for a read
        Clock::time_point readyAt{};
    };

    Reply Command(const std::string& text, Clock::time_point now);
    Reply Data(const std::string& data, Clock::time_point now);
    Reply Read(ReadEnd end, char endChar, Clock::time_point now);
    Reply Say(const std::string& text, Clock::time_point now);  // one reply line
    Reply Setting(int* value, int low, int high, const std::vector<std::string>& args,
                  Clock::time_point now);
    Clock::time_point Late(Clock::time_point now) const;  // now plus the controller's delay
    // The addressed device when it is on the bus and takes part (no secondary address, not
    // dropped); nullptr otherwise.
    BusDevice* Addressed(Clock::time_point now);
    void Feed(BusDevice* device, std::string_view line, Clock::time_point now);

    ControllerConfig config_;
    ControllerSettings settings_;
    std::map<int, BusDevice> bus_;
    Transcript host_;
    std::deque<Line> lines_;
    Line partial_;
    bool escaped_ = false;
    long hostLines_ = 0;
    std::optional<Clock::time_point> firstLine_;
    bool dropped_ = false;
};

}  // namespace sim
