// The Sequence window on the real panel against the simulated decade: a ramp fills the
// steps, a run puts exactly the value commands and refreshes on the wire with the dwell
// between them, Pause holds, Stop ends, a refusal or a silent or lost decade ends the run
// at its step, and a file the window saves runs unchanged in ombrastel-ctl.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QChart>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProcess>
#include <QTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "app/open_close.h"
#include "app/panel.h"
#include "app/panel_tools.h"
#include "app/sequence_run.h"
#include "app/sequence_window.h"
#include "app/shared_state.h"
#include "platform/gpib.h"
#include "platform/link_thread.h"
#include "toolkit/ui.h"
#include "support/panel_fixture.h"
#include "support/program_fixture.h"
#include "support/sim_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

const Lines kRefresh2 = {"V?", "A?", "R?", "W?"};
// The lines the panel's open of the V212 below sends.
constexpr int kOpenExchanges = 12;

class SequenceTest : public testing::Test {
  protected:
    void SetUp() override {
        ShowFreshPanel(3);
        linkthread::Start();
    }
    void TearDown() override {
        sequence::Stop();
        WaitLinkIdle();
        if (Win() != nullptr) Win()->hide();
        RunSequence([] { CloseCommunic(); });
        WaitLinkIdle();
        EXPECT_TRUE(linkthread::Stop(std::chrono::seconds(5)));
        sim_.reset();
        ResetSharedState();
    }

    // A V212 on COM1, opened by the panel, its function resistance ("Output [kOhm]"), with
    // the window open; or the decade args name when they begin with a model.
    void OpenDecade(std::vector<std::string> args, int lang = 3) {
        if (args.empty() || args[0] != "--model") {
            args.insert(args.begin(), {"--model", "V212", "--function", "0", "--value", "1500"});
        }
        sim_.reset();
        sim_ = std::make_unique<simtest::SimFixture>(args);
        ASSERT_TRUE(sim_->ok()) << sim_->error();
        ShowFreshPanel(lang);
        OpenSerial(1, 9600);
        ASSERT_TRUE(WaitLinkIdle());
        ASSERT_EQ(connected, 1) << boxes_.Texts();
        // The window, opened with its button.
        QTest::mouseClick(SequenceButton(ui::PanelWindow(panelHandle)), Qt::LeftButton);
        ASSERT_TRUE(Win()->isVisible());
        openLines_ = sim_->Lines().size();
        sim_->ClearTranscript();
    }

    // Hands the decade back to local on the link thread and puts the window away.
    static void CloseLinkAndWindow() {
        RunSequence([] { CloseCommunic(); });
        WaitLinkIdle();
        Win()->hide();
    }
    static SequenceWindow* Win() { return PanelSequenceWindow(ui::PanelWindow(panelHandle)); }
    template <typename T>
    static T* Part(const char* name) {
        T* part = Win()->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(part, nullptr) << name;
        return part;
    }
    static void Click(const char* name) {
        auto* button = Part<QAbstractButton>(name);
        ASSERT_TRUE(button->isEnabled()) << name << " is dimmed";
        QTest::mouseClick(button, Qt::LeftButton);
    }
    static void Enter(const char* field, const QString& text) {
        auto* edit = Part<QLineEdit>(field);
        edit->selectAll();
        edit->del();
        QTest::keyClicks(edit, text);
    }
    // Fills the ramp fields and presses Fill.
    static void Ramp(const QString& from, const QString& to, bool byCount, const QString& n,
                     const QString& dwell) {
        Enter("rampFrom", from);
        Enter("rampTo", to);
        Part<QRadioButton>(byCount ? "rampByCount" : "rampByStep")->setChecked(true);
        Enter("rampStepOrCount", n);
        Enter("rampDwell", dwell);
        Click("rampFill");
    }
    static QStringList Column(QTableWidget* table, int column) {
        QStringList texts;
        for (int row = 0; row < table->rowCount(); ++row) texts << table->item(row, column)->text();
        return texts;
    }
    static std::vector<double> Bases() {
        std::vector<double> values;
        for (const sequence::Step& s : Win()->Steps()) values.push_back(s.value);
        return values;
    }
    static bool RunEnded(double seconds = 20.0) {
        return ServeUntil([] { return !sequence::Running() && !linkthread::Busy(); }, seconds);
    }
    // The times the value commands reached the decade.
    std::vector<double> ValueCommandTimes() const {
        std::vector<double> times;
        for (const sim::Record& r : sim_->server().Transcript()) {
            if (r.bytes.rfind("A ", 0) == 0) times.push_back(r.seconds);
        }
        return times;
    }

    MessageRecorder boxes_;
    std::unique_ptr<simtest::SimFixture> sim_;
    std::size_t openLines_ = 0;  // what the open sent
};

TEST_F(SequenceTest, RampFillsTheExpectedRows) {
    OpenDecade({});
    ASSERT_EQ(valueExponent, 3);
    const struct {
        const char* from;
        const char* to;
        bool byCount;
        const char* n;
        QStringList shown;           // in kOhm, as the table shows them
        std::vector<double> base;    // in ohm, as they go out
    } cases[] = {
        {"0", "1", false, "0.25", {"0", "0.25", "0.5", "0.75", "1"}, {0, 250, 500, 750, 1000}},
        {"10", "1", false, "3", {"10", "7", "4", "1"}, {10000, 7000, 4000, 1000}},
        {"10", "1", false, "-4", {"10", "6", "2"}, {10000, 6000, 2000}},
        {"0", "1", false, "0.1",
         {"0", "0.1", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7", "0.8", "0.9", "1"},
         {0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}},
        {"2,5", "3", false, "0,25", {"2.5", "2.75", "3"}, {2500, 2750, 3000}},
        {"1", "2", true, "3", {"1", "1.5", "2"}, {1000, 1500, 2000}},
        {"5", "9", true, "1", {"5"}, {5000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " " + c.to + " " + c.n);
        Ramp(c.from, c.to, c.byCount, c.n, "0.5");
        EXPECT_EQ(Column(Win()->StepTable(), 0), c.shown);
        const std::vector<double> bases = Bases();
        ASSERT_EQ(bases.size(), c.base.size());
        for (std::size_t i = 0; i < bases.size(); ++i) EXPECT_NEAR(bases[i], c.base[i], 1e-9) << i;
        EXPECT_EQ(Column(Win()->StepTable(), 1), QStringList(c.shown.size(), QStringLiteral("0.5")));
    }
    EXPECT_EQ(Win()->StepTable()->horizontalHeaderItem(0)->text(), QStringLiteral("Value [kOhm]"));

    // What is no ramp leaves the table as it was and says why on the field.
    const QStringList before = Column(Win()->StepTable(), 0);
    const struct {
        const char* from;
        const char* n;
        bool byCount;
        const char* dwell;
        const char* field;
        const char* why;
    } refused[] = {
        {"1.2.3", "1", false, "1", "rampFrom", "not a number"},
        {"0", "0", false, "1", nullptr, "The ramp makes no step, or more than 10000: nothing was changed."},
        {"0", "0.00001", false, "1", nullptr, "The ramp makes no step, or more than 10000: nothing was changed."},
        {"0", "2.5", true, "1", "rampStepOrCount", "not a whole number from 1 to 10000"},
        {"0", "1", false, "-1", "rampDwell", "not a dwell time in seconds"},
        {"0", "1", false, "abc", "rampDwell", "not a dwell time in seconds"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(std::string(r.from) + " " + r.n + " " + r.dwell);
        Ramp(r.from, "1", r.byCount, r.n, r.dwell);
        EXPECT_EQ(Column(Win()->StepTable(), 0), before);
        EXPECT_EQ(Win()->StatusText().toStdString(), r.why);
        if (r.field != nullptr) {
            EXPECT_EQ(Part<QLineEdit>(r.field)->toolTip().toStdString(), r.why);
        }
    }
    EXPECT_TRUE(sim_->Lines().empty()) << "filling the table sends nothing";
}

TEST_F(SequenceTest, FiveStepsPutTheValueCommandsAndRefreshesWithTheirDwell) {
    OpenDecade({});
    Ramp("1", "5", true, "5", "0.2");
    const auto started = Clock::now();
    Click("runSequence");
    ASSERT_TRUE(sequence::Running());
    ASSERT_TRUE(RunEnded());
    const double took = SecondsSince(started);

    Lines expected;
    for (const char* v : {"A 1000", "A 2000", "A 3000", "A 4000", "A 5000"}) expected = expected + Lines{v} + kRefresh2;
    EXPECT_EQ(sim_->Lines(), expected);
    EXPECT_TRUE(boxes_.messages().empty()) << boxes_.Texts();
    // Each value holds for its dwell, counted from the moment it went out.
    const std::vector<double> times = ValueCommandTimes();
    ASSERT_EQ(times.size(), 5u);
    for (std::size_t i = 1; i < times.size(); ++i) EXPECT_NEAR(times[i] - times[i - 1], 0.2, 0.05) << i;
    EXPECT_GE(took, 1.0) << "the last value is held for its dwell too";
    EXPECT_LT(took, 1.6);

    // The panel shows the last value read back; the results and the plot have every step.
    EXPECT_DOUBLE_EQ(Number(VALUE), 5.0);
    EXPECT_EQ(Column(Win()->ResultTable(), 1), (QStringList{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(Column(Win()->ResultTable(), 2), (QStringList{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(Column(Win()->ResultTable(), 3), QStringList(5, QStringLiteral("done")));
    EXPECT_EQ(Column(Win()->StepTable(), 2), QStringList(5, QStringLiteral("done")));
    EXPECT_EQ(Win()->StatusText(), QStringLiteral("Done: 5 steps."));
    EXPECT_EQ(Win()->Progress()->value(), 5);
    auto* set = qobject_cast<QLineSeries*>(Win()->Chart()->series().at(0));
    auto* read = qobject_cast<QLineSeries*>(Win()->Chart()->series().at(1));
    ASSERT_TRUE(set != nullptr && read != nullptr);
    // Drawn as steps: flat at 1 until the 2 goes out, then flat at 2, ...
    ASSERT_GE(set->count(), 10);
    EXPECT_DOUBLE_EQ(set->at(0).y(), 1.0);
    EXPECT_DOUBLE_EQ(set->at(set->count() - 1).y(), 5.0);
    EXPECT_NEAR(set->at(set->count() - 1).x(), took, 0.3);
    EXPECT_EQ(read->count(), set->count());

    // The results as CSV and the plot as PNG.
    QString why;
    const QString csv = QDir::current().filePath(QStringLiteral("results.csv"));
    ASSERT_TRUE(Win()->SaveResults(csv, &why)) << why.toStdString();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[0], QStringLiteral("time_s,set,read_back,unit,status"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("0.000,1000,1000,Ohm,done"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[5].endsWith(QStringLiteral(",5000,5000,Ohm,done"))) << lines[5].toStdString();
    const QString png = QDir::current().filePath(QStringLiteral("plot.png"));
    ASSERT_TRUE(Win()->SavePlot(png, &why)) << why.toStdString();
    const QImage image(png);
    EXPECT_GE(image.width(), 400);
    EXPECT_GE(image.height(), 250);
}

TEST_F(SequenceTest, PauseHoldsTheValueResumeGoesOnStopEndsAtOnce) {
    OpenDecade({});
    Ramp("1", "3", true, "3", "1");
    Click("runSequence");
    ASSERT_TRUE(ServeUntil([] { return Win()->ResultTable()->rowCount() == 1; }, 5.0));
    Serve(0.4);  // into the first dwell
    Click("pauseSequence");
    // The rest of the first dwell, and the two later ones.
    const double leftAtPause = sequence::SecondsLeft();
    const double restOfFirst = leftAtPause - 2.0;
    EXPECT_GT(restOfFirst, 0.2);
    EXPECT_LT(restOfFirst, 0.65);
    EXPECT_TRUE(Win()->Progress()->format().contains(QStringLiteral("(paused)")))
        << Win()->Progress()->format().toStdString();
    // The panel takes no input meanwhile: a value typed there goes nowhere.
    auto* value = W(VALUE)->findChild<QLineEdit*>();
    ASSERT_NE(value, nullptr);
    QTest::keyClicks(value, QStringLiteral("9"));
    QTest::keyClick(value, Qt::Key_Return);
    Serve(1.2);
    EXPECT_EQ(sim_->Lines(), Lines{"A 1000"} + kRefresh2) << "paused longer than the dwell";
    EXPECT_NEAR(sequence::SecondsLeft(), leftAtPause, 0.02) << "the clock stands while paused";

    const auto resumed = Clock::now();
    Click("resumeSequence");
    ASSERT_TRUE(ServeUntil([] { return Win()->ResultTable()->rowCount() == 2; }, 5.0));
    const double gap = SecondsSince(resumed);
    EXPECT_GT(gap, restOfFirst - 0.05);
    EXPECT_LT(gap, restOfFirst + 0.25) << "the rest of the first dwell, not a new one";
    // Stop in the second dwell: the run ends now, the third value never goes out.
    const auto stopped = Clock::now();
    Click("stopSequence");
    ASSERT_TRUE(RunEnded(2.0));
    EXPECT_LT(SecondsSince(stopped), 0.3);
    Serve(0.5);
    EXPECT_EQ(sim_->Lines(), Lines{"A 1000"} + kRefresh2 + Lines{"A 2000"} + kRefresh2);
    EXPECT_EQ(Win()->StatusText(), QStringLiteral("Stopped after step 2 of 3."));
    EXPECT_TRUE(boxes_.messages().empty()) << boxes_.Texts();
    // The panel takes input again.
    sim_->ClearTranscript();
    Type(VALUE, "7");
    EXPECT_EQ(sim_->Lines(), Lines{"A 7000"} + kRefresh2);
}

// A step sends what the value handler sends for the same number, in every class: the
// value command of the class (scaled, through the error queue, only with the output on)
// and the class's refresh.
TEST_F(SequenceTest, AStepSendsWhatTheValueHandlerSendsInEveryClass) {
    const struct {
        std::vector<std::string> args;
        const char* typed;
        const char* state;  // of the step
    } cases[] = {
        {{"--model", "V210"}, "2", "done"},
        {{"--model", "V212", "--function", "0", "--value", "1500"}, "2.5", "done"},
        {{"--model", "V330A", "--function", "0", "--value", "1000"}, "2.5", "done"},
        {{"--model", "V150"}, "470", "done"},
        {{"--model", "V151", "--output", "1"}, "2200", "done"},
        // Output off: the value goes out only through the output button.
        {{"--model", "V151"}, "470", "value cannot be set now"},
        {{"--model", "V211", "--function", "1"}, "-20", "done"},
        {{"--model", "V090", "--function", "0", "--value", "12500"}, "2.5", "done"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1] + " " + c.typed);
        OpenDecade(c.args);
        Type(VALUE, c.typed);
        const Lines byHandler = sim_->Lines();
        ASSERT_FALSE(byHandler.empty());
        sim_->ClearTranscript();
        const QString shown = QString::number(Number(VALUE), 'g', 12);
        Ramp(shown, shown, true, "1", "0");
        Click("runSequence");
        ASSERT_TRUE(RunEnded());
        EXPECT_EQ(sim_->Lines(), byHandler);
        EXPECT_EQ(Win()->StepTable()->item(0, 2)->text().toStdString(), c.state);
        EXPECT_TRUE(boxes_.messages().empty()) << boxes_.Texts();
        CloseLinkAndWindow();
    }
}

// Over GPIB the same: each step's value and refresh, and the dwell between the values.
TEST_F(SequenceTest, ARunOverGpib) {
    simtest::GpibSim sim({"--model", "V212", "--function", "0", "--value", "1500"});
    ui::SetCtrlVal(panelHandle, RING, 1);
    ui::SetCtrlVal(panelHandle, NUM_ADR, 5);
    ClickCom();
    ASSERT_TRUE(WaitLinkIdle());
    ASSERT_EQ(connected, 1) << boxes_.Texts();
    QTest::mouseClick(SequenceButton(ui::PanelWindow(panelHandle)), Qt::LeftButton);
    const std::size_t opened = sim.Commands().size();
    Ramp("1", "3", true, "3", "0.3");
    const auto started = Clock::now();
    Click("runSequence");
    ASSERT_TRUE(RunEnded());
    EXPECT_GE(SecondsSince(started), 0.9);
    const Lines commands = sim.Commands();
    ASSERT_GE(commands.size(), opened);
    EXPECT_EQ(Lines(commands.begin() + static_cast<std::ptrdiff_t>(opened), commands.end()),
              Lines{"A 1000"} + kRefresh2 + Lines{"A 2000"} + kRefresh2 + Lines{"A 3000"} + kRefresh2);
    EXPECT_EQ(Column(Win()->ResultTable(), 2), (QStringList{"1", "2", "3"}));
    RunSequence([] { CloseCommunic(); });
    WaitLinkIdle();
    gpib::CloseInstrDevs("v212");
}

// Steps prepared before the decade is open (typed or opened from a file) run once it is:
// the table takes the function and prefix the panel then shows, unless its steps are for
// another function.
TEST_F(SequenceTest, StepsMadeWithoutADecadeRunOnceItIsOpen) {
    for (const bool otherFunction : {false, true}) {
        SCOPED_TRACE(otherFunction);
        sim_.reset();
        sim_ = std::make_unique<simtest::SimFixture>(
            std::vector<std::string>{"--model", "V212", "--function", "0", "--value", "1500"});
        ASSERT_TRUE(sim_->ok()) << sim_->error();
        ShowFreshPanel(3);
        QTest::mouseClick(SequenceButton(ui::PanelWindow(panelHandle)), Qt::LeftButton);
        EXPECT_FALSE(Part<QAbstractButton>("runSequence")->isEnabled());
        EXPECT_TRUE(Part<QLabel>("sequenceHeading")->text().startsWith(QStringLiteral("No decade")));
        QFile file(QDir::current().filePath(QStringLiteral("prepared.csv")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(otherFunction ? "-50,0,pt385-90\n0,0,pt385-90\n" : "1500,0\n2500,0\n");
        file.close();
        QString why;
        ASSERT_TRUE(Win()->LoadSteps(file.fileName(), &why)) << why.toStdString();
        EXPECT_EQ(Column(Win()->StepTable(), 0),
                  otherFunction ? (QStringList{"-50", "0"}) : (QStringList{"1500", "2500"}));

        OpenSerial(1, 9600);
        ASSERT_TRUE(WaitLinkIdle());
        ASSERT_EQ(connected, 1) << boxes_.Texts();
        if (otherFunction) {
            EXPECT_FALSE(Part<QAbstractButton>("runSequence")->isEnabled());
            EXPECT_TRUE(Part<QLabel>("sequenceHeading")->text().startsWith(QStringLiteral("These steps are for pt385-90")))
                << Part<QLabel>("sequenceHeading")->text().toStdString();
        } else {
            EXPECT_EQ(Win()->StepTable()->horizontalHeaderItem(0)->text(), QStringLiteral("Value [kOhm]"));
            EXPECT_EQ(Column(Win()->StepTable(), 0), (QStringList{"1.5", "2.5"}));
            sim_->ClearTranscript();
            Click("runSequence");
            ASSERT_TRUE(RunEnded());
            EXPECT_EQ(sim_->Lines(), Lines{"A 1500"} + kRefresh2 + Lines{"A 2500"} + kRefresh2);
        }
        CloseLinkAndWindow();
    }
}

// Nobody could stop a run whose window is gone: closing the window stops it.
TEST_F(SequenceTest, ClosingTheWindowStopsTheRun) {
    OpenDecade({});
    Ramp("1", "3", true, "3", "2");
    Click("runSequence");
    ASSERT_TRUE(ServeUntil([] { return Win()->ResultTable()->rowCount() == 1; }, 5.0));
    const auto closed = Clock::now();
    Win()->close();
    ASSERT_TRUE(RunEnded(1.0));
    EXPECT_LT(SecondsSince(closed), 0.3);
    EXPECT_EQ(sim_->Lines(), Lines{"A 1000"} + kRefresh2);
    EXPECT_EQ(connected, 1);
}

// A run of more steps than the plot has pixel columns: the plot draws at most four points a
// column (the old series grew by two a step), the one-step spike and dip are still drawn,
// and the results table and the progress bar have every step.
TEST_F(SequenceTest, ALongRunIsDrawnWithinThePlotsWidthAndKeepsItsSpikes) {
    OpenDecade({});
    auto* set = qobject_cast<QLineSeries*>(Win()->Chart()->series().at(0));
    ASSERT_NE(set, nullptr);
    const int pixels = static_cast<int>(Win()->Chart()->plotArea().width());
    ASSERT_GT(pixels, 100);
    const int steps = 3 * pixels;
    QFile file(QDir::current().filePath(QStringLiteral("long.csv")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < steps; ++i) {
        const int ohm = i == steps / 3 ? 9000 : i == steps / 2 ? 100 : 1000 + i % 7;
        file.write(QByteArray::number(ohm) + ",0\n");
    }
    file.close();
    QString why;
    ASSERT_TRUE(Win()->LoadSteps(file.fileName(), &why)) << why.toStdString();
    Click("runSequence");
    ASSERT_TRUE(RunEnded(600.0));
    EXPECT_TRUE(boxes_.messages().empty()) << boxes_.Texts();
    EXPECT_EQ(Win()->ResultTable()->rowCount(), steps);
    EXPECT_EQ(Win()->Progress()->value(), steps);
    EXPECT_LE(set->count(), 4 * pixels + 1) << "of " << steps << " steps";
    double low = INFINITY;
    double high = -INFINITY;
    for (const QPointF& p : set->points()) {
        low = std::min(low, p.y());
        high = std::max(high, p.y());
    }
    EXPECT_DOUBLE_EQ(high, 9.0) << "the spike, in kOhm";
    EXPECT_DOUBLE_EQ(low, 0.1) << "the dip";
    CloseLinkAndWindow();
}

// A refusal, a silent decade and a lost link each end the run at their step with the
// panel's own message, in both languages, and the step says what happened.
TEST_F(SequenceTest, ARefusalOrALinkFailureEndsTheRunAtThatStep) {
    const Lines step1 = Lines{"A 1000"} + kRefresh2;
    const Lines step2 = Lines{"A 2000"} + kRefresh2;
    const Lines refused = step1 + step2 + Lines{"A 3000"} + kRefresh2;
    // The open of a V212 takes kOpenExchanges exchanges; the second step's value is the
    // sixth exchange after it.
    const std::string silentAfter = std::to_string(kOpenExchanges + 5);
    const struct {
        std::vector<std::string> args;
        int lang;
        Lines wire;  // after the open
        const char* box;
        int failed;  // the step that ended the run, from 0
        const char* state;
        const char* status;
        int connectedAfter;
    } cases[] = {
        {{"--refuse", "A 3000"}, 3, refused, "Could not set value!", 2, "refused",
         "Ended at step 3 of 5: refused.", 1},
        {{"--refuse", "A 3000"}, 1, refused, "Hodnotu nelze nastavit!", 2, "odmítnuto",
         "Skončeno u kroku 3 z 5: odmítnuto.", 1},
        {{"--silent-after", silentAfter}, 3, step1 + Lines{"A 2000"}, "Communication failed.", 1,
         "no answer", "Ended at step 2 of 5: no answer.", 1},
        {{"--drop-after", silentAfter}, 3, step1 + Lines{"A 2000", "<drop>"}, "Communication failed.", 1,
         "link gone", "Ended at step 2 of 5: link gone.", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + std::to_string(c.lang));
        OpenDecade(c.args, c.lang);
        ASSERT_EQ(openLines_, static_cast<std::size_t>(kOpenExchanges));
        Ramp("1", "5", true, "5", "0");
        boxes_.clear();
        Click("runSequence");
        ASSERT_TRUE(RunEnded());
        Serve(0.3);
        EXPECT_EQ(sim_->Lines(), c.wire);
        ASSERT_EQ(boxes_.messages().size(), 1u) << boxes_.Texts();
        EXPECT_EQ(boxes_.messages()[0].second, c.box);
        const int failed = c.failed;
        EXPECT_EQ(Win()->StepTable()->item(failed, 2)->text().toStdString(), c.state);
        EXPECT_NE(Win()->StepTable()->item(failed, 0)->background(), QBrush());
        EXPECT_EQ(Win()->StepTable()->item(failed + 1, 2)->text(), QString()) << "never started";
        EXPECT_EQ(Win()->ResultTable()->rowCount(), failed + 1);
        EXPECT_EQ(Win()->StatusText().toStdString(), c.status);
        EXPECT_EQ(connected, c.connectedAfter);
        CloseLinkAndWindow();
    }
}

TEST_F(SequenceTest, AFileSavedByTheWindowRunsUnchangedInCtl) {
    OpenDecade({});
    Ramp("0,5", "2", false, "0.5", "0");
    QString why;
    const QString path = QDir::current().filePath(QStringLiteral("steps.csv"));
    ASSERT_TRUE(Win()->SaveSteps(path, &why)) << why.toStdString();
    Click("runSequence");
    ASSERT_TRUE(RunEnded());
    const Lines panelWire = sim_->Lines();
    EXPECT_EQ(panelWire, Lines{"A 500"} + kRefresh2 + Lines{"A 1000"} + kRefresh2 + Lines{"A 1500"} +
                             kRefresh2 + Lines{"A 2000"} + kRefresh2);

    // The panel lets the decade go; the script runs the same file on the same port.
    RunSequence([] { CloseCommunic(); });
    WaitLinkIdle();
    sim_->ClearTranscript();
    QProcess ctl;
    ctl.setWorkingDirectory(QDir::currentPath());
    ctl.start(QStringLiteral(OMBRASTEL_CTL_PATH), {QStringLiteral("run"), path});
    ASSERT_TRUE(ctl.waitForFinished(20000));
    EXPECT_EQ(ctl.exitCode(), 0) << ctl.readAllStandardError().toStdString();
    Lines values;
    for (const std::string& line : sim_->Lines()) {
        if (line.rfind("A ", 0) == 0) values.push_back(line);
    }
    EXPECT_EQ(values, (Lines{"A 500", "A 1000", "A 1500", "A 2000"}));
    EXPECT_EQ(sim_->Lines().back(), ":SYST:LOC");

    // Opened again, the file gives the same steps; a file for another function is refused.
    Click("clearSteps");
    ASSERT_TRUE(Win()->LoadSteps(path, &why)) << why.toStdString();
    EXPECT_EQ(Bases(), (std::vector<double>{500, 1000, 1500, 2000}));
    QFile other(QDir::current().filePath(QStringLiteral("pt100.csv")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("value,dwell_seconds,function\n-50,1,pt385-90\n");
    other.close();
    EXPECT_FALSE(Win()->LoadSteps(other.fileName(), &why));
    EXPECT_NE(why.indexOf(QStringLiteral("line 2")), -1) << why.toStdString();
    EXPECT_EQ(Bases(), (std::vector<double>{500, 1000, 1500, 2000})) << "the table as it was";
}

TEST_F(SequenceTest, KeyboardEditingAndNamesInBothLanguages) {
    OpenDecade({});
    Win()->hide();
    // Ctrl+E on the panel opens the window too.
    QApplication::setActiveWindow(ui::PanelWindow(panelHandle));
    QTest::keyClick(ui::PanelWindow(panelHandle), Qt::Key_E, Qt::ControlModifier);
    ASSERT_TRUE(Win()->isVisible());

    QTableWidget* steps = Win()->StepTable();
    QApplication::setActiveWindow(Win());
    steps->setFocus();
    // Insert adds a step with the value the panel shows; Insert again repeats it.
    QTest::keyClick(steps, Qt::Key_Insert);
    QTest::keyClick(steps, Qt::Key_Insert);
    ASSERT_EQ(steps->rowCount(), 2);
    // Typing into a value cell: a decimal comma is a point; a text that is no number is
    // refused, the cell keeps its number and says why.
    auto typeInto = [steps](int row, int column, const QString& text) {
        steps->setCurrentCell(row, column);
        steps->editItem(steps->item(row, column));
        QLineEdit* editor = nullptr;  // the open one; closed editors linger hidden
        for (auto* e : steps->viewport()->findChildren<QLineEdit*>()) {
            if (e->isVisible()) editor = e;
        }
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();  // the view closes the editor
    };
    typeInto(0, 0, QStringLiteral("2,5"));
    typeInto(1, 0, QStringLiteral("12abc"));
    typeInto(1, 1, QStringLiteral("-3"));
    EXPECT_EQ(steps->item(0, 0)->text(), QStringLiteral("2.5"));
    EXPECT_EQ(Bases()[0], 2500.0);
    EXPECT_EQ(steps->item(1, 0)->toolTip(), QStringLiteral("not a number"));
    EXPECT_EQ(steps->item(1, 1)->text(), QStringLiteral("1"));
    EXPECT_EQ(steps->item(1, 1)->toolTip(), QStringLiteral("not a dwell time in seconds"));
    // Ctrl+Up moves the chosen step up; Delete removes it.
    steps->setCurrentCell(1, 0);
    QTest::keyClick(steps, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(steps->currentRow(), 0);
    EXPECT_EQ(Bases()[1], 2500.0);
    QTest::keyClick(steps, Qt::Key_Delete);
    ASSERT_EQ(steps->rowCount(), 1);
    EXPECT_EQ(Bases()[0], 2500.0);
    EXPECT_TRUE(sim_->Lines().empty());

    // Every control has a name a screen reader says, in both languages.
    for (const bool czech : {false, true}) {
        Win()->SetCzech(czech);
        EXPECT_EQ(Win()->windowTitle(), czech ? QStringLiteral("Sekvence") : QStringLiteral("Sequence"));
        for (const char* name : {"addStep", "removeStep", "stepUp", "stepDown", "clearSteps",
                                 "rampFrom", "rampTo", "rampByStep", "rampByCount", "rampStepOrCount",
                                 "rampDwell", "rampFill", "loadSteps", "saveSteps", "runSequence",
                                 "pauseSequence", "resumeSequence", "stopSequence", "savePlot",
                                 "saveResults", "sequenceSteps", "sequenceResults", "sequenceProgress",
                                 "sequencePlot", "sequenceStatus", "sequenceHeading"}) {
            EXPECT_FALSE(Part<QWidget>(name)->accessibleName().isEmpty()) << name;
        }
        // No two controls share a letter.
        std::map<QChar, QString> letters;
        QStringList texts;
        for (const auto* b : Win()->findChildren<QAbstractButton*>()) texts << b->text();
        for (const auto* l : Win()->findChildren<QLabel*>()) texts << l->text();
        for (const QString& text : texts) {
            const int at = text.indexOf(QLatin1Char('&'));
            if (at < 0 || at + 1 >= text.size()) continue;
            const auto [it, fresh] = letters.emplace(text[at + 1].toLower(), text);
            EXPECT_TRUE(fresh) << text.toStdString() << " and " << it->second.toStdString();
        }
        EXPECT_GE(letters.size(), 17u);
        EXPECT_EQ(Part<QAbstractButton>("runSequence")->text(),
                  czech ? QStringLiteral("&Spustit") : QStringLiteral("&Run"));
    }
}

class SequenceExitTest : public ProgramRunTest {};

// Exit during a run: the run ends at once, the local command goes out, the settings are
// written and the program ends; the next value never goes out.
TEST_F(SequenceExitTest, ExitDuringARunEndsItWithTheLocalCommand) {
    simtest::SimFixture sim({"--model", "V212", "--function", "0", "--value", "1500"});
    ASSERT_TRUE(sim.ok()) << sim.error();
    bool running = false;
    Clock::time_point exitPressed;
    const int result = RunProgram([&](int) {
        ClickCom();
        QWidget* window = ui::PanelWindow(panelHandle);
        QTest::mouseClick(SequenceButton(window), Qt::LeftButton);
        SequenceWindow* sequenceWindow = PanelSequenceWindow(window);
        for (const auto& [name, text] : {std::pair{"rampFrom", "1"}, std::pair{"rampTo", "3"},
                                         std::pair{"rampStepOrCount", "3"}, std::pair{"rampDwell", "5"}}) {
            sequenceWindow->findChild<QLineEdit*>(QString::fromLatin1(name))->setText(QString::fromLatin1(text));
        }
        sequenceWindow->findChild<QRadioButton*>(QStringLiteral("rampByCount"))->setChecked(true);
        ASSERT_TRUE(sequenceWindow->FillRamp());
        QTest::mouseClick(sequenceWindow->findChild<QPushButton*>(QStringLiteral("runSequence")), Qt::LeftButton);
        running = sequence::Running();
        QTimer::singleShot(500, [&] {
            exitPressed = Clock::now();
            QTest::mouseClick(W(END), Qt::LeftButton);
        });
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(running);
    EXPECT_LT(SecondsSince(exitPressed), 1.5) << "not the dwell of 5 s, nor the exit bound of 2 s";
    EXPECT_EQ(sim.Lines().back(), ":SYST:LOC");
    const Lines lines = sim.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "A 1000"), lines.end());
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "A 2000"), lines.end());
    EXPECT_EQ(connected, 0);
    EXPECT_EQ(FileText(sim.folder() + "/Ombrastel.ini"), kDefaultSettings);
}

}  // namespace
