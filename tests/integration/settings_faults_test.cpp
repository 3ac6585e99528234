// The settings file where the file system works against it: a full disk, a symbolic link
// to a device node or to a file with other hard links and another owner, a folder that
// takes no new file, and "files" that never end (/dev/zero, a FIFO, 1 GB of holes). The
// program never loses the old file, never replaces what is not a regular file, never
// hangs, and says on standard error and in a box when the settings were not saved.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/panel.h"
#include "app/settings.h"
#include "app/shared_state.h"
#include "toolkit/ui.h"
#include "support/panel_fixture.h"
#include "support/program_fixture.h"

namespace {

using Strings = std::vector<std::string>;

constexpr const char* kOld = "Language = 3\nType = 0\nAddress = 0\nCom = 3\nRate = 4800\n";
constexpr const char* kNew = "Language = 3\nType = 0\nAddress = 0\nCom = 3\nRate = 19200\n";
constexpr const char* kNotSavedBox = "Could not save the settings to Ombrastel.ini.";
constexpr const char* kNotRegularRead =
    "ombrastel: Ombrastel.ini is not a regular file; the settings are the defaults";

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteWhole(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

struct stat Stat(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

std::string NotSaved(const char* reason) {
    return std::string("ombrastel: the settings were not saved to Ombrastel.ini: ") + reason;
}

// Everything the process writes to standard error while it lives, through a pipe (a
// capture file would itself hit a file size limit).
class StderrCapture {
  public:
    StderrCapture() {
        std::fflush(stderr);
        EXPECT_EQ(::pipe(fds_), 0);
        saved_ = ::dup(2);
        ::dup2(fds_[1], 2);
        ::close(fds_[1]);
        reader_ = std::thread([this] {
            char buffer[4096];
            for (ssize_t n; (n = ::read(fds_[0], buffer, sizeof buffer)) > 0;)
                text_.append(buffer, static_cast<std::size_t>(n));
        });
    }
    ~StderrCapture() { Stop(); }
    // The program's own lines.
    Strings Lines() {
        Stop();
        return ProgramErrorLines(text_);
    }

  private:
    void Stop() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
        reader_.join();
        ::close(fds_[0]);
    }
    int fds_[2] = {-1, -1};
    int saved_ = -1;
    std::thread reader_;
    std::string text_;
};

class SettingsFaults : public ProgramRunTest {
  protected:
    // Runs the whole program in the working folder; once the panel is up it records the
    // port the panel shows, sets the rate to 19200 as the operator would, and presses Exit.
    void RunAndExit() {
        MessageRecorder recorder;
        StderrCapture capture;
        EXPECT_EQ(RunProgram([this](int panel) {
                      ui::GetCtrlVal(panel, SERIAL, &shownCom);
                      ui::SetCtrlVal(panel, RATE, 19200);
                      QTest::mouseClick(ui::ControlWidget(panel, END), Qt::LeftButton);
                  }),
                  0);
        boxes = recorder.messages();
        details = recorder.details();
        errors = capture.Lines();
    }
    void ExpectNotSavedSaid(const char* reason) {
        EXPECT_EQ(boxes, (std::vector<MessageRecorder::Message>{{"Warning", kNotSavedBox}}));
        // The box's detail names the file and the system's reason, as standard error does.
        EXPECT_EQ(details, (std::vector<std::string>{std::string("Ombrastel.ini: ") + reason}));
        EXPECT_NE(std::find(errors.begin(), errors.end(), NotSaved(reason)), errors.end())
            << testing::PrintToString(errors);
    }
    // Files of a folder, hidden ones (a left temporary file) included.
    static QStringList Files(const QString& folder) {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    static QStringList Hidden(const QString& folder) {
        return Files(folder).filter(QRegularExpression("^\\."));
    }

    std::vector<std::string> details;
    int shownCom = -1;
    std::vector<MessageRecorder::Message> boxes;
    Strings errors;
};

// ---- A full disk

// On a tmpfs of 64 KiB filled up to the last page, Exit leaves the old file as it was and
// says so, in each language; with room again the same program saves. Needs root for the
// mount; the second run of this test does the work inside its own mount namespace.
TEST_F(SettingsFaults, FullTmpfsKeepsTheOldFileAndSaysSo) {
    if (InnerRunValue() == nullptr) {
        if (::geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
        // A shell in a mount namespace of its own mounts the tmpfs on the test's folder and
        // runs the program it is given.
        const QString script = R"(mount -t tmpfs -o size=64k tmpfs "$0" || exit 77; exec "$@")";
        const QStringList mount = {"unshare", "--mount", "--propagation", "private",
                                   "sh",      "-c",      script,          dir.path()};
        // A container may refuse new mount namespaces or mounts even to root.
        if (QProcess::execute(mount.first(), mount.mid(1) << "true") != 0)
            GTEST_SKIP() << "no tmpfs can be mounted here";
        const InnerRun run = RunThisTestAgain(mount, dir.path());
        EXPECT_TRUE(run.passed) << run.output;
        return;
    }
    ASSERT_TRUE(QDir::setCurrent(InnerRunValue()));
    struct Case {
        const char* language;
        MessageRecorder::Message box;
    };
    const Case cases[] = {
        {"3", {"Warning", kNotSavedBox}},
        {"1", {"Upozornění", "Nastavení nelze uložit do souboru Ombrastel.ini."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        const std::string old = std::string("Language = ") + c.language + "\nCom = 3\n";
        WriteWhole("Ombrastel.ini", old);
        // Fill the file system to its last byte.
        const int filler = ::open("filler", O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(filler, 0);
        const std::string page(4096, 'f');
        while (::write(filler, page.data(), page.size()) > 0) {
        }
        EXPECT_EQ(errno, ENOSPC);
        ::close(filler);

        RunAndExit();
        EXPECT_EQ(ReadWhole("Ombrastel.ini"), old);
        EXPECT_EQ(boxes, (std::vector<MessageRecorder::Message>{c.box}));
        EXPECT_EQ(errors, Strings{NotSaved("No space left on device")});
        EXPECT_EQ(Files("."), (QStringList{"Ombrastel.ini", "filler"}));

        ::unlink("filler");
        RunAndExit();
        EXPECT_EQ(ReadWhole("Ombrastel.ini"),
                  std::string("Language = ") + c.language +
                      "\nType = 0\nAddress = 0\nCom = 3\nRate = 19200\n");
        EXPECT_TRUE(boxes.empty());
    }
}

// The same fault for any user: a file size limit of 16 bytes (SIGXFSZ ignored) makes the
// write of the new file fail with EFBIG after 16 bytes, through the same code.
TEST_F(SettingsFaults, FileSizeLimitKeepsTheOldFileAndSaysSo) {
    WriteWhole("Ombrastel.ini", kOld);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    RunAndExit();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(shownCom, 3);
    EXPECT_EQ(ReadWhole("Ombrastel.ini"), kOld);
    ExpectNotSavedSaid("File too large");
    EXPECT_EQ(Files("."), QStringList{"Ombrastel.ini"});
}

// ---- Symbolic links

TEST_F(SettingsFaults, LinkToADeviceNodeNeverReplacesIt) {
    if (::geteuid() != 0) GTEST_SKIP() << "mknod needs root";
    ASSERT_EQ(::mknod("null", S_IFCHR | 0666, makedev(1, 3)), 0);
    ASSERT_EQ(::symlink("null", "Ombrastel.ini"), 0);
    RunAndExit();
    EXPECT_EQ(shownCom, 1) << "the defaults";
    const struct stat node = Stat("null");
    EXPECT_TRUE(S_ISCHR(node.st_mode));
    EXPECT_EQ(node.st_rdev, makedev(1, 3));
    struct stat link {};
    ASSERT_EQ(::lstat("Ombrastel.ini", &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    ExpectNotSavedSaid("it is not a regular file");
    EXPECT_EQ(errors, (Strings{kNotRegularRead, NotSaved("it is not a regular file")}));
}

// A link to a regular file is read and written through: the link stays, the target gets
// the new text and keeps its owner and mode; one with other hard links keeps its inode,
// so they see the new text too. The owner is another user's only when running as root.
TEST_F(SettingsFaults, LinkToARegularFileChangesOnlyItsContents) {
    const bool root = ::geteuid() == 0;
    struct Case {
        const char* name;
        std::string link;    // the link's text, relative to the row's folder or absolute
        const char* target;  // relative to the row's folder; null: the file does not exist
        bool hardLink;
        mode_t mode;
    };
    const std::string rowFolder = dir.path().toStdString() + "/row";
    const Case cases[] = {
        {"target with a second hard link", "real.ini", "real.ini", true, 0640},
        {"target in another folder", "sub/real.ini", "sub/real.ini", false, 0604},
        {"absolute link, set-group-id mode", rowFolder + "/real.ini", "real.ini", false, 02640},
        {"dangling link", "sub/new.ini", nullptr, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(rowFolder.c_str()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(rowFolder + "/sub")));
        ASSERT_TRUE(QDir::setCurrent(rowFolder.c_str()));
        const std::string target = c.target != nullptr ? c.target : "sub/new.ini";
        struct stat before {};
        if (c.target != nullptr) {
            WriteWhole(target, kOld);
            ASSERT_TRUE(!c.hardLink || ::link(c.target, "twin.ini") == 0);
            ASSERT_TRUE(!root || ::chown(c.target, 1234, 5678) == 0);
            ASSERT_EQ(::chmod(c.target, c.mode), 0);
            before = Stat(target);
        }
        ASSERT_EQ(::symlink(c.link.c_str(), "Ombrastel.ini"), 0);

        RunAndExit();
        EXPECT_EQ(shownCom, c.target != nullptr ? 3 : 1);
        EXPECT_TRUE(boxes.empty());
        EXPECT_TRUE(errors.empty()) << testing::PrintToString(errors);
        std::string linkText(256, '\0');
        linkText.resize(static_cast<std::size_t>(
            std::max<ssize_t>(0, ::readlink("Ombrastel.ini", linkText.data(), 256))));
        EXPECT_EQ(linkText, c.link) << "the link itself is kept";
        EXPECT_EQ(ReadWhole(target),
                  c.target != nullptr
                      ? kNew
                      : "Language = 3\nType = 0\nAddress = 0\nCom = 1\nRate = 19200\n");
        const struct stat after = Stat(target);
        EXPECT_TRUE(S_ISREG(after.st_mode));
        if (c.target != nullptr) {
            EXPECT_EQ(after.st_uid, before.st_uid);
            EXPECT_EQ(after.st_gid, before.st_gid);
            EXPECT_EQ(after.st_mode, before.st_mode);
        }
        if (c.hardLink) {
            EXPECT_EQ(after.st_ino, before.st_ino);
            EXPECT_EQ(after.st_nlink, 2u);
            EXPECT_EQ(ReadWhole("twin.ini"), kNew);
        }
        EXPECT_EQ(Hidden(".") + Hidden("sub"), QStringList{}) << "no temporary file left";
    }
}

// ---- A folder that takes no new file, a file of another owner

// As the unprivileged user nobody. In a folder of root's that nobody may not write, a
// settings file nobody may write is written in place (same inode), and a read-only one is
// left as it was, which is said. In a folder open to all, root's writable file is written
// in place too: a renamed new file would belong to nobody.
TEST_F(SettingsFaults, AsNobodyWritesInPlaceOrSaysSo) {
    const QString base = InnerRunValue() != nullptr ? InnerRunValue() : dir.path();
    struct Case {
        QString folder;
        mode_t folderMode, fileMode;
        const char* expected;
    };
    const Case cases[] = {
        {base + "/locked-writable", 0755, 0666, kNew},
        {base + "/locked-read-only", 0755, 0444, kOld},
        {base + "/open-root-file", 0777, 0666, kNew},
    };
    const auto file = [](const Case& c) { return (c.folder + "/Ombrastel.ini").toStdString(); };
    if (InnerRunValue() == nullptr) {
        if (::geteuid() != 0) GTEST_SKIP() << "switching to the user nobody needs root";
        ASSERT_EQ(::chmod(dir.path().toLocal8Bit().constData(), 0755), 0);
        std::vector<ino_t> inodes;
        for (const Case& c : cases) {
            ASSERT_TRUE(QDir().mkdir(c.folder));
            ASSERT_EQ(::chmod(c.folder.toLocal8Bit().constData(), c.folderMode), 0);
            WriteWhole(file(c), kOld);
            ASSERT_EQ(::chmod(file(c).c_str(), c.fileMode), 0);
            inodes.push_back(Stat(file(c)).st_ino);
        }
        const InnerRun run = RunThisTestAgain(
            {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"}, dir.path());
        EXPECT_TRUE(run.passed) << run.output;
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            SCOPED_TRACE(cases[i].folder.toStdString());
            EXPECT_EQ(ReadWhole(file(cases[i])), cases[i].expected);
            const struct stat after = Stat(file(cases[i]));
            EXPECT_EQ(after.st_ino, inodes[i]);
            EXPECT_EQ(after.st_uid, 0u);
            EXPECT_EQ(after.st_mode & 07777, cases[i].fileMode);
        }
        return;
    }
    ASSERT_NE(::geteuid(), 0u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        ASSERT_TRUE(QDir::setCurrent(c.folder));
        RunAndExit();
        EXPECT_EQ(ReadWhole("Ombrastel.ini"), c.expected);
        if (c.expected == kNew) {
            EXPECT_TRUE(boxes.empty());
            EXPECT_TRUE(errors.empty()) << testing::PrintToString(errors);
        } else {
            ExpectNotSavedSaid("Permission denied");
        }
        EXPECT_EQ(Hidden("."), QStringList{}) << "no temporary file left";
    }
}

// ---- Files that never end

// Ends this process when the start hangs, so a regression fails at once instead of at the
// run's time-out.
class Watchdog {
  public:
    explicit Watchdog(int seconds) {
        thread_ = std::thread([this, seconds] {
            for (int i = 0; i < seconds * 10 && !done_; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (done_) return;
            std::fprintf(stderr, "the program hung at its start\n");
            std::_Exit(1);
        });
    }
    ~Watchdog() {
        done_ = true;
        thread_.join();
    }

  private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// The program comes up with the defaults at once, whatever Ombrastel.ini is: the time to
// the panel on screen with /dev/zero, a FIFO without writer or a 1 GB file of holes stays
// within 0.5 s of that with a five-line file.
TEST_F(SettingsFaults, EndlessFilesStartAtOnce) {
    struct Case {
        const char* name;
        std::function<void()> make;
        bool regular;
    };
    const Case cases[] = {
        {"five lines", [] { WriteWhole("Ombrastel.ini", kOld); }, true},
        {"/dev/zero", [] { ASSERT_EQ(::symlink("/dev/zero", "Ombrastel.ini"), 0); }, false},
        {"FIFO", [] { ASSERT_EQ(::mkfifo("Ombrastel.ini", 0600), 0); }, false},
        {"1 GB of holes",
         [] {
             WriteWhole("Ombrastel.ini", "");
             ASSERT_EQ(::truncate("Ombrastel.ini", 1LL << 30), 0);
         },
         true},
    };
    double baseline = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::unlink("Ombrastel.ini");
        c.make();
        const auto start = std::chrono::steady_clock::now();
        double started = -1;
        int com = -1;
        MessageRecorder recorder;
        StderrCapture capture;
        {
            Watchdog watchdog(20);
            RunProgram([&](int panel) {
                started = SecondsSince(start);
                ui::GetCtrlVal(panel, SERIAL, &com);
                QTest::mouseClick(ui::ControlWidget(panel, END), Qt::LeftButton);
            });
        }
        const Strings lines = capture.Lines();
        std::printf("[ measured ] %s: panel up after %.3f s\n", c.name, started);
        if (&c == &cases[0]) baseline = started;
        EXPECT_LT(started - baseline, 0.5);
        EXPECT_EQ(com, &c == &cases[0] ? 3 : 1);
        if (c.regular) {
            EXPECT_TRUE(lines.empty()) << testing::PrintToString(lines);
            EXPECT_TRUE(recorder.messages().empty());
        } else {
            EXPECT_EQ(lines, (Strings{kNotRegularRead, NotSaved("it is not a regular file")}));
            EXPECT_EQ(recorder.messages().size(), 1u);
        }
    }
}

// Reading stops after 64 KiB: a key beyond it is not applied, one before it is; reading a
// 1 GB file of holes takes no longer than reading 64 KiB.
TEST_F(SettingsFaults, ReadingStopsAtTheBound) {
    const std::string filler = std::string(99, 'x') + "\n";  // lines that match no key
    const std::size_t fillerLines = kSettingsReadLimit / filler.size();
    for (const auto& [extra, com] : {std::pair{-2, 5}, std::pair{2, 1}}) {
        std::string text;
        for (std::size_t i = 0; i < fillerLines + extra; ++i) text += filler;
        WriteWhole("Ombrastel.ini", text + "Com = 5\n");
        ASSERT_GE(LoadMainPanelForTest(), 0);
        ReadSettingsFile(panelHandle, "Ombrastel.ini");
        EXPECT_EQ(Int(SERIAL), com) << "key at byte " << text.size();
    }
    const auto fastest = [](const std::string& path) {
        double best = 1e9;
        for (int i = 0; i < 5; ++i) {
            const auto start = std::chrono::steady_clock::now();
            ReadSettingsFile(panelHandle, path);
            best = std::min(best, SecondsSince(start));
        }
        return best;
    };
    WriteWhole("bound.ini", std::string(kSettingsReadLimit, 'x'));
    WriteWhole("huge.ini", "");
    ASSERT_EQ(::truncate("huge.ini", 1LL << 30), 0);
    const double bound = fastest("bound.ini");
    const double huge = fastest("huge.ini");
    std::printf("[ measured ] reading 64 KiB: %.6f s, 1 GB of holes: %.6f s\n", bound, huge);
    EXPECT_LT(huge, 3 * bound + 0.002);
}

// The real program with /dev/zero or a FIFO as its settings file comes up and idles: it
// is still running after 1.5 s, has used little CPU, and said once why it ignored the
// file.
TEST(EndlessSettingsProgram, IdlesWithZeroOrFifo) {
    for (const bool fifo : {false, true}) {
        SCOPED_TRACE(fifo ? "FIFO" : "/dev/zero");
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const std::string path = dir.filePath("Ombrastel.ini").toStdString();
        ASSERT_EQ(fifo ? ::mkfifo(path.c_str(), 0600) : ::symlink("/dev/zero", path.c_str()), 0);
        QProcess app;
        app.setWorkingDirectory(dir.path());
        app.start(QStringLiteral(OMBRASTEL_APP_PATH), {});
        ASSERT_TRUE(app.waitForStarted(5000));
        EXPECT_FALSE(app.waitForFinished(1500)) << app.readAllStandardError().data();
        std::ifstream stat("/proc/" + std::to_string(app.processId()) + "/stat");
        std::string field;
        for (int i = 0; i < 13; ++i) stat >> field;  // up to the command and state fields
        long user = 0, system = 0;
        stat >> user >> system;
        const double cpu = static_cast<double>(user + system) / ::sysconf(_SC_CLK_TCK);
        std::printf("[ measured ] %s: %.2f s CPU in the first 1.5 s\n", fifo ? "FIFO" : "zero",
                    cpu);
        EXPECT_LT(cpu, 1.0);
        app.kill();
        app.waitForFinished(5000);
        EXPECT_EQ(ProgramErrorLines(app.readAllStandardError().toStdString()),
                  Strings{kNotRegularRead});
    }
}

}  // namespace
