// Pieces every benchmark shares: the statistics, the reference exchange (a bare termios
// write-and-read-line loop against the same simulator) and the one table row each figure
// is printed as, so that scripts/bench can gather the rows of all benchmarks.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double MicrosecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

inline double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    if (n == 0) return 0.0;
    return n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2.0;
}

// Nearest-rank percentile: the smallest sample with at least p percent of all samples at
// or below it.
inline double Percentile(std::vector<double> samples, double p) {
    if (samples.empty()) return 0.0;
    std::sort(samples.begin(), samples.end());
    const double rank = std::ceil(p / 100.0 * static_cast<double>(samples.size()));
    const std::size_t index = rank < 1.0 ? 0 : static_cast<std::size_t>(rank) - 1;
    return samples[std::min(index, samples.size() - 1)];
}

// One exchange the plain way: flush, write "*IDN?" with CR LF, read up to the LF.
inline bool PlainExchange(int fd) {
    static const char kLine[] = "*IDN?\r\n";
    tcflush(fd, TCIFLUSH);
    if (write(fd, kLine, sizeof kLine - 1) != static_cast<ssize_t>(sizeof kLine - 1)) {
        return false;
    }
    std::size_t got = 0;
    char chunk[64];
    while (got < 50) {
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0) return false;
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) return false;
        for (ssize_t i = 0; i < n; ++i) {
            if (chunk[i] == '\n') return got > 0;
            ++got;
        }
    }
    return true;
}

// count plain exchanges on the terminal at path, each one's time appended to samples in
// microseconds. The terminal is opened raw for the run and closed after it, so the
// program's own port can open it in between.
inline bool PlainRun(const std::string& path, int count, std::vector<double>& samples) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return false;
    termios mode{};
    tcgetattr(fd, &mode);
    cfmakeraw(&mode);
    cfsetspeed(&mode, B115200);
    tcsetattr(fd, TCSANOW, &mode);
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        const Clock::time_point start = Clock::now();
        ok = PlainExchange(fd);
        samples.push_back(MicrosecondsSince(start));
    }
    close(fd);
    return ok;
}

// One line of the summary table: the figure, its value, the reference it is measured
// against in the same run, the goal and whether it is met, separated by tabs after the
// tag ROW. scripts/bench gathers the rows of all benchmarks.
inline void PrintRow(const std::string& figure, const std::string& value,
                     const std::string& reference, const std::string& goal, bool met) {
    std::printf("ROW\t%s\t%s\t%s\t%s\t%s\n", figure.c_str(), value.c_str(), reference.c_str(),
                goal.c_str(), met ? "yes" : "no");
    std::fflush(stdout);
}

// The row of a figure whose measurement failed: no number, the reason instead. A run
// with such a row fails (scripts/bench exits non-zero).
inline void PrintNotMeasured(const std::string& figure, const std::string& why,
                             const std::string& reference = "-", const std::string& goal = "-") {
    std::string reason = why;
    for (char& c : reason) {
        if (c == '\t' || c == '\n') c = ' ';
    }
    std::printf("ROW\t%s\tnot measured: %s\t%s\t%s\tnot measured\n", figure.c_str(),
                reason.c_str(), reference.c_str(), goal.c_str());
    std::fflush(stdout);
}

inline std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace bench
