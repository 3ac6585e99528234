// The numbers and files a script hands ombrastel-ctl, which the panel's sequence window
// writes and reads too: a value with an SI prefix, the rows of a run file, and a ramp of
// evenly spaced values.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace decade {

// "2.5k", "47n", "150", "1.5M", "-50", "100u", "100µ", "1e3": the number in the base unit.
// m is milli, M mega, u or µ micro; p n k G T as usual. A decimal comma is a point.
// Nothing for a text that is not wholly one finite number with at most one prefix.
std::optional<double> ParseValue(std::string_view text);

// One row of a run file: the value, how long it stays, and the function to select first
// (empty: the one the decade is on).
struct RunStep {
    double value = 0.0;
    double dwellSeconds = 0.0;
    std::string function;
    int line = 0;  // where it stands in the file, for messages
};

// The longest dwell a step takes: far beyond any bench use, and well inside what the
// clocks that time a step can count.
inline constexpr double kMaxDwellSeconds = 1e9;

// Reads the rows "value,dwell_seconds[,function]" of a run file. A UTF-8 byte-order mark
// at the start is no part of the first row; blank lines and lines starting with '#' are
// skipped, and so is a first row that holds no number (a header). False with the line and
// what is wrong in why.
bool ParseRunFile(std::string_view contents, std::vector<RunStep>* steps, std::string* why);

// The most a run file may hold. A larger file is refused, never run in part.
inline constexpr std::int64_t kMaxRunFileBytes = std::int64_t{16} << 20;

// How reading a run file ended.
enum class RunFileRead {
    Read,        // the whole file, and its rows are good
    Unreadable,  // it could not be opened or read; why holds the system's reason
    Refused,     // too large, or a row is wrong; why says which and why
    Stopped,     // stop said so before the file ended
};

// Reads the run file at path whole (a regular file, a FIFO, a device) and its rows. It
// never blocks: while the file gives nothing (a FIFO whose writer stalls), stop is asked
// at least every 100 ms and ends the reading when it says so.
RunFileRead ReadRunFile(const std::string& path, std::vector<RunStep>* steps, std::string* why,
                        const std::function<bool()>& stop);

// A run file of steps: the header "value,dwell_seconds,function", then one row a step, the
// value in the base unit with twelve significant digits, the dwell in seconds, and the
// function when the step names one. ParseRunFile reads it back unchanged.
std::string FormatRunFile(const std::vector<RunStep>& steps);

// The longest list of steps a ramp makes.
inline constexpr int kMaxRampSteps = 10000;

// A ramp from from towards to: with a step size, from, from + step, ... as far as to
// (to itself when it falls on the grid, never beyond it); the sign of the step is taken
// from the direction. With a count, that many values evenly spaced from from to to, both
// included (one value: from). Nothing for a step of zero, a count below one, a value that
// is not finite, or more than kMaxRampSteps values.
std::optional<std::vector<double>> RampByStep(double from, double to, double step);
std::optional<std::vector<double>> RampByCount(double from, double to, int count);

}  // namespace decade
