// Selecting functions on a simulated decade over the real serial layer: the exact lines on
// the wire for each dialect, the results, and the refusal box.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/shared_state.h"
#include "app/selection.h"
#include "link/communic.h"
#include "platform/rs232.h"
#include "support/link_fixture.h"

namespace {

class SelectionTest : public SimLinkTest {
  protected:
    void Open(const std::vector<std::string>& args, int model) {
        ResetSharedState();
        SimLinkTest::Open(args, model);
    }
    Lines Received() { return SimLinkTest::Received(true); }
};

struct SelectionCase {
    int code;
    std::vector<std::string> lines;  // without line ends
    int result;
};

struct ClassCase {
    const char* name;
    std::vector<std::string> args;
    int model;
    std::vector<SelectionCase> selections;
};

const std::vector<std::string> kPresets = {"--user-presets", "U1,U2,U3", "--timing-presets",
                                           "T1,T2,T3,T4,T5"};

std::vector<std::string> With(std::vector<std::string> args, const char* model) {
    args.insert(args.begin(), {"--model", model});
    return args;
}

// The simulator's power-on values: 100 ohm (engineering form), 0 degrees for the sensors.
// clang-format off
const std::vector<ClassCase>& ClassCases() {
    static const std::vector<ClassCase> cases = {
        {"V210 (class 1)", With(kPresets, "V210"), 1,
         {{1, {"F0"}, 1}, {2, {"F1"}, 1}, {3, {"F2"}, 1}, {4, {"F3"}, 1}, {5, {"F6"}, 1},
          {6, {"F5"}, 1}, {7, {"F4"}, 1}, {8, {"FO"}, 1}, {9, {"FS"}, 1}, {3000, {"F1"}, 1},
          {1002, {"F7", "UFUN:CURV:SEL 3"}, 1}, {2004, {"F8", "TIM:SEL 5"}, 1}, {0, {""}, 0}}},
        {"V212 (class 2)", With(kPresets, "V212"), 2, {{5, {"F6"}, 1}, {6, {"F5"}, 1}}},
        {"V150 (class 4)", With(kPresets, "V150"), 4,
         {{1, {"F0"}, 1}, {2, {"F1"}, 0}, {1000, {"F7", "UFUN:CURV:SEL 1"}, 1}}},
        {"V211 (class 6)", {"--model", "V211"}, 6,
         {{3000, {"F1"}, 1}, {3001, {"F2"}, 1}, {3002, {"F3"}, 1}, {3003, {"F4"}, 1},
          {3004, {"F5"}, 1}, {3005, {"F6"}, 1}, {8, {"FO"}, 1}, {9, {"FS"}, 1},
          {1000, {"F7"}, 0}, {2000, {"F8"}, 0}}},
        {"V151 (class 5)", {"--model", "V151"}, 5,
         {{1, {}, 1}, {2, {}, 1}, {1000, {}, 1}, {2000, {}, 1}, {0, {}, 1}}},
        {"V330A (class 3)", With(kPresets, "V330A"), 3,
         {{1, {"RES?", "RES 100.00E+00"}, 1},
          {2, {"PLAT?", "PLAT 0.0000E+00", "PLAT:STAN PT385A"}, 1},
          {3, {"PLAT?", "PLAT 0.0000E+00", "PLAT:STAN PT385B"}, 1},
          {4, {"PLAT?", "PLAT 0.0000E+00", "PLAT:STAN PT3916"}, 1},
          {5, {"PLAT?", "PLAT 0.0000E+00", "PLAT:STAN PT3926"}, 1},
          {6, {"PLAT?", "PLAT 0.0000E+00", "PLAT:STAN USER"}, 1},
          {7, {"NICK?", "NICK 0.0000E+00"}, 1},
          {8, {}, 1}, {9, {}, 1}, {0, {}, 1},
          {1002, {"UFUN:CURV:SEL 3"}, 1}, {2004, {"OUTP:SHOR 0", "TIM:SEL 5"}, 1}}},
        {"V090 (class 7)", With(kPresets, "V090"), 7,
         {{1, {"RES?", "RES 100.00E+00"}, 1}, {2, {}, 1}, {5, {}, 1}, {7, {}, 1}, {8, {}, 1},
          {9, {}, 1}, {1002, {"UFUN:CURV:SEL 3"}, 1}, {2004, {"TIM:SEL 5"}, 1}}},
    };
    return cases;
}
// clang-format on

TEST_F(SelectionTest, LinesOnTheWireByClassAndCode) {
    MessageRecorder boxes;
    for (const ClassCase& c : ClassCases()) {
        Open(c.args, c.model);
        if (HasFatalFailure()) return;
        const std::string lineEnd = (c.model == 3 || c.model == 4) ? "\n" : "\r\n";
        for (const SelectionCase& s : c.selections) {
            std::vector<std::string> expected;
            for (const std::string& line : s.lines) expected.push_back(line + lineEnd);
            EXPECT_EQ(SetFunction(s.code, 0), s.result) << c.name << " code " << s.code;
            EXPECT_EQ(Received(), expected) << c.name << " code " << s.code;
        }
    }
    EXPECT_TRUE(boxes.messages().empty());
}

TEST_F(SelectionTest, RefusalShowsTheBoxOnlyWhenReporting) {
    MessageRecorder boxes;
    Open({"--model", "V212", "--refuse", "FS"}, 2);
    EXPECT_EQ(SetFunction(9, 0), 0);
    EXPECT_TRUE(boxes.messages().empty());

    EXPECT_EQ(SetFunction(9, 1), 0);
    EXPECT_EQ(boxes.messages(),
              (std::vector<MessageRecorder::Message>{{"Warning", "Could not set value!"}}));

    // A preset refused by its short command is not selected afterwards.
    boxes.clear();
    language = 1;
    EXPECT_EQ(SetFunction(1000, 1), 0);
    EXPECT_EQ(Received(), (std::vector<std::string>{"FS\r\n", "FS\r\n", "F7\r\n"}));
    EXPECT_EQ(boxes.messages(),
              (std::vector<MessageRecorder::Message>{{"Upozornění", "Hodnotu nelze nastavit!"}}));
}

TEST_F(SelectionTest, CutOrMissingAcknowledgementIsRefusal) {
    MessageRecorder boxes;
    // A reply cut to its first letter ("O" of "Ok") and a silent decade are refusals.
    Open({"--model", "V212", "--nul-bytes", "--fault-commands", "F1"}, 2);
    EXPECT_EQ(SetFunction(2, 0), 0);
    EXPECT_EQ(SetFunction(3, 0), 1);
    Open({"--model", "V212", "--silent-to", "F2"}, 2);
    EXPECT_EQ(SetFunction(3, 0), 0);
    EXPECT_EQ(SetFunction(2, 0), 1);
}

TEST_F(SelectionTest, NoExchangeIsNoAcknowledgement) {
    MessageRecorder boxes;
    Open({"--model", "V212"}, 2);
    connected = 0;  // the link closed under the caller
    EXPECT_EQ(SetFunction(1, 1), 0);
    EXPECT_EQ(boxes.messages().size(), 1u);
    connected = 1;
    EXPECT_EQ(Received(), std::vector<std::string>{});
}

TEST_F(SelectionTest, ReplySentBackOnlyWhenItIsAPlainValue) {
    MessageRecorder boxes;
    // Junk with a DEL byte in the value reply: the selecting command is withheld, and so is
    // the standard that would have followed it.
    Open(With({"--garbage", "--fault-commands", "PLAT?"}, "V330A"), 3);
    EXPECT_EQ(SetFunction(2, 1), 0);
    EXPECT_EQ(Received(), std::vector<std::string>{"PLAT?\n"});
    EXPECT_EQ(boxes.messages().size(), 1u);

    // A reply cut at 50 bytes would make a command longer than the link takes.
    boxes.clear();
    Open(With({"--long-replies", "--fault-commands", "RES?"}, "V090"), 7);
    EXPECT_EQ(SetFunction(1, 0), 0);
    EXPECT_EQ(Received(), std::vector<std::string>{"RES?\r\n"});
    EXPECT_TRUE(boxes.messages().empty());

    // A reply ended by CR alone goes back without it.
    Open(With({"--line-end", "cr", "--fault-commands", "NICK?"}, "V330A"), 3);
    EXPECT_EQ(SetFunction(7, 1), 1);
    EXPECT_EQ(Received(), (std::vector<std::string>{"NICK?\n", "NICK 0.0000E+00\n"}));
    EXPECT_TRUE(boxes.messages().empty());
}

}  // namespace
