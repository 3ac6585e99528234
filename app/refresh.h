#pragma once

namespace decade {
struct StateRead;
}

// Reads the decade's state back onto the panel; 0 as soon as a query cannot be sent.
// found, when given, receives what the read found.
int RefreshScreen(decade::StateRead* found = nullptr);
