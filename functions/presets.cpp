// Labels of the presets stored in the decade: a prefix naming the kind, then the name the
// decade reports.
#include "functions/presets.h"

#include <string>
#include <string_view>

#include "app/shared_state.h"
#include "app/texts.h"
#include "decade/profiles.h"
#include "link/communic.h"

void GetPresetName(int kind, int index, std::string& label) {
    if (kind != 0 && kind != 1) return;
    const decade::PresetCommands& commands = decade::PresetCommandsOf(kind);
    const std::string number = std::to_string(index + 1);

    label = texts::Message(texts::PresetKind(kind));

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
