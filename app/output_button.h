// The output button and the relay column, as both the control enabling and the state
// refresh arrange them.
#pragma once

#include <string>

#include "app/texts.h"
#include "decade/profiles.h"

// Captions of CMD_OUTPUT: the output switch, or the start of a program (timing preset).
inline std::string OutputLabel() {
    return texts::Label(texts::kOutput);
}
inline std::string RunLabel() {
    return texts::Label(texts::kRun);
}

// The relay column at the right edge of the panel; each LED stands 21 pixels above and
// 30 pixels right of its button. These are the positions the control enabling works in;
// the panel's layout turns them into rows and columns (ArrangeRelays).
inline constexpr int kRelayLeft = 543;
inline constexpr int kLedLeft = 573;
inline constexpr int kTopRelay = 59;  // CMD_GND / CMD_SHORT as loaded
inline constexpr int kTopRelayLed = 38;
inline constexpr int kTopOutput = 179;  // CMD_OUTPUT / LED_OUTPUT as loaded
inline constexpr int kTopOutputLed = 158;

// Output and short side by side in one row.
inline constexpr int kRowOutputLeft = 473;
inline constexpr int kRowOutputLedLeft = 503;
inline constexpr int kRowShortLeft = 593;
inline constexpr int kRowShortLedLeft = 623;

// How the relay column stands: it follows from the relays and the button a class offers.
enum class RelayArrangement {
    None,         // no button and no relay
    Button,       // the output or run button alone, at its loaded place
    BelowGround,  // the ground pair at its loaded place, the output pair below it
    SideBySide,   // output and short in one row; a run button stands alone at the column's place
    Stacked,      // ground, short and output one above the other, 70 pixels apart
};

inline RelayArrangement ArrangementOf(const decade::DecadeProfile& profile) {
    const bool ground = profile.ground != decade::GroundRelay::None;
    if (profile.shortRelay)
        return ground ? RelayArrangement::Stacked : RelayArrangement::SideBySide;
    if (ground) return RelayArrangement::BelowGround;
    if (profile.output != decade::OutputButton::None || profile.runButton)
        return RelayArrangement::Button;
    return RelayArrangement::None;
}
