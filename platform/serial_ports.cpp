#include "platform/serial_ports.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/com_link.h"
#include "platform/rs232.h"
#include "platform/settings_folder.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ports {

std::set<std::string> ListedDevices() {
    std::set<std::string> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        devices.insert(info.systemLocation().toStdString());
    }
    return devices;
}

ComTarget ResolveComPort(int n, const std::set<std::string>& listed) {
    ComTarget t;
    t.device = rs232::PortDeviceName(n);
#if !defined(_WIN32)
    const std::string link = folder::InSettingsFolder("com" + std::to_string(n));
    struct stat info;
    if (lstat(link.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        t.viaLink = true;
        char buffer[4096];
        const ssize_t length = readlink(link.c_str(), buffer, sizeof buffer);
        if (length > 0) t.linkTarget.assign(buffer, static_cast<std::size_t>(length));
        // A link whose device is gone names that device, not itself.
        if (QFileInfo(QString::fromStdString(link)).canonicalFilePath().isEmpty() &&
            !t.linkTarget.empty()) {
            const QFileInfo target(QFileInfo(QString::fromStdString(link)).dir(),
                                   QString::fromStdString(t.linkTarget));
            t.device = QDir::cleanPath(target.absoluteFilePath()).toStdString();
        }
    }
    const bool legacy = t.device.rfind("/dev/ttyS", 0) == 0;
    t.refusal = comlink::Refusal(link);
    t.present = t.refusal.empty() && stat(t.device.c_str(), &info) == 0 &&
                S_ISCHR(info.st_mode) && (!legacy || listed.count(t.device) > 0);
#else
    t.present = listed.count(t.device) > 0;
#endif
    return t;
}

QString ByIdName(const QString& byIdFolder, const QString& device) {
    const QString wanted = QFileInfo(device).canonicalFilePath();
    if (wanted.isEmpty()) return {};
    const QDir dir(byIdFolder);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot,
                                                     QDir::Name)) {
        if (entry.canonicalFilePath() == wanted) return entry.absoluteFilePath();
    }
    return {};
}

std::vector<SystemPort> SystemPorts(const QString& byIdFolder) {
    std::vector<SystemPort> result;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SystemPort p;
        p.device = info.systemLocation();
        p.description = info.description();
        p.manufacturer = info.manufacturer();
        p.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier()) p.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier()) p.productId = info.productIdentifier();
        p.byId = ByIdName(byIdFolder, p.device);
        result.push_back(p);
    }
    return result;
}

Assigned AssignComPort(int n, const std::string& target, std::string* why) {
    const std::string name = "com" + std::to_string(n);
    const std::string link = folder::InSettingsFolder(name);
    if (n < 1 || n > 256 || target.empty()) {
        if (why != nullptr) *why = "no COM number or no device";
        return Assigned::Failed;
    }
#if defined(_WIN32)
    if (why != nullptr) *why = "COM ports are named by the system";
    return Assigned::Failed;
#else
    struct stat info;
    bool replacing = false;
    if (lstat(link.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            if (why != nullptr) *why = link + " is not a link";
            return Assigned::NotALink;
        }
        replacing = true;
    } else if (errno != ENOENT) {
        if (why != nullptr) *why = link + ": " + std::strerror(errno);
        return Assigned::Failed;
    }
    // The new link is made under a temporary name and renamed over the old one, so COM n
    // names either the old or the new device at every moment.
    const std::string temporary = link + ".new-" + std::to_string(getpid());
    if (symlink(target.c_str(), temporary.c_str()) != 0) {
        if (why != nullptr) *why = link + ": " + std::strerror(errno);
        return Assigned::Failed;
    }
    if (lstat(link.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        // Something else took the name meanwhile: leave it.
        unlink(temporary.c_str());
        if (why != nullptr) *why = link + " is not a link";
        return Assigned::NotALink;
    }
    if (std::rename(temporary.c_str(), link.c_str()) != 0) {
        if (why != nullptr) *why = link + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return Assigned::Failed;
    }
    return replacing ? Assigned::Replaced : Assigned::Made;
#endif
}

}  // namespace ports
