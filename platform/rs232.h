// Serial ports, in the operations the link code calls, over QSerialPort in blocking mode.
// Ports are numbered 1..256 (COM1..COM256). Results follow the usual convention of this
// layer: 0 or a byte count on success, a negative value on failure.
#pragma once

#include <string>

namespace rs232 {

// The device behind COM n: on Windows "COMn"; elsewhere the target of a link named
// "comN" in the settings folder (platform/settings_folder.h) when one exists, else "/dev/ttyS<n-1>".
std::string PortDeviceName(int port);

// Opens and configures the port (parity 0 none, 1 odd, 2 even); 0 on success.
int OpenComConfig(int port, const std::string& deviceName, long baudRate, int parity,
                  int dataBits, int stopBits, int inputQueueSize, int outputQueueSize);
int SetXMode(int port, int mode);        // software handshake on/off
int SetCTSMode(int port, int mode);      // hardware handshake on/off
int ComSetEscape(int port, int code);    // 5 raises DTR, 6 lowers DTR, 3 raises RTS, 4 lowers RTS
int SetComTime(int port, double seconds);
int FlushInQ(int port);
int ComWrt(int port, const char* data, int length);
// Reads until the terminator byte (not stored), maxLength bytes, the time-out or a cancel
// of the link's sequence (seen within 100 ms); returns
// the number of bytes stored, never more than maxLength. A read error closes the port.
int ComRdTerm(int port, char* buffer, int maxLength, int terminator);
// Whether the last ComRdTerm ended at its terminator (not at the length or the time-out).
bool LastReadEndedAtTerminator();
int CloseCom(int port);
bool IsOpen(int port);
// Closes every port the calling thread opened (before that thread ends). A port is used
// by the thread that opened it only: from another thread it counts as not open.
void CloseThreadPorts();

// Why things went wrong, in one line each, for the operator and the standard error:
// the last failed OpenComConfig of the port (the device COM n resolved to and the
// system's reason, with what to do about it), and why the layer itself closed the port
// after a read or resource error.
std::string OpenError(int port);
std::string ClosedReason(int port);
// True when the last ComRdTerm of the port received any byte at all, the line end
// included: a decade that sent an empty line did answer.
bool LastReadGotByte(int port);

// While no call of this layer runs on an open port, whatever arrives is thrown away (no
// reply is awaited, and each exchange flushes the input first), and at most a few KiB are
// ever kept, so a partner that keeps sending cannot grow memory. A hang-up seen while idle
// (the partner closed its end, the adapter went away) closes the port at once, with its
// ClosedReason, and then calls handler with the port's number from the event loop.
using HangUpHandler = void (*)(int port);
void SetHangUpHandler(HangUpHandler handler);

}  // namespace rs232
