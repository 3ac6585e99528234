// Selecting a function on the decade, in the command dialect of its model class.
#include "functions/selection.h"

#include <string>
#include <string_view>

#include "app/shared_state.h"
#include "decade/commands.h"
#include "decade/profiles.h"
#include "functions/catalogue.h"
#include "functions/values.h"
#include "link/communic.h"
#include "platform/text.h"

namespace {

using decade::Selection;

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
    if (!decade::IsPreset(code)) return;
    const decade::PresetCommands& commands = decade::PresetCommandsOf(IsUserFunction(code) ? 0 : 1);
    std::string unused;
    Communic(1, std::string(commands.select) + std::to_string(code - commands.base + 1), unused);
}

// Fixed functions: ask the decade for the function's present value, select the function
// with that value, then set the sensor standard if any. A timing preset switches the
// short off first.
int SelectByQuery(int code, int report) {
    std::string unused;
    if (decade::IsPreset(code)) {
        if (IsTimingPreset(code)) Communic(1, std::string(decade::cmd::kShortOff), unused);
        SelectPreset(code);
        return 1;
    }
    const decade::QuerySelect* row = decade::QuerySelectOf(code);
    if (row == nullptr) return 1;
    if (!QueryThenSelect(row->query, row->select)) return Refuse(report);
    if (!row->standard.empty()) Communic(1, std::string(row->standard), unused);
    return 1;
}

// Resistance through its value, the presets by number.
int SelectResOnly(int code, int report) {
    if (code == decade::fn::kBasic) {
        const decade::QuerySelect* row = decade::QuerySelectOf(code);
        return QueryThenSelect(row->query, row->select) ? 1 : Refuse(report);
    }
    SelectPreset(code);
    return 1;
}

int SelectByShortCommand(int code, int report) {
    // Cleared first: when nothing was exchanged the old text must not pass as "Ok".
    std::string reply;
    Communic(0, std::string(decade::ShortCommandOf(code)), reply);
    if (!text::IsOk(reply)) return Refuse(report);
    SelectPreset(code);
    return 1;
}

}  // namespace

int SetFunction(int code, int report) {
    switch (decade::ProfileOf(decadeModel).selection) {
        case Selection::None:
            return 1;
        case Selection::QueryThenSet:
            return SelectByQuery(code, report);
        case Selection::ResOnly:
            return SelectResOnly(code, report);
        case Selection::ShortCommand:
            break;
    }
    return SelectByShortCommand(code, report);
}
