// The contract every transport keeps: one table of cases run over each kind of link, with
// decade-sim on the other end. The serial port talks to the simulator's pseudo-terminal
// through the real serial layer; GPIB goes through the real binding loading the
// simulator's stand-in library. The exchange (link/communic.h) runs over the transport the
// link address chose, as in the panel and ombrastel-ctl.
#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/communic.h"
#include "platform/gpib.h"
#include "platform/link_thread.h"
#include "support/link_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

const std::string kIdentity = "SIMLAB,V212,1234,1.000";

// A decade behind one kind of link, started with the simulator's options.
class Decade {
  public:
    virtual ~Decade() = default;
    virtual bool Ready(std::string& why) const = 0;
    // The command lines it received, in order.
    virtual Lines Commands() const = 0;
    // Goes away between exchanges (switched off, cable pulled).
    virtual void GoAway() = 0;
};

class PtyDecade final : public Decade {
  public:
    explicit PtyDecade(const Lines& args) : sim_(args) {}
    bool Ready(std::string& why) const override {
        why = sim_.error();
        return sim_.ok();
    }
    Lines Commands() const override {
        Lines commands;
        for (const std::string& line : sim_.Lines()) {
            if (line.empty() || line.front() != '<') commands.push_back(line);  // not "<drop>"
        }
        return commands;
    }
    void GoAway() override { sim_.server().Stop(); }  // the terminal's other end closes

  private:
    simtest::SimFixture sim_;
};

class GpibBusDecade final : public Decade {
  public:
    explicit GpibBusDecade(const Lines& args) : sim_(args) {}
    bool Ready(std::string&) const override { return gpib::LibraryAvailable(); }
    Lines Commands() const override { return sim_.Commands(); }
    // A device leaving the bus says nothing; the stand-in's --drop-after of the row makes it
    // gone for the next line addressed to it.
    void GoAway() override {}

  private:
    simtest::GpibSim sim_;
};

struct Partner {
    const char* name;
    links::LinkSettings settings;
    std::function<std::unique_ptr<Decade>(const Lines&)> start;
    // Options that bring the link's own time-out down to what a test may wait for, and
    // that time-out.
    Lines quickTimeout;
    double timeoutSeconds;
};

const Partner kPartners[] = {
    {"serial port", {links::ComPort{1}, 9600},
     [](const Lines& args) { return std::make_unique<PtyDecade>(args); }, {}, 1.0},
    {"GPIB library", {links::GpibDevice{5}, 9600},
     [](const Lines& args) { return std::make_unique<GpibBusDecade>(args); },
     {"--gpib-max-wait", "300"}, 0.3},
};

enum class Act {
    Query,          // one query
    QueryTwice,     // two queries: the second reply shows what the first one left behind
    GoneMidway,     // one query, then one to a partner that takes it and goes away
    GoneWhileIdle,  // one query, the partner goes away, then one more query
    Cancel,         // one query to a silent partner, cancelled cancelAtMs after it went out
};

struct Row {
    const char* name;
    Lines args;  // decade-sim's options beyond the model
    Act act;
    bool quickTimeout;  // the partner's short time-out applies
    // The reply where a reply ends at its line feed (which is not kept), and where the link
    // marks the reply's end itself (every byte is kept).
    std::string atLineFeed;
    std::string atMarkedEnd;
    bool lineFeedSent;  // the partner ends its reply with a line feed
    LinkOutcome outcome;
    // What the reason says after the link's name; empty: the reason only has to name it.
    std::string reasonAfterName;
    int cancelAtMs = 0;
};

const std::string kNoAnswer = ": no answer to \"*IDN?\" within the time-out";
const std::string kFifty = kIdentity + std::string(50 - kIdentity.size(), '#');

// clang-format off
const Row kRows[] = {
    {"CR LF",          {},                      Act::Query,         false, kIdentity + "\r", kIdentity + "\r\n", true,  LinkOutcome::Done,     ""},
    {"LF alone",       {"--line-end", "lf"},    Act::Query,         false, kIdentity,        kIdentity + "\n",   true,  LinkOutcome::Done,     ""},
    {"lone CR",        {"--line-end", "cr"},    Act::Query,         false, kIdentity + "\r", kIdentity + "\r",   false, LinkOutcome::Done,     ""},
    {"no line end",    {"--line-end", "none"},  Act::Query,         false, kIdentity,        kIdentity,          false, LinkOutcome::Done,     ""},
    {"50-byte cut",    {"--long-replies"},      Act::QueryTwice,    false, kFifty,           kFifty,             true,  LinkOutcome::Done,     ""},
    {"NUL cuts",       {"--nul-bytes"},         Act::Query,         false, "SIMLAB,V212",    "SIMLAB,V212",      true,  LinkOutcome::Done,     ""},
    {"time-out",       {"--silent"},            Act::Query,         true,  "",               "",                 false, LinkOutcome::NoAnswer, kNoAnswer},
    {"gone midway",    {"--drop-after", "1"},   Act::GoneMidway,    false, "",               "",                 false, LinkOutcome::LinkGone, ""},
    {"gone idle",      {"--drop-after", "1"},   Act::GoneWhileIdle, false, "",               "",                 false, LinkOutcome::LinkGone, ""},
    {"cancel in read", {"--silent"},            Act::Cancel,        false, "",               "",                 false, LinkOutcome::NoAnswer, kNoAnswer, 300},
    {"cancel at once", {"--silent"},            Act::Cancel,        false, "",               "",                 false, LinkOutcome::NoAnswer, kNoAnswer, 20},
};
// clang-format on

class TransportContract : public testing::Test {
  protected:
    void SetUp() override { linkthread::SetCancelHook([] { links::StopReads(); }); }
    void TearDown() override {
        linkthread::ClearCancel();
        linkthread::SetCancelHook({});
        gpib::CloseInstrDevs("v212");
    }
};

// One query of *IDN? as the panel's handlers send it: a sequence that stops at its first
// failure. Returns what Exchange returned; seconds is how long it took.
int Query(LinkState& link, std::string& reply, double& seconds) {
    const Clock::time_point start = Clock::now();
    const int sent = Exchange(link, 0, "*IDN?", "\r\n", reply);
    seconds = SecondsSince(start);
    return sent;
}

TEST_F(TransportContract, EveryTransportKeepsEveryRow) {
    for (const Partner& partner : kPartners) {
        for (const Row& row : kRows) {
            SCOPED_TRACE(std::string(partner.name) + ": " + row.name);
            Lines args = {"--model", "V212"};
            args.insert(args.end(), row.args.begin(), row.args.end());
            if (row.quickTimeout) {
                args.insert(args.end(), partner.quickTimeout.begin(), partner.quickTimeout.end());
            }
            const std::unique_ptr<Decade> decade = partner.start(args);
            std::string why;
            ASSERT_TRUE(decade->Ready(why)) << why;

            LinkState link;
            std::string reason;
            ASSERT_TRUE(OpenLink(link, partner.settings, reason)) << reason;
            links::Transport& transport = *link.transport;
            const bool stored = transport.MarksReplyEnd();
            const std::string name = transport.Describe();
            EXPECT_EQ(name, links::LinkName(partner.settings.address));
            BeginSequence(link, true);

            std::string reply = "stale";
            double seconds = 0.0;
            Lines expectedCommands = {"*IDN?"};
            if (row.act != Act::Query && row.act != Act::Cancel) {
                // A first exchange that goes through as any other.
                ASSERT_EQ(Query(link, reply, seconds), 1);
                const std::string plain = kIdentity + (stored ? "\r\n" : "\r");
                const std::string first = stored ? row.atMarkedEnd : row.atLineFeed;
                EXPECT_EQ(reply, row.act == Act::QueryTwice ? first : plain);
                expectedCommands.push_back("*IDN?");
            }
            bool watched = false;
            bool toldGone = false;
            if (row.act == Act::GoneWhileIdle) {
                watched = transport.WatchWhileIdle([&toldGone] { toldGone = true; });
                decade->GoAway();
                if (watched) {
                    // Told from the event loop of the link's thread, without an exchange.
                    EXPECT_TRUE(QTest::qWaitFor([&toldGone] { return toldGone; }, 2000));
                    EXPECT_TRUE(transport.Lost());
                    EXPECT_FALSE(transport.LostReason().empty());
                    expectedCommands.pop_back();  // the next query finds no one to take it
                }
            }
            std::thread canceller;
            if (row.act == Act::Cancel) {
                canceller = std::thread([&row] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(row.cancelAtMs));
                    linkthread::Cancel();
                });
            }
            const int sent = Query(link, reply, seconds);
            if (canceller.joinable()) canceller.join();

            EXPECT_EQ(sent, row.outcome == LinkOutcome::Done ? 1 : 0);
            EXPECT_EQ(reply, stored ? row.atMarkedEnd : row.atLineFeed);
            EXPECT_EQ(link.sequence.outcome, row.outcome) << link.sequence.reason;
            if (row.outcome != LinkOutcome::Done) {
                EXPECT_EQ(link.sequence.reason.rfind(name, 0), 0u) << link.sequence.reason;
                if (!row.reasonAfterName.empty()) {
                    EXPECT_EQ(link.sequence.reason, name + row.reasonAfterName);
                }
                // The rest of the sequence sends nothing, and leaves the reply alone.
                reply = "kept";
                EXPECT_EQ(Exchange(link, 0, "*IDN?", "\r\n", reply), 0);
                EXPECT_EQ(reply, "kept");
            }

            // How long the reply took: handed on at its end when the link marks it or a
            // line feed (or the 50th byte) ends it; otherwise at the link's time-out.
            if (row.act == Act::Cancel) {
                EXPECT_LT(seconds, row.cancelAtMs / 1000.0 + 0.35);
            } else if (row.outcome == LinkOutcome::LinkGone) {
                EXPECT_LT(seconds, 0.5);
            } else if (stored || row.lineFeedSent) {
                EXPECT_LT(seconds, 0.5);
            } else {
                EXPECT_GE(seconds, partner.timeoutSeconds * 0.9);
                EXPECT_LT(seconds, partner.timeoutSeconds + 0.5);
            }
            if (row.outcome != LinkOutcome::LinkGone) {
                EXPECT_FALSE(transport.Lost());
            }
            EXPECT_EQ(decade->Commands(), expectedCommands);

            linkthread::ClearCancel();
            if (row.outcome == LinkOutcome::LinkGone) {
                ReleaseLink(link);
            } else {
                CloseLink(link);
            }
        }
    }
}

}  // namespace
