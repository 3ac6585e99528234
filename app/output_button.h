// The output button and the relay column, as both the control enabling and the state
// refresh arrange them.
#pragma once

#include <string>

#include "app/texts.h"

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

// Class 3 puts output and short side by side.
inline constexpr int kClass3OutputLeft = 473;
inline constexpr int kClass3OutputLedLeft = 503;
inline constexpr int kClass3ShortLeft = 593;
inline constexpr int kClass3ShortLedLeft = 623;
