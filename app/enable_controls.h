#pragma once

// Shows, dims, labels and places the controls for the link state, the model class and
// the function FUNCTION shows.
void EnableControls();
