// Function codes: what the decade reports, what each code is called, its unit and the
// metric prefix letters.
#pragma once

#include <string>
#include <string_view>

// 0 none; 1 resistance (capacitance for classes 4 and 5); 2..7 sensor curves; 8 open;
// 9 short; 1000 + i user-function preset i; 2000 + i timing preset i; 3000..3005 the
// sensors of class 6.
inline bool IsUserFunction(int code) { return code >= 1000 && code <= 1999; }
inline bool IsTimingPreset(int code) { return code >= 2000 && code <= 2999; }

// Turns the decade's function character into a function code for the connected class;
// may ask the decade which preset is selected ('7'/'8', or '1' for class 7).
int CommandToFunction(int character);

// The function code of the preset that a selection reply names: preset number n is code
// base + n - 1 (base 1000 for user functions, 2000 for timing presets). A reply without a
// leading number, or with one below 1 or above 1000, gives 0.
int PresetCodeFromReply(std::string_view reply, int base);

// Display name in the current language ("Unknown" / "Neznámá" for codes without one).
std::string GetFunctionName(int code);

// Unit text of a code; for a user-function preset the decade is asked.
void GetFunctionUnit(int code, int unitIndex, std::string& unit);

// The unit text of a user-function preset from the decade's reply: a quoted text in which
// '^' stands for "Ohm" and '{' for the degree sign. Positions 1 to 8 are read (position 0
// holds the opening quote); a quote or the end of the reply ends the text.
std::string UnitTextFromReply(std::string_view reply);

// Prefix letter of a decimal exponent ("p" .. "T", "u" for micro), empty for the rest.
void GetPrefixLabel(int exponent, std::string& prefix);

// Append an item to the FUNCTION ring. A preset label ends in the name as the decade
// replied it; the reply's CR or CR LF does not go into the item, everything else does.
void InsertFunction(int code);
void InsertFunctionName(int code, const std::string& label);
