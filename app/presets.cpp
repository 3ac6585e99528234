// Labels of the presets stored in the decade: a prefix naming the kind, then the name the
// decade reports.
#include "app/presets.h"

#include <string>

#include "app/shared_state.h"
#include "app/texts.h"

void GetPresetName(int kind, int index, std::string& label) {
    if (kind != 0 && kind != 1) return;
    label = texts::Message(texts::PresetKind(kind)) + panelSession.PresetName(kind, index);
}
