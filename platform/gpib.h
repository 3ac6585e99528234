// GPIB: a binding that loads the GPIB library by name at first use, and a small device
// manager on top of it. Nothing here needs the library at build time.
#pragma once

#include <string>

namespace gpib {

inline constexpr int ERR = 0x8000;  // error bit of a status word
inline constexpr int T10s = 13;     // time-out code for 10 s

// True once the library is loaded and every needed name was found.
bool LibraryAvailable();

// Device manager. OpenDev returns a descriptor on the first board (END on the last byte
// written, no end-of-string character, 10 s time-out), registered under prefix; negative
// on any failure (no library, missing name, no board, address outside 0..30).
int OpenDev(const std::string& name, const std::string& prefix, int primaryAddress = 0);
int CloseDev(int device);                        // back to local, then release
int CloseInstrDevs(const std::string& prefix);   // closes every device under prefix

// The library calls used by the link. Each returns the status word (ERR bit on error).
int ibwrt(int device, const void* data, long count);
int ibrd(int device, void* buffer, long count);
int ibtmo(int device, int timeoutCode);
int ibpad(int device, int address);              // refuses addresses outside 0..30
long ibcntl();                                    // count of the last call; -1 unknown

}  // namespace gpib
