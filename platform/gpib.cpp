#include "platform/gpib.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/link_log.h"

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

struct Binding {
    bool tried = false;
    bool available = false;
    IbdevFn ibdev = nullptr;
    IbonlFn ibonl = nullptr;
    IbwrtFn ibwrt = nullptr;
    IbrdFn ibrd = nullptr;
    IbconfigFn ibconfig = nullptr;
    IblocFn ibloc = nullptr;
    CountLongFn countLong = nullptr;
    CountIntFn countInt = nullptr;
};

#if defined(_WIN32)
using LibraryHandle = HMODULE;
LibraryHandle OpenLibrary(const char* name) {
    return LoadLibraryA(name);
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

bool ResolveAll(LibraryHandle library, Binding& b) {
    bool ok = Resolve(library, "ibdev", b.ibdev) && Resolve(library, "ibonl", b.ibonl) &&
              Resolve(library, "ibwrt", b.ibwrt) && Resolve(library, "ibrd", b.ibrd) &&
              Resolve(library, "ibconfig", b.ibconfig) && Resolve(library, "ibloc", b.ibloc);
    if (!ok) return false;
    if (Resolve(library, "ThreadIbcntl", b.countLong)) return true;
    return Resolve(library, "ThreadIbcnt", b.countInt);
}

// Loads the library the first time anything needs it; the result is kept for the run.
Binding& Library() {
    static Binding binding;
    if (binding.tried) return binding;
    binding.tried = true;
    for (const char* name : kLibraryNames) {
        LibraryHandle library = OpenLibrary(name);
        if (library == nullptr) continue;
        Binding candidate;
        if (ResolveAll(library, candidate)) {
            candidate.tried = true;
            candidate.available = true;
            binding = candidate;
            return binding;  // stays loaded until the program ends
        }
        CloseLibrary(library);
    }
    return binding;
}

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
    return Library().available;
}

int OpenDev(const std::string& name, const std::string& prefix, int primaryAddress) {
    // Only the free descriptor on the first board is offered; named devices need a
    // configuration file this program does not have.
    if (!name.empty()) return -1;
    if (!ValidAddress(primaryAddress)) return -1;
    Binding& b = Library();
    if (!b.available) return -1;
    const int device = Logged(b, Result::Descriptor, b.ibdev(0, primaryAddress, 0, T10s, 1, 0),
                              "ibdev(0, %d, 0, %d, 1, 0)", primaryAddress, T10s);
    if (device < 0) return -1;
    Registry().emplace_back(device, prefix);
    return device;
}

int CloseDev(int device) {
    auto& devices = Registry();
    for (auto it = devices.begin(); it != devices.end(); ++it) {
        if (it->first == device) {
            devices.erase(it);
            Binding& b = Library();
            if (!b.available) return ERR;
            Logged(b, Result::Status, b.ibloc(device), "ibloc(%d)", device);
            return Logged(b, Result::Status, b.ibonl(device, 0), "ibonl(%d, 0)", device);
        }
    }
    return ERR;  // not a descriptor of ours
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
    return Logged(b, Result::Status, b.ibrd(device, buffer, count), "ibrd(%d, %ld)", device, count);
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
