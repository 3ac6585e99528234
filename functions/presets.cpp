// Labels of the presets stored in the decade: a prefix naming the kind, then the name the
// decade reports.
#include "functions/presets.h"

#include <array>
#include <string>
#include <string_view>

#include "app/shared_state.h"
#include "decade/profiles.h"
#include "link/communic.h"

namespace {

struct PresetKindRow {
    std::string_view english;
    std::string_view czech;
};

constexpr std::array<PresetKindRow, 2> kPresetKinds{{
    {"User function ", "Uživatelská funkce "},
    {"Timing ", "Časování "},
}};

}  // namespace

void GetPresetName(int kind, int index, std::string& label) {
    if (kind < 0 || kind >= static_cast<int>(kPresetKinds.size())) return;
    const PresetKindRow& row = kPresetKinds[static_cast<std::size_t>(kind)];
    const decade::PresetCommands& commands = decade::PresetCommandsOf(kind);
    const std::string number = std::to_string(index + 1);

    label = std::string(language == 3 ? row.english : row.czech);

    std::string reply;
    if (newFirmware != 0) {
        std::string unused;
        Communic(1, std::string(commands.select) + number, unused);
        Communic(0, std::string(commands.selectedName), reply);
    } else {
        Communic(0, std::string(commands.nameBefore) + number + std::string(commands.nameAfter),
                 reply);
    }
    label += reply;
}
