// What a decade names (a preset, its unit), what a link points to and what a message box
// or a tool tip says is shown as the characters it is, never as markup: no size or colour
// from "<font>", no underline from "<u>", no file loaded for "<img src=...>". Checked on
// the widgets the operator reads: the panel's value label and rings, the Sequence window's
// heading, table heading and plot axis, the device label beside the COM ring and its tool
// tip, the toolkit's message box and tool tips.
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QHelpEvent>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolTip>
#include <string>
#include <vector>

#include "app/panel.h"
#include "app/panel_tools.h"
#include "app/sequence_window.h"
#include "app/shared_state.h"
#include "toolkit/ui.h"
#include "support/link_fixture.h"

namespace {

// A small picture beside the test; the watch says whether anything opened it.
class OpenWatch {
  public:
    explicit OpenWatch(const QString& path) : path_(path) {
        QImage red(8, 8, QImage::Format_RGB32);
        red.fill(Qt::red);
        ok_ = red.save(path, "PNG");
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ok_ = ok_ && fd_ >= 0 &&
              ::inotify_add_watch(fd_, QFile::encodeName(path).constData(), IN_OPEN | IN_ACCESS) >= 0;
    }
    ~OpenWatch() {
        if (fd_ >= 0) ::close(fd_);
        QFile::remove(path_);
    }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;
    bool ok() const { return ok_; }
    bool Opened() const {
        char events[4096];
        return ::read(fd_, events, sizeof events) > 0;
    }

  private:
    QString path_;
    int fd_ = -1;
    bool ok_ = false;
};

bool HasRed(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 60 && c.blue() < 60) return true;
        }
    }
    return false;
}

// A label shows text as its characters: plain text, in no colour a "<font>" would give,
// and (unless it wraps its lines, as a tool tip may) as wide as those characters and one
// line of its own font high.
void ExpectPlain(QLabel* label, const QString& text, bool oneLine = true) {
    ASSERT_NE(label, nullptr);
    SCOPED_TRACE(label->objectName().toStdString() + " \"" + label->text().toStdString() + "\"");
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    // A label with a buddy shows its '&' marks as the underlined letter ("&&" is one '&').
    QString shown;
    const QString raw = label->text();
    for (int i = 0; i < raw.size(); ++i) {
        if (label->buddy() != nullptr && raw[i] == QLatin1Char('&') && i + 1 < raw.size()) ++i;
        shown += raw[i];
    }
    EXPECT_TRUE(shown.contains(text)) << shown.toStdString();
    EXPECT_FALSE(HasRed(label->grab().toImage()));
    if (!oneLine) return;
    EXPECT_GE(label->sizeHint().width(), label->fontMetrics().horizontalAdvance(text));
    EXPECT_LT(label->sizeHint().height(), 2 * label->fontMetrics().height());
}

// The text item of the chart that begins with start, as the chart draws it.
QString ChartText(QChartView* view, const QString& start) {
    for (QGraphicsItem* item : view->scene()->items()) {
        if (auto* text = dynamic_cast<QGraphicsTextItem*>(item)) {
            if (text->toPlainText().startsWith(start)) return text->toPlainText();
        }
    }
    return {};
}

// The tool tip shown now, as a label.
QLabel* ShownTip() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("qtooltip_label") && w->isVisible()) {
            return qobject_cast<QLabel*>(w);
        }
    }
    return nullptr;
}

class PlainTextTest : public PanelLinkTest {};

// Preset names and units through the simulator's replies, in both languages.
TEST_F(PlainTextTest, DecadeNamesAndUnitsAreShownAsTheirCharacters) {
    struct Case {
        std::string name;  // the preset name the decade sends, in its quotes
        std::string unit;  // the unit code the decade sends (at most 8 characters count)
        QString shownUnit;
    };
    const std::vector<Case> cases = {
        {"<font color=red size=7>FAKE</font>", "<u>X", "<u>X"},
        {"<img src='m.png'>", "<b>^", "<b>Ohm"},
        {"Pt100 & <i>copy</i>", "&lt;{C", "&lt;°C"},
    };
    for (const int lang : {3, 1}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name + (lang == 1 ? " Czech" : ""));
            ShowFreshPanel(lang);
            StartSim({"--model", "V330A", "--user-presets", "P", "--reply",
                      "UFUN:CURV:PRES1:NAME?=\"" + c.name + "\"", "--reply",
                      "UFUN:CURV:PRES1:UNIT?=\"" + c.unit + "\""});
            const OpenWatch watch(QDir::current().filePath(QStringLiteral("m.png")));
            ASSERT_TRUE(watch.ok());
            OpenSerial();
            ASSERT_EQ(connected, 1) << messages_.Texts();
            Choose(FUNCTION, 1000);
            const QString name = QString::fromStdString(c.name);
            auto* ring = static_cast<QComboBox*>(W(FUNCTION));
            EXPECT_TRUE(ring->currentText().contains(name)) << ring->currentText().toStdString();
            const QString bracket = QStringLiteral("[%1]").arg(c.shownUnit);
            auto* valueLabel = static_cast<QLabel*>(ui::LabelWidget(panelHandle, VALUE));
            ExpectPlain(valueLabel, bracket);
            // An '&' of the unit is an ampersand, not the label's shortcut letter.
            EXPECT_EQ(QKeySequence::mnemonic(valueLabel->text()),
                      QKeySequence(Qt::ALT | (lang == 1 ? Qt::Key_V : Qt::Key_O)));

            SequenceWindow* window = PanelSequenceWindow(ui::PanelWindow(panelHandle));
            window->show();
            QApplication::processEvents();
            ExpectPlain(window->findChild<QLabel*>(QStringLiteral("sequenceHeading")), name);
            const QString value = lang == 1 ? QStringLiteral("Hodnota ") : QStringLiteral("Value ");
            EXPECT_EQ(window->StepTable()->horizontalHeaderItem(0)->text().toStdString(),
                      (value + bracket).toStdString());
            auto* plot = window->findChild<QChartView*>(QStringLiteral("sequencePlot"));
            plot->grab();
            EXPECT_EQ(ChartText(plot, value).toStdString(), (value + bracket).toStdString());
            ui::PanelWindow(panelHandle)->grab();
            window->grab();
            EXPECT_FALSE(watch.Opened()) << "a file named in a reply was loaded";
            window->hide();
            ClickCom();
        }
    }
}

// The device a COM number names comes from a link in the settings folder: its name is
// shown beside the ring and in the ring's tool tip as it is.
TEST_F(PlainTextTest, TheDeviceOfALinkIsShownAsItsCharacters) {
    StartSim(Args("--model V212"));
    const OpenWatch watch(QDir::current().filePath(QStringLiteral("m.png")));
    ASSERT_TRUE(watch.ok());
    const QString device = QStringLiteral("/<img src='m.png'>");
    ASSERT_EQ(::symlink(QFile::encodeName(device).constData(), "com2"), 0);
    ShowFreshPanel(3);
    ui::SetCtrlVal(panelHandle, SERIAL, 2);
    RefreshPorts(ui::PanelWindow(panelHandle));
    QLabel* label = PortDeviceLabel(ui::PanelWindow(panelHandle));
    ExpectPlain(label, device);
    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), label->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(label, &help);
    ExpectPlain(ShownTip(), QStringLiteral("com2 \u2192 ") + device, false);
    QToolTip::hideText();
    EXPECT_FALSE(watch.Opened());
}

// The toolkit's own seams: a message box with its detail, a widget's tool tip and the tip
// a refused entry shows.
TEST_F(PlainTextTest, MessageBoxesAndToolTipsShowTheirTextAsItIs) {
    StartSim(Args("--model V212"));
    const OpenWatch watch(QDir::current().filePath(QStringLiteral("m.png")));
    ASSERT_TRUE(watch.ok());
    ShowFreshPanel(3);
    const QString markup = QStringLiteral("<img src='m.png'><font color=red size=7>X</font>");

    ui::SetMessagePopupHandler({});  // a real box this once
    Qt::TextFormat format = Qt::AutoText;
    QString shown, detail;
    bool red = true;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            format = label->textFormat();
            shown = label->text();
            red = HasRed(label->grab().toImage());
        }
        if (auto* edit = box->findChild<QTextEdit*>()) detail = edit->toPlainText();
        box->accept();
    });
    ui::MessagePopup("Warning", markup.toStdString(), "<b>" + markup.toStdString() + "</b>");
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(shown, markup);
    EXPECT_FALSE(red);
    EXPECT_EQ(detail, "<b>" + markup + "</b>");

    QWidget* exit = W(END);
    exit->setToolTip(markup);
    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), exit->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(exit, &help);
    ExpectPlain(ShownTip(), markup, false);
    QToolTip::hideText();

    ui::SetCtrlAttribute(panelHandle, NUM_ADR, ui::ATTR_VISIBLE, 1);
    ui::SetCtrlAttribute(panelHandle, NUM_ADR, ui::ATTR_REFUSAL_TEXT, markup.toStdString());
    ui::SetCtrlAttribute(panelHandle, NUM_ADR, ui::ATTR_ENTRY_REFUSED, 1);
    ExpectPlain(ShownTip(), markup, false);
    ui::SetCtrlAttribute(panelHandle, NUM_ADR, ui::ATTR_ENTRY_REFUSED, 0);
    EXPECT_FALSE(watch.Opened());
}

}  // namespace
