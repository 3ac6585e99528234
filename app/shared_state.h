// The state of one run of the panel: the few module-level variables that every part of
// the program reads and a few of them write. Written only on the user-interface thread.
#pragma once

#include <string>

extern int panelHandle;         // handle of the main panel; negative when it failed to load
extern int language;            // 1 Czech, 3 English, 2 mixed; fixed after start-up
extern int connected;           // 1 while a link is open or being opened
extern int linkType;            // 0 RS-232, any other value GPIB (copied from RING at open)
extern int comPort;             // serial port number 1..256 (copied from SERIAL at open)
extern int baudRate;            // baud rate (copied from RATE at open)
extern int gpibAddress;         // GPIB primary address 0..30 (copied from NUM_ADR at open)
extern int gpibDevice;          // GPIB device descriptor; negative when none was obtained
extern int decadeModel;         // model class 0..7 of the connected decade, 0 = none
extern std::string modelName;   // display name of the connected model, empty when none
extern int serialNumber;        // serial number from the identity reply, 0 when absent
extern float firmwareVersion;   // firmware version from the identity reply, 0.0 when absent
extern int newFirmware;         // 1 once a class 3/4 decade with newer firmware was opened
extern int thresholdAvailable;  // whether THRESHOLD is offered (class 2 only)
extern int valueExponent;       // decimal exponent of the prefix VALUE shows its number in

// Puts every variable back to its initial value (used by tests between cases).
void ResetSharedState();
