// What a COM number names, at the open, in the panel and in ombrastel-ctl: a comN link to a
// device that is gone names what it points to, a comN link that someone else could have
// put there or could replace is refused and nothing is sent through it, and a port held by
// a lock file that says nothing usable names the lock file.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "app/panel.h"
#include "app/panel_tools.h"
#include "app/shared_state.h"
#include "platform/settings_folder.h"
#include "toolkit/ui.h"
#include "support/link_fixture.h"
#include "support/program_fixture.h"

namespace {

using Message = MessageRecorder::Message;
const Message kNoSerialPort{"Warning", "Could not open serial port."};
const std::string kArrow = "\u2192";

struct CtlRun {
    int status = -1;
    std::string err;  // the lines it wrote in its own name
};

// ombrastel-ctl identify on COM n, with its settings folder.
CtlRun CtlIdentify(const std::string& folder, int com) {
    QProcess p;
    p.start(QStringLiteral(OMBRASTEL_CTL_PATH),
            {"identify", "--settings", QString::fromStdString(folder), "--port",
             QStringLiteral("COM%1").arg(com)});
    CtlRun r;
    if (!p.waitForStarted(5000) || !p.waitForFinished(20000)) return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    for (const QByteArray& line : p.readAllStandardError().split('\n')) {
        if (line.startsWith("ombrastel-ctl: ")) r.err += line.toStdString() + "\n";
    }
    return r;
}

std::string Canonical(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).canonicalFilePath().toStdString();
}

class ComPortNamesTest : public PanelLinkTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ShowFreshPanel(3);
    }
    void TearDown() override {
        folder::SetSettingsFolder("");
        PanelLinkTest::TearDown();
    }

    // Opens COM n from the panel; what it wrote on the standard error.
    std::string Open(int com) {
        messages_.clear();
        testing::internal::CaptureStderr();
        OpenSerial(com);
        return testing::internal::GetCapturedStderr();
    }

    // The open failed with "Could not open serial port." and exactly this reason, in the
    // box's details and on one line of the standard error.
    void ExpectRefusedWith(const std::string& reason, const std::string& err) {
        ASSERT_EQ(messages_.messages().size(), 1u) << messages_.Texts();
        EXPECT_EQ(messages_.messages()[0], kNoSerialPort);
        EXPECT_EQ(messages_.details()[0], reason);
        EXPECT_NE(err.find("ombrastel: Could not open serial port. " + reason + "\n"),
                  std::string::npos)
            << err;
        EXPECT_EQ(connected, 0);
    }

    QTemporaryDir dir_;
};

// A comN link whose device is gone (the adapter pulled, a by-id name of another adapter):
// the reason names the link and what it points to, not the link as if it were the device.
TEST_F(ComPortNamesTest, LinkToADeviceThatIsGoneNamesWhatItPointsTo) {
    const std::string folder = dir_.path().toStdString();
    ASSERT_TRUE(QFile::link("/dev/vanished-usb", dir_.filePath("by-id")));
    struct Case {
        int com;
        std::string linkText;  // as written into the link
        std::string named;     // what the reason names after the arrow
    };
    const Case cases[] = {
        {2, "/dev/vanished-tty", "/dev/vanished-tty"},
        {3, "../vanished/tty", QDir::cleanPath(dir_.filePath("../vanished/tty")).toStdString()},
        {4, "by-id", folder + "/by-id"},  // a link to a link that leads nowhere
    };
    folder::SetSettingsFolder(folder);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.com);
        const std::string link = folder + "/com" + std::to_string(c.com);
        ASSERT_EQ(::symlink(c.linkText.c_str(), link.c_str()), 0);
        const std::string reason =
            "COM" + std::to_string(c.com) + " is " + link + " " + kArrow + " " + c.named +
            ": no such device";
        ExpectRefusedWith(reason, Open(c.com));
        const CtlRun ctl = CtlIdentify(folder, c.com);
        EXPECT_EQ(ctl.status, 3);
        EXPECT_EQ(ctl.err, "ombrastel-ctl: " + reason + "\n");
    }
}

// A comN link that someone else may have made, or may replace, is not followed: the open
// fails with the reason and what to do, and nothing reaches the device it points to. One
// that only its owner (or root) can have made is followed as ever.
TEST_F(ComPortNamesTest, LinkOthersMayReplaceIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a link or a folder to another user needs root";
    StartSim({"--model", "V212"});
    const std::string pty = Canonical(sim_->linkPath());
    ASSERT_FALSE(pty.empty());
    const group* dialout = ::getgrnam("dialout");
    const group* rootGroup = ::getgrgid(0);
    constexpr uid_t kOther = 1001;  // a user id that is not ours
    struct Case {
        const char* name;
        mode_t folderMode;
        uid_t folderOwner;
        gid_t folderGroup;
        uid_t linkOwner;
        std::string refusal;  // after "refused: "; empty: the link is followed
    };
    std::vector<Case> cases = {
        {"sticky like /tmp, the link another user's", 01777, 0, 0, kOther,
         "the link belongs to uid 1001, not to you or to root; remove it and make your own"},
        {"sticky like /tmp, the link ours", 01777, 0, 0, 0, ""},
        {"anyone may write, not sticky", 0777, 0, 0, 0,
         "anyone may write the folder @ (mode 0777) and replace the link; chmod o-w @, or keep "
         "the links in a folder of your own (ombrastel --settings DIR)"},
        {"the folder another user's", 0755, kOther, 0, 0,
         "the folder @ belongs to uid 1001, who may replace the link at any time; keep the links "
         "in a folder of your own (ombrastel --settings DIR)"},
        {"ours, not written by others", 0755, 0, 0, 0, ""},
    };
    if (dialout != nullptr && dialout->gr_mem[0] == nullptr) {
        cases.push_back({"a group that is not the owner's own may write", 0775, 0, dialout->gr_gid,
                         0,
                         "the group dialout may write the folder @ (mode 0775) and replace the "
                         "link; chmod g-w @, or keep the links in a folder of your own "
                         "(ombrastel --settings DIR)"});
    }
    if (rootGroup != nullptr && rootGroup->gr_mem[0] == nullptr) {
        cases.push_back({"the owner's own group may write", 0775, 0, 0, 0, ""});
    }
    int n = 0;
    std::string refusedFolder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = dir_.filePath(QString::number(++n)).toStdString();
        const std::string link = folder + "/com1";
        ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
        ASSERT_EQ(::symlink(pty.c_str(), link.c_str()), 0);
        ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, 0), 0);
        ASSERT_EQ(::chown(folder.c_str(), c.folderOwner, c.folderGroup), 0);
        ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
        folder::SetSettingsFolder(folder);
        sim_->ClearTranscript();
        const std::string err = Open(1);
        if (c.refusal.empty()) {
            EXPECT_EQ(connected, 1) << messages_.Texts();
            EXPECT_FALSE(sim_->Lines().empty());
            ClickCom();
            continue;
        }
        std::string refusal = c.refusal;
        for (std::size_t at; (at = refusal.find('@')) != std::string::npos;) {
            refusal.replace(at, 1, folder);
        }
        refusedFolder = folder;
        const std::string reason = "COM1 is " + link + " " + kArrow + " " + pty + ": refused: " + refusal;
        ExpectRefusedWith(reason, err);
        EXPECT_EQ(sim_->Lines(), Lines{}) << "sent to a device someone else chose";
        // The panel says so beside the COM ring too, and the ring gives it no mark.
        RefreshPorts(ui::PanelWindow(panelHandle));
        const QLabel* label = PortDeviceLabel(ui::PanelWindow(panelHandle));
        EXPECT_TRUE(label->text().endsWith(QStringLiteral("(link refused)"))) << label->text().toStdString();
        EXPECT_TRUE(label->toolTip().endsWith(QString::fromStdString(": refused: " + refusal)))
            << label->toolTip().toStdString();
        const CtlRun ctl = CtlIdentify(folder, 1);
        EXPECT_EQ(ctl.status, 3);
        EXPECT_EQ(ctl.err, "ombrastel-ctl: " + reason + "\n");
        EXPECT_EQ(sim_->Lines(), Lines{});
    }
    // In Czech too.
    ShowFreshPanel(1);
    folder::SetSettingsFolder(refusedFolder);
    RefreshPorts(ui::PanelWindow(panelHandle));
    EXPECT_TRUE(PortDeviceLabel(ui::PanelWindow(panelHandle))->text().endsWith(
        QString::fromUtf8("(odkaz odmítnut)")));
}

// A lock file of the port that says nothing usable (junk, nothing at all) keeps the port
// "in use": the reason names the lock file and what to do. A lock file in the old form of
// other serial programs (the process number alone, right-aligned) names its process; one of
// a process that has ended is taken over. Needs root for a lock folder of its own: the
// second run of this test works in a mount namespace with an empty /var/lock.
TEST_F(ComPortNamesTest, LockFileThatSaysNothingUsableIsNamed) {
    if (InnerRunValue() == nullptr) {
        if (::geteuid() != 0) GTEST_SKIP() << "mounting a lock folder of its own needs root";
        const QString script =
            R"sh(mount -t tmpfs -o mode=1777 tmpfs "$(readlink -f /var/lock)" || exit 77; exec "$@")sh";
        const QStringList mount = {"unshare", "--mount", "--propagation", "private",
                                   "sh",      "-c",      script,          "lock-folder"};
        if (QProcess::execute(mount.first(), mount.mid(1) << "true") != 0)
            GTEST_SKIP() << "no lock folder can be mounted here";
        const InnerRun run = RunThisTestAgain(mount, "lock");
        EXPECT_TRUE(run.passed) << run.output;
        return;
    }
    ASSERT_EQ(QDir("/var/lock").entryList(QDir::Files).size(), 0) << "not the test's own folder";
    StartSim({"--model", "V212"});
    const std::string pty = Canonical(sim_->linkPath());
    ASSERT_EQ(pty.rfind("/dev/pts/", 0), 0u) << pty;
    const std::string lock = "/var/lock/LCK..pts_" + pty.substr(9);

    QProcess sleeper;  // a program that is running, and one that has ended
    sleeper.start("sleep", {"30"});
    ASSERT_TRUE(sleeper.waitForStarted());
    QProcess ended;
    ended.start("true", {});
    ASSERT_TRUE(ended.waitForStarted());
    const std::string gone = std::to_string(ended.processId());
    ASSERT_TRUE(ended.waitForFinished());
    const std::string running = std::to_string(sleeper.processId());
    const std::string unreadable =
        "COM1 is " + pty + ": in use: lock file " + lock +
        " is unreadable; remove it if no program uses the port";
    struct Case {
        const char* name;
        std::string content;
        std::string reason;  // empty: the port opens
    };
    const Case cases[] = {
        {"junk", std::string("\x01\xfe\x00\x7f junk", 9), unreadable},
        {"nothing", "", unreadable},
        {"the old form of a running process", std::string(10 - running.size(), ' ') + running + "\n",
         "COM1 is " + pty + ": in use by process " + running + " (sleep) (lock file " + lock + ")"},
        {"a process that has ended", gone + "\nsomething\n\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile file(QString::fromStdString(lock));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.content.data(), static_cast<qint64>(c.content.size()));
        file.close();
        const std::string err = Open(1);
        if (c.reason.empty()) {
            EXPECT_EQ(connected, 1) << messages_.Texts();
            ClickCom();
        } else {
            ASSERT_EQ(messages_.messages().size(), 1u) << messages_.Texts();
            EXPECT_EQ(messages_.details()[0].rfind(c.reason, 0), 0u) << messages_.details()[0];
            EXPECT_NE(err.find("ombrastel: Could not open serial port. " + c.reason), std::string::npos)
                << err;
            EXPECT_EQ(connected, 0);
        }
        QFile::remove(QString::fromStdString(lock));
    }
    // With the lock file gone the port opens.
    EXPECT_TRUE(Open(1).find("ombrastel:") == std::string::npos);
    EXPECT_EQ(connected, 1) << messages_.Texts();
    ClickCom();
    sleeper.kill();
    sleeper.waitForFinished();
}

}  // namespace
