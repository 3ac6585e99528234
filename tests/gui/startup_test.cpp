// The whole start-up and end of the program in-process on the offscreen platform: the
// settings file applied to the panel, the panel's texts in each language, Exit and the
// window's close button writing the file back; and the real program without a display.
#include "app/startup.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/handlers.h"
#include "app/panel.h"
#include "app/panel_tools.h"
#include "app/shared_state.h"
#include "toolkit/ui.h"
#include "support/program_fixture.h"

namespace {

class Startup : public ProgramRunTest {
  protected:
    void WriteSettings(const char* text) {
        QFile f(dir.filePath("Ombrastel.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QString WrittenSettings() {
        QFile f(dir.filePath("Ombrastel.ini"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString("<none>");
    }
    int Run(const std::function<void(int panel)>& operate) { return RunProgram(operate); }
    static void PressExit(int panel) {
        QTest::mouseClick(ui::ControlWidget(panel, END), Qt::LeftButton);
    }
    static int Val(int panel, int control) {
        int v = -12345;
        ui::GetCtrlVal(panel, control, &v);
        return v;
    }
    static int Visible(int panel, int control) {
        int v = -1;
        ui::GetCtrlAttribute(panel, control, ui::ATTR_VISIBLE, &v);
        return v;
    }
    static std::string Label(int panel, int control, int attribute = ui::ATTR_LABEL_TEXT) {
        std::string s;
        ui::GetCtrlAttribute(panel, control, attribute, &s);
        return s;
    }
};

// ---- Settings file in, controls shown, file written back

// A settings file, the panel it gives and the file Exit writes back: the language as
// corrected (1 shows the Czech texts), then the link settings as the panel shows them.
struct FileCase {
    const char* name;
    const char* file;  // null: no settings file
    int language, type, address, com, rate;
};

std::string Written(const FileCase& c) {
    return "Language = " + std::to_string(c.language) + "\nType = " + std::to_string(c.type) +
           "\nAddress = " + std::to_string(c.address) + "\nCom = " + std::to_string(c.com) +
           "\nRate = " + std::to_string(c.rate) + "\n";
}

class StartupFile : public Startup, public ::testing::WithParamInterface<FileCase> {};

TEST_P(StartupFile, AppliedAndWrittenBack) {
    const FileCase& c = GetParam();
    if (c.file != nullptr) WriteSettings(c.file);
    const int result = Run([&](int p) {
        EXPECT_EQ(Label(p, RING), c.language == 1 ? "Komunikace" : "Interface");
        EXPECT_EQ(Val(p, RING), c.type);
        EXPECT_EQ(Visible(p, NUM_ADR), c.type != 0 ? 1 : 0);
        EXPECT_EQ(Visible(p, SERIAL), c.type != 0 ? 0 : 1);
        EXPECT_EQ(Visible(p, RATE), c.type != 0 ? 0 : 1);
        EXPECT_EQ(Val(p, NUM_ADR), c.address);
        EXPECT_EQ(Val(p, SERIAL), c.com);
        EXPECT_EQ(Val(p, RATE), c.rate);
        int index = -1;
        std::string port;
        ui::GetIndexFromValue(p, SERIAL, &index, c.com);
        ui::GetLabelFromIndex(p, SERIAL, index, &port);
        // The item reads "COM n", with the mark of a port whose device is there.
        const std::string name = "COM" + std::to_string(c.com);
        EXPECT_TRUE(port == name || port == name + kPresentMark) << port;
        PressExit(p);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(WrittenSettings(), QString::fromStdString(Written(c)));
    if (c.file == nullptr) {
        EXPECT_EQ(WrittenSettings(), QString::fromUtf8(kDefaultSettings));
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Settings, StartupFile,
    ::testing::Values(
        //       name                          file                                  lang type adr com rate
        FileCase{"NoFile",                     nullptr,                                 3, 0, 0,  1,  9600},
        FileCase{"Czech",                      "Language = 1\n",                        1, 0, 0,  1,  9600},
        FileCase{"CzechNoBlank",               "Language=1\n",                          1, 0, 0,  1,  9600},
        FileCase{"Mixed",                      "Language = 2\n",                        2, 0, 0,  1,  9600},
        FileCase{"LanguageZero",               "Language = 0\n",                        3, 0, 0,  1,  9600},
        FileCase{"LanguageFour",               "Language = 4\n",                        3, 0, 0,  1,  9600},
        FileCase{"LanguageMinusOne",           "Language = -1\n",                       3, 0, 0,  1,  9600},
        FileCase{"Gpib",                       "Type = 1\nAddress = 9\n",               3, 1, 9,  1,  9600},
        FileCase{"Port12",                     "Com = 12\n",                            3, 0, 0, 12,  9600},
        FileCase{"Rate19200",                  "Rate = 19200\n",                        3, 0, 0,  1, 19200},
        FileCase{"EmptySecondLine",            "Language = 1\n\nType = 1\n",            1, 0, 0,  1,  9600},
        FileCase{"ValueAfterTwentyCharacters", "Com =               12\nRate = 600\n",  3, 0, 0,  1,   600},
        FileCase{"BlanksBeforeKey",            "  Rate = 19200\n",                      3, 0, 0,  1,  9600},
        FileCase{"NotANumber",                 "Com = twelve\nRate = 1200\n",           3, 0, 0,  1,  1200}),
    [](const ::testing::TestParamInfo<FileCase>& info) { return std::string(info.param.name); });
// clang-format on

// ---- The panel as the operator sees it

TEST_F(Startup, FreshPanelInEnglish) {
    Run([&](int p) {
        EXPECT_EQ(ui::GetPanelTitle(p), "Ombrastel");
        EXPECT_TRUE(ui::PanelWindow(p)->isVisible());
        // clang-format off
        const std::pair<int, const char*> labels[] = {
            {RING, "Interface"},        {NUM_ADR, "GPIB address"},          {SERIAL, "Com port"},
            {VALUE, "Output"},          {RATE, "Rate"},                     {END, "Exit"},
            {FUNCTION, "Function"},     {UNIT, "Unit"},                     {CMD_OUTPUT, "Run"},
            {CMD_SHORT, "Short"},       {RING_STANDARD, "Temperature standard"},
            {CMD_GND, "Ground"},        {RING_SCALE, "Temperature scale"},
            {THRESHOLD, "4W < 2W"},     {RNULA, "R0"}};
        // clang-format on
        for (auto [control, text] : labels) {
            EXPECT_EQ(Label(p, control), text) << control;
            EXPECT_EQ(ui::ControlWidget(p, control)->accessibleName().toStdString(), text);
        }
        EXPECT_EQ(Label(p, COM, ui::ATTR_OFF_TEXT), "Open");
        EXPECT_EQ(Label(p, COM, ui::ATTR_ON_TEXT), "Close");
        EXPECT_EQ(Val(p, COM), 0);
        int count = 0;
        ui::GetNumListItems(p, SERIAL, &count);
        EXPECT_EQ(count, 256);
        ui::GetNumListItems(p, FUNCTION, &count);
        EXPECT_EQ(count, 0);
        // The relay column where the control arrangement expects it.
        const struct {
            int control, top, left;
        } places[] = {{CMD_GND, 59, 543},   {CMD_SHORT, 59, 543},   {LED_GND, 38, 573},
                      {LED_SHORT, 38, 573}, {CMD_OUTPUT, 179, 543}, {LED_OUTPUT, 158, 573}};
        for (const auto& place : places) {
            int top = 0, left = 0;
            ui::GetCtrlAttribute(p, place.control, ui::ATTR_TOP, &top);
            ui::GetCtrlAttribute(p, place.control, ui::ATTR_LEFT, &left);
            EXPECT_EQ(top, place.top) << place.control;
            EXPECT_EQ(left, place.left) << place.control;
        }
        PressExit(p);
    });
}

TEST_F(Startup, CzechPanelKeepsThresholdAndR0) {
    WriteSettings("Language = 1\n");
    Run([&](int p) {
        const std::pair<int, const char*> labels[] = {
            {RING, "Komunikace"},     {NUM_ADR, "Adresa"},      {SERIAL, "Port"},
            {VALUE, "Výstup"},        {RATE, "Rychlost"},       {END, "Konec"},
            {FUNCTION, "Funkce"},     {UNIT, "Jednotka"},       {CMD_OUTPUT, "Spustit"},
            {RING_STANDARD, "Norma"}, {RING_SCALE, "Stupnice"}, {CMD_SHORT, "Zkrat"},
            {CMD_GND, "Uzemnění"},    {THRESHOLD, "4W < 2W"},   {RNULA, "R0"}};
        for (auto [control, text] : labels) EXPECT_EQ(Label(p, control), text) << control;
        EXPECT_EQ(Label(p, COM, ui::ATTR_OFF_TEXT), "Otevřít");
        EXPECT_EQ(Label(p, COM, ui::ATTR_ON_TEXT), "Zavřít");
        EXPECT_EQ(ui::ControlWidget(p, COM)->accessibleName(), QString::fromUtf8("Otevřít"));
        EXPECT_EQ(ui::GetPanelTitle(p), "Ombrastel");
        PressExit(p);
    });
}

// ---- Ending

TEST_F(Startup, OperatorChangesWithoutLinkAreWritten) {
    Run([&](int p) {
        QTest::keyClick(ui::ControlWidget(p, RATE), Qt::Key_Up);  // 9600 -> 4800
        // The interface switch: GPIB shows the address and hides port and rate.
        QTest::keyClick(ui::ControlWidget(p, RING), Qt::Key_Down);
        EXPECT_EQ(Val(p, RING), 1);
        EXPECT_EQ(Visible(p, NUM_ADR), 1);
        EXPECT_EQ(Visible(p, SERIAL), 0);
        EXPECT_EQ(Visible(p, RATE), 0);
        QWidget* address = ui::ControlWidget(p, NUM_ADR);
        QTest::keyClick(address, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(address, "17");
        QTest::keyClick(address, Qt::Key_Return);
        PressExit(p);
    });
    EXPECT_EQ(WrittenSettings(), "Language = 3\nType = 1\nAddress = 17\nCom = 1\nRate = 4800\n");
}

TEST_F(Startup, CloseButtonEndsLikeExit) {
    WriteSettings("Com = 3\n");
    const int result = Run([&](int p) { ui::PanelWindow(p)->close(); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(WrittenSettings(), "Language = 3\nType = 0\nAddress = 0\nCom = 3\nRate = 9600\n");
}

TEST_F(Startup, EndCBActsOnlyOnCommit) {
    EXPECT_EQ(EndCB(1, END, 0, nullptr, 0, 0), 0);  // not a commit: the loop runs on
    Run([&](int p) { QTimer::singleShot(50, [p] { PressExit(p); }); });
}

// ---- The real program without a display

TEST(StartupNoDisplay, ExitsWith255AndWritesNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    env.remove("XDG_SESSION_TYPE");
    app.setProcessEnvironment(env);
    app.setWorkingDirectory(dir.path());
    app.start(QStringLiteral(OMBRASTEL_APP_PATH), {});
    ASSERT_TRUE(app.waitForFinished(20000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit) << "no crash, no core dump";
    EXPECT_EQ(app.exitCode(), 255);
    const QString err = QString::fromLocal8Bit(app.readAllStandardError());
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    EXPECT_TRUE(err.contains("display")) << err.toStdString();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

}  // namespace
