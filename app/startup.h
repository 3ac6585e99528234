// The program's start and end: the panel is brought up with the settings of the last run,
// the operator works in the event loop, and the settings are written back at the end.
#pragma once

// Runs the program; the result is main's: 0 after a normal end, -1 when the user
// interface cannot start or the panel cannot be loaded (the settings file is then neither
// read nor written).
int RunOmbrastel(int argc, char** argv);
