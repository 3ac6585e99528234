// ombrastel-ctl: one command a call, on the same decade session the panel uses, so that a
// setting puts the panel's bytes on the wire. Plain text or one JSON object a command on
// standard output, reasons on standard error, and an exit status a script can test.
#include "ctl/ctl.h"

#include <signal.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "decade/run_file.h"
#include "decade/names.h"
#include "decade/session.h"
#include "platform/link_log.h"
#include "platform/serial_ports.h"
#include "platform/settings_file.h"
#include "platform/settings_folder.h"
#include "platform/text.h"

#ifndef OMBRASTEL_VERSION
#define OMBRASTEL_VERSION "unknown"
#endif

namespace ctl {

namespace {

using decade::DecadeSession;
using decade::DecadeState;
using decade::ParseRunFile;
using decade::ParseValue;
using decade::RunStep;
using decade::Setting;
using decade::SettingKind;
using Clock = std::chrono::steady_clock;

constexpr const char* kProgram = "ombrastel-ctl";

// ----- Ctrl-C and SIGTERM: noted, acted on between steps. -----

volatile sig_atomic_t interrupted = 0;

void NoteInterrupt(int) {
    interrupted = 1;
}

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
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

// ----- The commands. -----

struct CommandEntry {
    const char* name;
    const char* arguments;  // as the help shows them
    const char* summary;
    int positional;  // arguments after the command's name
};

// clang-format off
constexpr std::array<CommandEntry, 14> kCommands{{
    {"ports",     "",               "List the serial ports of the system and what each COM number names.", 0},
    {"identify",  "",               "Model, class, serial number, firmware, functions and presets.", 0},
    {"state",     "",               "Everything the panel's refresh reads.", 0},
    {"set",       "VALUE",          "Set the value in the function's base unit, with an optional SI prefix\n"
                                    "(2.5k, 47n, 150, 1.5M; m milli, M mega, u or \xC2\xB5 micro).", 1},
    {"function",  "NAME|CODE",      "Select a function (resistance, pt385-90, nickel, pt100, user2, timing1 ...).", 1},
    {"unit",      "C|F|K",          "Set the temperature unit.", 1},
    {"standard",  "iec751|us-jis",  "Set the sensor standard.", 1},
    {"scale",     "its90|ipts68",   "Set the temperature scale.", 1},
    {"r0",        "VALUE",          "Set R0 of the sensor curve, in ohms.", 1},
    {"threshold", "N",              "Set the threshold.", 1},
    {"output",    "on|off",         "Switch the output relay.", 1},
    {"short",     "on|off",         "Switch the short relay.", 1},
    {"ground",    "on|off",         "Switch the ground relay.", 1},
    {"run",       "FILE.csv",       "Step through the rows value,dwell_seconds[,function] of FILE, each set\n"
                                    "and read back; a refusal stops the run.", 1},
}};
// clang-format on

const CommandEntry* FindCommand(const QString& name) {
    for (const CommandEntry& entry : kCommands) {
        if (name == QLatin1String(entry.name)) return &entry;
    }
    return nullptr;
}

struct Options {
    const CommandEntry* command = nullptr;
    QStringList arguments;
    bool json = false;
    int repeat = 1;
    decade::LinkSettings link;
};

struct UsageError {
    QString text;
    const CommandEntry* command = nullptr;
};

int SayUsage(const UsageError& error) {
    const QString hint = error.command != nullptr
                             ? QStringLiteral("%1 %2 --help").arg(QLatin1String(kProgram),
                                                                  QLatin1String(error.command->name))
                             : QStringLiteral("%1 --help").arg(QLatin1String(kProgram));
    Print(stderr, QStringLiteral("%1: %2\nTry '%3'.\n")
                      .arg(QLatin1String(kProgram), error.text, hint));
    return kUsage;
}

// A negative number ("-50") is a value, not an option: such words go behind "--", where
// the parser takes every word as an argument.
QStringList Arguments(int argc, char** argv) {
    static const QStringList kValued = {QStringLiteral("--settings"), QStringLiteral("--port"),
                                        QStringLiteral("--baud"),     QStringLiteral("--gpib"),
                                        QStringLiteral("--log"),      QStringLiteral("--repeat")};
    QStringList args;
    QStringList numbers;
    bool rest = false;
    for (int i = 0; i < argc; ++i) {
        const QString word = QString::fromLocal8Bit(argv[i]);
        if (i == 0 || rest) {
            (rest ? numbers : args) << word;
            continue;
        }
        if (word == QLatin1String("--")) {
            rest = true;
            continue;
        }
        const bool negative = word.size() > 1 && word[0] == QLatin1Char('-') &&
                              (word[1].isDigit() || word[1] == QLatin1Char('.'));
        if (negative && !kValued.contains(args.last())) {
            numbers << word;
        } else {
            args << word;
        }
    }
    if (args.isEmpty()) args << QLatin1String(kProgram);
    if (!numbers.isEmpty()) args << QStringLiteral("--") << numbers;
    return args;
}

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{QStringList{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and exit.")};
    QCommandLineOption settings{
        QStringLiteral("settings"),
        QStringLiteral("Take the link from Ombrastel.ini in <folder>, and COM n from its comN "
                       "links (default: the working directory)."),
        QStringLiteral("folder")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("RS-232 on COM n or on a device (/dev/ttyUSB0)."),
                            QStringLiteral("COMn|device")};
    QCommandLineOption baud{QStringLiteral("baud"), QStringLiteral("RS-232 baud rate."),
                            QStringLiteral("rate")};
    QCommandLineOption gpib{QStringLiteral("gpib"), QStringLiteral("GPIB at primary <address>."),
                            QStringLiteral("address")};
    QCommandLineOption log{
        QStringLiteral("log"),
        QStringLiteral("Append every line sent and received (and every GPIB call) to <file>."),
        QStringLiteral("file")};
    QCommandLineOption json{QStringLiteral("json"),
                            QStringLiteral("One JSON object a command (run: one a step).")};
    QCommandLineOption repeat{QStringLiteral("repeat"),
                              QStringLiteral("run: go through the file <n> times."),
                              QStringLiteral("n")};

    explicit Parser(const CommandEntry* command) {
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        for (const QCommandLineOption* o : {&help, &version, &settings, &port, &baud, &gpib, &log, &json}) {
            parser.addOption(*o);
        }
        if (command == nullptr || QLatin1String(command->name) == QLatin1String("run")) {
            parser.addOption(repeat);
        }
        if (command == nullptr) {
            QString text = QStringLiteral(
                "Sets and reads a programmable decade over RS-232 or GPIB, one command a call.\n"
                "Exit status: 0 done, 1 refused by the decade, 2 usage error, 3 link failure,\n"
                "130 interrupted.\n\nCommands:\n");
            for (const CommandEntry& entry : kCommands) {
                const QString head =
                    QStringLiteral("  %1 %2").arg(QLatin1String(entry.name), QLatin1String(entry.arguments));
                text += head.leftJustified(28) +
                        QString::fromUtf8(entry.summary).replace(QLatin1Char('\n'), QStringLiteral("\n").leftJustified(29)) +
                        QLatin1Char('\n');
            }
            parser.setApplicationDescription(text);
            parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("The command."),
                                         QStringLiteral("COMMAND [ARGUMENT]"));
        } else {
            parser.setApplicationDescription(QString::fromUtf8(command->summary));
            parser.addPositionalArgument(QLatin1String(command->name), QString(),
                                         QLatin1String(command->name));
            if (command->positional > 0) {
                parser.addPositionalArgument(QLatin1String(command->arguments), QString());
            }
        }
    }

    QString Help() const {
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), QLatin1String(kProgram));
        return text;
    }
};

std::optional<int> IntOf(const QString& text) {
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    return ok ? std::optional<int>(n) : std::nullopt;
}

// The link of Ombrastel.ini as the panel would take it: each key only with a value its
// control can hold.
decade::LinkSettings LinkFromSettingsFile() {
    static constexpr std::array<int, 10> kRates{300,  600,   1200,  2400,  4800,
                                                9600, 19200, 38400, 57600, 115200};
    static constexpr int kPortCount = 256;
    decade::LinkSettings link;
    const std::string path = folder::InSettingsFolder(kSettingsFile);
    const SettingsRead read = ReadSettingsLines(path, [&link](const SettingsLine& s) {
        if (s.type && (*s.type == 0 || *s.type == 1)) link.linkType = *s.type;
        if (s.address) link.gpibAddress = *s.address;
        if (s.com && *s.com >= 1 && *s.com <= kPortCount) link.comPort = *s.com;
        if (s.rate && std::find(kRates.begin(), kRates.end(), *s.rate) != kRates.end()) {
            link.baudRate = *s.rate;
        }
    });
    if (read == SettingsRead::NotRegular) {
        std::fprintf(stderr, "%s: %s is not a regular file; the link is the default\n", kProgram,
                     path.c_str());
    }
    return link;
}

// Reads the command line into options; an exit status when the program ends at once.
std::optional<int> ParseOptions(int argc, char** argv, Options* options) {
    const QStringList args = Arguments(argc, argv);
    Parser first(nullptr);
    if (!first.parser.parse(args)) return SayUsage({first.parser.errorText()});
    const QStringList positional = first.parser.positionalArguments();
    if (first.parser.isSet(first.version)) {
        std::printf("%s %s\n", kProgram, OMBRASTEL_VERSION);
        return kDone;
    }
    if (positional.isEmpty()) {
        if (first.parser.isSet(first.help)) {
            Print(stdout, first.Help());
            return kDone;
        }
        return SayUsage({QStringLiteral("no command given")});
    }
    const CommandEntry* command = FindCommand(positional.first());
    if (command == nullptr) {
        return SayUsage({QStringLiteral("unknown command '%1'").arg(positional.first())});
    }
    Parser p(command);
    if (!p.parser.parse(args)) return SayUsage({p.parser.errorText(), command});
    if (p.parser.isSet(p.help)) {
        Print(stdout, p.Help());
        return kDone;
    }
    options->command = command;
    options->arguments = p.parser.positionalArguments().mid(1);
    if (options->arguments.size() != command->positional) {
        return SayUsage({options->arguments.size() < command->positional
                             ? QStringLiteral("%1 needs %2").arg(QLatin1String(command->name),
                                                                 QLatin1String(command->arguments))
                             : QStringLiteral("unexpected argument '%1'")
                                   .arg(options->arguments.value(command->positional)),
                         command});
    }
    options->json = p.parser.isSet(p.json);
    if (p.parser.isSet(p.repeat)) {
        const std::optional<int> n = IntOf(p.parser.value(p.repeat));
        if (!n || *n < 1) return SayUsage({QStringLiteral("--repeat needs a count of 1 or more"), command});
        options->repeat = *n;
    }

    if (p.parser.isSet(p.settings)) {
        const QString dir = p.parser.value(p.settings);
        if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
            return SayUsage({QStringLiteral("--settings: '%1' is not a folder").arg(dir), command});
        }
        folder::SetSettingsFolder(dir.toLocal8Bit().toStdString());
    }
    options->link = LinkFromSettingsFile();
    if (p.parser.isSet(p.port) && p.parser.isSet(p.gpib)) {
        return SayUsage({QStringLiteral("--port and --gpib name two links; give one"), command});
    }
    if (p.parser.isSet(p.port)) {
        const QString port = p.parser.value(p.port);
        options->link.linkType = 0;
        const std::optional<int> n = port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)
                                         ? IntOf(port.mid(3))
                                         : std::nullopt;
        if (n) {
            if (*n < 1 || *n > 256) return SayUsage({QStringLiteral("--port: COM1 to COM256"), command});
            options->link.comPort = *n;
        } else if (port.isEmpty()) {
            return SayUsage({QStringLiteral("--port needs COMn or a device"), command});
        } else {
            options->link.comPort = 1;
            options->link.device = port.toLocal8Bit().toStdString();
        }
    }
    if (p.parser.isSet(p.baud)) {
        const std::optional<int> rate = IntOf(p.parser.value(p.baud));
        if (!rate || *rate <= 0) return SayUsage({QStringLiteral("--baud needs a rate"), command});
        options->link.baudRate = *rate;
    }
    if (p.parser.isSet(p.gpib)) {
        const std::optional<int> address = IntOf(p.parser.value(p.gpib));
        if (!address || *address < 0 || *address > 30) {
            return SayUsage({QStringLiteral("--gpib needs an address 0 to 30"), command});
        }
        options->link.linkType = 1;
        options->link.gpibAddress = *address;
    }
    if (p.parser.isSet(p.log)) {
        std::string why;
        const std::string file = p.parser.value(p.log).toLocal8Bit().toStdString();
        if (file.empty()) return SayUsage({QStringLiteral("--log needs a file"), command});
        if (!linklog::OpenFile(file, &why)) {
            std::fprintf(stderr, "%s: --log: cannot open %s: %s\n", kProgram, file.c_str(), why.c_str());
            return kUsage;
        }
    }
    return std::nullopt;
}

// ----- Describing a decade and its state. -----

double BaseValue(const DecadeState& state) {
    return state.value * std::pow(10.0, state.exponent);
}

QString ShownValue(const DecadeState& state) {
    return QString::number(state.value, 'f', std::max(0, state.decimals)) + QLatin1Char(' ') +
           Q(state.prefix) + Q(state.unitText);
}

QString OnOff(int on) {
    return on != 0 ? QStringLiteral("on") : QStringLiteral("off");
}

// The fields of a state the decade has, in the panel's order.
QJsonObject StateObject(const DecadeSession& session, const DecadeState& state) {
    QJsonObject o;
    const std::string function = decade::names::FunctionName(state.function, session.Profile().capacitance);
    if (!function.empty()) o[QStringLiteral("function")] = Q(function);
    o[QStringLiteral("value")] = BaseValue(state);
    o[QStringLiteral("shown")] = ShownValue(state);
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

// Plain text: "key: value" lines in the order of the object.
void PrintPlain(const QJsonObject& o, const QStringList& order) {
    for (const QString& key : order) {
        if (!o.contains(key)) continue;
        const QJsonValue v = o.value(key);
        QString text;
        if (key == QLatin1String("value")) {
            text = o.value(QStringLiteral("shown")).toString();
        } else if (v.isDouble()) {
            text = QString::number(v.toDouble(), 'g', 12);
        } else {
            text = v.toString();
        }
        Print(stdout, QStringLiteral("%1: %2\n").arg(key, text));
    }
}

const QStringList kStateOrder = {
    QStringLiteral("function"), QStringLiteral("value"),    QStringLiteral("unit"),
    QStringLiteral("r0"),       QStringLiteral("threshold"), QStringLiteral("standard"),
    QStringLiteral("scale"),    QStringLiteral("output"),   QStringLiteral("short"),
    QStringLiteral("ground")};

// ----- Outcomes. -----

// The exit status of what the session's present sequence came to.
int StatusOf(const DecadeSession& session) {
    if (session.LinkFailed() || SerialLinkLost(session.link)) return kLinkFailure;
    switch (session.Result().outcome) {
        case LinkOutcome::Done:
            return kDone;
        case LinkOutcome::Refused:
            return kRefused;
        default:
            return kLinkFailure;
    }
}

int Fail(const Options& options, int status, const std::string& reason) {
    std::fprintf(stderr, "%s: %s\n", kProgram, reason.c_str());
    if (options.json) {
        QJsonObject o;
        o[QStringLiteral("command")] = QLatin1String(options.command->name);
        o[QStringLiteral("status")] = status;
        o[QStringLiteral("error")] = Q(reason);
        PrintJson(o);
    }
    return status;
}

std::string ReasonOf(const DecadeSession& session) {
    if (!session.Result().reason.empty()) return session.Result().reason;
    if (SerialLinkLost(session.link)) return "the link is gone";
    return "the decade did not answer";
}

// Opens the link for one command: the identity and the remote command. The exit status
// when that failed (said already), nothing when the decade is there.
std::optional<int> Connect(const Options& options, DecadeSession& session) {
    const decade::Outcome outcome = session.Connect(options.link);
    if (outcome.outcome != LinkOutcome::Done) return Fail(options, kLinkFailure, outcome.reason);
    if (session.LinkFailed()) {
        const std::string reason = ReasonOf(session);
        session.Close();
        return Fail(options, kLinkFailure, reason);
    }
    return std::nullopt;
}

// Ends a command: the local command goes out whatever happened, then status (130 when a
// signal came meanwhile).
int Finish(DecadeSession& session, int status) {
    session.Close();
    if (interrupted && status == kDone) return kInterrupted;
    return status;
}

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
    QJsonObject o = DecadeObject(session);
    QJsonArray list;
    for (const decade::ListedFunction& f : functions) {
        QJsonObject entry;
        entry[QStringLiteral("code")] = f.code;
        entry[QStringLiteral("name")] = Q(decade::names::FunctionName(f.code, session.Profile().capacitance));
        if (f.presetKind >= 0) {
            entry[QStringLiteral("preset")] = Q(std::string(text::TrimLineEnd(f.presetName)));
        }
        list.append(entry);
    }
    const int status = Finish(session, kDone);
    if (options.json) {
        o[QStringLiteral("command")] = QStringLiteral("identify");
        o[QStringLiteral("functions")] = list;
        PrintJson(o);
        return status;
    }
    PrintPlain(o, {QStringLiteral("model"), QStringLiteral("class"), QStringLiteral("serial"),
                   QStringLiteral("firmware")});
    for (const QJsonValue& v : list) {
        const QJsonObject f = v.toObject();
        QString line = QStringLiteral("function: %1 (%2)")
                           .arg(f.value(QStringLiteral("name")).toString())
                           .arg(f.value(QStringLiteral("code")).toInt());
        if (f.contains(QStringLiteral("preset"))) line += QStringLiteral(" ") + f.value(QStringLiteral("preset")).toString();
        Print(stdout, line + QLatin1Char('\n'));
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
    PrintPlain(o, kStateOrder);
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

struct SettingCommand {
    SettingKind kind;
    const char* what;  // for "this decade has no ..."
    // Applies the argument to the decade in the state before; nothing when the argument
    // is no such setting (a usage error, said by the function).
    std::function<std::optional<Setting>(DecadeSession&, DecadeState&)> apply;
};

std::optional<bool> OnOffArgument(const QString& word) {
    if (word.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0 || word == QLatin1String("1")) return true;
    if (word.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0 || word == QLatin1String("0")) return false;
    return std::nullopt;
}

Setting Taken(bool taken) {
    return taken ? Setting::Taken : Setting::Refused;
}

// Selecting function code; a code the class has no place for is no setting of it.
SettingCommand SelectCommand(int code) {
    return {SettingKind::Function, "such function", [code](DecadeSession& s, DecadeState& st) {
                if (!s.HasFunction(code)) return std::optional<Setting>(Setting::NotApplicable);
                const bool taken = s.SelectFunction(code);
                if (taken) st.function = code;
                return std::optional<Setting>(Taken(taken));
            }};
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
    if (name == QLatin1String("set")) {
        const std::optional<double> value = ParseValue(word);
        if (!value) return bad(QStringLiteral("'%1' is no value").arg(argument));
        return SettingCommand{SettingKind::Value, "value that can be set", [v = *value](DecadeSession& s, DecadeState& st) {
                                  return std::optional<Setting>(s.SetBaseValue(v, st.function, st.output != 0));
                              }};
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
                                  return std::optional<Setting>(Taken(s.SetUnit(u)));
                              }};
    }
    if (name == QLatin1String("standard")) {
        const std::optional<int> standard = decade::names::StandardIndex(word);
        if (!standard) return bad(QStringLiteral("'%1' is no standard (iec751 or us-jis)").arg(argument));
        return SettingCommand{SettingKind::Standard, "sensor standard", [v = *standard](DecadeSession& s, DecadeState&) {
                                  return std::optional<Setting>(Taken(s.SetStandard(v)));
                              }};
    }
    if (name == QLatin1String("scale")) {
        const std::optional<int> scale = decade::names::ScaleIndex(word);
        if (!scale) return bad(QStringLiteral("'%1' is no scale (its90 or ipts68)").arg(argument));
        return SettingCommand{SettingKind::Scale, "temperature scale", [v = *scale](DecadeSession& s, DecadeState&) {
                                  return std::optional<Setting>(Taken(s.SetScale(v)));
                              }};
    }
    if (name == QLatin1String("r0")) {
        const std::optional<double> r0 = ParseValue(word);
        if (!r0) return bad(QStringLiteral("'%1' is no value").arg(argument));
        return SettingCommand{SettingKind::R0, "R0", [v = *r0](DecadeSession& s, DecadeState&) {
                                  return std::optional<Setting>(Taken(s.SetR0(v)));
                              }};
    }
    if (name == QLatin1String("threshold")) {
        const std::optional<int> threshold = IntOf(argument);
        if (!threshold) return bad(QStringLiteral("'%1' is no whole number").arg(argument));
        return SettingCommand{SettingKind::Threshold, "threshold", [v = *threshold](DecadeSession& s, DecadeState&) {
                                  return std::optional<Setting>(Taken(s.SetThreshold(v)));
                              }};
    }
    const std::optional<bool> on = OnOffArgument(argument);
    if (!on) return bad(QStringLiteral("'%1' is neither on nor off").arg(argument));
    if (name == QLatin1String("output")) {
        return SettingCommand{SettingKind::Output, "output relay", [v = *on](DecadeSession& s, DecadeState& st) {
                                  return std::optional<Setting>(s.SetOutput(v, st.value));
                              }};
    }
    if (name == QLatin1String("short")) {
        return SettingCommand{SettingKind::Short, "short relay", [v = *on](DecadeSession& s, DecadeState&) {
                                  return std::optional<Setting>(s.SetShort(v));
                              }};
    }
    return SettingCommand{SettingKind::Ground, "ground relay", [v = *on](DecadeSession& s, DecadeState&) {
                              return std::optional<Setting>(s.SetGround(v));
                          }};
}

// One setting in the way the panel's handler makes it: the setting, then the state read,
// in one sequence that stops at a decade that does not answer.
int ApplySetting(DecadeSession& session, const SettingCommand& command, DecadeState& state,
                 std::string* reason) {
    session.BeginSequence(true);
    const Setting result = *command.apply(session, state);
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

// ----- run. -----

// The progress line on a terminal: step n of N, a bar, the time the dwells still take.
class Progress {
  public:
    explicit Progress(int total) : shown_(isatty(STDERR_FILENO) != 0), total_(total) {}
    ~Progress() {
        if (shown_) Print(stderr, QStringLiteral("\r%1\r").arg(QString(), 60));
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Show(int step, double secondsLeft) {
        if (!shown_) return;
        constexpr int kWidth = 24;
        const int filled = total_ > 0 ? step * kWidth / total_ : kWidth;
        Print(stderr, QStringLiteral("\rstep %1 of %2 [%3%4] %5 left ")
                          .arg(step)
                          .arg(total_)
                          .arg(QString(filled, QLatin1Char('#')), QString(kWidth - filled, QLatin1Char('.')))
                          .arg(QString::fromStdString(text::FormatDuration(secondsLeft))));
    }
  private:
    bool shown_;
    int total_;
};

// Waits until seconds after from, or less when a signal comes.
void Dwell(Clock::time_point from, double seconds, const std::function<void(double)>& tick) {
    const Clock::time_point end = from + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(seconds));
    while (!interrupted) {
        const Clock::time_point now = Clock::now();
        if (now >= end) break;
        tick(std::chrono::duration<double>(end - now).count());
        std::this_thread::sleep_for(std::min<Clock::duration>(end - now, std::chrono::milliseconds(50)));
    }
}

int Run(const Options& options, DecadeSession& session) {
    QFile file(options.arguments.value(0));
    if (!file.open(QIODevice::ReadOnly)) {
        return SayUsage({QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()), options.command});
    }
    const QByteArray contents = file.read(16 * 1024 * 1024);
    std::vector<RunStep> rows;
    std::string why;
    if (!ParseRunFile(std::string_view(contents.constData(), static_cast<std::size_t>(contents.size())), &rows, &why)) {
        return SayUsage({QStringLiteral("%1: %2").arg(file.fileName(), Q(why)), options.command});
    }
    std::vector<std::optional<int>> functions;
    for (const RunStep& row : rows) {
        if (row.function.empty()) {
            functions.push_back(std::nullopt);
            continue;
        }
        const std::optional<int> code = decade::names::FunctionCode(row.function);
        if (!code) {
            return SayUsage({QStringLiteral("%1: line %2: '%3' is no function").arg(file.fileName()).arg(row.line).arg(Q(row.function)), options.command});
        }
        functions.push_back(code);
    }
    const int total = static_cast<int>(rows.size()) * options.repeat;
    double secondsLeft = 0.0;
    for (const RunStep& row : rows) secondsLeft += row.dwellSeconds * options.repeat;

    if (auto failed = Connect(options, session)) return *failed;
    session.BeginSequence(true);
    DecadeState state = session.StartingState();
    session.ReadState(state);
    if (StatusOf(session) != kDone) {
        const std::string reason = ReasonOf(session);
        return Fail(options, Finish(session, kLinkFailure), reason);
    }
    Progress progress(total);
    const Clock::time_point start = Clock::now();
    int step = 0;
    for (int pass = 0; pass < options.repeat && !interrupted; ++pass) {
        for (std::size_t i = 0; i < rows.size() && !interrupted; ++i) {
            ++step;
            const RunStep& row = rows[i];
            progress.Show(step, secondsLeft);
            if (functions[i] && *functions[i] != state.function) {
                const int code = *functions[i];
                const int status = ApplySetting(session, SelectCommand(code), state, &why);
                if (status != kDone) {
                    return Fail(options, Finish(session, status), "step " + std::to_string(step) + " (line " + std::to_string(row.line) + "): " + why);
                }
            }
            // A step lasts its dwell from the moment its value goes out, the exchanges
            // included, as in the panel's sequence window.
            const Clock::time_point stepStart = Clock::now();
            const SettingCommand set{SettingKind::Value, "value that can be set", [v = row.value](DecadeSession& s, DecadeState& st) {
                                         return std::optional<Setting>(s.SetBaseValue(v, st.function, st.output != 0));
                                     }};
            const int status = ApplySetting(session, set, state, &why);
            if (status != kDone) {
                return Fail(options, Finish(session, status), "step " + std::to_string(step) + " (line " + std::to_string(row.line) + "): " + why);
            }
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            QJsonObject o;
            o[QStringLiteral("step")] = step;
            o[QStringLiteral("time")] = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
            o[QStringLiteral("elapsed")] = std::round(elapsed * 1000.0) / 1000.0;
            const std::string function = decade::names::FunctionName(state.function, session.Profile().capacitance);
            if (!function.empty()) o[QStringLiteral("function")] = Q(function);
            o[QStringLiteral("set")] = row.value;
            o[QStringLiteral("read")] = BaseValue(state);
            o[QStringLiteral("shown")] = ShownValue(state);
            if (options.json) {
                PrintJson(o);
            } else {
                Print(stdout, QStringLiteral("%1/%2 %3 s: set %4, read %5\n")
                                  .arg(step)
                                  .arg(total)
                                  .arg(QString::number(elapsed, 'f', 1))
                                  .arg(QString::number(row.value, 'g', 12), ShownValue(state)));
            }
            const double after = secondsLeft - row.dwellSeconds;
            Dwell(stepStart, row.dwellSeconds, [&progress, step, after](double left) { progress.Show(step, after + left); });
            secondsLeft -= row.dwellSeconds;
        }
    }
    if (interrupted) {
        session.Close();
        std::fprintf(stderr, "%s: interrupted after step %d of %d; the decade is back in local\n", kProgram, step, total);
        return kInterrupted;
    }
    return Finish(session, kDone);
}

}  // namespace

int RunCtl(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QLatin1String(kProgram));
    QCoreApplication::setApplicationVersion(QLatin1String(OMBRASTEL_VERSION));
    Options options;
    if (const std::optional<int> status = ParseOptions(argc, argv, &options)) return *status;
    CatchInterrupts();
    const QString name = QLatin1String(options.command->name);
    if (name == QLatin1String("ports")) return Ports(options);
    DecadeSession session;
    if (name == QLatin1String("identify")) return Identify(options, session);
    if (name == QLatin1String("state")) return State(options, session);
    if (name == QLatin1String("run")) return Run(options, session);
    return SetOne(options, session);
}

}  // namespace ctl
