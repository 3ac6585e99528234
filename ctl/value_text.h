// The numbers and files a script hands ombrastel-ctl: a value with an SI prefix, and the
// rows of a run file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ctl {

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

}  // namespace ctl
