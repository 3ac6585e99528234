// Values and switches sent to a simulated decade over the real serial layer: the number on
// the wire, the two ways of checking, and the refusal box in both languages.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/panel.h"
#include "app/shared_state.h"
#include "app/values.h"
#include "link/communic.h"
#include "platform/rs232.h"
#include "toolkit/ui.h"
#include "support/link_fixture.h"

namespace {

using Messages = std::vector<MessageRecorder::Message>;
const Messages kEnglishBox = {{"Warning", "Could not set value!"}};
const Messages kCzechBox = {{"Upozornění", "Hodnotu nelze nastavit!"}};

class ValuesTest : public SimLinkTest {
  protected:
    void SetUp() override { LoadMainPanelForTest(3); }
};

TEST_F(ValuesTest, NumberInPlainDecimalScaledByThePrefix) {
    MessageRecorder boxes;
    struct Case {
        const char* model;
        int modelClass;
        int exponent;
        double value;
        int scale;
        const char* line;
    };
    const Case cases[] = {
        {"V330A", 3, -3, 2.5, 1, "A 0.0025"},
        {"V330A", 3, 3, 2.5, 1, "A 2500"},
        {"V330A", 3, 3, 2.5, 0, "A 2.5"},
        {"V330A", 3, 0, 100.01, 1, "A 100.01"},
        {"V330A", 3, 6, 1.234567, 1, "A 1234567"},
        // A capacitance in farads keeps its digits instead of becoming 0.000000.
        {"V151", 5, -9, 470.0, 1, "A 0.00000047"},
        {"V151", 5, -12, 330.0, 1, "A 0.00000000033"},
    };
    for (const Case& c : cases) {
        Open({"--model", c.model}, c.modelClass);
        if (HasFatalFailure()) return;
        valueExponent = c.exponent;
        EXPECT_EQ(SetCalibratorValue(c.value, "A", c.scale, 0), 1) << c.line;
        EXPECT_EQ(Received(), std::vector<std::string>{c.line});
    }
    EXPECT_TRUE(boxes.messages().empty());
}

TEST_F(ValuesTest, ErrorQueueDecidesInThatMode) {
    MessageRecorder boxes;
    Open({"--model", "V090"}, 7);
    valueExponent = 3;
    EXPECT_EQ(SetCalibratorValue(2.5, "RES", 1, 1), 1);
    EXPECT_EQ(Received(), (std::vector<std::string>{"*CLS", "RES 2500", "SYST:ERR?"}));
    EXPECT_TRUE(boxes.messages().empty());

    // Out of range: the decade queues -222 and the value counts as refused.
    valueExponent = 6;
    EXPECT_EQ(SetCalibratorValue(200.0, "RES", 1, 1), 0);
    EXPECT_EQ(Received(), (std::vector<std::string>{"*CLS", "RES 200000000", "SYST:ERR?"}));
    EXPECT_EQ(boxes.messages(), kEnglishBox);

    boxes.clear();
    language = 1;
    EXPECT_EQ(SetCalibratorValue(200.0, "RES", 1, 1), 0);
    EXPECT_EQ(boxes.messages(), kCzechBox);
}

TEST_F(ValuesTest, ErrorReplyWithoutNumberIsRefusal) {
    MessageRecorder boxes;
    // Junk bytes, and no reply within the time-out.
    const std::vector<std::vector<std::string>> faults = {
        {"--model", "V090", "--garbage", "--fault-commands", "SYST:ERR?"},
        {"--model", "V090", "--silent-to", "SYST:ERR?"},
    };
    for (const std::vector<std::string>& args : faults) {
        Open(args, 7);
        if (HasFatalFailure()) return;
        EXPECT_EQ(SetCalibratorValue(50.0, "RES", 0, 1), 0) << args[2];
    }
    EXPECT_EQ(boxes.messages().size(), 2u);
}

TEST_F(ValuesTest, OkModeRefusals) {
    MessageRecorder boxes;
    // "Err", a reply cut to "O" by a NUL byte, and no reply at all.
    const std::vector<std::vector<std::string>> faults = {
        {"--refuse", "A*"},
        {"--nul-bytes", "--fault-commands", "A*"},
        {"--silent-to", "A*"},
    };
    for (const std::vector<std::string>& fault : faults) {
        std::vector<std::string> args = {"--model", "V212"};
        args.insert(args.end(), fault.begin(), fault.end());
        Open(args, 2);
        if (HasFatalFailure()) return;
        EXPECT_EQ(SetCalibratorValue(120.0, "A", 0, 0), 0) << fault.front();
        EXPECT_EQ(Received(), std::vector<std::string>{"A 120"});
    }
    EXPECT_EQ(boxes.messages().size(), 3u);
}

TEST_F(ValuesTest, NothingExchangedIsNoSuccess) {
    MessageRecorder boxes;
    Open({"--model", "V090"}, 7);
    connected = 0;
    EXPECT_EQ(SetCalibratorValue(2.5, "A", 0, 0), 0);
    EXPECT_EQ(SetCalibratorValue(2.5, "RES", 0, 1), 0);
    connected = 1;
    // A value command the link cannot take: the error queue must not vouch for it.
    const std::string longCommand(46, 'X');
    EXPECT_EQ(SetCalibratorValue(2.5, longCommand, 0, 1), 0);
    EXPECT_EQ(Received(), std::vector<std::string>{"*CLS"});
    EXPECT_EQ(boxes.messages().size(), 3u);
}

TEST_F(ValuesTest, SwitchSendsTheControlValue) {
    MessageRecorder boxes;
    Open({"--model", "V330A", "--refuse", "U0"}, 3);
    ui::SetCtrlVal(panelHandle, UNIT, 1);
    EXPECT_EQ(SetCalibratorSwitch(UNIT, "U", 0), 1);
    EXPECT_EQ(Received(), std::vector<std::string>{"U1"});
    EXPECT_TRUE(boxes.messages().empty());

    // Kind 1 sends the character with the control's code: 49 is '1'.
    ui::SetCtrlVal(panelHandle, THRESHOLD, 49);
    EXPECT_EQ(SetCalibratorSwitch(THRESHOLD, "U", 1), 1);
    EXPECT_EQ(Received(), std::vector<std::string>{"U1"});

    ui::SetCtrlVal(panelHandle, UNIT, 0);
    EXPECT_EQ(SetCalibratorSwitch(UNIT, "U", 0), 0);
    EXPECT_EQ(Received(), std::vector<std::string>{"U0"});
    EXPECT_EQ(boxes.messages(), kEnglishBox);

    // Code 0 as a character would end the line early: not sent.
    boxes.clear();
    EXPECT_EQ(SetCalibratorSwitch(UNIT, "U", 1), 0);
    EXPECT_EQ(Received(), std::vector<std::string>{});
    EXPECT_EQ(boxes.messages(), kEnglishBox);
}

}  // namespace
