// Small text helpers shared by every part that reads a reply or a settings line.
// None of them throws, none reads past the text it is given, and every number read
// reports "no number" instead of leaving a value undefined.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace text {

// Compares the first n bytes of a and b without regard to ASCII letter case; 0 means
// equal. A text shorter than n compares as if padded with NUL bytes.
int CompareBytes(std::string_view a, std::string_view b, std::size_t n);

// Index of the first occurrence of pattern in text, ignoring ASCII letter case;
// negative when there is none. An empty pattern is found at 0.
int FindPattern(std::string_view text, std::string_view pattern);

// True when the first two characters are "Ok" in any letter case.
bool IsOk(std::string_view reply);

// Reads an integer at the start of text like the "%i" conversion: leading white space
// skipped, optional sign, 0x/0X hexadecimal, a leading 0 octal, decimal otherwise;
// stops at the first character that does not fit. Saturates at the int range.
std::optional<int> ScanIntAuto(std::string_view text);

// The same for a plain decimal integer ("%d"): leading white space, optional sign, digits.
std::optional<int> ScanIntDecimal(std::string_view text);

// Reads a floating-point number at the start of text like "%f"/"%lf": leading white
// space, optional sign, digits with an optional point, optional exponent. Also accepts
// what strtod accepts (inf, nan, hexadecimal).
std::optional<double> ScanDouble(std::string_view text);

// A number the operator typed. The whole text, blanks around it aside, must be one decimal
// number: optional sign, digits with at most one decimal point or decimal comma (both
// mean the same, in every language: "25,5" is 25.5), and an optional exponent ("2.5e3").
// Nothing for any other text ("1.2.3", "12abc", "1,000.5", "", "inf", "0x10") or for a
// number beyond the double range.
std::optional<double> ParseEntryNumber(std::string_view text);

// A number in plain decimal notation, no exponent, with every significant digit of the
// value up to 12, trailing zeros trimmed: 2500, 0.0025, 0.00000047, -1.5, 0.
std::string FormatPlain(double value);

// The fixed form with six decimals ("%f").
std::string FormatFixed(double value);

// A time still to go, rounded to whole seconds: "m:ss", from an hour on "h:mm:ss".
std::string FormatDuration(double seconds);

// The text up to its first NUL byte (the C view of a reply that may carry NULs).
std::string_view UpToNul(std::string_view text);

// Removes trailing CR and LF bytes.
std::string_view TrimLineEnd(std::string_view text);

// True when the text holds a byte below 0x20 or the byte 0x7F.
bool HasControlByte(std::string_view text);

// Printable form of bytes as the link log and the simulator's transcript write them: \r \n
// \t \\ and \xHH for every other byte below 0x20 and from 0x7F up. With keepUtf8, a
// well-formed UTF-8 character that is no control character (U+0080 to U+009F are C1
// controls) stays as it is, so text from a decade can be shown on a terminal: no ESC, CSI
// or OSC sequence gets through, while "°C" or "Měď" still reads as such.
std::string Escape(std::string_view bytes, bool keepUtf8 = false);
void AppendEscaped(std::string& out, std::string_view bytes, bool keepUtf8 = false);

}  // namespace text
