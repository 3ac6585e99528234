// The panel's texts: each English/Czech pair once, and the two rules that choose between
// them. Labels on the panel are Czech when the language is 1; message boxes and the names
// of functions and presets are English when the language is 3 and Czech otherwise, so the
// mixed language 2 shows Czech names under English labels.
#pragma once

#include <string>
#include <string_view>

namespace texts {

struct Pair {
    std::string_view english;
    std::string_view czech;
};

// The rules.
bool LabelsInCzech();    // the panel's labels, captions and window title
bool MessagesInCzech();  // message boxes, function and preset names

// A pair in the language of its kind.
std::string Label(const Pair& pair);
std::string Message(const Pair& pair);

// Message boxes.
inline constexpr Pair kWarning{"Warning", "Upozornění"};
inline constexpr Pair kNoGpib{"Could not open GPIB.", "Nenalezen port GPIB."};
inline constexpr Pair kNoSerialPort{"Could not open serial port.", "Nenalezen sériový port."};
inline constexpr Pair kNoDecade{"Decade box not found!", "Dekáda nenalezena."};
inline constexpr Pair kCommunicationFailed{"Communication failed.", "Komunikace selhala."};
inline constexpr Pair kCouldNotSetValue{"Could not set value!", "Hodnotu nelze nastavit!"};
// Followed by the settings file's path and a full stop.
inline constexpr Pair kSettingsNotSaved{"Could not save the settings to ",
                                        "Nastavení nelze uložit do souboru "};

// While a sequence runs on the link: the Cancel button, and what a dropped click says.
inline constexpr Pair kCancel{"Cancel", "Zrušit"};
inline constexpr Pair kInputDropped{"Busy with the decade: the input was ignored.",
                                    "Probíhá komunikace s dekádou: vstup byl ignorován."};

// Captions of the output button: the output switch, or the start of a program.
inline constexpr Pair kOutput{"Output", "Výstup"};
inline constexpr Pair kRun{"Run", "Spustit"};

// The window title: before the serial number and before the firmware version.
inline constexpr Pair kSerialLead{", s.n. ", ", v.\xc4\x8d. "};
inline constexpr Pair kVersionLead{", SW version ", ", verze SW "};

// The labels of the presets start with their kind (0 user function, 1 timing).
const Pair& PresetKind(int kind);

// The name of a function code; capacitance names the basic function of the capacitance
// classes. Codes without a name are "Unknown".
const Pair& FunctionName(int code, bool capacitance);

}  // namespace texts
