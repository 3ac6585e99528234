#include "platform/gpib.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/link_log.h"
#include "platform/link_thread.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace gpib {

namespace {

constexpr int kIbcPAD = 1;  // ibconfig option: primary address
constexpr int kIbcTMO = 3;  // ibconfig option: time-out code

using IbdevFn = int (*)(int board, int pad, int sad, int timeout, int sendEoi, int eos);
using IbonlFn = int (*)(int device, int online);
using IbwrtFn = int (*)(int device, const void* data, long count);
using IbrdFn = int (*)(int device, void* buffer, long count);
using IbconfigFn = int (*)(int device, int option, int value);
using IblocFn = int (*)(int device);
using CountLongFn = long (*)();
using CountIntFn = int (*)();
using ErrorFn = int (*)();
using IbstopFn = int (*)(int device);

struct Binding {
    bool available = false;
    IbdevFn ibdev = nullptr;
    IbonlFn ibonl = nullptr;
    IbwrtFn ibwrt = nullptr;
    IbrdFn ibrd = nullptr;
    IbconfigFn ibconfig = nullptr;
    IblocFn ibloc = nullptr;
    CountLongFn countLong = nullptr;
    CountIntFn countInt = nullptr;
    ErrorFn error = nullptr;  // ThreadIberr, where the library has it
};

std::string lastError;
// For a cancel from another thread: the library's ibstop (null where it has none) and the
// device whose read is under way (-1 while none).
std::atomic<IbstopFn> stopFunction{nullptr};
std::atomic<int> readingDevice{-1};

#if defined(_WIN32)
using LibraryHandle = HMODULE;
LibraryHandle OpenLibrary(const char* name) {
    return LoadLibraryA(name);
}
std::string LoadError() {
    return "error " + std::to_string(GetLastError());
}
void* Symbol(LibraryHandle library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(library, name));
}
void CloseLibrary(LibraryHandle library) {
    FreeLibrary(library);
}
constexpr const char* kLibraryNames[] = {"gpib-32.dll", "ni4882.dll"};
#else
using LibraryHandle = void*;
LibraryHandle OpenLibrary(const char* name) {
    return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}
std::string LoadError() {
    const char* text = dlerror();
    return text != nullptr ? text : "unknown error";
}
void* Symbol(LibraryHandle library, const char* name) {
    return dlsym(library, name);
}
void CloseLibrary(LibraryHandle library) {
    dlclose(library);
}
constexpr const char* kLibraryNames[] = {"libgpib.so.0", "libni4882.so"};
#endif

template <typename Fn>
bool Resolve(LibraryHandle library, const char* name, Fn& target) {
    void* address = Symbol(library, name);
    target = reinterpret_cast<Fn>(address);
    return address != nullptr;
}

// Resolves every name the link needs; the first one missing goes to *missing.
bool ResolveAll(LibraryHandle library, Binding& b, std::string* missing) {
    const auto need = [&](const char* name, auto& target) {
        if (Resolve(library, name, target)) return true;
        *missing = name;
        return false;
    };
    const bool ok = need("ibdev", b.ibdev) && need("ibonl", b.ibonl) && need("ibwrt", b.ibwrt) &&
                    need("ibrd", b.ibrd) && need("ibconfig", b.ibconfig) &&
                    need("ibloc", b.ibloc);
    if (!ok) return false;
    Resolve(library, "ThreadIberr", b.error);
    IbstopFn stop = nullptr;
    Resolve(library, "ibstop", stop);  // not every library has it
    stopFunction = stop;
    if (Resolve(library, "ThreadIbcntl", b.countLong)) return true;
    return need("ThreadIbcnt", b.countInt);
}

Binding& Library() {
    static Binding binding;
    return binding;
}

// Looks for the library until one loads; once loaded it stays for the run.
Binding& FindLibrary() {
    Binding& binding = Library();
    if (binding.available) return binding;
    std::string tried;
    for (const char* name : kLibraryNames) {
        if (!tried.empty()) tried += "; ";
        LibraryHandle library = OpenLibrary(name);
        if (library == nullptr) {
            tried += LoadError();
            continue;
        }
        Binding candidate;
        std::string missing;
        if (ResolveAll(library, candidate, &missing)) {
            candidate.available = true;
            binding = candidate;
            return binding;  // stays loaded until the program ends
        }
        tried += std::string(name) + " lacks the function " + missing;
        CloseLibrary(library);
    }
    lastError = "no usable GPIB library: " + tried;
    return binding;
}

struct NamedError {
    int code;
    const char* name;
};
constexpr NamedError kErrorNames[] = {
    {0, "EDVR (system error)"},          {1, "ECIC (not controller-in-charge)"},
    {2, "ENOL (no listener)"},           {3, "EADR (not addressed)"},
    {4, "EARG (invalid argument)"},      {5, "ESAC (not system controller)"},
    {6, "EABO (I/O aborted, time-out)"}, {7, "ENEB (no such board)"},
    {8, "EDMA (DMA error)"},             {10, "EOIP (I/O in progress)"},
    {11, "ECAP (no capability)"},        {12, "EFSO (file system error)"},
    {14, "EBUS (bus error)"},            {15, "ESTB (status byte lost)"},
    {16, "ESRQ (SRQ stuck on)"},         {20, "ETAB (table problem)"},
};

// Descriptors handed out by OpenDev, with the instrument prefix they belong to.
std::vector<std::pair<int, std::string>>& Registry() {
    static std::vector<std::pair<int, std::string>> devices;
    return devices;
}

long Count(const Binding& b) {
    if (b.countLong != nullptr) return b.countLong();
    return b.countInt != nullptr ? b.countInt() : -1;
}

enum class Result { Status, Descriptor };

// Puts a library call into the link log with what it returned (a status word with the
// count the call left, or a descriptor); returns result. call is a printf format for the
// call's name and arguments.
template <typename... Args>
int Logged(const Binding& b, Result kind, int result, const char* call, Args... args) {
    if (!linklog::Active()) return result;
    char text[128];
    int n = std::snprintf(text, sizeof text, call, args...);
    if (n < 0) n = 0;
    if (static_cast<std::size_t>(n) < sizeof text) {
        char* end = text + n;
        const std::size_t room = sizeof text - static_cast<std::size_t>(n);
        if (kind == Result::Descriptor) {
            std::snprintf(end, room, " = %d", result);
        } else {
            std::snprintf(end, room, " status 0x%04X count %ld",
                          static_cast<unsigned>(result) & 0xFFFFu, Count(b));
        }
    }
    linklog::LibraryCall(text);
    return result;
}

bool ValidAddress(int address) {
    return address >= 0 && address <= 30;
}

}  // namespace

bool LibraryAvailable() {
    return FindLibrary().available;
}

std::string LastError() {
    return lastError;
}

int iberr() {
    const Binding& b = Library();
    return (b.available && b.error != nullptr) ? b.error() : -1;
}

std::string ErrorName(int error) {
    for (const NamedError& e : kErrorNames) {
        if (e.code == error) return e.name;
    }
    return error < 0 ? "an error the library does not name" : "error " + std::to_string(error);
}

int OpenDev(const std::string& name, const std::string& prefix, int primaryAddress) {
    // Only the free descriptor on the first board is offered; named devices need a
    // configuration file this program does not have.
    if (!name.empty()) {
        lastError = "named GPIB devices are not supported";
        return -1;
    }
    if (!ValidAddress(primaryAddress)) {
        lastError = "GPIB address " + std::to_string(primaryAddress) + " is outside 0 to 30";
        return -1;
    }
    Binding& b = FindLibrary();
    if (!b.available) return -1;
    const int device = Logged(b, Result::Descriptor, b.ibdev(0, primaryAddress, 0, T10s, 1, 0),
                              "ibdev(0, %d, 0, %d, 1, 0)", primaryAddress, T10s);
    if (device < 0) {
        lastError = "GPIB board 0, address " + std::to_string(primaryAddress) +
                    ": ibdev failed with " + ErrorName(iberr());
        return -1;
    }
    lastError.clear();
    Registry().emplace_back(device, prefix);
    return device;
}

namespace {

// Takes device out of the registry and releases it, with a return to local first when
// local is set; ERR for a descriptor that is not ours.
int Release(int device, bool local) {
    auto& devices = Registry();
    const auto it = std::find_if(devices.begin(), devices.end(),
                                 [device](const auto& entry) { return entry.first == device; });
    if (it == devices.end()) return ERR;
    devices.erase(it);
    Binding& b = Library();
    if (!b.available) return ERR;
    if (local) Logged(b, Result::Status, b.ibloc(device), "ibloc(%d)", device);
    return Logged(b, Result::Status, b.ibonl(device, 0), "ibonl(%d, 0)", device);
}

}  // namespace

int CloseDev(int device) {
    return Release(device, true);
}

int ReleaseDev(int device) {
    return Release(device, false);
}

int CloseInstrDevs(const std::string& prefix) {
    std::vector<int> toClose;
    for (const auto& entry : Registry()) {
        if (entry.second == prefix) toClose.push_back(entry.first);
    }
    int status = 0;
    for (const int device : toClose) status |= CloseDev(device);
    return status;
}

int ibwrt(int device, const void* data, long count) {
    Binding& b = Library();
    if (!b.available || data == nullptr || count < 0) return ERR;
    return Logged(b, Result::Status, b.ibwrt(device, data, count), "ibwrt(%d, %ld)", device, count);
}

int ibrd(int device, void* buffer, long count) {
    Binding& b = Library();
    if (!b.available || buffer == nullptr || count < 0) return ERR;
    const linkthread::Waiting waiting;
    readingDevice = device;
    const int status = b.ibrd(device, buffer, count);
    readingDevice = -1;
    return Logged(b, Result::Status, status, "ibrd(%d, %ld)", device, count);
}

bool StopRead() {
    const IbstopFn stop = stopFunction;
    const int device = readingDevice;
    if (stop == nullptr || device < 0) return false;
    stop(device);
    return true;
}

int ibtmo(int device, int timeoutCode) {
    Binding& b = Library();
    if (!b.available || timeoutCode < 0 || timeoutCode > 17) return ERR;
    return Logged(b, Result::Status, b.ibconfig(device, kIbcTMO, timeoutCode), "ibconfig(%d, IbcTMO, %d)", device,
                  timeoutCode);
}

int ibpad(int device, int address) {
    Binding& b = Library();
    if (!b.available || !ValidAddress(address)) return ERR;
    return Logged(b, Result::Status, b.ibconfig(device, kIbcPAD, address), "ibconfig(%d, IbcPAD, %d)", device,
                  address);
}

long ibcntl() {
    Binding& b = Library();
    if (!b.available) return -1;
    return Count(b);
}

}  // namespace gpib
