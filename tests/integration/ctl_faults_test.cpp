// ombrastel-ctl where a file, a signal, a log or a decade's text goes wrong: nothing is run
// in part, nothing hangs past a signal, the decade gets its local command, and what a
// decade sends reaches the terminal escaped.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "decade/profiles.h"
#include "support/ctl_fixture.h"
#include "support/link_fixture.h"

namespace {

class CtlFaultsTest : public SimLinkTest {};

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

bool Sent(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A row of the tables below: what the run file holds (or how it is made), the command, and
// what comes of it.
struct FileCase {
    const char* what;
    std::function<void()> make;  // writes "steps.csv"
    QStringList args;
    int status;
    const char* err;    // in standard error
    Lines wire;         // value lines that go out, in order; empty: nothing goes out at all
};

TEST_F(CtlFaultsTest, RunFilesAndValuesThatCannotRunWholeAreRefusedBeforeAnythingGoesOut) {
    const auto file = [](const QByteArray& text) { return [text] { WriteFile("steps.csv", text); }; };
    const QStringList run = {"run", "steps.csv"};
    const std::string nine = std::string("A 1") + std::string(44, '0');  // 45 digits: the most
    const std::vector<FileCase> cases = {
        {"a 100 MB file (2 of its rows ran, the row at 16 MiB cut)",
         [] {
             const int fd = ::open("steps.csv", O_WRONLY | O_CREAT | O_TRUNC, 0644);
             ASSERT_GE(fd, 0);
             ASSERT_EQ(::ftruncate(fd, 100000000), 0);
             ::close(fd);
         },
         run, 2, "steps.csv: the file is 100000000 bytes, more than the 16777216 bytes (16 MiB) a run file may hold", {}},
        {"a byte-order mark (the first step was lost)", file("\xEF\xBB\xBF" "100,0\n200,0\n"), run, 0, "",
         {"A 100", "A 200"}},
        {"a first row with a number is no header", file("1O0,30\n200,0\n"), run, 2,
         "steps.csv: line 1: \"1O0\" is no value", {}},
        {"a dwell too long to count (ran no dwell)", file("100,1e10\n"), run, 2,
         "steps.csv: line 1: the dwell \"1e10\" is longer than the 1000000000 s a step can take", {}},
        {"more steps than are counted (shown as 1/-2)", file("100,0\n200,0\n"),
         {"run", "steps.csv", "--repeat", "1500000000"}, 2,
         "--repeat 1500000000 times 2 rows is 3000000000 steps, more than the 2147483647 a run counts", {}},
        {"a row no command can carry", file("100,0\n1e308,0\n"), run, 2,
         "steps.csv: line 2: 1e+308 cannot be sent: a value goes out in plain decimals, without exponent, in at "
         "most 45 characters; this one needs 309", {}},
        {"no file name", [] {}, {"run", ""}, 2, "run needs a file name", {}},
        // A value that fits goes out and the decade says what it thinks of it; one that
        // does not was called refused although it was never sent.
        {"set 1e308", [] {}, {"set", "1e308"}, 2,
         "'1e308' cannot be sent: a value goes out in plain decimals, without exponent, in at most 45 "
         "characters; this one needs 309", {}},
        {"set -1e44", [] {}, {"set", "-1e44"}, 2, "this one needs 46", {}},
        {"set 1e44", [] {}, {"set", "1e44"}, 1, "the decade refused", {nine}},
        {"r0 1e308", [] {}, {"r0", "1e308"}, 2, "in at most 47 characters; this one needs 309", {}},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.what);
        StartSim(Args("--model V212"));
        c.make();
        const CtlResult r = Ctl(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        const Lines lines = sim_->Lines();
        if (c.wire.empty()) {
            EXPECT_TRUE(lines.empty()) << lines.size() << " lines went out";
            continue;
        }
        Lines values;
        for (const std::string& line : lines) {
            if (line.rfind("A ", 0) == 0) values.push_back(line);
        }
        EXPECT_EQ(values, c.wire);
        EXPECT_EQ(lines.back(), std::string(decade::ProfileOf(2).local.text));
    }
}

// A run file that is a FIFO: nobody writes yet, or the writer stalls within a row. A signal
// ends the reading at once; the decade never heard of the run.
TEST_F(CtlFaultsTest, ReadingAFifoRunFileEndsOnASignalWithinASecond) {
    StartSim(Args("--model V212"));
    ASSERT_EQ(::mkfifo("steps.csv", 0600), 0);
    for (const bool stalled : {false, true}) {
        for (const int signal : {SIGTERM, SIGINT}) {
            SCOPED_TRACE(std::string(stalled ? "stalled writer, " : "no writer, ") + strsignal(signal));
            const int writer = stalled ? ::open("steps.csv", O_RDWR) : -1;
            if (stalled) {
                ASSERT_EQ(::write(writer, "100,30\n2", 8), 8);
            }
            QProcess p;
            p.start(QStringLiteral(OMBRASTEL_CTL_PATH), {"run", "steps.csv"});
            ASSERT_TRUE(p.waitForStarted(5000));
            QTest::qWait(500);
            ASSERT_EQ(p.state(), QProcess::Running);
            const auto sent = std::chrono::steady_clock::now();
            ::kill(static_cast<pid_t>(p.processId()), signal);
            EXPECT_TRUE(p.waitForFinished(3000));
            EXPECT_LT(SecondsSince(sent), 1.0);
            EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(p.exitCode(), 130);
            EXPECT_NE(p.readAllStandardError().indexOf("interrupted while reading steps.csv; nothing was sent"), -1);
            if (p.state() != QProcess::NotRunning) {
                p.kill();
                p.waitForFinished(2000);
            }
            if (writer >= 0) ::close(writer);
        }
    }
    EXPECT_TRUE(sim_->Lines().empty());
}

// A --log that does not take the log: a FIFO whose reader never reads (the program never
// ended, deaf to SIGTERM), a full device (silent). Said once; the status says it when the
// command itself was done; the run still ends with the local command.
TEST_F(CtlFaultsTest, ALogThatIsNotTakenNeverHoldsTheEndAndIsSaidOnce) {
    QByteArray rows;
    for (int i = 1; i <= 400; ++i) rows += QByteArray::number(i) + ",0\n";
    const struct {
        const char* what;
        const char* log;  // "fifo": a FIFO opened for reading and never read
        QStringList args;
        int signal;  // sent 0.5 s after the start, 0: none
        int status;
        const char* said;
    } cases[] = {
        {"FIFO never read", "fifo", {"run", "steps.csv"}, 0, 4, "bytes of the log were not written"},
        {"FIFO never read, SIGTERM", "fifo", {"run", "steps.csv"}, SIGTERM, 130, "bytes of the log were not written"},
        {"/dev/full", "/dev/full", {"state"}, 0, 4, "cannot write: No space left on device; nothing more is logged"},
        {"/dev/full and a refusal", "/dev/full", {"set", "1e9"}, 0, 1, "cannot write: No space left on device"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StartSim(Args("--model V212 --refuse \"A 1000000000\""));
        WriteFile("steps.csv", rows);
        const bool fifo = std::string(c.log) == "fifo";
        if (fifo) {
            ASSERT_EQ(::mkfifo("link.log", 0600), 0);
        }
        const int reader = fifo ? ::open("link.log", O_RDONLY | O_NONBLOCK) : -1;
        if (fifo) {
            // The pipe is filled first, so the log's first entry already finds no room,
            // however few steps a slow (sanitizer) build gets through before the signal.
            const int filler = ::open("link.log", O_WRONLY | O_NONBLOCK);
            ASSERT_GE(filler, 0);
            const std::string block(4096, 'x');
            while (::write(filler, block.data(), block.size()) > 0) {
            }
            ::close(filler);
        }
        QProcess p;
        p.start(QStringLiteral(OMBRASTEL_CTL_PATH),
                QStringList{"--log", fifo ? QStringLiteral("link.log") : QString::fromLatin1(c.log)} + c.args);
        ASSERT_TRUE(p.waitForStarted(5000));
        if (c.signal != 0) {
            QTest::qWait(500);
            ::kill(static_cast<pid_t>(p.processId()), c.signal);
        }
        const auto ending = std::chrono::steady_clock::now();
        EXPECT_TRUE(p.waitForFinished(30000));
        if (c.signal != 0) {
            EXPECT_LT(SecondsSince(ending), 2.5);
        }
        const std::string err = p.readAllStandardError().toStdString();
        EXPECT_EQ(p.exitCode(), c.status) << err;
        EXPECT_EQ(Count(err, "--log"), 1) << err;
        EXPECT_NE(err.find(c.said), std::string::npos) << err;
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(2000);
        }
        if (reader >= 0) ::close(reader);
        ::unlink("link.log");
        const Lines lines = sim_->Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), std::string(decade::ProfileOf(2).local.text));
    }
}

// A run that a signal ends, or whose output's reader goes away (SIGPIPE ended the program
// at once): the local command still goes out, and the port closes 0.5 s after it.
TEST_F(CtlFaultsTest, SignalsAndAGoneReaderStillEndWithTheLocalCommandAndItsWait) {
    const struct {
        const char* what;
        int signal;          // sent once the first step is done; 0: the reader goes instead
        QStringList args;
        const char* never;   // a value line that must not go out
        int status;
    } cases[] = {
        {"SIGINT", SIGINT, {"run", "slow.csv"}, "A 200", 130},
        {"SIGTERM", SIGTERM, {"run", "slow.csv"}, "A 200", 130},
        {"SIGHUP (the terminal closed)", SIGHUP, {"run", "slow.csv"}, "A 200", 130},
        {"run | head -c 1", 0, {"run", "quick.csv"}, "A 400", 130},
        {"state | true", 0, {"state"}, "", -1},  // 0 or 130, whichever way the race goes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StartSim(Args("--model V330A"));
        WriteFile("slow.csv", "100,30\n200,30\n");
        WriteFile("quick.csv", "100,0\n200,0.4\n300,0.4\n400,0\n");
        QProcess p;
        if (c.signal != 0) {
            p.start(QStringLiteral(OMBRASTEL_CTL_PATH), c.args + QStringList{"--json"});
        } else {
            // The shell keeps the status of the program, not of the pipe's reader.
            const QString reader = c.args.first() == "run" ? "head -c 1 >/dev/null" : "true";
            p.start("bash", QStringList{"-c", QStringLiteral("\"$0\" \"$@\" | %1; exit ${PIPESTATUS[0]}").arg(reader),
                                        QStringLiteral(OMBRASTEL_CTL_PATH)} +
                                c.args);
        }
        ASSERT_TRUE(p.waitForStarted(5000));
        auto sent = std::chrono::steady_clock::now();
        if (c.signal != 0) {
            ASSERT_TRUE(p.waitForReadyRead(10000));  // the first step is done
            sent = std::chrono::steady_clock::now();
            ::kill(static_cast<pid_t>(p.processId()), c.signal);
        }
        ASSERT_TRUE(p.waitForFinished(10000));
        const double took = SecondsSince(sent);
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        if (c.status >= 0) {
            EXPECT_EQ(p.exitCode(), c.status);
        } else {
            EXPECT_TRUE(p.exitCode() == 0 || p.exitCode() == 130) << p.exitCode();
        }
        if (c.signal != 0) {
            EXPECT_GE(took, 0.5) << "the wait between the local command and the close";
            EXPECT_LT(took, 2.0);
        }
        const Lines lines = sim_->Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), ":SYST:LOC");
        if (*c.never != '\0') {
            EXPECT_FALSE(Sent(lines, c.never));
        }
    }
}

// Names, units and the identity from a decade that would clear the screen, set the title
// or fill the clipboard: escaped as the link log writes them in plain output and on
// standard error, left as they are (valid JSON) with --json.
TEST_F(CtlFaultsTest, TextFromADecadeReachesTheTerminalEscaped) {
    const std::string name = "\x1B]52;c;cHduZWQ=\x07Pt\x1B[2J";
    StartSim({"--model", "V330A", "--user-presets", "Pt50", "--function", "7", "--reply",
              "UFUN:CURV:PRES1:NAME?=\"\\x1B]52;c;cHduZWQ=\\x07Pt\\x1B[2J\"\\r\\n", "--reply",
              "UFUN:CURV:PRES1:UNIT?=\"\\x1B]0;t\\x07\"\\r\\n"});
    const struct {
        QStringList args;
        const char* shown;  // in standard output
    } plain[] = {
        {{"identify"}, "function: user1 (1000) \"\\x1B]52;c;cHduZWQ=\\x07Pt\\x1B[2J\""},
        {{"state"}, "value: 25.000 \\x1B]0;t\\x07"},
    };
    for (const auto& c : plain) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CtlResult r = Ctl(c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(c.shown), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find_first_of("\x1B\x07"), std::string::npos);
    }
    const CtlResult json = Ctl({"identify", "--json"});
    EXPECT_EQ(json.status, 0) << json.err;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json.out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out;
    const QJsonObject preset = doc.object()["functions"].toArray().last().toObject();
    EXPECT_EQ(preset["preset"].toString().toStdString(), name) << "the reply's quotes are no part of it";
    EXPECT_EQ(preset["shown"].toString().toStdString(), "User function \"" + name + "\"");

    // An identity reply that names no decade is said with the reply, escaped.
    StartSim({"--model", "V212", "--reply", "*IDN?=SIMLAB\\x1B]0;owned\\x07\\x1B[2J\\r\\n"});
    const CtlResult unknown = Ctl({"state"});
    EXPECT_EQ(unknown.status, 3);
    EXPECT_NE(unknown.err.find("the identity reply \"SIMLAB\\x1B]0;owned\\x07\\x1B[2J\\r\" names no known decade"),
              std::string::npos)
        << unknown.err;
    EXPECT_EQ(unknown.err.find_first_of("\x1B\x07"), std::string::npos);
}

// Every command, with its usage errors: no warning of the toolkit reaches the user.
TEST_F(CtlFaultsTest, NoToolkitWarningReachesTheUser) {
    StartSim(Args("--model V212"));
    WriteFile("steps.csv", "100,0\n");
    const QRegularExpression toolkit(QStringLiteral("QCommandLineParser|QFSFileEngine|\\bQ[A-Z][A-Za-z]+::|QObject|"
                                                    "option not defined"));
    const QStringList commands[] = {
        {"ports"},          {"identify"},         {"state"},          {"state", "--json"},
        {"set", "100"},     {"function", "pt385-90"}, {"unit", "C"},  {"standard", "iec751"},
        {"scale", "its90"}, {"r0", "100"},        {"threshold", "5"}, {"output", "on"},
        {"short", "on"},    {"ground", "on"},     {"run", "steps.csv"}, {"run", "steps.csv", "--repeat", "2"},
        {"run", ""},        {"run", "missing.csv"}, {"run", "."},     {"state", "--repeat", "2"},
        {"--help"},         {"run", "--help"},    {"--version"},      {"frobnicate"},
        {"--log", "", "state"},
    };
    for (const QStringList& args : commands) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CtlResult r = Ctl(args);
        EXPECT_GE(r.status, 0);
        EXPECT_FALSE(toolkit.match(QString::fromStdString(r.err)).hasMatch()) << r.err;
    }
}

// The function names the panel shows, in both languages and any letter case, select the
// function with the same line as its script name; identify names both.
TEST_F(CtlFaultsTest, FunctionTakesTheNamesThePanelShows) {
    for (const char* name : {"pt385-90", "Platinum Pt385 (90)", "Platina Pt385 (90)", "PLATINA PT385 (90)", "3"}) {
        SCOPED_TRACE(name);
        StartSim(Args("--model V212"));
        const CtlResult r = Ctl({"function", QString::fromUtf8(name)});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(Sent(sim_->Lines(), "F2"));
    }
    // Letter case beyond ASCII: the same lines as the script name.
    Lines wire[2];
    int i = 0;
    for (const char* name : {"pt-user", "PLATINA UŽIVATELSKÁ"}) {
        StartSim(Args("--model V212"));
        const CtlResult r = Ctl({"function", QString::fromUtf8(name)});
        EXPECT_EQ(r.status, 0) << name << r.err;
        wire[i++] = sim_->Lines();
    }
    EXPECT_EQ(wire[0], wire[1]);
    EXPECT_EQ(Ctl({"function", "Platina Pt385"}).status, 2);
    const CtlResult json = Ctl({"identify", "--json"});
    const QJsonArray functions = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object()["functions"].toArray();
    ASSERT_GE(functions.size(), 3);
    const QJsonObject f = functions[2].toObject();
    EXPECT_EQ(f["name"].toString(), "pt385-90");
    EXPECT_EQ(f["shown"].toString(), "Platinum Pt385 (90)");
    EXPECT_EQ(f["shown_cs"].toString(), "Platina Pt385 (90)");
}

}  // namespace
