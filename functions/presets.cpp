// Labels of the presets stored in the decade: a prefix naming the kind, then the name the
// decade reports.
#include "functions/presets.h"

#include <array>
#include <string>
#include <string_view>

#include "app/shared_state.h"
#include "link/communic.h"

namespace {

struct PresetKindRow {
    std::string_view english;
    std::string_view czech;
    std::string_view select;        // newer firmware: select the preset by number ...
    std::string_view selectedName;  // ... then ask for the name of the selected one
    std::string_view nameBefore;    // older firmware: the number sits inside the query
    std::string_view nameAfter;
};

// clang-format off
constexpr std::array<PresetKindRow, 2> kPresetKinds{{
    {"User function ", "Uživatelská funkce ", "UFUN:CURV:SEL ", "UFUN:CURV:PRES:NAME?",
     "UFUN:CURV:PRES", ":NAME?"},
    {"Timing ",        "Časování ",           "TIM:SEL ",       "TIM:PRES:NAME?",
     "TIM:PRES",       ":NAME?"},
}};
// clang-format on

}  // namespace

void GetPresetName(int kind, int index, std::string& label) {
    if (kind < 0 || kind >= static_cast<int>(kPresetKinds.size())) return;
    const PresetKindRow& row = kPresetKinds[static_cast<std::size_t>(kind)];
    const std::string number = std::to_string(index + 1);

    label = std::string(language == 3 ? row.english : row.czech);

    std::string reply;
    if (newFirmware != 0) {
        std::string unused;
        Communic(1, std::string(row.select) + number, unused);
        Communic(0, std::string(row.selectedName), reply);
    } else {
        Communic(0, std::string(row.nameBefore) + number + std::string(row.nameAfter), reply);
    }
    label += reply;
}
