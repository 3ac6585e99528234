// The link on its own thread, on the real panel: the window paints while a GPIB read waits
// out its time-out, clicks during a sequence are dropped rather than carried out later,
// Cancel ends an open at once, and Exit during a sequence still hands the decade back to
// local, within a bound even when a library call does not return.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/open_close.h"
#include "app/panel.h"
#include "app/sequence_run.h"
#include "app/shared_state.h"
#include "platform/gpib.h"
#include "platform/link_log.h"
#include "platform/link_thread.h"
#include "toolkit/ui.h"
#include "support/paint_counter.h"
#include "support/panel_fixture.h"
#include "support/program_fixture.h"
#include "support/sim_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds from asking the window to repaint until its paint event, for each of n asks.
std::vector<double> PaintLatencies(QWidget* window, int n) {
    PaintCounter painted(window);
    std::vector<double> latencies;
    for (int i = 0; i < n; ++i) {
        const int before = painted.count();
        QElapsedTimer clock;
        clock.start();
        window->update();
        if (!ServeUntil([&] { return painted.count() > before; }, 2.0)) {
            latencies.push_back(2000.0);
            continue;
        }
        latencies.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        Serve(0.02);
    }
    return latencies;
}

bool CancelOffered() {
    QWidget* cancel = ui::CancelButton(panelHandle);
    return cancel != nullptr && cancel->isVisible();
}

// The panel with its link on a thread, as the program runs it.
class LinkThreadTest : public testing::Test {
  protected:
    void SetUp() override {
        ShowFreshPanel(3);
        linkthread::SetCancelHook([] { gpib::StopRead(); });
        linkthread::Start();
    }
    void TearDown() override {
        WaitLinkIdle();
        RunSequence([] { CloseCommunic(); });
        WaitLinkIdle();
        EXPECT_TRUE(linkthread::Stop(std::chrono::seconds(5)));
        linkthread::SetCancelHook({});
        gpib::CloseInstrDevs("v212");
        ResetSharedState();
    }

    MessageRecorder boxes_;
};

TEST_F(LinkThreadTest, WindowPaintsWhileAGpibReadWaitsOutItsTimeOutAndCancelStopsIt) {
    simtest::GpibSim sim({"--model", "V212", "--silent"});  // the 10 s time-out, uncapped
    ui::SetCtrlVal(panelHandle, RING, 1);
    ui::SetCtrlVal(panelHandle, NUM_ADR, 5);
    QTest::mouseClick(W(COM), Qt::LeftButton);
    ASSERT_TRUE(linkthread::Busy());
    // The identity query has gone out and its read waits.
    ASSERT_TRUE(ServeUntil([] { return linkthread::CurrentWait().count() > 150; }, 3.0));

    std::vector<double> latencies = PaintLatencies(ui::PanelWindow(panelHandle), 20);
    std::sort(latencies.begin(), latencies.end());
    EXPECT_LT(latencies.back(), 100.0) << "slowest paint in ms";
    EXPECT_TRUE(linkthread::Busy()) << "the read ended before the paints were measured";
    EXPECT_EQ(ui::PanelWindow(panelHandle)->cursor().shape(), Qt::WaitCursor);

    // The open offers Cancel at once; the library's ibstop ends the read there and then.
    ASSERT_TRUE(CancelOffered());
    const auto cancelled = Clock::now();
    QTest::mouseClick(ui::CancelButton(panelHandle), Qt::LeftButton);
    ASSERT_TRUE(WaitLinkIdle(5.0));
    EXPECT_LT(SecondsSince(cancelled), 0.2);
    EXPECT_EQ(sim.Lines(), (Lines{"<ibdev 5>", "<ibtmo 13>", "<ibpad 5>", "*IDN?", "<ibstop>",
                                  "<ibloc>", "<ibonl 0>"}));
    EXPECT_EQ(connected, 0);
    EXPECT_EQ(Int(COM), 0);
    EXPECT_TRUE(boxes_.messages().empty()) << boxes_.Texts();  // the operator ended it
    EXPECT_FALSE(CancelOffered());
    EXPECT_NE(ui::PanelWindow(panelHandle)->cursor().shape(), Qt::WaitCursor);
}

// Output pressed once, then twice more while its sequence runs: the decade gets exactly
// what one press sends, and the panel says once that input was dropped.
TEST_F(LinkThreadTest, ClicksDuringASequenceAreDroppedNotCarriedOutLater) {
    Lines onePress;
    for (const int extraClicks : {0, 2}) {
        SCOPED_TRACE(extraClicks);
        simtest::SimFixture sim({"--model", "V330A"});
        ASSERT_TRUE(sim.ok()) << sim.error();
        OpenSerial(1, 9600);
        ASSERT_EQ(connected, 1) << boxes_.Texts();
        ASSERT_EQ(Int(LED_OUTPUT), 0);
        sim.ClearTranscript();
        QTest::mouseClick(W(CMD_OUTPUT), Qt::LeftButton);
        ASSERT_TRUE(linkthread::Busy());
        for (int i = 0; i < extraClicks; ++i) QTest::mouseClick(W(CMD_OUTPUT), Qt::LeftButton);
        QTest::keyClick(W(VALUE), Qt::Key_Up);  // a key to the panel is dropped too
        if (extraClicks > 0) {
            EXPECT_EQ(QToolTip::text().toStdString(), "Busy with the decade: the input was ignored.");
        }
        ASSERT_TRUE(WaitLinkIdle(10.0));
        Serve(0.3);  // anything queued would have run by now
        EXPECT_FALSE(linkthread::Busy());
        if (extraClicks == 0) {
            onePress = sim.Lines();
            ASSERT_FALSE(onePress.empty());
            EXPECT_EQ(onePress.front(), "OUTP 1");
        } else {
            EXPECT_EQ(sim.Lines(), onePress);
        }
        EXPECT_EQ(Int(LED_OUTPUT), 1);
        RunSequence([] { CloseCommunic(); });
        ASSERT_TRUE(WaitLinkIdle());
    }
    EXPECT_TRUE(boxes_.messages().empty()) << boxes_.Texts();
}

TEST_F(LinkThreadTest, CancelEndsAnOpenAgainstASilentSerialDecadeAndALaterOpenWorks) {
    {
        simtest::SimFixture sim({"--model", "V212", "--silent"});
        ASSERT_TRUE(sim.ok()) << sim.error();
        ui::SetCtrlVal(panelHandle, RING, 0);
        QTest::mouseClick(W(COM), Qt::LeftButton);
        ASSERT_TRUE(ServeUntil([&] { return !sim.Lines().empty(); }, 3.0));
        Serve(0.2);
        ASSERT_TRUE(CancelOffered());
        const auto cancelled = Clock::now();
        QTest::keyClick(ui::PanelWindow(panelHandle), Qt::Key_Escape);
        // The read ends within 100 ms; the close follows with the local command.
        ASSERT_TRUE(ServeUntil([&] { return sim.Lines().size() >= 2; }, 3.0));
        EXPECT_LT(SecondsSince(cancelled), 0.2);
        ASSERT_TRUE(WaitLinkIdle(5.0));
        EXPECT_EQ(sim.Lines(), (Lines{"*IDN?", ":SYST:LOC"}));
        EXPECT_EQ(connected, 0);
        EXPECT_EQ(Int(COM), 0);
        EXPECT_TRUE(boxes_.messages().empty()) << boxes_.Texts();
    }
    simtest::SimFixture sim({"--model", "V212"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    OpenSerial(1, 9600);
    EXPECT_EQ(connected, 1) << boxes_.Texts();
    EXPECT_EQ(decadeModel, 2);
    EXPECT_TRUE(boxes_.messages().empty()) << boxes_.Texts();
}

class LinkThreadExitTest : public ProgramRunTest {};

// Exit pressed while a handler's sequence runs: the sequence is cancelled, the local
// command goes out on the link thread, and the program ends with the settings written.
TEST_F(LinkThreadExitTest, ExitDuringASequenceEndsWithTheLocalCommand) {
    simtest::SimFixture sim({"--model", "V212"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    bool opened = false;
    bool busy = false;
    const int result = RunProgram([&](int) {
        ClickCom();
        opened = connected == 1;
        QTest::mouseClick(W(CMD_OUTPUT), Qt::LeftButton);
        busy = linkthread::Busy();
        QTest::mouseClick(W(END), Qt::LeftButton);
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(busy);
    const Lines lines = sim.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), ":SYST:LOC");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), ":SYST:LOC"), 1);
    EXPECT_EQ(connected, 0);
    EXPECT_EQ(FileText(sim.folder() + "/Ombrastel.ini"), kDefaultSettings);
}

// When each line went out on the link, as the link log has it (written from any thread).
// Listens from Listen() on, in place of the panel's Log window.
class SentLog {
  public:
    void Listen() {
        linklog::SetListener([this](const std::string& entry) {
            const std::lock_guard lock(mutex_);
            entries_.emplace_back(Clock::now(), entry);
        });
    }
    ~SentLog() { linklog::SetListener({}); }
    // The moment command (with its line end) last went out; none when it never did.
    std::optional<Clock::time_point> LastSent(const std::string& command) const {
        const std::lock_guard lock(mutex_);
        for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
            if (it->second.find(" TX " + command + "\\") != std::string::npos) return it->first;
        }
        return std::nullopt;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::pair<Clock::time_point, std::string>> entries_;
};

// A value typed into Output and confirmed, without waiting for its sequence.
void TypeValueAndGoOn(const char* text) {
    W(VALUE)->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(W(VALUE), QString::fromLatin1(text));
    QTest::keyClick(W(VALUE), Qt::Key_Return);
}

bool Has(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Exit while the link is busy in every way the panel keeps it busy: the decade still gets
// its local command in the dialect of its class and its 0.5 s before the port closes, and
// the program ends within the exit's bound; a decade that is gone gets nothing and costs no
// wait.
TEST_F(LinkThreadExitTest, ExitWhileTheLinkIsBusyStillHandsTheDecadeBackToLocal) {
    enum class Busy { LateReply, OwnClose, QueuedBehind, SequenceRun, DecadeGone };
    // Late, yet in time for the open's refresh even on a loaded machine.
    const std::vector<std::string> lateValue = {"--delay", "700", "--fault-commands", "A?"};
    struct Case {
        const char* what;
        const char* model;
        std::vector<std::string> faults;
        Busy busy;
        const char* local;  // null: the link is gone, nothing may go out
    };
    const Case cases[] = {
        {"a handler waits for a reply 0.7 s late", "V212", lateValue, Busy::LateReply, ":SYST:LOC"},
        {"the same on the V151 class", "V151", lateValue, Busy::LateReply, "L1"},
        {"the operator's Close waits before the port closes", "V212", {}, Busy::OwnClose,
         ":SYST:LOC"},
        {"the operator's Close waits for the reply to its local command", "V151",
         {"--delay", "900", "--fault-commands", "L1"}, Busy::OwnClose, "L1"},
        {"a handler posted while the link thread is still at its own work", "V212", lateValue,
         Busy::QueuedBehind, ":SYST:LOC"},
        {"a Sequence-window run waits for a late reply", "V212", lateValue, Busy::SequenceRun,
         ":SYST:LOC"},
        {"the decade gone while a handler waits", "V212", lateValue, Busy::DecadeGone, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = {"--model", c.model};
        args.insert(args.end(), c.faults.begin(), c.faults.end());
        simtest::SimFixture sim(args);
        ASSERT_TRUE(sim.ok()) << sim.error();
        SentLog sent;
        bool ready = false;
        Clock::time_point exitPressed;
        const int result = RunProgram([&](int) {
            sent.Listen();
            ClickCom();
            if (connected != 1) return QTest::mouseClick(W(END), Qt::LeftButton);
            sim.ClearTranscript();
            const auto arrived = [&](const char* line) {
                return ServeUntil([&] { return Has(sim.Lines(), line); }, 3.0);
            };
            switch (c.busy) {
                case Busy::LateReply:
                    TypeValueAndGoOn("5");
                    ready = arrived("A?");
                    Serve(0.1);
                    break;
                case Busy::OwnClose:
                    QTest::mouseClick(W(COM), Qt::LeftButton);
                    ready = arrived(c.local);
                    break;
                case Busy::QueuedBehind: {
                    // An object of the link thread, and work for it that holds the thread
                    // while the handler's sequence is posted behind it.
                    QObject* onLink = nullptr;
                    RunSequence([&onLink] { onLink = new QObject; });
                    ready = WaitLinkIdle(5.0) && onLink != nullptr;
                    if (!ready) break;
                    linkthread::RunQueued(onLink, [onLink] {
                        std::this_thread::sleep_for(std::chrono::milliseconds(400));
                        onLink->deleteLater();
                    });
                    TypeValueAndGoOn("5");
                    ready = linkthread::Busy();
                    break;
                }
                case Busy::SequenceRun: {
                    const sequence::Listener quiet{[](int) {}, [](const sequence::StepResult&) {},
                                                   [](sequence::RunEnd, int) {}};
                    ready = sequence::Start({{5.0, 5.0}, {6.0, 5.0}}, quiet) && arrived("A?");
                    Serve(0.1);
                    break;
                }
                case Busy::DecadeGone:
                    TypeValueAndGoOn("5");
                    ready = arrived("A?");
                    sim.server().Stop();  // the decade's end of the line hangs up
                    // The panel in its closed state (COM off, painted by the GUI thread).
                    ready = ready && ServeUntil([] { return Int(COM) == 0; }, 3.0);
                    break;
            }
            exitPressed = Clock::now();
            QTest::mouseClick(W(END), Qt::LeftButton);
        });
        const Clock::time_point ended = Clock::now();
        EXPECT_EQ(result, 0);
        ASSERT_TRUE(ready) << testing::PrintToString(sim.Lines());
        EXPECT_LT(SecondsSince(exitPressed), kExitBoundMs / 1000.0);
        EXPECT_EQ(connected, 0);
        EXPECT_EQ(FileText(sim.folder() + "/Ombrastel.ini"), kDefaultSettings);
        if (c.local == nullptr) {
            EXPECT_FALSE(sent.LastSent(":SYST:LOC")) << "a local command to a link that is gone";
            EXPECT_LT(SecondsSince(exitPressed), 0.4) << "a wait for a link that is gone";
            continue;
        }
        // A late decade reads its input once its late reply is out.
        ServeUntil([&] { return Has(sim.Lines(), c.local); }, 2.0);
        const Lines lines = sim.Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.local) << testing::PrintToString(lines);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), c.local), 1);
        if (c.busy == Busy::QueuedBehind) {
            EXPECT_EQ(lines, Lines{c.local}) << "the cancelled handler still sent";
        }
        if (c.busy == Busy::SequenceRun) {
            EXPECT_FALSE(Has(lines, "A 6")) << "the run went on after Exit";
        }
        const auto local = sent.LastSent(c.local);
        ASSERT_TRUE(local);
        EXPECT_GE(std::chrono::duration<double>(ended - *local).count(), 0.5)
            << "the wait between the local command and the port's close";
    }
}

// A GPIB read that does not come back (the driver hangs): Exit ends the program after the
// bound of 2 s, with the settings written; the link thread is left behind.
TEST_F(LinkThreadExitTest, ExitEndsWithinItsBoundWhenAGpibReadDoesNotReturn) {
    simtest::GpibSim sim({"--model", "V212", "--gpib-hang-read", "4000"});
    double exitToEnd = -1.0;
    Clock::time_point exitPressed;
    const int result = RunProgram([&](int) {
        ui::SetCtrlVal(panelHandle, RING, 1);
        QTest::mouseClick(W(COM), Qt::LeftButton);
        QTimer::singleShot(300, [&] {
            exitPressed = Clock::now();
            QTest::mouseClick(W(END), Qt::LeftButton);
        });
    });
    exitToEnd = SecondsSince(exitPressed);
    EXPECT_EQ(result, 0);
    EXPECT_GT(exitToEnd, 1.9);
    EXPECT_LT(exitToEnd, 2.6);
    EXPECT_TRUE(linkthread::Abandoned());
    EXPECT_EQ(FileText(dir.filePath("Ombrastel.ini").toStdString()),
              "Language = 3\nType = 1\nAddress = 0\nCom = 1\nRate = 9600\n");
    // The thread ends once the read returns, sending nothing more.
    ASSERT_TRUE(linkthread::WaitAbandonedEnd(std::chrono::seconds(10)));
    const Lines lines = sim.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "*IDN?"), 1) << lines.size();
    gpib::CloseInstrDevs("v212");
}

}  // namespace
