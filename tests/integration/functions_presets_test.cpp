// What the catalogue and the preset labels ask a simulated decade: the selected preset, the
// unit of a user function, the preset names, and the FUNCTION ring items they end up in.
#include <gtest/gtest.h>

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "app/panel.h"
#include "app/shared_state.h"
#include "app/catalogue.h"
#include "app/presets.h"
#include "link/communic.h"
#include "app/open_close.h"
#include "platform/rs232.h"
#include "toolkit/ui.h"
#include "support/link_fixture.h"

namespace {

class PresetsTest : public SimLinkTest {
  protected:
    void Send(const std::string& command) {
        std::string unused;
        Communic(1, command, unused);
    }
};

TEST_F(PresetsTest, SelectedPresetAskedForItsCharacter) {
    const Lines presets = {"--user-presets", "A,B,C,D,E", "--timing-presets", "T1,T2,T3"};
    Lines args = {"--model", "V210"};
    args.insert(args.end(), presets.begin(), presets.end());
    Open(args, 1);
    Send("UFUN:CURV:SEL 5");
    Send("TIM:SEL 2");
    Received();
    EXPECT_EQ(CommandToFunction('7'), 1004);
    EXPECT_EQ(Received(), Lines{"UFUN:CURV:SEL?"});
    EXPECT_EQ(CommandToFunction('8'), 2001);
    EXPECT_EQ(Received(), Lines{"TIM:SEL?"});

    // Class 7 asks for the timing preset on '1'.
    args[1] = "V090";
    Open(args, 7);
    Send("TIM:SEL 3");
    Received();
    EXPECT_EQ(CommandToFunction('1'), 2002);
    EXPECT_EQ(Received(), Lines{"TIM:SEL?"});
    EXPECT_EQ(CommandToFunction('7'), 0);
    EXPECT_EQ(Received(), Lines{});

    // Class 6 knows no presets and asks nothing.
    Open({"--model", "V211"}, 6);
    EXPECT_EQ(CommandToFunction('7'), 0);
    EXPECT_EQ(CommandToFunction('8'), 0);
    EXPECT_EQ(Received(), Lines{});
}

TEST_F(PresetsTest, PresetReplyWithoutAPresetNumberGivesZero) {
    // Junk instead of a number; no reply at all; "0" from a decade without presets.
    const std::vector<Lines> decades = {
        {"--model", "V212", "--user-presets", "A", "--garbage", "--fault-commands", "UFUN*"},
        {"--model", "V212", "--user-presets", "A", "--silent-to", "UFUN:CURV:SEL?"},
        {"--model", "V212"},
    };
    for (const Lines& args : decades) {
        Open(args, 2);
        if (HasFatalFailure()) return;
        EXPECT_EQ(CommandToFunction('7'), 0) << args[2];
        EXPECT_EQ(Received(), Lines{"UFUN:CURV:SEL?"});
    }
}

TEST_F(PresetsTest, UserFunctionUnitFromTheDecade) {
    struct Case {
        Lines args;
        int modelClass;
        int code;
        const char* query;
        const char* unit;
    };
    const Lines v330 = {"--model", "V330A", "--user-presets", "A,B", "--user-units", "{C,^"};
    Lines v330New = v330;
    v330New.insert(v330New.end(), {"--firmware", "1.030"});
    const Lines v212 = {"--model", "V212", "--user-presets", "A"};
    auto v212With = [&](const Lines& more) {
        Lines args = v212;
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {v330, 3, 1001, "UFUN:CURV:PRES2:UNIT?", "Ohm"},
        {v330, 3, 1000, "UFUN:CURV:PRES1:UNIT?", "°C"},
        // Newer firmware asks for the selected preset (the first one here).
        {v330New, 3, 1001, "UFUN:CURV:PRES:UNIT?", "°C"},
        // At most eight characters behind the opening quote.
        {v212With({"--user-units", "kg/m{ABCDEF"}), 2, 1000, "UFUN:CURV:PRES1:UNIT?", "kg/m°ABC"},
        {v212With({"--user-units", "^^^^^^^^^"}), 2, 1000, "UFUN:CURV:PRES1:UNIT?",
         "OhmOhmOhmOhmOhmOhmOhmOhm"},
        // A reply without quotes ("Err") loses its first character.
        {v212With({"--refuse", "UFUN*"}), 2, 1000, "UFUN:CURV:PRES1:UNIT?", "rr"},
        // A reply cut by a NUL byte ends there.
        {v212With({"--nul-bytes", "--fault-commands", "UFUN*"}), 2, 1000,
         "UFUN:CURV:PRES1:UNIT?", "°"},
    };
    // clang-format on
    for (const Case& c : cases) {
        Open(c.args, c.modelClass);
        if (HasFatalFailure()) return;
        newFirmware = c.query == std::string("UFUN:CURV:PRES:UNIT?") ? 1 : 0;
        std::string unit = "stale";
        GetFunctionUnit(c.code, 1, unit);
        EXPECT_EQ(unit, c.unit) << c.query;
        EXPECT_EQ(Received(), Lines{c.query});
    }
}

TEST_F(PresetsTest, PresetLabelsByKindFirmwareAndLanguage) {
    Open({"--model", "V330A", "--user-presets", "Alpha,Beta", "--timing-presets", "T1,T2,T3,T4,T5"},
         3);
    struct Case {
        int lang;
        int kind;
        int index;
        int newFirmware;
        Lines lines;
        std::string label;
    };
    const std::vector<Case> cases = {
        {3, 0, 0, 0, {"UFUN:CURV:PRES1:NAME?"}, "User function \"Alpha\"\r"},
        {1, 0, 1, 0, {"UFUN:CURV:PRES2:NAME?"}, "Uživatelská funkce \"Beta\"\r"},
        {3, 1, 1, 0, {"TIM:PRES2:NAME?"}, "Timing \"T2\"\r"},
        {1, 1, 4, 1, {"TIM:SEL 5", "TIM:PRES:NAME?"}, "Časování \"T5\"\r"},
        {2, 0, 1, 1, {"UFUN:CURV:SEL 2", "UFUN:CURV:PRES:NAME?"}, "Uživatelská funkce \"Beta\"\r"},
        {3, 2, 0, 0, {}, "caller's text"},
        {3, -1, 0, 1, {}, "caller's text"},
    };
    for (const Case& c : cases) {
        language = c.lang;
        newFirmware = c.newFirmware;
        std::string label = "caller's text";
        GetPresetName(c.kind, c.index, label);
        EXPECT_EQ(label, c.label);
        EXPECT_EQ(Received(), c.lines) << c.label;
    }
}

TEST_F(PresetsTest, FiftyCharacterNameFillsTheLabel) {
    // 48 letters in quotes: the reply is cut at its 50 bytes, before the line end.
    const std::string name(48, 'N');
    Open({"--model", "V212", "--user-presets", name}, 2);
    for (const auto& [lang, characters] : {std::pair{3, 64}, std::pair{1, 69}}) {
        language = lang;
        std::string label;
        GetPresetName(0, 0, label);
        EXPECT_EQ(QString::fromStdString(label).size(), characters);
        EXPECT_EQ(label.substr(label.size() - 50), "\"" + name + "\"");
        Received();
    }
}

TEST_F(PresetsTest, RingItemsAppendedInOrder) {
    LoadMainPanelForTest(3);
    decadeModel = 4;
    ui::ClearListCtrl(panelHandle, FUNCTION);
    InsertFunction(1);
    InsertFunctionName(1002, "User function \"x\"");
    language = 1;
    InsertFunction(7);

    int count = 0;
    ui::GetNumListItems(panelHandle, FUNCTION, &count);
    ASSERT_EQ(count, 3);
    const std::pair<std::string, int> expected[] = {
        {"Capacitance", 1}, {"User function \"x\"", 1002}, {"Nikl", 7}};
    for (int i = 0; i < count; ++i) {
        std::string label;
        int value = -1;
        ui::GetLabelFromIndex(panelHandle, FUNCTION, i, &label);
        ui::GetValueFromIndex(panelHandle, FUNCTION, i, &value);
        EXPECT_EQ(label, expected[i].first);
        EXPECT_EQ(value, expected[i].second);
    }
}

}  // namespace

// The FUNCTION items of presets whose names come with CR LF (or a lone CR) behind them, in
// the numbered and the select-then-ask query forms: the item ends with the name as sent.
class PresetRingTest : public PanelLinkTest {};

TEST_F(PresetRingTest, RingLabelsLoseTheReplyLineEnd) {
    struct Case {
        int lang;
        const char* firmware;
        const char* lineEnd;
        Items presets;
    };
    // clang-format off
    const Case cases[] = {
        {3, "1.000", "", {{1000, "User function \"Pt copy\""}, {1001, "User function \" B \""},
                          {2000, "Timing \"Ramp\""}}},
        {1, "1.030", "", {{1000, "Uživatelská funkce \"Pt copy\""},
                          {1001, "Uživatelská funkce \" B \""}, {2000, "Časování \"Ramp\""}}},
        {3, "1.030", "--line-end cr --fault-commands 'UFUN:CURV:PRES*,TIM:PRES*'",
                         {{1000, "User function \"Pt copy\""}, {1001, "User function \" B \""},
                          {2000, "Timing \"Ramp\""}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.firmware) + " " + c.lineEnd);
        ShowFreshPanel(c.lang);
        StartSim(Args(std::string("--model V330A --user-presets 'Pt copy, B ' ") +
                      "--timing-presets Ramp --firmware " + c.firmware + " " + c.lineEnd));
        ASSERT_TRUE(sim_->ok());
        OpenSerial(1);
        ASSERT_EQ(connected, 1) << messages_.Texts();
        Items presets;
        for (const auto& item : RingItems(FUNCTION)) {
            if (item.first >= 1000) presets.push_back(item);
        }
        EXPECT_EQ(presets, c.presets);
        CloseCommunic();
    }
}
