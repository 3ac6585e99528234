// Function codes by name, and the kinds they fall into. What FUNCTION holds for one
// function is its code; the model classes are named beside their profiles
// (decade/profiles.h).
#pragma once

namespace decade {

// Function codes.
namespace fn {
inline constexpr int kNone = 0;
inline constexpr int kBasic = 1;  // resistance; capacitance on the capacitance classes
inline constexpr int kPt385_68 = 2;
inline constexpr int kPt385_90 = 3;
inline constexpr int kPt3916 = 4;
inline constexpr int kPt3926 = 5;
inline constexpr int kPtUser = 6;
inline constexpr int kNickel = 7;
inline constexpr int kOpen = 8;
inline constexpr int kShort = 9;
inline constexpr int kUserFunctionBase = 1000;  // + i: user-function preset i
inline constexpr int kTimingBase = 2000;        // + i: timing preset i
inline constexpr int kPresetsPerKind = 1000;
inline constexpr int kPt100 = 3000;  // the sensors of the V211 class
inline constexpr int kPt200 = 3001;
inline constexpr int kPt500 = 3002;
inline constexpr int kPt1000 = 3003;
inline constexpr int kNi100 = 3004;
inline constexpr int kNi1000 = 3005;
}  // namespace fn

inline constexpr bool IsUserFunction(int code) {
    return code >= fn::kUserFunctionBase && code < fn::kUserFunctionBase + fn::kPresetsPerKind;
}
inline constexpr bool IsTimingPreset(int code) {
    return code >= fn::kTimingBase && code < fn::kTimingBase + fn::kPresetsPerKind;
}
inline constexpr bool IsPreset(int code) {
    return IsUserFunction(code) || IsTimingPreset(code);
}
// The platinum and nickel curves of the classes that set R0 and a temperature unit.
inline constexpr bool IsSensorCurve(int code) {
    return code >= fn::kPt385_68 && code <= fn::kNickel;
}
// The platinum sensor types that follow a standard and a scale (IEC 751 or the other one).
inline constexpr bool IsStandardSensor(int code) {
    return code >= fn::kPt100 && code <= fn::kPt1000;
}
inline constexpr bool IsOpenOrShort(int code) {
    return code == fn::kOpen || code == fn::kShort;
}

// The kinds of function, one bit each, so that a class names the functions a control
// works for as a set (FunctionSet below).
enum FunctionKind : unsigned {
    kBasicFunction = 1u << 0,    // resistance, or capacitance
    kSensorCurves = 1u << 1,     // the platinum and nickel curves
    kOpenAndShort = 1u << 2,     // the open and the short function
    kUserFunctions = 1u << 3,    // user-function presets
    kTimingPresets = 1u << 4,    // timing presets: each runs a program
    kSensorTypes = 1u << 5,      // the sensor types that follow a standard, and the nickel ones
    kUnknownFunction = 1u << 6,  // a code no function has
};
inline constexpr unsigned kEveryKind = (1u << 7) - 1;

inline constexpr unsigned KindOf(int code) {
    if (code == fn::kBasic) return kBasicFunction;
    if (IsSensorCurve(code)) return kSensorCurves;
    if (IsOpenOrShort(code)) return kOpenAndShort;
    if (IsUserFunction(code)) return kUserFunctions;
    if (IsTimingPreset(code)) return kTimingPresets;
    if (code >= fn::kPt100 && code <= fn::kNi1000) return kSensorTypes;
    return kUnknownFunction;
}

// A set of functions by their kinds.
struct FunctionSet {
    unsigned kinds = 0;
    constexpr bool Has(int code) const { return (kinds & KindOf(code)) != 0; }
};
inline constexpr FunctionSet Only(unsigned kinds) {
    return {kinds};
}
inline constexpr FunctionSet AllBut(unsigned kinds) {
    return {kEveryKind & ~kinds};
}

}  // namespace decade
