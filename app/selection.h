#pragma once

// Selects the function code on the decade in the dialect of its class. report != 0 shows
// the refusal box. 1 when sent (and acknowledged where the dialect acknowledges), else 0.
int SetFunction(int code, int report);
