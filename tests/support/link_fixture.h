// Links for tests: COM1 opened on a simulated decade, a pseudo-terminal of the test's own,
// and a run of one test in a child process without the GPIB library.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/panel_fixture.h"
#include "support/sim_fixture.h"

// Opens COM1 (the "com1" link in the working folder) on the panel's session with the open
// routine's port settings and sets the shared state as an open of a decade of class model
// leaves it.
void ConnectCom1(int model, int threshold = 0);
// Makes a GPIB device descriptor opened by hand (OpenDev under "v212") the panel
// session's link at address, connected.
void UseGpibDevice(int device, int address);

// The options of decade-sim written as one command line, e.g. "--model V212 --refuse FS",
// split into words; quoting as in the shell.
std::vector<std::string> Args(std::string_view line);

// Starts a decade with the options and asserts that it runs.
std::unique_ptr<simtest::SimFixture> StartDecade(const std::vector<std::string>& args);

// One decade at a time on COM1, talked to through the serial layer.
class SimLinkTest : public testing::Test {
  protected:
    void TearDown() override;

    // Starts the decade; the one of before goes first.
    void StartSim(const std::vector<std::string>& args);
    // Starts the decade and connects COM1 to it as a decade of class model.
    void Open(const std::vector<std::string>& args, int model, int threshold = 0);
    // The lines received since the last call (an identity query sent last makes sure every
    // earlier line has arrived), without or with their line ends.
    Lines Received(bool withLineEnds = false);

    std::unique_ptr<simtest::SimFixture> sim_;
};

// The same, with the link opened and closed from the panel; message boxes are recorded.
class PanelLinkTest : public SimLinkTest {
  protected:
    void TearDown() override;

    MessageRecorder messages_;
};

// A pseudo-terminal of the test's own, in raw mode, its terminal end linked at linkPath
// until the destructor removes the link. The test serves the master end.
class LinkedPty {
  public:
    explicit LinkedPty(const std::string& linkPath);
    ~LinkedPty();
    LinkedPty(const LinkedPty&) = delete;
    LinkedPty& operator=(const LinkedPty&) = delete;

    bool ok() const { return ok_; }
    int master() const { return master_; }
    // Writes all of bytes to the master end; false when that fails.
    bool Write(const std::string& bytes);

  private:
    std::string linkPath_;
    int master_ = -1;
    int slave_ = -1;
    bool ok_ = false;
};

// Runs the disabled test filter of this program in a child whose LD_LIBRARY_PATH is
// removed, so no GPIB library loads, and expects it to pass.
void ExpectPassesWithoutGpibLibrary(const std::string& filter);

// How a child runs: environment variables set (an empty value removes the variable), a
// program put in front of the test program (e.g. setpriv with its options), and the
// working folder (empty: this one).
struct ChildRun {
    std::vector<std::pair<std::string, std::string>> environment;
    std::vector<std::string> wrapper;
    std::string workingFolder;
};
// Runs the disabled test filter of this program in a child as run says, and expects it to
// pass.
void ExpectChildPasses(const std::string& filter, const ChildRun& run);

// The operator chooses GPIB and the address and switches COM on.
void OpenGpib(int address);
