// The link address: every form it is written in, what each names, its canonical text, and
// the reason for each text refused.
#include "link/link_address.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using links::ComPort;
using links::GpibDevice;
using links::LinkAddress;
using links::SerialDevice;

struct Accepted {
    const char* text;
    LinkAddress address;
    const char* canonical;
};

// clang-format off
const Accepted kAccepted[] = {
    {"COM3",                    ComPort{3},                   "COM3"},
    {"com3",                    ComPort{3},                   "COM3"},
    {"COM003",                  ComPort{3},                   "COM3"},
    {"COM1",                    ComPort{1},                   "COM1"},
    {"COM256",                  ComPort{256},                 "COM256"},
    {"/dev/ttyUSB0",            SerialDevice{"/dev/ttyUSB0"}, "/dev/ttyUSB0"},
    {"/dev/serial/by-id/usb-FTDI_x-if00-port0", SerialDevice{"/dev/serial/by-id/usb-FTDI_x-if00-port0"},
                                                              "/dev/serial/by-id/usb-FTDI_x-if00-port0"},
    {"ttyUSB0",                 SerialDevice{"ttyUSB0"},      "ttyUSB0"},
    {"gpib:5",                  GpibDevice{5},                "gpib:5"},
    {"GPIB:0",                  GpibDevice{0},                "gpib:0"},
    {"gpib:30",                 GpibDevice{30},               "gpib:30"},
    {"ASRL3::INSTR",            ComPort{3},                   "COM3"},
    {"asrl3::instr",            ComPort{3},                   "COM3"},
    {"ASRL3",                   ComPort{3},                   "COM3"},
    {"ASRL/dev/ttyUSB0::INSTR", SerialDevice{"/dev/ttyUSB0"}, "/dev/ttyUSB0"},
    {"GPIB0::5::INSTR",         GpibDevice{5},                "gpib:5"},
    {"gpib0::05::instr",        GpibDevice{5},                "gpib:5"},
    {"GPIB::7",                 GpibDevice{7},                "gpib:7"},
    {"GPIB0::30",               GpibDevice{30},               "gpib:30"},
};

struct Refused {
    const char* text;
    const char* reason;
};

const Refused kRefused[] = {
    {"",                        "no link named"},
    {"COM0",                    "COM0 is out of range (COM1 to COM256)"},
    {"COM257",                  "COM257 is out of range (COM1 to COM256)"},
    {"COM3x",                   "'COM3x' is no COM port (COM1 to COM256)"},
    {"COM",                     "'COM' is no COM port (COM1 to COM256)"},
    {"COM-1",                   "'COM-1' is no COM port (COM1 to COM256)"},
    {"COM1234567890",           "'COM1234567890' is no COM port (COM1 to COM256)"},
    {"gpib:31",                 "GPIB address 31 is out of range (0 to 30)"},
    {"gpib:-1",                 "'gpib:-1' is no GPIB address (gpib:0 to gpib:30)"},
    {"gpib:",                   "'gpib:' is no GPIB address (gpib:0 to gpib:30)"},
    {"gpib:5x",                 "'gpib:5x' is no GPIB address (gpib:0 to gpib:30)"},
    {"GPIB0::31::INSTR",        "GPIB address 31 is out of range (0 to 30)"},
    {"GPIB1::5::INSTR",         "'GPIB1::5::INSTR': GPIB board 1 is not supported (board 0 is)"},
    {"GPIB0::5::3::INSTR",      "'GPIB0::5::3::INSTR': secondary GPIB addresses are not supported"},
    {"GPIB0::INTFC",            "'GPIB0::INTFC': resource class INTFC is not supported (INSTR is)"},
    {"ASRL0::INSTR",            "COM0 is out of range (COM1 to COM256)"},
    {"ASRL3::SOCKET",           "'ASRL3::SOCKET': resource class SOCKET is not supported (INSTR is)"},
    {"ASRLx::INSTR",            "'ASRLx::INSTR' is no serial resource (ASRL3::INSTR, ASRL/dev/ttyUSB0::INSTR)"},
    {"USB0::0x1234::0x5678::INSTR", "'USB0::0x1234::0x5678::INSTR': the VISA resource type USB0 is not supported (ASRL and GPIB are)"},
    {"TCPIP0::10.0.0.7::4001::SOCKET", "'TCPIP0::10.0.0.7::4001::SOCKET': network links are not supported by this version"},
    {"tcp:10.0.0.7:4001",       "'tcp:10.0.0.7:4001': network links are not supported by this version"},
    {"rfc2217:bench:2217",      "'rfc2217:bench:2217': network links are not supported by this version"},
    {"gpib:5@/dev/ttyUSB1",     "'gpib:5@/dev/ttyUSB1': GPIB controllers are not supported by this version"},
    {" COM3",                   "' COM3' starts or ends with a blank"},
    {"COM3\n",                  "the link holds a control character"},
    {"/dev/tty\x1b[2J",         "the link holds a control character"},
};
// clang-format on

TEST(LinkAddress, EveryFormNamesItsLinkAndPrintsCanonically) {
    for (const Accepted& c : kAccepted) {
        SCOPED_TRACE(c.text);
        std::string reason = "untouched";
        const std::optional<LinkAddress> address = links::ParseLinkAddress(c.text, &reason);
        ASSERT_TRUE(address.has_value()) << reason;
        EXPECT_EQ(*address, c.address);
        EXPECT_EQ(reason, "untouched");
        const std::string canonical = links::LinkAddressText(*address);
        EXPECT_EQ(canonical, c.canonical);
        // The canonical form reads back to the same address.
        EXPECT_EQ(links::ParseLinkAddress(canonical, nullptr), address);
    }
}

TEST(LinkAddress, MalformedOrOutOfRangeIsRefusedWithItsReason) {
    for (const Refused& c : kRefused) {
        SCOPED_TRACE(c.text);
        std::string reason;
        EXPECT_FALSE(links::ParseLinkAddress(c.text, &reason).has_value());
        EXPECT_EQ(reason, c.reason);
    }
}

}  // namespace
