// Sending a value or a switch setting to the decade from the panel, and the refusal box.
#include "app/values.h"

#include <string>

#include "app/shared_state.h"
#include "app/texts.h"
#include "toolkit/ui.h"

namespace {

int Result(bool taken) {
    if (taken) return 1;
    ShowRefusalWarning();
    return 0;
}

}  // namespace

void ShowRefusalWarning() {
    // No reply at all is no refusal: the sequence says "Communication failed." at its end.
    if (StoppedSequenceFailed(panelSession.link)) return;
    NoteRefusal(panelSession.link, "the decade refused the setting");
    ui::MessagePopup(texts::Message(texts::kWarning), texts::Message(texts::kCouldNotSetValue));
}

int SetCalibratorValue(double value, const std::string& command, int scale, int errorQueue) {
    return Result(panelSession.SetValue(value, command, scale != 0, errorQueue != 0));
}

int SetCalibratorSwitch(int control, const std::string& command, int kind) {
    int value = 0;
    ui::GetCtrlVal(panelHandle, control, &value);
    return Result(panelSession.SetSwitch(command, kind, value));
}

int SendAcknowledgedSetting(const std::string& command) {
    return Result(panelSession.SendAcknowledged(command));
}

int ReportSetting(bool taken) {
    return Result(taken);
}
