#include "platform/rs232.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <array>
#include <memory>

#include "platform/settings_folder.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace rs232 {

namespace {

constexpr int kMaxPort = 256;
constexpr int kNoPort = -2;     // port number outside 1..256
constexpr int kNotOpen = -3;    // the port is not open (or was closed by an error)
constexpr int kFailed = -1;     // the operation itself failed
constexpr int kTimedOut = -99;  // write time-out

bool lastReadTerminated = false;

struct OpenPort {
    std::unique_ptr<QSerialPort> device;
    int timeoutMs = 1000;
};

std::array<OpenPort, kMaxPort + 1>& Ports() {
    static std::array<OpenPort, kMaxPort + 1> ports;
    return ports;
}

bool ValidNumber(int port) {
    return port >= 1 && port <= kMaxPort;
}

QSerialPort* Device(int port) {
    if (!ValidNumber(port)) return nullptr;
    return Ports()[static_cast<std::size_t>(port)].device.get();
}

void Release(int port) {
    OpenPort& entry = Ports()[static_cast<std::size_t>(port)];
    if (entry.device) {
        entry.device->close();
        entry.device.reset();
    }
}

// Ports still open when the application object goes away are closed while Qt is still
// there to close them.
void CloseAllPorts() {
    for (int port = 1; port <= kMaxPort; ++port) Release(port);
}

void RegisterCleanup() {
    static bool registered = false;
    if (!registered && QCoreApplication::instance() != nullptr) {
        qAddPostRoutine(CloseAllPorts);
        registered = true;
    }
}

// An error after which the port cannot be used any more: the cable pulled, the other end
// of a pseudo-terminal closed. The port is closed so later calls end at once.
bool IsFatal(QSerialPort::SerialPortError error) {
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
           error == QSerialPort::WriteError || error == QSerialPort::PermissionError;
}

bool CloseIfBroken(int port, QSerialPort* device) {
    if (!IsFatal(device->error()) && device->isOpen()) return false;
    Release(port);
    return true;
}

}  // namespace

std::string PortDeviceName(int port) {
#if defined(_WIN32)
    return "COM" + std::to_string(port);
#else
    const std::string link = folder::InSettingsFolder("com" + std::to_string(port));
    struct stat info;
    if (lstat(link.c_str(), &info) == 0) {
        // The serial layer wants the device itself (a pseudo-terminal's /dev/pts/N), and
        // its lock is then per device, not per link name.
        const QString target = QFileInfo(QString::fromStdString(link)).canonicalFilePath();
        if (!target.isEmpty()) return target.toStdString();
        return QFileInfo(QString::fromStdString(link)).absoluteFilePath().toStdString();
    }
    return "/dev/ttyS" + std::to_string(port - 1);
#endif
}

int OpenComConfig(int port, const std::string& deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int /*inputQueueSize*/, int /*outputQueueSize*/) {
    if (!ValidNumber(port)) return kNoPort;
    Release(port);

    QSerialPort::Parity parityMode;
    switch (parity) {
        case 0:
            parityMode = QSerialPort::NoParity;
            break;
        case 1:
            parityMode = QSerialPort::OddParity;
            break;
        case 2:
            parityMode = QSerialPort::EvenParity;
            break;
        default:
            return kFailed;
    }
    if (dataBits < 5 || dataBits > 8 || (stopBits != 1 && stopBits != 2) || baudRate <= 0 ||
        baudRate > 4000000) {
        return kFailed;
    }

    RegisterCleanup();
    auto device = std::make_unique<QSerialPort>();
    const std::string name = deviceName.empty() ? PortDeviceName(port) : deviceName;
    device->setPortName(QString::fromStdString(name));
    if (!device->open(QIODevice::ReadWrite)) return kFailed;
    const bool configured =
        device->setBaudRate(static_cast<qint32>(baudRate)) &&
        device->setDataBits(static_cast<QSerialPort::DataBits>(dataBits)) &&
        device->setParity(parityMode) &&
        device->setStopBits(stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
        device->setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        device->close();
        return kFailed;
    }
    Ports()[static_cast<std::size_t>(port)].device = std::move(device);
    Ports()[static_cast<std::size_t>(port)].timeoutMs = 1000;
    return 0;
}

int SetXMode(int port, int mode) {
    QSerialPort* device = Device(port);
    if (device == nullptr) return kNotOpen;
    if (mode != 0) return device->setFlowControl(QSerialPort::SoftwareControl) ? 0 : kFailed;
    if (device->flowControl() != QSerialPort::SoftwareControl) return 0;
    return device->setFlowControl(QSerialPort::NoFlowControl) ? 0 : kFailed;
}

int SetCTSMode(int port, int mode) {
    QSerialPort* device = Device(port);
    if (device == nullptr) return kNotOpen;
    if (mode != 0) return device->setFlowControl(QSerialPort::HardwareControl) ? 0 : kFailed;
    if (device->flowControl() != QSerialPort::HardwareControl) return 0;
    return device->setFlowControl(QSerialPort::NoFlowControl) ? 0 : kFailed;
}

int ComSetEscape(int port, int code) {
    QSerialPort* device = Device(port);
    if (device == nullptr) return kNotOpen;
    bool done = false;
    switch (code) {
        case 5:
            done = device->setDataTerminalReady(true);
            break;
        case 6:
            done = device->setDataTerminalReady(false);
            break;
        case 3:
            done = device->setRequestToSend(true);
            break;
        case 4:
            done = device->setRequestToSend(false);
            break;
        default:
            return kFailed;
    }
    // A pseudo-terminal has no modem lines; that failure leaves the port as it was.
    device->clearError();
    return done ? 0 : kFailed;
}

int SetComTime(int port, double seconds) {
    if (Device(port) == nullptr) return kNotOpen;
    if (!(seconds >= 0.0) || seconds > 1.0e6) return kFailed;
    Ports()[static_cast<std::size_t>(port)].timeoutMs = static_cast<int>(seconds * 1000.0 + 0.5);
    return 0;
}

int FlushInQ(int port) {
    QSerialPort* device = Device(port);
    if (device == nullptr) return kNotOpen;
    device->clearError();
    // Both the bytes Qt has buffered and those still queued in the system go.
    const bool done = device->clear(QSerialPort::Input);
    if (CloseIfBroken(port, device)) return kNotOpen;
    return done ? 0 : kFailed;
}

int ComWrt(int port, const char* data, int length) {
    QSerialPort* device = Device(port);
    if (device == nullptr) return kNotOpen;
    if (data == nullptr || length < 0) return kFailed;
    device->clearError();
    const qint64 queued = device->write(data, length);
    if (queued != length) {
        CloseIfBroken(port, device);
        return kFailed;
    }
    const int timeoutMs = Ports()[static_cast<std::size_t>(port)].timeoutMs;
    QDeadlineTimer deadline(timeoutMs);
    while (device->bytesToWrite() > 0) {
        if (!device->waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
            if (CloseIfBroken(port, device)) return kNotOpen;
            return kTimedOut;
        }
    }
    return length;
}

int ComRdTerm(int port, char* buffer, int maxLength, int terminator) {
    lastReadTerminated = false;
    QSerialPort* device = Device(port);
    if (device == nullptr) return kNotOpen;
    if (buffer == nullptr || maxLength < 0) return kFailed;
    device->clearError();
    const int timeoutMs = Ports()[static_cast<std::size_t>(port)].timeoutMs;
    QDeadlineTimer deadline(timeoutMs);
    int count = 0;
    while (count < maxLength) {
        if (device->bytesAvailable() > 0) {
            char byte = 0;
            if (!device->getChar(&byte)) break;
            if (static_cast<unsigned char>(byte) == static_cast<unsigned char>(terminator)) {
                lastReadTerminated = true;
                return count;
            }
            buffer[count++] = byte;
            continue;
        }
        const qint64 remaining = deadline.remainingTime();
        if (remaining == 0) break;
        if (!device->waitForReadyRead(static_cast<int>(remaining))) {
            // Either the time-out, or an error that ends this port.
            if (CloseIfBroken(port, device)) return count;
            if (device->error() != QSerialPort::TimeoutError &&
                device->error() != QSerialPort::NoError) {
                Release(port);
                return count;
            }
            break;
        }
    }
    return count;
}

bool LastReadEndedAtTerminator() {
    return lastReadTerminated;
}

int CloseCom(int port) {
    if (Device(port) == nullptr) return kNotOpen;
    Release(port);
    return 0;
}

bool IsOpen(int port) {
    return Device(port) != nullptr;
}

}  // namespace rs232
