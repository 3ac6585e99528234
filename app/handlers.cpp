// The control handlers: each turns the operator's input into the command dialect of the
// connected decade, sends it, and lets the panel be redrawn from the decade's real state.
#include "app/handlers.h"

#include <cmath>
#include <optional>
#include <string>

#include "app/panel.h"
#include "app/shared_state.h"
#include "decade/commands.h"
#include "decade/profiles.h"
#include "functions/selection.h"
#include "functions/values.h"
#include "link/communic.h"
#include "link/open_close.h"
#include "panel_state/enable_controls.h"
#include "panel_state/refresh.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace {

namespace cmd = decade::cmd;
using decade::kRelaySettle;

const decade::DecadeProfile& Profile() {
    return decade::ProfileOf(decadeModel);
}

// Sends an off or on command without reading a reply.
void SendSwitch(bool on, std::string_view off, std::string_view onCommand) {
    std::string unused;
    Communic(1, std::string(on ? onCommand : off), unused);
}

int CtrlInt(int control) {
    int v = 0;
    ui::GetCtrlVal(panelHandle, control, &v);
    return v;
}

bool LedLit(int led) {
    return CtrlInt(led) != 0;
}

double ScaledPanelValue() {
    double v = 0.0;
    ui::GetCtrlVal(panelHandle, VALUE, &v);
    return v * std::pow(10.0, valueExponent);
}

// Each handler is one sequence on the link: it stops at the first exchange that finds no
// answer or the link gone, and tells the operator once when it ends.
class HandlerSequence {
  public:
    HandlerSequence() { BeginHandlerSequence(); }
    ~HandlerSequence() { FinishHandlerSequence(); }
    HandlerSequence(const HandlerSequence&) = delete;
    HandlerSequence& operator=(const HandlerSequence&) = delete;
};

}  // namespace

OMBRASTEL_CALLBACK(ValueCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    const HandlerSequence sequence;
    double v = 0.0;
    ui::GetCtrlVal(panelHandle, VALUE, &v);
    const int f = CtrlInt(FUNCTION);
    const decade::DecadeProfile& profile = Profile();
    // VALUE holds the number in the prefix its label shows, for every class: the refresh
    // divides what the decade reports by 10^valueExponent, so the value goes back
    // multiplied by it ("2.5" under "Output [kOhm]" is 2500 ohms).
    bool send = !profile.valueBasicOnly || f == decade::fn::kBasic;
    // The V151 switches its output through the value: while the output is off the value
    // goes out only through the output button.
    if (profile.output == decade::OutputButton::ValueSwitch && !LedLit(LED_OUTPUT)) send = false;
    if (send) {
        SetCalibratorValue(v, std::string(profile.valueCommand), 1,
                           profile.valueErrorQueue ? 1 : 0);
    }
    RefreshScreen();
    return 0;
}

OMBRASTEL_CALLBACK(UnitCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    const HandlerSequence sequence;
    SetCalibratorSwitch(UNIT, std::string(cmd::kSetUnit), 0);
    RefreshScreen();
    return 0;
}

OMBRASTEL_CALLBACK(FunctionCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    const HandlerSequence sequence;
    SetFunction(CtrlInt(FUNCTION), 1);
    EnableControls();
    RefreshScreen();
    return 0;
}

OMBRASTEL_CALLBACK(ThresholdCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    const HandlerSequence sequence;
    SendAcknowledgedSetting(std::string(cmd::kSetThreshold) + std::to_string(CtrlInt(THRESHOLD)));
    RefreshScreen();
    return 0;
}

OMBRASTEL_CALLBACK(RnulaCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    const HandlerSequence sequence;
    std::string entered;
    ui::GetCtrlVal(panelHandle, RNULA, &entered);
    // R0 is read at full double precision, so 100.01 goes out as 100.01, and a decimal
    // comma is a point ("1,5" is 1.5). A text that is not wholly one number sends nothing:
    // the field says why, and the refresh shows again what the decade holds.
    const std::optional<double> r = text::ParseEntryNumber(entered);
    ui::SetCtrlAttribute(panelHandle, RNULA, ui::ATTR_ENTRY_REFUSED, r ? 0 : 1);
    if (r) SendAcknowledgedSetting(std::string(cmd::kSetR0) + text::FormatPlain(*r));
    RefreshScreen();
    return 0;
}

OMBRASTEL_CALLBACK(OutputCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    const HandlerSequence sequence;
    switch (Profile().output) {
        case decade::OutputButton::Toggle: {
            int ledShown = 0;
            ui::GetCtrlAttribute(panelHandle, LED_OUTPUT, ui::ATTR_VISIBLE, &ledShown);
            if (!ledShown) {  // the button reads "Run": it only starts the preset
                SendSwitch(true, cmd::kOutputOff, cmd::kOutputOn);
                return 0;
            }
            SendSwitch(!LedLit(LED_OUTPUT), cmd::kOutputOff, cmd::kOutputOn);
            RefreshScreen();
            return 0;
        }
        case decade::OutputButton::ValueSwitch: {
            const double number = LedLit(LED_OUTPUT) ? 0.0 : ScaledPanelValue();
            std::string unused;
            Communic(1, std::string(cmd::kSetValueLetter) + " " + text::FormatPlain(number),
                     unused);
            ui::Delay(kRelaySettle);
            RefreshScreen();
            return 0;
        }
        case decade::OutputButton::None:
            break;
    }
    return 0;
}

OMBRASTEL_CALLBACK(GroundCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    const HandlerSequence sequence;
    const bool on = !LedLit(LED_GND);
    switch (Profile().ground) {
        case decade::GroundRelay::Letters:
            SendSwitch(on, cmd::kGroundLetterOff, cmd::kGroundLetterOn);
            ui::Delay(kRelaySettle);
            break;
        case decade::GroundRelay::Words:
            SendSwitch(on, cmd::kGroundWordOff, cmd::kGroundWordOn);
            break;
        case decade::GroundRelay::None:
            return 0;
    }
    RefreshScreen();
    return 0;
}

OMBRASTEL_CALLBACK(ShortCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    const HandlerSequence sequence;
    if (!Profile().shortRelay) return 0;
    SendSwitch(!LedLit(LED_SHORT), cmd::kShortOff, cmd::kShortOn);
    ui::Delay(kRelaySettle);
    RefreshScreen();
    return 0;
}

OMBRASTEL_CALLBACK(StandardCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    const HandlerSequence sequence;
    SetCalibratorSwitch(RING_STANDARD, std::string(cmd::kSetStandard), 0);
    // The scale only means something for the IEC 751 standard; dim it for the other one
    // whether or not the decade took the command.
    ui::SetCtrlAttribute(panelHandle, RING_SCALE, ui::ATTR_DIMMED,
                         CtrlInt(RING_STANDARD) == 0 ? 0 : 1);
    RefreshScreen();
    return 0;
}

OMBRASTEL_CALLBACK(ScaleCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    const HandlerSequence sequence;
    SetCalibratorSwitch(RING_SCALE, std::string(cmd::kSetScale), 0);
    RefreshScreen();
    return 0;
}
