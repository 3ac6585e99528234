// The main panel: the Designer form compiled into the program, its ring items with their
// values, the callbacks of its controls and the Czech texts.
#include "app/panel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QWidget>
#include <algorithm>
#include <iterator>
#include <span>
#include <vector>

#include "app/handlers.h"
#include "app/panel_tools.h"
#include "app/texts.h"
#include "app/open_close.h"
#include "app/output_button.h"
#include "toolkit/ui.h"
#include "ui_Ombrastel.h"

namespace {

struct RingItem {
    const char* text;
    int value;
};

constexpr RingItem kInterfaceItems[] = {{"RS232", 0}, {"GPIB", 1}};
constexpr RingItem kPortItems[] = {{"COM1", 1}, {"COM2", 2}, {"COM3", 3}, {"COM4", 4},
                                   {"COM5", 5}, {"COM6", 6}, {"COM7", 7}, {"COM8", 8}};
constexpr RingItem kRateItems[] = {
    {"300", 300},   {"600", 600},     {"1200", 1200},   {"2400", 2400},   {"4800", 4800},
    {"9600", 9600}, {"19200", 19200}, {"38400", 38400}, {"57600", 57600}, {"115200", 115200}};
constexpr RingItem kUnitItems[] = {{"°C", 0}, {"°F", 1}};
constexpr RingItem kScaleItems[] = {{"ITS90", 0}, {"IPTS68", 1}};
constexpr RingItem kStandardItems[] = {{"IEC 751 (1.385)", 0}, {"US/JIS (1.3916)", 1}};

constexpr int kRateAsLoaded = 9600;

template <std::size_t N>
void Fill(QComboBox* ring, const RingItem (&items)[N], int selected) {
    for (const RingItem& item : items) ring->addItem(QString::fromUtf8(item.text), item.value);
    ring->setCurrentIndex(ring->findData(selected));
}

// The texts that the translation replaces, in the order start-up applies them: the English
// as the panel description has it ('&' marks the shortcut letter, Alt+letter, which every
// labelled control has of its own in each language).
struct TranslatedText {
    int control;
    ui::Attribute attribute;
    const char* english;
};
constexpr TranslatedText kTranslatedTexts[] = {
    {RING, ui::ATTR_LABEL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "&Interface")},
    {NUM_ADR, ui::ATTR_LABEL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "GPIB &address")},
    {SERIAL, ui::ATTR_LABEL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "&Com port")},
    {VALUE, ui::ATTR_LABEL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "&Output")},
    {RATE, ui::ATTR_LABEL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "&Rate")},
    {END, ui::ATTR_LABEL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "E&xit")},
    {FUNCTION, ui::ATTR_LABEL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "&Function")},
    {UNIT, ui::ATTR_LABEL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "U&nit")},
    {COM, ui::ATTR_OFF_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "Op&en")},
    {COM, ui::ATTR_ON_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "Clos&e")},
    {CMD_OUTPUT, ui::ATTR_LABEL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "R&un")},
    {RING_STANDARD, ui::ATTR_LABEL_TEXT,
     QT_TRANSLATE_NOOP("OmbrastelPanel", "Temperature stan&dard")},
    {RING_SCALE, ui::ATTR_LABEL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "&Temperature scale")},
    {CMD_SHORT, ui::ATTR_LABEL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "&Short")},
    {CMD_GND, ui::ATTR_LABEL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "&Ground")},
};
// What the entry fields say when a typed text is no number.
constexpr TranslatedText kTranslatedRefusals[] = {
    {VALUE, ui::ATTR_REFUSAL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "not a number")},
    {RNULA, ui::ATTR_REFUSAL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "not a number")},
    {THRESHOLD, ui::ATTR_REFUSAL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "not a whole number")},
    {NUM_ADR, ui::ATTR_REFUSAL_TEXT, QT_TRANSLATE_NOOP("OmbrastelPanel", "not a whole number")},
};

// Names for screen readers of the indicators, which show no text of their own (the panel
// description gives the English).
constexpr int kLeds[] = {LED_GND, LED_SHORT, LED_OUTPUT};

QString Translated(const char* english) {
    return QString::fromStdString(texts::Translated("OmbrastelPanel", english));
}

// The relay column: each button with its LED above it, in rows and columns that follow the
// positions the control enabling gives them (the rows by top, the columns by left, a row
// or column that holds only hidden buttons taking no room), and the buttons in the Tab
// order as they read, top to bottom and left to right.
void ArrangeRelays(int panel, QGridLayout* grid) {
    struct Pair {
        int button, led;
        int top = 0, left = 0;
    };
    Pair pairs[] = {{CMD_GND, LED_GND}, {CMD_SHORT, LED_SHORT}, {CMD_OUTPUT, LED_OUTPUT}};
    std::vector<int> tops, lefts;
    for (Pair& p : pairs) {
        ui::GetCtrlAttribute(panel, p.button, ui::ATTR_TOP, &p.top);
        ui::GetCtrlAttribute(panel, p.button, ui::ATTR_LEFT, &p.left);
        tops.push_back(p.top);
        lefts.push_back(p.left);
    }
    for (std::vector<int>* v : {&tops, &lefts}) {
        std::sort(v->begin(), v->end());
        v->erase(std::unique(v->begin(), v->end()), v->end());
    }
    const auto index = [](const std::vector<int>& v, int x) {
        return static_cast<int>(std::lower_bound(v.begin(), v.end(), x) - v.begin());
    };
    for (const Pair& p : pairs) {
        QWidget* button = ui::ControlWidget(panel, p.button);
        QWidget* led = ui::ControlWidget(panel, p.led);
        if (button == nullptr || led == nullptr) return;
        const int row = 2 * index(tops, p.top);
        const int column = index(lefts, p.left);
        grid->removeWidget(led);
        grid->removeWidget(button);
        grid->addWidget(led, row, column, Qt::AlignHCenter | Qt::AlignBottom);
        grid->addWidget(button, row + 1, column);
    }
    std::stable_sort(std::begin(pairs), std::end(pairs), [](const Pair& a, const Pair& b) {
        return a.top != b.top ? a.top < b.top : a.left < b.left;
    });
    QWidget* previous = ui::ControlWidget(panel, RING_SCALE);
    for (const Pair& p : pairs) {
        QWidget* button = ui::ControlWidget(panel, p.button);
        QWidget::setTabOrder(previous, button);
        previous = button;
    }
    QWidget::setTabOrder(previous, ui::ControlWidget(panel, END));
}

ui::PanelDescription BuildMainPanel() {
    auto* window = new QWidget(nullptr);
    Ui::OmbrastelPanel form;
    form.setupUi(window);

    Fill(form.interfaceRing, kInterfaceItems, 0);
    Fill(form.comPortRing, kPortItems, 1);
    Fill(form.rateRing, kRateItems, kRateAsLoaded);
    Fill(form.unitRing, kUnitItems, 0);
    Fill(form.scaleRing, kScaleItems, 0);
    Fill(form.standardRing, kStandardItems, 0);
    // A ring is as wide as its longest item, also when its items change (the function ring is
    // filled when a link opens), and never narrower: the window grows to keep it whole.
    for (QComboBox* ring : window->findChildren<QComboBox*>()) {
        ring->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        ring->setSizePolicy(QSizePolicy::Minimum, ring->sizePolicy().verticalPolicy());
    }
    // R0 keeps the room for its value with all its decimals ("10000.000000").
    form.r0Field->setSizePolicy(QSizePolicy::Minimum, form.r0Field->sizePolicy().verticalPolicy());
    InstallPanelTools(window, form.comPortRing, form.toolsLayout);
    // The tools stand below the link frame: after the Open button in the Tab order.
    QWidget::setTabOrder(form.comToggle, PortsButton(window));
    QWidget::setTabOrder(PortsButton(window), LogButton(window));
    QWidget::setTabOrder(LogButton(window), SequenceButton(window));
    QWidget::setTabOrder(SequenceButton(window), form.functionRing);

    ui::PanelDescription d;
    d.window = window;
    d.controls = [form] {
        return std::vector<ui::ControlEntry>{
            {VALUE, form.valueField, form.valueLabel, ValueCB},
            {THRESHOLD, form.thresholdField, form.thresholdLabel, ThresholdCB},
            {RING, form.interfaceRing, form.interfaceLabel, ComTypeCB},
            {NUM_ADR, form.gpibAddressField, form.gpibAddressLabel, nullptr},
            {SERIAL, form.comPortRing, form.comPortLabel, nullptr},
            {COM, form.comToggle, nullptr, OpenCloseComCB},
            {CMD_SHORT, form.shortButton, nullptr, ShortCB, true, kTopRelay, kRelayLeft},
            {CMD_GND, form.groundButton, nullptr, GroundCB, true, kTopRelay, kRelayLeft},
            {CMD_OUTPUT, form.outputButton, nullptr, OutputCB, true, kTopOutput, kRelayLeft},
            {END, form.exitButton, nullptr, EndCB},
            {RATE, form.rateRing, form.rateLabel, nullptr},
            {RNULA, form.r0Field, form.r0Label, RnulaCB},
            {FUNCTION, form.functionRing, form.functionLabel, FunctionCB},
            {LED_SHORT, form.shortLed, nullptr, nullptr, true, kTopRelayLed, kLedLeft},
            {LED_GND, form.groundLed, nullptr, nullptr, true, kTopRelayLed, kLedLeft},
            {UNIT, form.unitRing, form.unitLabel, UnitCB},
            {LED_OUTPUT, form.outputLed, nullptr, nullptr, true, kTopOutputLed, kLedLeft},
            {RING_SCALE, form.scaleRing, form.scaleLabel, ScaleCB},
            {RING_STANDARD, form.standardRing, form.standardLabel, StandardCB},
            {DECORATION, form.linkFrame, nullptr, nullptr},
        };
    };
    d.arrange = [layout = form.relayLayout](int panel) { ArrangeRelays(panel, layout); };
    return d;
}

}  // namespace

void RegisterMainPanel() {
    ui::RegisterPanelDescription(kPanelDescription, PANEL, BuildMainPanel);
}

void ApplyCzechTexts(int panel) {
    using Table = std::span<const TranslatedText>;
    for (const Table table : {Table(kTranslatedTexts), Table(kTranslatedRefusals)}) {
        for (const TranslatedText& t : table) {
            ui::SetCtrlAttribute(panel, t.control, t.attribute, Translated(t.english).toStdString());
        }
    }
    for (const int id : kLeds) {
        if (QWidget* led = ui::ControlWidget(panel, id)) {
            led->setAccessibleName(Translated(led->accessibleName().toUtf8().constData()));
        }
    }
    ApplyCzechToolTexts(ui::PanelWindow(panel));
}
