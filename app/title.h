#pragma once

// Writes the window title from modelName, serialNumber and firmwareVersion.
void SetName();
