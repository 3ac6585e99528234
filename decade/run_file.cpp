#include "decade/run_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/text.h"

namespace decade {

namespace {

struct PrefixRow {
    std::string_view suffix;
    double factor;
};
// clang-format off
constexpr std::array<PrefixRow, 9> kPrefixes{{
    {"p", 1e-12}, {"n", 1e-9}, {"u", 1e-6}, {"\xC2\xB5", 1e-6}, {"m", 1e-3},
    {"k", 1e3},   {"M", 1e6},  {"G", 1e9},  {"T", 1e12},
}};
// clang-format on

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> Split(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(separator, start);
        fields.push_back(Trim(line.substr(start, end - start)));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return fields;
}

}  // namespace

std::optional<double> ParseValue(std::string_view text) {
    text = Trim(text);
    double factor = 1.0;
    for (const PrefixRow& row : kPrefixes) {
        if (text.size() > row.suffix.size() &&
            text.substr(text.size() - row.suffix.size()) == row.suffix) {
            factor = row.factor;
            text.remove_suffix(row.suffix.size());
            if (text.back() == ' ' || text.back() == '\t') return std::nullopt;  // "2 k"
            break;
        }
    }
    const std::optional<double> number = text::ParseEntryNumber(text);
    if (!number || !std::isfinite(*number)) return std::nullopt;
    const double value = *number * factor;
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

bool ParseRunFile(std::string_view contents, std::vector<RunStep>* steps, std::string* why) {
    steps->clear();
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (contents.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        contents.remove_prefix(kByteOrderMark.size());
    }
    int lineNumber = 0;
    bool first = true;
    std::size_t start = 0;
    while (start < contents.size()) {
        std::size_t end = contents.find('\n', start);
        if (end == std::string_view::npos) end = contents.size();
        const std::string_view line = Trim(contents.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.empty() || line.front() == '#') continue;
        const std::vector<std::string_view> fields = Split(line, ',');
        if (first) {
            first = false;
            // A header names the columns; a first row with a number in it is a step, and
            // a wrong one is said, not skipped.
            if (std::none_of(fields.begin(), fields.end(),
                             [](std::string_view f) { return ParseValue(f).has_value(); })) {
                continue;
            }
        }
        const auto fail = [&](const std::string& what) {
            *why = "line " + std::to_string(lineNumber) + ": " + what;
            return false;
        };
        if (fields.size() < 2 || fields.size() > 3) {
            return fail("a row is value,dwell_seconds with an optional function");
        }
        const std::optional<double> value = ParseValue(fields[0]);
        if (!value) return fail("\"" + std::string(fields[0]) + "\" is no value");
        const std::optional<double> dwell = text::ParseEntryNumber(fields[1]);
        if (!dwell || !std::isfinite(*dwell) || *dwell < 0.0) {
            return fail("\"" + std::string(fields[1]) + "\" is no dwell time in seconds");
        }
        if (*dwell > kMaxDwellSeconds) {
            return fail("the dwell \"" + std::string(fields[1]) + "\" is longer than the " +
                        text::FormatPlain(kMaxDwellSeconds) + " s a step can take");
        }
        RunStep step;
        step.value = *value;
        step.dwellSeconds = *dwell;
        if (fields.size() == 3) step.function = std::string(fields[2]);
        step.line = lineNumber;
        steps->push_back(std::move(step));
    }
    if (steps->empty()) {
        *why = "the file holds no step";
        return false;
    }
    return true;
}

namespace {

std::string Limit() {
    return "the " + std::to_string(kMaxRunFileBytes) + " bytes (" +
           std::to_string(kMaxRunFileBytes >> 20) + " MiB) a run file may hold";
}

// The whole file, never more than the limit, without blocking on a FIFO or a device.
RunFileRead ReadWhole(const std::string& path, std::string* contents, std::string* why,
                      const std::function<bool()>& stop) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *why = std::strerror(errno);
        return RunFileRead::Unreadable;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        if (st.st_size > kMaxRunFileBytes) {
            *why = "the file is " + std::to_string(st.st_size) + " bytes, more than " + Limit();
            return RunFileRead::Refused;
        }
        contents->reserve(static_cast<std::size_t>(st.st_size));
    }
    constexpr int kLookMs = 100;
    char buffer[64 * 1024];
    for (;;) {
        if (stop && stop()) return RunFileRead::Stopped;
        // A FIFO without a writer yet reads as its end: only read once poll says there
        // is something (bytes, or the writer gone).
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, kLookMs);
        if (ready <= 0) {
            if (ready < 0 && errno != EINTR) {
                *why = std::strerror(errno);
                return RunFileRead::Unreadable;
            }
            continue;
        }
        const std::size_t room = static_cast<std::size_t>(kMaxRunFileBytes) + 1 - contents->size();
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, room));
        if (n == 0) return RunFileRead::Read;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            *why = std::strerror(errno);
            return RunFileRead::Unreadable;
        }
        contents->append(buffer, static_cast<std::size_t>(n));
        if (static_cast<std::int64_t>(contents->size()) > kMaxRunFileBytes) {
            *why = "the file holds more than " + Limit();
            return RunFileRead::Refused;
        }
    }
}

}  // namespace

RunFileRead ReadRunFile(const std::string& path, std::vector<RunStep>* steps, std::string* why,
                        const std::function<bool()>& stop) {
    steps->clear();
    std::string contents;
    const RunFileRead read = ReadWhole(path, &contents, why, stop);
    if (read != RunFileRead::Read) return read;
    return ParseRunFile(contents, steps, why) ? RunFileRead::Read : RunFileRead::Refused;
}

namespace {

// Twelve significant digits: what a value typed or computed holds, without the binary
// noise of the arithmetic (0.1 + 0.2 is written 0.3).
std::string Number(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.12g", value);
    return buffer;
}

double Rounded(double value) {
    return std::strtod(Number(value).c_str(), nullptr);
}

}  // namespace

std::string FormatRunFile(const std::vector<RunStep>& steps) {
    std::string out = "value,dwell_seconds,function\n";
    for (const RunStep& step : steps) {
        out += Number(step.value) + "," + Number(step.dwellSeconds);
        if (!step.function.empty()) out += "," + step.function;
        out += "\n";
    }
    return out;
}

std::optional<std::vector<double>> RampByStep(double from, double to, double step) {
    if (!std::isfinite(from) || !std::isfinite(to) || !std::isfinite(step) || step == 0.0) {
        return std::nullopt;
    }
    const double span = to - from;
    step = std::copysign(std::abs(step), span);
    // The last whole step that does not pass to; a hair of tolerance keeps to itself when
    // the division lands just below a whole number (0 to 1 in steps of 0.1).
    const double steps = span == 0.0 ? 0.0 : std::floor(span / step + 1e-9);
    if (!(steps < kMaxRampSteps)) return std::nullopt;
    std::vector<double> values;
    for (int i = 0; i <= static_cast<int>(steps); ++i) values.push_back(Rounded(from + i * step));
    return values;
}

std::optional<std::vector<double>> RampByCount(double from, double to, int count) {
    if (!std::isfinite(from) || !std::isfinite(to) || count < 1 || count > kMaxRampSteps) {
        return std::nullopt;
    }
    std::vector<double> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(count == 1 ? from : Rounded(from + (to - from) * i / (count - 1)));
    }
    return values;
}

}  // namespace decade
