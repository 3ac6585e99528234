// The panel without a mouse: Tab goes through the controls in reading order with and
// without a link (on simulated decades of the classes whose relay column differs), every
// labelled control has a shortcut letter of its own in each language and Alt+letter
// reaches it, an Alt+letter that is no shortcut chooses nothing in a ring, and Escape
// abandons an entry.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/enable_controls.h"
#include "app/panel.h"
#include "app/log_window.h"
#include "app/panel_tools.h"
#include "app/sequence_window.h"
#include "app/shared_state.h"
#include "toolkit/ui.h"
#include "support/link_fixture.h"

namespace {

constexpr int kPorts = -1;  // the tools right of the link frame
constexpr int kLog = -2;
constexpr int kSequence = -3;

QWidget* Tool(int id) {
    QWidget* window = ui::PanelWindow(panelHandle);
    return id == kPorts ? static_cast<QWidget*>(PortsButton(window))
           : id == kLog ? static_cast<QWidget*>(LogButton(window))
                        : static_cast<QWidget*>(SequenceButton(window));
}

QWidget* Widget(int id) {
    return id < 0 ? Tool(id) : W(id);
}

// The control that has the keyboard focus (a field's inner editor counts as its field).
int Focused() {
    for (QWidget* w = QApplication::focusWidget(); w != nullptr; w = w->parentWidget()) {
        for (int id = VALUE; id <= DECORATION; ++id) {
            if (W(id) == w) return id;
        }
        if (w == Tool(kPorts)) return kPorts;
        if (w == Tool(kLog)) return kLog;
        if (w == Tool(kSequence)) return kSequence;
    }
    return 0;
}

// Tab from the first control once round the panel: the controls in the order reached.
std::vector<int> TabRound(int first) {
    QApplication::processEvents();
    Widget(first)->setFocus(Qt::TabFocusReason);
    std::vector<int> order{Focused()};
    for (int i = 0; i < 30; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (Focused() == order.front()) break;
        order.push_back(Focused());
    }
    return order;
}

class KeyboardTest : public PanelLinkTest {};

TEST_F(KeyboardTest, TabFollowsTheReadingOrderWithoutALink) {
    ShowFreshPanel(3);
    EXPECT_EQ(TabRound(RING), (std::vector<int>{RING, SERIAL, RATE, COM, kPorts, kLog, kSequence, END}));
    Choose(RING, 1);  // GPIB: the address instead of port and rate, no Ports button
    EXPECT_EQ(TabRound(RING), (std::vector<int>{RING, NUM_ADR, COM, kLog, kSequence, END}));
}

// With a link: Close, the tools, then function, unit, value, R0, threshold, standard,
// scale, the relay buttons as they read (top to bottom, left to right) and Exit.
TEST_F(KeyboardTest, TabFollowsTheReadingOrderWithALink) {
    struct Case {
        const char* args;
        int function;  // chosen after the open; 0: the decade's own
        std::vector<int> order;
    };
    const std::vector<Case> cases = {
        {"--model V212 --function 2", 0,
         {COM, kPorts, kLog, kSequence, FUNCTION, UNIT, VALUE, RNULA, THRESHOLD, END}},
        {"--model V330A", 0, {COM, kPorts, kLog, kSequence, FUNCTION, VALUE, CMD_OUTPUT, CMD_SHORT, END}},
        {"--model V150", 0, {COM, kPorts, kLog, kSequence, FUNCTION, VALUE, CMD_GND, CMD_OUTPUT, END}},
        {"--model V211", 3000,
         {COM, kPorts, kLog, kSequence, FUNCTION, VALUE, RING_STANDARD, RING_SCALE, END}},
        {"--model V090", 0, {COM, kPorts, kLog, kSequence, FUNCTION, VALUE, CMD_GND, CMD_SHORT, CMD_OUTPUT, END}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        ShowFreshPanel(3);
        StartSim(Args(c.args));
        OpenSerial();
        ASSERT_EQ(connected, 1) << messages_.Texts();
        if (c.function != 0) Choose(FUNCTION, c.function);
        EXPECT_EQ(TabRound(COM), c.order);
        ClickCom();
    }
}

// The shown text of a labelled control: its label, or a button's caption.
QString Shown(int id) {
    if (id < 0 || id == COM || id == END || id == CMD_SHORT || id == CMD_GND || id == CMD_OUTPUT) {
        return static_cast<QAbstractButton*>(Widget(id))->text();
    }
    return static_cast<QLabel*>(ui::LabelWidget(panelHandle, id))->text();
}

QChar Letter(const QString& text) {
    const int at = text.indexOf(QLatin1Char('&'));
    return at >= 0 && at + 1 < text.size() ? text[at + 1].toUpper() : QChar();
}

const std::vector<int> kLabelled = {RING,     NUM_ADR, SERIAL,     RATE,       COM,   kPorts,
                                    kLog, kSequence,     FUNCTION, UNIT,      THRESHOLD,  VALUE, RNULA,
                                    RING_STANDARD, RING_SCALE, CMD_GND, CMD_SHORT, CMD_OUTPUT,
                                    END};

// Every labelled control carries a letter no other one has, in each language and with the
// output button in both of its captions; the program still reads the texts without marks.
TEST_F(KeyboardTest, EveryLabelledControlHasALetterOfItsOwn) {
    for (const int lang : {3, 1}) {
        SCOPED_TRACE(lang);
        ShowFreshPanel(lang);
        for (const bool run : {true, false}) {
            ui::SetCtrlAttribute(panelHandle, CMD_OUTPUT, ui::ATTR_LABEL_TEXT,
                                 lang == 1 ? (run ? "Spustit" : "Výstup") : (run ? "Run" : "Output"));
            std::map<QChar, int> owner;
            for (const int id : kLabelled) {
                const QChar letter = Letter(Shown(id));
                EXPECT_FALSE(letter.isNull()) << id << " " << Shown(id).toStdString();
                const auto [it, fresh] = owner.emplace(letter, id);
                EXPECT_TRUE(fresh) << "Alt+" << QString(letter).toStdString() << " for " << id
                                   << " and " << it->second;
            }
            for (const bool on : {false, true}) {  // Open and Close share one letter
                ui::SetCtrlVal(panelHandle, COM, on ? 1 : 0);
                EXPECT_EQ(Letter(Shown(COM)), Letter(static_cast<QAbstractButton*>(W(COM))->text()));
                EXPECT_EQ(owner.count(Letter(Shown(COM))), 1u);
            }
            ui::SetCtrlVal(panelHandle, COM, 0);
        }
        EXPECT_EQ(Label(CMD_OUTPUT), lang == 1 ? "Výstup" : "Output");
        EXPECT_EQ(Label(RING), lang == 1 ? "Komunikace" : "Interface");
        // The value's label keeps its letter when the refresh adds prefix and unit.
        const QChar before = Letter(Shown(VALUE));
        ui::SetCtrlAttribute(panelHandle, VALUE, ui::ATTR_LABEL_TEXT,
                             lang == 1 ? "Výstup [kOhm]" : "Output [kOhm]");
        EXPECT_EQ(Letter(Shown(VALUE)), before);
        EXPECT_EQ(Label(VALUE), lang == 1 ? "Výstup [kOhm]" : "Output [kOhm]");
    }
}

// Alt+letter of a label puts the focus on its control; that of a button presses it (the
// buttons with a side effect on the link are only checked for their key).
TEST_F(KeyboardTest, AltLetterReachesEachControl) {
    for (const int lang : {3, 1}) {
        SCOPED_TRACE(lang);
        ShowFreshPanel(lang);
        // Everything shown and operable at once, so that each letter can be tried.
        for (const int id : kLabelled) {
            if (id < 0) continue;
            ui::SetCtrlAttribute(panelHandle, id, ui::ATTR_VISIBLE, 1);
            ui::SetCtrlAttribute(panelHandle, id, ui::ATTR_DIMMED, 0);
        }
        for (const int id : kLabelled) {
            const QString text = Shown(id);
            SCOPED_TRACE(text.toStdString());
            const QChar letter = Letter(text);
            const QKeySequence key(QKeySequence::mnemonic(text));
            EXPECT_EQ(key, QKeySequence(Qt::ALT | Qt::Key(letter.unicode())));
            if (id < 0 || id == COM || id == END || id == CMD_SHORT || id == CMD_GND ||
                id == CMD_OUTPUT) {
                EXPECT_EQ(static_cast<QAbstractButton*>(Widget(id))->shortcut(), key);
                continue;
            }
            if (id == NUM_ADR || id == SERIAL) {
                // The two share the place right of the interface; one is shown at a time.
                ui::SetCtrlAttribute(panelHandle, id == SERIAL ? NUM_ADR : SERIAL, ui::ATTR_VISIBLE, 0);
                ui::SetCtrlAttribute(panelHandle, id, ui::ATTR_VISIBLE, 1);
            }
            W(END)->setFocus();
            QTest::keyClick(ui::PanelWindow(panelHandle), Qt::Key(letter.unicode()), Qt::AltModifier);
            EXPECT_EQ(Focused(), id);
        }
        // The Log button's letter opens the log.
        QTest::keyClick(ui::PanelWindow(panelHandle), Qt::Key(Letter(Shown(kLog)).unicode()),
                        Qt::AltModifier);
        QTest::qWait(200);  // a letter presses a button as a short animated click
        EXPECT_TRUE(static_cast<QWidget*>(PanelLogWindow(ui::PanelWindow(panelHandle)))->isVisible());
        static_cast<QWidget*>(PanelLogWindow(ui::PanelWindow(panelHandle)))->hide();
        // And the Sequence button's the Sequence window.
        QApplication::setActiveWindow(ui::PanelWindow(panelHandle));
        QTest::keyClick(ui::PanelWindow(panelHandle), Qt::Key(Letter(Shown(kSequence)).unicode()),
                        Qt::AltModifier);
        QTest::qWait(200);
        EXPECT_TRUE(static_cast<QWidget*>(PanelSequenceWindow(ui::PanelWindow(panelHandle)))->isVisible());
        static_cast<QWidget*>(PanelSequenceWindow(ui::PanelWindow(panelHandle)))->hide();
    }
}

// A letter typed with Alt that is no shortcut at the moment (its control hidden or dimmed)
// chooses nothing in the ring that has the focus, so nothing goes to the decade: on the
// Czech V211 panel Alt+U (Uzemnění, no ground relay there) must not pick "US/JIS" and send
// the standard, nor any other letter an item of another ring.
TEST_F(KeyboardTest, AltLetterThatIsNoShortcutChoosesNoRingItem) {
    ShowFreshPanel(1);
    StartSim(Args("--model V211"));
    OpenSerial();
    ASSERT_EQ(connected, 1) << messages_.Texts();
    Choose(FUNCTION, 3000);
    QWidget* window = ui::PanelWindow(panelHandle);
    std::set<QChar> live;  // the letters that reach a control now
    for (const int id : kLabelled) {
        if (Widget(id)->isVisibleTo(window) && Widget(id)->isEnabled()) live.insert(Letter(Shown(id)));
    }
    ASSERT_EQ(live.count(QLatin1Char('U')), 0u);
    Received();
    // Each letter a search of its own, as keys pressed seconds apart would be (a ring joins
    // the letters typed within this interval into one search text).
    const int interval = QApplication::keyboardInputInterval();
    QApplication::setKeyboardInputInterval(1);
    int tried = 0;
    for (const int ring : {FUNCTION, RING_STANDARD, RING_SCALE}) {
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            if (live.count(QLatin1Char(letter)) != 0) continue;
            SCOPED_TRACE(std::string("ring ") + std::to_string(ring) + ", Alt+" + letter);
            W(ring)->setFocus();
            const int before = Int(ring);
            QTest::qSleep(3);
            // As the window system delivers it: the key with Alt carries its letter as text.
            const QString text(QLatin1Char(static_cast<char>(letter - 'A' + 'a')));
            for (const auto action : {QTest::Press, QTest::Release}) {
                QTest::sendKeyEvent(action, QApplication::focusWidget(), Qt::Key(letter), text,
                                    Qt::AltModifier);
            }
            ASSERT_TRUE(WaitLinkIdle());
            EXPECT_EQ(Int(ring), before);
            EXPECT_EQ(Focused(), ring);
            ++tried;
        }
    }
    QApplication::setKeyboardInputInterval(interval);
    EXPECT_GE(tried, 3 * 10);
    EXPECT_EQ(Received(), Lines{});
    ClickCom();
}

// Escape brings back what a field showed before the edit and sends nothing; Return sends
// the entry.
TEST_F(KeyboardTest, EscapeAbandonsAnEntryReturnCommitsIt) {
    ShowFreshPanel(3);
    StartSim(Args("--model V212 --function 2"));
    OpenSerial();
    ASSERT_EQ(connected, 1) << messages_.Texts();
    Received();
    for (const int id : {RNULA, VALUE, THRESHOLD}) {
        SCOPED_TRACE(id);
        auto* edit = id == RNULA ? static_cast<QLineEdit*>(W(id)) : W(id)->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        const QString before = edit->text();
        W(id)->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, "12");
        EXPECT_EQ(edit->text(), "12");
        QTest::keyClick(edit, Qt::Key_Escape);
        EXPECT_EQ(edit->text(), before);
        W(FUNCTION)->setFocus();  // leaving the field after Escape sends nothing either
        EXPECT_EQ(Received(), Lines{});
    }
    W(RNULA)->setFocus();
    static_cast<QLineEdit*>(W(RNULA))->selectAll();
    QTest::keyClicks(W(RNULA), "100.5");
    QTest::keyClick(W(RNULA), Qt::Key_Return);
    const Lines sent = Received();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front().rfind("R", 0), 0u) << sent.front();
    ClickCom();
}

}  // namespace
