// What the operator saves (the Sequence window's run file, plot and results, the Log
// window's log) is written as the settings file is: a device node, a FIFO or a socket is
// refused with the reason and left as it was, also behind a symbolic link; a link to a
// regular file is written through, the link stays and a hard-linked target keeps its
// inode. The results quote what the decade named as CSV fields must.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/log_window.h"
#include "app/open_close.h"
#include "app/panel.h"
#include "app/panel_tools.h"
#include "app/sequence_run.h"
#include "app/sequence_window.h"
#include "app/shared_state.h"
#include "platform/link_thread.h"
#include "toolkit/ui.h"
#include "support/panel_fixture.h"
#include "support/sim_fixture.h"

namespace {

std::string Read(const char* path) {
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly)) return "<unreadable>";
    return file.readAll().toStdString();
}

void Write(const char* path, const std::string& text) {
    QFile file(QString::fromLatin1(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.data(), static_cast<qint64>(text.size()));
}

struct stat Lstat(const char* path) {
    struct stat st {};
    ::lstat(path, &st);
    return st;
}

// Names beginning with a dot in the working folder, subfolders included.
QStringList HiddenFiles() {
    QStringList hidden;
    for (const QString& folder : {QStringLiteral("."), QStringLiteral("sub")}) {
        for (const QString& name :
             QDir(folder).entryList(QDir::Hidden | QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            if (name.startsWith(QLatin1Char('.'))) hidden << folder + "/" + name;
        }
    }
    return hidden;
}

struct Saver {
    const char* name;
    std::function<bool(const QString&, QString*)> save;
};

// What each case puts at "target" in a fresh folder, and what must hold after a save.
struct Target {
    const char* name;
    bool needsRoot;
    std::function<void()> make;
    bool written;
    std::function<void(const std::string& saved)> check;
};

TEST(SaveTargets, OnlyRegularFilesAreWrittenAndLinksAreWrittenThrough) {
    SequenceWindow window;
    LogWindow log;
    log.AddLine(QStringLiteral("12:00:00.000 TX *IDN?"));
    const std::vector<Saver> savers = {
        {"run file", [&](const QString& p, QString* w) { return window.SaveSteps(p, w); }},
        {"plot", [&](const QString& p, QString* w) { return window.SavePlot(p, w); }},
        {"results", [&](const QString& p, QString* w) { return window.SaveResults(p, w); }},
        {"link log", [&](const QString& p, QString* w) { return log.SaveTo(p, w); }},
    };
    int reader = -1;  // the open end of a FIFO, so that nothing blocks on it
    const auto fifo = [&reader](const char* path) {
        ASSERT_EQ(::mkfifo(path, 0600), 0);
        reader = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(reader, 0);
    };
    const auto nothingInFifo = [&reader](const char* path) {
        EXPECT_TRUE(S_ISFIFO(Lstat(path).st_mode));
        char byte = 0;
        EXPECT_LE(::read(reader, &byte, 1), 0) << "bytes were written into the FIFO";
    };
    const auto node = [](const char* path) {
        ASSERT_EQ(::mknod(path, S_IFCHR | 0666, makedev(1, 3)), 0);
    };
    const auto nodeKept = [](const char* path) {
        const struct stat st = Lstat(path);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
        EXPECT_EQ(st.st_rdev, makedev(1, 3));
    };
    const auto linkKept = [] {
        EXPECT_TRUE(S_ISLNK(Lstat("target").st_mode));
    };
    ino_t realInode = 0;
    const std::vector<Target> targets = {
        {"FIFO", false, [&] { fifo("target"); }, false, [&](const std::string&) { nothingInFifo("target"); }},
        {"socket", false,
         [] {
             const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             std::strcpy(address.sun_path, "target");
             ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
             ::close(s);
         },
         false, [](const std::string&) { EXPECT_TRUE(S_ISSOCK(Lstat("target").st_mode)); }},
        {"device node", true, [&] { node("target"); }, false, [&](const std::string&) { nodeKept("target"); }},
        {"link to a device node", true,
         [&] {
             node("node");
             ASSERT_EQ(::symlink("node", "target"), 0);
         },
         false,
         [&](const std::string&) {
             linkKept();
             nodeKept("node");
         }},
        {"link to a FIFO", false,
         [&] {
             fifo("pipe");
             ASSERT_EQ(::symlink("pipe", "target"), 0);
         },
         false,
         [&](const std::string&) {
             linkKept();
             nothingInFifo("pipe");
         }},
        {"link to a file with a second hard link", false,
         [&] {
             Write("real", "old");
             ASSERT_EQ(::link("real", "twin"), 0);
             ASSERT_EQ(::symlink("real", "target"), 0);
             realInode = Lstat("real").st_ino;
         },
         true,
         [&](const std::string& saved) {
             linkKept();
             EXPECT_EQ(Lstat("real").st_ino, realInode) << "the target keeps its inode";
             EXPECT_EQ(Read("twin"), saved) << "its other name sees the new contents";
         }},
        {"link to a file of mode 0640 in a subfolder", false,
         [&] {
             ASSERT_TRUE(QDir().mkdir(QStringLiteral("sub")));
             Write("sub/real", "old");
             ASSERT_EQ(::chmod("sub/real", 0640), 0);
             ASSERT_EQ(::symlink("sub/real", "target"), 0);
         },
         true,
         [&](const std::string& saved) {
             linkKept();
             EXPECT_EQ(Read("sub/real"), saved);
             EXPECT_EQ(Lstat("sub/real").st_mode & 07777, 0640u);
         }},
    };
    const bool root = ::geteuid() == 0;
    const QString before = QDir::currentPath();
    for (const bool czech : {false, true}) {
        window.SetCzech(czech);
        log.SetCzech(czech);
        for (const Target& t : targets) {
            if (t.needsRoot && !root) {
                std::printf("skipped without root: %s\n", t.name);
                continue;
            }
            for (const Saver& s : savers) {
                SCOPED_TRACE(std::string(t.name) + ", " + s.name + (czech ? ", Czech" : ""));
                QTemporaryDir folder;
                ASSERT_TRUE(QDir::setCurrent(folder.path()));
                t.make();
                QString why;
                const bool saved = s.save(QDir::current().filePath(QStringLiteral("target")), &why);
                EXPECT_EQ(saved, t.written) << why.toStdString();
                if (!t.written) {
                    EXPECT_EQ(why.toStdString(), czech ? "není to obyčejný soubor" : "it is not a regular file");
                }
                const std::string contents = t.written ? Read("target") : std::string();
                if (t.written) {
                    EXPECT_FALSE(contents.empty());
                    EXPECT_NE(contents, "old");
                }
                t.check(contents);
                EXPECT_EQ(HiddenFiles(), QStringList{}) << "no temporary file left";
                if (reader >= 0) ::close(reader);
                reader = -1;
                ASSERT_TRUE(QDir::setCurrent(before));
            }
        }
    }
}

// The results file: one line a step, the unit as one field however the decade names it.
TEST(SaveTargets, ResultsQuoteTheFieldsThatNeedIt) {
    const std::vector<sequence::StepResult> rows = {
        {0, 0.0, 100.0, 99.5, sequence::StepStatus::Done},
        {1, 1.25, 2.5e-8, std::nullopt, sequence::StepStatus::Refused},
    };
    const struct {
        std::string unit, field;
    } cases[] = {
        {"Ohm", "Ohm"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"c\rr", "\"c\rr\""},
        {"\"", "\"\"\"\""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unit);
        EXPECT_EQ(sequence::ResultsCsv(rows, c.unit),
                  "time_s,set,read_back,unit,status\n0.000,100,99.5," + c.field + ",done\n1.250,2.5e-08,," +
                      c.field + ",refused\n");
    }
}

// The same through a run on the simulated decade, whose user function names a unit with
// a comma and a carriage return.
TEST(SaveTargets, ResultsOfARunQuoteTheUnitTheDecadeNamed) {
    ShowFreshPanel(3);
    linkthread::Start();
    MessageRecorder boxes;
    {
        simtest::SimFixture sim({"--model", "V330A", "--user-presets", "P", "--reply",
                                 "UFUN:CURV:PRES1:UNIT?=\"a,b\\rc\""});
        ASSERT_TRUE(sim.ok()) << sim.error();
        OpenSerial(1, 9600);
        ASSERT_TRUE(WaitLinkIdle());
        ASSERT_EQ(connected, 1) << boxes.Texts();
        Choose(FUNCTION, 1000);
        ASSERT_TRUE(WaitLinkIdle());
        SequenceWindow* window = PanelSequenceWindow(ui::PanelWindow(panelHandle));
        window->show();
        const auto enter = [window](const char* name, const char* text) {
            auto* edit = window->findChild<QLineEdit*>(QString::fromLatin1(name));
            ASSERT_NE(edit, nullptr);
            edit->setText(QString::fromLatin1(text));
        };
        enter("rampFrom", "5");
        enter("rampTo", "6");
        window->findChild<QRadioButton*>(QStringLiteral("rampByCount"))->setChecked(true);
        enter("rampStepOrCount", "2");
        enter("rampDwell", "0");
        ASSERT_TRUE(window->FillRamp());
        QTest::mouseClick(window->findChild<QAbstractButton*>(QStringLiteral("runSequence")), Qt::LeftButton);
        ASSERT_TRUE(ServeUntil([] { return !sequence::Running() && !linkthread::Busy(); }, 20.0));
        EXPECT_TRUE(boxes.messages().empty()) << boxes.Texts();
        QString why;
        ASSERT_TRUE(window->SaveResults(QStringLiteral("results.csv"), &why)) << why.toStdString();
        const QStringList lines = QString::fromStdString(Read("results.csv")).split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 4) << lines.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(lines[0], QStringLiteral("time_s,set,read_back,unit,status"));
        EXPECT_EQ(lines[1], QStringLiteral("0.000,5,5,\"a,b\rc\",done"));
        EXPECT_TRUE(lines[2].endsWith(QStringLiteral(",6,6,\"a,b\rc\",done"))) << lines[2].toStdString();
        EXPECT_EQ(lines[3], QString());
        window->hide();
        RunSequence([] { CloseCommunic(); });
        WaitLinkIdle();
    }
    EXPECT_TRUE(linkthread::Stop(std::chrono::seconds(5)));
    ResetSharedState();
}

}  // namespace
