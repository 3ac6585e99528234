// The command line of the real programs: help and version print and end without a display,
// a wrong option ends with status 2, and --settings moves the settings file and the comN
// links to another folder.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#include <vector>

#include "app/panel.h"
#include "platform/rs232.h"
#include "platform/settings_folder.h"
#include "toolkit/ui.h"
#include "support/program_fixture.h"

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

// Runs program with args in an environment without any display.
Outcome RunWithoutDisplay(const QString& program, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"}) {
        env.remove(name);
    }
    p.setProcessEnvironment(env);
    p.start(program, args);
    Outcome r;
    if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit) return r;
    r.status = p.exitCode();
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

QString Simulator() {
    return QString::fromLocal8Bit(qgetenv("OMBRASTEL_SIM"));
}

// Each program, each argument: the status, and a text that stdout or stderr must hold.
struct ArgsCase {
    const char* program;  // "ombrastel" or "decade-sim"
    QStringList args;
    int status;
    const char* inOut;  // nullptr: stdout stays empty
    const char* inErr;  // nullptr: stderr stays empty
};

TEST(CommandLine, HelpVersionAndWrongOptionsWithoutDisplay) {
    const std::vector<ArgsCase> cases = {
        {"ombrastel", {"--help"}, 0, "--settings <folder>", nullptr},
        {"ombrastel", {"-h"}, 0, "--log <file>", nullptr},
        {"ombrastel", {"--version"}, 0, "ombrastel 0.", nullptr},
        {"ombrastel", {"--frobnicate"}, 2, nullptr, "Unknown option 'frobnicate'"},
        {"ombrastel", {"--settings"}, 2, nullptr, "Missing value after '--settings'"},
        {"ombrastel", {"--settings", "/no/such/folder"}, 2, nullptr, "is not a folder"},
        {"ombrastel", {"--log", "/no/such/folder/log.txt"}, 2, nullptr, "cannot open"},
        {"ombrastel", {"stray"}, 2, nullptr, "unexpected argument 'stray'"},
        {"decade-sim", {"--help"}, 0, "--version", nullptr},
        {"decade-sim", {"--version"}, 0, "decade-sim 0.", nullptr},
        {"decade-sim", {"--frobnicate"}, 2, nullptr, "unknown option: --frobnicate"},
    };
    for (const ArgsCase& c : cases) {
        const QString program = QString::fromLatin1(c.program) == "ombrastel"
                                    ? QStringLiteral(OMBRASTEL_APP_PATH)
                                    : Simulator();
        const Outcome r = RunWithoutDisplay(program, c.args);
        SCOPED_TRACE(std::string(c.program) + " " + c.args.join(' ').toStdString());
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        if (c.inOut != nullptr) {
            EXPECT_TRUE(r.out.contains(QString::fromLatin1(c.inOut))) << r.out.toStdString();
        } else {
            EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        }
        if (c.inErr != nullptr) {
            EXPECT_TRUE(r.err.contains(QString::fromLatin1(c.inErr))) << r.err.toStdString();
            EXPECT_EQ(r.err.count('\n'), c.status == 2 && r.err.contains("Try") ? 2 : 1)
                << r.err.toStdString();
        } else {
            EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        }
    }
}

// The toolkit's own options still reach it: -platform offscreen starts the panel, which
// keeps running until it is stopped.
TEST(CommandLine, ToolkitOptionsAreLetThrough) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    p.setProcessEnvironment(env);
    QTemporaryDir cwd;
    p.setWorkingDirectory(cwd.path());
    p.start(QStringLiteral(OMBRASTEL_APP_PATH), {"-platform", "offscreen"});
    ASSERT_TRUE(p.waitForStarted(5000));
    EXPECT_FALSE(p.waitForFinished(1500)) << p.readAllStandardError().toStdString();
    p.kill();
    p.waitForFinished(5000);
}

// --settings in the program: the file is read from and written to the folder, and COM n is
// the comN link there, while the working directory stays untouched.
class SettingsFolderRun : public ProgramRunTest {
  protected:
    void TearDown() override {
        folder::SetSettingsFolder("");
        ProgramRunTest::TearDown();
    }
};

TEST_F(SettingsFolderRun, FileAndLinksLiveInTheFolder) {
    QTemporaryDir settings;
    ASSERT_TRUE(settings.isValid());
    {
        QFile f(settings.filePath("Ombrastel.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Com = 7\nRate = 19200\n");
    }
    ASSERT_TRUE(QFile::link("/dev/null", settings.filePath("com7")));
    const std::string folderArg = settings.path().toStdString();
    std::vector<std::string> words = {"ombrastel", "--settings", folderArg};
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    CommandLineOptions options;
    ASSERT_FALSE(ParseCommandLine(3, argv.data(), &options).has_value());
    EXPECT_EQ(options.settingsFolder, folderArg);
    ASSERT_TRUE(ApplyCommandLine(options));

    EXPECT_EQ(rs232::PortDeviceName(7), "/dev/null");
    EXPECT_EQ(rs232::PortDeviceName(8), "/dev/ttyS7");
    const int result = RunProgram([](int p) {
        int com = 0;
        ui::GetCtrlVal(p, SERIAL, &com);
        EXPECT_EQ(com, 7);
        ui::SetCtrlVal(p, SERIAL, 9);
        QTest::mouseClick(ui::ControlWidget(p, END), Qt::LeftButton);
    });
    EXPECT_EQ(result, 0);
    QFile written(settings.filePath("Ombrastel.ini"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().toStdString(),
              "Language = 3\nType = 0\nAddress = 0\nCom = 9\nRate = 19200\n");
    EXPECT_FALSE(QFile::exists(dir.filePath("Ombrastel.ini"))) << "nothing in the working folder";
}

// The real program under a virtual X screen: started in one folder with --settings naming
// another, it reads and writes the settings there when Exit is pressed.
TEST(CommandLineProgram, SettingsFolderOnTheRealProgram) {
    if (QStandardPaths::findExecutable("xvfb-run").isEmpty() ||
        QStandardPaths::findExecutable("xdotool").isEmpty()) {
        GTEST_SKIP() << "xvfb-run or xdotool is not installed";
    }
    QTemporaryDir cwd;
    QTemporaryDir settings;
    ASSERT_TRUE(cwd.isValid() && settings.isValid());
    {
        QFile f(settings.filePath("Ombrastel.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Type = 1\nAddress = 12\n");
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.insert("OMBRASTEL_BIN", QStringLiteral(OMBRASTEL_APP_PATH));
    env.insert("SETTINGS", settings.path());
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(cwd.path());
    // Press Exit (Alt+X) until the program has ended (a key before the panel takes input is
    // lost).
    const QString script = QStringLiteral(
        "\"$OMBRASTEL_BIN\" --settings \"$SETTINGS\" & app=$!\n"
        "win=$(timeout 20 xdotool search --sync --onlyvisible --name '^Ombrastel') || exit 90\n"
        "for _ in $(seq 50); do\n"
        "  xdotool windowfocus --sync \"$win\" key alt+x 2>/dev/null\n"
        "  for _ in $(seq 10); do kill -0 $app 2>/dev/null || break 2; sleep 0.1; done\n"
        "done\n"
        "wait $app\n");
    p.start("xvfb-run", {"-a", "-s", "-screen 0 800x400x24", "bash", "-c", script});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    QFile written(settings.filePath("Ombrastel.ini"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().toStdString(),
              "Language = 3\nType = 1\nAddress = 12\nCom = 1\nRate = 9600\n");
    EXPECT_TRUE(QDir(cwd.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
}

}  // namespace
