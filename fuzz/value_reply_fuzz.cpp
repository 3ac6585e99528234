// The value replies of the state refresh: E-notation, display texts, the class 5
// capacitance rules and the position reads. Whatever the reply, nothing undefined may
// come out: a value returned is finite, and so is 10 to the power of its exponent.
//
// Input: 8 bytes of the value last shown (a double, any bit pattern), 4 bytes of its
// exponent, then the reply.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "decade/value_reply.h"
#include "app/catalogue.h"

namespace {

using value_reply::ShownValue;

void CheckShown(const ShownValue& v) {
    if (!std::isfinite(v.shown)) std::abort();
    const double scale = std::pow(10.0, v.exponent);
    if (!std::isfinite(scale) || scale == 0.0) std::abort();
    if (v.decimals < 0) std::abort();
    std::string prefix;
    GetPrefixLabel(v.exponent, prefix);
}

bool Close(double a, double b) {
    return std::fabs(a - b) <= 1e-9 * std::fmax(std::fabs(a), std::fabs(b));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 12) return 0;
    double lastShown = 0.0;
    std::int32_t lastExponent = 0;
    std::memcpy(&lastShown, data, sizeof lastShown);
    std::memcpy(&lastExponent, data + 8, sizeof lastExponent);
    const std::string reply(reinterpret_cast<const char*>(data + 12), size - 12);
    const std::string_view seen = std::string_view(reply).substr(0, reply.find('\0'));

    const std::optional<double> number = value_reply::FiniteDouble(reply);
    if (number && !std::isfinite(*number)) std::abort();

    if (const auto e = value_reply::ParseENotation(reply)) {
        CheckShown(*e);
        if (!number || e->decimals > 15) std::abort();
        // Always a prefix that has a letter (or none, for 0).
        if (e->exponent % 3 != 0 || e->exponent < -12 || e->exponent > 12) std::abort();
        // Shown times its scale gives back the number of the reply.
        const double back = e->shown * std::pow(10.0, e->exponent);
        if (std::isnormal(back) && std::isnormal(*number) && std::fabs(*number) > 1e-290 &&
            std::fabs(*number) < 1e290 && !Close(back, *number)) {
            std::abort();
        }
    }

    if (const auto d = value_reply::ParseDisplayText(reply)) {
        CheckShown(*d);
        if (!number || d->shown != *number) std::abort();
        // The exponent is that of the first prefix letter before the unit word "Ohm" (whose
        // m is no milli), or 0.
        int expected = 0;
        for (const char c : seen.substr(0, seen.find("Ohm"))) {
            if (const std::optional<int> letter = value_reply::PrefixExponent(c)) {
                expected = *letter;
                break;
            }
        }
        if (d->exponent != expected) std::abort();
    }

    if (const auto c = value_reply::ParseCapacitance(reply, lastShown, lastExponent)) {
        CheckShown(c->value);
        const bool nano = c->value.exponent == -9 && c->value.decimals == 1;
        const bool micro = c->value.exponent == -6 && c->value.decimals == 4;
        if (!nano && !micro) std::abort();
        if (!number || c->outputOn != (*number >= 5e-11)) std::abort();
        if (!c->outputOn) {
            const double farads = c->value.shown * std::pow(10.0, c->value.exponent);
            if (farads < value_reply::kCapacitanceMin * (1 - 1e-12) ||
                farads > value_reply::kCapacitanceMax * (1 + 1e-12)) {
                std::abort();
            }
        }
    } else if (number) {
        // Only a reading too large for microfarads is refused once a number is there.
        if (!(*number >= 5e-11) || std::isfinite(*number / 1e-6)) std::abort();
    }

    for (std::size_t pos = 0; pos < 8; ++pos) {
        const std::optional<char> ch = value_reply::CharAt(reply, pos);
        if (ch.has_value() != (pos < seen.size())) std::abort();
        if (ch && *ch != seen[pos]) std::abort();
        const std::optional<int> i = value_reply::IntAt(reply, pos);
        if (i && pos >= seen.size()) std::abort();
    }
    return 0;
}
