// The command texts that are the same for every class that uses them. What differs per
// class is in the profile table (decade/profiles.cpp).
#pragma once

#include <string_view>

namespace decade::cmd {

inline constexpr std::string_view kIdentity = "*IDN?";

// State queries.
inline constexpr std::string_view kStatus = "V?";  // function, unit, relays ...
inline constexpr std::string_view kFunction = "F?";
inline constexpr std::string_view kValue = "A?";
inline constexpr std::string_view kR0 = "R?";
inline constexpr std::string_view kThreshold = "W?";
inline constexpr std::string_view kOutput = "OUTP?";
inline constexpr std::string_view kShort = "OUTP:SHOR?";
inline constexpr std::string_view kGround = "OUTP:GRO?";
inline constexpr std::string_view kUserFunctionDisplay = "UFUN:DISP?";
inline constexpr std::string_view kCapacitanceDisplay = "CAP:DISP?";
inline constexpr std::string_view kResistanceDisplay = "RES:DISP?";

// Settings: each followed by its number (the switches directly, the others after a blank).
inline constexpr std::string_view kSetUnit = "U";
inline constexpr std::string_view kSetStandard = "T";
inline constexpr std::string_view kSetScale = "S";
inline constexpr std::string_view kSetThreshold = "W ";
inline constexpr std::string_view kSetR0 = "R ";
inline constexpr std::string_view kSetValueLetter = "A";  // "A <farads>" switches a V151

// Relays: off and on.
inline constexpr std::string_view kOutputOff = "OUTP 0";
inline constexpr std::string_view kOutputOn = "OUTP 1";
inline constexpr std::string_view kShortOff = "OUTP:SHOR 0";
inline constexpr std::string_view kShortOn = "OUTP:SHOR 1";
inline constexpr std::string_view kGroundLetterOff = "G0";
inline constexpr std::string_view kGroundLetterOn = "G1";
inline constexpr std::string_view kGroundWordOff = "OUTP:GRO 0";
inline constexpr std::string_view kGroundWordOn = "OUTP:GRO 1";

// The error-queue check around a value.
inline constexpr std::string_view kClearStatus = "*CLS";
inline constexpr std::string_view kFirstError = "SYST:ERR?";

// The unit of a user-function preset: newer firmware asks for the selected one, older
// firmware names the preset inside the query.
inline constexpr std::string_view kSelectedPresetUnit = "UFUN:CURV:PRES:UNIT?";
inline constexpr std::string_view kPresetUnitBefore = "UFUN:CURV:PRES";
inline constexpr std::string_view kPresetUnitAfter = ":UNIT?";

}  // namespace decade::cmd
