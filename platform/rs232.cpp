#include "platform/rs232.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSerialPort>
#include <QThread>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>

#include "platform/com_link.h"
#include "platform/link_thread.h"

#if !defined(_WIN32)
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rs232 {

namespace {

constexpr int kMaxPort = 256;
constexpr int kNoPort = -2;     // port number outside 1..256
constexpr int kNotOpen = -3;    // the port is not open (or was closed by an error)
constexpr int kFailed = -1;     // the operation itself failed
constexpr int kTimedOut = -99;  // write time-out

// What Qt keeps read ahead for a port: far beyond one reply (50 bytes), small enough
// that a partner streaming without end costs nothing.
constexpr qint64 kReadBufferSize = 4096;
// The longest a read waits before it looks whether the sequence was cancelled.
constexpr qint64 kReadSliceMs = 50;

bool lastReadTerminated = false;
int callDepth = 0;  // above 0 while a call of this layer waits on a port
HangUpHandler hangUpHandler = nullptr;
std::uint64_t lastGeneration = 0;

// Marks a call that reads or writes: what arrives meanwhile belongs to it.
class InCall {
  public:
    InCall() { ++callDepth; }
    ~InCall() { --callDepth; }
    InCall(const InCall&) = delete;
    InCall& operator=(const InCall&) = delete;
};

struct OpenPort {
    std::unique_ptr<QSerialPort> device;
    std::uint64_t generation = 0;  // tells this open of the port from earlier ones
    int timeoutMs = 1000;
    bool lastReadGotByte = false;
    std::string openError;
    std::string closedReason;
};

std::array<OpenPort, kMaxPort + 1>& Ports() {
    static std::array<OpenPort, kMaxPort + 1> ports;
    return ports;
}

bool ValidNumber(int port) {
    return port >= 1 && port <= kMaxPort;
}

// The port, for a call on the thread that opened it; a port is used by that thread only
// (Qt's serial port belongs to its thread), so from any other thread it counts as not open.
QSerialPort* Device(int port) {
    if (!ValidNumber(port)) return nullptr;
    QSerialPort* device = Ports()[static_cast<std::size_t>(port)].device.get();
    if (device != nullptr && device->thread() != QThread::currentThread()) return nullptr;
    return device;
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

// Why the port was closed, from the error that ended it (its error text may be older).
std::string ClosingReason(QSerialPort::SerialPortError error) {
    switch (error) {
        case QSerialPort::ResourceError:
            return "the device went away (unplugged, or the other end hung up)";
        case QSerialPort::ReadError:
            return "read error: the device is gone or its line hung up";
        case QSerialPort::WriteError:
            return "write error on the device";
        case QSerialPort::PermissionError:
            return "access to the device was lost";
        default:
            return "the device failed (serial error " + std::to_string(static_cast<int>(error)) +
                   ")";
    }
}

void CloseBroken(int port, QSerialPort* device) {
    Ports()[static_cast<std::size_t>(port)].closedReason = ClosingReason(device->error());
    Release(port);
}

bool CloseIfBroken(int port, QSerialPort* device) {
    if (!IsFatal(device->error()) && device->isOpen()) return false;
    CloseBroken(port, device);
    return true;
}

// Whether the line of device has hung up, as poll() reports it now.
bool HungUp(const QSerialPort& device) {
#if defined(_WIN32)
    return device.error() == QSerialPort::ResourceError;
#else
    pollfd line{static_cast<int>(device.handle()), POLLIN, 0};
    if (::poll(&line, 1, 0) <= 0) return false;
    return (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#endif
}

// Runs from the event loop after an error on a port, once the call that met it (if any)
// has ended. Qt keeps reading a hung-up terminal (each read returning nothing) for as long
// as it is open, so a port whose line is gone is closed here, not at the operator's next
// action.
void CheckAfterError(int port, std::uint64_t generation) {
    OpenPort& entry = Ports()[static_cast<std::size_t>(port)];
    QSerialPort* device = entry.device.get();
    if (device == nullptr || entry.generation != generation) return;  // closed since
    if (device->error() != QSerialPort::ResourceError && !HungUp(*device)) return;
    CloseBroken(port, device);
    if (hangUpHandler != nullptr) hangUpHandler(port);
}

void WatchWhileIdle(int port, QSerialPort* device) {
    const std::uint64_t generation = Ports()[static_cast<std::size_t>(port)].generation;
    device->setReadBufferSize(kReadBufferSize);
    QObject::connect(device, &QSerialPort::readyRead, device, [device] {
        if (callDepth == 0) device->skip(device->bytesAvailable());  // no reply awaited
    });
    QObject::connect(device, &QSerialPort::errorOccurred, device,
                     [device, port, generation](QSerialPort::SerialPortError error) {
                         if (!IsFatal(error) || QCoreApplication::instance() == nullptr) return;
                         // Never inside the call (or Qt's own routine) that met the error;
                         // on the port's own thread.
                         QMetaObject::invokeMethod(
                             device, [port, generation] { CheckAfterError(port, generation); },
                             Qt::QueuedConnection);
                     });
}

#if !defined(_WIN32)
// The lock file the serial layer takes for device, as Qt's serial port chooses it: in the
// first of its folders that can be read and either holds the file already or may be
// written. Empty when there is none.
std::string LockFilePath(const std::string& device) {
    QString name = QString::fromStdString(device);
    if (name.startsWith("/dev/")) name = name.mid(5);
    name.replace('/', '_');
    const QStringList folders = {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                                 QDir::tempPath()};
    for (const QString& folder : folders) {
        const QFileInfo dir(folder);
        const QString file = folder + "/LCK.." + name;
        if (dir.isReadable() && (QFileInfo::exists(file) || dir.isWritable())) {
            return file.toStdString();
        }
    }
    return {};
}

// What the port's lock file says: the process it names (0 when it names none that can be
// read) and whether it names the program too, as Qt's own lock files do.
struct LockState {
    std::string path;  // empty when there is no lock file
    qint64 pid = 0;
    bool namesProgram = false;
    std::string application;
};

LockState ReadLock(const std::string& device) {
    LockState state;
    const std::string path = LockFilePath(device);
    if (path.empty() || !QFileInfo::exists(QString::fromStdString(path))) return state;
    state.path = path;
    QLockFile lock(QString::fromStdString(path));
    QString host;
    QString application;
    if (lock.getLockInfo(&state.pid, &host, &application) && state.pid > 0) {
        state.application = application.toStdString();
        state.namesProgram = !application.isEmpty();
        return state;
    }
    // Other serial programs write the process number alone, right-aligned in ten
    // characters ("      1234\n").
    QFile file(QString::fromStdString(path));
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.read(64).trimmed() : QByteArray();
    bool number = false;
    state.pid = text.size() <= 10 ? text.toLongLong(&number) : 0;
    if (!number || state.pid < 0) state.pid = 0;
    return state;
}

bool Running(qint64 pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH);
}

std::string ProcessText(const LockState& lock) {
    std::string command;
    std::ifstream comm("/proc/" + std::to_string(lock.pid) + "/comm");
    std::getline(comm, command);
    if (command.empty()) command = lock.application;
    return "process " + std::to_string(lock.pid) + (command.empty() ? "" : " (" + command + ")");
}

// Who holds the port by its lock file, with what to do when the file says no one can:
// " by process 1234 (name)", or ": lock file ... is unreadable ..." or names a process
// that is gone. Empty when there is no lock file.
std::string LockHolder(const std::string& device) {
    const LockState lock = ReadLock(device);
    if (lock.path.empty()) return {};
    if (lock.pid <= 0) {
        return ": lock file " + lock.path + " is unreadable; remove it if no program uses the port";
    }
    if (!Running(lock.pid)) {
        return ": lock file " + lock.path + " names process " + std::to_string(lock.pid) +
               ", which is not running; remove it";
    }
    return " by " + ProcessText(lock);
}

// A lock file that names a running process but no program (the form of other serial
// programs) holds the port: Qt's serial port would take it for stale, having no program
// name to compare, and open a port that another program is using.
std::string HeldByAnotherProgram(const std::string& device) {
    const LockState lock = ReadLock(device);
    if (lock.pid <= 0 || lock.namesProgram || !Running(lock.pid)) return {};
    return "in use by " + ProcessText(lock) + " (lock file " + lock.path + ")";
}

std::string GroupOf(const std::string& device) {
    struct stat info;
    if (stat(device.c_str(), &info) != 0) return "dialout";
    const group* g = getgrgid(info.st_gid);
    return (g == nullptr || info.st_gid == 0) ? "dialout" : g->gr_name;
}
#endif

// "COM n is DEVICE: ", or with the comN link that names it where the device is not there
// or the link is refused: "COM n is /folder/comN → TARGET: ".
std::string Where(int port, const std::string& device, const comlink::ComLink* link) {
    std::string named = device;
    if (link != nullptr && link->symbolic && (link->device.empty() || !link->refusal.empty())) {
        named = link->path + " \u2192 " + (link->target.empty() ? "?" : link->target);
    }
    return "COM" + std::to_string(port) + " is " + named + ": ";
}

// What stopped the open of device, as the operator can act on it.
std::string DescribeOpenFailure(int port, const std::string& device, const QSerialPort& serial,
                                const comlink::ComLink* link) {
    const std::string where = Where(port, device, link);
#if defined(_WIN32)
    return where + serial.errorString().toStdString();
#else
    if (serial.error() == QSerialPort::DeviceNotFoundError || access(device.c_str(), F_OK) != 0) {
        return where + "no such device";
    }
    if (access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
        return where + "permission denied; join the group '" + GroupOf(device) +
               "' (sudo adduser $USER " + GroupOf(device) + ") and log in again";
    }
    if (serial.error() == QSerialPort::PermissionError) {
        const std::string holder = LockHolder(device);
        if (holder.rfind(": ", 0) == 0) return where + "in use" + holder;
        return where + "in use" + (holder.empty() ? " by another program" : holder) + " (" +
               serial.errorString().toStdString() + ")";
    }
    return where + serial.errorString().toStdString();
#endif
}

}  // namespace

std::string PortDeviceName(int port) {
#if defined(_WIN32)
    return "COM" + std::to_string(port);
#else
    const comlink::ComLink link = comlink::Resolve(port);
    if (link.exists) return link.device.empty() ? link.path : link.device;
    return "/dev/ttyS" + std::to_string(port - 1);
#endif
}

int OpenComConfig(int port, const std::string& deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int /*inputQueueSize*/, int /*outputQueueSize*/) {
    if (!ValidNumber(port)) return kNoPort;
    Release(port);
    OpenPort& entry = Ports()[static_cast<std::size_t>(port)];
    entry.openError = "COM" + std::to_string(port) + ": unusable settings";
    entry.closedReason.clear();

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
    std::optional<comlink::ComLink> link;
    if (deviceName.empty()) link = comlink::Resolve(port);
    const std::string name = deviceName.empty() ? PortDeviceName(port) : deviceName;
    if (link && !link->refusal.empty()) {  // someone else may have put it there
        entry.openError = Where(port, name, &*link) + link->refusal;
        return kFailed;
    }
#if !defined(_WIN32)
    if (const std::string held = HeldByAnotherProgram(name); !held.empty()) {
        entry.openError = Where(port, name, link ? &*link : nullptr) + held;
        return kFailed;
    }
#endif
    device->setPortName(QString::fromStdString(name));
    if (!device->open(QIODevice::ReadWrite)) {
        entry.openError = DescribeOpenFailure(port, name, *device, link ? &*link : nullptr);
        return kFailed;
    }
    const bool configured =
        device->setBaudRate(static_cast<qint32>(baudRate)) &&
        device->setDataBits(static_cast<QSerialPort::DataBits>(dataBits)) &&
        device->setParity(parityMode) &&
        device->setStopBits(stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
        device->setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        entry.openError = "COM" + std::to_string(port) + " is " + name + ": " +
                          device->errorString().toStdString();
        device->close();
        return kFailed;
    }
    entry.openError.clear();
    entry.device = std::move(device);
    entry.generation = ++lastGeneration;
    entry.timeoutMs = 1000;
    WatchWhileIdle(port, entry.device.get());
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
    const InCall call;
    QSerialPort* device = Device(port);
    if (device == nullptr) return kNotOpen;
    device->clearError();
    // Both the bytes Qt has buffered and those still queued in the system go.
    const bool done = device->clear(QSerialPort::Input);
    if (CloseIfBroken(port, device)) return kNotOpen;
    return done ? 0 : kFailed;
}

int ComWrt(int port, const char* data, int length) {
    const InCall call;
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
    const InCall call;
    lastReadTerminated = false;
    QSerialPort* device = Device(port);
    if (device == nullptr) return kNotOpen;
    if (buffer == nullptr || maxLength < 0) return kFailed;
    device->clearError();
    const int timeoutMs = Ports()[static_cast<std::size_t>(port)].timeoutMs;
    QDeadlineTimer deadline(timeoutMs);
    const linkthread::Waiting waiting;
    int count = 0;
    bool& gotByte = Ports()[static_cast<std::size_t>(port)].lastReadGotByte;
    gotByte = false;
    while (count < maxLength) {
        if (device->bytesAvailable() > 0) {
            char byte = 0;
            if (!device->getChar(&byte)) break;
            gotByte = true;
            if (static_cast<unsigned char>(byte) == static_cast<unsigned char>(terminator)) {
                lastReadTerminated = true;
                return count;
            }
            buffer[count++] = byte;
            continue;
        }
        const qint64 remaining = deadline.remainingTime();
        if (remaining == 0 || linkthread::CancelRequested()) break;
        // In slices, so that a cancel ends the wait soon; the wait returns the moment
        // bytes arrive, so a slice adds no delay to a reply.
        if (!device->waitForReadyRead(static_cast<int>(std::min(remaining, kReadSliceMs)))) {
            // Either the time-out, or an error that ends this port.
            if (CloseIfBroken(port, device)) return count;
            if (device->error() == QSerialPort::TimeoutError) {
                device->clearError();
                continue;  // one slice ended: the loop looks at the time left
            }
            if (device->error() != QSerialPort::TimeoutError &&
                device->error() != QSerialPort::NoError) {
                CloseBroken(port, device);
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

void CloseThreadPorts() {
    for (int port = 1; port <= kMaxPort; ++port) {
        if (Device(port) != nullptr) Release(port);
    }
}

bool IsOpen(int port) {
    return Device(port) != nullptr;
}

std::string OpenError(int port) {
    if (!ValidNumber(port)) return "COM" + std::to_string(port) + " is no port (1 to 256)";
    return Ports()[static_cast<std::size_t>(port)].openError;
}

std::string ClosedReason(int port) {
    if (!ValidNumber(port)) return {};
    const std::string& reason = Ports()[static_cast<std::size_t>(port)].closedReason;
    return reason.empty() ? "the port is not open" : reason;
}

void SetHangUpHandler(HangUpHandler handler) {
    hangUpHandler = handler;
}

bool LastReadGotByte(int port) {
    return ValidNumber(port) && Ports()[static_cast<std::size_t>(port)].lastReadGotByte;
}

}  // namespace rs232
