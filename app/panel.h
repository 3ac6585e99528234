// The main panel: its constant, the identifiers of its twenty controls and the name under
// which its description travels inside the program.
#pragma once

inline constexpr int PANEL = 1;
inline constexpr const char* kPanelDescription = "Ombrastel.uir";

inline constexpr int VALUE = 2;
inline constexpr int THRESHOLD = 3;
inline constexpr int RING = 4;
inline constexpr int NUM_ADR = 5;
inline constexpr int SERIAL = 6;
inline constexpr int COM = 7;
inline constexpr int CMD_SHORT = 8;
inline constexpr int CMD_GND = 9;
inline constexpr int CMD_OUTPUT = 10;
inline constexpr int END = 11;
inline constexpr int RATE = 12;
inline constexpr int RNULA = 13;
inline constexpr int FUNCTION = 14;
inline constexpr int LED_SHORT = 15;
inline constexpr int LED_GND = 16;
inline constexpr int UNIT = 17;
inline constexpr int LED_OUTPUT = 18;
inline constexpr int RING_SCALE = 19;
inline constexpr int RING_STANDARD = 20;
inline constexpr int DECORATION = 21;

// Makes the panel description loadable by LoadPanel (kPanelDescription, PANEL).
void RegisterMainPanel();

// Puts the Czech texts on the panel (start-up does this when language is 1).
void ApplyCzechTexts(int panel);
