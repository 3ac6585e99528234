// ombrastel-ctl as a script runs it: the program itself in a child process against a
// simulated decade of every class, over RS-232 on a pseudo-terminal and over GPIB through
// the stand-in library. What counts is each command's lines on the wire, the same lines
// the panel sends for the same setting, and the exit status a script tests.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/panel.h"
#include "app/shared_state.h"
#include "app/open_close.h"
#include "decade/profiles.h"
#include "support/ctl_fixture.h"
#include "support/link_fixture.h"

namespace {

std::string Text(std::string_view s) {
    return std::string(s);
}

// What a one-shot command opens with over RS-232: the identity twice and the remote command.
Lines OpenLines(int model) {
    return {"*IDN?", "*IDN?", Text(decade::ProfileOf(model).remote.text)};
}
Lines LocalLine(int model) {
    return {Text(decade::ProfileOf(model).local.text)};
}

// The state read of each class (the panel's refresh).
const Lines kRefresh12 = {"V?", "A?", "R?", "W?"};
const Lines kRefresh3 = {"V?", "A?", "R?", "OUTP?", "OUTP:SHOR?"};
const Lines kRefresh4 = {"F?", "CAP:DISP?", "OUTP?", "V?"};
const Lines kRefresh5 = {"A?", "V?"};
const Lines kRefresh6 = {"V?", "A?"};
const Lines kRefresh7 = {"F?", "RES:DISP?", "OUTP?", "OUTP:SHOR?", "OUTP:GRO?"};

struct ClassCase {
    const char* args;
    int model;
    Lines refresh;
};
// clang-format off
const ClassCase kClasses[] = {
    {"--model V210", 1, {"V?", "A?", "R?"}},
    {"--model V212", 2, kRefresh12},
    {"--model V330A", 3, kRefresh3},
    {"--model V150", 4, kRefresh4},
    {"--model V151 --output 1 --value 4.7e-8", 5, kRefresh5},
    {"--model V211", 6, kRefresh6},
    {"--model V090", 7, kRefresh7},
};
// clang-format on

class CtlTest : public PanelLinkTest {};

// ----- Each command's lines on the wire, every class, RS-232. -----

TEST_F(CtlTest, StateOfEveryClassReadsWhatTheRefreshReadsBetweenRemoteAndLocal) {
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.args);
        StartSim(Args(c.args));
        const CtlResult r = Ctl({"state", "--json"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(sim_->Lines(), OpenLines(c.model) + c.refresh + LocalLine(c.model));
        EXPECT_NE(r.out.find("\"state\":{"), std::string::npos) << r.out;
    }
}

TEST_F(CtlTest, IdentifyNamesModelSerialFirmwareFunctionsAndPresets) {
    StartSim(Args("--model V330A --serial 4711 --firmware 1.010 --user-presets Cu10,Pt50 "
                  "--timing-presets Ramp"));
    const CtlResult r = Ctl({"identify"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("model: V330A"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("class: 3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("serial: 4711"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("firmware: 1.0100"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("function: user2 (1001) \"Pt50\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("function: timing1 (2000) \"Ramp\""), std::string::npos) << r.out;
    const Lines lines = sim_->Lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 3), OpenLines(3));
    EXPECT_EQ(lines.back(), ":SYST:LOC");
}

// ----- Each setting puts the panel's lines on the wire. -----

struct SettingCase {
    const char* sim;
    int model;
    QStringList ctl;
    std::function<void()> panel;  // the operator's action on the open panel
    int readFirst;                // lines of a state read ctl makes before the setting
};

void ExpectSameAsPanel(CtlTest& t, std::unique_ptr<simtest::SimFixture>& sim,
                       const SettingCase& c) {
    SCOPED_TRACE(std::string(c.sim) + " / " + c.ctl.join(' ').toStdString());
    // The panel: opened, then the operator's action and its refresh.
    sim.reset();
    sim = StartDecade(Args(c.sim));
    ShowFreshPanel();
    OpenSerial();
    ASSERT_EQ(connected, 1);
    sim->ClearTranscript();
    std::string reply;
    c.panel();
    Communic(0, "*IDN?", reply);  // every line of the action has arrived
    Lines panel = sim->Lines();
    ASSERT_FALSE(panel.empty());
    panel.pop_back();
    CloseCommunic();
    // ombrastel-ctl on a decade started alike.
    sim.reset();
    sim = StartDecade(Args(c.sim));
    const CtlResult r = Ctl(c.ctl);
    EXPECT_EQ(r.status, 0) << r.err;
    const Lines lines = sim->Lines();
    const Lines open = OpenLines(c.model);
    ASSERT_GE(lines.size(), open.size() + static_cast<std::size_t>(c.readFirst) + 1);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 3), open);
    EXPECT_EQ(lines.back(), Text(decade::ProfileOf(c.model).local.text));
    const Lines setting(lines.begin() + 3 + c.readFirst, lines.end() - 1);
    EXPECT_EQ(setting, panel);
    (void)t;
}

TEST_F(CtlTest, EverySettingOfEveryClassSendsThePanelsLines) {
    const std::vector<SettingCase> cases = {
        {"--model V212", 2, {"set", "2.5"}, [] { Type(VALUE, "2.5"); }, 0},
        {"--model V212", 2, {"function", "pt385-90"}, [] { Choose(FUNCTION, 3); }, 0},
        {"--model V212 --function 2", 2, {"unit", "F"}, [] { Choose(UNIT, 1); }, 0},
        {"--model V212 --function 2", 2, {"r0", "100.01"}, [] { Type(RNULA, "100.01"); }, 0},
        {"--model V212", 2, {"threshold", "300"}, [] { Type(THRESHOLD, "300"); }, 0},
        {"--model V210", 1, {"function", "short"}, [] { Choose(FUNCTION, 9); }, 0},
        {"--model V330A", 3, {"set", "1.5k"}, [] { Type(VALUE, "1500"); }, 0},
        {"--model V330A", 3, {"function", "nickel"}, [] { Choose(FUNCTION, 7); }, 0},
        {"--model V330A --function 1", 3, {"unit", "K"}, [] { Choose(UNIT, 2); }, 0},
        {"--model V330A", 3, {"output", "on"}, [] { Press(CMD_OUTPUT); }, 0},
        {"--model V330A", 3, {"short", "on"}, [] { Press(CMD_SHORT); }, 0},
        {"--model V150 --value 4.7e-8", 4, {"set", "22n"}, [] { Type(VALUE, "22"); }, 0},
        {"--model V150", 4, {"ground", "on"}, [] { Press(CMD_GND); }, 0},
        {"--model V150", 4, {"output", "on"}, [] { Press(CMD_OUTPUT); }, 0},
        {"--model V151 --output 1 --value 4.7e-8", 5, {"set", "22n"}, [] { Type(VALUE, "22"); }, 2},
        {"--model V151 --output 1 --value 4.7e-8", 5, {"output", "off"}, [] { Press(CMD_OUTPUT); }, 2},
        {"--model V151", 5, {"ground", "on"}, [] { Press(CMD_GND); }, 0},
        {"--model V211 --function 1", 6, {"set", "-50"}, [] { Type(VALUE, "-50"); }, 0},
        {"--model V211 --function 1", 6, {"standard", "us-jis"}, [] { Choose(RING_STANDARD, 1); }, 0},
        {"--model V211 --function 1", 6, {"scale", "ipts68"}, [] { Choose(RING_SCALE, 1); }, 0},
        {"--model V211", 6, {"function", "pt1000"}, [] { Choose(FUNCTION, 3003); }, 0},
        {"--model V090", 7, {"set", "12.5k"}, [] { Type(VALUE, "12500"); }, 5},
        {"--model V090", 7, {"short", "on"}, [] { Press(CMD_SHORT); }, 0},
        {"--model V090", 7, {"ground", "on"}, [] { Press(CMD_GND); }, 0},
        {"--model V090", 7, {"output", "on"}, [] { Press(CMD_OUTPUT); }, 0},
    };
    for (const SettingCase& c : cases) ExpectSameAsPanel(*this, sim_, c);
}

// ----- GPIB: the same lines through the stand-in library. -----

TEST_F(CtlTest, OverGpibEachClassReadsItsStateAndASettingSendsThePanelsLines) {
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.args);
        const simtest::GpibSim gpib(Args(c.args));
        const CtlResult r = Ctl({"--gpib", "5", "state"});
        EXPECT_EQ(r.status, 0) << r.err;
        Lines expected = {"*IDN?", "*IDN?"};
        if (decade::ProfileOf(c.model).remoteOverGpib) {
            expected.push_back(Text(decade::ProfileOf(c.model).remote.text));
        }
        EXPECT_EQ(gpib.Commands(), expected + c.refresh);
        const Lines calls = gpib.Lines();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(), "<ibonl 0>");  // ibloc then ibonl: back to local
    }
    // A value on the V212 over GPIB: the panel's lines after the open.
    Lines panel;
    {
        const simtest::GpibSim gpib(Args("--model V212"));
        ShowFreshPanel();
        OpenGpib(5);
        ASSERT_EQ(connected, 1);
        const std::size_t before = gpib.Commands().size();
        Type(VALUE, "47");
        const Lines all = gpib.Commands();
        panel.assign(all.begin() + static_cast<long>(before), all.end());
        CloseCommunic();
    }
    const simtest::GpibSim gpib(Args("--model V212"));
    const CtlResult r = Ctl({"--gpib", "5", "set", "47"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(gpib.Commands(), Lines({"*IDN?", "*IDN?"}) + panel);
    EXPECT_EQ(panel.front(), "A 47");
}

// ----- Exit statuses. -----

TEST_F(CtlTest, RefusalSilenceAndALinkGoneGiveTheirExitStatusesAndTheLocalCommand) {
    StartSim(Args("--model V212 --refuse A"));
    CtlResult r = Ctl({"set", "2.5k"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("refused"), std::string::npos) << r.err;
    EXPECT_EQ(sim_->Lines(), OpenLines(2) + Lines{"A 2500"} + kRefresh12 + LocalLine(2));

    StartSim(Args("--model V330A"));
    r = Ctl({"threshold", "5"});  // a V330 has no threshold: nothing of it goes out
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(sim_->Lines(), OpenLines(3) + LocalLine(3));

    StartSim(Args("--model V212 --silent"));
    r = Ctl({"set", "100"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(sim_->Lines().front(), "*IDN?");

    // A decade that stops answering after the open: the setting's sequence stops at the
    // first silent exchange, the local command still goes out.
    StartSim(Args("--model V212 --silent-after 3"));
    r = Ctl({"--json", "set", "100"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(sim_->Lines(), OpenLines(2) + Lines{"A 100"} + LocalLine(2));
    EXPECT_NE(r.out.find("\"status\":3"), std::string::npos) << r.out;

    StartSim(Args("--model V212 --drop-after 3"));
    r = Ctl({"set", "100"});
    EXPECT_EQ(r.status, 3) << r.err;

    r = Ctl({"--port", "COM9", "state"});  // no com9 link, no /dev/ttyS8 here
    EXPECT_EQ(r.status, 3) << r.err;
}

TEST_F(CtlTest, UsageErrorsExitWithTwoAndSendNothing) {
    StartSim(Args("--model V212"));
    for (const QStringList& args :
         {QStringList{"set", "2.5x"}, QStringList{"set"}, QStringList{"frobnicate"},
          QStringList{"output", "maybe"}, QStringList{"unit", "R"}, QStringList{"function", "pt9999"},
          QStringList{"--gpib", "31", "state"}, QStringList{"--port", "COM1", "--gpib", "3", "state"},
          QStringList{"run", "missing.csv"}, QStringList{"state", "--settings", "/nonexistent"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        EXPECT_EQ(Ctl(args).status, 2);
    }
    EXPECT_TRUE(sim_->Lines().empty());
    const CtlResult help = Ctl({"run", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--repeat"), std::string::npos) << help.out;
}

// ----- The link from Ombrastel.ini and --port. -----

TEST_F(CtlTest, LinkComesFromTheSettingsFolderOrFromPort) {
    StartSim(Args("--model V212"));
    // The decade is linked as com1 in this folder; a settings folder elsewhere names COM4,
    // which is linked there to the same terminal.
    QDir other(QDir::currentPath() + "/bench");
    ASSERT_TRUE(other.mkpath("."));
    ASSERT_TRUE(QFile::link(QFileInfo(QString::fromStdString(sim_->linkPath())).canonicalFilePath(), other.filePath("com4")));
    QFile ini(other.filePath("Ombrastel.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("Language = 3\nType = 0\nAddress = 0\nCom = 4\nRate = 9600\n");
    ini.close();
    EXPECT_EQ(Ctl({"--settings", other.path(), "state"}).status, 0);
    EXPECT_EQ(Ctl(QStringList{"--port", QFileInfo(QString::fromStdString(sim_->linkPath())).canonicalFilePath(), "state"}).status, 0);
    EXPECT_EQ(sim_->Lines(), OpenLines(2) + kRefresh12 + LocalLine(2) + OpenLines(2) +
                                 kRefresh12 + LocalLine(2));
}

// Every form of a link address that --port takes reaches the same decade; a malformed one
// or one out of range is a usage error with its reason, and nothing is sent; a link that
// fails names the device the address gave.
TEST_F(CtlTest, PortTakesEveryLinkAddressFormAndRefusesBadOnesWithTheirReason) {
    StartSim(Args("--model V212"));
    const simtest::GpibSim gpib(Args("--model V212"));
    const QString pty = QFileInfo(QString::fromStdString(sim_->linkPath())).canonicalFilePath();
    const struct {
        QString port;
        bool overGpib;
    } reached[] = {
        {"COM1", false},   {"com1", false},           {"ASRL1::INSTR", false},
        {"asrl1", false},  {"ASRL" + pty + "::INSTR", false}, {pty, false},
        {"gpib:5", true},  {"GPIB0::5::INSTR", true}, {"gpib::5", true},
    };
    for (const auto& c : reached) {
        SCOPED_TRACE(c.port.toStdString());
        sim_->ClearTranscript();
        const Lines before = gpib.Commands();
        const CtlResult r = Ctl({"--port", c.port, "state"});
        EXPECT_EQ(r.status, 0) << r.err;
        const Lines serial = sim_->Lines();
        const Lines after = gpib.Commands();
        const Lines overGpib(after.begin() + static_cast<long>(before.size()), after.end());
        // Over GPIB the bus switches the decade to remote and back: no command for it.
        const Lines expected = c.overGpib ? Lines{"*IDN?", "*IDN?"} + kRefresh12
                                          : OpenLines(2) + kRefresh12 + LocalLine(2);
        EXPECT_EQ(c.overGpib ? overGpib : serial, expected);
        EXPECT_TRUE((c.overGpib ? serial : overGpib).empty());
    }

    sim_->ClearTranscript();
    const struct {
        const char* port;
        const char* said;
    } refused[] = {
        {"COM0", "--port: COM0 is out of range (COM1 to COM256)"},
        {"COM1x", "--port: 'COM1x' is no COM port (COM1 to COM256)"},
        {"gpib:31", "--port: GPIB address 31 is out of range (0 to 30)"},
        {"GPIB1::5::INSTR", "--port: 'GPIB1::5::INSTR': GPIB board 1 is not supported (board 0 is)"},
        {"tcp:127.0.0.1:4001", "--port: 'tcp:127.0.0.1:4001': network links are not supported"},
        {"", "--port: no link named"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.port);
        const CtlResult r = Ctl({"--port", QString::fromLatin1(c.port), "state"});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(std::string("ombrastel-ctl: ") + c.said), std::string::npos) << r.err;
    }
    EXPECT_TRUE(sim_->Lines().empty());

    // A device by its path is named by that path when the link fails, not as COM1.
    CtlResult r = Ctl({"--port", "/dev/ombrastel-no-such-tty", "state"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("ombrastel-ctl: /dev/ombrastel-no-such-tty: no such device"), std::string::npos)
        << r.err;
    StartSim(Args("--model V212 --silent"));
    const QString silent = QFileInfo(QString::fromStdString(sim_->linkPath())).canonicalFilePath();
    r = Ctl({"--port", silent, "state"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("ombrastel-ctl: " + silent.toStdString() + ": no answer to \"*IDN?\""),
              std::string::npos)
        << r.err;
}

// ----- run. -----

TEST_F(CtlTest, RunSetsAndReadsBackEachRowAndStopsAtTheDecadesRefusal) {
    StartSim(Args("--model V212 --refuse \"A 300\""));
    WriteFile("steps.csv", "value,dwell\n100,0\n# a comment\n200,0.1\n300,0\n400,0\n");
    const CtlResult r = Ctl({"run", "steps.csv", "--json"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(sim_->Lines(), OpenLines(2) + kRefresh12 + Lines{"A 100"} + kRefresh12 +
                                 Lines{"A 200"} + kRefresh12 + Lines{"A 300"} + kRefresh12 +
                                 LocalLine(2));
    EXPECT_NE(r.out.find("{\"elapsed\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"read\":200,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"set\":100,"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("line 5"), std::string::npos) << r.err;

    // A function column and --repeat.
    StartSim(Args("--model V212"));
    WriteFile("sweep.csv", "-50,0,pt385-90\n0,0\n");
    const CtlResult sweep = Ctl({"run", "sweep.csv", "--repeat", "2"});
    EXPECT_EQ(sweep.status, 0) << sweep.err;
    EXPECT_EQ(sim_->Lines(), OpenLines(2) + kRefresh12 + Lines{"F2"} + kRefresh12 +
                                 Lines{"A -50"} + kRefresh12 + Lines{"A 0"} + kRefresh12 +
                                 Lines{"A -50"} + kRefresh12 + Lines{"A 0"} + kRefresh12 +
                                 LocalLine(2));
    EXPECT_NE(sweep.out.find("4/4"), std::string::npos) << sweep.out;
}

TEST_F(CtlTest, CtrlCDuringRunEndsAfterTheStepWithTheLocalCommand) {
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        StartSim(Args("--model V330A"));
        WriteFile("slow.csv", "100,30\n200,30\n");
        QProcess p;
        p.start(QStringLiteral(OMBRASTEL_CTL_PATH), {"run", "slow.csv", "--json"});
        ASSERT_TRUE(p.waitForStarted(5000));
        ASSERT_TRUE(p.waitForReadyRead(10000));  // the first step is done
        const auto sent = std::chrono::steady_clock::now();
        ::kill(static_cast<pid_t>(p.processId()), signal);
        ASSERT_TRUE(p.waitForFinished(5000));
        EXPECT_LT(SecondsSince(sent), 2.0);
        EXPECT_EQ(p.exitCode(), 130);
        const Lines lines = sim_->Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), ":SYST:LOC");
        for (const std::string& line : lines) EXPECT_EQ(line.find("200"), std::string::npos) << line;
    }
}

}  // namespace
