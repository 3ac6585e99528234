// The decade session on its own, with no panel and no widget: every class opened against a
// simulated decade, its state read into a plain value, each setting with the exact lines
// on the wire, a refusal, a silent decade and a link that is gone, over RS-232 and GPIB.
#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "decade/session.h"
#include "platform/link_thread.h"
#include "support/link_fixture.h"
#include "support/sim_fixture.h"

namespace {

using decade::DecadeSession;
using decade::DecadeState;
using decade::ModelClass;
using decade::Setting;

// A setting on the open session: what it does, what the decade gets, and a field of the
// state read afterwards with the value it must hold (no check when field is empty).
struct SettingCase {
    const char* name;
    std::function<bool(DecadeSession&)> act;  // true when it went as it should
    Lines wire;
    std::function<int(const DecadeState&)> field;
    int value = 0;
};

struct ClassCase {
    const char* args;
    ModelClass model;
    Lines open;  // after the two identity queries
    std::vector<int> functions;
    DecadeState state;  // function, value, exponent, unit and prefix after the open
    std::vector<SettingCase> settings;
};

bool Is(Setting expected, Setting got) {
    return expected == got;
}

// clang-format off
std::vector<ClassCase> Classes() {
    auto output = [](const DecadeState& s) { return s.output; };
    auto shorted = [](const DecadeState& s) { return s.shorted; };
    auto ground = [](const DecadeState& s) { return s.ground; };
    auto function = [](const DecadeState& s) { return s.function; };
    auto unit = [](const DecadeState& s) { return s.unit; };
    auto none = std::function<int(const DecadeState&)>();
    return {
        {"--model V210 --value 1234.5", ModelClass::V210,
         {":SYST:REM", "V?", "F5", "FS", "FO", "F0", "V?", "A?", "R?"},
         {1, 2, 3, 4, 6, 7, 9, 8},
         {.function = 1, .value = 1.2345, .decimals = 4, .exponent = 3, .unitText = "Ohm", .prefix = "k"},
         {{"value in the shown prefix", [](DecadeSession& s) { return Is(Setting::Taken, s.SetShownValue(2.5, 1, false)); },
           {"A 2500"}, none},
          {"unit", [](DecadeSession& s) { return s.SetUnit(1); }, {"U1"}, none},
          {"R0", [](DecadeSession& s) { return s.SetR0(100.01); }, {"R 100.01"}, none},
          {"nickel", [](DecadeSession& s) { return s.SelectFunction(7); }, {"F4"}, function, 7},
          {"no output relay", [](DecadeSession& s) { return Is(Setting::NotApplicable, s.SetOutput(true)); }, {}, none},
          {"no ground relay", [](DecadeSession& s) { return Is(Setting::NotApplicable, s.SetGround(true)); }, {}, none},
          {"no short relay", [](DecadeSession& s) { return Is(Setting::NotApplicable, s.SetShort(true)); }, {}, none}}},
        {"--model V212 --function 1 --value 25", ModelClass::V212,
         {":SYST:REM", "V?", "F5", "FS", "FO", "F1", "V?", "A?", "R?", "W?"},
         {1, 2, 3, 4, 6, 7, 9, 8},
         {.function = 2, .value = 25.0, .decimals = 3, .exponent = 0, .unitText = "°C", .prefix = ""},
         {{"threshold", [](DecadeSession& s) { return s.SetThreshold(250); }, {"W 250"},
           [](const DecadeState& s) { return s.threshold; }, 250},
          {"unit", [](DecadeSession& s) { return s.SetUnit(1); }, {"U1"}, unit, 1}}},
        {"--model V330A --user-presets 'Cal A' --timing-presets Ramp", ModelClass::V330,
         {":SYST:REM", "V?", "UFUN:CURV:PCO?", "UFUN:CURV:PRES1:NAME?", "TIM:PCO?",
          "TIM:PRES1:NAME?", "RES?", "RES 100.00E+00", "V?", "A?", "R?", "OUTP?", "OUTP:SHOR?"},
         {1, 2, 3, 4, 5, 6, 7, 1000, 2000},
         {.function = 1, .value = 100.0, .decimals = 2, .exponent = 0, .unitText = "Ohm", .prefix = ""},
         {{"output on", [](DecadeSession& s) { return Is(Setting::Taken, s.SetOutput(true)); }, {"OUTP 1"}, output, 1},
          {"short on", [](DecadeSession& s) { return Is(Setting::Taken, s.SetShort(true)); }, {"OUTP:SHOR 1"}, shorted, 1},
          {"Pt385 (68) by its value", [](DecadeSession& s) { return s.SelectFunction(2); },
           {"PLAT?", "PLAT 0.0000E+00", "PLAT:STAN PT385A"}, function, 2},
          {"timing preset, short off first", [](DecadeSession& s) { return s.SelectFunction(2000); },
           {"OUTP:SHOR 0", "TIM:SEL 1"}, function, 2000},
          {"no ground relay", [](DecadeSession& s) { return Is(Setting::NotApplicable, s.SetGround(true)); }, {}, none}}},
        {"--model V150 --value 47e-9", ModelClass::V150,
         {":SYST:REM", "F?", "UFUN:CURV:PCO?", "TIM:PCO?", "F0", "F?", "CAP:DISP?", "OUTP?", "V?"},
         {1},
         {.function = 1, .value = 47.0, .decimals = 3, .exponent = -9, .unitText = "F", .prefix = "n"},
         {{"ground on, letters", [](DecadeSession& s) { return Is(Setting::Taken, s.SetGround(true)); }, {"G1"}, ground, 1},
          {"output on", [](DecadeSession& s) { return Is(Setting::Taken, s.SetOutput(true)); }, {"OUTP 1"}, output, 1},
          {"value in farads", [](DecadeSession& s) { return Is(Setting::Taken, s.SetShownValue(22.0, 1, true)); },
           {"A 0.000000022"}, none}}},
        {"--model V151", ModelClass::V151,
         {"L0", "A?", "V?"},
         {1},
         {.function = 0, .value = 10.0, .decimals = 1, .exponent = -9, .unitText = "F", .prefix = "n"},
         {{"no value while the output is off", [](DecadeSession& s) { return Is(Setting::NotApplicable, s.SetShownValue(22.0, 1, false)); }, {}, none},
          {"output on through the value", [](DecadeSession& s) { return Is(Setting::Taken, s.SetOutput(true, 10.0)); },
           {"A 0.00000001"}, output, 1},
          {"ground on, letters", [](DecadeSession& s) { return Is(Setting::Taken, s.SetGround(true)); }, {"G1"}, ground, 1},
          {"output off", [](DecadeSession& s) { return Is(Setting::Taken, s.SetOutput(false)); }, {"A 0"}, output, 0}}},
        {"--model V211 --function 4 --value 25", ModelClass::V211,
         {":SYST:REM", "V?", "FS", "FO", "F4", "V?", "A?"},
         {1, 3000, 3001, 3002, 3003, 3004, 3005, 9, 8},
         {.function = 3003, .value = 25.0, .decimals = 3, .exponent = 0, .unitText = "°C", .prefix = ""},
         {{"standard", [](DecadeSession& s) { return s.SetStandard(1); }, {"T1"},
           [](const DecadeState& s) { return s.standard; }, 1},
          {"scale", [](DecadeSession& s) { return s.SetScale(1); }, {"S1"},
           [](const DecadeState& s) { return s.scale; }, 1},
          {"Ni100", [](DecadeSession& s) { return s.SelectFunction(3004); }, {"F5"}, function, 3004}}},
        {"--model V090 --value 12500 --timing-presets Pulse", ModelClass::V090,
         {":SYST:REM", "F?", "TIM:PCO?", "TIM:PRES1:NAME?", "RES?", "RES 12.500E+03", "F?",
          "RES:DISP?", "OUTP?", "OUTP:SHOR?", "OUTP:GRO?"},
         {1, 2000},
         {.function = 1, .value = 12.5, .decimals = 3, .exponent = 3, .unitText = "Ohm", .prefix = "k"},
         {{"value through the error queue", [](DecadeSession& s) { return Is(Setting::Taken, s.SetShownValue(2.5, 1, false)); },
           {"*CLS", "RES 2500", "SYST:ERR?"}, none},
          {"no value on a preset", [](DecadeSession& s) { return Is(Setting::NotApplicable, s.SetShownValue(2.5, 2000, false)); }, {}, none},
          {"ground on, words", [](DecadeSession& s) { return Is(Setting::Taken, s.SetGround(true)); }, {"OUTP:GRO 1"}, ground, 1},
          {"short on", [](DecadeSession& s) { return Is(Setting::Taken, s.SetShort(true)); }, {"OUTP:SHOR 1"}, shorted, 1},
          {"program start", [](DecadeSession& s) { return Is(Setting::Taken, s.StartProgram()); }, {"OUTP 1"}, output, 1}}},
    };
}
// clang-format on

const Lines kIdentity = {"*IDN?", "*IDN?"};

decade::LinkSettings Com1() {
    return {.address = links::ComPort{1}, .baudRate = 9600};
}

class DecadeSessionTest : public testing::Test {
  protected:
    void TearDown() override {
        session_.Close();
        sim_.reset();
        // The session made no widget, and needed none.
        EXPECT_TRUE(QApplication::allWidgets().isEmpty());
    }

    // Starts the decade and opens the session on it; the transcript is emptied.
    decade::Outcome Open(const std::string& args) {
        session_.Close();
        sim_.reset();
        sim_ = StartDecade(Args(args));
        const decade::Outcome outcome = session_.Open(Com1(), &state_, &functions_);
        opened_ = sim_->Lines();
        sim_->ClearTranscript();
        return outcome;
    }

    // The lines received since the last call, once at least count of them arrived (a line
    // that needs no reply may still be on its way).
    Lines Received(std::size_t count = 0) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        Lines lines = sim_->Lines();
        while (lines.size() < count && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            lines = sim_->Lines();
        }
        sim_->ClearTranscript();
        return lines;
    }

    DecadeSession session_;
    DecadeState state_;
    std::vector<decade::ListedFunction> functions_;
    Lines opened_;
    std::unique_ptr<simtest::SimFixture> sim_;
};

std::vector<int> Codes(const std::vector<decade::ListedFunction>& list) {
    std::vector<int> codes;
    for (const decade::ListedFunction& f : list) codes.push_back(f.code);
    return codes;
}

TEST_F(DecadeSessionTest, EveryClassOpensReadsItsStateAndCloses) {
    for (const ClassCase& c : Classes()) {
        SCOPED_TRACE(c.args);
        const decade::Outcome outcome = Open(c.args);
        ASSERT_EQ(outcome.outcome, LinkOutcome::Done) << outcome.reason;
        EXPECT_EQ(session_.Model(), c.model);
        EXPECT_EQ(opened_, kIdentity + c.open);
        EXPECT_EQ(Codes(functions_), c.functions);
        EXPECT_EQ(state_.function, c.state.function);
        EXPECT_NEAR(state_.value, c.state.value, 1e-9);
        EXPECT_EQ(state_.decimals, c.state.decimals);
        EXPECT_EQ(state_.exponent, c.state.exponent);
        EXPECT_EQ(session_.info.valueExponent, c.state.exponent);
        EXPECT_EQ(state_.unitText, c.state.unitText);
        EXPECT_EQ(state_.prefix, c.state.prefix);

        // Reading again asks the same as the open's last read, and finds the same.
        DecadeState again = state_;
        ASSERT_TRUE(session_.ReadState(again));
        EXPECT_EQ(again.function, state_.function);
        EXPECT_NEAR(again.value, state_.value, 1e-9);
        const Lines read = Received();
        ASSERT_LE(read.size(), opened_.size());
        EXPECT_EQ(read, Lines(opened_.end() - static_cast<long>(read.size()), opened_.end()));

        session_.Close();
        EXPECT_EQ(Received(1), Lines{c.model == ModelClass::V151 ? "L1" : ":SYST:LOC"});
        EXPECT_EQ(session_.link.connected, 0);
        EXPECT_EQ(session_.Model(), ModelClass::None);
    }
}

TEST_F(DecadeSessionTest, EachSettingPutsItsLinesOnTheWireAndIsReadBack) {
    for (const ClassCase& c : Classes()) {
        SCOPED_TRACE(c.args);
        ASSERT_EQ(Open(c.args).outcome, LinkOutcome::Done);
        for (const SettingCase& s : c.settings) {
            SCOPED_TRACE(s.name);
            session_.BeginSequence(true);
            EXPECT_TRUE(s.act(session_));
            DecadeState state = state_;
            ASSERT_TRUE(session_.ReadState(state));
            // The setting's lines come first, then the read that follows them.
            const Lines lines = Received(s.wire.size());
            ASSERT_GE(lines.size(), s.wire.size());
            EXPECT_EQ(Lines(lines.begin(), lines.begin() + static_cast<long>(s.wire.size())),
                      s.wire);
            EXPECT_EQ(session_.Result().outcome, LinkOutcome::Done) << session_.Result().reason;
            if (s.field) {
                EXPECT_EQ(s.field(state), s.value);
            }
            state_ = state;
        }
    }
}

TEST_F(DecadeSessionTest, RefusalIsSaidWithTheCommand) {
    ASSERT_EQ(Open("--model V212 --refuse U1,FS").outcome, LinkOutcome::Done);
    session_.BeginSequence(true);
    EXPECT_FALSE(session_.SetUnit(1));
    EXPECT_EQ(Received(), Lines{"U1"});
    EXPECT_EQ(session_.Result().outcome, LinkOutcome::Refused);
    EXPECT_EQ(session_.Result().reason, "the decade refused \"U1\"");

    session_.BeginSequence(true);
    EXPECT_FALSE(session_.SelectFunction(9));
    EXPECT_EQ(Received(), Lines{"FS"});  // no preset number after a refused selection
    EXPECT_EQ(session_.Result().outcome, LinkOutcome::Refused);

    // A value that scales to no number goes nowhere.
    session_.BeginSequence(true);
    session_.info.valueExponent = 3;
    EXPECT_FALSE(session_.SetValue(1e308, "A", true, false));
    EXPECT_EQ(session_.Result().outcome, LinkOutcome::Refused);
    EXPECT_EQ(Received(), Lines{});

    // The open itself does not count the probes the decade refused.
    ASSERT_EQ(Open("--model V211 --refuse FS,FO").outcome, LinkOutcome::Done);
    EXPECT_EQ(Codes(functions_), (std::vector<int>{1, 3000, 3001, 3002, 3003, 3004, 3005}));
}

TEST_F(DecadeSessionTest, SilentDecadeEndsTheSequenceOnce) {
    ASSERT_EQ(Open("--model V212 --silent-to U1").outcome, LinkOutcome::Done);
    session_.BeginSequence(true);
    EXPECT_FALSE(session_.SetUnit(1));
    DecadeState state = state_;
    EXPECT_FALSE(session_.ReadState(state));  // nothing more is sent
    EXPECT_EQ(Received(), Lines{"U1"});
    EXPECT_EQ(session_.Result().outcome, LinkOutcome::NoAnswer);
    EXPECT_NE(session_.Result().reason.find("no answer to \"U1\""), std::string::npos)
        << session_.Result().reason;
    EXPECT_EQ(session_.link.connected, 1);  // a silent decade keeps its link

    // The next sequence goes out again.
    session_.BeginSequence(true);
    EXPECT_TRUE(session_.ReadState(state));
    EXPECT_EQ(Received(), (Lines{"V?", "A?", "R?", "W?"}));
}

TEST_F(DecadeSessionTest, LinkGoneIsSaidAndTheLinkLetGo) {
    const std::string args = "--model V330A";
    ASSERT_EQ(Open(args).outcome, LinkOutcome::Done);
    const std::size_t exchanges = opened_.size();
    ASSERT_EQ(Open(args + " --drop-after " + std::to_string(exchanges)).outcome, LinkOutcome::Done);
    session_.BeginSequence(true);
    session_.SetUnit(2);
    DecadeState state = state_;
    EXPECT_FALSE(session_.ReadState(state));
    EXPECT_EQ(Received(2), (Lines{"U2", "<drop>"}));
    EXPECT_EQ(session_.Result().outcome, LinkOutcome::LinkGone);
    EXPECT_NE(session_.Result().reason.find("COM1"), std::string::npos) << session_.Result().reason;
    session_.Drop();
    EXPECT_EQ(session_.link.connected, 0);
    EXPECT_EQ(session_.Model(), ModelClass::None);
}

// A cancel (the operator's, or one from a signal handler, as a script's Ctrl-C) stops the
// exchanges of the sequence but not the close: the local command still goes out, its reply
// is read and the port closes only after the 0.5 s, also when the cancel comes during the
// close; afterwards the cancel is still there for the caller to act on.
TEST_F(DecadeSessionTest, ACancelStopsTheExchangesButNotTheClose) {
    enum class When { Before, FromSignal, DuringTheClose };
    struct Case {
        const char* args;
        When when;
        const char* local;
        double atLeast;  // seconds the close takes
    };
    const Case cases[] = {
        {"--model V212", When::Before, ":SYST:LOC", 0.5},
        {"--model V212", When::FromSignal, ":SYST:LOC", 0.5},
        {"--model V151", When::FromSignal, "L1", 0.5},
        // The reply to "L1" comes 0.9 s late and is still awaited.
        {"--model V151 --delay 900 --fault-commands L1", When::DuringTheClose, "L1", 1.4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.args) + " / " + std::to_string(static_cast<int>(c.when)));
        ASSERT_EQ(Open(c.args).outcome, LinkOutcome::Done);
        std::thread canceller;
        if (c.when == When::Before) linkthread::Cancel();
        if (c.when == When::FromSignal) linkthread::CancelFromSignal();
        if (c.when != When::DuringTheClose) {
            session_.BeginSequence(true);
            DecadeState state = state_;
            EXPECT_FALSE(session_.ReadState(state));
            EXPECT_EQ(Received(), Lines{}) << "the cancel stops the sequence's exchanges";
        } else {
            canceller = std::thread([] {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                linkthread::Cancel();
            });
        }
        const auto start = std::chrono::steady_clock::now();
        session_.Close();
        const double took =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (canceller.joinable()) canceller.join();
        EXPECT_EQ(Received(1), Lines{c.local});
        EXPECT_GE(took, c.atLeast);
        EXPECT_LT(took, c.atLeast + 0.5);
        EXPECT_EQ(session_.link.connected, 0);
        EXPECT_TRUE(linkthread::CancelRequested()) << "the caller still sees its cancel";
        linkthread::ClearCancel();
    }
}

TEST_F(DecadeSessionTest, FailedOpensSayWhy) {
    // No decade at the port: no com200 link and no /dev/ttyS199.
    ASSERT_FALSE(std::filesystem::exists("/dev/ttyS199"));
    decade::Outcome outcome = session_.Open({.address = links::ComPort{200}, .baudRate = 9600});
    EXPECT_EQ(outcome.outcome, LinkOutcome::NotOpened);
    EXPECT_FALSE(outcome.reason.empty());
    EXPECT_EQ(session_.link.connected, 0);

    // An identity no decade has.
    outcome = Open("--idn 'SIMLAB,X999,1,1.0'");
    EXPECT_EQ(outcome.outcome, LinkOutcome::NoDecade);
    EXPECT_EQ(outcome.reason, "the identity reply \"SIMLAB,X999,1,1.0\r\" names no known decade");
    EXPECT_EQ(session_.link.connected, 0);
    EXPECT_EQ(opened_, kIdentity + Lines{":SYST:LOC"});  // handed back to local
}

TEST_F(DecadeSessionTest, GpibSessionSpeaksTheSameDialect) {
    simtest::GpibSim gpib({"--model", "V090", "--value", "100"});
    const decade::Outcome outcome =
        session_.Open({.address = links::GpibDevice{5}}, &state_, &functions_);
    ASSERT_EQ(outcome.outcome, LinkOutcome::Done) << outcome.reason;
    EXPECT_EQ(session_.Model(), ModelClass::V090);
    EXPECT_NEAR(state_.value, 100.0, 1e-9);
    session_.BeginSequence(true);
    EXPECT_TRUE(Is(Setting::Taken, session_.SetGround(true)));
    ASSERT_TRUE(session_.ReadState(state_));
    EXPECT_EQ(state_.ground, 1);
    session_.Close();
    const Lines commands = gpib.Commands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(Lines(commands.begin(), commands.begin() + 2), kIdentity);
    // No remote command over GPIB; the ground command among the last exchanges.
    EXPECT_EQ(commands[2], "F?");
    EXPECT_NE(std::find(commands.begin(), commands.end(), "OUTP:GRO 1"), commands.end());
}

// A GPIB device that goes away during the open is let go: no local call on the bus.
TEST_F(DecadeSessionTest, GpibDeviceGoneDuringTheOpenIsLetGo) {
    simtest::GpibSim gpib({"--model", "V090", "--drop-after", "3"});
    const decade::Outcome outcome = session_.Open({.address = links::GpibDevice{5}});
    EXPECT_EQ(outcome.outcome, LinkOutcome::LinkGone) << outcome.reason;
    EXPECT_NE(outcome.reason.find("GPIB address 5"), std::string::npos) << outcome.reason;
    EXPECT_EQ(session_.link.connected, 0);
    EXPECT_EQ(session_.Model(), ModelClass::None);
    const Lines lines = gpib.Lines();
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "<ibloc>"), lines.end());
}

// The open tells its observer each step as it is done, in order, and a failure while the
// link is still held, before it is let go: what the panel shows while it opens rests on this.
class Recorder : public decade::OpenObserver {
  public:
    explicit Recorder(const DecadeSession& session) : session_(session) {}
    void Identified() override { Add("identified " + std::to_string(session_.info.model)); }
    void RemoteStarted() override { Add("remote"); }
    void FunctionsListed(const std::vector<decade::ListedFunction>& list) override {
        Add("listed " + std::to_string(list.size()));
    }
    void FunctionSelected(int function) override { Add("selected " + std::to_string(function)); }
    void ReadingState(DecadeState& shown) override {
        Add("reading " + std::to_string(shown.function));
    }
    void StateFound(const decade::StateRead& read) override {
        Add(read.value ? "found a value" : "found no value");
    }
    void OpenFailed(decade::OpenStep step, const decade::Outcome& result) override {
        std::ostringstream line;
        line << "failed " << static_cast<int>(step) << " " << static_cast<int>(result.outcome)
             << " while " << (session_.link.connected ? "open" : "closed");
        Add(line.str());
    }
    Lines events;

  private:
    void Add(const std::string& event) { events.push_back(event); }
    const DecadeSession& session_;
};

TEST_F(DecadeSessionTest, TheOpenTellsEachStepInOrder) {
    const auto failed = [](decade::OpenStep step, LinkOutcome outcome, const char* link) {
        return "failed " + std::to_string(static_cast<int>(step)) + " " +
               std::to_string(static_cast<int>(outcome)) + " while " + link;
    };
    struct Case {
        const char* name;
        const char* sim;  // empty: no decade started
        bool gpib;
        decade::LinkSettings settings;
        LinkOutcome outcome;
        Lines events;
    };
    // clang-format off
    const Case cases[] = {
        {"a class that selects its function again", "--model V212 --function 1 --value 25", false,
         Com1(), LinkOutcome::Done,
         {"identified 2", "remote", "listed 8", "selected 2", "reading 2", "found a value"}},
        {"a class of one function selects none", "--model V151", false, Com1(),
         LinkOutcome::Done, {"identified 5", "remote", "listed 1", "reading 0", "found a value"}},
        {"no port", "", false, {.address = links::ComPort{200}, .baudRate = 9600},
         LinkOutcome::NotOpened, {failed(decade::OpenStep::Link, LinkOutcome::NotOpened, "open")}},
        {"an identity no decade has", "--idn 'SIMLAB,X999,1,1.0'", false, Com1(),
         LinkOutcome::NoDecade,
         {"identified 0", failed(decade::OpenStep::Identity, LinkOutcome::NoDecade, "open")}},
        {"a GPIB device gone during the open", "", true, {.address = links::GpibDevice{5}},
         LinkOutcome::LinkGone,
         {"identified 7", "remote", "listed 1", "selected 1", "reading 1", "found no value",
          failed(decade::OpenStep::State, LinkOutcome::LinkGone, "open")}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        session_.Close();
        sim_.reset();
        std::unique_ptr<simtest::GpibSim> gpib;
        const Lines gone = {"--model", "V090", "--drop-after", "3"};
        if (c.gpib) gpib = std::make_unique<simtest::GpibSim>(gone);
        if (*c.sim != '\0') sim_ = StartDecade(Args(c.sim));
        Recorder recorder(session_);
        const decade::Outcome outcome = session_.Open(c.settings, recorder);
        EXPECT_EQ(outcome.outcome, c.outcome) << outcome.reason;
        EXPECT_EQ(recorder.events, c.events);
        EXPECT_EQ(session_.link.connected, c.outcome == LinkOutcome::Done ? 1 : 0);
    }
}

}  // namespace
