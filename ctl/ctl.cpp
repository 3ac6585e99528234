// ombrastel-ctl: one command a call, on the same decade session the panel uses, so that a
// setting puts the panel's bytes on the wire. Plain text or one JSON object a command on
// standard output, reasons on standard error, and an exit status a script can test.
#include "ctl/ctl.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ctl/options.h"
#include "ctl/outcome.h"
#include "ctl/run.h"
#include "decade/names.h"
#include "decade/run_file.h"
#include "decade/session.h"
#include "platform/link_log.h"
#include "platform/serial_ports.h"
#include "platform/text.h"
#include "platform/translation.h"

#ifndef OMBRASTEL_VERSION
#define OMBRASTEL_VERSION "unknown"
#endif

namespace ctl {

namespace {

using decade::DecadeSession;
using decade::DecadeState;
using decade::ParseValue;
using decade::Setting;
using decade::SettingKind;

// ----- Describing a decade and its state. -----

QString OnOff(int on) {
    return on != 0 ? QStringLiteral("on") : QStringLiteral("off");
}

// The fields of a state the decade has, in the panel's order.
QJsonObject StateObject(const DecadeSession& session, const DecadeState& state) {
    QJsonObject o;
    const std::string function = decade::names::FunctionName(state.function, session.Profile().capacitance);
    if (!function.empty()) o[QStringLiteral("function")] = Q(function);
    o[QStringLiteral("value")] = BaseValue(state);
    o[QStringLiteral("shown")] = Q(ShownValue(state));
    if (session.Offers(SettingKind::Unit)) o[QStringLiteral("unit")] = Q(decade::names::UnitName(state.unit));
    if (session.Offers(SettingKind::R0)) o[QStringLiteral("r0")] = state.r0;
    if (session.Offers(SettingKind::Threshold)) o[QStringLiteral("threshold")] = state.threshold;
    if (session.Offers(SettingKind::Standard)) {
        o[QStringLiteral("standard")] = Q(decade::names::StandardName(state.standard));
    }
    if (session.Offers(SettingKind::Scale)) o[QStringLiteral("scale")] = Q(decade::names::ScaleName(state.scale));
    if (session.Offers(SettingKind::Output)) o[QStringLiteral("output")] = OnOff(state.output);
    if (session.Offers(SettingKind::Short)) o[QStringLiteral("short")] = OnOff(state.shorted);
    if (session.Offers(SettingKind::Ground)) o[QStringLiteral("ground")] = OnOff(state.ground);
    return o;
}

QJsonObject DecadeObject(const DecadeSession& session) {
    QJsonObject o;
    o[QStringLiteral("model")] = Q(session.info.name);
    o[QStringLiteral("class")] = session.info.model;
    o[QStringLiteral("serial")] = session.info.serialNumber;
    o[QStringLiteral("firmware")] = QString::number(static_cast<double>(session.info.firmwareVersion), 'f', 4);
    return o;
}

// Plain text: "key: value" lines in the order of the object; the value as the panel shows
// it is the text the decade's replies made (raw), every control byte escaped.
void PrintPlain(const QJsonObject& o, const QStringList& order, const std::string& shown = {}) {
    for (const QString& key : order) {
        if (!o.contains(key)) continue;
        const QJsonValue v = o.value(key);
        std::string text;
        if (key == QLatin1String("value")) {
            text = shown;
        } else if (v.isDouble()) {
            text = QString::number(v.toDouble(), 'g', 12).toStdString();
        } else {
            text = v.toString().toStdString();
        }
        PrintLine(stdout, key.toStdString() + ": " + text);
    }
}

const QStringList kStateOrder = {
    QStringLiteral("function"), QStringLiteral("value"),    QStringLiteral("unit"),
    QStringLiteral("r0"),       QStringLiteral("threshold"), QStringLiteral("standard"),
    QStringLiteral("scale"),    QStringLiteral("output"),   QStringLiteral("short"),
    QStringLiteral("ground")};

// ----- ports. -----

int Ports(const Options& options) {
    const std::vector<ports::SystemPort> system = ports::SystemPorts();
    const std::set<std::string> listed = ports::ListedDevices();
    QJsonArray portList;
    for (const ports::SystemPort& p : system) {
        QJsonObject o;
        o[QStringLiteral("device")] = p.device;
        o[QStringLiteral("description")] = p.description;
        o[QStringLiteral("manufacturer")] = p.manufacturer;
        o[QStringLiteral("serial")] = p.serialNumber;
        if (p.vendorId) o[QStringLiteral("vendor")] = QStringLiteral("%1").arg(*p.vendorId, 4, 16, QLatin1Char('0'));
        if (p.productId) o[QStringLiteral("product")] = QStringLiteral("%1").arg(*p.productId, 4, 16, QLatin1Char('0'));
        o[QStringLiteral("by_id")] = p.byId;
        portList.append(o);
    }
    QJsonArray comList;
    for (int n = 1; n <= 256; ++n) {
        const ports::ComTarget t = ports::ResolveComPort(n, listed);
        if (!t.viaLink && !t.present) continue;
        QJsonObject o;
        o[QStringLiteral("com")] = n;
        o[QStringLiteral("device")] = Q(t.device);
        if (t.viaLink) o[QStringLiteral("link")] = Q(t.linkTarget);
        o[QStringLiteral("present")] = t.present;
        comList.append(o);
    }
    if (options.json) {
        QJsonObject o;
        o[QStringLiteral("command")] = QStringLiteral("ports");
        o[QStringLiteral("ports")] = portList;
        o[QStringLiteral("com")] = comList;
        PrintJson(o);
        return kDone;
    }
    if (system.empty()) Print(stdout, QStringLiteral("The system reports no serial port.\n"));
    for (const ports::SystemPort& p : system) {
        QString line = p.device;
        for (const QString& field : {p.description, p.manufacturer, p.serialNumber, p.byId}) {
            if (!field.isEmpty()) line += QStringLiteral("  ") + field;
        }
        Print(stdout, line + QLatin1Char('\n'));
    }
    for (const QJsonValue& v : comList) {
        const QJsonObject o = v.toObject();
        QString line = QStringLiteral("COM%1 -> %2").arg(o.value(QStringLiteral("com")).toInt())
                           .arg(o.value(QStringLiteral("device")).toString());
        if (o.contains(QStringLiteral("link"))) {
            line += QStringLiteral(" (link to %1)").arg(o.value(QStringLiteral("link")).toString());
        }
        if (!o.value(QStringLiteral("present")).toBool()) line += QStringLiteral(", not present");
        Print(stdout, line + QLatin1Char('\n'));
    }
    return kDone;
}

// ----- identify and state. -----

int Identify(const Options& options, DecadeSession& session) {
    DecadeState state;
    std::vector<decade::ListedFunction> functions;
    const decade::Outcome outcome = session.Open(options.link, &state, &functions);
    if (outcome.outcome != LinkOutcome::Done) return Fail(options, kLinkFailure, outcome.reason);
    const bool capacitance = session.Profile().capacitance;
    QJsonObject o = DecadeObject(session);
    const int status = Finish(session, kDone);
    if (options.json) {
        // Each function by its script name and by the name the panel shows, in English
        // and in the built-in translation; a preset by the name the decade gave it.
        const QString translated = QStringLiteral("shown_%1").arg(QLatin1String(translation::Code()));
        QJsonArray list;
        for (const decade::ListedFunction& f : functions) {
            QJsonObject entry;
            entry[QStringLiteral("code")] = f.code;
            entry[QStringLiteral("name")] = Q(decade::names::FunctionName(f.code, capacitance));
            if (f.presetKind >= 0) {
                const std::string received(text::TrimLineEnd(text::UpToNul(f.presetName)));
                entry[QStringLiteral("shown")] = Q(decade::names::PresetKindEnglish(f.presetKind) + received);
                entry[translated] = Q(decade::names::PresetKindTranslated(f.presetKind) + received);
                entry[QStringLiteral("preset")] = Q(decade::names::PresetNameText(f.presetName));
            } else if (const char* shown = decade::names::ShownFunctionEnglish(f.code, capacitance)) {
                entry[QStringLiteral("shown")] = QString::fromUtf8(shown);
                entry[translated] = Q(decade::names::ShownFunctionTranslated(f.code, capacitance));
            }
            list.append(entry);
        }
        o[QStringLiteral("command")] = QStringLiteral("identify");
        o[QStringLiteral("functions")] = list;
        PrintJson(o);
        return status;
    }
    PrintPlain(o, {QStringLiteral("model"), QStringLiteral("class"), QStringLiteral("serial"),
                   QStringLiteral("firmware")});
    for (const decade::ListedFunction& f : functions) {
        std::string line = "function: " + decade::names::FunctionName(f.code, capacitance) + " (" +
                           std::to_string(f.code) + ")";
        if (f.presetKind >= 0) line += " " + std::string(text::TrimLineEnd(f.presetName));
        PrintLine(stdout, line);
    }
    return status;
}

void PrintState(const Options& options, const DecadeSession& session, const DecadeState& state) {
    QJsonObject o = StateObject(session, state);
    if (options.json) {
        QJsonObject out = DecadeObject(session);
        out[QStringLiteral("command")] = QLatin1String(options.command->name);
        out[QStringLiteral("state")] = o;
        PrintJson(out);
        return;
    }
    PrintPlain(o, kStateOrder, ShownValue(state));
}

int State(const Options& options, DecadeSession& session) {
    if (auto failed = Connect(options, session)) return *failed;
    session.BeginSequence(true);
    DecadeState state = session.StartingState();
    session.ReadState(state);
    const int status = StatusOf(session);
    if (status != kDone) {
        const std::string reason = ReasonOf(session);
        return Fail(options, Finish(session, status), reason);
    }
    PrintState(options, session, state);
    return Finish(session, kDone);
}

// ----- Settings. -----

std::optional<bool> OnOffArgument(const QString& word) {
    if (word.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0 || word == QLatin1String("1")) return true;
    if (word.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0 || word == QLatin1String("0")) return false;
    return std::nullopt;
}

Setting Taken(bool taken) {
    return taken ? Setting::Taken : Setting::Refused;
}

// What a setting command means, or a usage error.
std::optional<SettingCommand> SettingOf(const Options& options, UsageError* error) {
    const QString name = QLatin1String(options.command->name);
    const QString argument = options.arguments.value(0);
    const std::string word = argument.toStdString();
    error->command = options.command;
    const auto bad = [&](const QString& why) {
        error->text = why;
        return std::nullopt;
    };
    // A number that no command could carry is the caller's mistake, not the decade's.
    const auto value = [&](bool r0) -> std::optional<double> {
        const std::optional<double> v = ParseValue(word);
        if (!v) {
            error->text = QStringLiteral("'%1' is no value").arg(argument);
        } else if (const std::optional<std::string> why = Unsendable(*v, r0)) {
            error->text = QStringLiteral("'%1' cannot be sent: %2").arg(argument, Q(*why));
            return std::nullopt;
        }
        return v;
    };
    if (name == QLatin1String("set")) {
        const std::optional<double> v = value(false);
        if (!v) return std::nullopt;
        return ValueCommand(*v);
    }
    if (name == QLatin1String("function")) {
        const std::optional<int> code = decade::names::FunctionCode(word);
        if (!code) return bad(QStringLiteral("'%1' is no function").arg(argument));
        return SelectCommand(*code);
    }
    if (name == QLatin1String("unit")) {
        const std::optional<int> unit = decade::names::UnitIndex(word);
        if (!unit) return bad(QStringLiteral("'%1' is no unit (C, F or K)").arg(argument));
        return SettingCommand{SettingKind::Unit, "temperature unit", [u = *unit](DecadeSession& s, DecadeState&) {
                                  return Taken(s.SetUnit(u));
                              }};
    }
    if (name == QLatin1String("standard")) {
        const std::optional<int> standard = decade::names::StandardIndex(word);
        if (!standard) return bad(QStringLiteral("'%1' is no standard (iec751 or us-jis)").arg(argument));
        return SettingCommand{SettingKind::Standard, "sensor standard", [v = *standard](DecadeSession& s, DecadeState&) {
                                  return Taken(s.SetStandard(v));
                              }};
    }
    if (name == QLatin1String("scale")) {
        const std::optional<int> scale = decade::names::ScaleIndex(word);
        if (!scale) return bad(QStringLiteral("'%1' is no scale (its90 or ipts68)").arg(argument));
        return SettingCommand{SettingKind::Scale, "temperature scale", [v = *scale](DecadeSession& s, DecadeState&) {
                                  return Taken(s.SetScale(v));
                              }};
    }
    if (name == QLatin1String("r0")) {
        const std::optional<double> r0 = value(true);
        if (!r0) return std::nullopt;
        return SettingCommand{SettingKind::R0, "R0", [v = *r0](DecadeSession& s, DecadeState&) {
                                  return Taken(s.SetR0(v));
                              }};
    }
    if (name == QLatin1String("threshold")) {
        const std::optional<int> threshold = IntOf(argument);
        if (!threshold) return bad(QStringLiteral("'%1' is no whole number").arg(argument));
        return SettingCommand{SettingKind::Threshold, "threshold", [v = *threshold](DecadeSession& s, DecadeState&) {
                                  return Taken(s.SetThreshold(v));
                              }};
    }
    const std::optional<bool> on = OnOffArgument(argument);
    if (!on) return bad(QStringLiteral("'%1' is neither on nor off").arg(argument));
    if (name == QLatin1String("output")) {
        return SettingCommand{SettingKind::Output, "output relay", [v = *on](DecadeSession& s, DecadeState& st) {
                                  return s.SetOutput(v, st.value);
                              }};
    }
    if (name == QLatin1String("short")) {
        return SettingCommand{SettingKind::Short, "short relay", [v = *on](DecadeSession& s, DecadeState&) {
                                  return s.SetShort(v);
                              }};
    }
    return SettingCommand{SettingKind::Ground, "ground relay", [v = *on](DecadeSession& s, DecadeState&) {
                              return s.SetGround(v);
                          }};
}

int SetOne(const Options& options, DecadeSession& session) {
    UsageError usage;
    const std::optional<SettingCommand> command = SettingOf(options, &usage);
    if (!command) return SayUsage(usage);
    if (auto failed = Connect(options, session)) return *failed;
    DecadeState state = session.StartingState();
    if (!session.Offers(command->kind)) {
        const std::string reason = "the " + session.info.name + " has no " + command->what;
        return Fail(options, Finish(session, kRefused), reason);
    }
    if (session.NeedsStateFirst(command->kind)) {
        session.BeginSequence(true);
        session.ReadState(state);
        if (StatusOf(session) != kDone) {
            const std::string reason = ReasonOf(session);
            return Fail(options, Finish(session, kLinkFailure), reason);
        }
    }
    std::string reason;
    const int status = ApplySetting(session, *command, state, &reason);
    if (status != kDone) return Fail(options, Finish(session, status), reason);
    PrintState(options, session, state);
    return Finish(session, kDone);
}

int Command(const Options& options) {
    const QString name = QLatin1String(options.command->name);
    if (name == QLatin1String("ports")) return Ports(options);
    DecadeSession session;
    if (name == QLatin1String("identify")) return Identify(options, session);
    if (name == QLatin1String("state")) return State(options, session);
    if (name == QLatin1String("run")) return Run(options, session);
    return SetOne(options, session);
}

}  // namespace

int RunCtl(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QLatin1String(kProgram));
    QCoreApplication::setApplicationVersion(QLatin1String(OMBRASTEL_VERSION));
    Options options;
    if (const std::optional<int> status = ParseOptions(argc, argv, &options)) return *status;
    CatchInterrupts();
    int status = Command(options);
    // A log that lost entries is said (once, by the log) and in the status, unless the
    // command itself failed.
    if (!options.logFile.empty() && !linklog::CloseFile() && status == kDone) status = kLogFailed;
    if (Interrupted() && status == kDone) status = kInterrupted;  // the output's reader went
    return status;
}

}  // namespace ctl
