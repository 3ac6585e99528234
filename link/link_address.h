// Where a link goes, in one text form for every front end: the command line's --port, the
// link log and the reasons a failure gives. Read and written here and nowhere else.
//
//   COM3                     COM n, 1 to 256 (the comN link of the settings folder, else
//                            the system's n-th serial port)
//   /dev/ttyUSB0             a serial device by its path (also a name the serial layer
//                            knows, such as ttyUSB0)
//   gpib:5                   primary address 5 on the first board of the GPIB library
//   ASRL3::INSTR             the VISA resource names a PyVISA user writes for the same
//   ASRL/dev/ttyUSB0::INSTR  links; letter case and the ::INSTR suffix as VISA takes them
//   GPIB0::5::INSTR
//
// An address is a variant of kinds: a new kind of link is one more alternative, with its
// text in ParseLinkAddress, LinkAddressText and LinkName and a transport in transports.cpp;
// callers that pass an address along do not change.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace links {

inline constexpr int kFirstComPort = 1;
inline constexpr int kLastComPort = 256;
inline constexpr int kLastGpibAddress = 30;  // primary addresses 0 to 30

// COM n, as the settings file and the panel number it.
struct ComPort {
    int number = 1;
    bool operator==(const ComPort&) const = default;
};

// A serial device named by its path.
struct SerialDevice {
    std::string path;
    bool operator==(const SerialDevice&) const = default;
};

// A primary address on the first board (board 0) of the GPIB library.
struct GpibDevice {
    int address = 0;
    bool operator==(const GpibDevice&) const = default;
};

using LinkAddress = std::variant<ComPort, SerialDevice, GpibDevice>;

// Reads an address in any of the forms above. Nothing, with the reason in words, for a text
// that is malformed ("COM3x"), out of range ("COM0", "gpib:31", "GPIB1::5::INSTR": board 0
// only) or names a kind of link this program does not have.
std::optional<LinkAddress> ParseLinkAddress(std::string_view text, std::string* reason);

// The canonical form: "COM3", the device's path, "gpib:5". ParseLinkAddress reads it back to
// the same address.
std::string LinkAddressText(const LinkAddress& address);

// The link in words, as the link log and every failure reason name it: "COM3 (/dev/ttyS2)"
// (with the device COM 3 stands for now), "/dev/ttyUSB0", "GPIB address 5".
std::string LinkName(const LinkAddress& address);

}  // namespace links
