#include "simulator/decade_server.h"

namespace sim {
namespace {

constexpr std::size_t kMaxPending = 4096;  // a "line" longer than this is thrown away

}  // namespace

void DecadeProtocol::Append(std::string_view bytes) {
    pending_.append(bytes);
}

std::optional<Reply> DecadeProtocol::Next(Clock::time_point now) {
    const std::size_t newline = pending_.find('\n');
    if (newline == std::string::npos) {
        if (pending_.size() > kMaxPending) pending_.clear();
        return std::nullopt;
    }
    const std::string line = pending_.substr(0, newline + 1);
    pending_.erase(0, newline + 1);
    const Response response = device_.OnLine(line);
    Reply reply;
    reply.busyUntil = now;
    if (response.drop) {
        reply.drop = true;
        return reply;
    }
    if (response.send) {
        reply.busyUntil = now + std::chrono::milliseconds(response.delayMs);
        reply.chunks.push_back({reply.busyUntil, response.bytes});
    }
    return reply;
}

std::string_view DecadeProtocol::FloodBytes() const {
    static const std::string chunk = [] {
        std::string text;
        while (text.size() < 4096) text += kFloodLine;
        return text;
    }();
    return device_.flooding() ? std::string_view(chunk) : std::string_view();
}

bool DecadeServer::WaitForLines(std::size_t count, int timeoutMs) const {
    return server_.WaitUntil(
        [&] { return protocol_.device().transcript().Records().size() >= count; }, timeoutMs);
}

}  // namespace sim
