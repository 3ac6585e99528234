// Names a script gives what it sets: function codes, sensor standards, scales and
// temperature units, as words a command line takes and prints; and the names the panel
// shows for the functions, in English and in the built-in translation.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace decade::names {

// "resistance" (or "capacitance" where the basic function is one), "pt385-68", ...,
// "user3" for user-function preset 3, "timing1"; empty for a code without one.
std::string FunctionName(int code, bool capacitance);
// The code of a name (letter case ignored; "capacitance" and "resistance" both give the
// basic function), of a name the panel shows, in English or translated ("Platinum Pt385
// (90)", "Platina Pt385 (90)"; letter case ignored, UTF-8), or of a function code in
// decimal; nothing for a word that is none of these.
std::optional<int> FunctionCode(std::string_view word);

// The name the panel shows for code, in English as the source has it (translated in the
// context "Messages"); capacitance names the basic function of the capacitance classes.
// Null for a code without a name (the presets have the decade's names).
const char* ShownFunctionEnglish(int code, bool capacitance);
// The same in the built-in translation; empty for a code without a name.
std::string ShownFunctionTranslated(int code, bool capacitance);
// What the panel shows before a preset's name: "User function " (kind 0), "Timing ".
const char* PresetKindEnglish(int kind);
std::string PresetKindTranslated(int kind);
// A preset's name as the decade's reply gives it, without the quotes around it and the
// line end: "\"Pt50\"\r\n" gives Pt50; a reply without quotes is taken as it is.
std::string PresetNameText(std::string_view reply);

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
