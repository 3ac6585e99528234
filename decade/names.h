// Names a script gives what it sets: function codes, sensor standards, scales and
// temperature units, as words a command line takes and prints.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace decade::names {

// "resistance" (or "capacitance" where the basic function is one), "pt385-68", ...,
// "user3" for user-function preset 3, "timing1"; empty for a code without one.
std::string FunctionName(int code, bool capacitance);
// The code of a name (letter case ignored; "capacitance" and "resistance" both give the
// basic function) or of a function code in decimal; nothing for a word that is neither.
std::optional<int> FunctionCode(std::string_view word);

// Sensor standards and scales by their index on the decade: "iec751", "us-jis";
// "its90", "ipts68".
std::string StandardName(int index);
std::optional<int> StandardIndex(std::string_view word);
std::string ScaleName(int index);
std::optional<int> ScaleIndex(std::string_view word);

// Temperature units by index: "C", "F", "K".
std::string UnitName(int index);
std::optional<int> UnitIndex(std::string_view word);

}  // namespace decade::names
