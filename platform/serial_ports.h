// Which device a COM number names, the serial ports the system has, and naming a port as
// COM n with a comN link in the settings folder.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ports {

inline constexpr const char* kByIdFolder = "/dev/serial/by-id";

// What COM n resolves to.
struct ComTarget {
    bool viaLink = false;    // a comN link names it (else it is /dev/ttyS<n-1>)
    std::string linkTarget;  // the link's own text when viaLink
    std::string device;      // the device the serial layer opens for COM n
    bool present = false;    // that device exists as a serial device (never for a refused link)
    std::string refusal;     // why the comN link is not followed; empty when it is
};

// The devices the system reports as serial ports (QSerialPortInfo's system locations).
std::set<std::string> ListedDevices();

// COM n as the serial layer sees it. A device counts as present when it is a character
// device; a /dev/ttyS node must also be listed, since the system makes those nodes for
// UARTs that are not there.
ComTarget ResolveComPort(int n, const std::set<std::string>& listed);

// One serial port of the system.
struct SystemPort {
    QString device;  // /dev/ttyUSB0
    QString description;
    QString manufacturer;
    QString serialNumber;
    std::optional<std::uint16_t> vendorId;
    std::optional<std::uint16_t> productId;
    QString byId;  // the link under the by-id folder that names it, empty when none
};

// The system's serial ports, each with its by-id name looked up in byIdFolder.
std::vector<SystemPort> SystemPorts(const QString& byIdFolder = QString::fromLatin1(kByIdFolder));
// The entry of byIdFolder that resolves to device; empty when none does.
QString ByIdName(const QString& byIdFolder, const QString& device);

enum class Assigned { Made, Replaced, NotALink, Failed };

// Makes the comN link in the settings folder point at target, replacing a comN link that is
// there in one step. Anything at comN that is not a link is left alone (NotALink). why says
// what failed.
Assigned AssignComPort(int n, const std::string& target, std::string* why);

}  // namespace ports
