#include "platform/text.h"

#include <locale.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace text {

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// Reads digits of the given base from text[pos...] with saturation at the int range.
// Returns nothing when no digit is there.
std::optional<int> AccumulateDigits(std::string_view text, std::size_t pos, int base,
                                    bool negative) {
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long value = 0;
    bool any = false;
    while (pos < text.size()) {
        const int digit = DigitValue(text[pos]);
        if (digit >= base) break;
        any = true;
        if (value <= limit) value = value * base + digit;  // stays far below LLONG_MAX
        if (value > limit) value = limit + 1;              // remember the overflow
        ++pos;
    }
    if (!any) return std::nullopt;
    if (value > limit) value = limit;
    return static_cast<int>(negative ? -value : value);
}

std::size_t SkipSpace(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    return pos;
}

// Parsing with the "C" locale so a Czech desktop does not turn the decimal point into a
// comma under our feet.
double StrtodC(const char* begin, char** end) {
#if defined(_WIN32)
    static _locale_t cLocale = _create_locale(LC_ALL, "C");
    return _strtod_l(begin, end, cLocale);
#else
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(begin, end, cLocale);
#endif
}

}  // namespace

int CompareBytes(std::string_view a, std::string_view b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char ca = static_cast<unsigned char>(LowerAscii(i < a.size() ? a[i] : '\0'));
        const unsigned char cb = static_cast<unsigned char>(LowerAscii(i < b.size() ? b[i] : '\0'));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == '\0') return 0;  // both texts ended
    }
    return 0;
}

int FindPattern(std::string_view text, std::string_view pattern) {
    if (pattern.empty()) return 0;
    if (pattern.size() > text.size()) return -1;
    for (std::size_t start = 0; start + pattern.size() <= text.size(); ++start) {
        std::size_t i = 0;
        while (i < pattern.size() && LowerAscii(text[start + i]) == LowerAscii(pattern[i])) ++i;
        if (i == pattern.size()) return static_cast<int>(start);
    }
    return -1;
}

bool IsOk(std::string_view reply) {
    return reply.size() >= 2 && LowerAscii(reply[0]) == 'o' && LowerAscii(reply[1]) == 'k';
}

std::optional<int> ScanIntAuto(std::string_view text) {
    std::size_t pos = SkipSpace(text);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos < text.size() && text[pos] == '0') {
        if (pos + 1 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
            const std::optional<int> hex = AccumulateDigits(text, pos + 2, 16, negative);
            if (hex) return hex;
            return 0;  // "0x" without hex digits is the number 0
        }
        return AccumulateDigits(text, pos, 8, negative);
    }
    return AccumulateDigits(text, pos, 10, negative);
}

std::optional<int> ScanIntDecimal(std::string_view text) {
    std::size_t pos = SkipSpace(text);
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    return AccumulateDigits(text, pos, 10, negative);
}

std::optional<double> ScanDouble(std::string_view text) {
    const std::size_t pos = SkipSpace(text);
    // strtod needs a NUL-terminated text: copy a bounded piece. No number a decade sends
    // comes near this length.
    char buffer[256];
    std::size_t length = text.size() - pos;
    if (length > sizeof buffer - 1) length = sizeof buffer - 1;
    std::size_t copied = 0;
    while (copied < length && text[pos + copied] != '\0') {
        buffer[copied] = text[pos + copied];
        ++copied;
    }
    buffer[copied] = '\0';
    char* end = buffer;
    const double value = StrtodC(buffer, &end);
    if (end == buffer) return std::nullopt;
    return value;
}

std::optional<double> ParseEntryNumber(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    // The shape first, copied with the decimal comma made a point; strtod reads the rest.
    char buffer[256];
    if (text.empty() || text.size() >= sizeof buffer) return std::nullopt;
    std::size_t pos = 0;
    std::size_t out = 0;
    auto digits = [&] {
        std::size_t count = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            buffer[out++] = text[pos++];
            ++count;
        }
        return count;
    };
    if (text[pos] == '+' || text[pos] == '-') buffer[out++] = text[pos++];
    std::size_t mantissa = digits();
    if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
        buffer[out++] = '.';
        ++pos;
        mantissa += digits();
    }
    if (mantissa == 0) return std::nullopt;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        buffer[out++] = 'e';
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
            buffer[out++] = text[pos++];
        if (digits() == 0) return std::nullopt;
    }
    if (pos != text.size()) return std::nullopt;
    buffer[out] = '\0';
    char* end = buffer;
    const double value = StrtodC(buffer, &end);
    if (end != buffer + out || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string FormatPlain(double value) {
    if (value != value) return "nan";
    if (value == 0.0) return "0";
    // Twelve significant digits in scientific form, then the digits placed by hand.
    char sci[64];
    const auto result =
        std::to_chars(sci, sci + sizeof sci, value, std::chars_format::scientific, 11);
    if (result.ec != std::errc()) return "0";
    const std::string_view form(sci, static_cast<std::size_t>(result.ptr - sci));
    if (form == "inf" || form == "-inf") return std::string(form);
    std::size_t pos = 0;
    const bool negative = form[0] == '-';
    if (negative) ++pos;
    std::string digits;
    while (pos < form.size() && form[pos] != 'e') {
        if (form[pos] != '.') digits.push_back(form[pos]);
        ++pos;
    }
    const std::optional<int> exponent =
        pos + 1 < form.size() ? ScanIntDecimal(form.substr(pos + 1)) : std::optional<int>(0);
    const int exp10 = exponent.value_or(0);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out;
    if (negative) out.push_back('-');
    const int count = static_cast<int>(digits.size());
    if (exp10 < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exp10 - 1), '0');
        out += digits;
    } else if (exp10 + 1 >= count) {
        out += digits;
        out.append(static_cast<std::size_t>(exp10 + 1 - count), '0');
    } else {
        out += digits.substr(0, static_cast<std::size_t>(exp10 + 1));
        out.push_back('.');
        out += digits.substr(static_cast<std::size_t>(exp10 + 1));
    }
    return out;
}

std::string FormatFixed(double value) {
    char buffer[400];  // the largest double in fixed form is 309 digits and six decimals
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (result.ec != std::errc()) return "0.000000";
    return std::string(buffer, result.ptr);
}

std::string FormatDuration(double seconds) {
    const long s = std::lround(std::max(0.0, std::isfinite(seconds) ? seconds : 0.0));
    char buffer[40];
    if (s >= 3600) {
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    } else {
        std::snprintf(buffer, sizeof buffer, "%ld:%02ld", s / 60, s % 60);
    }
    return buffer;
}

std::string_view UpToNul(std::string_view text) {
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

std::string_view TrimLineEnd(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

bool HasControlByte(std::string_view text) {
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return true;
    }
    return false;
}

namespace {

// The length of the well-formed UTF-8 character at the start of bytes that is no control
// character, 0 when there is none there (a stray or overlong byte, a surrogate, a C1
// control).
std::size_t PrintableUtf8(std::string_view bytes) {
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    std::size_t length = 0;
    char32_t c = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        c = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        c = b0 & 0x0Fu;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        c = b0 & 0x07u;
    } else {
        return 0;
    }
    if (bytes.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if ((b & 0xC0u) != 0x80u) return 0;
        c = (c << 6) | (b & 0x3Fu);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    if (c <= 0x9F) return 0;  // C1 controls, CSI (U+009B) and OSC (U+009D) among them
    return length;
}

}  // namespace

void AppendEscaped(std::string& out, std::string_view bytes, bool keepUtf8) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                continue;
            case '\r':
                out += "\\r";
                continue;
            case '\n':
                out += "\\n";
                continue;
            case '\t':
                out += "\\t";
                continue;
            default:
                break;
        }
        if (b >= 0x20 && b < 0x7F) {
            out += c;
            continue;
        }
        if (keepUtf8 && b >= 0x80) {
            const std::size_t length = PrintableUtf8(bytes.substr(i));
            if (length > 0) {
                out.append(bytes.substr(i, length));
                i += length - 1;
                continue;
            }
        }
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    }
}

std::string Escape(std::string_view bytes, bool keepUtf8) {
    std::string out;
    out.reserve(bytes.size() + 8);
    AppendEscaped(out, bytes, keepUtf8);
    return out;
}

}  // namespace text
