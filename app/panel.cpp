// The main panel: the Designer form compiled into the program, its ring items with their
// values, the callbacks of its controls and the Czech texts.
#include "app/panel.h"

#include <QComboBox>
#include <QLabel>
#include <QWidget>
#include <algorithm>
#include <iterator>
#include <span>
#include <vector>

#include "app/handlers.h"
#include "app/panel_tools.h"
#include "app/open_close.h"
#include "platform/ui.h"
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

// The Czech texts, in the order start-up applies them.
struct CzechText {
    int control;
    ui::Attribute attribute;
    const char* text;
};
// A '&' marks the shortcut letter (Alt+letter); every labelled control has its own.
constexpr CzechText kCzechTexts[] = {
    {RING, ui::ATTR_LABEL_TEXT, "&Komunikace"},     {NUM_ADR, ui::ATTR_LABEL_TEXT, "&Adresa"},
    {SERIAL, ui::ATTR_LABEL_TEXT, "&Port"},         {VALUE, ui::ATTR_LABEL_TEXT, "&Výstup"},
    {RATE, ui::ATTR_LABEL_TEXT, "&Rychlost"},       {END, ui::ATTR_LABEL_TEXT, "Kon&ec"},
    {FUNCTION, ui::ATTR_LABEL_TEXT, "&Funkce"},     {UNIT, ui::ATTR_LABEL_TEXT, "&Jednotka"},
    {COM, ui::ATTR_OFF_TEXT, "O&tevřít"},           {COM, ui::ATTR_ON_TEXT, "Zavří&t"},
    {CMD_OUTPUT, ui::ATTR_LABEL_TEXT, "&Spustit"},  {RING_STANDARD, ui::ATTR_LABEL_TEXT, "&Norma"},
    {RING_SCALE, ui::ATTR_LABEL_TEXT, "Stupn&ice"}, {CMD_SHORT, ui::ATTR_LABEL_TEXT, "&Zkrat"},
    {CMD_GND, ui::ATTR_LABEL_TEXT, "&Uzemnění"},
};
// What the entry fields say when a typed text is no number.
constexpr CzechText kCzechRefusals[] = {
    {VALUE, ui::ATTR_REFUSAL_TEXT, "není číslo"},
    {RNULA, ui::ATTR_REFUSAL_TEXT, "není číslo"},
    {THRESHOLD, ui::ATTR_REFUSAL_TEXT, "není celé číslo"},
    {NUM_ADR, ui::ATTR_REFUSAL_TEXT, "není celé číslo"},
};

// Names for screen readers of the indicators, which show no text of their own.
struct LedName {
    int control;
    const char* czech;
};
constexpr LedName kCzechLedNames[] = {{LED_GND, "Kontrolka uzemnění"},
                                      {LED_SHORT, "Kontrolka zkratu"},
                                      {LED_OUTPUT, "Kontrolka výstupu"}};

ui::PanelDescription BuildMainPanel() {
    auto* window = new QWidget(nullptr);
    Ui::OmbrastelPanel form;
    form.setupUi(window);
    window->setFixedSize(window->size());

    Fill(form.interfaceRing, kInterfaceItems, 0);
    Fill(form.comPortRing, kPortItems, 1);
    Fill(form.rateRing, kRateItems, kRateAsLoaded);
    Fill(form.unitRing, kUnitItems, 0);
    Fill(form.scaleRing, kScaleItems, 0);
    Fill(form.standardRing, kStandardItems, 0);
    for (QLabel* label : window->findChildren<QLabel*>()) label->adjustSize();
    InstallPanelTools(window, form.comPortRing);
    // The tools stand right of the link frame: after the Open button in the Tab order.
    QWidget::setTabOrder(form.comToggle, PortsButton(window));
    QWidget::setTabOrder(PortsButton(window), LogButton(window));
    QWidget::setTabOrder(LogButton(window), form.functionRing);

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
            {CMD_SHORT, form.shortButton, nullptr, ShortCB},
            {CMD_GND, form.groundButton, nullptr, GroundCB},
            {CMD_OUTPUT, form.outputButton, nullptr, OutputCB},
            {END, form.exitButton, nullptr, EndCB},
            {RATE, form.rateRing, form.rateLabel, nullptr},
            {RNULA, form.r0Field, form.r0Label, RnulaCB},
            {FUNCTION, form.functionRing, form.functionLabel, FunctionCB},
            {LED_SHORT, form.shortLed, nullptr, nullptr},
            {LED_GND, form.groundLed, nullptr, nullptr},
            {UNIT, form.unitRing, form.unitLabel, UnitCB},
            {LED_OUTPUT, form.outputLed, nullptr, nullptr},
            {RING_SCALE, form.scaleRing, form.scaleLabel, ScaleCB},
            {RING_STANDARD, form.standardRing, form.standardLabel, StandardCB},
            {DECORATION, form.linkFrame, nullptr, nullptr},
        };
    };
    return d;
}

}  // namespace

void RegisterMainPanel() {
    ui::RegisterPanelDescription(kPanelDescription, PANEL, BuildMainPanel);
}

void OrderRelayTabs(int panel) {
    struct Place {
        int top, left;
        QWidget* button;
    };
    std::vector<Place> relays;
    for (int control : {CMD_GND, CMD_SHORT, CMD_OUTPUT}) {
        Place p{0, 0, ui::ControlWidget(panel, control)};
        if (p.button == nullptr) return;
        ui::GetCtrlAttribute(panel, control, ui::ATTR_TOP, &p.top);
        ui::GetCtrlAttribute(panel, control, ui::ATTR_LEFT, &p.left);
        relays.push_back(p);
    }
    std::stable_sort(relays.begin(), relays.end(), [](const Place& a, const Place& b) {
        return a.top != b.top ? a.top < b.top : a.left < b.left;
    });
    QWidget* previous = ui::ControlWidget(panel, RING_SCALE);
    for (const Place& p : relays) {
        QWidget::setTabOrder(previous, p.button);
        previous = p.button;
    }
    QWidget::setTabOrder(previous, ui::ControlWidget(panel, END));
}

void ApplyCzechTexts(int panel) {
    using Table = std::span<const CzechText>;
    for (const Table table : {Table(kCzechTexts), Table(kCzechRefusals)}) {
        for (const CzechText& t : table) {
            ui::SetCtrlAttribute(panel, t.control, t.attribute, t.text);
        }
    }
    for (const LedName& n : kCzechLedNames) {
        if (QWidget* led = ui::ControlWidget(panel, n.control)) {
            led->setAccessibleName(QString::fromUtf8(n.czech));
        }
    }
    ApplyCzechToolTexts(ui::PanelWindow(panel));
}
