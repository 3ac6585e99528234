// A stand-in for the GPIB library (built as libgpib.so.0): the device calls of the linux-gpib
// interface, answered by simulated decades inside the calling process.
//
// Each ibdev reads DECADE_SIM_ARGS (the options of decade-sim) and DECADE_SIM_TRANSCRIPT (a
// file the transcript is appended to). Opens with the same two values share one decade, so
// its state survives a close and reopen like a real instrument's; changed values give a
// new decade.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "simulator/config.h"
#include "simulator/device.h"

#define GPIB_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" {
__attribute__((visibility("default"))) volatile int ibsta = 0;
__attribute__((visibility("default"))) volatile int iberr = 0;
__attribute__((visibility("default"))) volatile int ibcnt = 0;
__attribute__((visibility("default"))) volatile long ibcntl = 0;
}

namespace {

// Status bits and error codes of the linux-gpib interface.
constexpr int kErr = 0x8000;
constexpr int kTimo = 0x4000;
constexpr int kEnd = 0x2000;
constexpr int kCmpl = 0x0100;
constexpr int kEdvr = 0;
constexpr int kEnol = 2;
constexpr int kEarg = 4;
constexpr int kEabo = 6;
constexpr int kEneb = 7;
constexpr int kIbcPad = 0x1;
constexpr int kIbcTmo = 0x3;
constexpr int kFirstDescriptor = 16;  // device descriptors never collide with boards (0..15)

// Time-out codes TNONE .. T1000s in microseconds (0 waits for ever).
constexpr long long kTimeoutMicros[] = {
    0,      10,     30,      100,     300,      1000,     3000,      10000,     30000,
    100000, 300000, 1000000, 3000000, 10000000, 30000000, 100000000, 300000000, 1000000000};

using Clock = std::chrono::steady_clock;

struct Instrument {
    explicit Instrument(sim::Config config) : device(std::move(config)) {}
    sim::Device device;
    std::string output;  // reply bytes waiting to be read
    Clock::time_point readyAt{};
};

struct Descriptor {
    std::shared_ptr<Instrument> instrument;
    int pad = 0;
    int timeoutCode = 13;
};

std::mutex gMutex;
std::condition_variable gStopped;  // ibstop ends a read that waits
std::set<int> gStops;              // descriptors whose waiting read ibstop ended
std::map<std::string, std::shared_ptr<Instrument>> gInstruments;
std::map<int, Descriptor> gDescriptors;
int gNextDescriptor = kFirstDescriptor;

// The status words of the last call, per thread, as the real library keeps them. They live
// in the static TLS block that the loader reserves at dlopen (initial-exec), not in a block
// allocated at the first access: LeakSanitizer's __tls_get_addr hook of GCC 12 mistakes a
// heap block that happens to start 16 bytes into a page for an old glibc's TLS header,
// reads a bogus range from the words before it, and its tracer crashes on that range in the
// leak check at exit. Which block lands there depends on the allocations before it, so the
// crash came and went with the load.
#define GPIB_STATIC_TLS __attribute__((tls_model("initial-exec")))
GPIB_STATIC_TLS thread_local int tStatus = 0;
GPIB_STATIC_TLS thread_local int tError = 0;
GPIB_STATIC_TLS thread_local long tCount = 0;

int Finish(int status, int error, long count) {
    tStatus = status;
    tError = (status & kErr) ? error : 0;
    tCount = count;
    ibsta = status;
    iberr = tError;
    ibcnt = static_cast<int>(count);
    ibcntl = count;
    return status;
}

bool Answers(const Descriptor& descriptor) {
    const int address = descriptor.instrument->device.config().gpibAddress;
    return address < 0 || address == descriptor.pad;
}

std::chrono::microseconds TimeoutOf(const Descriptor& descriptor) {
    long long micros = kTimeoutMicros[descriptor.timeoutCode];
    if (micros == 0) micros = kTimeoutMicros[17];
    const int cap = descriptor.instrument->device.config().gpibMaxWaitMs;
    if (cap >= 0) micros = std::min(micros, static_cast<long long>(cap) * 1000);
    return std::chrono::microseconds(micros);
}

std::string EnvText(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

GPIB_EXPORT int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
    (void)sad;
    (void)eot;
    (void)eos;
    std::lock_guard lock(gMutex);
    if (board != 0) {
        Finish(kErr, kEneb, 0);
        return -1;
    }
    if (pad < 0 || pad > 30 || tmo < 0 || tmo > 17) {
        Finish(kErr, kEarg, 0);
        return -1;
    }
    const std::string args = EnvText("DECADE_SIM_ARGS");
    const std::string transcript = EnvText("DECADE_SIM_TRANSCRIPT");
    const std::string key = args + '\n' + transcript;
    std::shared_ptr<Instrument>& instrument = gInstruments[key];
    if (!instrument) {
        std::string error = "unbalanced quotes";
        std::optional<sim::Config> config;
        if (const auto words = sim::SplitWords(args)) config = sim::ParseArgs(*words, &error);
        if (!config) {
            std::fprintf(stderr, "libgpib (decade simulator): DECADE_SIM_ARGS: %s\n",
                         error.c_str());
            gInstruments.erase(key);
            Finish(kErr, kEdvr, 0);
            return -1;
        }
        if (!transcript.empty()) config->transcript = transcript;
        instrument = std::make_shared<Instrument>(*config);
    }
    const int ud = gNextDescriptor++;
    gDescriptors[ud] = Descriptor{instrument, pad, tmo};
    instrument->device.transcript().Event("ibdev " + std::to_string(pad));
    Finish(kCmpl, 0, 0);
    return ud;
}

GPIB_EXPORT int ibconfig(int ud, int option, int value) {
    std::lock_guard lock(gMutex);
    const auto it = gDescriptors.find(ud);
    if (it == gDescriptors.end()) return Finish(kErr, kEdvr, 0);
    Descriptor& descriptor = it->second;
    if (option == kIbcPad) {
        if (value < 0 || value > 30) return Finish(kErr, kEarg, 0);
        descriptor.pad = value;
        descriptor.instrument->device.transcript().Event("ibpad " + std::to_string(value));
    } else if (option == kIbcTmo) {
        if (value < 0 || value > 17) return Finish(kErr, kEarg, 0);
        descriptor.timeoutCode = value;
        descriptor.instrument->device.transcript().Event("ibtmo " + std::to_string(value));
    }
    return Finish(kCmpl, 0, 0);
}

GPIB_EXPORT int ibwrt(int ud, const void* buffer, long count) {
    std::lock_guard lock(gMutex);
    const auto it = gDescriptors.find(ud);
    if (it == gDescriptors.end()) return Finish(kErr, kEdvr, 0);
    if (count < 0 || (count > 0 && buffer == nullptr)) return Finish(kErr, kEarg, 0);
    Descriptor& descriptor = it->second;
    Instrument& instrument = *descriptor.instrument;
    if (!Answers(descriptor) || instrument.device.dropped()) return Finish(kErr, kEnol, 0);

    // A new message clears a reply nobody read.
    instrument.output.clear();
    const std::string bytes(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        end = (end == std::string::npos) ? bytes.size() : end + 1;  // EOI ends the last line
        const sim::Response response =
            instrument.device.OnLine(std::string_view(bytes).substr(start, end - start));
        start = end;
        if (response.drop) return Finish(kErr, kEnol, 0);
        if (response.send) {
            instrument.output += response.bytes;
            instrument.readyAt = Clock::now() + std::chrono::milliseconds(response.delayMs);
        }
    }
    return Finish(kCmpl | kEnd, 0, count);
}

GPIB_EXPORT int ibrd(int ud, void* buffer, long count) {
    std::unique_lock lock(gMutex);
    auto it = gDescriptors.find(ud);
    if (it == gDescriptors.end()) return Finish(kErr, kEdvr, 0);
    if (count < 0 || (count > 0 && buffer == nullptr)) return Finish(kErr, kEarg, 0);
    if (it->second.instrument->device.dropped()) return Finish(kErr, kEnol, 0);

    const int hangMs = it->second.instrument->device.config().gpibHangReadMs;
    if (hangMs > 0) {  // a driver call that does not come back for a long time
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(hangMs));
        return Finish(kErr | kTimo, kEabo, 0);
    }
    const Clock::time_point deadline = Clock::now() + TimeoutOf(it->second);
    const bool talks = Answers(it->second) && !it->second.instrument->output.empty();
    const Clock::time_point readyAt = it->second.instrument->readyAt;
    if (!talks || readyAt > deadline) {
        gStops.erase(ud);
        // Waits out the time-out, unless ibstop ends the read first (error EABO either way).
        gStopped.wait_until(lock, deadline, [ud] { return gStops.count(ud) != 0; });
        gStops.erase(ud);
        return Finish(kErr | kTimo, kEabo, 0);
    }
    if (readyAt > Clock::now()) {
        lock.unlock();
        std::this_thread::sleep_until(readyAt);
        lock.lock();
        it = gDescriptors.find(ud);
        if (it == gDescriptors.end()) return Finish(kErr, kEdvr, 0);
    }
    std::string& output = it->second.instrument->output;
    const std::size_t n = std::min(output.size(), static_cast<std::size_t>(count));
    if (n > 0) std::memcpy(buffer, output.data(), n);
    output.erase(0, n);
    return Finish(kCmpl | (output.empty() ? kEnd : 0), 0, static_cast<long>(n));
}

// Ends a read of ud that waits for a reply; called from another thread than the read's.
// It leaves the status variables alone: they belong to the read.
GPIB_EXPORT int ibstop(int ud) {
    {
        std::lock_guard lock(gMutex);
        if (gDescriptors.count(ud) == 0) return kErr;
        gStops.insert(ud);
        gDescriptors[ud].instrument->device.transcript().Event("ibstop");
    }
    gStopped.notify_all();
    return kCmpl;
}

GPIB_EXPORT int ibloc(int ud) {
    std::lock_guard lock(gMutex);
    const auto it = gDescriptors.find(ud);
    if (it == gDescriptors.end()) return Finish(kErr, kEdvr, 0);
    sim::Device& device = it->second.instrument->device;
    device.engine().state().remote = false;
    device.transcript().Event("ibloc");
    return Finish(kCmpl, 0, 0);
}

GPIB_EXPORT int ibonl(int ud, int online) {
    std::lock_guard lock(gMutex);
    const auto it = gDescriptors.find(ud);
    if (it == gDescriptors.end()) return Finish(kErr, kEdvr, 0);
    if (online == 0) {
        it->second.instrument->device.transcript().Event("ibonl 0");
        gDescriptors.erase(it);
    }
    return Finish(kCmpl, 0, 0);
}

GPIB_EXPORT long ThreadIbcntl(void) {
    return tCount;
}
GPIB_EXPORT int ThreadIbcnt(void) {
    return static_cast<int>(tCount);
}
GPIB_EXPORT int ThreadIbsta(void) {
    return tStatus;
}
GPIB_EXPORT int ThreadIberr(void) {
    return tError;
}
