// One profile per model class: what makes the dialect of a class different and what the
// class offers, in one table (decade/profiles.cpp) that reads like the model and command
// tables it comes from. The rest of the program asks the profile of the connected class
// instead of comparing class numbers; every command text is in the table or in
// decade/commands.h beside it.
#pragma once

#include <span>
#include <string_view>

#include "decade/model.h"

namespace decade {

// The model class of a decade, by the row of the profile table that describes it; the
// number is what the panel's decadeModel holds.
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

inline constexpr int ClassNumber(ModelClass model) {
    return static_cast<int>(model);
}

// Entries of the FUNCTION ring: a plain code, a probed code (listed only when the decade
// accepts its selection), or the user-function and timing preset lists.
enum class Entry { Plain, Probed, UserPresets, TimingPresets };
struct FunctionEntry {
    Entry kind;
    int code;
};

// A command and whether a reply line is read after it; an empty command is none.
struct Command {
    std::string_view text;
    bool readsReply = false;
};

// How the open learns which function the decade presents before the probing changes it.
struct FunctionQuery {
    std::string_view command;  // empty: the class has one function and nothing is asked
    std::size_t position = 0;  // where the function character stands in the reply
    bool settleFirst = false;  // wait before asking (the decade is still settling)
};

// Which column of the function-character table a class reads its characters from.
enum class CharacterColumn { General, V330, V211, V090 };

// How the decade is told a function.
enum class Selection {
    None,          // one function: nothing to select
    ShortCommand,  // "F<digit>" acknowledged by "Ok", then the preset number
    QueryThenSet,  // ask the function's value and set the function with it (command words)
    ResOnly,       // command words for resistance, presets by number
};

// What the output button does.
enum class OutputButton {
    None,         // no output button
    Toggle,       // "OUTP 0" / "OUTP 1"; "Run" only starts the preset
    ValueSwitch,  // the output is the value: 0 switches it off, the shown value on
};

// What the ground button sends.
enum class GroundRelay {
    None,
    Letters,  // "G0" / "G1", then the relays settle
    Words,    // "OUTP:GRO 0" / "OUTP:GRO 1"
};

// How the state is read back, one procedure per dialect.
enum class RefreshSequence {
    Resistance,   // "V?", "A?", "R?" and, with a threshold, "W?"
    V330,         // the same without threshold, then output and short
    Capacitance,  // "F?", the display text of the function, output, ground
    V151,         // "A?" in farads (the output follows from it), ground
    V211,         // "V?" with scale and standard, "A?"
    V090,         // "F?", the resistance display, output, short, ground
};

struct DecadeProfile {
    ModelClass model;

    // ----- The dialect. -----
    std::string_view lineEnd;
    Command remote;               // sent after the identity
    bool remoteOverGpib = false;  // also on a GPIB link (else RS-232 only)
    Command local;                // sent before an RS-232 port is closed
    FunctionQuery functionQuery;
    std::span<const FunctionEntry> functions;
    CharacterColumn characters;
    Selection selection;            // None: one function, FUNCTION selects nothing
    std::string_view valueCommand;  // followed by the value in plain decimals
    bool valueErrorQueue = false;   // "*CLS", the value, "SYST:ERR?" instead of an "Ok"
    bool valueBasicOnly = false;    // the value is sent only on the basic function
    int openValueExponent = 0;      // with openShowsValue: the prefix VALUE opens in
    bool openShowsValue = false;    // VALUE shows kOpenValue at the open
    bool capacitance = false;       // the basic function is a capacitance in farads
    double newFirmwareAbove = 0.0;  // firmware above this selects presets by number
    RefreshSequence refresh;

    // ----- What the class offers: a control on the panel and a word of ombrastel-ctl
    // each. The panel arranges itself from these alone. -----
    bool unit = false;       // UNIT: the temperature unit of the sensor curves
    bool kelvin = false;     // UNIT also offers K
    bool r0 = false;         // RNULA: R0 of the sensor curves
    bool standard = false;   // RING_STANDARD: the standard of the sensor types
    bool scale = false;      // RING_SCALE: the temperature scale of the IEC 751 standard
    bool threshold = false;  // THRESHOLD ("W"): the decade takes one (thresholdAvailable)
    OutputButton output = OutputButton::None;  // the output relay and how it is switched
    bool runButton = false;   // the output button starts the program of a timing preset
    bool shortRelay = false;  // "OUTP:SHOR 0" / "OUTP:SHOR 1", then the relays settle
    GroundRelay ground = GroundRelay::None;
    bool valueArrows = false;  // VALUE shows its increment and decrement arrows
    FunctionSet valueFor{};    // the functions whose value can be set from VALUE
    // The functions for which the output button switches the output (its LED is shown);
    // for the others it only starts a program, or does nothing where none runs.
    FunctionSet outputFor{};
};

inline constexpr double kOpenValue = 10.0;         // what VALUE shows at a V151 open
inline constexpr double kRelaySettle = 0.2;        // seconds the relays need after switching
inline constexpr double kSettleBeforeQuery = 0.1;  // seconds before the open's "V?"

// Every class's profile, by class number; the first row is no decade's.
std::span<const DecadeProfile> Profiles();
// The class of a class number; None for a number no class has.
ModelClass ClassOf(int decadeModel);
// The profile of a model class number; a number no class has gets the profile of the
// first class, whose dialect it is taken to speak.
const DecadeProfile& ProfileOf(int decadeModel);
const DecadeProfile& ProfileOf(ModelClass model);

// Whether the state read of the class asks the threshold, which it does while the decade
// of the link takes one: the panel has the threshold's place then.
constexpr bool ReadsThreshold(const DecadeProfile& profile) {
    return profile.refresh == RefreshSequence::Resistance;
}

// The function code a function character stands for in a column; kAskUserFunction and
// kAskTiming mean the decade is to be asked which preset is selected.
inline constexpr int kAskUserFunction = -1;
inline constexpr int kAskTiming = -2;
int CodeOfCharacter(CharacterColumn column, char character);

// The short command of a function code ("F0" .. "F8", "FO", "FS"); empty when none.
std::string_view ShortCommandOf(int code);

// A V330-class fixed function: the query of its value, the command that sets it (followed
// by the reply), and the sensor standard sent after it (empty: none). Null for other codes.
struct QuerySelect {
    int code;
    std::string_view query;
    std::string_view select;
    std::string_view standard;
};
const QuerySelect* QuerySelectOf(int code);

// The commands of the two preset kinds (0 user function, 1 timing).
struct PresetCommands {
    std::string_view count;         // how many presets the decade holds
    std::string_view selected;      // which one is selected
    std::string_view select;        // select one by number (followed by the number)
    std::string_view selectedName;  // newer firmware: the name of the selected one
    std::string_view nameBefore;    // older firmware: the number sits inside the query
    std::string_view nameAfter;
    int base;  // the function code of preset 1
};
const PresetCommands& PresetCommandsOf(int kind);

}  // namespace decade
