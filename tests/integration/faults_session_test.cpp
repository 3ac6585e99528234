// Faults after the link is open, met through the real panel's handlers: a reply that comes
// just before or just after the time-out, a decade that hangs up during a handler's command
// or the refresh after it, a decade that refuses every setting, and replies that carry a
// second command line which must never reach the wire.
#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/panel.h"
#include "app/shared_state.h"
#include "app/open_close.h"
#include "app/enable_controls.h"
#include "platform/rs232.h"
#include "toolkit/ui.h"
#include "simulator/engine.h"
#include "support/link_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
const Lines kRefresh2 = {"V?", "A?", "R?", "W?"};
const Lines kV212Open =
    (Lines{"*IDN?", "*IDN?", ":SYST:REM", "V?", "F5", "FS", "FO", "F0"} + kRefresh2);

class FaultsSessionTest : public PanelLinkTest {
  protected:
    // Starts the decade and opens COM1 from a fresh panel; the seconds the open took.
    // THRESHOLD starts at a mark no decade reply gives, to tell "not read" from "read".
    double Open(const std::vector<std::string>& args) {
        ShowFreshPanel(3);
        StartSim(args);
        ui::SetCtrlVal(panelHandle, THRESHOLD, kMark);
        const Clock::time_point start = Clock::now();
        OpenSerial();
        return SecondsSince(start);
    }

    Lines Wire() const { return sim_->Lines(); }

    bool DecadeOutput() {
        return sim_->server().WithEngine([](sim::Engine& e) { return e.state().output; });
    }

    // COM off and on again with a healthy decade: the panel is usable once more.
    void ExpectReopenWorks() {
        if (connected) ClickCom();
        ASSERT_EQ(connected, 0);
        EXPECT_EQ(Int(COM), 0);
        messages_.clear();
        Open({"--model", "V212"});
        EXPECT_EQ(connected, 1);
        EXPECT_TRUE(messages_.messages().empty());
        EXPECT_EQ(Wire(), kV212Open);
    }

    static constexpr int kMark = 77;
};

// The threshold reply, the last of the refresh, comes 0.9 s or 1.1 s after its query.
// In time it is shown; too late it is not, and the late bytes, queued by the time of the
// next command, are thrown away before that command goes out: its "Ok" is read, not "250".
// Too late in the refresh of a handler, it is no answer: "Communication failed." once.
TEST_F(FaultsSessionTest, ReplyJustBeforeAndJustAfterTheTimeOut) {
    struct Case {
        int delayMs;
        int threshold;  // THRESHOLD after the open: the decade's 0, or the mark when not read
        std::size_t boxes;
    };
    for (const Case c : {Case{900, 0, 0}, Case{1100, kMark, 1}}) {
        SCOPED_TRACE(c.delayMs);
        messages_.clear();
        const double took = Open(
            {"--model", "V212", "--delay", std::to_string(c.delayMs), "--fault-commands", "W?"});
        ASSERT_EQ(connected, 1) << messages_.Texts();
        EXPECT_GE(took, 0.85);
        EXPECT_LT(took, 1.6);  // one reply waited for, at most the 1 s time-out
        EXPECT_EQ(Int(THRESHOLD), c.threshold);
        EXPECT_EQ(Wire(), kV212Open);

        // Whatever arrived late is in the queue well before the operator's next command.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sim_->ClearTranscript();
        const Clock::time_point start = Clock::now();
        Type(VALUE, "200");
        EXPECT_LT(SecondsSince(start), 1.6);
        EXPECT_EQ(Wire(), (Lines{"A 200"} + kRefresh2));
        ASSERT_EQ(messages_.messages().size(), c.boxes) << messages_.Texts();
        if (c.boxes > 0) {
            EXPECT_EQ(messages_.messages()[0].second, "Communication failed.");
        }
        EXPECT_EQ(connected, 1);
        EXPECT_DOUBLE_EQ(Number(VALUE), 200.0);
        EXPECT_EQ(Int(THRESHOLD), c.threshold);
    }
}

// The decade hangs up in the middle of a handler: at its command or at the first query of
// the refresh after it. Either way nothing waits for a time-out, nothing more is sent, the
// panel goes to its closed state at once and says "Communication failed." (never "Could
// not set value!"), and a later Open with a working decade recovers.
TEST_F(FaultsSessionTest, LinkDroppedDuringAHandlerOrItsRefresh) {
    struct Case {
        const char* name;
        int dropAfter;  // the open takes 12 exchanges
        Lines wire;
    };
    const Case cases[] = {
        {"at the value command", 12, {"A 200", "<drop>"}},
        {"at the refresh after it", 13, {"A 200", "V?", "<drop>"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.clear();
        Open({"--model", "V212", "--drop-after", std::to_string(c.dropAfter)});
        ASSERT_EQ(connected, 1) << messages_.Texts();
        sim_->ClearTranscript();

        Clock::time_point start = Clock::now();
        Type(VALUE, "200");
        EXPECT_LT(SecondsSince(start), 0.5);
        EXPECT_TRUE(sim_->server().Dropped());
        EXPECT_EQ(Wire(), c.wire);
        ASSERT_EQ(messages_.messages().size(), 1u) << messages_.Texts();
        EXPECT_EQ(messages_.messages()[0].second, "Communication failed.");
        EXPECT_NE(messages_.details()[0].find("closed at \"" + c.wire[c.wire.size() - 2] + "\""),
                  std::string::npos)
            << messages_.details()[0];
        EXPECT_FALSE(rs232::IsOpen(1));
        EXPECT_EQ(connected, 0);
        EXPECT_EQ(Int(COM), 0);
        EXPECT_EQ(ui::GetPanelTitle(panelHandle), "Ombrastel");
        EXPECT_EQ(Attr(SERIAL, ui::ATTR_DIMMED), 0);

        ExpectReopenWorks();
    }
}

// A decade that answers its identity but refuses every setting: each handler shows the
// refusal box once, nothing is retried, and the refresh still runs.
TEST_F(FaultsSessionTest, DecadeRefusingEverySetting) {
    Open({"--model", "V212", "--refuse", "F*,U*,A,R,W"});  // settings; queries answered
    ASSERT_EQ(connected, 1) << messages_.Texts();
    struct Step {
        int control;
        const char* typed;
        Lines wire;
    };
    const Step steps[] = {
        {VALUE, "200", (Lines{"A 200"} + kRefresh2)},
        {THRESHOLD, "300", (Lines{"W 300"} + kRefresh2)},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.typed);
        messages_.clear();
        sim_->ClearTranscript();
        Type(s.control, s.typed);
        EXPECT_EQ(Wire(), s.wire);
        ASSERT_EQ(messages_.messages().size(), 1u);
        EXPECT_EQ(messages_.messages()[0].first, "Warning");
        EXPECT_EQ(messages_.messages()[0].second, "Could not set value!");
    }
    // The refresh shows what the decade really holds.
    EXPECT_DOUBLE_EQ(Number(VALUE), 100.0);
    EXPECT_EQ(Int(THRESHOLD), 0);

    messages_.clear();
    sim_->ClearTranscript();
    Choose(FUNCTION, 2);
    EXPECT_EQ(Wire(), (Lines{"F1"} + kRefresh2));
    EXPECT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(Int(FUNCTION), 1);  // the decade stayed at resistance
}

// A reply that carries a second command line after a CR is never sent back: the selection
// that would re-send it sends nothing, so "OUTP 1" never reaches the decade and its output
// stays off. Class 3 and class 7 re-send the "RES?" reply; both are checked at the open
// (silently) and when the operator picks resistance (with the refusal box).
TEST_F(FaultsSessionTest, ReplyCannotStartACommandLine) {
    struct Case {
        const char* model;
        int other;  // a function to step away to before picking resistance again
    };
    for (const Case c : {Case{"V330A", 7}, Case{"V090", 2000}}) {
        SCOPED_TRACE(c.model);
        messages_.clear();
        Open({"--model", c.model, "--timing-presets", "T", "--reply", "RES?=100\\rOUTP 1"});
        ASSERT_EQ(connected, 1) << messages_.Texts();
        EXPECT_TRUE(messages_.messages().empty()) << messages_.Texts();  // the open reports nothing

        Choose(FUNCTION, c.other);
        messages_.clear();
        sim_->ClearTranscript();
        Choose(FUNCTION, 1);
        const Lines wire = Wire();
        ASSERT_FALSE(wire.empty());
        EXPECT_EQ(wire[0], "RES?");
        ASSERT_EQ(messages_.messages().size(), 1u);
        EXPECT_EQ(messages_.messages()[0].second, "Could not set value!");

        const Lines all = sim_->Lines();
        for (const std::string& line : all) {
            EXPECT_EQ(line.find("OUTP 1"), std::string::npos) << line;
            EXPECT_NE(line.rfind("RES ", 0), 0u) << line;
        }
        EXPECT_FALSE(DecadeOutput());
        ClickCom();
    }
}

// Preset names with a CR or an LF inside, followed by a command: the name is only a label.
// A CR stays inside the label; an LF ends the reply there and the rest of the line is
// thrown away before the next query, so the second name is still read as itself.
TEST_F(FaultsSessionTest, PresetNameCannotStartACommandLine) {
    Open({"--model", "V330A", "--user-presets", "A,B", "--reply",
          "UFUN:CURV:PRES1:NAME?=\"A\\rOUTP 1\"", "--reply", "TIM:PRES1:NAME?=\"T\\nOUTP 1\"",
          "--timing-presets", "T,U"});
    ASSERT_EQ(connected, 1) << messages_.Texts();
    std::vector<std::pair<int, std::string>> presets;
    int count = 0;
    ui::GetNumListItems(panelHandle, FUNCTION, &count);
    for (int i = 0; i < count; ++i) {
        int value = 0;
        std::string label;
        ui::GetValueFromIndex(panelHandle, FUNCTION, i, &value);
        ui::GetLabelFromIndex(panelHandle, FUNCTION, i, &label);
        if (value >= 1000) presets.emplace_back(value, label);
    }
    const std::vector<std::pair<int, std::string>> expected = {
        {1000, "User function \"A\rOUTP 1\""},
        {1001, "User function \"B\""},
        {2000, "Timing \"T"},
        {2001, "Timing \"U\""},
    };
    EXPECT_EQ(presets, expected);
    const Lines wire = Wire();
    EXPECT_EQ(std::count(wire.begin(), wire.end(), "OUTP 1"), 0);
    EXPECT_FALSE(DecadeOutput());
}

}  // namespace
