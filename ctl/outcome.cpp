#include "ctl/outcome.h"

#include <signal.h>

#include <QJsonDocument>
#include <algorithm>
#include <cmath>

#include "ctl/ctl.h"
#include "decade/profiles.h"
#include "decade/commands.h"
#include "link/communic.h"
#include "platform/text.h"

namespace ctl {

using decade::DecadeSession;
using decade::DecadeState;
using decade::Setting;
using decade::SettingKind;

namespace {

volatile sig_atomic_t interrupted = 0;

void NoteInterrupt(int) {
    interrupted = 1;
}

}  // namespace

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // a wait that a signal breaks into ends there
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(s, &action, nullptr);
}

bool Interrupted() {
    return interrupted != 0;
}

// ----- Output. -----

void Print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

void PrintJson(const QJsonObject& object) {
    Print(stdout, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) +
                      QLatin1Char('\n'));
}

std::string Plain(std::string_view text) {
    return text::Escape(text, true);
}

void PrintLine(std::FILE* stream, std::string_view text) {
    const std::string line = Plain(text) + '\n';
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fflush(stream);
}

// ----- A decade's state. -----

double BaseValue(const DecadeState& state) {
    return state.value * std::pow(10.0, state.exponent);
}

std::string ShownValue(const DecadeState& state) {
    return QString::number(state.value, 'f', std::max(0, state.decimals)).toStdString() + ' ' +
           state.prefix + state.unitText;
}

// ----- Values that go out in a command. -----

std::optional<std::string> Unsendable(double value, bool r0) {
    // The longest command a value follows, with its space: "RES " of the V090 for a value.
    std::size_t lead = decade::cmd::kSetR0.size();
    if (!r0) {
        lead = 0;
        for (const decade::DecadeProfile& profile : decade::Profiles()) {
            lead = std::max(lead, profile.valueCommand.size() + 1);
        }
    }
    const std::size_t room = kMaxCommandLength - lead;
    const std::string digits = text::FormatPlain(value);
    if (digits.size() <= room) return std::nullopt;
    return "a value goes out in plain decimals, without exponent, in at most " + std::to_string(room) +
           " characters; this one needs " + std::to_string(digits.size());
}

// ----- Outcomes. -----

int StatusOf(const DecadeSession& session) {
    if (session.LinkFailed() || LinkLost(session.link)) return kLinkFailure;
    switch (session.Result().outcome) {
        case LinkOutcome::Done:
            return kDone;
        case LinkOutcome::Refused:
            return kRefused;
        default:
            return kLinkFailure;
    }
}

std::string ReasonOf(const DecadeSession& session) {
    if (!session.Result().reason.empty()) return session.Result().reason;
    if (LinkLost(session.link)) return "the link is gone";
    return "the decade did not answer";
}

int Fail(const Options& options, int status, const std::string& reason) {
    PrintLine(stderr, std::string(kProgram) + ": " + reason);
    if (options.json) {
        QJsonObject o;
        o[QStringLiteral("command")] = QLatin1String(options.command->name);
        o[QStringLiteral("status")] = status;
        o[QStringLiteral("error")] = Q(reason);
        PrintJson(o);
    }
    return status;
}

std::optional<int> Connect(const Options& options, DecadeSession& session) {
    const decade::Outcome outcome = session.Connect(options.link);
    if (outcome.outcome != LinkOutcome::Done) return Fail(options, kLinkFailure, outcome.reason);
    if (session.LinkFailed()) {
        const std::string reason = ReasonOf(session);
        CloseOrDrop(session);
        return Fail(options, kLinkFailure, reason);
    }
    return std::nullopt;
}

void CloseOrDrop(DecadeSession& session) {
    if (LinkLost(session.link)) {
        session.Drop();  // nothing reaches a decade whose link is gone: no command, no wait
    } else {
        session.Close();
    }
}

int Finish(DecadeSession& session, int status) {
    CloseOrDrop(session);
    if (Interrupted() && status == kDone) return kInterrupted;
    return status;
}

// ----- Settings. -----

namespace {

Setting Taken(bool taken) {
    return taken ? Setting::Taken : Setting::Refused;
}

}  // namespace

SettingCommand SelectCommand(int code) {
    return {SettingKind::Function, "such function", [code](DecadeSession& s, DecadeState& st) {
                if (!s.HasFunction(code)) return Setting::NotApplicable;
                const bool taken = s.SelectFunction(code);
                if (taken) st.function = code;
                return Taken(taken);
            }};
}

SettingCommand ValueCommand(double value) {
    return {SettingKind::Value, "value that can be set", [value](DecadeSession& s, DecadeState& st) {
                return s.SetBaseValue(value, st.function, st.output != 0);
            }};
}

int ApplySetting(DecadeSession& session, const SettingCommand& command, DecadeState& state,
                 std::string* reason) {
    session.BeginSequence(true);
    const Setting result = command.apply(session, state);
    if (result == Setting::NotApplicable) {
        *reason = "the " + session.info.name + " takes no " + command.what +
                  (command.kind == SettingKind::Value ? " on this function or while its output is off" : "");
        return kRefused;
    }
    if (result == Setting::Refused) NoteRefusal(session.link, "the decade refused the setting");
    session.ReadState(state);
    const int status = StatusOf(session);
    if (status != kDone) *reason = ReasonOf(session);
    return status;
}

}  // namespace ctl
