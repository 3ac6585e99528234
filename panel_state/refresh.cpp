#include "panel_state/refresh.h"

#include <optional>
#include <string>

#include "app/panel.h"
#include "app/shared_state.h"
#include "decade/commands.h"
#include "decade/profiles.h"
#include "functions/catalogue.h"
#include "link/communic.h"
#include "panel_state/output_button.h"
#include "panel_state/value_reply.h"
#include "platform/text.h"
#include "platform/ui.h"

// Every read below takes what the reply holds and nothing more: a reply too short for a
// position, or without a number where one is read, leaves the control as it was, and the
// routine goes on with what that control shows.

namespace {

namespace cmd = decade::cmd;
using decade::fn::kBasic;

// One state query; false when it could not be sent.
bool Ask(std::string_view query, std::string& reply) {
    return Communic(0, std::string(query), reply) != 0;
}

int ShownInt(int control) {
    int value = 0;
    ui::GetCtrlVal(panelHandle, control, &value);
    return value;
}

// Sets an integer control from a number read out of the reply; returns what the control
// holds afterwards.
int SetIntFrom(int control, std::optional<int> read) {
    if (!read) return ShownInt(control);
    ui::SetCtrlVal(panelHandle, control, *read);
    return *read;
}

void Show(int control, int visible) {
    ui::SetCtrlAttribute(panelHandle, control, ui::ATTR_VISIBLE, visible);
}

// P1: the function the decade reports, from its function character.
int FunctionFrom(const std::string& reply, std::size_t pos) {
    const std::optional<char> c = value_reply::CharAt(reply, pos);
    if (!c) return ShownInt(FUNCTION);
    const int f = CommandToFunction(static_cast<unsigned char>(*c));
    ui::SetCtrlVal(panelHandle, FUNCTION, f);
    return f;
}

// P5 after P2/P3/class 5: VALUE with its decimals, prefix and unit, and valueExponent.
void ShowValue(const value_reply::ShownValue& value, int f, int unitIndex) {
    valueExponent = value.exponent;
    ui::SetCtrlAttribute(panelHandle, VALUE, ui::ATTR_PRECISION, value.decimals);
    std::string unitText;
    std::string prefixText;
    GetFunctionUnit(f, unitIndex, unitText);
    GetPrefixLabel(valueExponent, prefixText);
    ui::SetCtrlVal(panelHandle, VALUE, value.shown);
    const std::string label = OutputLabel() + " [" + prefixText + unitText + "]";
    ui::SetCtrlAttribute(panelHandle, VALUE, ui::ATTR_LABEL_TEXT, label);
}

// P4: R0 as a number, written back in the fixed form.
void ShowR0(const std::string& reply) {
    if (const std::optional<double> r0 = value_reply::FiniteDouble(reply)) {
        ui::SetCtrlVal(panelHandle, RNULA, text::FormatFixed(*r0));
    }
}

// "V?", "A?" and "R?": function and unit, the value in E-notation, R0. These come first
// on classes 0 to 3; false when a query could not be sent.
bool RefreshFunctionValueR0(std::string& reply, int& f) {
    if (!Ask(cmd::kStatus, reply)) return false;
    f = FunctionFrom(reply, 1);
    const int unitIndex = SetIntFrom(UNIT, value_reply::IntAt(reply, 3));
    if (!Ask(cmd::kValue, reply)) return false;
    if (const auto value = value_reply::ParseENotation(reply)) ShowValue(*value, f, unitIndex);
    if (!Ask(cmd::kR0, reply)) return false;
    ShowR0(reply);
    return true;
}

// Classes 0, 1, 2 and any model index the program does not know.
int RefreshResistanceDecade(std::string& reply) {
    int f = 0;
    if (!RefreshFunctionValueR0(reply, f)) return 0;
    if (thresholdAvailable == 0) return 1;
    if (!Ask(cmd::kThreshold, reply)) return 0;
    SetIntFrom(THRESHOLD, value_reply::IntAt(reply, 0));
    return 1;
}

int RefreshClass3(std::string& reply) {
    int f = 0;
    if (!RefreshFunctionValueR0(reply, f)) return 0;
    if (!Ask(cmd::kOutput, reply)) return 0;
    SetIntFrom(LED_OUTPUT, value_reply::IntAt(reply, 0));
    if (!Ask(cmd::kShort, reply)) return 0;
    SetIntFrom(LED_SHORT, value_reply::IntAt(reply, 0));
    // A timing preset runs a program: only the run button; otherwise output and short.
    const bool timing = IsTimingPreset(f);
    ui::SetCtrlAttribute(panelHandle, CMD_OUTPUT, ui::ATTR_LABEL_TEXT,
                         timing ? RunLabel() : OutputLabel());
    for (int control : {LED_OUTPUT, LED_SHORT, CMD_SHORT}) Show(control, timing ? 0 : 1);
    ui::SetCtrlAttribute(panelHandle, CMD_OUTPUT, ui::ATTR_LEFT,
                         timing ? kRelayLeft : kClass3OutputLeft);
    return 1;
}

// The characters "F?" reports the basic function and a user function with.
constexpr char kBasicCharacter = '0';
constexpr char kUserFunctionCharacter = '7';

int RefreshClass4(std::string& reply) {
    if (!Ask(cmd::kFunction, reply)) return 0;
    const std::optional<char> c = value_reply::CharAt(reply, 0);
    const int f = FunctionFrom(reply, 0);
    reply.clear();
    if (c == kUserFunctionCharacter) {
        if (!Ask(cmd::kUserFunctionDisplay, reply)) return 0;
    } else if (c == kBasicCharacter) {
        if (!Ask(cmd::kCapacitanceDisplay, reply)) return 0;
    }
    if (!reply.empty()) {
        if (const auto value = value_reply::ParseDisplayText(reply)) ShowValue(*value, f, 0);
    }
    if (!Ask(cmd::kOutput, reply)) return 0;
    SetIntFrom(LED_OUTPUT, value_reply::IntAt(reply, 0));
    if (!Ask(cmd::kStatus, reply)) return 0;
    SetIntFrom(LED_GND, value_reply::IntAt(reply, 1));
    return 1;
}

int RefreshClass5(std::string& reply) {
    reply.clear();
    if (!Ask(cmd::kValue, reply)) return 0;
    if (!reply.empty()) {
        double shown = 0.0;
        ui::GetCtrlVal(panelHandle, VALUE, &shown);
        if (const auto value = value_reply::ParseCapacitance(reply, shown, valueExponent)) {
            ui::SetCtrlVal(panelHandle, LED_OUTPUT, value->outputOn ? 1 : 0);
            ShowValue(value->value, kBasic, 0);
        }
    }
    if (!Ask(cmd::kStatus, reply)) return 0;
    SetIntFrom(LED_GND, value_reply::IntAt(reply, 1));
    return 1;
}

int RefreshClass6(std::string& reply) {
    if (!Ask(cmd::kStatus, reply)) return 0;
    const int f = FunctionFrom(reply, 1);
    SetIntFrom(RING_SCALE, value_reply::IntAt(reply, 3));
    SetIntFrom(RING_STANDARD, value_reply::IntAt(reply, 5));
    if (!Ask(cmd::kValue, reply)) return 0;
    if (const auto value = value_reply::ParseENotation(reply)) ShowValue(*value, f, 0);
    return 1;
}

int RefreshClass7(std::string& reply) {
    if (!Ask(cmd::kFunction, reply)) return 0;
    const int f = FunctionFrom(reply, 0);
    reply.clear();
    if (f == kBasic && !Ask(cmd::kResistanceDisplay, reply)) return 0;
    if (!reply.empty()) {
        if (const auto value = value_reply::ParseDisplayText(reply)) ShowValue(*value, f, 0);
    }
    if (!Ask(cmd::kOutput, reply)) return 0;
    SetIntFrom(LED_OUTPUT, value_reply::IntAt(reply, 0));
    if (!Ask(cmd::kShort, reply)) return 0;
    const int shorted = SetIntFrom(LED_SHORT, value_reply::IntAt(reply, 0));
    // The value can be set only while the decade presents an unshorted resistance.
    ui::SetCtrlAttribute(panelHandle, VALUE, ui::ATTR_DIMMED,
                         (f == kBasic && shorted == 0) ? 0 : 1);
    if (!Ask(cmd::kGround, reply)) return 0;
    SetIntFrom(LED_GND, value_reply::IntAt(reply, 0));
    const bool output = f == kBasic || shorted != 0;
    ui::SetCtrlAttribute(panelHandle, CMD_OUTPUT, ui::ATTR_LABEL_TEXT,
                         output ? OutputLabel() : RunLabel());
    Show(LED_OUTPUT, output ? 1 : 0);
    return 1;
}

}  // namespace

int RefreshScreen() {
    using decade::RefreshSequence;
    std::string reply;  // one buffer for every query of the call
    switch (decade::ProfileOf(decadeModel).refresh) {
        case RefreshSequence::Resistance:
            break;
        case RefreshSequence::V330:
            return RefreshClass3(reply);
        case RefreshSequence::Capacitance:
            return RefreshClass4(reply);
        case RefreshSequence::V151:
            return RefreshClass5(reply);
        case RefreshSequence::V211:
            return RefreshClass6(reply);
        case RefreshSequence::V090:
            return RefreshClass7(reply);
    }
    return RefreshResistanceDecade(reply);
}
