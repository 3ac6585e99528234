// Opening and closing the link from the panel over GPIB: the operator picks GPIB and an
// address and clicks COM on the real panel; the real binding loads the simulator's stand-in
// libgpib.so.0, which runs the decade inside this process.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app/panel.h"
#include "app/shared_state.h"
#include "link/communic.h"
#include "link/open_close.h"
#include "panel_state/enable_controls.h"
#include "platform/gpib.h"
#include "platform/ui.h"
#include "simulator/transcript.h"
#include "support/panel_fixture.h"
#include "support/sim_fixture.h"

namespace {

using Lines = std::vector<std::string>;

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A fresh panel as start-up leaves it, shown.
void Panel(int lang) {
    CloseCommunic();
    ASSERT_GE(LoadMainPanelForTest(lang), 0);
    EnableControls();
    ui::DisplayPanel(panelHandle);
}

void ClickCom() {
    QTest::mouseClick(ui::ControlWidget(panelHandle, COM), Qt::LeftButton);
}

// The operator chooses GPIB and the address and switches COM on.
void OpenGpib(int address) {
    ui::SetCtrlVal(panelHandle, RING, 1);
    ComTypeCB(panelHandle, RING, ui::EVENT_COMMIT, nullptr, 0, 0);
    ui::SetCtrlVal(panelHandle, NUM_ADR, address);
    ClickCom();
}

int IntOf(int control) {
    int value = -1;
    ui::GetCtrlVal(panelHandle, control, &value);
    return value;
}

std::vector<int> RingValues(int control) {
    int count = 0;
    ui::GetNumListItems(panelHandle, control, &count);
    std::vector<int> values;
    for (int i = 0; i < count; ++i) {
        int value = 0;
        ui::GetValueFromIndex(panelHandle, control, i, &value);
        values.push_back(value);
    }
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
    void SetUp() override { Panel(3); }
    void TearDown() override {
        CloseCommunic();
        gpib::CloseInstrDevs("v212");
        ResetSharedState();
    }

    void ExpectClosedAfterWarning(const std::string& title, const std::string& text) {
        ASSERT_EQ(messages_.messages().size(), 1u);
        EXPECT_EQ(messages_.messages()[0].first, title);
        EXPECT_EQ(messages_.messages()[0].second, text);
        EXPECT_EQ(IntOf(COM), 0);
        EXPECT_EQ(connected, 0);
        EXPECT_EQ(decadeModel, 0);
        EXPECT_EQ(ui::GetPanelTitle(panelHandle), "Ombrastel");
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
        Panel(3);
        simtest::GpibSim sim(c.args);
        OpenGpib(c.address);
        EXPECT_TRUE(messages_.messages().empty());
        EXPECT_EQ(connected, 1);
        EXPECT_EQ(IntOf(COM), 1);
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
        EXPECT_EQ(IntOf(COM), 0);
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
        Panel(lang);
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

TEST_F(OpenCloseGpibTest, KelvinItemGoesWhenAV212FollowsAV330) {
    {
        simtest::GpibSim sim({"--model", "V330"});
        OpenGpib(1);
        EXPECT_EQ(RingValues(UNIT), (std::vector<int>{0, 1, 2}));
        ClickCom();
    }
    simtest::GpibSim sim({"--model", "V212"});
    OpenGpib(1);
    EXPECT_EQ(RingValues(UNIT), (std::vector<int>{0, 1}));
    EXPECT_EQ(thresholdAvailable, 1);
}

// Runs only in a child started without the library path (see the test below).
TEST(OpenCloseWithoutGpibLibrary, DISABLED_OpenShowsTheWarning) {
    ASSERT_FALSE(gpib::LibraryAvailable());
    MessageRecorder messages;
    Panel(3);
    OpenGpib(3);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0],
              (MessageRecorder::Message{"Warning", "Could not open GPIB."}));
    EXPECT_EQ(IntOf(COM), 0);
    EXPECT_EQ(connected, 0);
    EXPECT_EQ(ui::GetPanelTitle(panelHandle), "Ombrastel");
}

TEST(OpenCloseWithoutGpibLibrary, OpenShowsTheWarning) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("LD_LIBRARY_PATH");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_also_run_disabled_tests",
                 "--gtest_filter=OpenCloseWithoutGpibLibrary.DISABLED_OpenShowsTheWarning"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

}  // namespace
