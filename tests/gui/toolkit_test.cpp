// The toolkit layer on real widgets: commits only from the operator, values kept whole,
// rings by value, labels travelling with their controls, the close button, the popup seam.
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <limits>
#include <map>

#include "toolkit/led_widget.h"
#include "toolkit/numeric_field.h"
#include "toolkit/ui.h"
#include "support/panel_fixture.h"

namespace {

enum { kNumber = 2, kRing, kText, kToggle, kButton, kLed, kOther };

std::map<int, int> commits;  // control -> number of commits seen

int Count(int, int control, int event, void*, int, int) {
    if (event == ui::EVENT_COMMIT) ++commits[control];
    return 0;
}

ui::PanelDescription BuildTestPanel() {
    auto* w = new QWidget;
    w->setFixedSize(300, 200);
    auto* numberLabel = new QLabel("Number", w);
    numberLabel->move(10, 2);
    auto* number = new ombrastel::NumericField(w);
    number->setGeometry(10, 20, 100, 24);
    number->setRange(-1e9, 1e9);
    auto* ring = new QComboBox(w);
    ring->setGeometry(120, 20, 80, 24);
    ring->addItem("A", 10);
    ring->addItem("B", 20);
    ring->addItem("C", 30);
    auto* textLabel = new QLabel("Text", w);
    textLabel->move(10, 52);
    auto* text = new QLineEdit(w);
    text->setGeometry(10, 70, 100, 24);
    auto* toggle = new QPushButton("Off", w);
    toggle->setCheckable(true);
    toggle->setProperty("offText", "Off");
    toggle->setProperty("onText", "On");
    toggle->setGeometry(120, 70, 60, 24);
    auto* button = new QPushButton("Press", w);
    button->setGeometry(190, 70, 60, 24);
    auto* led = new ombrastel::Led(w);
    led->setGeometry(200, 20, 16, 16);
    auto* other = new QWidget(w);
    ui::PanelDescription d;
    d.window = w;
    d.controls = [=] {
        return std::vector<ui::ControlEntry>{
            {kNumber, number, numberLabel, Count}, {kRing, ring, nullptr, Count},
            {kText, text, textLabel, Count},       {kToggle, toggle, nullptr, Count},
            {kButton, button, nullptr, Count},     {kLed, led, nullptr, nullptr},
            {kOther, other, nullptr, nullptr}};
    };
    return d;
}

class Toolkit : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::RegisterPanelDescription("toolkit-test", 1, BuildTestPanel);
        panel = ui::LoadPanel(0, "toolkit-test", 1);
        ASSERT_GT(panel, 0);
        ui::DisplayPanel(panel);
        QApplication::setActiveWindow(ui::PanelWindow(panel));
        commits.clear();
    }
    void TearDown() override { ui::DiscardPanel(panel); }
    QWidget* W(int id) { return ui::ControlWidget(panel, id); }
    void Leave(QWidget* w) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(w, &out);
    }
    int panel = -1;
};

TEST_F(Toolkit, SettingFromCodeNeverCommits) {
    EXPECT_EQ(ui::SetCtrlVal(panel, kNumber, 4.5), 0);
    EXPECT_EQ(ui::SetCtrlVal(panel, kRing, 20), 0);
    EXPECT_EQ(ui::SetCtrlVal(panel, kText, std::string("abc")), 0);
    EXPECT_EQ(ui::SetCtrlVal(panel, kToggle, 1), 0);
    EXPECT_TRUE(commits.empty());
    EXPECT_EQ(static_cast<QPushButton*>(W(kToggle))->text(), "On");
}

TEST_F(Toolkit, NumberCommitsOnReturnChangedLeaveAndArrows) {
    QWidget* f = W(kNumber);
    auto* edit = f->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(f, "12.5");
    EXPECT_EQ(commits[kNumber], 0) << "typing alone is no commit";
    QTest::keyClick(f, Qt::Key_Return);
    EXPECT_EQ(commits[kNumber], 1);
    double v = 0;
    ui::GetCtrlVal(panel, kNumber, &v);
    EXPECT_DOUBLE_EQ(v, 12.5);

    QTest::keyClick(f, Qt::Key_Return);  // Return confirms an unchanged entry too
    EXPECT_EQ(commits[kNumber], 2);

    Leave(f);  // unchanged: no commit
    EXPECT_EQ(commits[kNumber], 2);

    edit->selectAll();
    QTest::keyClicks(f, "7");
    Leave(f);  // changed: commit
    EXPECT_EQ(commits[kNumber], 3);
    ui::GetCtrlVal(panel, kNumber, &v);
    EXPECT_DOUBLE_EQ(v, 7.0);

    QTest::keyClick(f, Qt::Key_Up);  // a step with the arrow keys
    EXPECT_EQ(commits[kNumber], 4);
    ui::GetCtrlVal(panel, kNumber, &v);
    EXPECT_DOUBLE_EQ(v, 8.0);
}

TEST_F(Toolkit, NumberKeepsFullValueWhateverItShows) {
    ui::SetCtrlVal(panel, kNumber, 2.123456789);
    ui::SetCtrlAttribute(panel, kNumber, ui::ATTR_PRECISION, 2);
    auto* edit = W(kNumber)->findChild<QLineEdit*>();
    EXPECT_EQ(edit->text(), "2.12");
    double v = 0;
    ui::GetCtrlVal(panel, kNumber, &v);
    EXPECT_DOUBLE_EQ(v, 2.123456789);
    Leave(W(kNumber));  // leaving the field does not round it either
    ui::GetCtrlVal(panel, kNumber, &v);
    EXPECT_DOUBLE_EQ(v, 2.123456789);
    int shown = 0;
    ui::GetCtrlAttribute(panel, kNumber, ui::ATTR_PRECISION, &shown);
    EXPECT_EQ(shown, 2);

    // Nothing undefined reaches the field; a value out of range is limited to it.
    EXPECT_LT(ui::SetCtrlVal(panel, kNumber, std::numeric_limits<double>::quiet_NaN()), 0);
    ui::GetCtrlVal(panel, kNumber, &v);
    EXPECT_DOUBLE_EQ(v, 2.123456789);
    ui::SetCtrlVal(panel, kNumber, 5e12);
    ui::GetCtrlVal(panel, kNumber, &v);
    EXPECT_DOUBLE_EQ(v, 1e9);

    ui::SetCtrlAttribute(panel, kNumber, ui::ATTR_SHOW_INCDEC_ARROWS, 0);
    EXPECT_EQ(static_cast<QAbstractSpinBox*>(W(kNumber))->buttonSymbols(),
              QAbstractSpinBox::NoButtons);
}

TEST_F(Toolkit, RefusalTextsAndNoticeOnEntryFieldsOnly) {
    std::string text;
    EXPECT_EQ(ui::GetCtrlAttribute(panel, kNumber, ui::ATTR_REFUSAL_TEXT, &text), 0);
    EXPECT_EQ(text, "not a number");
    EXPECT_EQ(ui::GetCtrlAttribute(panel, kText, ui::ATTR_REFUSAL_TEXT, &text), 0);
    EXPECT_EQ(text, "not a number");
    static_cast<ombrastel::NumericField*>(W(kNumber))->setInteger(true);
    EXPECT_EQ(ui::GetCtrlAttribute(panel, kNumber, ui::ATTR_REFUSAL_TEXT, &text), 0);
    EXPECT_EQ(text, "not a whole number");

    EXPECT_EQ(ui::SetCtrlAttribute(panel, kText, ui::ATTR_REFUSAL_TEXT, "není číslo"), 0);
    EXPECT_EQ(ui::SetCtrlAttribute(panel, kText, ui::ATTR_ENTRY_REFUSED, 1), 0);
    int shown = -1;
    EXPECT_EQ(ui::GetCtrlAttribute(panel, kText, ui::ATTR_ENTRY_REFUSED, &shown), 0);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(W(kText)->toolTip(), QString::fromUtf8("není číslo"));
    EXPECT_EQ(W(kText)->accessibleDescription(), QString::fromUtf8("není číslo"));
    EXPECT_EQ(ui::SetCtrlAttribute(panel, kText, ui::ATTR_ENTRY_REFUSED, 0), 0);
    EXPECT_EQ(W(kText)->toolTip(), QString());
    EXPECT_EQ(W(kText)->accessibleDescription(), QString());

    // Rings, buttons and LEDs take no typed text.
    for (int control : {kRing, kToggle, kButton, kLed}) {
        EXPECT_LT(ui::SetCtrlAttribute(panel, control, ui::ATTR_REFUSAL_TEXT, "x"), 0) << control;
        EXPECT_LT(ui::SetCtrlAttribute(panel, control, ui::ATTR_ENTRY_REFUSED, 1), 0) << control;
    }
    EXPECT_TRUE(commits.empty());
}

TEST_F(Toolkit, RingsWorkByItemValue) {
    int v = 0;
    ui::GetCtrlVal(panel, kRing, &v);
    EXPECT_EQ(v, 10);
    EXPECT_LT(ui::SetCtrlVal(panel, kRing, 25), 0);  // no item carries 25
    ui::GetCtrlVal(panel, kRing, &v);
    EXPECT_EQ(v, 10);

    QTest::keyClick(W(kRing), Qt::Key_Down);  // the operator steps to the next item
    EXPECT_EQ(commits[kRing], 1);
    ui::GetCtrlVal(panel, kRing, &v);
    EXPECT_EQ(v, 20);

    int index = 0;
    ui::GetIndexFromValue(panel, kRing, &index, 30);
    EXPECT_EQ(index, 2);
    ui::GetIndexFromValue(panel, kRing, &index, 99);
    EXPECT_LT(index, 0);

    ui::InsertListItem(panel, kRing, 0, "Z", 5);
    ui::InsertListItem(panel, kRing, -1, "K", 2);
    ui::DeleteListItem(panel, kRing, 1, 1);  // removes "A"
    int count = 0;
    ui::GetNumListItems(panel, kRing, &count);
    ASSERT_EQ(count, 4);
    std::string label;
    const std::vector<std::pair<std::string, int>> expected = {
        {"Z", 5}, {"B", 20}, {"C", 30}, {"K", 2}};
    for (int i = 0; i < count; ++i) {
        ui::GetLabelFromIndex(panel, kRing, i, &label);
        ui::GetValueFromIndex(panel, kRing, i, &v);
        EXPECT_EQ(std::make_pair(label, v), expected[i]) << i;
    }
    ui::ClearListCtrl(panel, kRing);
    ui::GetNumListItems(panel, kRing, &count);
    EXPECT_EQ(count, 0);
    v = 77;
    EXPECT_LT(ui::GetCtrlVal(panel, kRing, &v), 0);
    EXPECT_EQ(v, 0) << "an empty ring reads as 0, never as garbage";
    EXPECT_TRUE(commits[kRing] == 1);
}

TEST_F(Toolkit, TextCommitsOnReturnOrEditedLeave) {
    QWidget* t = W(kText);
    QTest::keyClicks(t, "100.01");
    EXPECT_EQ(commits[kText], 0);
    QTest::keyClick(t, Qt::Key_Return);
    EXPECT_EQ(commits[kText], 1);
    Leave(t);
    EXPECT_EQ(commits[kText], 1) << "leaving an unchanged text is no commit";
    QTest::keyClicks(t, "5");
    Leave(t);
    EXPECT_EQ(commits[kText], 2);
    std::string s;
    ui::GetCtrlVal(panel, kText, &s);
    EXPECT_EQ(s, "100.015");
}

TEST_F(Toolkit, ButtonsCommitOnClickAndToggleShowsItsState) {
    QTest::mouseClick(W(kToggle), Qt::LeftButton);
    EXPECT_EQ(commits[kToggle], 1);
    int v = 0;
    ui::GetCtrlVal(panel, kToggle, &v);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(static_cast<QPushButton*>(W(kToggle))->text(), "On");
    EXPECT_EQ(W(kToggle)->accessibleName(), "On");
    ui::SetCtrlAttribute(panel, kToggle, ui::ATTR_ON_TEXT, "Zavřít");
    EXPECT_EQ(static_cast<QPushButton*>(W(kToggle))->text(), QString::fromUtf8("Zavřít"));
    QTest::mouseClick(W(kToggle), Qt::LeftButton);
    ui::GetCtrlVal(panel, kToggle, &v);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(static_cast<QPushButton*>(W(kToggle))->text(), "Off");

    QTest::mouseClick(W(kButton), Qt::LeftButton);
    EXPECT_EQ(commits[kButton], 1);
    ui::SetCtrlAttribute(panel, kButton, ui::ATTR_DIMMED, 1);
    QTest::mouseClick(W(kButton), Qt::LeftButton);
    EXPECT_EQ(commits[kButton], 1) << "a dimmed button takes no input";
}

TEST_F(Toolkit, LabelsFollowTheirControls) {
    QWidget* label = ui::LabelWidget(panel, kNumber);
    ASSERT_NE(label, nullptr);
    ui::SetCtrlAttribute(panel, kNumber, ui::ATTR_VISIBLE, 0);
    EXPECT_TRUE(label->isHidden());
    int visible = 1;
    ui::GetCtrlAttribute(panel, kNumber, ui::ATTR_VISIBLE, &visible);
    EXPECT_EQ(visible, 0);
    ui::SetCtrlAttribute(panel, kNumber, ui::ATTR_VISIBLE, 1);
    ui::SetCtrlAttribute(panel, kNumber, ui::ATTR_DIMMED, 1);
    EXPECT_FALSE(label->isEnabled());
    int dimmed = 0;
    ui::GetCtrlAttribute(panel, kNumber, ui::ATTR_DIMMED, &dimmed);
    EXPECT_EQ(dimmed, 1);

    const QPoint offset = label->pos() - W(kNumber)->pos();
    ui::SetCtrlAttribute(panel, kNumber, ui::ATTR_TOP, 120);
    ui::SetCtrlAttribute(panel, kNumber, ui::ATTR_LEFT, 150);
    int top = 0, left = 0;
    ui::GetCtrlAttribute(panel, kNumber, ui::ATTR_TOP, &top);
    ui::GetCtrlAttribute(panel, kNumber, ui::ATTR_LEFT, &left);
    EXPECT_EQ(QPoint(left, top), QPoint(150, 120));
    EXPECT_EQ(label->pos() - W(kNumber)->pos(), offset);

    ui::SetCtrlAttribute(panel, kNumber, ui::ATTR_LABEL_TEXT, "Output [kOhm]");
    EXPECT_EQ(static_cast<QLabel*>(label)->text(), "Output [kOhm]");
    EXPECT_EQ(W(kNumber)->accessibleName(), "Output [kOhm]");
    EXPECT_GE(label->width(), label->sizeHint().width()) << "the longer label is not cut";

    EXPECT_LT(ui::SetCtrlAttribute(panel, kLed, ui::ATTR_LABEL_TEXT, "x"), 0);
    EXPECT_LT(ui::SetCtrlVal(panel, 99, 1), 0);
    EXPECT_LT(ui::SetCtrlVal(panel + 7, kNumber, 1), 0);
}

TEST_F(Toolkit, LedSaysOnOrOff) {
    EXPECT_EQ(W(kLed)->accessibleDescription(), "off");
    ui::SetCtrlVal(panel, kLed, 5);
    int v = 0;
    ui::GetCtrlVal(panel, kLed, &v);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(W(kLed)->accessibleDescription(), "on");
}

TEST_F(Toolkit, CloseButtonActsAsItsControlAndKeepsTheWindow) {
    ui::SetPanelCloseControl(panel, kButton);
    EXPECT_FALSE(ui::PanelWindow(panel)->close()) << "the window refuses to close itself";
    EXPECT_EQ(commits[kButton], 1);
    ui::SetPanelCloseControl(panel, 0);
    ui::PanelWindow(panel)->close();
    EXPECT_EQ(commits[kButton], 1);
    EXPECT_EQ(ui::SetPanelCloseControl(panel, 99), -2);
}

TEST(ToolkitLoop, QuitAskedBeforeTheLoopEndsItAtOnce) {
    ui::QuitUserInterface(7);
    EXPECT_EQ(ui::RunUserInterface(), 7);
}

TEST(ToolkitPopup, RecorderTakesTheMessages) {
    MessageRecorder rec;
    ui::MessagePopup("Warning", "Could not set value!");
    ASSERT_EQ(rec.messages().size(), 1u);
    EXPECT_EQ(rec.messages()[0], (MessageRecorder::Message{"Warning", "Could not set value!"}));
}

TEST(ToolkitLoad, UnknownDescriptionGivesNegativeHandle) {
    EXPECT_LT(ui::LoadPanel(0, "nothing.uir", 1), 0);
}

}  // namespace
