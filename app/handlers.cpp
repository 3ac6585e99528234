// The control handlers: each turns the operator's input into the command dialect of the
// connected decade, sends it, and lets the panel be redrawn from the decade's real state.
#include "app/handlers.h"

#include <optional>
#include <string>

#include "app/panel.h"
#include "app/shared_state.h"
#include "app/selection.h"
#include "app/values.h"
#include "app/open_close.h"
#include "app/enable_controls.h"
#include "app/refresh.h"
#include "platform/text.h"
#include "toolkit/ui.h"

namespace {

int CtrlInt(int control) {
    int v = 0;
    ui::GetCtrlVal(panelHandle, control, &v);
    return v;
}

bool LedLit(int led) {
    return CtrlInt(led) != 0;
}

double ShownValue() {
    double v = 0.0;
    ui::GetCtrlVal(panelHandle, VALUE, &v);
    return v;
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

// A setting the class has: the refusal box when the decade did not take it.
void Report(decade::Setting setting) {
    if (setting != decade::Setting::NotApplicable) {
        ReportSetting(setting == decade::Setting::Taken);
    }
}

void ValueSequence() {
    const HandlerSequence sequence;
    // VALUE holds the number in the prefix its label shows, for every class: the refresh
    // divides what the decade reports by 10^valueExponent, so the value goes back
    // multiplied by it ("2.5" under "Output [kOhm]" is 2500 ohms).
    Report(panelSession.SetShownValue(ShownValue(), CtrlInt(FUNCTION), LedLit(LED_OUTPUT)));
    RefreshScreen();
}

void UnitSequence() {
    const HandlerSequence sequence;
    ReportSetting(panelSession.SetUnit(CtrlInt(UNIT)));
    RefreshScreen();
}

void FunctionSequence() {
    const HandlerSequence sequence;
    SetFunction(CtrlInt(FUNCTION), 1);
    EnableControls();
    RefreshScreen();
}

void ThresholdSequence() {
    const HandlerSequence sequence;
    ReportSetting(panelSession.SetThreshold(CtrlInt(THRESHOLD)));
    RefreshScreen();
}

void RnulaSequence() {
    const HandlerSequence sequence;
    std::string entered;
    ui::GetCtrlVal(panelHandle, RNULA, &entered);
    // R0 is read at full double precision, so 100.01 goes out as 100.01, and a decimal
    // comma is a point ("1,5" is 1.5). A text that is not wholly one number sends nothing:
    // the field says why, and the refresh shows again what the decade holds.
    const std::optional<double> r = text::ParseEntryNumber(entered);
    ui::SetCtrlAttribute(panelHandle, RNULA, ui::ATTR_ENTRY_REFUSED, r ? 0 : 1);
    if (r) ReportSetting(panelSession.SetR0(*r));
    RefreshScreen();
}

void OutputSequence() {
    const HandlerSequence sequence;
    if (panelSession.Profile().output == decade::OutputButton::Toggle) {
        int ledShown = 0;
        ui::GetCtrlAttribute(panelHandle, LED_OUTPUT, ui::ATTR_VISIBLE, &ledShown);
        if (!ledShown) {  // the button reads "Run": it only starts the preset
            panelSession.StartProgram();
            return;
        }
    }
    if (panelSession.SetOutput(!LedLit(LED_OUTPUT), ShownValue()) ==
        decade::Setting::NotApplicable) {
        return;
    }
    RefreshScreen();
}

void GroundSequence() {
    const HandlerSequence sequence;
    if (panelSession.SetGround(!LedLit(LED_GND)) == decade::Setting::NotApplicable) return;
    RefreshScreen();
}

void ShortSequence() {
    const HandlerSequence sequence;
    if (panelSession.SetShort(!LedLit(LED_SHORT)) == decade::Setting::NotApplicable) return;
    RefreshScreen();
}

void StandardSequence() {
    const HandlerSequence sequence;
    ReportSetting(panelSession.SetStandard(CtrlInt(RING_STANDARD)));
    // The scale only means something for the IEC 751 standard; dim it for the other one
    // whether or not the decade took the command.
    ui::SetCtrlAttribute(panelHandle, RING_SCALE, ui::ATTR_DIMMED,
                         CtrlInt(RING_STANDARD) == 0 ? 0 : 1);
    RefreshScreen();
}

void ScaleSequence() {
    const HandlerSequence sequence;
    ReportSetting(panelSession.SetScale(CtrlInt(RING_SCALE)));
    RefreshScreen();
}

}  // namespace

// Each handler runs as one sequence on the link; the callback itself returns at once.
#define SEQUENCE_CALLBACK(name, sequence)            \
    OMBRASTEL_CALLBACK(name) {                       \
        if (event == ui::EVENT_COMMIT) RunSequence(sequence); \
        return 0;                                    \
    }

SEQUENCE_CALLBACK(ValueCB, ValueSequence)
SEQUENCE_CALLBACK(UnitCB, UnitSequence)
SEQUENCE_CALLBACK(FunctionCB, FunctionSequence)
SEQUENCE_CALLBACK(ThresholdCB, ThresholdSequence)
SEQUENCE_CALLBACK(RnulaCB, RnulaSequence)
SEQUENCE_CALLBACK(OutputCB, OutputSequence)
SEQUENCE_CALLBACK(GroundCB, GroundSequence)
SEQUENCE_CALLBACK(ShortCB, ShortSequence)
SEQUENCE_CALLBACK(StandardCB, StandardSequence)
SEQUENCE_CALLBACK(ScaleCB, ScaleSequence)
