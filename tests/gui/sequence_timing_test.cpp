// A run of the Sequence window holds each value for its dwell, counted from the moment the
// value goes out, also when the GUI thread is busy as a step begins (a slow repaint, a
// loaded machine): the link thread does not wait for the GUI thread before a step's value.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <vector>

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

TEST(SequenceTiming, DwellsHoldWhileTheGuiThreadIsBusy) {
    ShowFreshPanel(3);
    linkthread::Start();
    MessageRecorder boxes;
    {
        simtest::SimFixture sim({"--model", "V212", "--function", "0", "--value", "1500"});
        ASSERT_TRUE(sim.ok()) << sim.error();
        OpenSerial(1, 9600);
        ASSERT_TRUE(WaitLinkIdle());
        ASSERT_EQ(connected, 1) << boxes.Texts();
        SequenceWindow* window = PanelSequenceWindow(ui::PanelWindow(panelHandle));
        window->show();
        for (const auto& [name, text] : {std::pair{"rampFrom", "1"}, std::pair{"rampTo", "6"},
                                         std::pair{"rampStepOrCount", "6"}, std::pair{"rampDwell", "0.3"}}) {
            window->findChild<QLineEdit*>(QString::fromLatin1(name))->setText(QString::fromLatin1(text));
        }
        window->findChild<QRadioButton*>(QStringLiteral("rampByCount"))->setChecked(true);
        ASSERT_TRUE(window->FillRamp());
        sim.ClearTranscript();
        // The GUI thread is busy for 150 ms as the run begins (the first repaint of a big
        // window on a loaded machine).
        QTest::mouseClick(window->findChild<QAbstractButton*>(QStringLiteral("runSequence")), Qt::LeftButton);
        QTest::qSleep(150);
        ASSERT_TRUE(ServeUntil([] { return !sequence::Running() && !linkthread::Busy(); }, 20.0));
        EXPECT_TRUE(boxes.messages().empty()) << boxes.Texts();
        std::vector<double> times;
        for (const sim::Record& r : sim.server().Transcript()) {
            if (r.bytes.rfind("A ", 0) == 0) times.push_back(r.seconds);
        }
        ASSERT_EQ(times.size(), 6u);
        for (std::size_t i = 1; i < times.size(); ++i) {
            EXPECT_NEAR(times[i] - times[i - 1], 0.3, 0.05) << "step " << i + 1;
        }
        window->hide();
        RunSequence([] { CloseCommunic(); });
        WaitLinkIdle();
    }
    EXPECT_TRUE(linkthread::Stop(std::chrono::seconds(5)));
    ResetSharedState();
}

}  // namespace
