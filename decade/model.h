// Model classes and function codes by name. A class groups the decades that speak one
// command dialect; a function code is what the FUNCTION ring holds for one function.
#pragma once

namespace decade {

// The model class of a decade; the number is what the panel's decadeModel holds.
enum class ModelClass : int {
    None = 0,  // no decade identified
    V210 = 1,  // resistance and sensor curves, letter dialect
    V212 = 2,  // as V210, with a threshold
    V330 = 3,  // command words, LF line end
    V150 = 4,  // capacitance, letter dialect with command words, LF line end
    V151 = 5,  // capacitance set through its value alone
    V211 = 6,  // resistance and the IEC/other sensors, letter dialect
    V090 = 7,  // resistance with short and ground relays, command words
};

inline constexpr int kModelClassCount = 8;  // None and the seven classes

inline ModelClass ClassOf(int decadeModel) {
    if (decadeModel < 0 || decadeModel >= kModelClassCount) return ModelClass::None;
    return static_cast<ModelClass>(decadeModel);
}
inline constexpr int ClassNumber(ModelClass model) {
    return static_cast<int>(model);
}

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
// The V211 platinum sensors that follow a standard and a scale (IEC 751 or the other one).
inline constexpr bool IsClass6IecSensor(int code) {
    return code >= fn::kPt100 && code <= fn::kPt1000;
}
inline constexpr bool IsOpenOrShort(int code) {
    return code == fn::kOpen || code == fn::kShort;
}

}  // namespace decade
