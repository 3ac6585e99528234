#pragma once

// Reads the decade's state back onto the panel; 0 as soon as a query cannot be sent.
int RefreshScreen();
