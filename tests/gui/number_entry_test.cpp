// What the operator types and turns is what the decade gets: number entry with a decimal
// comma or an exponent, texts that are no number, the mouse wheel over the controls, and
// values whose exponent has no prefix letter. The real panel on a simulated decade; the
// simulator's transcript shows what reached the wire.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <string>
#include <vector>

#include "app/panel.h"
#include "app/shared_state.h"
#include "app/refresh.h"
#include "toolkit/ui.h"
#include "support/link_fixture.h"

namespace {

const Lines kRefresh2 = {"V?", "A?", "R?", "W?"};
const Lines kRefresh3 = {"V?", "A?", "R?", "OUTP?", "OUTP:SHOR?"};
const Lines kRefresh6 = {"V?", "A?"};

class EntryTest : public PanelLinkTest {
  protected:
    // A fresh panel in the language, the decade of the options opened through COM.
    void OpenPanel(int lang, const std::string& options) {
        ShowFreshPanel(lang);
        StartSim(Args(options));
        ASSERT_TRUE(sim_->ok());
        OpenSerial(1);
        ASSERT_EQ(connected, 1) << messages_.Texts();
        Received();
    }
    void Select(int code) {
        if (Int(FUNCTION) != code) Choose(FUNCTION, code);
        ASSERT_EQ(Int(FUNCTION), code);
        Received();
    }
    static QLineEdit* Edit(int control) {
        QWidget* field = W(control);
        auto* edit = qobject_cast<QLineEdit*>(field);
        return edit != nullptr ? edit : field->findChild<QLineEdit*>();
    }
    // The text a number or text field shows.
    static std::string Shown(int control) { return Edit(control)->text().toStdString(); }
    // Replaces the field's text keystroke by keystroke, checks that every character
    // stands in the field, and confirms with Return.
    static void TypeEach(int control, const std::string& typed) {
        QLineEdit* edit = Edit(control);
        ASSERT_NE(edit, nullptr);
        edit->selectAll();
        QTest::keyClick(W(control), Qt::Key_Delete);
        QTest::keyClicks(W(control), QString::fromStdString(typed));
        EXPECT_EQ(edit->text().toStdString(), typed) << "a typed character was dropped";
        QTest::keyClick(W(control), Qt::Key_Return);
    }
    static std::string Tip(int control) { return W(control)->toolTip().toStdString(); }
    static std::string Description(int control) {
        return W(control)->accessibleDescription().toStdString();
    }
};

// ---------------------------------------------------------------------------------------
// The decimal comma and texts that are no number.
// ---------------------------------------------------------------------------------------

class CzechPanel : public EntryTest {};

TEST_F(CzechPanel, DecimalCommaIsTheDecimalPoint) {
    OpenPanel(1, "--model V330A --function 0 --value 1000");
    Select(2);  // a platinum curve: degrees, exponent 0
    ASSERT_EQ(valueExponent, 0);
    ASSERT_EQ(Label(VALUE), "Výstup [°C]");
    TypeEach(VALUE, "25,5");
    EXPECT_EQ(Received(), (Lines{"A 25.5"} + kRefresh3));
    EXPECT_DOUBLE_EQ(Number(VALUE), 25.5);
    EXPECT_EQ(Shown(VALUE), "25.500");

    Select(1);
    ASSERT_EQ(Label(VALUE), "Výstup [kOhm]");
    TypeEach(VALUE, "2,5");
    EXPECT_EQ(Received(), (Lines{"A 2500"} + kRefresh3));
    EXPECT_DOUBLE_EQ(Number(VALUE), 2.5);
    TypeEach(VALUE, "2.5e-1");  // an exponent is a number too
    EXPECT_EQ(Received(), (Lines{"A 250"} + kRefresh3));
    ASSERT_EQ(Label(VALUE), "Výstup [Ohm]") << "the decade now presents 250 ohms";
    TypeEach(VALUE, " 1,5 ");
    EXPECT_EQ(Received(), (Lines{"A 1.5"} + kRefresh3));
    EXPECT_TRUE(messages_.messages().empty()) << messages_.Texts();
    EXPECT_EQ(Attr(VALUE, ui::ATTR_ENTRY_REFUSED), 0);
}

TEST_F(CzechPanel, MalformedTextsSendNothing) {
    OpenPanel(1, "--model V330A --function 0 --value 1000");
    ASSERT_EQ(Shown(VALUE), "1.0000");
    for (const char* typed :
         {"1.2.3", "12abc", "1,000.5", "", " ", "1e", "--5", "0x10", "inf", "1,5,", "2.5 k"}) {
        SCOPED_TRACE(std::string("typed \"") + typed + "\"");
        TypeEach(VALUE, typed);
        EXPECT_EQ(Received(), Lines{});
        EXPECT_DOUBLE_EQ(Number(VALUE), 1.0);
        EXPECT_EQ(Shown(VALUE), "1.0000") << "the field shows its value again";
        EXPECT_EQ(Attr(VALUE, ui::ATTR_ENTRY_REFUSED), 1);
        EXPECT_EQ(Tip(VALUE), "není číslo");
        EXPECT_EQ(Description(VALUE), "není číslo");
    }
    // Leaving the field with such a text sends nothing either.
    W(VALUE)->setFocus();
    Edit(VALUE)->selectAll();
    QTest::keyClicks(W(VALUE), "7x");
    QTest::keyClick(W(VALUE), Qt::Key_Tab);
    EXPECT_EQ(Received(), Lines{});
    EXPECT_EQ(Shown(VALUE), "1.0000");
    // The next good entry goes out and takes the notice away.
    TypeEach(VALUE, "1,25");
    EXPECT_EQ(Received(), (Lines{"A 1250"} + kRefresh3));
    EXPECT_EQ(Attr(VALUE, ui::ATTR_ENTRY_REFUSED), 0);
    EXPECT_EQ(Tip(VALUE), "");
    EXPECT_EQ(Description(VALUE), "");
    EXPECT_TRUE(messages_.messages().empty()) << messages_.Texts();
}

class EnglishPanel : public EntryTest {};

TEST_F(EnglishPanel, R0AndThresholdTakeTheCommaToo) {
    OpenPanel(3, "--model V212 --function 0 --value 1500");
    Select(3);  // a platinum curve, where R0 can be entered
    TypeEach(RNULA, "1,5");
    EXPECT_EQ(Received(), (Lines{"R 1.5"} + kRefresh2));
    EXPECT_EQ(Text(RNULA), "1.500000");
    EXPECT_EQ(Attr(RNULA, ui::ATTR_ENTRY_REFUSED), 0);

    for (const char* typed : {"12abc", "1,000.5", "1.2.3", ""}) {
        SCOPED_TRACE(std::string("R0 \"") + typed + "\"");
        TypeEach(RNULA, typed);
        EXPECT_EQ(Received(), kRefresh2) << "no R command, only the refresh";
        EXPECT_EQ(Text(RNULA), "1.500000") << "the field shows the decade's R0 again";
        EXPECT_EQ(Attr(RNULA, ui::ATTR_ENTRY_REFUSED), 1);
        EXPECT_EQ(Tip(RNULA), "not a number");
    }
    TypeEach(RNULA, "100,25");
    EXPECT_EQ(Received(), (Lines{"R 100.25"} + kRefresh2));
    EXPECT_EQ(Attr(RNULA, ui::ATTR_ENTRY_REFUSED), 0);

    TypeEach(THRESHOLD, "250,0");
    EXPECT_EQ(Received(), (Lines{"W 250"} + kRefresh2));
    for (const char* typed : {"2,5", "12abc", "1.2.3", ""}) {
        SCOPED_TRACE(std::string("threshold \"") + typed + "\"");
        TypeEach(THRESHOLD, typed);
        EXPECT_EQ(Received(), Lines{});
        EXPECT_EQ(Int(THRESHOLD), 250);
        EXPECT_EQ(Shown(THRESHOLD), "250");
        EXPECT_EQ(Tip(THRESHOLD), "not a whole number");
    }
    EXPECT_TRUE(messages_.messages().empty()) << messages_.Texts();
}

// ---------------------------------------------------------------------------------------
// The wheel turns only what has keyboard focus.
// ---------------------------------------------------------------------------------------

// One notch of the mouse wheel at the middle of the control, delivered to the control
// itself: where the window system hands it to a child (the text part of a number field),
// the child passes it on, and a sent event would not be.
void Notch(int control, int direction) {
    QWidget* w = W(control);
    const QPointF middle = w->rect().center();
    QWheelEvent event(middle, w->mapToGlobal(middle), QPoint(), QPoint(0, 120 * direction),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
}

class WheelTest : public EntryTest {
  protected:
    // Notches in both directions over each control while the Exit button has the focus.
    void ExpectUnmoved(const std::vector<int>& controls) {
        for (int control : controls) {
            SCOPED_TRACE("control " + std::to_string(control));
            ASSERT_TRUE(W(control)->isVisible() && W(control)->isEnabled());
            W(END)->setFocus();
            const double before = Number(control);
            for (int direction : {1, -1, -1}) Notch(control, direction);
            EXPECT_EQ(Received(), Lines{});
            EXPECT_EQ(Number(control), before);
            EXPECT_FALSE(W(control)->hasFocus()) << "the wheel gave the control focus";
        }
    }
    // With focus, one notch down is one command, then the refresh.
    void ExpectOneCommand(int control, int direction, const Lines& lines) {
        SCOPED_TRACE("control " + std::to_string(control));
        W(control)->setFocus();
        ASSERT_TRUE(W(control)->hasFocus());
        Notch(control, direction);
        EXPECT_EQ(Received(), lines);
    }
};

TEST_F(WheelTest, UnfocusedControlsIgnoreTheWheel) {
    OpenPanel(3, "--model V212 --function 1 --value 1500");
    ASSERT_EQ(Int(FUNCTION), 2);  // a platinum curve: the unit ring is operable
    ExpectUnmoved({VALUE, THRESHOLD, FUNCTION, UNIT});

    OpenPanel(3, "--model V211 --function 1");
    ExpectUnmoved({VALUE, FUNCTION, RING_STANDARD, RING_SCALE});
}

TEST_F(WheelTest, FocusedControlTakesOneStepPerNotch) {
    OpenPanel(3, "--model V212 --function 1 --value 20");
    ASSERT_EQ(Shown(VALUE), "20.000");
    ExpectOneCommand(VALUE, 1, Lines{"A 21"} + kRefresh2);
    // The arrow keys of a focused field: one command per step.
    QTest::keyClick(W(VALUE), Qt::Key_Down);
    EXPECT_EQ(Received(), (Lines{"A 20"} + kRefresh2));
    ExpectOneCommand(THRESHOLD, 1, Lines{"W 1"} + kRefresh2);
    ExpectOneCommand(UNIT, -1, Lines{"U1"} + kRefresh2);
    ExpectOneCommand(FUNCTION, -1, Lines{"F2"} + kRefresh2);

    OpenPanel(3, "--model V211 --function 1");
    ExpectOneCommand(RING_STANDARD, -1, Lines{"T1"} + kRefresh6);
    OpenPanel(3, "--model V211 --function 1");
    ExpectOneCommand(RING_SCALE, -1, Lines{"S1"} + kRefresh6);
    EXPECT_TRUE(messages_.messages().empty()) << messages_.Texts();
}

// ---------------------------------------------------------------------------------------
// Exponents without a prefix letter.
// ---------------------------------------------------------------------------------------

class ExponentTable : public EntryTest {};

TEST_F(ExponentTable, EveryExponentFromMinus12To12) {
    // The decade answers "A?" in plain scientific notation; the value is 1.5 x 10^exponent
    // ohms. Then the operator types 2.
    struct Row {
        int exponent;
        const char* reply;
        const char* shown;
        int decimals;
        const char* label;
        int valueExponent;
        const char* sent;
    };
    // clang-format off
    const Row rows[] = {
        {-12, "1.5000E-12", "1.5000", 4, "Output [pOhm]", -12, "A 0.000000000002"},
        {-11, "1.5000E-11", "15.000", 3, "Output [pOhm]", -12, "A 0.000000000002"},
        {-10, "1.5000E-10", "150.00", 2, "Output [pOhm]", -12, "A 0.000000000002"},
        { -9, "1.5000E-09", "1.5000", 4, "Output [nOhm]",  -9, "A 0.000000002"},
        { -8, "1.5000E-08", "15.000", 3, "Output [nOhm]",  -9, "A 0.000000002"},
        { -7, "1.5000E-07", "150.00", 2, "Output [nOhm]",  -9, "A 0.000000002"},
        { -6, "1.5000E-06", "1.5000", 4, "Output [uOhm]",  -6, "A 0.000002"},
        { -5, "1.5000E-05", "15.000", 3, "Output [uOhm]",  -6, "A 0.000002"},
        { -4, "1.5000E-04", "150.00", 2, "Output [uOhm]",  -6, "A 0.000002"},
        { -3, "1.5000E-03", "1.5000", 4, "Output [mOhm]",  -3, "A 0.002"},
        { -2, "1.5000E-02", "15.000", 3, "Output [mOhm]",  -3, "A 0.002"},
        { -1, "1.5000E-01", "150.00", 2, "Output [mOhm]",  -3, "A 0.002"},
        {  0, "1.5000E+00", "1.5000", 4, "Output [Ohm]",    0, "A 2"},
        {  1, "1.5000E+01", "15.000", 3, "Output [Ohm]",    0, "A 2"},
        {  2, "1.5000E+02", "150.00", 2, "Output [Ohm]",    0, "A 2"},
        {  3, "1.5000E+03", "1.5000", 4, "Output [kOhm]",   3, "A 2000"},
        {  4, "1.5000E+04", "15.000", 3, "Output [kOhm]",   3, "A 2000"},
        {  5, "1.5000E+05", "150.00", 2, "Output [kOhm]",   3, "A 2000"},
        {  6, "1.5000E+06", "1.5000", 4, "Output [MOhm]",   6, "A 2000000"},
        {  7, "1.5000E+07", "15.000", 3, "Output [MOhm]",   6, "A 2000000"},
        {  8, "1.5000E+08", "150.00", 2, "Output [MOhm]",   6, "A 2000000"},
        {  9, "1.5000E+09", "1.5000", 4, "Output [GOhm]",   9, "A 2000000000"},
        { 10, "1.5000E+10", "15.000", 3, "Output [GOhm]",   9, "A 2000000000"},
        { 11, "1.5000E+11", "150.00", 2, "Output [GOhm]",   9, "A 2000000000"},
        { 12, "1.5000E+12", "1.5000", 4, "Output [TOhm]",  12, "A 2000000000000"},
    };
    // clang-format on
    OpenPanel(3, "--model V212 --function 0 --value 1000 --scientific");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reply);
        sim_->server().WithEngine([&](sim::Engine& e) {
            e.state().values['0'] = 1.5 * std::pow(10.0, row.exponent);
            EXPECT_EQ(e.Handle("A?").value_or("none"), row.reply);
        });
        ASSERT_EQ(RefreshScreen(), 1);
        EXPECT_EQ(Shown(VALUE), row.shown);
        EXPECT_EQ(Attr(VALUE, ui::ATTR_PRECISION), row.decimals);
        EXPECT_EQ(Label(VALUE), row.label);
        EXPECT_EQ(valueExponent, row.valueExponent);
        Received();
        TypeEach(VALUE, "2");
        const Lines wire = Received();
        ASSERT_FALSE(wire.empty());
        EXPECT_EQ(wire.front(), row.sent);
    }
}

class ScientificReply : public EntryTest {};

TEST_F(ScientificReply, TemperatureShownInDegrees) {
    OpenPanel(3, "--model V330A --function 1 --value 150 --scientific");
    EXPECT_EQ(Shown(VALUE), "150.00");
    EXPECT_EQ(Label(VALUE), "Output [°C]");
    EXPECT_EQ(valueExponent, 0);
    TypeEach(VALUE, "150");
    EXPECT_EQ(Received(), (Lines{"A 150"} + kRefresh3));
    EXPECT_EQ(sim_->server().WithEngine([](sim::Engine& e) { return e.ValueOf('1'); }), 150.0);
    TypeEach(VALUE, "25,5");
    EXPECT_EQ(Received(), (Lines{"A 25.5"} + kRefresh3));
    EXPECT_EQ(Shown(VALUE), "25.500");
    EXPECT_TRUE(messages_.messages().empty()) << messages_.Texts();
}

}  // namespace
