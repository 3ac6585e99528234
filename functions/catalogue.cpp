// Function codes: the decade's function characters, the display names, the unit texts and
// the metric prefix letters.
#include "functions/catalogue.h"

#include <array>
#include <optional>
#include <string_view>

#include "app/panel.h"
#include "app/shared_state.h"
#include "app/texts.h"
#include "decade/commands.h"
#include "decade/profiles.h"
#include "link/communic.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace {

bool CapacitanceDecade() {
    return decade::ProfileOf(decadeModel).capacitance;
}

// Asks which preset of a kind is selected and returns its function code.
int AskSelectedPreset(int kind) {
    const decade::PresetCommands& commands = decade::PresetCommandsOf(kind);
    std::string reply;
    Communic(0, std::string(commands.selected), reply);
    return PresetCodeFromReply(reply, commands.base);
}

// Temperature units by the index the UNIT ring and the decade's status use.
constexpr std::array<std::string_view, 3> kTemperatureUnits{"°C", "°F", "K"};

struct PrefixRow {
    int exponent;
    std::string_view letter;
};

// clang-format off
constexpr std::array<PrefixRow, 8> kPrefixTable{{
    {-12, "p"}, {-9, "n"}, {-6, "u"}, {-3, "m"}, {3, "k"}, {6, "M"}, {9, "G"}, {12, "T"},
}};
// clang-format on

}  // namespace

int CommandToFunction(int character) {
    const char c = static_cast<char>(character & 0xFF);
    const int code = decade::CodeOfCharacter(decade::ProfileOf(decadeModel).characters, c);
    if (code == decade::kAskUserFunction) return AskSelectedPreset(0);
    if (code == decade::kAskTiming) return AskSelectedPreset(1);
    return code;
}

int PresetCodeFromReply(std::string_view reply, int base) {
    const std::optional<int> number = text::ScanIntAuto(text::UpToNul(reply));
    if (!number || *number < 1 || *number > decade::fn::kPresetsPerKind) return 0;
    return base + *number - 1;
}

std::string GetFunctionName(int code) {
    return texts::Message(texts::FunctionName(code, CapacitanceDecade()));
}

void GetFunctionUnit(int code, int unitIndex, std::string& unit) {
    unit.clear();
    if (code == decade::fn::kBasic) {
        unit = CapacitanceDecade() ? "F" : "Ohm";
        return;
    }
    if (IsUserFunction(code)) {
        using namespace decade::cmd;
        const std::string query =
            newFirmware ? std::string(kSelectedPresetUnit)
                        : std::string(kPresetUnitBefore) +
                              std::to_string(code - decade::fn::kUserFunctionBase + 1) +
                              std::string(kPresetUnitAfter);
        std::string reply;
        Communic(0, query, reply);
        unit = UnitTextFromReply(reply);
        return;
    }
    if (unitIndex >= 0 && unitIndex < static_cast<int>(kTemperatureUnits.size())) {
        unit = kTemperatureUnits[static_cast<std::size_t>(unitIndex)];
    }
}

std::string UnitTextFromReply(std::string_view reply) {
    reply = text::TrimLineEnd(text::UpToNul(reply));
    std::string unit;
    for (std::size_t i = 1; i <= 8 && i < reply.size(); ++i) {
        const char c = reply[i];
        if (c == '"') break;
        if (c == '^') {
            unit += "Ohm";
        } else if (c == '{') {
            unit += "°";
        } else {
            unit += c;
        }
    }
    return unit;
}

void GetPrefixLabel(int exponent, std::string& prefix) {
    prefix.clear();
    for (const PrefixRow& row : kPrefixTable) {
        if (row.exponent == exponent) {
            prefix = row.letter;
            return;
        }
    }
}

void InsertFunction(int code) {
    InsertFunctionName(code, GetFunctionName(code));
}

void InsertFunctionName(int code, const std::string& label) {
    ui::InsertListItem(panelHandle, FUNCTION, -1, std::string(text::TrimLineEnd(label)), code);
}
