// Which device a COM number names, shown next to the COM ring and marked in it, and the
// Ports dialog that names an adapter as a COM number. A decade simulator's pseudo-terminal
// stands in for the adapter.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <string>

#include "app/log_window.h"
#include "app/panel.h"
#include "app/panel_tools.h"
#include "app/ports_dialog.h"
#include "app/shared_state.h"
#include "app/open_close.h"
#include "platform/serial_ports.h"
#include "toolkit/ui.h"
#include "support/panel_fixture.h"
#include "support/sim_fixture.h"

namespace {

QWidget* Panel() {
    return ui::PanelWindow(panelHandle);
}

std::string ItemText(int com) {
    int index = -1;
    ui::GetIndexFromValue(panelHandle, SERIAL, &index, com);
    std::string text;
    ui::GetLabelFromIndex(panelHandle, SERIAL, index, &text);
    return text;
}

// What the label next to the ring says for the chosen COM number, in full.
std::string DeviceShown() {
    return PortDeviceLabel(Panel())->toolTip().toStdString();
}

std::string Canonical(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).canonicalFilePath().toStdString();
}

class PortsTest : public testing::Test {
  protected:
    void TearDown() override { CloseCommunic(); }
};

TEST_F(PortsTest, DeviceShownForAComNumberWithAndWithoutItsLink) {
    simtest::SimFixture sim({"--model", "V212"}, 3);
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string pty = Canonical(sim.linkPath());
    ASSERT_FALSE(pty.empty());
    ShowFreshPanel();

    struct Case {
        int com;
        std::string shown;  // the whole tool tip
        std::string item;
    };
    const Case cases[] = {
        {3, "COM3: com3 \u2192 " + pty + " (present)", std::string("COM3") + kPresentMark},
        {200, "COM200: /dev/ttyS199 (not found)", "COM200"},
    };
    for (const Case& c : cases) {
        Choose(SERIAL, c.com);
        EXPECT_EQ(DeviceShown(), c.shown);
        EXPECT_EQ(ItemText(c.com), c.item);
        EXPECT_TRUE(PortDeviceLabel(Panel())->text().startsWith(
            QString::fromStdString(c.com == 3 ? pty : "/dev/ttyS199")));
    }

    // The link left dangling (the adapter pulled): the name stays, the device is gone.
    Choose(SERIAL, 3);
    const std::string link = sim.linkPath();
    ASSERT_TRUE(QFile::remove(QString::fromStdString(link)));
    ASSERT_TRUE(QFile::link("/dev/no-such-adapter", QString::fromStdString(link)));
    RefreshPorts(Panel());
    EXPECT_EQ(DeviceShown(), "COM3: com3 \u2192 /dev/no-such-adapter (not found)");
    EXPECT_EQ(ItemText(3), "COM3");

    // The Ports button opens the dialog on the system's own list.
    QTest::mouseClick(PortsButton(Panel()), Qt::LeftButton);
    auto* dialog = Panel()->findChild<PortsDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->rows().size(), ports::ListedDevices().size());
    dialog->close();

    // Over GPIB neither the device nor the Ports button is shown.
    Choose(RING, 1);
    EXPECT_TRUE(PortDeviceLabel(Panel())->isHidden());
    EXPECT_TRUE(PortsButton(Panel())->isHidden());
    Choose(RING, 0);
    EXPECT_FALSE(PortDeviceLabel(Panel())->isHidden());
}

// A by-id folder of the test's own, with links as udev makes them, is the system's list.
class PortsDialogTest : public PortsTest {
  protected:
    void SetUp() override { ASSERT_TRUE(byId.isValid()); }

    // One row per link in the by-id folder, as the system would list the adapters.
    std::vector<ports::SystemPort> Listed() const {
        std::vector<ports::SystemPort> rows;
        for (const QFileInfo& e : QDir(byId.path()).entryInfoList(QDir::System | QDir::Files,
                                                                  QDir::Name)) {
            ports::SystemPort p;
            p.device = e.canonicalFilePath();
            p.description = QStringLiteral("USB serial adapter");
            p.manufacturer = QStringLiteral("SIMLAB");
            p.serialNumber = e.fileName().section('_', 2, 2).section('-', 0, 0);
            p.vendorId = 0x0403;
            p.productId = 0x6001;
            p.byId = ports::ByIdName(byId.path(), p.device);
            rows.push_back(p);
        }
        return rows;
    }
    PortsDialog* Open() {
        auto* d = new PortsDialog(Panel(), false, [this] { return Listed(); }, {byId.path()});
        d->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(d, &PortsDialog::assigned, Panel(), [] { RefreshPorts(Panel()); });
        d->show();
        return d;
    }
    QTemporaryDir byId;
};

TEST_F(PortsDialogTest, AssignMakesOrReplacesOnlyALinkAndTheDecadeOpensThroughIt) {
    simtest::SimFixture sim({"--model", "V330A"}, 9);  // the adapter's own terminal
    ASSERT_TRUE(sim.ok()) << sim.error();
    const QString adapter = QString::fromStdString(Canonical(sim.linkPath()));
    const QString byIdName = byId.filePath("usb-SIMLAB_Adapter_A1-if00-port0");
    ASSERT_TRUE(QFile::link(adapter, byIdName));
    ShowFreshPanel();
    PortsDialog* d = Open();
    ASSERT_EQ(d->table()->rowCount(), 1);
    EXPECT_EQ(d->table()->item(0, 0)->text(), adapter);
    EXPECT_EQ(d->table()->item(0, 3)->text(), "A1");
    EXPECT_EQ(d->table()->item(0, 4)->text(), "0403");
    EXPECT_EQ(d->table()->item(0, 6)->text(), byIdName);

    // Made, then replaced; the link points at the by-id name, which survives re-plugging.
    const QString folder = QDir::currentPath();
    EXPECT_EQ(d->Assign(0, 3), ports::Assigned::Made);
    EXPECT_EQ(QFileInfo(folder + "/com3").symLinkTarget(), byIdName);
    EXPECT_EQ(ItemText(3), std::string("COM3") + kPresentMark);
    ASSERT_TRUE(QFile::remove(folder + "/com3"));
    ASSERT_TRUE(QFile::link("/dev/old-adapter", folder + "/com3"));
    EXPECT_EQ(d->Assign(0, 3), ports::Assigned::Replaced);
    EXPECT_EQ(QFileInfo(folder + "/com3").symLinkTarget(), byIdName);
    EXPECT_TRUE(d->status().contains("COM3 is now " + byIdName)) << d->status().toStdString();

    // A regular file and a folder named like a link stay as they are.
    {
        QFile f(folder + "/com4");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    ASSERT_TRUE(QDir(folder).mkdir("com5"));
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    EXPECT_EQ(d->Assign(0, 4), ports::Assigned::NotALink);
    EXPECT_EQ(d->Assign(0, 5), ports::Assigned::NotALink);
    EXPECT_TRUE(d->status().contains("com5 is not a link")) << d->status().toStdString();
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), before);
    QFile kept(folder + "/com4");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep me");
    EXPECT_FALSE(QFileInfo(folder + "/com4").isSymLink());

    // The decade answers on COM3 through the new link.
    d->close();
    MessageRecorder boxes;
    OpenSerial(3);
    EXPECT_EQ(connected, 1) << boxes.Texts();
    EXPECT_NE(ui::GetPanelTitle(panelHandle).find("V330A"), std::string::npos);
}

TEST_F(PortsDialogTest, ListFollowsAdaptersPluggedInAndOut) {
    simtest::SimFixture first({"--model", "V212"}, 1);
    ASSERT_TRUE(first.ok()) << first.error();
    ShowFreshPanel();
    PortsDialog* d = Open();
    EXPECT_EQ(d->table()->rowCount(), 0);
    EXPECT_FALSE(d->status().isEmpty()) << "says that there is no port";
    const QString name = byId.filePath("usb-SIMLAB_Adapter_B2-if00-port0");
    ASSERT_TRUE(QFile::link(QString::fromStdString(Canonical(first.linkPath())), name));
    QTRY_COMPARE_WITH_TIMEOUT(d->table()->rowCount(), 1, 5000);
    EXPECT_EQ(d->table()->item(0, 6)->text(), name);
    d->table()->selectRow(0);
    ASSERT_TRUE(QFile::remove(name));
    QTRY_COMPARE_WITH_TIMEOUT(d->table()->rowCount(), 0, 5000);
    d->close();
}

// The system's own list: each port the system reports is a row, with its by-id name when
// one exists (the machine running the tests may have none; then the list is empty).
// The Ports dialog and the Log window take their Czech from the built-in translation, as
// the panel does, so another translation needs no change in the code.
TEST_F(PortsTest, DialogAndLogWindowInBothLanguages) {
    for (const int lang : {3, 1}) {
        SCOPED_TRACE(lang);
        ShowFreshPanel(lang);
        QTest::mouseClick(PortsButton(Panel()), Qt::LeftButton);
        auto* dialog = Panel()->findChild<PortsDialog*>();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle().toStdString(), lang == 1 ? "Sériové porty" : "Serial ports");
        auto* table = dialog->findChild<QTableWidget*>();
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->horizontalHeaderItem(0)->text().toStdString(), lang == 1 ? "Zařízení" : "Device");
        dialog->close();
        QWidget* log = PanelLogWindow(Panel());
        EXPECT_EQ(log->windowTitle().toStdString(), lang == 1 ? "Záznam komunikace" : "Link log");
        QStringList buttons;
        for (const auto* b : log->findChildren<QPushButton*>()) buttons << b->text();
        EXPECT_TRUE(buttons.contains(lang == 1 ? QStringLiteral("Vymazat") : QStringLiteral("Clear")))
            << buttons.join(QLatin1Char(',')).toStdString();
    }
}

TEST(SystemPorts, EveryListedDeviceIsARow) {
    const std::set<std::string> listed = ports::ListedDevices();
    const std::vector<ports::SystemPort> rows = ports::SystemPorts();
    ASSERT_EQ(rows.size(), listed.size());
    for (const ports::SystemPort& p : rows) {
        EXPECT_EQ(listed.count(p.device.toStdString()), 1u);
        if (!p.byId.isEmpty()) {
            EXPECT_EQ(QFileInfo(p.byId).canonicalFilePath(), QFileInfo(p.device).canonicalFilePath());
        }
    }
}

}  // namespace
