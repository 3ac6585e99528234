#include "simulator/device.h"

#include <utility>

namespace sim {

Device::Device(Config config)
    : config_(std::move(config)), engine_(config_), transcript_(config_.transcript) {}

std::string Device::LineEndBytes(LineEnd lineEnd) {
    switch (lineEnd) {
        case LineEnd::CrLf:
            return "\r\n";
        case LineEnd::Lf:
            return "\n";
        case LineEnd::Cr:
            return "\r";
        case LineEnd::None:
            return "";
    }
    return "\r\n";
}

std::optional<std::chrono::steady_clock::time_point> Device::DropDeadline() const {
    if (config_.dropAtMs < 0 || !firstLine_ || dropped_) return std::nullopt;
    return *firstLine_ + std::chrono::milliseconds(config_.dropAtMs);
}

void Device::DropNow() {
    if (dropped_) return;
    dropped_ = true;
    transcript_.Event("drop");
}

Response Device::OnLine(std::string_view line) {
    Response response;
    const auto now = std::chrono::steady_clock::now();
    if (!firstLine_) firstLine_ = now;
    transcript_.Received(line);
    // A front end that cannot hang up at the time itself (a bus) sees the drop here.
    if (const auto deadline = DropDeadline(); deadline && now >= *deadline) DropNow();
    if (dropped_) {
        response.drop = true;
        return response;
    }
    if (config_.dropAfter >= 0 && exchanges_ >= config_.dropAfter) {
        dropped_ = true;
        transcript_.Event("drop");
        response.drop = true;
        return response;
    }
    ++exchanges_;

    const std::string_view command = Transcript::StripLineEnd(line);
    std::optional<std::string> reply = engine_.Handle(command);
    for (const auto& [pattern, bytes] : config_.replies) {
        if (MatchesAny({pattern}, command)) {
            reply = bytes;
            break;
        }
    }
    if (!reply || config_.silent || MatchesAny(config_.silentTo, command)) return response;
    if (config_.silentAfter >= 0 && exchanges_ > config_.silentAfter &&
        (config_.silentFor < 0 || exchanges_ <= config_.silentAfter + config_.silentFor)) {
        return response;  // the decade stopped answering (busy, or switched off and on)
    }

    const bool faulty = config_.faultCommands.empty() || MatchesAny(config_.faultCommands, command);
    std::string text = *reply;
    if (faulty) {
        if (config_.garbage) text = kGarbage;
        if (config_.longReplies) {
            if (text.size() < kLongReplySize) text.append(kLongReplySize - text.size(), '#');
        }
        if (config_.nulBytes) text.insert(text.size() / 2, 1, '\0');
        response.delayMs = config_.delayMs;
    }
    response.bytes = text + LineEndBytes(faulty ? config_.lineEnd : LineEnd::CrLf);
    response.send = true;
    transcript_.Sent(response.bytes);
    return response;
}

}  // namespace sim
