// The link log against the decade simulator: what the panel logs for an open and a handler
// is what the simulator's own transcript saw, byte for byte and in order, and the Log
// window shows the same entries; over GPIB every library call is there with its status.
#include "platform/link_log.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <fstream>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "app/log_window.h"
#include "app/panel.h"
#include "app/panel_tools.h"
#include "app/shared_state.h"
#include "app/open_close.h"
#include "toolkit/ui.h"
#include "support/panel_fixture.h"
#include "support/sim_fixture.h"

namespace {

struct Entry {
    double seconds;
    std::string tag;   // TX, RX, IB
    std::string body;  // as written
};

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// "<seconds> <tag> <body>" entries of a log or transcript file.
std::vector<Entry> ReadEntries(const std::string& path) {
    std::vector<Entry> entries;
    for (const std::string& line : ReadLines(path)) {
        const std::size_t a = line.find(' ');
        if (a == std::string::npos || line.size() < a + 4) continue;
        entries.push_back({std::stod(line.substr(0, a)), line.substr(a + 1, 2), line.substr(a + 4)});
    }
    return entries;
}

std::vector<std::string> Bodies(const std::vector<Entry>& entries, const std::string& tag) {
    std::vector<std::string> out;
    for (const Entry& e : entries) {
        if (e.tag == tag) out.push_back(e.body);
    }
    return out;
}

class LinkLogTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(files.isValid());
        logPath = files.filePath("link.log").toStdString();
        simPath = files.filePath("sim.txt").toStdString();
    }
    void TearDown() override {
        CloseCommunic();
        linklog::CloseFile();
    }
    // The panel as start-up leaves it, the log going to logPath, COM1 opened.
    void OpenCom1Logged(MessageRecorder& boxes) {
        ShowFreshPanel();
        std::string why;
        ASSERT_TRUE(linklog::OpenFile(logPath, &why)) << why;
        OpenSerial(1);
        ASSERT_EQ(connected, 1) << boxes.Texts();
    }
    QTemporaryDir files;
    std::string logPath;
    std::string simPath;
};

TEST_F(LinkLogTest, OpenAndHandlerMatchTheSimulatorsTranscriptAndTheWindow) {
    simtest::SimFixture sim({"--model", "V330A", "--user-presets", "Cu10", "--transcript", simPath});
    ASSERT_TRUE(sim.ok()) << sim.error();
    MessageRecorder boxes;
    ASSERT_NO_FATAL_FAILURE(OpenCom1Logged(boxes));
    Type(VALUE, "2.5");
    linklog::CloseFile();

    const std::vector<Entry> logged = ReadEntries(logPath);
    const std::vector<Entry> seen = ReadEntries(simPath);
    ASSERT_GT(logged.size(), 10u);
    // What the panel wrote is what the decade received; what the decade sent is what the
    // panel read, line ends included.
    EXPECT_EQ(Bodies(logged, "TX"), Bodies(seen, "RX"));
    EXPECT_EQ(Bodies(logged, "RX"), Bodies(seen, "TX"));
    const std::vector<std::string> sent = Bodies(logged, "TX");
    EXPECT_EQ(sent.front(), "*IDN?\\r\\n");
    EXPECT_EQ(sent.back(), "OUTP:SHOR?\\n") << "the handler's refresh ends the log";
    EXPECT_NE(std::find(sent.begin(), sent.end(), "A 2.5\\n"), sent.end())
        << testing::PrintToString(sent);
    for (std::size_t i = 1; i < logged.size(); ++i) {
        EXPECT_GE(logged[i].seconds, logged[i - 1].seconds) << "time stamps never go back";
    }
    // The log first names the link, as the reasons of its failures do.
    EXPECT_EQ(logged.front().tag, "LK");
    EXPECT_EQ(Bodies(logged, "LK"), std::vector<std::string>{"open COM1 (" + sim.server().SlavePath() + ")"});

    LogWindow* window = PanelLogWindow(ui::PanelWindow(panelHandle));
    ASSERT_NE(window, nullptr);
    std::vector<std::string> shown;
    for (const QString& line : window->Lines()) shown.push_back(line.toStdString());
    EXPECT_EQ(shown, ReadLines(logPath));
}

TEST_F(LinkLogTest, RepliesCutShortOrWithoutLineEndAreLoggedAsRead) {
    simtest::SimFixture sim({"--model", "V212", "--line-end", "cr", "--fault-commands", "V?"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    MessageRecorder boxes;
    ASSERT_NO_FATAL_FAILURE(OpenCom1Logged(boxes));
    linklog::CloseFile();
    const std::vector<std::string> read = Bodies(ReadEntries(logPath), "RX");
    // The identity ends with its line feed; the status word ends in a lone CR and the read
    // ends at the time-out, without the line feed.
    ASSERT_GE(read.size(), 3u);
    EXPECT_EQ(read[0], "SIMLAB,V212,1234,1.000\\r\\n");
    EXPECT_EQ(read[2], "F0U0\\r");
}

TEST_F(LinkLogTest, GpibCallsWithTheirStatus) {
    simtest::GpibSim sim({"--model", "V212"});
    ShowFreshPanel();
    std::string why;
    ASSERT_TRUE(linklog::OpenFile(logPath, &why)) << why;
    MessageRecorder boxes;
    ui::SetCtrlVal(panelHandle, RING, 1);
    ComTypeCB(panelHandle, RING, ui::EVENT_COMMIT, nullptr, 0, 0);
    ui::SetCtrlVal(panelHandle, NUM_ADR, 5);
    ClickCom();
    ASSERT_EQ(connected, 1) << boxes.Texts();
    ClickCom();
    linklog::CloseFile();

    const std::vector<Entry> logged = ReadEntries(logPath);
    std::vector<std::string> calls;
    for (const std::string& body : Bodies(logged, "IB")) calls.push_back(body.substr(0, body.find('(')));
    // Every write and read is a call; the device manager's calls are those the decade saw.
    std::vector<std::string> managed;
    for (const std::string& c : calls) {
        if (c != "ibwrt" && c != "ibrd") managed.push_back(c);
    }
    EXPECT_EQ(managed, (std::vector<std::string>{"ibdev", "ibconfig", "ibconfig", "ibloc", "ibonl"}));
    EXPECT_EQ(Bodies(logged, "LK"),
              (std::vector<std::string>{"open GPIB address 5", "close GPIB address 5"}));
    const std::vector<std::string> ib = Bodies(logged, "IB");
    EXPECT_EQ(ib.front().rfind("ibdev(0, 5, 0, 13, 1, 0) = ", 0), 0u) << ib.front();
    EXPECT_EQ(ib[1].rfind("ibconfig(", 0), 0u) << ib[1];
    EXPECT_NE(ib[1].find(") status 0x"), std::string::npos) << ib[1];
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "ibwrt"),
              static_cast<long>(Bodies(logged, "TX").size()));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "ibrd"),
              static_cast<long>(Bodies(logged, "RX").size()));
    // Each written line is a command the decade received, in order.
    std::vector<std::string> commands;
    for (const std::string& c : sim.Commands()) commands.push_back(linklog::Escape(c + "\r\n"));
    EXPECT_EQ(Bodies(logged, "TX"), commands);
    // A read that ends with the decade's END shows its status word with END (0x2000) and
    // the count of the bytes read, which the RX entry holds.
    bool endSeen = false;
    for (const std::string& body : ib) {
        if (body.rfind("ibrd(", 0) == 0 && body.find("status 0x2") != std::string::npos) endSeen = true;
    }
    EXPECT_TRUE(endSeen);
    const std::string identity = "SIMLAB,V212,1234,1.000\\r\\n";
    EXPECT_EQ(Bodies(logged, "RX").front(), identity);
    const std::string firstRead = *std::find_if(ib.begin(), ib.end(), [](const std::string& b) {
        return b.rfind("ibrd(", 0) == 0;
    });
    EXPECT_NE(firstRead.find(" count 24"), std::string::npos) << firstRead;
}

// The window: the last 10,000 entries, Clear, Save, and the ways to open it.
TEST(LogWindowTest, KeepsTheLastEntriesClearsSavesAndOpens) {
    ShowFreshPanel();
    QWidget* panel = ui::PanelWindow(panelHandle);
    LogWindow* window = PanelLogWindow(panel);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isVisible());
    for (int i = 0; i < LogWindow::kMaxLines + 50; ++i) window->AddLine(QString::number(i));
    QStringList lines = window->Lines();
    ASSERT_EQ(lines.size(), LogWindow::kMaxLines);
    EXPECT_EQ(lines.first(), "50");
    EXPECT_EQ(lines.last(), QString::number(LogWindow::kMaxLines + 49));

    QTemporaryDir dir;
    QString why;
    ASSERT_TRUE(window->SaveTo(dir.filePath("saved.txt"), &why)) << why.toStdString();
    QFile saved(dir.filePath("saved.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().count('\n'), LogWindow::kMaxLines);
    EXPECT_FALSE(window->SaveTo(dir.filePath("no/such/folder/x.txt"), &why));
    EXPECT_FALSE(why.isEmpty());

    window->Clear();
    EXPECT_TRUE(window->Lines().isEmpty());

    // An entry logged while the window is closed is there when it opens.
    linklog::LibraryCall("test entry");
    ASSERT_EQ(window->Lines().size(), 1);
    EXPECT_TRUE(window->Lines().first().endsWith(" IB test entry"));

    panel->activateWindow();
    QTest::keyClick(panel, Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(window->isVisible()) << "Ctrl+L opens the log";
    window->close();
    QTest::mouseClick(LogButton(panel), Qt::LeftButton);
    EXPECT_TRUE(window->isVisible()) << "so does the Log button";
    window->close();
}

// A file that does not take the log: a full device, a FIFO whose reader never reads, one
// that takes it too slowly. The problem is said once, the close never waits beyond its
// bound, and it says that entries were lost; a FIFO without a reader is not opened at all.
TEST(LinkLogFileTest, AFileThatDoesNotTakeTheLogIsSaidOnceAndNeverHoldsTheEnd) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string fifo = dir.filePath("reader.log").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string entry(100, 'x');  // about 120 bytes an entry in the file
    const struct {
        const char* what;
        std::string path;
        int entries;
        const char* said;
    } cases[] = {
        {"/dev/full", "/dev/full", 10, "cannot write: No space left on device; nothing more is logged"},
        {"a FIFO never read", fifo, 100, " bytes of the log were not written: the file did not take them within 1000 ms"},
        {"a FIFO too slow", fifo, 90000, "the file takes the log too slowly (8 MiB waited); nothing more is logged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // The reader opens the FIFO and never reads: the pipe's 64 KiB fill up.
        const int reader = c.path == fifo ? ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK) : -1;
        std::vector<std::string> said;
        std::mutex saidMutex;
        std::string why;
        ASSERT_TRUE(linklog::OpenFile(c.path, &why, [&](const std::string& problem) {
            const std::lock_guard lock(saidMutex);
            said.push_back(problem);
        })) << why;
        // The pipe filled first, so that the writer is held with little in its hands;
        // then the entries: none of them waits for the file.
        const auto log = [&entry](int entries) {
            double slowest = 0.0;
            for (int i = 0; i < entries; ++i) {
                const auto begin = std::chrono::steady_clock::now();
                linklog::Sent(entry);
                slowest = std::max(slowest, SecondsSince(begin));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the writer meets it
            return slowest;
        };
        const double filling = log(reader >= 0 ? 700 : 0);
        EXPECT_LT(std::max(filling, log(c.entries)), 0.5) << "an exchange never waits";
        const auto closing = std::chrono::steady_clock::now();
        EXPECT_FALSE(linklog::CloseFile());
        EXPECT_LT(SecondsSince(closing), 1.5);
        if (reader >= 0) ::close(reader);
        const std::lock_guard lock(saidMutex);
        ASSERT_EQ(said.size(), 1u);
        EXPECT_NE(said[0].find(c.said), std::string::npos) << said[0];
    }
    // A FIFO without a reader; and a plain file takes everything.
    std::string why;
    EXPECT_FALSE(linklog::OpenFile(fifo, &why));
    EXPECT_EQ(why, "a FIFO that no program reads");
    int problems = 0;
    ASSERT_TRUE(linklog::OpenFile(dir.filePath("plain.log").toStdString(), &why, [&](const std::string&) { ++problems; }));
    for (int i = 0; i < 2000; ++i) linklog::Sent(entry);
    EXPECT_TRUE(linklog::CloseFile());
    EXPECT_EQ(problems, 0);
    EXPECT_EQ(ReadLines(dir.filePath("plain.log").toStdString()).size(), 2000u);
}

}  // namespace
