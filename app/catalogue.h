// Function codes: what the decade reports, what each code is called, its unit and the
// metric prefix letters.
#pragma once

#include <string>
#include <string_view>

#include "decade/model.h"

// The codes and their predicates are named in decade/model.h.
using decade::IsTimingPreset;
using decade::IsUserFunction;

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
