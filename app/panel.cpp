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
#include "app/texts.h"
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
