// The state of one run of the panel: the panel's decade session, and the names under
// which every part of the panel reads and writes what it holds. Written only on the
// user-interface thread.
#pragma once

#include <string>

#include "decade/session.h"

// The one session the panel drives.
extern decade::DecadeSession panelSession;

extern int panelHandle;  // handle of the main panel; negative when it failed to load
extern int language;     // 1 Czech, 3 English, 2 mixed; fixed after start-up

// The panel session's link: copied from the link controls at open.
extern int& connected;      // 1 while a link is open or being opened
extern int& linkType;       // 0 RS-232, any other value GPIB (copied from RING at open)
extern int& comPort;        // serial port number 1..256 (copied from SERIAL at open)
extern int& baudRate;       // baud rate (copied from RATE at open)
extern int& gpibAddress;    // GPIB primary address 0..30 (copied from NUM_ADR at open)
extern int& gpibDevice;     // GPIB device descriptor; negative when none was obtained
extern int& firstReadDone;  // 1 once the wait before the first GPIB read has been spent

// The panel session's decade.
extern int& decadeModel;         // model class 0..7 of the connected decade, 0 = none
extern std::string& modelName;   // display name of the connected model, empty when none
extern int& serialNumber;        // serial number from the identity reply, 0 when absent
extern float& firmwareVersion;   // firmware version from the identity reply, 0.0 when absent
extern int& newFirmware;         // 1 once a class 3/4 decade with newer firmware was opened
extern int& thresholdAvailable;  // whether THRESHOLD is offered (class 2 only)
extern int& valueExponent;       // decimal exponent of the prefix VALUE shows its number in

// Puts every variable back to its initial value (used by tests between cases).
void ResetSharedState();

// One exchange on the panel's link, in the line end of the connected class: see
// DecadeSession::Communic.
int Communic(int noReply, const std::string& command, std::string& reply);

// The identity routines on the panel's session (see DecadeSession).
void FindModel(const std::string& reply);
void ScanDeviceInfo(const std::string& reply);
void ApplyFirmwareRule();
