// GPIB: a binding that loads the GPIB library by name at first use, and a small device
// manager on top of it. Nothing here needs the library at build time.
#pragma once

#include <string>

namespace gpib {

inline constexpr int ERR = 0x8000;   // error bit of a status word
inline constexpr int TIMO = 0x4000;  // time-out bit of a status word
inline constexpr int T10s = 13;     // time-out code for 10 s

// Error codes of iberr that the link tells apart.
inline constexpr int EDVR = 0;  // system or driver error
inline constexpr int ENOL = 2;  // no listener on the bus
inline constexpr int EABO = 6;  // I/O aborted, the time-out
inline constexpr int ENEB = 7;  // no such board

// True once the library is loaded and every needed name was found. While it is not, every
// OpenDev looks for it again, so a driver installed during the run is found.
bool LibraryAvailable();
// Why the last OpenDev failed, in one line: the library names tried and why each did not
// load, the function a library lacked, the board's error, or the address out of range.
std::string LastError();
// The error code of the last failed call (iberr), -1 when the library does not say.
int iberr();
// "ENOL (no listener)" and the like; "error N" for a code without a name.
std::string ErrorName(int error);

// Device manager. OpenDev returns a descriptor on the first board (END on the last byte
// written, no end-of-string character, 10 s time-out), registered under prefix; negative
// on any failure (no library, missing name, no board, address outside 0..30).
int OpenDev(const std::string& name, const std::string& prefix, int primaryAddress = 0);
int CloseDev(int device);                        // back to local, then release
int ReleaseDev(int device);                      // release only; nothing goes on the bus
int CloseInstrDevs(const std::string& prefix);   // closes every device under prefix

// The library calls used by the link. Each returns the status word (ERR bit on error).
int ibwrt(int device, const void* data, long count);
int ibrd(int device, void* buffer, long count);
int ibtmo(int device, int timeoutCode);
int ibpad(int device, int address);              // refuses addresses outside 0..30
long ibcntl();                                    // count of the last call; -1 unknown

// From any thread: ends the ibrd under way at once through the library's ibstop. False
// when no read runs or the library has no ibstop (the read then ends at its time-out).
bool StopRead();

}  // namespace gpib
