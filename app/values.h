#pragma once

#include <string>

// Sends "<command> <number>": the value, or value x 10^valueExponent when scale is set.
// errorQueue: check through "*CLS" / "SYST:ERR?" instead of an "Ok" reply. 1 when taken.
int SetCalibratorValue(double value, const std::string& command, int scale, int errorQueue);

// Sends the command followed by the value of control (kind 0: decimal, 1: the character
// with that code); 1 when acknowledged with "Ok".
int SetCalibratorSwitch(int control, const std::string& command, int kind);

// Sends a setting command whose reply must begin with "Ok"; shows the refusal box and
// gives 0 otherwise.
int SendAcknowledgedSetting(const std::string& command);

// The refusal box: "Warning" / "Could not set value!" in English, Czech otherwise.
void ShowRefusalWarning();

// Shows the refusal box when a setting was not taken; 1 when it was, else 0.
int ReportSetting(bool taken);
