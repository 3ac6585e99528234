// The control handlers driven as an operator drives them: typing into the number and text
// fields, choosing ring items with the keyboard and pressing buttons on the real panel,
// with a simulated decade of each model class on a pseudo-terminal. What counts is the
// exact command lines on the wire, their order and waits, and the panel afterwards.
#include "app/handlers.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QTest>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/panel.h"
#include "app/shared_state.h"
#include "toolkit/ui.h"
#include "support/link_fixture.h"

namespace {

const Lines kRefresh2 = {"V?", "A?", "R?", "W?"};
const Lines kRefresh3 = {"V?", "A?", "R?", "OUTP?", "OUTP:SHOR?"};
const Lines kRefresh4 = {"F?", "CAP:DISP?", "OUTP?", "V?"};
const Lines kRefresh5 = {"A?", "V?"};
const Lines kRefresh6 = {"V?", "A?"};
const Lines kRefresh7 = {"F?", "RES:DISP?", "OUTP?", "OUTP:SHOR?", "OUTP:GRO?"};

// The wait after the relay and V151 output commands, less what the decade's time stamps
// can lag behind the write; and a gap well below it that still covers a pty round trip.
constexpr double kSettle = 0.18;
constexpr double kNoWait = 0.1;

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Sits between the panel and the simulated decade on a second pseudo-terminal and passes
// every byte through, except that it can write the decade's "Ok" replies as "oK" or hold
// back the next reply: two things a real decade line can bring that the simulator itself
// never sends.
class ReplyRelay {
  public:
    enum class Mode { Pass, SwapOkCase, DropNextReply };

    ReplyRelay(const std::string& decadePath, const std::string& linkPath)
        : decade_(decadePath), pty_(linkPath) {
        if (decade_.ok() && pty_.ok()) thread_ = std::thread([this] { Run(); });
    }
    ~ReplyRelay() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    ReplyRelay(const ReplyRelay&) = delete;
    ReplyRelay& operator=(const ReplyRelay&) = delete;

    bool ok() const { return thread_.joinable(); }
    void SetMode(Mode mode) { mode_ = mode; }

  private:
    void Run() {
        std::string pending;  // decade bytes not yet ended by LF
        char buffer[256];
        while (!stop_) {
            pollfd fds[2] = {{pty_.master(), POLLIN, 0}, {decade_.fd(), POLLIN, 0}};
            if (::poll(fds, 2, 20) <= 0) continue;
            if ((fds[0].revents & POLLIN) != 0) {
                const ssize_t n = ::read(pty_.master(), buffer, sizeof buffer);
                if (n > 0) decade_.Send(std::string_view(buffer, static_cast<std::size_t>(n)));
            }
            if ((fds[1].revents & POLLIN) != 0) {
                const ssize_t n = ::read(decade_.fd(), buffer, sizeof buffer);
                if (n > 0) pending.append(buffer, static_cast<std::size_t>(n));
                for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                    std::string line = pending.substr(0, end + 1);
                    pending.erase(0, end + 1);
                    Forward(line);
                }
            }
        }
    }
    void Forward(std::string line) {
        const Mode mode = mode_;
        if (mode == Mode::DropNextReply) {
            mode_ = Mode::Pass;
            return;
        }
        if (mode == Mode::SwapOkCase && line.rfind("Ok", 0) == 0) line.replace(0, 2, "oK");
        pty_.Write(line);
    }

    simtest::PlainClient decade_;
    LinkedPty pty_;
    std::atomic<bool> stop_{false};
    std::atomic<Mode> mode_{Mode::Pass};
    std::thread thread_;
};

// ---------------------------------------------------------------------------------------
// One decade per test suite, opened once through the COM toggle.
// ---------------------------------------------------------------------------------------

struct Bench {
    std::unique_ptr<simtest::SimFixture> sim;
    std::unique_ptr<ReplyRelay> relay;  // only where a case needs reply forms of its own
};

class HandlerTest : public testing::Test {
  protected:
    // Starts the decade, loads the panel and opens the link as the operator does.
    static void Open(const std::vector<std::string>& args, bool withRelay = false) {
        bench_ = std::make_unique<Bench>();
        bench_->sim = std::make_unique<simtest::SimFixture>(args);
        ASSERT_TRUE(bench_->sim->ok()) << bench_->sim->error();
        int port = 1;
        if (withRelay) {
            bench_->relay = std::make_unique<ReplyRelay>(bench_->sim->server().SlavePath(),
                                                         bench_->sim->folder() + "/com2");
            ASSERT_TRUE(bench_->relay->ok());
            port = 2;
        }
        ShowFreshPanel(3);
        MessageRecorder quiet;
        OpenSerial(port);
        ASSERT_EQ(connected, 1) << quiet.Texts();
    }
    static void TearDownTestSuite() {
        if (bench_ && connected != 0) ClickCom();
        bench_.reset();
    }

    void SetUp() override {
        ASSERT_TRUE(bench_ && connected == 1) << "the link of this suite did not open";
        language = 3;
        Sim().ClearTranscript();
    }

    static sim::PtyServer& Sim() { return bench_->sim->server(); }
    static Lines Wire() { return Sim().Lines(); }
    // Lines of a sequence that ends without a reply, once they have had time to arrive.
    static Lines WireAfterQuiet(std::size_t expected) {
        Sim().WaitForLines(expected, 1000);
        Pause(150);
        return Wire();
    }
    // Seconds between the first received line equal to line and the line after it.
    static double GapAfter(const std::string& line) {
        const std::vector<sim::Record> records = Sim().Transcript();
        for (std::size_t i = 0; i + 1 < records.size(); ++i) {
            std::string bytes = records[i].bytes;
            while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) {
                bytes.pop_back();
            }
            if (bytes == line) return records[i + 1].seconds - records[i].seconds;
        }
        ADD_FAILURE() << "no line after " << line;
        return -1.0;
    }
    // Chooses a function in the FUNCTION ring unless it is the one shown already.
    static void Select(int code) {
        if (Int(FUNCTION) != code) Choose(FUNCTION, code);
        ASSERT_EQ(Int(FUNCTION), code);
        Sim().ClearTranscript();
    }
    template <typename Fn>
    static auto Decade(Fn&& fn) {
        return Sim().WithEngine(std::forward<Fn>(fn));
    }

    MessageRecorder messages_;
    static std::unique_ptr<Bench> bench_;
};
std::unique_ptr<Bench> HandlerTest::bench_;

// The relay buttons of the classes without relays (hidden there) do nothing at all.
void ExpectRelayButtonsInert(sim::PtyServer& sim) {
    for (int button : {CMD_OUTPUT, CMD_GND, CMD_SHORT}) {
        EXPECT_EQ(Attr(button, ui::ATTR_VISIBLE), 0) << "button " << button;
    }
    OutputCB(panelHandle, CMD_OUTPUT, ui::EVENT_COMMIT, nullptr, 0, 0);
    GroundCB(panelHandle, CMD_GND, ui::EVENT_COMMIT, nullptr, 0, 0);
    ShortCB(panelHandle, CMD_SHORT, ui::EVENT_COMMIT, nullptr, 0, 0);
    Pause(150);
    EXPECT_EQ(sim.Lines(), Lines{});
}

// ---------------------------------------------------------------------------------------
// Class 1 (V210): no relays.
// ---------------------------------------------------------------------------------------

class V210Handlers : public HandlerTest {
  protected:
    static void SetUpTestSuite() { Open({"--model", "V210"}); }
};

TEST_F(V210Handlers, RelayButtonsSendNothing) {
    ExpectRelayButtonsInert(Sim());
}

// ---------------------------------------------------------------------------------------
// Class 2 (V212): threshold, R0 and an unscaled value; reached through the reply relay.
// ---------------------------------------------------------------------------------------

class V212Handlers : public HandlerTest {
  protected:
    static void SetUpTestSuite() {
        Open({"--model", "V212", "--function", "0", "--value", "1500"}, true);
    }
    void TearDown() override { bench_->relay->SetMode(ReplyRelay::Mode::Pass); }
};

TEST_F(V212Handlers, ThresholdSendsWAndRefreshes) {
    Type(THRESHOLD, "250");
    EXPECT_EQ(Wire(), (Lines{"W 250"} + kRefresh2));
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_EQ(Decade([](sim::Engine& e) { return e.state().threshold; }), 250);
    EXPECT_EQ(Int(THRESHOLD), 250);
}

TEST_F(V212Handlers, ThresholdAcceptsOkInAnyLetterCase) {
    bench_->relay->SetMode(ReplyRelay::Mode::SwapOkCase);
    Type(THRESHOLD, "300");
    EXPECT_EQ(Wire(), (Lines{"W 300"} + kRefresh2));
    EXPECT_TRUE(messages_.messages().empty()) << messages_.messages()[0].second;
    EXPECT_EQ(Int(THRESHOLD), 300);
}

// No reply at all is no refusal: the sequence stops there (no refresh), says so once, and
// the link stays open, so the next setting goes through.
TEST_F(V212Handlers, ThresholdWithoutReplyEndsTheSequenceOnce) {
    bench_->relay->SetMode(ReplyRelay::Mode::DropNextReply);
    Type(THRESHOLD, "400");
    EXPECT_EQ(Wire(), (Lines{"W 400"}));
    EXPECT_EQ(messages_.messages(),
              (std::vector<MessageRecorder::Message>{{"Warning", "Communication failed."}}));
    EXPECT_EQ(connected, 1);
    messages_.clear();
    Sim().ClearTranscript();
    Type(THRESHOLD, "500");
    EXPECT_EQ(Wire(), (Lines{"W 500"} + kRefresh2));
    EXPECT_TRUE(messages_.messages().empty()) << messages_.Texts();
}

TEST_F(V212Handlers, R0GoesOutAtDoublePrecision) {
    Select(3);  // a platinum curve, where R0 can be entered
    Type(RNULA, "100.01");
    EXPECT_EQ(Wire(), (Lines{"R 100.01"} + kRefresh2));
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_EQ(Decade([](sim::Engine& e) { return e.state().r0; }), 100.01);
    EXPECT_EQ(Text(RNULA), "100.010000");
}

TEST_F(V212Handlers, R0WithoutNumberSendsNothingAndShowsTheDecade) {
    Select(3);
    Decade([](sim::Engine& e) { e.state().r0 = 110.5; });
    Type(RNULA, "abc");
    EXPECT_EQ(Wire(), kRefresh2);
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_EQ(Text(RNULA), "110.500000") << "the field shows what the decade holds";
}

TEST_F(V212Handlers, RefusedR0WarnsInCzech) {
    Select(3);
    language = 1;
    Type(RNULA, "0.5");  // below the decade's range: it answers Err
    EXPECT_EQ(Wire(), (Lines{"R 0.5"} + kRefresh2));
    EXPECT_EQ(messages_.messages(),
              (std::vector<MessageRecorder::Message>{{"Upozornění", "Hodnotu nelze nastavit!"}}));
}

TEST_F(V212Handlers, ValueIsScaledByThePrefixShown) {
    // The number typed under "Output [kOhm]" is kiloohms on every class, and the decade
    // then reports what was typed.
    Select(1);
    ASSERT_EQ(valueExponent, 3);
    Type(VALUE, "2.5");
    EXPECT_EQ(Wire(), (Lines{"A 2500"} + kRefresh2));
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_EQ(Label(VALUE), "Output [kOhm]");
    EXPECT_DOUBLE_EQ(Number(VALUE), 2.5);
}

TEST_F(V212Handlers, RelayButtonsSendNothing) {
    ExpectRelayButtonsInert(Sim());
}

// ---------------------------------------------------------------------------------------
// Class 3 (V330): scaled value, unit K, output and short, the "Run" button.
// ---------------------------------------------------------------------------------------

class V330Handlers : public HandlerTest {
  protected:
    static void SetUpTestSuite() {
        Open({"--model", "V330A", "--function", "0", "--value", "1000", "--timing-presets",
              "Ramp,Soak"});
    }
};

TEST_F(V330Handlers, ValueIsScaledByThePrefixShown) {
    Select(1);
    ASSERT_EQ(Label(VALUE), "Output [kOhm]");
    Type(VALUE, "2.5");
    EXPECT_EQ(Wire(), (Lines{"A 2500"} + kRefresh3));
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_DOUBLE_EQ(Number(VALUE), 2.5);
    EXPECT_EQ(Label(VALUE), "Output [kOhm]");
}

TEST_F(V330Handlers, UnitKSendsU2) {
    Select(2);  // a platinum curve: the unit ring becomes operable
    Choose(UNIT, 2);
    EXPECT_EQ(Wire(), (Lines{"U2"} + kRefresh3));
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_EQ(Int(UNIT), 2);
    EXPECT_EQ(Decade([](sim::Engine& e) { return e.state().unit; }), 2);
    Choose(UNIT, 0);
}

TEST_F(V330Handlers, OutputSwitchesWithoutWaiting) {
    Select(1);
    ASSERT_EQ(Int(LED_OUTPUT), 0);
    Press(CMD_OUTPUT);
    EXPECT_EQ(Wire(), (Lines{"OUTP 1"} + kRefresh3));
    EXPECT_EQ(Int(LED_OUTPUT), 1);

    Sim().ClearTranscript();
    Press(CMD_OUTPUT);
    EXPECT_EQ(Wire(), (Lines{"OUTP 0"} + kRefresh3));
    EXPECT_LT(GapAfter("OUTP 0"), kNoWait);
    EXPECT_EQ(Int(LED_OUTPUT), 0);
}

TEST_F(V330Handlers, ShortWaitsBeforeTheRefresh) {
    Select(1);
    ASSERT_EQ(Int(LED_SHORT), 0);
    Press(CMD_SHORT);
    EXPECT_EQ(Wire(), (Lines{"OUTP:SHOR 1"} + kRefresh3));
    EXPECT_GE(GapAfter("OUTP:SHOR 1"), kSettle);
    EXPECT_EQ(Int(LED_SHORT), 1);

    Sim().ClearTranscript();
    Press(CMD_SHORT);
    EXPECT_EQ(Wire(), (Lines{"OUTP:SHOR 0"} + kRefresh3));
    EXPECT_GE(GapAfter("OUTP:SHOR 0"), kSettle);
    EXPECT_EQ(Int(LED_SHORT), 0);
}

TEST_F(V330Handlers, GroundButtonSendsNothing) {
    EXPECT_EQ(Attr(CMD_GND, ui::ATTR_VISIBLE), 0);
    GroundCB(panelHandle, CMD_GND, ui::EVENT_COMMIT, nullptr, 0, 0);
    Pause(150);
    EXPECT_EQ(Wire(), Lines{});
}

TEST_F(V330Handlers, RunStartsTheTimingPresetOnly) {
    Select(2000);
    ASSERT_EQ(Label(CMD_OUTPUT), "Run");
    ASSERT_EQ(Attr(LED_OUTPUT, ui::ATTR_VISIBLE), 0);
    Press(CMD_OUTPUT);
    EXPECT_EQ(WireAfterQuiet(1), Lines{"OUTP 1"});
    EXPECT_EQ(Label(CMD_OUTPUT), "Run");
    Select(1);
}

// ---------------------------------------------------------------------------------------
// Class 4 (V150): ground with the settling wait.
// ---------------------------------------------------------------------------------------

class V150Handlers : public HandlerTest {
  protected:
    static void SetUpTestSuite() { Open({"--model", "V150", "--ground", "1"}); }
};

TEST_F(V150Handlers, GroundWaitsBeforeTheRefresh) {
    ASSERT_EQ(Int(LED_GND), 1);
    Press(CMD_GND);
    EXPECT_EQ(Wire(), (Lines{"G0"} + kRefresh4));
    EXPECT_GE(GapAfter("G0"), kSettle);
    EXPECT_EQ(Int(LED_GND), 0);

    Sim().ClearTranscript();
    Press(CMD_GND);
    EXPECT_EQ(Wire(), (Lines{"G1"} + kRefresh4));
    EXPECT_GE(GapAfter("G1"), kSettle);
    EXPECT_EQ(Int(LED_GND), 1);
}

// ---------------------------------------------------------------------------------------
// Class 5 (V151): the output is switched through the value.
// ---------------------------------------------------------------------------------------

class V151Handlers : public HandlerTest {
  protected:
    static void SetUpTestSuite() { Open({"--model", "V151", "--ground", "1"}); }
};

TEST_F(V151Handlers, OutputGoesThroughTheValue) {
    ASSERT_EQ(Int(LED_OUTPUT), 0);
    // Output off: the value stays on the panel and nothing but the refresh goes out.
    Type(VALUE, "470");
    EXPECT_EQ(Wire(), kRefresh5);
    EXPECT_EQ(valueExponent, -9);
    EXPECT_DOUBLE_EQ(Number(VALUE), 470.0);
    EXPECT_EQ(Label(VALUE), "Output [nF]");

    // The output button sends the shown value in farads, waits, refreshes.
    Sim().ClearTranscript();
    Press(CMD_OUTPUT);
    EXPECT_EQ(Wire(), (Lines{"A 0.00000047"} + kRefresh5));
    EXPECT_GE(GapAfter("A 0.00000047"), kSettle);
    EXPECT_EQ(Int(LED_OUTPUT), 1);
    EXPECT_DOUBLE_EQ(Number(VALUE), 470.0);

    // Output on: a value goes out at once, scaled, and must be acknowledged.
    Sim().ClearTranscript();
    Type(VALUE, "2200");
    EXPECT_EQ(Wire(), (Lines{"A 0.0000022"} + kRefresh5));
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_EQ(valueExponent, -6);
    EXPECT_DOUBLE_EQ(Number(VALUE), 2.2);

    // Lit LED: the button sends the value 0.
    Sim().ClearTranscript();
    Press(CMD_OUTPUT);
    EXPECT_EQ(Wire(), (Lines{"A 0"} + kRefresh5));
    EXPECT_GE(GapAfter("A 0"), kSettle);
    EXPECT_EQ(Int(LED_OUTPUT), 0);
    EXPECT_DOUBLE_EQ(Number(VALUE), 2.2);
}

TEST_F(V151Handlers, GroundWaitsBeforeTheRefresh) {
    ASSERT_EQ(Int(LED_GND), 1);
    Press(CMD_GND);
    EXPECT_EQ(Wire(), (Lines{"G0"} + kRefresh5));
    EXPECT_GE(GapAfter("G0"), kSettle);
    EXPECT_EQ(Int(LED_GND), 0);
}

// ---------------------------------------------------------------------------------------
// Class 6 (V211): standard and scale.
// ---------------------------------------------------------------------------------------

class V211Handlers : public HandlerTest {
  protected:
    static void SetUpTestSuite() { Open({"--model", "V211", "--function", "1", "--refuse", "T1"}); }
};

TEST_F(V211Handlers, StandardDimsTheScaleEvenWhenRefused) {
    ASSERT_EQ(Attr(RING_SCALE, ui::ATTR_DIMMED), 0);
    Choose(RING_STANDARD, 1);
    EXPECT_EQ(Wire(), (Lines{"T1"} + kRefresh6));
    EXPECT_EQ(messages_.messages(),
              (std::vector<MessageRecorder::Message>{{"Warning", "Could not set value!"}}));
    EXPECT_EQ(Attr(RING_SCALE, ui::ATTR_DIMMED), 1);
    EXPECT_EQ(Int(RING_STANDARD), 0) << "the refresh shows the standard the decade kept";

    // Back on IEC 751 (the ring shows it again, so step off and on like an operator).
    messages_.clear();
    Sim().ClearTranscript();
    Choose(RING_STANDARD, 0);
    EXPECT_EQ(Wire(), (Lines{"T0"} + kRefresh6));
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_EQ(Attr(RING_SCALE, ui::ATTR_DIMMED), 0);
}

TEST_F(V211Handlers, ScaleSendsS) {
    Choose(RING_SCALE, 1);
    EXPECT_EQ(Wire(), (Lines{"S1"} + kRefresh6));
    EXPECT_EQ(Int(RING_SCALE), 1);
    Sim().ClearTranscript();
    Choose(RING_SCALE, 0);
    EXPECT_EQ(Wire(), (Lines{"S0"} + kRefresh6));
    EXPECT_TRUE(messages_.messages().empty());
}

TEST_F(V211Handlers, RelayButtonsSendNothing) {
    ExpectRelayButtonsInert(Sim());
}

// ---------------------------------------------------------------------------------------
// Class 7 (V090): value through the error queue, ground without and short with the wait.
// ---------------------------------------------------------------------------------------

class V090Handlers : public HandlerTest {
  protected:
    static void SetUpTestSuite() {
        Open(
            {"--model", "V090", "--function", "0", "--value", "12500", "--timing-presets", "Ramp"});
    }
};

TEST_F(V090Handlers, ValueGoesThroughTheErrorQueue) {
    ASSERT_EQ(Int(FUNCTION), 1);
    ASSERT_EQ(Label(VALUE), "Output [kOhm]");
    Type(VALUE, "2.5");
    EXPECT_EQ(Wire(), (Lines{"*CLS", "RES 2500", "SYST:ERR?"} + kRefresh7));
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_EQ(Decade([](sim::Engine& e) { return e.ValueOf('0'); }), 2500.0);
    EXPECT_DOUBLE_EQ(Number(VALUE), 2.5);
}

TEST_F(V090Handlers, GroundSwitchesWithoutWaiting) {
    ASSERT_EQ(Int(LED_GND), 0);
    Press(CMD_GND);
    EXPECT_EQ(Wire(), (Lines{"OUTP:GRO 1"} + kRefresh7));
    EXPECT_LT(GapAfter("OUTP:GRO 1"), kNoWait);
    EXPECT_EQ(Int(LED_GND), 1);

    Sim().ClearTranscript();
    Press(CMD_GND);
    EXPECT_EQ(Wire(), (Lines{"OUTP:GRO 0"} + kRefresh7));
    EXPECT_LT(GapAfter("OUTP:GRO 0"), kNoWait);
    EXPECT_EQ(Int(LED_GND), 0);
}

TEST_F(V090Handlers, ShortWaitsBeforeTheRefresh) {
    Press(CMD_SHORT);
    EXPECT_EQ(Wire(), (Lines{"OUTP:SHOR 1"} + kRefresh7));
    EXPECT_GE(GapAfter("OUTP:SHOR 1"), kSettle);
    EXPECT_EQ(Int(LED_SHORT), 1);
    EXPECT_EQ(Attr(VALUE, ui::ATTR_DIMMED), 1);

    Sim().ClearTranscript();
    Press(CMD_SHORT);
    EXPECT_EQ(Wire(), (Lines{"OUTP:SHOR 0"} + kRefresh7));
    EXPECT_GE(GapAfter("OUTP:SHOR 0"), kSettle);
    EXPECT_EQ(Int(LED_SHORT), 0);
    EXPECT_EQ(Attr(VALUE, ui::ATTR_DIMMED), 0);
}

TEST_F(V090Handlers, ValueOfATimingPresetSendsNothing) {
    Select(2000);
    ASSERT_EQ(Attr(VALUE, ui::ATTR_DIMMED), 1) << "the operator cannot type here";
    ValueCB(panelHandle, VALUE, ui::EVENT_COMMIT, nullptr, 0, 0);
    // Only the refresh: the function (and which preset), no display query, the relays.
    EXPECT_EQ(Wire(), (Lines{"F?", "TIM:SEL?", "OUTP?", "OUTP:SHOR?", "OUTP:GRO?"}));
    EXPECT_TRUE(messages_.messages().empty());
    EXPECT_EQ(Label(CMD_OUTPUT), "Run");
    Select(1);
}

}  // namespace
