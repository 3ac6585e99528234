#include "simulator/transcript.h"

#include <fstream>

#include "simulator/config.h"

namespace sim {

Transcript::Transcript(const std::string& filePath)
    : start_(std::chrono::steady_clock::now()), path_(filePath) {
    if (!path_.empty()) file_ = std::fopen(path_.c_str(), "ae");
}

Transcript::~Transcript() {
    if (file_) std::fclose(file_);
}

double Transcript::Now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Transcript::Write(const char* tag, std::string_view text, double seconds) {
    if (!file_) return;
    std::fprintf(file_, "%.6f %s %.*s\n", seconds, tag, static_cast<int>(text.size()), text.data());
    std::fflush(file_);
}

void Transcript::Received(std::string_view bytes) {
    std::lock_guard lock(mutex_);
    const double seconds = Now();
    records_.push_back({seconds, std::string(bytes)});
    Write("RX", Escape(bytes), seconds);
}

void Transcript::ReceivedLine(std::string_view line) {
    std::lock_guard lock(mutex_);
    const double seconds = Now();
    records_.push_back({seconds, std::string(line), true});
    Write("RL", Escape(line), seconds);
}

void Transcript::Sent(std::string_view bytes) {
    std::lock_guard lock(mutex_);
    Write("TX", Escape(bytes), Now());
}

void Transcript::Event(std::string_view text) {
    std::lock_guard lock(mutex_);
    const double seconds = Now();
    records_.push_back({seconds, "<" + std::string(text) + ">"});
    Write("EV", Escape(text), seconds);
}

std::vector<Record> Transcript::Records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

std::vector<std::string> Transcript::Lines() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> lines;
    lines.reserve(records_.size());
    for (const Record& record : records_) {
        lines.emplace_back(record.framed ? std::string_view(record.bytes)
                                         : StripLineEnd(record.bytes));
    }
    return lines;
}

void Transcript::Clear() {
    std::lock_guard lock(mutex_);
    records_.clear();
}

std::string_view Transcript::StripLineEnd(std::string_view bytes) {
    if (!bytes.empty() && bytes.back() == '\n') bytes.remove_suffix(1);
    if (!bytes.empty() && bytes.back() == '\r') bytes.remove_suffix(1);
    return bytes;
}

std::string Transcript::Escape(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (b < 0x20 || b >= 0x7F) {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> Transcript::Unescape(std::string_view text) {
    return DecodeEscapes(text);
}

std::vector<std::string> Transcript::ReadLines(const std::string& filePath) {
    std::vector<std::string> lines;
    std::ifstream in(filePath);
    std::string entry;
    while (std::getline(in, entry)) {
        const std::size_t first = entry.find(' ');
        if (first == std::string::npos || entry.size() < first + 4) continue;
        const std::string_view tag = std::string_view(entry).substr(first + 1, 2);
        const std::string_view body = std::string_view(entry).substr(first + 4);
        const std::optional<std::string> bytes = Unescape(body);
        if (!bytes) continue;
        if (tag == "RX") lines.emplace_back(StripLineEnd(*bytes));
        if (tag == "RL") lines.push_back(*bytes);
        if (tag == "EV") lines.push_back("<" + *bytes + ">");
    }
    return lines;
}

}  // namespace sim
