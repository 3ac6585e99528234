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

// A name of the panel for a number that the panel session's link keeps: reading and
// writing it reach that number; with no such number (no link of that kind opened) it reads
// as its fallback, and a write goes nowhere.
class LinkNumber {
  public:
    using Where = int* (*)();
    constexpr LinkNumber(Where where, int fallback) : where_(where), fallback_(fallback) {}
    operator int() const {
        const int* number = where_();
        return number != nullptr ? *number : fallback_;
    }
    LinkNumber& operator=(int value) {
        if (int* number = where_()) *number = value;
        return *this;
    }

  private:
    Where where_;
    int fallback_;
};

// The panel session's link.
extern int& connected;  // 1 while a link is open or being opened
// The link controls as the last open read them; the panel builds the link's address from
// them.
extern int linkType;     // 0 RS-232, any other value GPIB (copied from RING at open)
extern int comPort;      // serial port number 1..256 (copied from SERIAL at open)
extern int baudRate;     // baud rate (copied from RATE at open)
extern int gpibAddress;  // GPIB primary address 0..30 (copied from NUM_ADR at open)
// What a GPIB link obtained at its open:
extern LinkNumber gpibDevice;     // device descriptor; negative when none was obtained
extern LinkNumber firstReadDone;  // 1 once the wait before the first read has been spent

// The session's link settings from the copies above.
links::LinkSettings PanelLinkSettings();

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
