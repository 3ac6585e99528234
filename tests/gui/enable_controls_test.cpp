// Control enabling on the real panel: for every model class and the functions that change
// the picture, which controls are shown, dimmed, labelled and where the relay column
// stands, with the link open and closed, in each language; and for every class of the
// profile table, opened on the simulator, that the panel shows what the class offers.
#include "app/enable_controls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/panel.h"
#include "app/shared_state.h"
#include "decade/identity.h"
#include "support/link_fixture.h"
#include "support/panel_fixture.h"
#include "toolkit/ui.h"

namespace {

// Controls whose visibility and dimming the enabling decides, in the order of the
// expectation strings below: 'o' shown and operable, 'd' shown and dimmed, '-' hidden.
constexpr int kControls[] = {VALUE,         THRESHOLD,  UNIT,       RNULA,
                             RING_STANDARD, RING_SCALE, CMD_OUTPUT, LED_OUTPUT,
                             CMD_SHORT,     LED_SHORT,  CMD_GND,    LED_GND};
constexpr const char* kNames[] = {"VALUE",         "THRESHOLD",  "UNIT",       "RNULA",
                                  "RING_STANDARD", "RING_SCALE", "CMD_OUTPUT", "LED_OUTPUT",
                                  "CMD_SHORT",     "LED_SHORT",  "CMD_GND",    "LED_GND"};

// Places of the relay column, (top, left) for CMD_OUTPUT, LED_OUTPUT, CMD_SHORT,
// LED_SHORT, CMD_GND and LED_GND; -1 where a class leaves the place as it was.
struct Place {
    int top;
    int left;
};
using Layout = Place[6];
constexpr int kRelays[] = {CMD_OUTPUT, LED_OUTPUT, CMD_SHORT, LED_SHORT, CMD_GND, LED_GND};
// clang-format off
constexpr Layout kColumn12 = {{179, 543}, {158, 573}, { 59, 543}, { 38, 573}, { 59, 543}, { 38, 573}};
constexpr Layout kRow3     = {{169, 473}, {148, 503}, {169, 593}, {148, 623}, { 59, 543}, { 38, 573}};
constexpr Layout kRun3     = {{169, 543}, {148, 573}, { 59, 543}, { 38, 573}, { 59, 543}, { 38, 573}};
constexpr Layout kColumn45 = {{139, 543}, {118, 573}, { 59, 543}, { 38, 573}, { 59, 543}, { 38, 573}};
constexpr Layout kStack7   = {{179, 543}, {158, 573}, {109, 543}, { 88, 573}, { 39, 543}, { 18, 573}};
constexpr Layout kReset    = {{ -1, 543}, { -1, 573}, { 59, 543}, { 38, 573}, { 59, 543}, { 38, 573}};
// clang-format on

struct Row {
    const char* name;
    int model;
    int f;
    int standard;   // RING_STANDARD value
    int threshold;  // thresholdAvailable
    int connected;
    int language;
    const char* shown;        // one letter per entry of kControls, blanks between groups
    int arrows;               // 1 shown, 0 hidden, -1 left as it was
    const char* outputLabel;  // nullptr: not decided
    const Layout* layout;
};

// Summarises every branch: resistance decades with and without threshold, the capacitance
// decades, the sensor decade with both standards, the stacked relay column of class 7.
// Letters in groups: VALUE THRESHOLD UNIT RNULA, the two temperature rings, output and
// short pairs, ground pair.
// clang-format off
const Row kRows[] = {
    // name          model  FUNCTION, standard, threshold, connected, language, shown,
    //                                                                arrows, label, layout
    {"c1 resistance",      1,    1, 0, 0, 1, 3, "o-dd -- ---- --",  0, "Run",     &kColumn12},
    {"c1 Pt385(90)",       1,    3, 0, 0, 1, 3, "o-oo -- ---- --",  0, "Run",     &kColumn12},
    {"c1 open",            1,    8, 0, 0, 1, 3, "d-dd -- ---- --",  0, "Run",     &kColumn12},
    {"c1 timing",          1, 2001, 0, 0, 1, 3, "d-dd -- o--- --",  0, "Run",     &kColumn12},
    {"c2 resistance thr",  2,    1, 0, 1, 1, 3, "oodd -- ---- --",  0, "Run",     &kColumn12},
    {"c2 nickel thr",      2,    7, 0, 1, 1, 3, "oooo -- ---- --",  0, "Run",     &kColumn12},
    {"c2 short thr",       2,    9, 0, 1, 1, 3, "dddd -- ---- --",  0, "Run",     &kColumn12},
    {"c2 timing thr",      2, 2000, 0, 1, 1, 3, "dddd -- o--- --",  0, "Run",     &kColumn12},
    {"c2 user fn thr",     2, 1000, 0, 1, 1, 3, "oodd -- ---- --",  0, "Run",     &kColumn12},
    {"c2 no thr",          2,    1, 0, 0, 1, 3, "o-dd -- ---- --",  0, "Run",     &kColumn12},
    {"c2 closed",          2,    1, 0, 1, 0, 3, "dddd -- ---- --",  0, "Run",     &kColumn12},
    {"c2 closed sensor",   2,    4, 0, 1, 0, 3, "dddd -- ---- --",  0, "Run",     &kColumn12},
    {"c3 resistance",      3,    1, 0, 0, 1, 3, "o-dd -- oooo --",  0, "Output",  &kRow3},
    {"c3 Pt385(68)",       3,    2, 0, 0, 1, 3, "o-oo -- oooo --",  0, "Output",  &kRow3},
    {"c3 user fn",         3, 1003, 0, 0, 1, 3, "o-dd -- oooo --",  0, "Output",  &kRow3},
    {"c3 timing",          3, 2000, 0, 0, 1, 3, "d-dd -- o--- --",  0, "Run",     &kRun3},
    {"c3 closed",          3,    6, 0, 0, 0, 3, "d-dd -- oooo --",  0, "Output",  &kRow3},
    {"c4 capacitance",     4,    1, 0, 0, 1, 3, "o--- -- oo-- oo",  1, "Output",  &kColumn45},
    {"c4 user fn",         4, 1001, 0, 0, 1, 3, "o--- -- oo-- oo",  1, "Output",  &kColumn45},
    {"c4 timing",          4, 2002, 0, 0, 1, 3, "d--- -- o--- oo",  1, "Run",     &kColumn45},
    {"c4 open",            4,    8, 0, 0, 1, 3, "d--- -- oo-- oo",  1, "Run",     &kColumn45},
    {"c4 closed",          4,    1, 0, 0, 0, 3, "d--- -- oo-- oo",  1, "Output",  &kColumn45},
    {"c5 capacitance",     5,    1, 0, 0, 1, 3, "o--- -- oo-- oo",  1, "Output",  &kColumn45},
    {"c5 closed",          5,    1, 0, 0, 0, 3, "d--- -- oo-- oo",  1, "Output",  &kColumn45},
    {"c6 Pt100 IEC",       6, 3000, 0, 0, 1, 3, "o--- oo ---- --",  0, nullptr,   &kReset},
    {"c6 Pt1000 US",       6, 3003, 1, 0, 1, 3, "o--- od ---- --",  0, nullptr,   &kReset},
    {"c6 Ni100",           6, 3004, 0, 0, 1, 3, "o--- dd ---- --",  0, nullptr,   &kReset},
    {"c6 Ni1000",          6, 3005, 0, 0, 1, 3, "o--- dd ---- --",  0, nullptr,   &kReset},
    {"c6 short",           6,    9, 0, 0, 1, 3, "d--- dd ---- --",  0, nullptr,   &kReset},
    {"c6 open",            6,    8, 0, 0, 1, 3, "d--- dd ---- --",  0, nullptr,   &kReset},
    {"c6 closed",          6, 3000, 0, 0, 0, 3, "d--- dd ---- --",  0, nullptr,   &kReset},
    {"c7 resistance",      7,    1, 0, 0, 1, 3, "o--- -- oooo oo",  1, "Output",  &kStack7},
    {"c7 timing",          7, 2000, 0, 0, 1, 3, "d--- -- o-oo oo",  1, "Run",     &kStack7},
    {"c7 short",           7,    9, 0, 0, 1, 3, "d--- -- o-oo oo",  1, "Run",     &kStack7},
    {"c7 closed",          7,    1, 0, 0, 0, 3, "d--- -- oooo oo",  1, "Output",  &kStack7},
    {"c0 after close",     0,    1, 0, 1, 0, 3, "d--- -- ---- --", -1, nullptr,   &kReset},
    {"model 8 as c1",      8,    1, 0, 1, 1, 3, "oodd -- ---- --",  0, "Run",     &kColumn12},
    {"model -1 as c1",    -1, 2000, 0, 0, 1, 3, "d-dd -- o--- --",  0, "Run",     &kColumn12},
    {"language 2",         3,    1, 0, 0, 1, 2, "o-dd -- oooo --",  0, "Output",  &kRow3},
    {"language 2 run",     7,    9, 0, 0, 1, 2, "d--- -- o-oo oo",  1, "Run",     &kStack7},
    {"Czech output",       3,    1, 0, 0, 1, 1, "o-dd -- oooo --",  0, "Výstup",  &kRow3},
    {"Czech run",          4, 2000, 0, 0, 1, 1, "d--- -- o--- oo",  1, "Spustit", &kColumn45},
};
// clang-format on

// Puts every decided attribute in the given state, so that a step the enabling forgets
// shows up whichever way the control happened to be.
void Scramble(int polarity) {
    for (int control : kControls) {
        // VALUE is always shown; only its dimming is decided.
        if (control != VALUE)
            ui::SetCtrlAttribute(panelHandle, control, ui::ATTR_VISIBLE, polarity);
        ui::SetCtrlAttribute(panelHandle, control, ui::ATTR_TOP, 7);
        ui::SetCtrlAttribute(panelHandle, control, ui::ATTR_LEFT, 7);
    }
    for (int control : {VALUE, THRESHOLD, UNIT, RNULA, RING_STANDARD, RING_SCALE, FUNCTION, NUM_ADR,
                        RATE, SERIAL, RING}) {
        ui::SetCtrlAttribute(panelHandle, control, ui::ATTR_DIMMED, polarity);
    }
    ui::SetCtrlAttribute(panelHandle, VALUE, ui::ATTR_SHOW_INCDEC_ARROWS, polarity);
    ui::SetCtrlAttribute(panelHandle, CMD_OUTPUT, ui::ATTR_LABEL_TEXT, std::string("?"));
}

class EnableControlsTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_GE(LoadMainPanelForTest(), 0); }
};

TEST_F(EnableControlsTest, ResultingStateForEveryClassAndFunction) {
    for (const Row& row : kRows) {
        for (int polarity : {0, 1}) {
            SCOPED_TRACE(std::string(row.name) + (polarity ? " (from all shown)" : ""));
            ui::ClearListCtrl(panelHandle, FUNCTION);
            ui::InsertListItem(panelHandle, FUNCTION, -1, "f", row.f);
            ui::SetCtrlVal(panelHandle, FUNCTION, row.f);
            ui::SetCtrlVal(panelHandle, RING_STANDARD, row.standard);
            decadeModel = row.model;
            thresholdAvailable = row.threshold;
            connected = row.connected;
            language = row.language;
            Scramble(polarity);

            EnableControls();

            std::string want(row.shown);
            std::erase(want, ' ');
            ASSERT_EQ(want.size(), std::size(kControls));
            for (std::size_t i = 0; i < want.size(); ++i) {
                SCOPED_TRACE(kNames[i]);
                EXPECT_EQ(Attr(kControls[i], ui::ATTR_VISIBLE), want[i] == '-' ? 0 : 1);
                if (want[i] != '-') {
                    EXPECT_EQ(Attr(kControls[i], ui::ATTR_DIMMED), want[i] == 'd' ? 1 : 0);
                }
            }
            const int closed = row.connected ? 0 : 1;
            EXPECT_EQ(Attr(FUNCTION, ui::ATTR_DIMMED), closed);
            for (int control : {NUM_ADR, RATE, SERIAL, RING}) {
                EXPECT_EQ(Attr(control, ui::ATTR_DIMMED), 1 - closed) << control;
            }
            if (row.arrows >= 0) {
                EXPECT_EQ(Attr(VALUE, ui::ATTR_SHOW_INCDEC_ARROWS), row.arrows);
            } else {
                EXPECT_EQ(Attr(VALUE, ui::ATTR_SHOW_INCDEC_ARROWS), polarity);
            }
            std::string label;
            ui::GetCtrlAttribute(panelHandle, CMD_OUTPUT, ui::ATTR_LABEL_TEXT, &label);
            EXPECT_EQ(label, row.outputLabel ? row.outputLabel : "?");
            for (std::size_t i = 0; i < std::size(kRelays); ++i) {
                const Place& place = (*row.layout)[i];
                SCOPED_TRACE("relay " + std::to_string(kRelays[i]));
                EXPECT_EQ(Attr(kRelays[i], ui::ATTR_TOP), place.top == -1 ? 7 : place.top);
                // CMD_GND and LED_GND are never moved sideways.
                const bool ground = kRelays[i] == CMD_GND || kRelays[i] == LED_GND;
                EXPECT_EQ(Attr(kRelays[i], ui::ATTR_LEFT), ground ? 7 : place.left);
            }
        }
    }
}

// After a class 3 picture, a close (class 0, no link) hides every optional control again
// and makes the interface controls operable.
TEST_F(EnableControlsTest, CloseAfterClass3HidesEverything) {
    ui::ClearListCtrl(panelHandle, FUNCTION);
    ui::InsertListItem(panelHandle, FUNCTION, -1, "f", 1);
    ui::SetCtrlVal(panelHandle, FUNCTION, 1);
    decadeModel = 3;
    connected = 1;
    EnableControls();
    ASSERT_EQ(Attr(CMD_SHORT, ui::ATTR_VISIBLE), 1);
    ASSERT_EQ(Attr(CMD_OUTPUT, ui::ATTR_LEFT), 473);

    decadeModel = 0;
    connected = 0;
    EnableControls();
    for (int control : kControls) {
        if (control == VALUE) continue;
        EXPECT_EQ(Attr(control, ui::ATTR_VISIBLE), 0) << control;
    }
    EXPECT_EQ(Attr(VALUE, ui::ATTR_DIMMED), 1);
    EXPECT_EQ(Attr(FUNCTION, ui::ATTR_DIMMED), 1);
    EXPECT_EQ(Attr(CMD_OUTPUT, ui::ATTR_LEFT), 543);
    EXPECT_EQ(Attr(CMD_SHORT, ui::ATTR_LEFT), 543);
    EXPECT_EQ(Attr(LED_SHORT, ui::ATTR_LEFT), 573);
    EXPECT_EQ(Attr(LED_OUTPUT, ui::ATTR_LEFT), 573);
    for (int control : {NUM_ADR, RATE, SERIAL, RING}) {
        EXPECT_EQ(Attr(control, ui::ATTR_DIMMED), 0) << control;
    }
}

// What each class offers, as its profile row says and as the session tells ombrastel-ctl,
// is what its panel shows once it is open: one loop over every class of the profile
// table, each opened on the simulator by the first identity token of its class.
class CapabilityTest : public PanelLinkTest {};

TEST_F(CapabilityTest, EachClassShowsWhatItsProfileOffers) {
    using decade::SettingKind;
    const std::pair<SettingKind, std::vector<int>> controlsOf[] = {
        {SettingKind::Unit, {UNIT}},
        {SettingKind::R0, {RNULA}},
        {SettingKind::Threshold, {THRESHOLD}},
        {SettingKind::Standard, {RING_STANDARD}},
        {SettingKind::Scale, {RING_SCALE}},
        {SettingKind::Output, {CMD_OUTPUT, LED_OUTPUT}},
        {SettingKind::Short, {CMD_SHORT, LED_SHORT}},
        {SettingKind::Ground, {CMD_GND, LED_GND}},
    };
    const auto classes = decade::Profiles();
    ASSERT_GT(classes.size(), 1u);
    for (std::size_t model = 1; model < classes.size(); ++model) {
        const auto token =
            std::find_if(kModelTokens.begin(), kModelTokens.end(),
                         [&](const ModelToken& t) { return t.index == static_cast<int>(model); });
        ASSERT_NE(token, kModelTokens.end()) << "class " << model << " has no identity token";
        SCOPED_TRACE(std::string(token->token));
        ShowFreshPanel(3);
        StartSim({"--model", std::string(token->token)});
        OpenSerial();
        ASSERT_EQ(connected, 1) << messages_.Texts();
        ASSERT_EQ(decadeModel, static_cast<int>(model));
        for (const auto& [kind, controls] : controlsOf) {
            for (int control : controls) {
                EXPECT_EQ(Attr(control, ui::ATTR_VISIBLE), panelSession.Offers(kind) ? 1 : 0)
                    << "control " << control;
            }
        }
        bool kelvin = false;
        for (const auto& item : RingItems(UNIT)) kelvin = kelvin || item.second == "K";
        EXPECT_EQ(kelvin, classes[model].kelvin);
        // The basic function's value can be set in every class.
        EXPECT_EQ(Attr(VALUE, ui::ATTR_DIMMED), 0);
        EXPECT_EQ(Attr(VALUE, ui::ATTR_SHOW_INCDEC_ARROWS), classes[model].valueArrows ? 1 : 0);
        ClickCom();
        ASSERT_EQ(connected, 0);
    }
}

}  // namespace
