// Opening and closing the link from the panel over a serial link: the operator sets the
// link controls and clicks COM on the real panel; the real serial layer talks to the decade
// simulator on a pseudo-terminal linked as com1 in a temporary folder.
#include "app/open_close.h"

#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/panel.h"
#include "app/shared_state.h"
#include "link/communic.h"
#include "app/enable_controls.h"
#include "platform/rs232.h"
#include "toolkit/ui.h"
#include "simulator/engine.h"
#include "support/link_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

// The commands with the line end the decade receives them with.
Lines Framed(const Lines& commands, const std::string& end) {
    Lines lines;
    for (const std::string& c : commands) lines.push_back(c + end);
    return lines;
}

const Lines kIdentity = Framed({"*IDN?", "*IDN?"}, "\r\n");

class OpenCloseTest : public PanelLinkTest {
  protected:
    void SetUp() override { ShowFreshPanel(3); }

    static std::vector<int> UnitValues() {
        std::vector<int> values;
        for (const auto& item : RingItems(UNIT)) values.push_back(item.first);
        return values;
    }

    // Everything a failed open leaves behind.
    void ExpectClosedAfterWarning(const std::string& title, const std::string& text) {
        ::ExpectClosedAfterWarning(messages_, title, text);
        EXPECT_EQ(firstReadDone, 0);
    }
};

// One decade per class: what goes out during the open, the panel afterwards, the close.
struct ClassCase {
    const char* name;
    int model;
    const char* end;    // line end of the class; the identity queries always end in CR LF
    const char* local;  // the command that hands the decade back to local
    const char* args;   // decade-sim options
    const char* title;
    Items functions;
    int function;  // FUNCTION after the open; not checked for class 5
    std::vector<int> units;
    Lines open;  // after the identity queries
};

// clang-format off
const Items kSensorList12 = {
    {1, "Resistance"},      {2, "Platinum Pt385 (68)"}, {3, "Platinum Pt385 (90)"},
    {4, "Platinum Pt3916"}, {6, "Platinum User"},       {7, "Nickel"},
    {9, "Short"},           {8, "Open"}};

std::vector<ClassCase> ClassCases() {
    const char* const crlf = "\r\n";
    const char* const lf = "\n";
    const Items v330a = {
        {1, "Resistance"},      {2, "Platinum Pt385 (68)"}, {3, "Platinum Pt385 (90)"},
        {4, "Platinum Pt3916"}, {5, "Platinum Pt3926"},     {6, "Platinum User"},
        {7, "Nickel"}, {1000, "User function \"Cal A\""}, {1001, "User function \"Cal B\""},
        {2000, "Timing \"Ramp\""}};
    const Items v150 = {{1, "Capacitance"},        {1000, "User function \"Cap A\""},
                        {2000, "Timing \"T1\""}, {2001, "Timing \"T2\""}};
    const Items v211 = {
        {1, "Resistance"},       {3000, "Platinum Pt100"},  {3001, "Platinum Pt200"},
        {3002, "Platinum Pt500"}, {3003, "Platinum Pt1000"}, {3004, "Nickel Ni100"},
        {3005, "Nickel Ni1000"},  {9, "Short"}};
    const Items v090 = {{1, "Resistance"}, {2000, "Timing \"Pulse\""}};
    // name, model, line end, back to local
    //     decade-sim options
    //     title, FUNCTION items, FUNCTION, UNIT values
    //     what the open sends after the identity queries
    return {
        {"V210 class", 1, crlf, ":SYST:LOC",
            "--model V210 --serial 11 --firmware 1.5",
            "Ombrastel - V210, s.n. 11, SW version 1.500", kSensorList12, 1, {0, 1},
            {":SYST:REM", "V?", "F5", "FS", "FO", "F0", "V?", "A?", "R?"}},
        {"V212 class, threshold queried", 2, crlf, ":SYST:LOC",
            "--model V212 --function 2",
            "Ombrastel - V212, s.n. 1234, SW version 1.000", kSensorList12, 3, {0, 1},
            {":SYST:REM", "V?", "F5", "FS", "FO", "F2", "V?", "A?", "R?", "W?"}},
        {"V330A class, older firmware, presets by number", 3, lf, ":SYST:LOC",
            "--model V330A --user-presets 'Cal A,Cal B' --timing-presets Ramp --firmware 1.020",
            "Ombrastel - V330A, s.n. 1234, SW version 1.020", v330a, 1, {0, 1, 2},
            {":SYST:REM", "V?", "UFUN:CURV:PCO?", "UFUN:CURV:PRES1:NAME?", "UFUN:CURV:PRES2:NAME?",
             "TIM:PCO?", "TIM:PRES1:NAME?", "RES?", "RES 100.00E+00", "V?", "A?", "R?", "OUTP?",
             "OUTP:SHOR?"}},
        {"V150 class, newer firmware, presets selected first", 4, lf, ":SYST:LOC",
            "--model V150 --user-presets 'Cap A' --timing-presets T1,T2 --firmware 1.010",
            "Ombrastel - V150, s.n. 1234, SW version 1.010", v150, 1, {0, 1},
            {":SYST:REM", "F?", "UFUN:CURV:PCO?", "UFUN:CURV:SEL 1", "UFUN:CURV:PRES:NAME?",
             "TIM:PCO?", "TIM:SEL 1", "TIM:PRES:NAME?", "TIM:SEL 2", "TIM:PRES:NAME?", "F0", "F?",
             "CAP:DISP?", "OUTP?", "V?"}},
        {"V151, local and remote by letter", 5, crlf, "L1",
            "--model V151",
            "Ombrastel - V151, s.n. 1234, SW version 1.000", {{1, "Capacitance"}}, 1, {0, 1},
            {"L0", "A?", "V?"}},
        {"V211 class, sensors and probes", 6, crlf, ":SYST:LOC",
            "--model V211 --refuse FO",
            "Ombrastel - V211, s.n. 1234, SW version 1.000", v211, 1, {0, 1},
            {":SYST:REM", "V?", "FS", "FO", "F0", "V?", "A?"}},
        {"V090, timing presets only", 7, crlf, ":SYST:LOC",
            "--model V090 --timing-presets Pulse",
            "Ombrastel - V090, s.n. 1234, SW version 1.000", v090, 1, {0, 1},
            {":SYST:REM", "F?", "TIM:PCO?", "TIM:PRES1:NAME?", "RES?", "RES 100.00E+00", "F?",
             "RES:DISP?", "OUTP?", "OUTP:SHOR?", "OUTP:GRO?"}},
    };
}
// clang-format on

TEST_F(OpenCloseTest, EveryClassOpensClosesAndReopens) {
    for (const ClassCase& c : ClassCases()) {
        SCOPED_TRACE(c.name);
        ShowFreshPanel(3);
        StartSim(Args(c.args));

        OpenSerial();
        EXPECT_EQ(sim_->Bytes(), kIdentity + Framed(c.open, c.end));
        EXPECT_TRUE(messages_.messages().empty());
        EXPECT_EQ(connected, 1);
        EXPECT_EQ(Int(COM), 1);
        EXPECT_EQ(decadeModel, c.model);
        EXPECT_EQ(ui::GetPanelTitle(panelHandle), c.title);
        EXPECT_EQ(RingItems(FUNCTION), c.functions);
        if (c.model != 5) {
            EXPECT_EQ(Int(FUNCTION), c.function);
        }
        EXPECT_EQ(UnitValues(), c.units);
        EXPECT_EQ(thresholdAvailable, c.model == 2 ? 1 : 0);

        sim_->ClearTranscript();
        const Clock::time_point start = Clock::now();
        ClickCom();
        EXPECT_GE(SecondsSince(start), 0.5);
        EXPECT_EQ(sim_->Bytes(), Framed({c.local}, c.end));
        EXPECT_EQ(connected, 0);
        EXPECT_EQ(Int(COM), 0);
        EXPECT_EQ(decadeModel, 0);
        EXPECT_EQ(ui::GetPanelTitle(panelHandle), "Ombrastel");
        // The list stays as it was until the next open rebuilds it.
        EXPECT_EQ(RingItems(FUNCTION), c.functions);
        EXPECT_FALSE(rs232::IsOpen(1));

        // Once closed, nothing reaches the decade any more.
        std::string reply = "untouched";
        EXPECT_EQ(Communic(0, "*IDN?", reply), 0);
        EXPECT_EQ(reply, "untouched");

        // The same decade opens again with the same list.
        sim_->ClearTranscript();
        OpenSerial();
        EXPECT_EQ(connected, 1);
        EXPECT_EQ(Int(COM), 1);
        EXPECT_EQ(ui::GetPanelTitle(panelHandle), c.title);
        EXPECT_EQ(RingItems(FUNCTION), c.functions);
        EXPECT_TRUE(messages_.messages().empty());
        ClickCom();
        EXPECT_EQ(connected, 0);
    }
}

TEST_F(OpenCloseTest, FunctionQueryWaitsAfterRemoteCommand) {
    StartSim({"--model", "V212"});
    OpenSerial();
    const std::vector<sim::Record> records = sim_->server().Transcript();
    ASSERT_GE(records.size(), 4u);
    ASSERT_EQ(records[2].bytes, ":SYST:REM\r\n");
    ASSERT_EQ(records[3].bytes, "V?\r\n");
    EXPECT_GE(records[3].seconds - records[2].seconds, 0.095);
}

TEST_F(OpenCloseTest, ProbedFunctionsRefusedAreLeftOutAndThePresentOneIsSelectedAgain) {
    // The decade presents Pt385 (90) ('2'), accepts F5 (user platinum) and FO, refuses FS.
    StartSim({"--model", "V212", "--function", "2", "--refuse", "FS"});
    OpenSerial();
    EXPECT_EQ(sim_->Bytes(), kIdentity + Framed({":SYST:REM", "V?", "F5", "FS", "FO", "F2", "V?",
                                                 "A?", "R?", "W?"},
                                                "\r\n"));
    const Items expected = {{1, "Resistance"},
                            {2, "Platinum Pt385 (68)"},
                            {3, "Platinum Pt385 (90)"},
                            {4, "Platinum Pt3916"},
                            {6, "Platinum User"},
                            {7, "Nickel"},
                            {8, "Open"}};
    EXPECT_EQ(RingItems(FUNCTION), expected);
    EXPECT_EQ(Int(FUNCTION), 3);
    EXPECT_EQ(sim_->server().WithEngine([](sim::Engine& engine) { return engine.Function(); }),
              '2');
    EXPECT_TRUE(messages_.messages().empty());  // probing never shows a box
}

TEST_F(OpenCloseTest, KelvinItemOnlyForTheV330Class) {
    StartSim({"--model", "V330"});
    OpenSerial();
    ASSERT_EQ(connected, 1);
    const Items withKelvin = {{0, "°C"}, {1, "°F"}, {2, "K"}};
    EXPECT_EQ(RingItems(UNIT), withKelvin);
    ClickCom();
    EXPECT_EQ(RingItems(UNIT), withKelvin);  // kept until the next open

    // A second open of the same class adds no second item.
    OpenSerial();
    EXPECT_EQ(RingItems(UNIT), withKelvin);
    ClickCom();

    StartSim({"--model", "V212"});
    OpenSerial();
    ASSERT_EQ(connected, 1);
    EXPECT_EQ(UnitValues(), (std::vector<int>{0, 1}));
    // The V212 opened after another class offers its threshold again.
    EXPECT_EQ(thresholdAvailable, 1);
    EXPECT_EQ(sim_->Bytes().back(), "W?\r\n");
    EXPECT_TRUE(W(THRESHOLD)->isVisible());
}

TEST_F(OpenCloseTest, NewerFirmwareIsDecidedByEachOpen) {
    StartSim({"--model", "V330A", "--user-presets", "A", "--firmware", "1.030"});
    OpenSerial();
    EXPECT_EQ(newFirmware, 1);
    ClickCom();
    StartSim({"--model", "V330A", "--user-presets", "A", "--firmware", "1.020"});
    OpenSerial();
    EXPECT_EQ(newFirmware, 0);
    const Lines received = sim_->Bytes();
    EXPECT_NE(std::find(received.begin(), received.end(), "UFUN:CURV:PRES1:NAME?\n"),
              received.end());
}

TEST_F(OpenCloseTest, PresentPresetIsAskedForAndSelectedAgain) {
    // A V330A whose second user function is active; newer firmware selects each preset while
    // the names are read, so the open must select the second one again at the end.
    StartSim({"--model", "V330A", "--firmware", "1.030", "--user-presets", "A,B", "--user-units",
              "^,{C", "--function", "7"});
    sim_->server().WithEngine([](sim::Engine& engine) { return engine.Handle("UFUN:CURV:SEL 2"); });
    sim_->ClearTranscript();
    OpenSerial();
    const Lines expected =
        kIdentity +
        Framed({":SYST:REM", "V?", "UFUN:CURV:SEL?", "UFUN:CURV:PCO?", "UFUN:CURV:SEL 1",
                "UFUN:CURV:PRES:NAME?", "UFUN:CURV:SEL 2", "UFUN:CURV:PRES:NAME?", "TIM:PCO?",
                "UFUN:CURV:SEL 2", "V?", "UFUN:CURV:SEL?", "A?", "UFUN:CURV:PRES:UNIT?", "R?",
                "OUTP?", "OUTP:SHOR?"},
               "\n");
    EXPECT_EQ(sim_->Bytes(), expected);
    EXPECT_EQ(Int(FUNCTION), 1001);
}

// A count that holds no number lists no presets; a count above 1000 lists 1000, so the
// codes 2000 + i never run into the next range.
TEST_F(OpenCloseTest, PresetCountsWithoutNumberOrTooLarge) {
    StartSim(
        {"--model", "V090", "--timing-presets", "P", "--garbage", "--fault-commands", "TIM:PCO?"});
    OpenSerial();
    ASSERT_EQ(connected, 1);
    EXPECT_EQ(RingItems(FUNCTION), (Items{{1, "Resistance"}}));
    ClickCom();

    std::string names = "T0";
    for (int i = 1; i < 1003; ++i) names += ",T" + std::to_string(i);
    StartSim({"--model", "V090", "--timing-presets", names});
    OpenSerial();
    ASSERT_EQ(connected, 1);
    const Items items = RingItems(FUNCTION);
    ASSERT_EQ(items.size(), 1001u);
    EXPECT_EQ(items.back(), (std::pair<int, std::string>{2999, "Timing \"T999\""}));
    const Lines received = sim_->Bytes();
    EXPECT_EQ(std::count(received.begin(), received.end(), "TIM:PRES1000:NAME?\r\n"), 1);
    EXPECT_EQ(std::count(received.begin(), received.end(), "TIM:PRES1001:NAME?\r\n"), 0);
}

// A reply to "V?" too short to hold the function character selects the basic function.
TEST_F(OpenCloseTest, ShortFunctionReplyGivesTheBasicFunction) {
    // "V?" answered only after its time-out: the reply read at open is empty.
    StartSim({"--model", "V212", "--function", "4", "--silent-to", "V?"});
    OpenSerial();
    ASSERT_EQ(connected, 1);
    const Lines received = sim_->Bytes();
    ASSERT_GE(received.size(), 8u);
    EXPECT_EQ(received[7], "F0\r\n");  // after V?, F5, FS, FO
}

TEST_F(OpenCloseTest, PortThatDoesNotExist) {
    ASSERT_FALSE(std::filesystem::exists("/dev/ttyS199"));
    StartSim({"--model", "V212"});  // links com1 only; the folder has no com200
    const Clock::time_point start = Clock::now();
    OpenSerial(200);
    EXPECT_GE(SecondsSince(start), 0.5);  // the close still waits before the port closes
    ExpectClosedAfterWarning("Warning", "Could not open serial port.");
    EXPECT_TRUE(sim_->Bytes().empty());

    // The operator picks the right port and the open works.
    messages_.clear();
    OpenSerial(1);
    EXPECT_EQ(connected, 1);
    EXPECT_EQ(Int(COM), 1);
    EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(OpenCloseTest, PortThatDoesNotExistInCzech) {
    ShowFreshPanel(1);
    StartSim({"--model", "V212"});
    OpenSerial(200);
    ExpectClosedAfterWarning("Upozornění", "Nenalezen sériový port.");
}

TEST_F(OpenCloseTest, SilentDecade) {
    StartSim({"--model", "V212", "--silent"});
    OpenSerial();
    ExpectClosedAfterWarning("Warning", "Decade box not found!");
    EXPECT_EQ(sim_->Bytes(), kIdentity + Framed({":SYST:LOC"}, "\r\n"));
    EXPECT_EQ(serialNumber, 0);
    EXPECT_EQ(firmwareVersion, 0.0f);
}

TEST_F(OpenCloseTest, UnknownIdentityInBothLanguages) {
    for (const int lang : {3, 1}) {
        SCOPED_TRACE(lang);
        ShowFreshPanel(lang);
        messages_.clear();
        StartSim({"--idn", "ACME,X100,55,2.0"});
        OpenSerial();
        if (lang == 3) {
            ExpectClosedAfterWarning("Warning", "Decade box not found!");
        } else {
            ExpectClosedAfterWarning("Upozornění", "Dekáda nenalezena.");
        }
        // The unknown device is handed back to local, framed as for no model.
        EXPECT_EQ(sim_->Bytes(), kIdentity + Framed({":SYST:LOC"}, "\r\n"));
    }
    // A known decade on the same port opens afterwards.
    messages_.clear();
    StartSim({"--model", "V211"});
    OpenSerial();
    EXPECT_EQ(connected, 1);
    EXPECT_EQ(decadeModel, 6);
}

TEST_F(OpenCloseTest, LinkDroppedDuringTheFirstRefresh) {
    for (const int lang : {3, 1}) {
        SCOPED_TRACE(lang);
        ShowFreshPanel(lang);
        messages_.clear();
        // Seven exchanges answered (two identities, V?, the three probes and the
        // reselection), then the decade hangs up: the refresh gets nothing back.
        StartSim({"--model", "V212", "--drop-after", "7"});
        OpenSerial();
        if (lang == 3) {
            ExpectClosedAfterWarning("Warning", "Communication failed.");
        } else {
            ExpectClosedAfterWarning("Upozornění", "Komunikace selhala.");
        }
        EXPECT_TRUE(sim_->server().Dropped());
        EXPECT_EQ(sim_->Bytes(), kIdentity +
                                     Framed({":SYST:REM", "V?", "F5", "FS", "FO", "F0"}, "\r\n") +
                                     Lines{"<drop>"});
        EXPECT_FALSE(rs232::IsOpen(1));
    }
    messages_.clear();
    StartSim({"--model", "V212"});
    OpenSerial();
    EXPECT_EQ(connected, 1);
    EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(OpenCloseTest, RingChangedWhileOpenKeepsTheLink) {
    StartSim({"--model", "V212"});
    OpenSerial();
    ASSERT_EQ(connected, 1);
    ui::SetCtrlVal(panelHandle, RING, 1);
    ComTypeCB(panelHandle, RING, ui::EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_TRUE(W(NUM_ADR)->isVisible());
    EXPECT_FALSE(W(SERIAL)->isVisible());
    sim_->ClearTranscript();
    ClickCom();  // closes the serial link it opened, not a GPIB one
    EXPECT_EQ(sim_->Bytes(), Framed({":SYST:LOC"}, "\r\n"));
    EXPECT_EQ(connected, 0);
}

// An open while a link is still open first closes that link on its own port.
TEST_F(OpenCloseTest, OpenWhileOpenClosesTheOldPortFirst) {
    StartSim({"--model", "V212"});
    OpenSerial();
    ASSERT_EQ(connected, 1);
    sim_->ClearTranscript();
    ui::SetCtrlVal(panelHandle, SERIAL, 200);
    EXPECT_EQ(OpenCommunic(), 0);
    EXPECT_EQ(sim_->Bytes(), Framed({":SYST:LOC"}, "\r\n"));
    EXPECT_FALSE(rs232::IsOpen(1));
    ExpectClosedAfterWarning("Warning", "Could not open serial port.");
}

TEST_F(OpenCloseTest, ExitClosesAnOpenLink) {
    StartSim({"--model", "V151"});
    OpenSerial();
    ASSERT_EQ(connected, 1);
    sim_->ClearTranscript();
    QTest::mouseClick(W(END), Qt::LeftButton);
    EXPECT_EQ(sim_->Bytes(), Framed({"L1"}, "\r\n"));
    EXPECT_EQ(connected, 0);
}

}  // namespace
