// Reading the decade's value replies: the pure parsing behind the state refresh.
//
// Every routine takes the reply as received (it may hold NUL bytes; only the text before
// the first NUL counts, as the decade's line would be read in C), reads nothing beyond
// it, and answers "nothing to show" with an empty optional instead of leaving a number
// undefined. A value that is returned is finite, and so is 10 to the power of its
// exponent, so VALUE and the value handler's scaling stay defined.
#pragma once

#include <optional>
#include <string_view>

namespace value_reply {

// What VALUE is to show for one reply.
struct ShownValue {
    double shown = 0.0;  // the number VALUE shows, in the prefix unit of exponent
    int decimals = 0;    // digits after the decimal point VALUE shows
    int exponent = 0;    // decimal exponent of the prefix (becomes valueExponent)
};

// The class 5 reading: a capacitance in farads with the output state it implies.
struct CapacitanceValue {
    ShownValue value;
    bool outputOn = false;
};

// The lowest and highest capacitance shown while the output is off, in farads.
inline constexpr double kCapacitanceMin = 1e-10;
inline constexpr double kCapacitanceMax = 1.22221e-05;

// An "A?" reply in E-notation ("1.2345E+03"): the exponent read after the "E" or "e" as a
// decimal number (no number there gives 0), shown in the prefix of ShownExponent; the
// digits after the point up to the "E", less one for each place the point moves right
// (never below 0: "1.5000E+02" is 150.00, "4.7000E-08" is 47.000 in n); and the whole
// number divided by 10^(the shown exponent). Empty when the reply holds no finite number.
std::optional<ShownValue> ParseENotation(std::string_view reply);

// The exponent a value of the given exponent is shown in: the exponent itself when a
// prefix letter (or none, for 0) belongs to it, otherwise the next lower one that has a
// letter; T above 12 and p below -12.
int ShownExponent(int exponent);

// The exponent of a display-text prefix letter: T G M k m, the byte 0x0E (micro), n p.
std::optional<int> PrefixExponent(char c);

// A display text ("47.000 nF", "12.500 kOhm"): the digits after the point up to the first
// prefix letter in the text before the unit word "Ohm" (whose m is no milli), that
// letter's exponent (0 when there is none), and the number as written, not scaled. Empty
// when the text holds no finite number.
std::optional<ShownValue> ParseDisplayText(std::string_view reply);

// A class 5 "A?" reply in farads. Below 5e-11 the output is off and the value last shown
// (lastShown x 10^lastExponent) is shown again, kept within kCapacitanceMin ..
// kCapacitanceMax; otherwise the output is on and the reply's value is shown. Below 1e-6
// it is shown in nanofarads with one decimal, else in microfarads with four. Empty when
// the reply holds no finite number.
std::optional<CapacitanceValue> ParseCapacitance(std::string_view reply, double lastShown,
                                                 int lastExponent);

// The character at pos; empty when the reply is shorter.
std::optional<char> CharAt(std::string_view reply, std::size_t pos);

// A decimal integer read from pos on (leading blanks skipped); empty when the reply is
// shorter or holds no number there.
std::optional<int> IntAt(std::string_view reply, std::size_t pos);

// A floating-point number at the start of the reply; empty when there is no finite one.
std::optional<double> FiniteDouble(std::string_view reply);

}  // namespace value_reply
