#include "support/panel_fixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QThread>
#include <QTest>
#include <cmath>

#include "app/panel.h"
#include "app/shared_state.h"
#include "app/open_close.h"
#include "app/enable_controls.h"
#include "platform/link_thread.h"
#include "toolkit/ui.h"

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int LoadMainPanelForTest(int lang) {
    static bool registered = false;
    if (!registered) {
        RegisterMainPanel();
        registered = true;
    }
    if (ui::PanelWindow(panelHandle) != nullptr) ui::DiscardPanel(panelHandle);
    ResetSharedState();
    language = lang;
    panelHandle = ui::LoadPanel(0, kPanelDescription, PANEL);
    if (panelHandle < 0) return panelHandle;
    FillComs();
    ui::SetCtrlAttribute(panelHandle, NUM_ADR, ui::ATTR_VISIBLE, 0);
    ui::SetCtrlAttribute(panelHandle, RING_STANDARD, ui::ATTR_VISIBLE, 0);
    ui::SetCtrlAttribute(panelHandle, RING_SCALE, ui::ATTR_VISIBLE, 0);
    if (lang == 1) ApplyCzechTexts(panelHandle);
    return panelHandle;
}

void ShowFreshPanel(int lang) {
    CloseCommunic();
    ASSERT_GE(LoadMainPanelForTest(lang), 0);
    EnableControls();
    ui::DisplayPanel(panelHandle);
    QApplication::setActiveWindow(ui::PanelWindow(panelHandle));
}

int Int(int control) {
    int value = -99;
    ui::GetCtrlVal(panelHandle, control, &value);
    return value;
}

double Number(int control) {
    double value = NAN;
    ui::GetCtrlVal(panelHandle, control, &value);
    return value;
}

std::string Text(int control) {
    std::string value;
    ui::GetCtrlVal(panelHandle, control, &value);
    return value;
}

std::string Label(int control) {
    std::string value;
    ui::GetCtrlAttribute(panelHandle, control, ui::ATTR_LABEL_TEXT, &value);
    return value;
}

int Attr(int control, int attribute) {
    int value = -99;
    ui::GetCtrlAttribute(panelHandle, control, attribute, &value);
    return value;
}

Items RingItems(int control) {
    int count = 0;
    ui::GetNumListItems(panelHandle, control, &count);
    Items items;
    for (int i = 0; i < count; ++i) {
        std::string label;
        int value = 0;
        ui::GetLabelFromIndex(panelHandle, control, i, &label);
        ui::GetValueFromIndex(panelHandle, control, i, &value);
        items.emplace_back(value, label);
    }
    return items;
}

QWidget* W(int control) {
    return ui::ControlWidget(panelHandle, control);
}

void Type(int control, const std::string& text) {
    QWidget* field = W(control);
    auto* edit = qobject_cast<QLineEdit*>(field);
    if (edit == nullptr) edit = field->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(field->isEnabled()) << "field " << control << " is dimmed";
    edit->selectAll();
    QTest::keyClicks(field, QString::fromStdString(text));
    QTest::keyClick(field, Qt::Key_Return);
    WaitLinkIdle();
}

void Choose(int control, int value) {
    auto* ring = qobject_cast<QComboBox*>(W(control));
    ASSERT_NE(ring, nullptr);
    ASSERT_TRUE(ring->isEnabled()) << "ring " << control << " is dimmed";
    int index = -1;
    ui::GetIndexFromValue(panelHandle, control, &index, value);
    ASSERT_GE(index, 0) << "no item " << value << " in ring " << control;
    ASSERT_GE(ring->count(), 2);
    ring->setCurrentIndex(index > 0 ? index - 1 : 1);
    QTest::keyClick(ring, index > 0 ? Qt::Key_Down : Qt::Key_Up);
    WaitLinkIdle();
}

void Press(int control) {
    ASSERT_TRUE(W(control)->isVisible()) << "button " << control << " is hidden";
    QTest::mouseClick(W(control), Qt::LeftButton);
    WaitLinkIdle();
}

void ClickCom() {
    QTest::mouseClick(W(COM), Qt::LeftButton);
    WaitLinkIdle();
}

void ServeEventsOnce() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    QThread::usleep(200);  // the link thread gets the core it may be waiting for
}

void Serve(double seconds) {
    ServeUntil([] { return false; }, seconds);
}

bool WaitLinkIdle(double seconds) {
    const auto start = std::chrono::steady_clock::now();
    while (linkthread::Busy()) {
        if (SecondsSince(start) > seconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void OpenSerial(int port, int rate) {
    ui::SetCtrlVal(panelHandle, RING, 0);
    ui::SetCtrlVal(panelHandle, SERIAL, port);
    ui::SetCtrlVal(panelHandle, RATE, rate);
    ClickCom();
}

MessageRecorder::MessageRecorder() {
    ui::SetMessagePopupHandler(
        [this](const std::string& title, const std::string& text, const std::string& detail) {
            messages_.emplace_back(title, text);
            details_.push_back(detail);
        });
}

MessageRecorder::~MessageRecorder() {
    ui::SetMessagePopupHandler({});
}

std::string MessageRecorder::Texts() const {
    std::string all;
    for (std::size_t i = 0; i < messages_.size(); ++i) {
        all += messages_[i].second;
        if (!details_[i].empty()) all += " (" + details_[i] + ")";
        all += ";";
    }
    return all;
}

void ExpectClosedAfterWarning(const MessageRecorder& boxes, const std::string& title,
                              const std::string& text) {
    ASSERT_EQ(boxes.messages().size(), 1u) << boxes.Texts();
    EXPECT_EQ(boxes.messages()[0], (MessageRecorder::Message{title, text}));
    EXPECT_EQ(Int(COM), 0);
    EXPECT_EQ(connected, 0);
    EXPECT_EQ(decadeModel, 0);
    EXPECT_EQ(ui::GetPanelTitle(panelHandle), "Ombrastel");
}
