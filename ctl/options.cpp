#include "ctl/options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cstdio>

#include "ctl/ctl.h"
#include "ctl/outcome.h"
#include "decade/run_file.h"
#include "link/link_address.h"
#include "platform/link_log.h"
#include "platform/settings_file.h"
#include "platform/settings_folder.h"

#ifndef OMBRASTEL_VERSION
#define OMBRASTEL_VERSION "unknown"
#endif

namespace ctl {

namespace {

// clang-format off
constexpr std::array<CommandEntry, 14> kCommands{{
    {"ports",     "",               "List the serial ports of the system and what each COM number names.", 0},
    {"identify",  "",               "Model, class, serial number, firmware, functions and presets.", 0},
    {"state",     "",               "Everything the panel's refresh reads.", 0},
    {"set",       "VALUE",          "Set the value in the function's base unit, with an optional SI prefix\n"
                                    "(2.5k, 47n, 150, 1.5M; m milli, M mega, u or \xC2\xB5 micro).", 1},
    {"function",  "NAME|CODE",      "Select a function (resistance, pt385-90, nickel, pt100, user2, timing1 ...),\n"
                                    "also by the name the panel shows (\"Platinum Pt385 (90)\").", 1},
    {"unit",      "C|F|K",          "Set the temperature unit.", 1},
    {"standard",  "iec751|us-jis",  "Set the sensor standard.", 1},
    {"scale",     "its90|ipts68",   "Set the temperature scale.", 1},
    {"r0",        "VALUE",          "Set R0 of the sensor curve, in ohms.", 1},
    {"threshold", "N",              "Set the threshold.", 1},
    {"output",    "on|off",         "Switch the output relay.", 1},
    {"short",     "on|off",         "Switch the short relay.", 1},
    {"ground",    "on|off",         "Switch the ground relay.", 1},
    {"run",       "FILE.csv",       "Step through the rows value,dwell_seconds[,function] of FILE (at most\n"
                                    "16 MiB), each set and read back; a refusal stops the run.", 1},
}};
// clang-format on
static_assert(decade::kMaxRunFileBytes == std::int64_t{16} << 20, "the help of run names the limit");

const CommandEntry* FindCommand(const QString& name) {
    for (const CommandEntry& entry : kCommands) {
        if (name == QLatin1String(entry.name)) return &entry;
    }
    return nullptr;
}

}  // namespace

int SayUsage(const UsageError& error) {
    const QString hint = error.command != nullptr
                             ? QStringLiteral("%1 %2 --help").arg(QLatin1String(kProgram),
                                                                  QLatin1String(error.command->name))
                             : QStringLiteral("%1 --help").arg(QLatin1String(kProgram));
    Print(stderr, QStringLiteral("%1: %2\nTry '%3'.\n")
                      .arg(QLatin1String(kProgram), error.text, hint));
    return kUsage;
}

namespace {

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
                            QStringLiteral("The link: COM n, a serial device (/dev/ttyUSB0), GPIB "
                                           "address n (gpib:n), or its VISA name (ASRL3::INSTR, "
                                           "ASRL/dev/ttyUSB0::INSTR, GPIB0::5::INSTR)."),
                            QStringLiteral("link")};
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
                "4 the --log file could not be written whole, 130 interrupted.\n\nCommands:\n");
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

}  // namespace

std::optional<int> IntOf(const QString& text) {
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    return ok ? std::optional<int>(n) : std::nullopt;
}

namespace {

// The link of Ombrastel.ini as the panel would take it: each key only with a value its
// control can hold.
decade::LinkSettings LinkFromSettingsFile() {
    static constexpr std::array<int, 10> kRates{300,  600,   1200,  2400,  4800,
                                                9600, 19200, 38400, 57600, 115200};
    int type = 0;
    int address = 0;
    int com = 1;
    decade::LinkSettings link;
    const std::string path = folder::InSettingsFolder(kSettingsFile);
    const SettingsRead read = ReadSettingsLines(path, [&](const SettingsLine& s) {
        if (s.type && (*s.type == 0 || *s.type == 1)) type = *s.type;
        if (s.address) address = *s.address;
        if (s.com && *s.com >= links::kFirstComPort && *s.com <= links::kLastComPort) com = *s.com;
        if (s.rate && std::find(kRates.begin(), kRates.end(), *s.rate) != kRates.end()) {
            link.baudRate = *s.rate;
        }
    });
    if (read == SettingsRead::NotRegular) {
        std::fprintf(stderr, "%s: %s is not a regular file; the link is the default\n", kProgram,
                     path.c_str());
    }
    if (type != 0) {
        link.address = links::GpibDevice{address};
    } else {
        link.address = links::ComPort{com};
    }
    return link;
}

}  // namespace

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
    // Only run has --repeat; the parser of another command does not know it.
    if (QLatin1String(command->name) == QLatin1String("run") && p.parser.isSet(p.repeat)) {
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
        std::string why;
        const std::optional<links::LinkAddress> address =
            links::ParseLinkAddress(p.parser.value(p.port).toLocal8Bit().toStdString(), &why);
        if (!address) return SayUsage({QStringLiteral("--port: %1").arg(QString::fromLocal8Bit(why)), command});
        options->link.address = *address;
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
        options->link.address = links::GpibDevice{*address};
    }
    if (p.parser.isSet(p.log)) {
        std::string why;
        const std::string file = p.parser.value(p.log).toLocal8Bit().toStdString();
        if (file.empty()) return SayUsage({QStringLiteral("--log needs a file"), command});
        const auto say = [file](const std::string& problem) {
            std::fprintf(stderr, "%s: --log %s: %s\n", kProgram, file.c_str(), problem.c_str());
        };
        if (!linklog::OpenFile(file, &why, say)) {
            std::fprintf(stderr, "%s: --log: cannot open %s: %s\n", kProgram, file.c_str(), why.c_str());
            return kUsage;
        }
        options->logFile = file;
    }
    return std::nullopt;
}

}  // namespace ctl
