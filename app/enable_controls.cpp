// The control enabling: which controls show, which are operable, what the output button
// reads and where the relay column stands, from what the connected class offers (its
// profile row), the link state and the function FUNCTION shows.
#include "app/enable_controls.h"

#include <string>

#include "app/panel.h"
#include "app/shared_state.h"
#include "decade/profiles.h"
#include "app/catalogue.h"
#include "app/output_button.h"
#include "toolkit/ui.h"

namespace {

using decade::DecadeProfile;
using decade::IsSensorCurve;
using decade::IsStandardSensor;

void Show(int control, int visible) {
    ui::SetCtrlAttribute(panelHandle, control, ui::ATTR_VISIBLE, visible);
}
void Dim(int control, int dimmed) {
    ui::SetCtrlAttribute(panelHandle, control, ui::ATTR_DIMMED, dimmed);
}
void Top(int control, int top) {
    ui::SetCtrlAttribute(panelHandle, control, ui::ATTR_TOP, top);
}
void Left(int control, int left) {
    ui::SetCtrlAttribute(panelHandle, control, ui::ATTR_LEFT, left);
}
void Label(int control, const std::string& label) {
    ui::SetCtrlAttribute(panelHandle, control, ui::ATTR_LABEL_TEXT, label);
}

int ReadFunction() {
    int f = 0;
    ui::GetCtrlVal(panelHandle, FUNCTION, &f);
    return f;
}

// Every call starts from the same picture: optional controls hidden, VALUE and FUNCTION
// dimmed, the relay column at its loaded places.
void Reset() {
    Top(LED_GND, kTopRelayLed);
    Top(LED_SHORT, kTopRelayLed);
    Top(CMD_GND, kTopRelay);
    Top(CMD_SHORT, kTopRelay);
    for (int control : {RING_STANDARD, RING_SCALE, UNIT, RNULA, THRESHOLD, CMD_GND, LED_GND,
                        CMD_SHORT, LED_SHORT, CMD_OUTPUT, LED_OUTPUT}) {
        Show(control, 0);
    }
    Dim(VALUE, 1);
    Dim(FUNCTION, 1);
    Left(CMD_SHORT, kRelayLeft);
    Left(CMD_OUTPUT, kRelayLeft);
    Left(LED_SHORT, kLedLeft);
    Left(LED_OUTPUT, kLedLeft);
}

// VALUE is operable for the functions whose value can be set.
void ShowValue(const DecadeProfile& p, int f, int closed) {
    if (p.valueFor.Has(f)) Dim(VALUE, closed);
    ui::SetCtrlAttribute(panelHandle, VALUE, ui::ATTR_SHOW_INCDEC_ARROWS, p.valueArrows ? 1 : 0);
}

// UNIT and RNULA matter for the sensor curves only.
void ShowSensorControls(const DecadeProfile& p, int f, int closed) {
    const int dimmed = IsSensorCurve(f) ? closed : 1;
    if (p.unit) {
        Show(UNIT, 1);
        Dim(UNIT, dimmed);
    }
    if (p.r0) {
        Show(RNULA, 1);
        Dim(RNULA, dimmed);
    }
}

// THRESHOLD has its place where the class's read asks it; it shows while the decade of
// the link takes one, and is operable where the value is.
void ShowThreshold(const DecadeProfile& p, int f, int closed) {
    if (!decade::ReadsThreshold(p)) return;
    Show(THRESHOLD, thresholdAvailable);
    Dim(THRESHOLD, p.valueFor.Has(f) && thresholdAvailable == 1 ? closed : 1);
}

// The standard and the scale of the sensor types; the scale belongs to IEC 751 alone.
void ShowStandardAndScale(const DecadeProfile& p, int f, int closed) {
    if (p.standard) Show(RING_STANDARD, 1);
    if (p.scale) Show(RING_SCALE, 1);
    if (!IsStandardSensor(f)) {
        if (p.standard) Dim(RING_STANDARD, 1);
        if (p.scale) Dim(RING_SCALE, 1);
        return;
    }
    if (p.standard) Dim(RING_STANDARD, closed);
    if (p.scale) {
        int standard = 0;
        ui::GetCtrlVal(panelHandle, RING_STANDARD, &standard);
        Dim(RING_SCALE, standard == 0 ? closed : 1);
    }
}

// The output button reads "Output" where it switches the output of a value that can be
// set, "Run" where it starts a program; a class with only a run button shows it for a
// timing preset. The output LED shows where the button switches the output.
void ShowOutputButton(const DecadeProfile& p, int f) {
    const bool relay = p.output != decade::OutputButton::None;
    if (!relay && !p.runButton) return;
    Label(CMD_OUTPUT, relay && p.valueFor.Has(f) ? OutputLabel() : RunLabel());
    if (relay || IsTimingPreset(f)) Show(CMD_OUTPUT, 1);
    if (relay && p.outputFor.Has(f)) Show(LED_OUTPUT, 1);
}

// The relay pairs the class has, where its arrangement puts them.
void ArrangeRelayColumn(const DecadeProfile& p, int f) {
    if (p.ground != decade::GroundRelay::None) {
        Show(CMD_GND, 1);
        Show(LED_GND, 1);
    }
    switch (ArrangementOf(p)) {
        case RelayArrangement::None:
            break;
        case RelayArrangement::Button:
            Top(CMD_OUTPUT, kTopOutput);
            Top(LED_OUTPUT, kTopOutputLed);
            break;
        case RelayArrangement::BelowGround:
            Top(CMD_OUTPUT, 139);
            Top(LED_OUTPUT, 118);
            break;
        case RelayArrangement::SideBySide:
            // The run button of a program stands alone at the column's place.
            if (p.outputFor.Has(f)) {
                Left(CMD_SHORT, kRowShortLeft);
                Left(CMD_OUTPUT, kRowOutputLeft);
                Left(LED_SHORT, kRowShortLedLeft);
                Left(LED_OUTPUT, kRowOutputLedLeft);
                Show(CMD_SHORT, 1);
                Top(CMD_SHORT, 169);
                Show(LED_SHORT, 1);
                Top(LED_SHORT, 148);
            }
            Top(CMD_OUTPUT, 169);
            Top(LED_OUTPUT, 148);
            break;
        case RelayArrangement::Stacked:
            Show(CMD_SHORT, 1);
            Show(LED_SHORT, 1);
            // Ground, short and output one above the other, 70 pixels apart.
            Top(LED_GND, 18);
            Top(LED_SHORT, 88);
            Top(LED_OUTPUT, 158);
            Top(CMD_GND, 39);
            Top(CMD_SHORT, 109);
            Top(CMD_OUTPUT, 179);
            break;
    }
}

}  // namespace

void EnableControls() {
    const int closed = connected == 0 ? 1 : 0;
    Reset();
    const DecadeProfile& profile = decade::ProfileOf(decadeModel);
    // No decade: the reset is the whole picture (VALUE keeps its arrows).
    if (profile.model != decade::ModelClass::None) {
        const int f = ReadFunction();
        ShowValue(profile, f, closed);
        ShowSensorControls(profile, f, closed);
        ShowThreshold(profile, f, closed);
        ShowStandardAndScale(profile, f, closed);
        ShowOutputButton(profile, f);
        ArrangeRelayColumn(profile, f);
    }
    Dim(FUNCTION, closed);
    for (int control : {NUM_ADR, RATE, SERIAL, RING}) Dim(control, 1 - closed);
}
