#include "decade/value_reply.h"

#include <algorithm>
#include <cmath>

#include "platform/text.h"

namespace value_reply {

namespace {

struct Prefix {
    char letter;
    int exponent;
};

// The prefix letters of the decades' display texts. Only these exact bytes count: an
// upper-case K, a u or the Latin-1 micro sign 0xB5 are no prefix letters.
constexpr Prefix kDisplayPrefixes[] = {
    {'T', 12}, {'G', 9}, {'M', 6}, {'k', 3}, {'m', -3}, {'\x0E', -6}, {'n', -9}, {'p', -12},
};

// The prefix letters of E-notation values: every multiple of three from p to T.
constexpr int kLowestPrefix = -12;
constexpr int kHighestPrefix = 12;
constexpr int kMostDecimals = 15;  // what VALUE can show

constexpr double kOutputOffBelow = 5e-11;  // farads; the decade reports 0 when off
constexpr double kMicroFrom = 1e-06;       // farads; from here on shown in microfarads

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// 10^exponent when it is a finite, nonzero scale; empty otherwise.
std::optional<double> Scale(int exponent) {
    const double scale = std::pow(10.0, exponent);
    if (!std::isfinite(scale) || scale == 0.0) return std::nullopt;
    return scale;
}

// The value, its decimals and exponent, once the number is known to be usable.
std::optional<ShownValue> Shown(double shown, int decimals, int exponent) {
    if (!std::isfinite(shown) || !Scale(exponent)) return std::nullopt;
    return ShownValue{shown, decimals, exponent};
}

}  // namespace

std::optional<double> FiniteDouble(std::string_view reply) {
    const std::optional<double> value = text::ScanDouble(text::UpToNul(reply));
    if (!value || !std::isfinite(*value)) return std::nullopt;
    return value;
}

std::optional<ShownValue> ParseENotation(std::string_view reply) {
    reply = text::UpToNul(reply);
    int decimals = 0;
    int exponent = 0;
    bool seenPoint = false;
    for (std::size_t i = 0; i < reply.size(); ++i) {
        const char c = reply[i];
        if (c == '.') seenPoint = true;
        if (seenPoint && IsDigit(c)) ++decimals;
        if (c == 'E' || c == 'e') {
            // Decimal digits: "E-08" is -8, a leading 0 is no octal marker.
            exponent = text::ScanIntDecimal(reply.substr(i + 1)).value_or(0);
            break;
        }
    }
    const std::optional<double> value = FiniteDouble(reply);
    if (!value || !Scale(exponent)) return std::nullopt;
    // Shown in the prefix below when the exponent has no letter of its own, with as many
    // fewer decimals as the point moves right (more, beyond the letters at the low end).
    const int shown = ShownExponent(exponent);
    const int moved = exponent - shown;
    decimals = std::clamp(decimals - moved, 0, kMostDecimals);
    const std::optional<double> scale = Scale(shown);
    if (!scale) return std::nullopt;
    return Shown(*value / *scale, decimals, shown);
}

int ShownExponent(int exponent) {
    if (exponent >= kHighestPrefix) return kHighestPrefix;
    if (exponent <= kLowestPrefix) return kLowestPrefix;
    const int below = ((exponent % 3) + 3) % 3;  // steps down to a multiple of three
    return exponent - below;
}

std::optional<int> PrefixExponent(char c) {
    for (const Prefix& prefix : kDisplayPrefixes) {
        if (prefix.letter == c) return prefix.exponent;
    }
    return std::nullopt;
}

constexpr std::string_view kOhmWord = "Ohm";

std::optional<ShownValue> ParseDisplayText(std::string_view reply) {
    reply = text::UpToNul(reply);
    int decimals = 0;
    int exponent = 0;
    bool seenPoint = false;
    for (std::size_t i = 0; i < reply.size(); ++i) {
        // The unit word "Ohm" carries no prefix: its "m" is not milli, so a plain
        // "100.000 Ohm" shows ohms rather than milliohms.
        if (reply.substr(i, kOhmWord.size()) == kOhmWord) break;
        const char c = reply[i];
        if (c == '.') seenPoint = true;
        if (seenPoint && IsDigit(c)) ++decimals;
        if (const std::optional<int> prefix = PrefixExponent(c)) {
            exponent = *prefix;
            break;
        }
    }
    const std::optional<double> value = FiniteDouble(reply);
    if (!value) return std::nullopt;
    return Shown(*value, decimals, exponent);
}

std::optional<CapacitanceValue> ParseCapacitance(std::string_view reply, double lastShown,
                                                 int lastExponent) {
    std::optional<double> farads = FiniteDouble(reply);
    if (!farads) return std::nullopt;
    CapacitanceValue result;
    result.outputOn = !(*farads < kOutputOffBelow);
    if (!result.outputOn) {
        // The decade reports nothing useful while off: keep showing the last value, in a
        // range the decade can take. A last value that is no number counts as the lowest.
        double last = lastShown * std::pow(10.0, lastExponent);
        if (!(last >= kCapacitanceMin)) last = kCapacitanceMin;
        if (last > kCapacitanceMax) last = kCapacitanceMax;
        farads = last;
    }
    const bool nano = *farads < kMicroFrom;
    const int exponent = nano ? -9 : -6;
    const std::optional<ShownValue> shown =
        Shown(*farads / std::pow(10.0, exponent), nano ? 1 : 4, exponent);
    if (!shown) return std::nullopt;  // a reading too large to show in microfarads
    result.value = *shown;
    return result;
}

std::optional<char> CharAt(std::string_view reply, std::size_t pos) {
    reply = text::UpToNul(reply);
    if (pos >= reply.size()) return std::nullopt;
    return reply[pos];
}

std::optional<int> IntAt(std::string_view reply, std::size_t pos) {
    reply = text::UpToNul(reply);
    if (pos >= reply.size()) return std::nullopt;
    return text::ScanIntDecimal(reply.substr(pos));
}

}  // namespace value_reply
