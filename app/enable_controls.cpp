#include "app/enable_controls.h"

#include <string>

#include "app/panel.h"
#include "app/shared_state.h"
#include "decade/profiles.h"
#include "app/catalogue.h"
#include "app/output_button.h"
#include "toolkit/ui.h"

namespace {

using decade::IsOpenOrShort;
using decade::IsSensorCurve;
using decade::fn::kBasic;

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
void Arrows(int shown) {
    ui::SetCtrlAttribute(panelHandle, VALUE, ui::ATTR_SHOW_INCDEC_ARROWS, shown);
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

// UNIT and RNULA matter for the sensor curves only.
void UnitAndR0(int f, int closed) {
    Show(UNIT, 1);
    Show(RNULA, 1);
    const int dimmed = IsSensorCurve(f) ? closed : 1;
    Dim(UNIT, dimmed);
    Dim(RNULA, dimmed);
}

// Classes 1 and 2 (and any model index the program does not know).
void ResistanceDecade(int closed) {
    Label(CMD_OUTPUT, RunLabel());
    Show(THRESHOLD, thresholdAvailable);
    Arrows(0);
    const int f = ReadFunction();
    UnitAndR0(f, closed);
    if (IsOpenOrShort(f) || IsTimingPreset(f)) {
        Dim(THRESHOLD, 1);
    } else {
        Dim(VALUE, closed);
        Dim(THRESHOLD, thresholdAvailable == 1 ? closed : 1);
    }
    if (IsTimingPreset(f)) Show(CMD_OUTPUT, 1);
    Top(CMD_OUTPUT, 179);
    Top(LED_OUTPUT, 158);
}

void Class3(int closed) {
    const int f = ReadFunction();
    if (IsTimingPreset(f)) {
        Label(CMD_OUTPUT, RunLabel());
    } else {
        Label(CMD_OUTPUT, OutputLabel());
        Dim(VALUE, closed);
        Show(LED_OUTPUT, 1);
        Left(CMD_SHORT, kClass3ShortLeft);
        Left(CMD_OUTPUT, kClass3OutputLeft);
        Left(LED_SHORT, kClass3ShortLedLeft);
        Left(LED_OUTPUT, kClass3OutputLedLeft);
        Show(CMD_SHORT, 1);
        Top(CMD_SHORT, 169);
        Show(LED_SHORT, 1);
        Top(LED_SHORT, 148);
    }
    Arrows(0);
    UnitAndR0(f, closed);
    Show(CMD_OUTPUT, 1);
    Top(CMD_OUTPUT, 169);
    Top(LED_OUTPUT, 148);
}

void Class4(int closed) {
    const int f = ReadFunction();
    if (f == kBasic || IsUserFunction(f)) {
        Label(CMD_OUTPUT, OutputLabel());
        Dim(VALUE, closed);
    } else {
        Label(CMD_OUTPUT, RunLabel());
    }
    Show(CMD_OUTPUT, 1);
    Show(CMD_GND, 1);
    Show(LED_GND, 1);
    if (!IsTimingPreset(f)) Show(LED_OUTPUT, 1);
    Arrows(1);
    Top(CMD_OUTPUT, 139);
    Top(LED_OUTPUT, 118);
}

void Class5(int closed) {
    ReadFunction();  // read like the other classes; a capacitance decade has one function
    Label(CMD_OUTPUT, OutputLabel());
    Dim(VALUE, closed);
    Show(CMD_OUTPUT, 1);
    Show(LED_OUTPUT, 1);
    Arrows(1);
    Show(CMD_GND, 1);
    Show(LED_GND, 1);
    Top(CMD_OUTPUT, 139);
    Top(LED_OUTPUT, 118);
}

void Class6(int closed) {
    Show(RING_STANDARD, 1);
    Show(RING_SCALE, 1);
    Arrows(0);
    const int f = ReadFunction();
    if (decade::IsClass6IecSensor(f)) {
        Dim(RING_STANDARD, closed);
        int standard = 0;
        ui::GetCtrlVal(panelHandle, RING_STANDARD, &standard);
        Dim(RING_SCALE, standard == 0 ? closed : 1);
    } else {
        Dim(RING_STANDARD, 1);
        Dim(RING_SCALE, 1);
    }
    if (!IsOpenOrShort(f)) Dim(VALUE, closed);
}

void Class7(int closed) {
    const int f = ReadFunction();
    if (f == kBasic) {
        Label(CMD_OUTPUT, OutputLabel());
        Dim(VALUE, closed);
        Show(LED_OUTPUT, 1);
    } else {
        Label(CMD_OUTPUT, RunLabel());
    }
    Show(CMD_OUTPUT, 1);
    Show(CMD_SHORT, 1);
    Show(LED_SHORT, 1);
    Arrows(1);
    Show(CMD_GND, 1);
    Show(LED_GND, 1);
    // Ground, short and output one above the other, 70 pixels apart.
    Top(LED_GND, 18);
    Top(LED_SHORT, 88);
    Top(LED_OUTPUT, 158);
    Top(CMD_GND, 39);
    Top(CMD_SHORT, 109);
    Top(CMD_OUTPUT, 179);
}

}  // namespace

void EnableControls() {
    const int closed = connected == 0 ? 1 : 0;
    Reset();
    using decade::ControlLayout;
    switch (decade::ProfileOf(decadeModel).layout) {
        case ControlLayout::None:
            break;  // no decade: the reset is the whole picture
        case ControlLayout::Resistance:
            ResistanceDecade(closed);
            break;
        case ControlLayout::V330:
            Class3(closed);
            break;
        case ControlLayout::V150:
            Class4(closed);
            break;
        case ControlLayout::V151:
            Class5(closed);
            break;
        case ControlLayout::V211:
            Class6(closed);
            break;
        case ControlLayout::V090:
            Class7(closed);
            break;
    }
    Dim(FUNCTION, closed);
    for (int control : {NUM_ADR, RATE, SERIAL, RING}) Dim(control, 1 - closed);
}
