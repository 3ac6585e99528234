#include "app/command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>

#include "platform/link_log.h"
#include "platform/settings_folder.h"

#ifndef OMBRASTEL_VERSION
#define OMBRASTEL_VERSION "unknown"
#endif

namespace {

constexpr const char* kProgram = "ombrastel";

// Options of the Qt toolkit that take a value, and those that take none. They are not
// ours, but a command line that gives them must still start the panel.
constexpr const char* kToolkitValueOptions[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin",         "display",
    "style",    "stylesheet",         "geometry",      "qwindowgeometry", "qwindowtitle",
    "qwindowicon", "session"};
constexpr const char* kToolkitFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

void Print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

}  // namespace

std::optional<int> ParseCommandLine(int argc, char** argv, CommandLineOptions* options) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    if (args.isEmpty()) args << QString::fromLatin1(kProgram);

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Control panel for programmable decades over RS-232 or GPIB.\n"
        "Settings (Ombrastel.ini) and the comN links that name the serial ports are kept\n"
        "in the working directory unless --settings names another folder."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption settings(
        QStringLiteral("settings"),
        QStringLiteral("Keep Ombrastel.ini and the comN links in <folder>."),
        QStringLiteral("folder"));
    const QCommandLineOption log(
        QStringLiteral("log"),
        QStringLiteral("Append every line sent and received (and every GPIB call) to <file>."),
        QStringLiteral("file"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(settings);
    parser.addOption(log);
    for (const char* name : kToolkitValueOptions) {
        QCommandLineOption o(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        o.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(o);
    }
    for (const char* name : kToolkitFlags) {
        QCommandLineOption o(QString::fromLatin1(name));
        o.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(o);
    }

    if (!parser.parse(args)) {
        Print(stderr, QStringLiteral("%1: %2\nTry '%1 --help'.\n")
                          .arg(QString::fromLatin1(kProgram), parser.errorText()));
        return 2;
    }
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), QString::fromLatin1(kProgram));
        Print(stdout, text);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", kProgram, OMBRASTEL_VERSION);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        Print(stderr, QStringLiteral("%1: unexpected argument '%2'\nTry '%1 --help'.\n")
                          .arg(QString::fromLatin1(kProgram), parser.positionalArguments().first()));
        return 2;
    }
    options->settingsFolder = parser.value(settings).toLocal8Bit().toStdString();
    options->logFile = parser.value(log).toLocal8Bit().toStdString();
    if (parser.isSet(settings) && options->settingsFolder.empty()) {
        std::fprintf(stderr, "%s: --settings needs a folder\n", kProgram);
        return 2;
    }
    if (parser.isSet(log) && options->logFile.empty()) {
        std::fprintf(stderr, "%s: --log needs a file\n", kProgram);
        return 2;
    }
    return std::nullopt;
}

bool ApplyCommandLine(const CommandLineOptions& options) {
    if (!options.settingsFolder.empty()) {
        const QFileInfo info(QString::fromLocal8Bit(options.settingsFolder.c_str()));
        if (!info.isDir()) {
            std::fprintf(stderr, "%s: --settings: %s is not a folder\n", kProgram,
                         options.settingsFolder.c_str());
            return false;
        }
        folder::SetSettingsFolder(options.settingsFolder);
    }
    if (!options.logFile.empty()) {
        std::string why;
        // A file that takes the log too slowly or not at all is said once, never silent;
        // the panel's exit does not wait for it beyond the log's bound.
        const std::string file = options.logFile;
        const auto say = [file](const std::string& problem) {
            std::fprintf(stderr, "%s: --log %s: %s\n", kProgram, file.c_str(), problem.c_str());
        };
        if (!linklog::OpenFile(options.logFile, &why, say)) {
            std::fprintf(stderr, "%s: --log: cannot open %s: %s\n", kProgram,
                         options.logFile.c_str(), why.c_str());
            return false;
        }
    }
    return true;
}
