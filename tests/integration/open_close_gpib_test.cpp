// Opening and closing the link from the panel over GPIB: the operator picks GPIB and an
// address and clicks COM on the real panel; the real binding loads the simulator's stand-in
// libgpib.so.0, which runs the decade inside this process.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app/panel.h"
#include "app/shared_state.h"
#include "link/communic.h"
#include "app/open_close.h"
#include "app/enable_controls.h"
#include "platform/gpib.h"
#include "toolkit/ui.h"
#include "simulator/transcript.h"
#include "support/link_fixture.h"

namespace {

std::vector<int> RingValues(int control) {
    std::vector<int> values;
    for (const auto& item : RingItems(control)) values.push_back(item.first);
    return values;
}

// The lines the decade received, exactly as they came (line ends included), from the
// transcript file: "<seconds> RX <escaped bytes>".
Lines RawReceived(const std::string& path) {
    std::ifstream file(path);
    Lines lines;
    std::string entry;
    while (std::getline(file, entry)) {
        const std::size_t tag = entry.find(" RX ");
        if (tag == std::string::npos) continue;
        if (auto bytes = sim::Transcript::Unescape(entry.substr(tag + 4))) {
            lines.push_back(std::move(*bytes));
        }
    }
    return lines;
}

class OpenCloseGpibTest : public testing::Test {
  protected:
    void SetUp() override { ShowFreshPanel(3); }
    void TearDown() override {
        CloseCommunic();
        gpib::CloseInstrDevs("v212");
        ResetSharedState();
    }

    void ExpectClosedAfterWarning(const std::string& title, const std::string& text) {
        ::ExpectClosedAfterWarning(messages_, title, text);
    }

    MessageRecorder messages_;
};

struct GpibCase {
    const char* name;
    std::vector<std::string> args;
    int address;
    int model;
    const char* title;
    Lines open;     // commands, line ends stripped, with the library calls in between
    Lines rawTail;  // the last lines of the open exactly as received
    std::vector<int> functions;
    std::vector<int> units;
};

TEST_F(OpenCloseGpibTest, ClassesOpenWithoutRemoteCommandAndCloseWithoutSending) {
    const Lines device7 = {"<ibdev 7>", "<ibtmo 13>", "<ibpad 7>", "*IDN?", "*IDN?"};
    const GpibCase cases[] = {
        {"V212 class",
         {"--model", "V212", "--gpib-address", "7"},
         7,
         2,
         "Ombrastel - V212, s.n. 1234, SW version 1.000",
         device7 + Lines{"V?", "F5", "FS", "FO", "F0", "V?", "A?", "R?", "W?"},
         {"R?\r\n", "W?\r\n"},
         {1, 2, 3, 4, 6, 7, 9, 8},
         {0, 1}},
        {"V340A class with presets",
         {"--model", "V340A", "--gpib-address", "7", "--user-presets", "U1", "--timing-presets",
          "T1", "--serial", "0x1F"},
         7,
         3,
         "Ombrastel - V340A, s.n. 31, SW version 1.000",
         device7 + Lines{"V?", "UFUN:CURV:PCO?", "UFUN:CURV:PRES1:NAME?", "TIM:PCO?",
                         "TIM:PRES1:NAME?", "RES?", "RES 100.00E+00", "V?", "A?", "R?", "OUTP?",
                         "OUTP:SHOR?"},
         {"OUTP?\n", "OUTP:SHOR?\n"},
         {1, 2, 3, 4, 5, 6, 7, 1000, 2000},
         {0, 1, 2}},
        {"V151 at address 30",
         {"--model", "V151", "--gpib-address", "30"},
         30,
         5,
         "Ombrastel - V151, s.n. 1234, SW version 1.000",
         Lines{"<ibdev 30>", "<ibtmo 13>", "<ibpad 30>", "*IDN?", "*IDN?", "L0", "A?", "V?"},
         {"L0\r\n", "A?\r\n", "V?\r\n"},
         {1},
         {0, 1}},
    };
    for (const GpibCase& c : cases) {
        SCOPED_TRACE(c.name);
        ShowFreshPanel(3);
        simtest::GpibSim sim(c.args);
        OpenGpib(c.address);
        EXPECT_TRUE(messages_.messages().empty());
        EXPECT_EQ(connected, 1);
        EXPECT_EQ(Int(COM), 1);
        EXPECT_EQ(decadeModel, c.model);
        EXPECT_EQ(gpibAddress, c.address);
        EXPECT_EQ(ui::GetPanelTitle(panelHandle), c.title);
        EXPECT_EQ(sim.Lines(), c.open);
        const Lines raw = RawReceived(sim.transcriptPath());
        ASSERT_GE(raw.size(), c.rawTail.size());
        EXPECT_EQ(Lines(raw.end() - static_cast<long>(c.rawTail.size()), raw.end()), c.rawTail);
        EXPECT_EQ(RawReceived(sim.transcriptPath()).front(), "*IDN?\r\n");
        EXPECT_EQ(RingValues(FUNCTION), c.functions);
        EXPECT_EQ(RingValues(UNIT), c.units);

        const int device = gpibDevice;
        ClickCom();
        // Nothing is sent: releasing the device hands the decade back to local.
        EXPECT_EQ(sim.Lines(), (c.open + Lines{"<ibloc>", "<ibonl 0>"}));
        EXPECT_EQ(connected, 0);
        EXPECT_EQ(Int(COM), 0);
        EXPECT_EQ(ui::GetPanelTitle(panelHandle), "Ombrastel");
        EXPECT_EQ(gpibDevice, device);  // kept after the close
        EXPECT_EQ(firstReadDone, 0);

        // The same decade opens again.
        OpenGpib(c.address);
        EXPECT_EQ(connected, 1);
        EXPECT_EQ(ui::GetPanelTitle(panelHandle), c.title);
        ClickCom();
    }
}

TEST_F(OpenCloseGpibTest, NoBoardInBothLanguages) {
    for (const int lang : {3, 1}) {
        SCOPED_TRACE(lang);
        ShowFreshPanel(lang);
        messages_.clear();
        // The stand-in library gives no device for a decade it cannot set up.
        simtest::GpibSim sim({"--model", "NOT-A-DECADE"});
        OpenGpib(5);
        if (lang == 3) {
            ExpectClosedAfterWarning("Warning", "Could not open GPIB.");
        } else {
            ExpectClosedAfterWarning("Upozornění", "Nenalezen port GPIB.");
        }
        EXPECT_LT(gpibDevice, 0);
    }
    messages_.clear();
    simtest::GpibSim sim({"--model", "V212"});
    OpenGpib(5);
    EXPECT_EQ(connected, 1);
    EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(OpenCloseGpibTest, WrongAddressFindsNoDecade) {
    simtest::GpibSim sim({"--model", "V212", "--gpib-address", "9", "--gpib-max-wait", "100"});
    OpenGpib(4);
    ExpectClosedAfterWarning("Warning", "Decade box not found!");
    // The device that never answered is released all the same.
    const Lines lines = sim.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()), (Lines{"<ibloc>", "<ibonl 0>"}));

    messages_.clear();
    OpenGpib(9);
    EXPECT_EQ(connected, 1);
    EXPECT_EQ(decadeModel, 2);
}

// Runs only in a child started without the library path (see the test below).
TEST(OpenCloseWithoutGpibLibrary, DISABLED_OpenShowsTheWarning) {
    ASSERT_FALSE(gpib::LibraryAvailable());
    MessageRecorder messages;
    ShowFreshPanel(3);
    OpenGpib(3);
    ExpectClosedAfterWarning(messages, "Warning", "Could not open GPIB.");
}

TEST(OpenCloseWithoutGpibLibrary, OpenShowsTheWarning) {
    ExpectPassesWithoutGpibLibrary("OpenCloseWithoutGpibLibrary.DISABLED_OpenShowsTheWarning");
}

}  // namespace
