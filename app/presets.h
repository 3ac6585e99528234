#pragma once

#include <string>

// Label of preset index (0-based) of kind 0 (user function) or 1 (timing): the prefix in
// the current language followed by the name reply exactly as received. Other kinds leave
// label untouched and send nothing.
void GetPresetName(int kind, int index, std::string& label);
