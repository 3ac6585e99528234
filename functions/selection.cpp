// Selecting a function on the decade, in the command dialect of its model class.
#include "functions/selection.h"

#include <array>
#include <string>
#include <string_view>

#include "app/shared_state.h"
#include "functions/catalogue.h"
#include "functions/values.h"
#include "link/communic.h"
#include "platform/text.h"

namespace {

// Short commands of the letter dialect (classes 1, 2, 4, 6). The digit is the one the
// decade reports the function with, so codes 5 to 7 run backwards.
struct ShortCommandRow {
    int code;
    std::string_view command;
};

// clang-format off
constexpr std::array<ShortCommandRow, 15> kShortCommands{{
    {1,    "F0"},
    {2,    "F1"},
    {3,    "F2"},
    {4,    "F3"},
    {5,    "F6"},
    {6,    "F5"},
    {7,    "F4"},
    {8,    "FO"},
    {9,    "FS"},
    {3000, "F1"},
    {3001, "F2"},
    {3002, "F3"},
    {3003, "F4"},
    {3004, "F5"},
    {3005, "F6"},
}};
// clang-format on

std::string_view ShortCommandOf(int code) {
    if (IsUserFunction(code)) return "F7";
    if (IsTimingPreset(code)) return "F8";
    for (const ShortCommandRow& row : kShortCommands) {
        if (row.code == code) return row.command;
    }
    return "";
}

// Class 3 selection of the fixed functions: ask the decade for the function's present
// value, select the function with that value, then set the sensor standard if any.
struct QuerySelectRow {
    int code;
    std::string_view query;
    std::string_view select;    // followed by the reply to the query
    std::string_view standard;  // empty: none
};

// clang-format off
constexpr std::array<QuerySelectRow, 7> kClass3Selections{{
    {1, "RES?",  "RES ",  ""},
    {2, "PLAT?", "PLAT ", "PLAT:STAN PT385A"},
    {3, "PLAT?", "PLAT ", "PLAT:STAN PT385B"},
    {4, "PLAT?", "PLAT ", "PLAT:STAN PT3916"},
    {5, "PLAT?", "PLAT ", "PLAT:STAN PT3926"},
    {6, "PLAT?", "PLAT ", "PLAT:STAN USER"},
    {7, "NICK?", "NICK ", ""},
}};
// clang-format on

std::string PresetNumber(int code, int base) {
    return std::to_string(code - base + 1);
}

// Sends query, then select followed by the reply without its line end, without waiting
// for a reply. A reply that would put another control byte on the line, or make the
// command longer than the link takes, is not sent back: false then.
bool QueryThenSelect(std::string_view query, std::string_view select) {
    std::string reply;
    Communic(0, std::string(query), reply);
    std::string command(select);
    command += text::TrimLineEnd(text::UpToNul(reply));
    if (command.size() > kMaxCommandLength || text::HasControlByte(command)) return false;
    std::string unused;
    Communic(1, command, unused);
    return true;
}

int Refuse(int report) {
    if (report != 0) ShowRefusalWarning();
    return 0;
}

// The command that selects a user-function or timing preset; nothing for other codes.
void SelectPreset(int code) {
    std::string unused;
    if (IsUserFunction(code)) {
        Communic(1, "UFUN:CURV:SEL " + PresetNumber(code, 1000), unused);
    } else if (IsTimingPreset(code)) {
        Communic(1, "TIM:SEL " + PresetNumber(code, 2000), unused);
    }
}

int SelectClass3(int code, int report) {
    std::string unused;
    if (IsUserFunction(code) || IsTimingPreset(code)) {
        if (IsTimingPreset(code)) Communic(1, "OUTP:SHOR 0", unused);  // short off first
        SelectPreset(code);
        return 1;
    }
    for (const QuerySelectRow& row : kClass3Selections) {
        if (row.code != code) continue;
        if (!QueryThenSelect(row.query, row.select)) return Refuse(report);
        if (!row.standard.empty()) Communic(1, std::string(row.standard), unused);
        return 1;
    }
    return 1;
}

int SelectClass7(int code, int report) {
    if (code == 1) return QueryThenSelect("RES?", "RES ") ? 1 : Refuse(report);
    SelectPreset(code);
    return 1;
}

int SelectByShortCommand(int code, int report) {
    // Cleared first: when nothing was exchanged the old text must not pass as "Ok".
    std::string reply;
    Communic(0, std::string(ShortCommandOf(code)), reply);
    if (!text::IsOk(reply)) return Refuse(report);
    SelectPreset(code);
    return 1;
}

}  // namespace

int SetFunction(int code, int report) {
    switch (decadeModel) {
        case 5:
            return 1;
        case 3:
            return SelectClass3(code, report);
        case 7:
            return SelectClass7(code, report);
        default:
            return SelectByShortCommand(code, report);
    }
}
