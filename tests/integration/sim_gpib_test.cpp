// The stand-in GPIB library, loaded by name like the panel's binding loads the real one.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/sim_fixture.h"

namespace {

using simtest::GpibSim;

constexpr int kErr = 0x8000;
constexpr int kTimo = 0x4000;

struct GpibLibrary {
    void* handle = dlopen("libgpib.so.0", RTLD_NOW | RTLD_LOCAL);
    int (*ibdev)(int, int, int, int, int, int) = nullptr;
    int (*ibonl)(int, int) = nullptr;
    int (*ibwrt)(int, const void*, long) = nullptr;
    int (*ibrd)(int, void*, long) = nullptr;
    int (*ibconfig)(int, int, int) = nullptr;
    int (*ibloc)(int) = nullptr;
    long (*ThreadIbcntl)() = nullptr;
    int (*ThreadIbcnt)() = nullptr;

    GpibLibrary() {
        if (!handle) return;
        Resolve(&ibdev, "ibdev");
        Resolve(&ibonl, "ibonl");
        Resolve(&ibwrt, "ibwrt");
        Resolve(&ibrd, "ibrd");
        Resolve(&ibconfig, "ibconfig");
        Resolve(&ibloc, "ibloc");
        Resolve(&ThreadIbcntl, "ThreadIbcntl");
        Resolve(&ThreadIbcnt, "ThreadIbcnt");
    }
    ~GpibLibrary() {
        if (handle) dlclose(handle);
    }
    template <typename Fn>
    void Resolve(Fn* target, const char* name) {
        *target = reinterpret_cast<Fn>(dlsym(handle, name));
    }
    bool ok() const {
        return handle && ibdev && ibonl && ibwrt && ibrd && ibconfig && ibloc && ThreadIbcntl &&
               ThreadIbcnt;
    }
    // Writes a line and reads the reply as the panel does: at most 50 bytes.
    std::string Query(int ud, const std::string& line) {
        if (ibwrt(ud, line.data(), static_cast<long>(line.size())) & kErr) return "<write error>";
        char buffer[51] = {};
        if (ibrd(ud, buffer, 50) & kErr) return "<read error>";
        return std::string(buffer, static_cast<std::size_t>(ThreadIbcntl()));
    }
};

TEST(SimGpib, IdentityThroughWriteAndRead) {
    GpibLibrary gpib;
    ASSERT_TRUE(gpib.ok()) << dlerror();
    GpibSim sim({"--model", "V151", "--serial", "55"});
    const int ud = gpib.ibdev(0, 0, 0, 13, 1, 0);
    ASSERT_GT(ud, 0);
    EXPECT_FALSE(gpib.ibconfig(ud, 0x3, 13) & kErr);
    EXPECT_FALSE(gpib.ibconfig(ud, 0x1, 9) & kErr);
    EXPECT_EQ(gpib.Query(ud, "*IDN?\r\n"), "SIMLAB,V151,55,1.000\r\n");
    EXPECT_EQ(gpib.ThreadIbcntl(), 22);
    EXPECT_EQ(gpib.ThreadIbcnt(), 22);
    EXPECT_EQ(gpib.Query(ud, "L0\r\n"), "Ok\r\n");
    EXPECT_FALSE(gpib.ibloc(ud) & kErr);
    EXPECT_FALSE(gpib.ibonl(ud, 0) & kErr);
    EXPECT_TRUE(gpib.ibwrt(ud, "V?\r\n", 4) & kErr) << "a closed descriptor still works";
    EXPECT_EQ(sim.Lines(), (std::vector<std::string>{"<ibdev 0>", "<ibtmo 13>", "<ibpad 9>",
                                                     "*IDN?", "L0", "<ibloc>", "<ibonl 0>"}));
    EXPECT_EQ(sim.Commands(), (std::vector<std::string>{"*IDN?", "L0"}));
}

TEST(SimGpib, ShortReadsLeaveTheRestAndStateSurvivesReopen) {
    GpibLibrary gpib;
    ASSERT_TRUE(gpib.ok());
    GpibSim sim({"--model", "V090", "--long-replies"});
    int ud = gpib.ibdev(0, 4, 0, 13, 1, 0);
    ASSERT_GT(ud, 0);
    ASSERT_FALSE(gpib.ibwrt(ud, "F?\r\n", 4) & kErr);
    char buffer[100] = {};
    EXPECT_FALSE(gpib.ibrd(ud, buffer, 50) & kErr);
    EXPECT_EQ(gpib.ThreadIbcntl(), 50);
    EXPECT_FALSE(gpib.ibrd(ud, buffer, 50) & kErr);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(gpib.ThreadIbcntl())),
              std::string(14, '#') + "\r\n");
    ASSERT_FALSE(gpib.ibwrt(ud, "OUTP 1\r\n", 8) & kErr);
    gpib.ibonl(ud, 0);

    ud = gpib.ibdev(0, 4, 0, 13, 1, 0);
    EXPECT_EQ(gpib.Query(ud, "OUTP?\r\n").substr(0, 2), "1#");
    gpib.ibonl(ud, 0);
}

TEST(SimGpib, WrongAddressSilenceAndDrop) {
    GpibLibrary gpib;
    ASSERT_TRUE(gpib.ok());
    {
        GpibSim sim({"--gpib-address", "7"});
        const int ud = gpib.ibdev(0, 5, 0, 13, 1, 0);
        EXPECT_TRUE(gpib.ibwrt(ud, "*IDN?\r\n", 7) & kErr);
        EXPECT_EQ(gpib.ThreadIbcntl(), 0);
        gpib.ibconfig(ud, 0x1, 7);
        EXPECT_EQ(gpib.Query(ud, "*IDN?\r\n"), "SIMLAB,V212,1234,1.000\r\n");
        gpib.ibonl(ud, 0);
    }
    {
        GpibSim sim({"--silent", "--gpib-max-wait", "100"});
        const int ud = gpib.ibdev(0, 5, 0, 13, 1, 0);
        const auto start = std::chrono::steady_clock::now();
        char buffer[51];
        const int status = (gpib.ibwrt(ud, "*IDN?\r\n", 7), gpib.ibrd(ud, buffer, 50));
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        EXPECT_EQ(status & (kErr | kTimo), kErr | kTimo);
        EXPECT_EQ(gpib.ThreadIbcntl(), 0);
        EXPECT_GE(ms, 90.0);
        EXPECT_LT(ms, 2000.0);
        gpib.ibonl(ud, 0);
    }
    {
        GpibSim sim({"--drop-after", "1"});
        const int ud = gpib.ibdev(0, 5, 0, 13, 1, 0);
        EXPECT_EQ(gpib.Query(ud, "F0\r\n"), "Ok\r\n");
        EXPECT_EQ(gpib.Query(ud, "F0\r\n"), "<write error>");
        EXPECT_EQ(gpib.Query(ud, "F0\r\n"), "<write error>");
        gpib.ibonl(ud, 0);
    }
    {
        GpibSim sim({"--model", "NOPE"});
        EXPECT_LT(gpib.ibdev(0, 5, 0, 13, 1, 0), 0);
    }
    EXPECT_LT(gpib.ibdev(1, 5, 0, 13, 1, 0), 0);
    EXPECT_LT(gpib.ibdev(0, 31, 0, 13, 1, 0), 0);
}

}  // namespace
