// The control handlers: each turns the operator's input into the command dialect of the
// connected decade, sends it, and lets the panel be redrawn from the decade's real state.
#include "app/handlers.h"

#include <cmath>
#include <optional>
#include <string>

#include "app/panel.h"
#include "app/shared_state.h"
#include "functions/selection.h"
#include "functions/values.h"
#include "link/communic.h"
#include "link/open_close.h"
#include "panel_state/enable_controls.h"
#include "panel_state/refresh.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace {

constexpr double kRelaySettle = 0.2;  // seconds the relays need after switching

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
    if (decadeModel == 7) {
        if (f == 1) SetCalibratorValue(v, "RES", 1, 1);
    } else {
        // VALUE holds the number in the prefix its label shows, for every class: the
        // refresh divides what the decade reports by 10^valueExponent, so the value goes
        // back multiplied by it ("2.5" under "Output [kOhm]" is 2500 ohms).
        // The V151 switches its output through the value: while the output is off the
        // value goes out only through the output button.
        if (!(decadeModel == 5 && !LedLit(LED_OUTPUT))) SetCalibratorValue(v, "A", 1, 0);
    }
    RefreshScreen();
    return 0;
}

OMBRASTEL_CALLBACK(UnitCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    const HandlerSequence sequence;
    SetCalibratorSwitch(UNIT, "U", 0);
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
    SendAcknowledgedSetting("W " + std::to_string(CtrlInt(THRESHOLD)));
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
    if (r) SendAcknowledgedSetting("R " + text::FormatPlain(*r));
    RefreshScreen();
    return 0;
}

OMBRASTEL_CALLBACK(OutputCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    const HandlerSequence sequence;
    std::string unused;
    switch (decadeModel) {
        case 3:
        case 4:
        case 7: {
            int ledShown = 0;
            ui::GetCtrlAttribute(panelHandle, LED_OUTPUT, ui::ATTR_VISIBLE, &ledShown);
            if (!ledShown) {  // the button reads "Run": it only starts the preset
                Communic(1, "OUTP 1", unused);
                return 0;
            }
            Communic(1, LedLit(LED_OUTPUT) ? "OUTP 0" : "OUTP 1", unused);
            RefreshScreen();
            return 0;
        }
        case 5: {
            const double number = LedLit(LED_OUTPUT) ? 0.0 : ScaledPanelValue();
            Communic(1, "A " + text::FormatPlain(number), unused);
            ui::Delay(kRelaySettle);
            RefreshScreen();
            return 0;
        }
        default:
            return 0;
    }
}

OMBRASTEL_CALLBACK(GroundCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    const HandlerSequence sequence;
    std::string unused;
    const bool on = LedLit(LED_GND);
    if (decadeModel == 4 || decadeModel == 5) {
        Communic(1, on ? "G0" : "G1", unused);
        ui::Delay(kRelaySettle);
    } else if (decadeModel == 7) {
        Communic(1, on ? "OUTP:GRO 0" : "OUTP:GRO 1", unused);
    } else {
        return 0;
    }
    RefreshScreen();
    return 0;
}

OMBRASTEL_CALLBACK(ShortCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    const HandlerSequence sequence;
    if (decadeModel != 3 && decadeModel != 7) return 0;
    std::string unused;
    Communic(1, LedLit(LED_SHORT) ? "OUTP:SHOR 0" : "OUTP:SHOR 1", unused);
    ui::Delay(kRelaySettle);
    RefreshScreen();
    return 0;
}

OMBRASTEL_CALLBACK(StandardCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    const HandlerSequence sequence;
    SetCalibratorSwitch(RING_STANDARD, "T", 0);
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
    SetCalibratorSwitch(RING_SCALE, "S", 0);
    RefreshScreen();
    return 0;
}
