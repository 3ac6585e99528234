// The small text helpers every reply and settings line goes through, checked against the
// C library on the same bytes.
//
// Input: byte 0 splits the rest into two texts (a, b), byte 1 is a compare length.
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int Sign(int v) {
    return (v > 0) - (v < 0);
}

// strtoll on the C text of the bytes, cut to the int range; empty when no number is there.
std::optional<int> ReferenceInt(std::string_view bytes, int base) {
    const std::string c(bytes.substr(0, bytes.find('\0')));
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(c.c_str(), &end, base);
    if (end == c.c_str()) return std::nullopt;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

bool SameDouble(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

void CheckNumbers(std::string_view bytes) {
    if (text::ScanIntAuto(bytes) != ReferenceInt(bytes, 0)) std::abort();
    if (text::ScanIntDecimal(bytes) != ReferenceInt(bytes, 10)) std::abort();

    const std::optional<double> value = text::ScanDouble(bytes);
    // The helper reads a bounded piece; every text a decade sends is far shorter.
    if (bytes.size() < 200) {
        const std::string c(bytes.substr(0, bytes.find('\0')));
        char* end = nullptr;
        const double expected = std::strtod(c.c_str(), &end);
        if (end == c.c_str()) {
            if (value) std::abort();
        } else if (!value || !SameDouble(*value, expected)) {
            std::abort();
        }
    }
}

// The plain form of an outgoing number holds the same twelve significant digits as the
// scientific form, and nothing but a sign, digits and one point.
void CheckFormatPlain(double value) {
    const std::string plain = text::FormatPlain(value);
    if (!std::isfinite(value)) return;
    if (plain.find_first_not_of("-0123456789.") != std::string::npos) std::abort();
    if (std::count(plain.begin(), plain.end(), '.') > 1) std::abort();
    char sci[64];
    const auto result =
        std::to_chars(sci, sci + sizeof sci - 1, value, std::chars_format::scientific, 11);
    *result.ptr = '\0';
    const double expected = std::strtod(sci, nullptr);
    const double got = std::strtod(plain.c_str(), nullptr);
    if (got != expected) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::size_t split = std::min<std::size_t>(data[0], rest.size());
    const std::string_view a = rest.substr(0, split);
    const std::string_view b = rest.substr(split);
    const std::size_t n = data[1];

    // Case-blind compare: the C library's answer on the C texts, padded with NULs.
    const std::string ca(a.substr(0, a.find('\0')));
    const std::string cb(b.substr(0, b.find('\0')));
    const int compared = text::CompareBytes(a, b, n);
    if (compared != Sign(strncasecmp(ca.c_str(), cb.c_str(), n))) std::abort();
    if (text::CompareBytes(b, a, n) != -compared) std::abort();

    // Case-blind search: the first place the pattern stands, or none.
    const auto same = [](char x, char y) { return Lower(x) == Lower(y); };
    const auto at = std::search(b.begin(), b.end(), a.begin(), a.end(), same);
    const int expected = at == b.end() && !a.empty() ? -1 : static_cast<int>(at - b.begin());
    if (text::FindPattern(b, a) != expected) std::abort();

    if (text::IsOk(rest) != (rest.size() >= 2 && Lower(rest[0]) == 'o' && Lower(rest[1]) == 'k')) {
        std::abort();
    }

    CheckNumbers(rest);
    CheckNumbers(b);

    if (rest.size() >= sizeof(double)) {
        double raw = 0.0;
        std::memcpy(&raw, rest.data(), sizeof raw);
        CheckFormatPlain(raw);
    }
    if (const std::optional<double> read = text::ScanDouble(rest)) CheckFormatPlain(*read);
    return 0;
}
