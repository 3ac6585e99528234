// What every command of ombrastel-ctl shares: the signals that end it, the output and its
// escaping, a setting and its state read, the exit status a sequence came to, and the end
// of a command with the decade back in local.
#pragma once

#include <QJsonObject>
#include <QString>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ctl/options.h"
#include "decade/session.h"

namespace ctl {

// ----- Ctrl-C, SIGTERM, SIGHUP, and the reader of the output gone (SIGPIPE): noted, acted
// on between steps, so that the decade still gets its local command. -----
void CatchInterrupts();
bool Interrupted();

// ----- Output. -----
void Print(std::FILE* stream, const QString& text);
void PrintJson(const QJsonObject& object);
QString Q(const std::string& s);
// Text that may hold what a decade sent, as plain output and a terminal show it: every
// control byte escaped as the link log writes it (ESC as \x1B), printable UTF-8 kept.
std::string Plain(std::string_view text);
// One line of plain text: escaped, then the line end.
void PrintLine(std::FILE* stream, std::string_view text);

// ----- A decade's state. -----
double BaseValue(const decade::DecadeState& state);
// The value as the panel shows it: number, prefix and unit ("2.5000 kOhm"), as received.
std::string ShownValue(const decade::DecadeState& state);

// ----- Values that go out in a command. -----
// Nothing when value fits the command of every class that sends one after command
// ("set": every class's value command; "r0": R0's), else why it cannot go out.
std::optional<std::string> Unsendable(double value, bool r0);

// ----- Outcomes. -----
// The exit status of what the session's present sequence came to.
int StatusOf(const decade::DecadeSession& session);
std::string ReasonOf(const decade::DecadeSession& session);
// Says reason (on standard error, and in the JSON object with --json); returns status.
int Fail(const Options& options, int status, const std::string& reason);
// Opens the link for one command: the identity and the remote command. The exit status
// when that failed (said already), nothing when the decade is there.
std::optional<int> Connect(const Options& options, decade::DecadeSession& session);
// The decade back in local and the link closed; a link that is gone is only let go.
void CloseOrDrop(decade::DecadeSession& session);
// Ends a command: the local command goes out whatever happened, then status (130 when a
// signal came meanwhile).
int Finish(decade::DecadeSession& session, int status);

// ----- Settings. -----
struct SettingCommand {
    decade::SettingKind kind;
    const char* what;  // for "this decade has no ..."
    // Applies the argument to the decade in the state before.
    std::function<decade::Setting(decade::DecadeSession&, decade::DecadeState&)> apply;
};
SettingCommand SelectCommand(int code);
SettingCommand ValueCommand(double value);
// One setting in the way the panel's handler makes it: the setting, then the state read,
// in one sequence that stops at a decade that does not answer. The exit status, and the
// reason when it is not 0.
int ApplySetting(decade::DecadeSession& session, const SettingCommand& command,
                 decade::DecadeState& state, std::string* reason);

}  // namespace ctl
