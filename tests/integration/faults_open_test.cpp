// Faults on the wire while the operator opens the link from the real panel: a decade that
// stays silent at one step of the open, sends junk, over-long replies, NUL bytes or a lone
// CR, answers late, refuses everything, or hangs up half-way. Each open must end within the
// time-outs it runs into, show the right warning (or none), leave the panel consistent, and
// a healthy decade must open afterwards on the same port.
#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/panel.h"
#include "app/shared_state.h"
#include "app/open_close.h"
#include "app/enable_controls.h"
#include "platform/rs232.h"
#include "toolkit/ui.h"
#include "support/link_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

const Items kPlainList12 = {{1, "Resistance"},
                            {2, "Platinum Pt385 (68)"},
                            {3, "Platinum Pt385 (90)"},
                            {4, "Platinum Pt3916"},
                            {7, "Nickel"}};
const Items kFullList12 = {{1, "Resistance"},
                           {2, "Platinum Pt385 (68)"},
                           {3, "Platinum Pt385 (90)"},
                           {4, "Platinum Pt3916"},
                           {6, "Platinum User"},
                           {7, "Nickel"},
                           {9, "Short"},
                           {8, "Open"}};
const Items kList3 = {
    {1, "Resistance"},      {2, "Platinum Pt385 (68)"}, {3, "Platinum Pt385 (90)"},
    {4, "Platinum Pt3916"}, {5, "Platinum Pt3926"},     {6, "Platinum User"},
    {7, "Nickel"}};
// What a healthy V212 receives during an open, without line ends.
const Lines kHealthyV212Open = {"*IDN?", "*IDN?", ":SYST:REM", "V?", "F5", "FS",
                                "FO",    "F0",    "V?",        "A?", "R?", "W?"};

Items With(Items items, const Items& more) {
    items.insert(items.end(), more.begin(), more.end());
    return items;
}

class FaultsOpenTest : public PanelLinkTest {
  protected:
    void Panel() {
        ShowFreshPanel(3);
        messages_.clear();
    }

    // Switches COM on for COM1 at 9600 baud; the seconds the open took.
    static double TimedOpen() {
        const Clock::time_point start = Clock::now();
        OpenSerial();
        return SecondsSince(start);
    }

    // After an open that failed: one warning, the link closed and the panel as without one.
    void ExpectFailedOpen(const std::string& warning) {
        ExpectClosedAfterWarning(messages_, "Warning", warning);
        EXPECT_FALSE(rs232::IsOpen(1));
        EXPECT_FALSE(W(VALUE)->isEnabled());
        EXPECT_FALSE(W(FUNCTION)->isEnabled());
    }

    // After an open that went through: no warning, the link open, VALUE a number.
    void ExpectOpen(int model) {
        EXPECT_TRUE(messages_.messages().empty()) << messages_.Texts();
        EXPECT_EQ(Int(COM), 1);
        EXPECT_EQ(connected, 1);
        EXPECT_EQ(decadeModel, model);
        EXPECT_TRUE(std::isfinite(Number(VALUE)));
    }

    // The operator switches COM off; then a healthy decade on the same port opens.
    void ExpectHealthyDecadeOpensAfterwards() {
        if (connected) ClickCom();
        ASSERT_EQ(connected, 0);
        messages_.clear();
        StartSim({"--model", "V212"});
        EXPECT_LT(TimedOpen(), 1.0);
        ExpectOpen(2);
        EXPECT_EQ(sim_->Lines(), kHealthyV212Open);
        EXPECT_EQ(RingItems(FUNCTION), kFullList12);
        ClickCom();
        EXPECT_EQ(connected, 0);
    }
};

// A fault that makes the open fail: the warning, and what the decade received. Each open
// takes the failing exchange, up to the 1 s time-out, plus the 0.5 s before the port closes.
struct FailingOpen {
    const char* name;
    const char* warning;
    Lines received;  // without line ends
    const char* args;
};

TEST_F(FaultsOpenTest, FaultsThatEndTheOpenWithAWarning) {
    const char* const notFound = "Decade box not found!";
    const char* const failed = "Communication failed.";
    const Lines idnThenLocal = {"*IDN?", "*IDN?", ":SYST:LOC"};
    const Lines idnDrop = {"*IDN?", "*IDN?", "<drop>"};
    const Lines functionDrop = {"*IDN?", "*IDN?", ":SYST:REM", "V?", "<drop>"};
    const Lines presetDrop = {"*IDN?", "*IDN?", ":SYST:REM", "V?", "UFUN:CURV:PCO?",
                              "UFUN:CURV:PRES1:NAME?", "<drop>"};
    // clang-format off
    const std::vector<FailingOpen> cases = {
        // what the decade does
        //  warning, received, decade-sim options
        {"junk instead of every reply",
            notFound, idnThenLocal, "--model V212 --garbage"},
        {"refuses every command, the identity query too",
            notFound, idnThenLocal, "--model V212 --refuse *"},
        {"hangs up at the second identity query",
            notFound, idnDrop,      "--model V212 --drop-after 1"},
        {"hangs up when asked for its function",
            failed,   functionDrop, "--model V212 --drop-after 3"},
        {"hangs up while the preset names are read",
            failed,   presetDrop,   "--model V330A --user-presets A,B --drop-after 5"},
    };
    // clang-format on
    for (const FailingOpen& c : cases) {
        SCOPED_TRACE(c.name);
        Panel();
        StartSim(Args(c.args));
        const double took = TimedOpen();
        EXPECT_GE(took, 0.5);
        EXPECT_LE(took, 1.2);
        ExpectFailedOpen(c.warning);
        EXPECT_EQ(sim_->Lines(), c.received);
        ExpectHealthyDecadeOpensAfterwards();
    }
}

// A fault the open rides out: no warning, the link open, and the panel built from what
// did arrive. The time bound is the number of unanswered queries times the 1 s time-out.
struct SurvivedOpen {
    const char* name;
    int model;
    double atLeast;
    double atMost;
    Items functions;
    Lines received;  // without line ends; empty: not checked
    const char* args;
};

TEST_F(FaultsOpenTest, FaultsTheOpenRidesOut) {
    // No function character: the refresh keeps the function shown, resistance.
    const Lines silentToF = {"*IDN?", "*IDN?", ":SYST:REM", "F?", "TIM:PCO?", "RES?",
                             "RES 100.00E+00", "F?", "RES:DISP?", "OUTP?", "OUTP:SHOR?",
                             "OUTP:GRO?"};
    const Lines silentToCounts = {"*IDN?", "*IDN?", ":SYST:REM", "V?", "UFUN:CURV:PCO?",
                                  "TIM:PCO?", "RES?", "RES 100.00E+00", "V?", "A?", "R?",
                                  "OUTP?", "OUTP:SHOR?"};
    const Lines lateV151 = {"*IDN?", "*IDN?", "L0", "A?", "V?"};
    const Items resistance = {{1, "Resistance"}};
    const Items capacitance = {{1, "Capacitance"}};
    const Items oneUnnamed =
        With(kList3, {{1000, "User function \"A\""}, {1001, "User function "}});
    // clang-format off
    const std::vector<SurvivedOpen> cases = {
        // what the decade does
        //  model, seconds,  FUNCTION items, received, decade-sim options
        {"silent to the function query, at open and in the refresh",
            7, 2.0, 2.8, resistance,  silentToF,        "--model V090 --function 0 --silent-to F?"},
        {"silent to both preset counts: no presets listed",
            3, 2.0, 2.8, kList3,       silentToCounts,   "--model V330A --user-presets A --timing-presets T"
                                                         " --silent-to UFUN:CURV:PCO?,TIM:PCO?"},
        {"silent to one preset name: its item is the bare prefix",
            3, 1.0, 1.8, oneUnnamed,   {},               "--model V330A --user-presets A,B"
                                                         " --silent-to UFUN:CURV:PRES2:NAME?"},
        {"silent to the value query of the first refresh",
            2, 1.0, 1.8, kFullList12,  kHealthyV212Open, "--model V212 --silent-to A?"},
        {"junk after the identity: no probe accepted",
            2, 0.0, 0.8, kPlainList12, {},               "--model V212 --garbage --fault-commands V?,F*,A?,R?,W?"},
        {"replies over 50 bytes: each cut, its rest never read as the next reply",
            2, 0.0, 0.8, kFullList12,  kHealthyV212Open, "--model V212 --long-replies"},
        {"a NUL byte inside every reply: each read up to the NUL",
            2, 0.0, 0.8, kPlainList12, kHealthyV212Open, "--model V212 --nul-bytes"},
        {"identity ended by a lone CR: each read ends at its time-out",
            2, 2.0, 2.8, kFullList12,  kHealthyV212Open, "--model V212 --line-end cr --fault-commands *IDN?"},
        {"every reply 0.9 s late, within the time-out",
            5, 3.6, 4.6, capacitance, lateV151,         "--model V151 --delay 900"},
        {"refuses everything but its identity",
            2, 0.0, 0.8, kPlainList12, {},               "--model V212 --refuse F*,V?,A*,R*,W*,U*"},
    };
    // clang-format on
    // The address sanitizer slows every step of the open; on a loaded machine the 0.9 s
    // late decade came 4 ms past its bound there.
#if defined(__SANITIZE_ADDRESS__)
    constexpr double kSlack = 0.5;
#else
    constexpr double kSlack = 0.0;
#endif
    for (const SurvivedOpen& c : cases) {
        SCOPED_TRACE(c.name);
        Panel();
        StartSim(Args(c.args));
        const double took = TimedOpen();
        EXPECT_GE(took, c.atLeast);
        EXPECT_LE(took, c.atMost + kSlack);
        ExpectOpen(c.model);
        EXPECT_EQ(RingItems(FUNCTION), c.functions);
        if (!c.received.empty()) {
            EXPECT_EQ(sim_->Lines(), c.received);
        }
        ClickCom();
        EXPECT_EQ(connected, 0);
        EXPECT_EQ(Int(COM), 0);
    }
}

// Over-long replies and NUL bytes leave numbers the panel can show: the value of a cut
// reply is the decade's, the value before a NUL is what precedes it.
TEST_F(FaultsOpenTest, CutAndNulRepliesShowWhatWasRead) {
    Panel();
    StartSim({"--model", "V212", "--long-replies", "--value", "1500"});
    TimedOpen();
    ExpectOpen(2);
    EXPECT_DOUBLE_EQ(Number(VALUE), 1.5);
    EXPECT_EQ(ui::GetPanelTitle(panelHandle), "Ombrastel - V212, s.n. 1234, SW version 1.000");
    ClickCom();

    Panel();
    StartSim({"--model", "V212", "--nul-bytes", "--value", "1500"});
    TimedOpen();
    ExpectOpen(2);
    // "1.5000E+03" is read as "1.500": no exponent before the NUL, so no prefix.
    EXPECT_DOUBLE_EQ(Number(VALUE), 1.5);
    EXPECT_EQ(valueExponent, 0);
    EXPECT_EQ(serialNumber, 0);  // the identity ends at its NUL, after the model
    ClickCom();
}

}  // namespace
