// The dialects of the model classes, one row each, and the command tables they share.
#include "decade/profiles.h"

#include <iterator>

namespace decade {

namespace {

// The tables are laid out as tables.
// clang-format off
using E = Entry;
constexpr FunctionEntry kResistanceList[] = {
    {E::Plain, fn::kBasic}, {E::Plain, fn::kPt385_68}, {E::Plain, fn::kPt385_90},
    {E::Plain, fn::kPt3916}, {E::Probed, fn::kPtUser}, {E::Plain, fn::kNickel},
    {E::Probed, fn::kShort}, {E::Probed, fn::kOpen}};
constexpr FunctionEntry kV330List[] = {
    {E::Plain, fn::kBasic}, {E::Plain, fn::kPt385_68}, {E::Plain, fn::kPt385_90},
    {E::Plain, fn::kPt3916}, {E::Plain, fn::kPt3926}, {E::Plain, fn::kPtUser},
    {E::Plain, fn::kNickel}, {E::UserPresets, fn::kUserFunctionBase},
    {E::TimingPresets, fn::kTimingBase}};
constexpr FunctionEntry kV150List[] = {
    {E::Plain, fn::kBasic}, {E::UserPresets, fn::kUserFunctionBase},
    {E::TimingPresets, fn::kTimingBase}};
constexpr FunctionEntry kV151List[] = {{E::Plain, fn::kBasic}};
constexpr FunctionEntry kV211List[] = {
    {E::Plain, fn::kBasic}, {E::Plain, fn::kPt100}, {E::Plain, fn::kPt200},
    {E::Plain, fn::kPt500}, {E::Plain, fn::kPt1000}, {E::Plain, fn::kNi100},
    {E::Plain, fn::kNi1000}, {E::Probed, fn::kShort}, {E::Probed, fn::kOpen}};
constexpr FunctionEntry kV090List[] = {
    {E::Plain, fn::kBasic}, {E::TimingPresets, fn::kTimingBase}};

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kLf = "\n";
constexpr Command kRemote{":SYST:REM", false};
constexpr Command kLocal{":SYST:LOC", false};
constexpr FunctionQuery kStatusQuery{"V?", 1, true};
constexpr FunctionQuery kFunctionQuery{"F?", 0, false};

// The rows read across: the dialect first, then what the class offers.
constexpr DecadeProfile kResistanceRow{
    .model = ModelClass::V210, .lineEnd = kCrLf, .remote = kRemote, .local = kLocal,
    .functionQuery = kStatusQuery, .functions = kResistanceList,
    .characters = CharacterColumn::General, .selection = Selection::ShortCommand,
    .valueCommand = "A", .refresh = RefreshSequence::Resistance,
    .unit = true, .r0 = true, .runButton = true,
    .valueFor = AllBut(kOpenAndShort | kTimingPresets)};

// One row per class, by class number.
constexpr DecadeProfile kProfiles[] = {
    // No decade: speaks like the first class, offers nothing.
    {.model = ModelClass::None, .lineEnd = kCrLf, .remote = kRemote, .local = kLocal,
     .functionQuery = kStatusQuery, .functions = kResistanceList,
     .characters = CharacterColumn::General, .selection = Selection::ShortCommand,
     .valueCommand = "A", .refresh = RefreshSequence::Resistance},
    kResistanceRow,
    {.model = ModelClass::V212, .lineEnd = kCrLf, .remote = kRemote, .local = kLocal,
     .functionQuery = kStatusQuery, .functions = kResistanceList,
     .characters = CharacterColumn::General, .selection = Selection::ShortCommand,
     .valueCommand = "A", .refresh = RefreshSequence::Resistance,
     .unit = true, .r0 = true, .threshold = true, .runButton = true,
     .valueFor = AllBut(kOpenAndShort | kTimingPresets)},
    {.model = ModelClass::V330, .lineEnd = kLf, .remote = kRemote, .local = kLocal,
     .functionQuery = kStatusQuery, .functions = kV330List,
     .characters = CharacterColumn::V330, .selection = Selection::QueryThenSet,
     .valueCommand = "A", .newFirmwareAbove = 1.0265, .refresh = RefreshSequence::V330,
     .unit = true, .kelvin = true, .r0 = true, .output = OutputButton::Toggle,
     .runButton = true, .shortRelay = true,
     .valueFor = AllBut(kTimingPresets), .outputFor = AllBut(kTimingPresets)},
    {.model = ModelClass::V150, .lineEnd = kLf, .remote = kRemote, .local = kLocal,
     .functionQuery = kFunctionQuery, .functions = kV150List,
     .characters = CharacterColumn::General, .selection = Selection::ShortCommand,
     .valueCommand = "A", .capacitance = true, .newFirmwareAbove = 1.0095,
     .refresh = RefreshSequence::Capacitance,
     .output = OutputButton::Toggle, .runButton = true, .ground = GroundRelay::Letters,
     .valueArrows = true, .valueFor = Only(kBasicFunction | kUserFunctions),
     .outputFor = AllBut(kTimingPresets)},
    {.model = ModelClass::V151, .lineEnd = kCrLf, .remote = {"L0", true},
     .remoteOverGpib = true, .local = {"L1", true}, .functionQuery = {},
     .functions = kV151List, .characters = CharacterColumn::General,
     .selection = Selection::None, .valueCommand = "A", .openValueExponent = -9,
     .openShowsValue = true, .capacitance = true, .refresh = RefreshSequence::V151,
     .output = OutputButton::ValueSwitch, .ground = GroundRelay::Letters,
     .valueArrows = true, .valueFor = AllBut(0), .outputFor = AllBut(0)},
    {.model = ModelClass::V211, .lineEnd = kCrLf, .remote = kRemote, .local = kLocal,
     .functionQuery = kStatusQuery, .functions = kV211List,
     .characters = CharacterColumn::V211, .selection = Selection::ShortCommand,
     .valueCommand = "A", .refresh = RefreshSequence::V211,
     .standard = true, .scale = true, .valueFor = AllBut(kOpenAndShort)},
    {.model = ModelClass::V090, .lineEnd = kCrLf, .remote = kRemote, .local = kLocal,
     .functionQuery = kFunctionQuery, .functions = kV090List,
     .characters = CharacterColumn::V090, .selection = Selection::ResOnly,
     .valueCommand = "RES", .valueErrorQueue = true, .valueBasicOnly = true,
     .refresh = RefreshSequence::V090,
     .output = OutputButton::Toggle, .runButton = true, .shortRelay = true,
     .ground = GroundRelay::Words, .valueArrows = true,
     .valueFor = Only(kBasicFunction), .outputFor = Only(kBasicFunction)},
};

// Each row stands at its class's number, and what a row offers holds together.
constexpr bool RowsHoldTogether() {
    for (std::size_t i = 0; i < std::size(kProfiles); ++i) {
        const DecadeProfile& p = kProfiles[i];
        if (ClassNumber(p.model) != static_cast<int>(i)) return false;
        if (p.kelvin && !p.unit) return false;                  // K is an item of UNIT
        if (p.threshold && !ReadsThreshold(p)) return false;    // what is offered is read
        if (p.outputFor.kinds != 0 && p.output == OutputButton::None) return false;
    }
    return true;
}
static_assert(RowsHoldTogether());

// What a function character stands for, per column. Two entries are not codes but
// questions to the decade: which user-function or which timing preset is selected.
struct CharacterRow {
    char character;
    int general;  // the V210, V212, V150 and V151 classes, and a class the program does not know
    int v330;
    int v211;
    int v090;
};

constexpr CharacterRow kCharacterTable[] = {
    //  char  general            V330               V211         V090
    {'0', fn::kBasic,        fn::kBasic,        fn::kBasic,  fn::kBasic},
    {'1', fn::kPt385_68,     fn::kPt385_68,     fn::kPt100,  kAskTiming},
    {'2', fn::kPt385_90,     fn::kPt385_90,     fn::kPt200,  fn::kNone},
    {'3', fn::kPt3916,       fn::kPt3916,       fn::kPt500,  fn::kNone},
    {'4', fn::kNickel,       fn::kNickel,       fn::kPt1000, fn::kNone},
    {'5', fn::kPtUser,       fn::kPtUser,       fn::kNi100,  fn::kNone},
    {'6', fn::kPt3926,       fn::kPt3926,       fn::kNi1000, fn::kNone},
    {'7', kAskUserFunction,  kAskUserFunction,  fn::kNone,   fn::kNone},
    {'8', kAskTiming,        kAskTiming,        fn::kNone,   fn::kNone},
    {'O', fn::kOpen,         fn::kBasic,        fn::kOpen,   fn::kOpen},
    {'S', fn::kShort,        fn::kBasic,        fn::kShort,  fn::kShort},
};

// Short commands of the letter dialect. The digit is the one the decade reports the
// function with, so the codes 5 to 7 run backwards.
struct ShortCommandRow {
    int code;
    std::string_view command;
};
constexpr ShortCommandRow kShortCommands[] = {
    {fn::kBasic,    "F0"}, {fn::kPt385_68, "F1"}, {fn::kPt385_90, "F2"}, {fn::kPt3916, "F3"},
    {fn::kPt3926,   "F6"}, {fn::kPtUser,   "F5"}, {fn::kNickel,   "F4"}, {fn::kOpen,   "FO"},
    {fn::kShort,    "FS"}, {fn::kPt100,    "F1"}, {fn::kPt200,    "F2"}, {fn::kPt500,  "F3"},
    {fn::kPt1000,   "F4"}, {fn::kNi100,    "F5"}, {fn::kNi1000,   "F6"},
};
constexpr std::string_view kSelectUserFunction = "F7";
constexpr std::string_view kSelectTiming = "F8";

// The V330 class selects a fixed function with the function's present value.
constexpr QuerySelect kQuerySelections[] = {
    {fn::kBasic,    "RES?",  "RES ",  ""},
    {fn::kPt385_68, "PLAT?", "PLAT ", "PLAT:STAN PT385A"},
    {fn::kPt385_90, "PLAT?", "PLAT ", "PLAT:STAN PT385B"},
    {fn::kPt3916,   "PLAT?", "PLAT ", "PLAT:STAN PT3916"},
    {fn::kPt3926,   "PLAT?", "PLAT ", "PLAT:STAN PT3926"},
    {fn::kPtUser,   "PLAT?", "PLAT ", "PLAT:STAN USER"},
    {fn::kNickel,   "NICK?", "NICK ", ""},
};

constexpr PresetCommands kPresetCommands[] = {
    {"UFUN:CURV:PCO?", "UFUN:CURV:SEL?", "UFUN:CURV:SEL ", "UFUN:CURV:PRES:NAME?",
     "UFUN:CURV:PRES", ":NAME?", fn::kUserFunctionBase},
    {"TIM:PCO?",       "TIM:SEL?",       "TIM:SEL ",       "TIM:PRES:NAME?",
     "TIM:PRES",       ":NAME?", fn::kTimingBase},
};

// clang-format on

int Column(const CharacterRow& row, CharacterColumn column) {
    switch (column) {
        case CharacterColumn::V330:
            return row.v330;
        case CharacterColumn::V211:
            return row.v211;
        case CharacterColumn::V090:
            return row.v090;
        case CharacterColumn::General:
            break;
    }
    return row.general;
}

}  // namespace

std::span<const DecadeProfile> Profiles() {
    return kProfiles;
}

namespace {
bool KnownClass(int decadeModel) {
    return decadeModel >= 0 && static_cast<std::size_t>(decadeModel) < std::size(kProfiles);
}
}  // namespace

ModelClass ClassOf(int decadeModel) {
    return KnownClass(decadeModel) ? kProfiles[static_cast<std::size_t>(decadeModel)].model
                                   : ModelClass::None;
}

const DecadeProfile& ProfileOf(int decadeModel) {
    if (KnownClass(decadeModel)) return kProfiles[static_cast<std::size_t>(decadeModel)];
    return kResistanceRow;  // a class the program does not know speaks like the first
}

const DecadeProfile& ProfileOf(ModelClass model) {
    return ProfileOf(ClassNumber(model));
}

int CodeOfCharacter(CharacterColumn column, char character) {
    for (const CharacterRow& row : kCharacterTable) {
        if (row.character == character) return Column(row, column);
    }
    return fn::kNone;
}

std::string_view ShortCommandOf(int code) {
    if (IsUserFunction(code)) return kSelectUserFunction;
    if (IsTimingPreset(code)) return kSelectTiming;
    for (const ShortCommandRow& row : kShortCommands) {
        if (row.code == code) return row.command;
    }
    return "";
}

const QuerySelect* QuerySelectOf(int code) {
    for (const QuerySelect& row : kQuerySelections) {
        if (row.code == code) return &row;
    }
    return nullptr;
}

const PresetCommands& PresetCommandsOf(int kind) {
    return kPresetCommands[kind == 0 ? 0 : 1];
}

}  // namespace decade
