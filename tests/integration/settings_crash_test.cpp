// The settings file survives: a program killed while it writes the file leaves the old or
// the new five lines, never a part of them; and a settings file that is binary junk, one
// line of 10 MB, or a folder in the file's place, gives a program that starts with the
// defaults and ends normally (saying, for the folder, that the settings were not saved).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "app/panel.h"
#include "app/settings.h"
#include "app/shared_state.h"
#include "app/startup.h"
#include "toolkit/ui.h"
#include "support/panel_fixture.h"
#include "support/program_fixture.h"

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A child that writes the settings file over and over, switching between two languages,
// and reports each completed write with one byte on a pipe until it is killed.
[[noreturn]] void WriteForever(int panel, const std::string& path, int reportFd) {
    for (long i = 0; i < 1000000; ++i) {
        language = (i % 2 == 0) ? 1 : 3;
        if (WriteSettingsFile(panel, path)) {
            const char byte = 'w';
            if (::write(reportFd, &byte, 1) != 1) break;
        }
    }
    ::_exit(0);
}

TEST(SettingsCrash, KilledWhileWritingLeavesOldOrNewFileWhole) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("Ombrastel.ini").toStdString();
    ASSERT_GE(LoadMainPanelForTest(3), 0);
    ui::SetCtrlVal(panelHandle, SERIAL, 12);
    ui::SetCtrlVal(panelHandle, RATE, 19200);
    const std::string czech = "Language = 1\nType = 0\nAddress = 0\nCom = 12\nRate = 19200\n";
    const std::string english = "Language = 3\nType = 0\nAddress = 0\nCom = 12\nRate = 19200\n";
    language = 3;
    ASSERT_TRUE(WriteSettingsFile(panelHandle, path));
    ASSERT_EQ(ReadWhole(path), english);

    std::mt19937 random(20240611);
    std::set<std::string> seen;
    constexpr int kRounds = 40;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            WriteForever(panelHandle, path, pipeFds[1]);
        }
        ::close(pipeFds[1]);
        // Let it complete a few writes, then kill it at some moment inside the next ones.
        const int writes = 1 + static_cast<int>(random() % 5);
        int done = 0;
        char byte = 0;
        while (done < writes && ::read(pipeFds[0], &byte, 1) == 1) ++done;
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 400));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(pipeFds[0]);
        EXPECT_EQ(done, writes) << "the writer stopped before it was killed";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        const std::string text = ReadWhole(path);
        EXPECT_TRUE(text == czech || text == english) << "partial file: [" << text << "]";
        seen.insert(text);
    }
    // The kills fell after writes of both kinds, so the file really changed under them.
    EXPECT_EQ(seen.size(), 2u);
}

// ---- A bad settings file at start-up

class BadSettingsFile : public ProgramRunTest {
  protected:
    // Runs the program in this process; once its panel is up, records what the panel shows
    // and presses Exit. Returns main's result.
    int RunAndExit() {
        return RunProgram([this](int panel) {
            shown.language = language;
            ui::GetCtrlVal(panel, RING, &shown.type);
            ui::GetCtrlVal(panel, NUM_ADR, &shown.address);
            ui::GetCtrlVal(panel, SERIAL, &shown.com);
            ui::GetCtrlVal(panel, RATE, &shown.rate);
            ui::GetCtrlAttribute(panel, NUM_ADR, ui::ATTR_VISIBLE, &shown.addressVisible);
            QTest::mouseClick(ui::ControlWidget(panel, END), Qt::LeftButton);
        });
    }

    void ExpectDefaultsShown() const {
        EXPECT_EQ(shown.language, 3);
        EXPECT_EQ(shown.type, 0);
        EXPECT_EQ(shown.address, 0);
        EXPECT_EQ(shown.com, 1);
        EXPECT_EQ(shown.rate, 9600);
        EXPECT_EQ(shown.addressVisible, 0);
    }

    struct Shown {
        int language = -1, type = -1, address = -1, com = -1, rate = -1, addressVisible = -1;
    } shown;
};

std::string BinaryJunk(std::size_t size) {
    std::mt19937 random(7);
    std::string junk(size, '\0');
    for (char& c : junk) c = static_cast<char>(random() % 256);
    return junk;
}

TEST_F(BadSettingsFile, BinaryJunkOrOneHugeLineGiveDefaultsAndAreReplaced) {
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"binary junk", BinaryJunk(64 * 1024)},
        // A known key whose number runs on for 10 MB: no rate the ring carries.
        {"one line of 10 MB", "Rate = " + std::string(10 * 1024 * 1024, '9')},
        {"one line of 10 MB without line end or key", std::string(10 * 1024 * 1024, '\x01')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(SettingsPath(), std::ios::binary) << c.text;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(RunAndExit(), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        ExpectDefaultsShown();
        EXPECT_EQ(ReadWhole(SettingsPath()), kDefaultSettings);
    }
}

TEST_F(BadSettingsFile, FolderInThePlaceOfTheFile) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("Ombrastel.ini"));
    MessageRecorder boxes;
    EXPECT_EQ(RunAndExit(), 0);
    ExpectDefaultsShown();
    EXPECT_EQ(boxes.messages(), (std::vector<MessageRecorder::Message>{
                                    {"Warning", "Could not save the settings to Ombrastel.ini."}}));
    EXPECT_TRUE(QFileInfo(QString::fromStdString(SettingsPath())).isDir());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{}) << "nothing written";
}

// The real program on the offscreen platform comes up with each bad file and keeps
// running; it reads the file only at start and writes only at Exit, so the file is as it
// was when the program is killed.
TEST(BadSettingsFileProgram, StartsAndRuns) {
    const std::string junk = BinaryJunk(4096);
    const std::string huge(10 * 1024 * 1024, 'x');
    for (const std::string* text : {&junk, &huge}) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const std::string path = dir.filePath("Ombrastel.ini").toStdString();
        std::ofstream(path, std::ios::binary) << *text;
        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        app.setProcessEnvironment(env);
        app.setWorkingDirectory(dir.path());
        app.start(QStringLiteral(OMBRASTEL_APP_PATH), {});
        ASSERT_TRUE(app.waitForStarted(5000));
        EXPECT_FALSE(app.waitForFinished(1500)) << "the program ended with " << app.exitCode()
                                                << ": " << app.readAllStandardError().data();
        app.kill();
        app.waitForFinished(5000);
        EXPECT_EQ(ReadWhole(path), *text);
    }
}

}  // namespace
