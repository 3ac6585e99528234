#pragma once

#include "decade/session.h"

// Reads the decade's state back onto the panel; 0 as soon as a query cannot be sent.
// found, when given, receives what the read found.
int RefreshScreen(decade::StateRead* found = nullptr);

// What the controls show now: a read of the state starts from it.
decade::DecadeState ShownState();
// Paints what a read of the state found; a field it did not find leaves its control.
void PaintState(const decade::StateRead& read);
