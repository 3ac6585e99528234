#include "simulator/controller.h"

#include <algorithm>
#include <charconv>

namespace sim {
namespace {

constexpr char kEsc = '\x1B';
constexpr std::size_t kMaxLine = 4096;  // a host line longer than this is thrown away

std::optional<int> ReadNumber(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
        if (i > start) words.emplace_back(text.substr(start, i - start));
    }
    return words;
}

std::string_view EosBytes(int eos) {
    switch (eos) {
        case 0:
            return "\r\n";
        case 1:
            return "\r";
        case 2:
            return "\n";
        default:
            return "";
    }
}

}  // namespace

Controller::Controller(ControllerConfig config, const std::vector<std::pair<int, Config>>& decades)
    : config_(std::move(config)), host_(config_.transcript) {
    for (const auto& [address, decade] : decades) {
        bus_[address].device = std::make_unique<Device>(decade);
    }
}

Device* Controller::DecadeAt(int address) {
    const auto it = bus_.find(address);
    return it == bus_.end() ? nullptr : it->second.device.get();
}

const Device* Controller::DecadeAt(int address) const {
    const auto it = bus_.find(address);
    return it == bus_.end() ? nullptr : it->second.device.get();
}

void Controller::Append(std::string_view bytes) {
    // An unescaped CR or LF ends a line; ESC makes the next byte (CR, LF, ESC, '+') data.
    for (const char c : bytes) {
        if (escaped_) {
            escaped_ = false;
            partial_.raw += c;
            partial_.data += c;
        } else if (c == kEsc) {
            escaped_ = true;
            partial_.raw += c;
        } else if (c == '\r' || c == '\n') {
            if (!partial_.raw.empty()) lines_.push_back(std::move(partial_));
            partial_ = Line{};
        } else {
            partial_.raw += c;
            partial_.data += c;
        }
        if (partial_.raw.size() > kMaxLine) partial_ = Line{};
    }
}

void Controller::Reset() {
    partial_ = Line{};
    escaped_ = false;
}

std::optional<Clock::time_point> Controller::DropDeadline() const {
    if (config_.dropAtMs < 0 || !firstLine_ || dropped_) return std::nullopt;
    return *firstLine_ + std::chrono::milliseconds(config_.dropAtMs);
}

void Controller::DropNow() {
    if (dropped_) return;
    dropped_ = true;
    host_.Event("drop");
}

std::optional<Reply> Controller::Next(Clock::time_point now) {
    if (lines_.empty()) return std::nullopt;
    const Line line = std::move(lines_.front());
    lines_.pop_front();
    if (!firstLine_) firstLine_ = now;
    host_.ReceivedLine(line.raw);
    ++hostLines_;
    const auto deadline = DropDeadline();
    if (dropped_ || (config_.dropAfter >= 0 && hostLines_ > config_.dropAfter) ||
        (deadline && now >= *deadline)) {
        DropNow();
        Reply reply;
        reply.drop = true;
        return reply;
    }
    // Only an unescaped "++" makes a command: ESC '+' at the start is data.
    if (line.raw.rfind("++", 0) == 0) return Command(line.data.substr(2), now);
    return Data(line.data, now);
}

Clock::time_point Controller::Late(Clock::time_point now) const {
    return now + std::chrono::milliseconds(config_.delayMs);
}

Reply Controller::Say(const std::string& text, Clock::time_point now) {
    Reply reply;
    reply.busyUntil = Late(now);
    reply.chunks.push_back({reply.busyUntil, text + "\r\n"});
    host_.Sent(reply.chunks.back().bytes);
    return reply;
}

Reply Controller::Setting(int* value, int low, int high, const std::vector<std::string>& args,
                          Clock::time_point now) {
    if (args.empty()) return Say(std::to_string(*value), now);
    // A value out of range, or more than one, is ignored: the setting stays, nothing is said.
    const std::optional<int> number = args.size() == 1 ? ReadNumber(args[0]) : std::nullopt;
    if (number && *number >= low && *number <= high) *value = *number;
    Reply quiet;
    quiet.busyUntil = now;
    return quiet;
}

Controller::BusDevice* Controller::Addressed(Clock::time_point now) {
    if (settings_.mode != 1 || settings_.secondary >= 0) return nullptr;
    const auto it = bus_.find(settings_.address);
    if (it == bus_.end()) return nullptr;
    Device& device = *it->second.device;
    if (const auto deadline = device.DropDeadline(); deadline && now >= *deadline) {
        device.DropNow();
    }
    return device.dropped() ? nullptr : &it->second;
}

Reply Controller::Command(const std::string& text, Clock::time_point now) {
    std::vector<std::string> args = Words(text);
    const std::string name = args.empty() ? "" : args.front();
    if (!args.empty()) args.erase(args.begin());
    Reply quiet;
    quiet.busyUntil = now;
    ControllerSettings& s = settings_;

    if (name == "addr") {
        if (args.empty()) {
            return Say(std::to_string(s.address) +
                           (s.secondary >= 0 ? " " + std::to_string(s.secondary) : ""),
                       now);
        }
        // A primary address 0..30, optionally a secondary one 96..126; anything else is
        // ignored.
        const int pad = ReadNumber(args[0]).value_or(-1);
        const int sad = args.size() == 2 ? ReadNumber(args[1]).value_or(-1) : -1;
        if (pad >= 0 && pad <= 30 &&
            (args.size() == 1 || (args.size() == 2 && sad >= 96 && sad <= 126))) {
            s.address = pad;
            s.secondary = sad;
        }
        return quiet;
    }
    if (name == "auto") return Setting(&s.autoRead, 0, 1, args, now);
    if (name == "eoi") return Setting(&s.eoi, 0, 1, args, now);
    if (name == "eos") return Setting(&s.eos, 0, 3, args, now);
    if (name == "eot_enable") return Setting(&s.eotEnable, 0, 1, args, now);
    if (name == "eot_char") return Setting(&s.eotChar, 0, 255, args, now);
    if (name == "mode") return Setting(&s.mode, 0, 1, args, now);
    if (name == "read_tmo_ms") return Setting(&s.readTimeoutMs, 1, 3000, args, now);
    if (name == "savecfg") return Setting(&s.saveConfig, 0, 1, args, now);
    if (name == "ver") return Say(config_.version, now);
    if (name == "srq") return Say("0", now);
    if (name == "help") {
        return Say(
            "addr auto clr eoi eos eot_char eot_enable help ifc llo loc lon mode read "
            "read_tmo_ms rst savecfg spoll srq status trg ver",
            now);
    }
    if (name == "rst") {
        s = ControllerSettings{};
        return quiet;
    }
    if (name == "lon" || name == "status") return quiet;  // device mode only

    // Bus commands: to the addressed device only, and only as controller in charge.
    if (name == "read") {
        if (s.mode != 1) return quiet;
        if (args.empty()) return Read(ReadEnd::Timeout, 0, now);
        if (args.size() == 1 && args[0] == "eoi") return Read(ReadEnd::Eoi, 0, now);
        const std::optional<int> end = args.size() == 1 ? ReadNumber(args[0]) : std::nullopt;
        if (end && *end >= 0 && *end <= 255) {
            return Read(ReadEnd::Char, static_cast<char>(*end), now);
        }
        return quiet;
    }
    if (name == "spoll") {
        const std::optional<int> pad = args.size() == 1 ? ReadNumber(args[0]) : std::nullopt;
        if (s.mode != 1 || args.size() > 1 || (args.size() == 1 && !pad)) return quiet;
        const int saved = s.address;
        if (pad) s.address = *pad;
        const bool there = Addressed(now) != nullptr;
        s.address = saved;
        if (there) return Say("0", now);  // no decade asks for service
        quiet.busyUntil = now + std::chrono::milliseconds(s.readTimeoutMs);
        return quiet;
    }
    if (name == "ifc") {
        if (s.mode == 1) {
            for (auto& [address, device] : bus_) device.device->transcript().Event("ifc");
        }
        return quiet;
    }
    if (name == "clr" || name == "loc" || name == "llo" || name == "trg") {
        BusDevice* device = args.empty() ? Addressed(now) : nullptr;
        if (device == nullptr) return quiet;
        if (name == "clr") {  // selected device clear: what it had to say, and any part line
            device->input.clear();
            device->output.clear();
        }
        if (name == "loc") device->device->engine().state().remote = false;  // go to local
        device->device->transcript().Event(name);
        return quiet;
    }
    return Say(std::string(kUnrecognized), now);
}

void Controller::Feed(BusDevice* device, std::string_view line, Clock::time_point now) {
    const Response response = device->device->OnLine(line);
    if (response.drop) {
        device->input.clear();
        device->output.clear();
        return;
    }
    if (response.send) {
        device->output += response.bytes;
        device->readyAt = now + std::chrono::milliseconds(response.delayMs);
    }
}

Reply Controller::Data(const std::string& data, Clock::time_point now) {
    Reply quiet;
    quiet.busyUntil = now;
    if (settings_.mode != 1) return quiet;
    BusDevice* device = Addressed(now);
    if (device != nullptr) {
        // A new message clears a reply nobody read. The device takes a line at each LF,
        // and the rest when EOI comes with the last byte; without EOI it waits for more.
        device->output.clear();
        device->input += data;
        device->input += EosBytes(settings_.eos);
        std::size_t newline;
        while (!device->device->dropped() &&
               (newline = device->input.find('\n')) != std::string::npos) {
            const std::string line = device->input.substr(0, newline + 1);
            device->input.erase(0, newline + 1);
            Feed(device, line, now);
        }
        if (settings_.eoi == 1 && !device->input.empty() && !device->device->dropped()) {
            const std::string rest = std::move(device->input);
            device->input.clear();
            Feed(device, rest, now);
        }
        if (device->input.size() > kMaxLine) device->input.clear();
    }
    if (settings_.autoRead == 1) return Read(ReadEnd::Eoi, 0, now);
    return quiet;
}

Reply Controller::Read(ReadEnd end, char endChar, Clock::time_point now) {
    const auto timeout = std::chrono::milliseconds(settings_.readTimeoutMs);
    Reply reply;
    BusDevice* device = Addressed(now);
    // Nothing to read within the time-out (no device, a silent one, or one slower than the
    // time-out): nothing comes back. A late reply stays for a later read.
    if (device == nullptr || device->output.empty() || device->readyAt > now + timeout) {
        reply.busyUntil = now + timeout;
        return reply;
    }
    const Clock::time_point start = std::max(now, device->readyAt);
    std::string taken;
    bool eoi = true;                 // the device sends EOI with the last byte it has
    Clock::time_point done = start;  // when the read ends
    const std::size_t at = end == ReadEnd::Char ? device->output.find(endChar) : std::string::npos;
    if (at != std::string::npos) {
        taken = device->output.substr(0, at + 1);
        device->output.erase(0, at + 1);
        eoi = device->output.empty();
    } else {
        taken = std::move(device->output);
        device->output.clear();
        // Until the time-out, or waiting for an end character that EOI came without.
        if (end != ReadEnd::Eoi) done = start + timeout;
    }
    if (eoi && settings_.eotEnable == 1) taken += static_cast<char>(settings_.eotChar);
    reply.chunks.push_back({Late(start), taken});
    reply.busyUntil = std::max(done, Late(start));
    host_.Sent(taken);
    return reply;
}

}  // namespace sim
