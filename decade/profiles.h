// One profile per model class: what makes the dialect of a class different, in one table
// (decade/profiles.cpp) that reads like the model and command tables it comes from. The
// rest of the program asks the profile of the connected class instead of comparing class
// numbers; every command text is in the table or in decade/commands.h beside it.
#pragma once

#include <span>
#include <string_view>

#include "decade/model.h"

namespace decade {

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

// How the panel arranges its controls for the class.
enum class ControlLayout { None, Resistance, V330, V150, V151, V211, V090 };

struct DecadeProfile {
    ModelClass model;
    std::string_view lineEnd;
    Command remote;               // sent after the identity
    bool remoteOverGpib = false;  // also on a GPIB link (else RS-232 only)
    Command local;                // sent before an RS-232 port is closed
    FunctionQuery functionQuery;
    std::span<const FunctionEntry> functions;
    CharacterColumn characters;
    Selection selection;
    std::string_view valueCommand;  // followed by the value in plain decimals
    bool valueErrorQueue = false;   // "*CLS", the value, "SYST:ERR?" instead of an "Ok"
    bool valueBasicOnly = false;    // the value is set only on the basic function
    int openValueExponent = 0;      // with openShowsValue: the prefix VALUE opens in
    bool openShowsValue = false;    // VALUE shows kOpenValue at the open
    bool capacitance = false;       // the basic function is a capacitance in farads
    bool threshold = false;         // THRESHOLD ("W") is offered
    bool kelvin = false;            // UNIT offers K
    OutputButton output = OutputButton::None;
    GroundRelay ground = GroundRelay::None;
    bool shortRelay = false;        // "OUTP:SHOR 0" / "OUTP:SHOR 1", then the relays settle
    double newFirmwareAbove = 0.0;  // firmware above this selects presets by number
    RefreshSequence refresh;
    ControlLayout layout;
};

inline constexpr double kOpenValue = 10.0;         // what VALUE shows at a V151 open
inline constexpr double kRelaySettle = 0.2;        // seconds the relays need after switching
inline constexpr double kSettleBeforeQuery = 0.1;  // seconds before the open's "V?"

// The profile of a model class number; a number no class has gets the profile of no
// decade, which speaks like the first class.
const DecadeProfile& ProfileOf(int decadeModel);
const DecadeProfile& ProfileOf(ModelClass model);

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
