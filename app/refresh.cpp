// Reading the decade's state back onto the panel: the session reads, the panel paints
// what it read. A field no reply held leaves its control as it was.
#include "app/refresh.h"

#include <string>

#include "app/panel.h"
#include "app/shared_state.h"
#include "app/output_button.h"
#include "platform/text.h"
#include "toolkit/ui.h"

namespace {

int ShownInt(int control) {
    int value = 0;
    ui::GetCtrlVal(panelHandle, control, &value);
    return value;
}

void SetInt(int control, const std::optional<int>& read) {
    if (read) ui::SetCtrlVal(panelHandle, control, *read);
}

void Show(int control, int visible) {
    ui::SetCtrlAttribute(panelHandle, control, ui::ATTR_VISIBLE, visible);
}

}  // namespace

decade::DecadeState ShownState() {
    decade::DecadeState shown;
    shown.function = ShownInt(FUNCTION);
    shown.unit = ShownInt(UNIT);
    ui::GetCtrlVal(panelHandle, VALUE, &shown.value);
    shown.threshold = ShownInt(THRESHOLD);
    shown.scale = ShownInt(RING_SCALE);
    shown.standard = ShownInt(RING_STANDARD);
    shown.output = ShownInt(LED_OUTPUT);
    shown.shorted = ShownInt(LED_SHORT);
    shown.ground = ShownInt(LED_GND);
    return shown;
}

namespace {

// VALUE with its decimals, its number and the label with prefix and unit.
void PaintValue(const decade::ValueRead& read) {
    ui::SetCtrlAttribute(panelHandle, VALUE, ui::ATTR_PRECISION, read.value.decimals);
    ui::SetCtrlVal(panelHandle, VALUE, read.value.shown);
    const std::string label = OutputLabel() + " [" + ui::Literal(read.prefix + read.unitText) + "]";
    ui::SetCtrlAttribute(panelHandle, VALUE, ui::ATTR_LABEL_TEXT, label);
}

// The output button as the decade's state has it: "Run" while it only starts a program,
// with the output LED hidden; where output and short stand side by side, the run button
// stands alone at the column's place.
void PaintRunButton(bool run) {
    ui::SetCtrlAttribute(panelHandle, CMD_OUTPUT, ui::ATTR_LABEL_TEXT,
                         run ? RunLabel() : OutputLabel());
    if (ArrangementOf(panelSession.Profile()) != RelayArrangement::SideBySide) {
        Show(LED_OUTPUT, run ? 0 : 1);
        return;
    }
    for (int control : {LED_OUTPUT, LED_SHORT, CMD_SHORT}) Show(control, run ? 0 : 1);
    ui::SetCtrlAttribute(panelHandle, CMD_OUTPUT, ui::ATTR_LEFT, run ? kRelayLeft : kRowOutputLeft);
}

}  // namespace

void PaintState(const decade::StateRead& read) {
    SetInt(FUNCTION, read.function);
    SetInt(UNIT, read.unit);
    SetInt(RING_SCALE, read.scale);
    SetInt(RING_STANDARD, read.standard);
    if (read.value) PaintValue(*read.value);
    if (read.r0) ui::SetCtrlVal(panelHandle, RNULA, text::FormatFixed(*read.r0));
    SetInt(THRESHOLD, read.threshold);
    SetInt(LED_OUTPUT, read.output);
    SetInt(LED_SHORT, read.shorted);
    SetInt(LED_GND, read.ground);
    if (read.valueSettable) {
        ui::SetCtrlAttribute(panelHandle, VALUE, ui::ATTR_DIMMED, *read.valueSettable ? 0 : 1);
    }
    if (read.runButton) PaintRunButton(*read.runButton);
}

int RefreshScreen(decade::StateRead* found) {
    decade::StateRead read;
    const bool done = panelSession.ReadState(ShownState(), read);
    PaintState(read);
    if (found != nullptr) *found = read;
    return done ? 1 : 0;
}
