// The numbers and files a script hands ombrastel-ctl, which the panel's sequence window
// writes and reads too: a value with an SI prefix, the rows of a run file, and a ramp of
// evenly spaced values.
#pragma once

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

// Reads the rows "value,dwell_seconds[,function]" of a run file. Blank lines and lines
// starting with '#' are skipped, and so is a first row whose value is no number (a
// header). False with the line and what is wrong in why.
bool ParseRunFile(std::string_view contents, std::vector<RunStep>* steps, std::string* why);

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
