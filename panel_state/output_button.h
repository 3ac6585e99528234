// The output button and the relay column, as both the control enabling and the state
// refresh arrange them.
#pragma once

#include "app/shared_state.h"

// Captions of CMD_OUTPUT: the output switch, or the start of a program (timing preset).
inline const char* OutputLabel() {
    return language == 1 ? "Výstup" : "Output";
}
inline const char* RunLabel() {
    return language == 1 ? "Spustit" : "Run";
}

// The relay column at the right edge of the panel; each LED stands 21 pixels above and
// 30 pixels right of its button.
inline constexpr int kRelayLeft = 543;
inline constexpr int kLedLeft = 573;
inline constexpr int kTopRelay = 59;  // CMD_GND / CMD_SHORT as loaded
inline constexpr int kTopRelayLed = 38;

// Class 3 puts output and short side by side.
inline constexpr int kClass3OutputLeft = 473;
inline constexpr int kClass3OutputLedLeft = 503;
inline constexpr int kClass3ShortLeft = 593;
inline constexpr int kClass3ShortLedLeft = 623;
