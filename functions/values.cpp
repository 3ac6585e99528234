// Sending a value or a switch setting to the decade and checking that it was taken.
#include "functions/values.h"

#include <cmath>
#include <optional>
#include <string>

#include "app/shared_state.h"
#include "app/texts.h"
#include "decade/commands.h"
#include "link/communic.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace {

// Sends command and reads the reply; true when it starts with "Ok". The reply starts
// empty, so an exchange that never happened (link closed, command refused) is no "Ok".
bool SendExpectingOk(const std::string& command) {
    std::string reply;
    Communic(0, command, reply);
    return text::IsOk(reply);
}

// The error-queue check: clear the status, send the command, then ask for the first error.
// Only an error number 0 counts as taken; a command that could not be sent, or an error
// reply without a number, does not.
bool SendCheckingErrorQueue(const std::string& command) {
    std::string unused;
    if (Communic(1, std::string(decade::cmd::kClearStatus), unused) == 0) return false;
    if (Communic(1, command, unused) == 0) return false;
    std::string reply;
    Communic(0, std::string(decade::cmd::kFirstError), reply);
    const std::optional<int> error = text::ScanIntDecimal(reply);
    return error.has_value() && *error == 0;
}

int Result(bool taken) {
    if (taken) return 1;
    ShowRefusalWarning();
    return 0;
}

}  // namespace

void ShowRefusalWarning() {
    // No reply at all is no refusal: the sequence says "Communication failed." at its end.
    if (StoppedSequenceFailed()) return;
    NoteRefusal("the decade refused the setting");
    ui::MessagePopup(texts::Message(texts::kWarning), texts::Message(texts::kCouldNotSetValue));
}

int SetCalibratorValue(double value, const std::string& command, int scale, int errorQueue) {
    double number = value;
    if (scale != 0) number = value * std::pow(10.0, valueExponent);
    if (!std::isfinite(number)) return Result(false);  // no number the decade could read
    const std::string line = command + " " + text::FormatPlain(number);
    return Result(errorQueue != 0 ? SendCheckingErrorQueue(line) : SendExpectingOk(line));
}

int SetCalibratorSwitch(int control, const std::string& command, int kind) {
    int value = 0;
    ui::GetCtrlVal(panelHandle, control, &value);
    std::string line = command;
    if (kind == 0) {
        line += std::to_string(value);
    } else if (kind == 1) {
        line += static_cast<char>(value & 0xFF);
    } else {
        return Result(false);
    }
    // A character that would break the line (a NUL, CR, LF …) is not sent.
    if (text::HasControlByte(line)) return Result(false);
    return SendAcknowledgedSetting(line);
}

int SendAcknowledgedSetting(const std::string& command) {
    return Result(SendExpectingOk(command));
}
