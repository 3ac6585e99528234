// State refresh against a decade on a pseudo-terminal, over the real serial layer: the
// queries each class sends, what the panel shows afterwards, and what it keeps when a
// reply is short, empty, garbage or carries NUL bytes.
#include "app/refresh.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/panel.h"
#include "app/shared_state.h"
#include "app/enable_controls.h"
#include "platform/rs232.h"
#include "toolkit/ui.h"
#include "simulator/config.h"
#include "simulator/engine.h"
#include "support/link_fixture.h"

namespace {

// The function codes a FUNCTION ring may carry in these tests (a ring ignores a value
// that none of its items carries).
constexpr int kCodes[] = {1,    2,    3,    4,    5,    6,    7,    8,    9,   1000,
                          1001, 2000, 2001, 3000, 3001, 3002, 3003, 3004, 3005};

// The panel as after an open: loaded, FUNCTION filled, the link on COM1 of the given class.
class RefreshTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_GE(LoadMainPanelForTest(), 0);
        for (int code : kCodes) ui::InsertListItem(panelHandle, FUNCTION, -1, "f", code);
        ui::InsertListItem(panelHandle, UNIT, -1, "K", 2);
    }
    void TearDown() override {
        rs232::CloseCom(1);
        connected = 0;
    }
};

TEST_F(RefreshTest, Class1ResistanceInKiloohm) {
    auto sim = StartDecade({"--model", "V210", "--function", "0", "--value", "1234.5"});
    ConnectCom1(1);
    ASSERT_EQ(RefreshScreen(), 1);
    EXPECT_EQ(sim->Lines(), (Lines{"V?", "A?", "R?"}));
    EXPECT_EQ(Int(FUNCTION), 1);
    EXPECT_EQ(Int(UNIT), 0);
    EXPECT_NEAR(Number(VALUE), 1.2345, 1e-12);
    EXPECT_EQ(Attr(VALUE, ui::ATTR_PRECISION), 4);
    EXPECT_EQ(Label(VALUE), "Output [kOhm]");
    EXPECT_EQ(valueExponent, 3);
    EXPECT_EQ(Text(RNULA), "100.000000");
}

TEST_F(RefreshTest, Class2WithThresholdAndSensorCurve) {
    auto sim = StartDecade({"--model", "V212", "--function", "1", "--value", "25", "--unit", "1"});
    sim->server().WithEngine([](sim::Engine& e) {
        e.state().threshold = 250;
        e.state().r0 = 100.01;
        return 0;
    });
    ConnectCom1(2, 1);
    ASSERT_EQ(RefreshScreen(), 1);
    EXPECT_EQ(sim->Lines(), (Lines{"V?", "A?", "R?", "W?"}));
    EXPECT_EQ(Int(FUNCTION), 2);
    EXPECT_EQ(Int(UNIT), 1);
    EXPECT_NEAR(Number(VALUE), 77.0, 1e-9);
    EXPECT_EQ(Attr(VALUE, ui::ATTR_PRECISION), 3);
    EXPECT_EQ(Label(VALUE), "Output [°F]");
    EXPECT_EQ(valueExponent, 0);
    EXPECT_EQ(Text(RNULA), "100.010000");
    EXPECT_EQ(Int(THRESHOLD), 250);
}

TEST_F(RefreshTest, Class2PlainOhmAndNoThresholdQuery) {
    auto sim = StartDecade({"--model", "V212", "--function", "0", "--value", "100"});
    ConnectCom1(2, 0);
    ASSERT_EQ(RefreshScreen(), 1);
    EXPECT_EQ(sim->Lines(), (Lines{"V?", "A?", "R?"}));
    EXPECT_DOUBLE_EQ(Number(VALUE), 100.0);
    EXPECT_EQ(Attr(VALUE, ui::ATTR_PRECISION), 2);
    EXPECT_EQ(Label(VALUE), "Output [Ohm]");
    EXPECT_EQ(valueExponent, 0);
}

TEST_F(RefreshTest, Class3ResistanceAfterTimingPresetRestoresOutputRow) {
    auto sim = StartDecade({"--model", "V330", "--timing-presets", "Ramp", "--function", "0",
                            "--value", "2500", "--output", "1", "--unit", "2"});
    ConnectCom1(3);
    ui::SetCtrlVal(panelHandle, FUNCTION, 2000);
    EnableControls();  // last enabled for the timing preset: run button alone
    ASSERT_EQ(Attr(CMD_SHORT, ui::ATTR_VISIBLE), 0);

    ASSERT_EQ(RefreshScreen(), 1);
    EXPECT_EQ(sim->Lines(), (Lines{"V?", "A?", "R?", "OUTP?", "OUTP:SHOR?"}));
    EXPECT_EQ(Int(FUNCTION), 1);
    EXPECT_EQ(Int(UNIT), 2);
    EXPECT_NEAR(Number(VALUE), 2.5, 1e-12);
    EXPECT_EQ(Label(VALUE), "Output [kOhm]");
    EXPECT_EQ(Int(LED_OUTPUT), 1);
    EXPECT_EQ(Int(LED_SHORT), 0);
    EXPECT_EQ(Label(CMD_OUTPUT), "Output");
    EXPECT_EQ(Attr(CMD_OUTPUT, ui::ATTR_LEFT), 473);
    for (int control : {LED_OUTPUT, LED_SHORT, CMD_SHORT}) {
        EXPECT_EQ(Attr(control, ui::ATTR_VISIBLE), 1) << control;
    }
}

TEST_F(RefreshTest, Class3TimingPresetLeavesRunButtonAlone) {
    auto sim = StartDecade({"--model", "V330", "--timing-presets", "Ramp,Step", "--function", "8"});
    sim->server().WithEngine([](sim::Engine& e) { return e.state().timingSelected = 2; });
    ConnectCom1(3);
    ui::SetCtrlVal(panelHandle, FUNCTION, 1);
    EnableControls();
    ASSERT_EQ(RefreshScreen(), 1);
    EXPECT_EQ(sim->Lines(), (Lines{"V?", "TIM:SEL?", "A?", "R?", "OUTP?", "OUTP:SHOR?"}));
    EXPECT_EQ(Int(FUNCTION), 2001);
    EXPECT_EQ(Label(CMD_OUTPUT), "Run");
    EXPECT_EQ(Attr(CMD_OUTPUT, ui::ATTR_LEFT), 543);
    for (int control : {LED_OUTPUT, LED_SHORT, CMD_SHORT}) {
        EXPECT_EQ(Attr(control, ui::ATTR_VISIBLE), 0) << control;
    }
}

TEST_F(RefreshTest, Class4CapacitanceDisplayText) {
    auto sim = StartDecade({"--model", "V150", "--function", "0", "--value", "47e-9", "--ground",
                            "1", "--output", "1"});
    ConnectCom1(4);
    ASSERT_EQ(RefreshScreen(), 1);
    EXPECT_EQ(sim->Lines(), (Lines{"F?", "CAP:DISP?", "OUTP?", "V?"}));
    EXPECT_EQ(Int(FUNCTION), 1);
    EXPECT_NEAR(Number(VALUE), 47.0, 1e-9);  // as displayed, not scaled
    EXPECT_EQ(Attr(VALUE, ui::ATTR_PRECISION), 3);
    EXPECT_EQ(valueExponent, -9);
    EXPECT_EQ(Label(VALUE), "Output [nF]");
    EXPECT_EQ(Int(LED_OUTPUT), 1);
    EXPECT_EQ(Int(LED_GND), 1);
}

TEST_F(RefreshTest, Class4TimingPresetSendsNoDisplayQuery) {
    auto sim = StartDecade({"--model", "V150", "--timing-presets", "Ramp", "--function", "8"});
    ConnectCom1(4);
    ui::SetCtrlVal(panelHandle, VALUE, 3.25);
    ui::SetCtrlAttribute(panelHandle, VALUE, ui::ATTR_PRECISION, 2);
    ui::SetCtrlAttribute(panelHandle, VALUE, ui::ATTR_LABEL_TEXT, std::string("Output [uF]"));
    valueExponent = -6;
    ASSERT_EQ(RefreshScreen(), 1);
    EXPECT_EQ(sim->Lines(), (Lines{"F?", "TIM:SEL?", "OUTP?", "V?"}));
    EXPECT_EQ(Int(FUNCTION), 2000);
    EXPECT_DOUBLE_EQ(Number(VALUE), 3.25);
    EXPECT_EQ(Attr(VALUE, ui::ATTR_PRECISION), 2);
    EXPECT_EQ(Label(VALUE), "Output [uF]");
    EXPECT_EQ(valueExponent, -6);
}

TEST_F(RefreshTest, Class5ChoosesNanoOrMicroAndClampsWhileOff) {
    struct Case {
        const char* name;
        const char* options;  // after --model V151 --function 0
        double shownBefore;
        int exponentBefore;
        double shown;
        int precision;
        int exponent;
        int led;
        const char* label;
    };
    // clang-format off
    const Case cases[] = {
        // name              options                       before     shown  precision exponent LED label
        {"470 nF",           "--value 4.7e-07 --output 1",  0.0, -9, 470.0,    1, -9, 1, "Output [nF]"},
        {"2.2 uF",           "--value 2.2e-06 --output 1",  0.0, -9,   2.2,    4, -6, 1, "Output [uF]"},
        {"off keeps 10 nF",  "--value 2.2e-06",            10.0, -9,  10.0,    1, -9, 0, "Output [nF]"},
        {"off clamps 50 uF", "--value 2.2e-06",            50.0, -6,  12.2221, 4, -6, 0, "Output [uF]"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto sim = StartDecade(Args(std::string("--model V151 --function 0 ") + c.options));
        ConnectCom1(5);
        ui::SetCtrlVal(panelHandle, VALUE, c.shownBefore);
        ui::SetCtrlVal(panelHandle, FUNCTION, 9);
        valueExponent = c.exponentBefore;
        ASSERT_EQ(RefreshScreen(), 1);
        EXPECT_EQ(sim->Lines(), (Lines{"A?", "V?"}));
        EXPECT_NEAR(Number(VALUE), c.shown, 1e-9);
        EXPECT_EQ(Attr(VALUE, ui::ATTR_PRECISION), c.precision);
        EXPECT_EQ(valueExponent, c.exponent);
        EXPECT_EQ(Int(LED_OUTPUT), c.led);
        EXPECT_EQ(Label(VALUE), c.label);
        EXPECT_EQ(Int(FUNCTION), 9);  // class 5 has no function query
        rs232::CloseCom(1);
    }
}

TEST_F(RefreshTest, Class6SensorScaleAndStandard) {
    auto sim = StartDecade({"--model", "V211", "--function", "4", "--value", "25"});
    sim->server().WithEngine([](sim::Engine& e) {
        e.state().scale = 1;
        e.state().standard = 1;
        return 0;
    });
    ConnectCom1(6);
    ASSERT_EQ(RefreshScreen(), 1);
    EXPECT_EQ(sim->Lines(), (Lines{"V?", "A?"}));
    EXPECT_EQ(Int(FUNCTION), 3003);
    EXPECT_EQ(Int(RING_SCALE), 1);
    EXPECT_EQ(Int(RING_STANDARD), 1);
    EXPECT_NEAR(Number(VALUE), 25.0, 1e-9);
    EXPECT_EQ(Attr(VALUE, ui::ATTR_PRECISION), 3);
    EXPECT_EQ(Label(VALUE), "Output [°C]");
}

TEST_F(RefreshTest, Class7ResistanceShortedAndTimingPreset) {
    {
        auto sim = StartDecade({"--model", "V090", "--function", "0", "--value", "12500", "--short",
                                "1", "--ground", "1"});
        ConnectCom1(7);
        ASSERT_EQ(RefreshScreen(), 1);
        EXPECT_EQ(sim->Lines(), (Lines{"F?", "RES:DISP?", "OUTP?", "OUTP:SHOR?", "OUTP:GRO?"}));
        EXPECT_EQ(Int(FUNCTION), 1);
        EXPECT_NEAR(Number(VALUE), 12.5, 1e-12);
        EXPECT_EQ(valueExponent, 3);
        EXPECT_EQ(Label(VALUE), "Output [kOhm]");
        EXPECT_EQ(Int(LED_SHORT), 1);
        EXPECT_EQ(Int(LED_GND), 1);
        EXPECT_EQ(Attr(VALUE, ui::ATTR_DIMMED), 1);  // shorted: nothing to set
        EXPECT_EQ(Label(CMD_OUTPUT), "Output");
        EXPECT_EQ(Attr(LED_OUTPUT, ui::ATTR_VISIBLE), 1);
        rs232::CloseCom(1);
    }
    {
        auto sim = StartDecade({"--model", "V090", "--timing-presets", "Ramp", "--function", "1"});
        ConnectCom1(7);
        ASSERT_EQ(RefreshScreen(), 1);
        EXPECT_EQ(sim->Lines(), (Lines{"F?", "TIM:SEL?", "OUTP?", "OUTP:SHOR?", "OUTP:GRO?"}));
        EXPECT_EQ(Int(FUNCTION), 2000);
        EXPECT_EQ(Attr(VALUE, ui::ATTR_DIMMED), 1);
        EXPECT_EQ(Label(CMD_OUTPUT), "Run");
        EXPECT_EQ(Attr(LED_OUTPUT, ui::ATTR_VISIBLE), 0);
    }
}

// "100.000 Ohm" is ohms: the m of the unit word is no milli prefix.
TEST_F(RefreshTest, Class7OhmWithoutPrefixShowsOhmsInCzech) {
    LoadMainPanelForTest(1);
    for (int code : kCodes) ui::InsertListItem(panelHandle, FUNCTION, -1, "f", code);
    auto sim = StartDecade({"--model", "V090", "--function", "0", "--value", "100"});
    ConnectCom1(7);
    ASSERT_EQ(RefreshScreen(), 1);
    EXPECT_NEAR(Number(VALUE), 100.0, 1e-12);
    EXPECT_EQ(valueExponent, 0);
    EXPECT_EQ(Label(VALUE), "Výstup [Ohm]");
    EXPECT_EQ(Attr(VALUE, ui::ATTR_DIMMED), 0);
    EXPECT_EQ(Label(CMD_OUTPUT), "Výstup");
}

TEST_F(RefreshTest, NoLinkSendsNothingAndChangesNothing) {
    auto sim = StartDecade({"--model", "V212"});
    decadeModel = 2;
    connected = 0;
    ui::SetCtrlVal(panelHandle, VALUE, 7.5);
    valueExponent = 3;
    EXPECT_EQ(RefreshScreen(), 0);
    EXPECT_TRUE(sim->Lines().empty());
    EXPECT_DOUBLE_EQ(Number(VALUE), 7.5);
    EXPECT_EQ(valueExponent, 3);
    EXPECT_EQ(Label(VALUE), "Output");
}

// A decade whose replies the test chooses: the simulator engine answers every line, except
// the exchanges given a reply of their own (bytes sent as they stand, line end included).
class ScriptedDecade {
  public:
    explicit ScriptedDecade(const std::vector<std::string>& args) {
        std::string error;
        const std::optional<sim::Config> config = sim::ParseArgs(args, &error);
        if (!config) {
            ADD_FAILURE() << error;
            return;
        }
        engine_ = std::make_unique<sim::Engine>(*config);
        char pattern[] = "/tmp/ombrastel-refresh-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return;
        folder_ = pattern;
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_);
        pty_ = std::make_unique<LinkedPty>(folder_ + "/com1");
        if (pty_->ok()) thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedDecade() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        pty_.reset();
        if (!previous_.empty()) std::filesystem::current_path(previous_);
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }
    bool ok() const { return thread_.joinable(); }

    void SetReply(int exchange, std::string bytes) {
        std::lock_guard lock(mutex_);
        script_[exchange] = std::move(bytes);
    }
    Lines Received() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    sim::Engine& engine() { return *engine_; }

  private:
    void Serve() {
        std::string pending;
        while (!stop_) {
            pollfd in{pty_->master(), POLLIN, 0};
            if (::poll(&in, 1, 20) <= 0 || !(in.revents & POLLIN)) continue;
            char buffer[256];
            const ssize_t n = ::read(pty_->master(), buffer, sizeof buffer);
            if (n <= 0) continue;
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                Answer(line);
            }
        }
    }
    void Answer(const std::string& line) {
        std::string bytes;
        {
            std::lock_guard lock(mutex_);
            const int index = static_cast<int>(lines_.size());
            lines_.push_back(line);
            if (const auto it = script_.find(index); it != script_.end()) {
                bytes = it->second;
            } else if (const std::optional<std::string> reply = engine_->Handle(line)) {
                bytes = *reply + "\r\n";
            }
        }
        if (!pty_->Write(bytes)) ADD_FAILURE() << "pty write failed";
    }

    std::unique_ptr<sim::Engine> engine_;
    std::string folder_;
    std::filesystem::path previous_;
    std::unique_ptr<LinkedPty> pty_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::map<int, std::string> script_;
    Lines lines_;
};

struct ClassSetup {
    int model;
    std::vector<std::string> args;
};
const ClassSetup kClasses[] = {
    {1, {"--model", "V210", "--function", "0", "--value", "1234.5"}},
    {2, {"--model", "V212", "--function", "2", "--value", "21.5"}},
    {3, {"--model", "V330", "--timing-presets", "Ramp", "--function", "0", "--value", "2500"}},
    {3, {"--model", "V330", "--timing-presets", "Ramp", "--function", "8"}},
    {4, {"--model", "V150", "--function", "0", "--value", "47e-9"}},
    {4, {"--model", "V150", "--user-presets", "Curve", "--function", "7", "--value", "12"}},
    {5, {"--model", "V151", "--function", "0", "--value", "4.7e-07", "--output", "1"}},
    {6, {"--model", "V211", "--function", "1", "--value", "25"}},
    {7, {"--model", "V090", "--function", "0", "--value", "12500"}},
    {7, {"--model", "V090", "--timing-presets", "Ramp", "--function", "1"}},
};

std::string Garbage50() {
    std::string bytes;
    unsigned state = 12345;
    while (bytes.size() < 50) {
        state = state * 1103515245u + 12345u;
        const char c = static_cast<char>((state >> 16) & 0xFF);
        if (c != '\n' && c != '\0') bytes.push_back(c);
    }
    return bytes + "\n";
}

// What every control must hold after any refresh: no number that is not one, a label
// that still reads as a label, an exponent that scales to a number.
void ExpectDefinedPanel() {
    EXPECT_TRUE(std::isfinite(Number(VALUE))) << Number(VALUE);
    const int precision = Attr(VALUE, ui::ATTR_PRECISION);
    EXPECT_GE(precision, 0);
    EXPECT_LE(precision, 50);
    const std::string label = Label(VALUE);
    EXPECT_TRUE(label == "Output" || (label.rfind("Output [", 0) == 0 && label.back() == ']'))
        << label;
    const double scale = std::pow(10.0, valueExponent);
    EXPECT_TRUE(std::isfinite(scale) && scale != 0.0) << valueExponent;
    const std::string r0 = Text(RNULA);
    EXPECT_TRUE(r0.empty() || r0.find_first_not_of("-0123456789.") == std::string::npos) << r0;
}

// A reply too short for a position, empty, or without a number where one is read: the
// control keeps what it showed and the refresh goes on to the end of its sequence.
TEST_F(RefreshTest, ShortAndEmptyRepliesKeepWhatTheControlsShowed) {
    struct Case {
        const char* name;
        const char* args;   // decade-sim options
        int model;
        int exchange;       // which reply is replaced
        std::string reply;  // bytes sent instead, line end included
        std::string kept;   // F FUNCTION, U UNIT, V VALUE with decimals, label and exponent,
                            // R RNULA, T THRESHOLD, O/S/G the LEDs, C/D the scale/standard
        int ledBefore;
    };
    const char* const v212 = "--model V212 --function 0 --value 1234.5";
    const char* const v330 = "--model V330 --function 0 --value 25";
    // clang-format off
    const Case cases[] = {
        {"V? one char",             v212, 2, 0, "F\n",     "FU", 1},
        {"V? empty",                v212, 2, 0, "\n",      "FU", 1},
        {"V? no unit number",       v212, 2, 0, "F0Ux\n",  "U",  1},
        {"A? empty",                v212, 2, 1, "\n",      "V",  1},
        {"A? no number",            v212, 2, 1, "abc\n",   "V",  1},
        {"A? nan",                  v212, 2, 1, "nan\n",   "V",  1},
        {"A? beyond double",        v212, 2, 1, "1E999\n", "V",  1},
        {"A? NUL first",            v212, 2, 1, std::string("\0" "1.5E+03\r\n", 10), "V", 1},
        {"R? empty",                v212, 2, 2, "\n",      "R",  1},
        {"R? inf",                  v212, 2, 2, "inf\n",   "R",  1},
        {"W? no number",            v212, 2, 3, "x\n",     "T",  1},
        {"OUTP? no number",         v330, 3, 3, "Z\n",     "O",  1},
        {"OUTP:SHOR? empty",        v330, 3, 4, "\n",      "S",  1},
        {"class 6 V? short",        "--model V211 --function 1",                     6, 0, "F1S\n", "CD", 1},
        {"class 5 A? no number",    "--model V151 --value 4.7e-07 --output 1",       5, 0, "x\n",   "VO", 0},
        {"class 5 V? one char",     "--model V151",                                  5, 1, "G\n",   "G",  1},
        {"class 4 F? empty",        "--model V150 --value 47e-9",                    4, 0, "\n",    "FV", 1},
        {"class 7 display empty",   "--model V090 --value 12500",                    7, 1, "\n",    "V",  1},
        {"class 7 OUTP:GRO? empty", "--model V090",                                  7, 4, "\n",    "G",  1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDecade decade(Args(c.args));
        ASSERT_TRUE(decade.ok());
        decade.SetReply(c.exchange, c.reply);
        ui::SetCtrlVal(panelHandle, FUNCTION, 7);
        ui::SetCtrlVal(panelHandle, UNIT, 1);
        ui::SetCtrlVal(panelHandle, VALUE, 7.5);
        ui::SetCtrlAttribute(panelHandle, VALUE, ui::ATTR_PRECISION, 2);
        ui::SetCtrlAttribute(panelHandle, VALUE, ui::ATTR_LABEL_TEXT, std::string("Output [mOhm]"));
        valueExponent = -3;
        ui::SetCtrlVal(panelHandle, RNULA, std::string("55.5"));
        ui::SetCtrlVal(panelHandle, THRESHOLD, 42);
        for (int led : {LED_OUTPUT, LED_SHORT, LED_GND})
            ui::SetCtrlVal(panelHandle, led, c.ledBefore);
        ui::SetCtrlVal(panelHandle, RING_SCALE, 1);
        ui::SetCtrlVal(panelHandle, RING_STANDARD, 1);
        ConnectCom1(c.model, c.model == 2 ? 1 : 0);

        EXPECT_EQ(RefreshScreen(), 1);  // the rest of the sequence was still sent
        rs232::CloseCom(1);

        for (const char k : c.kept) {
            SCOPED_TRACE(std::string("kept ") + k);
            switch (k) {
                // clang-format off
                case 'F': EXPECT_EQ(Int(FUNCTION), 7); break;
                case 'U': EXPECT_EQ(Int(UNIT), 1); break;
                case 'V':
                    EXPECT_DOUBLE_EQ(Number(VALUE), 7.5);
                    EXPECT_EQ(Attr(VALUE, ui::ATTR_PRECISION), 2);
                    EXPECT_EQ(Label(VALUE), "Output [mOhm]");
                    EXPECT_EQ(valueExponent, -3);
                    break;
                case 'R': EXPECT_EQ(Text(RNULA), "55.5"); break;
                case 'T': EXPECT_EQ(Int(THRESHOLD), 42); break;
                case 'O': EXPECT_EQ(Int(LED_OUTPUT), c.ledBefore); break;
                case 'S': EXPECT_EQ(Int(LED_SHORT), c.ledBefore); break;
                case 'G': EXPECT_EQ(Int(LED_GND), c.ledBefore); break;
                case 'C': EXPECT_EQ(Int(RING_SCALE), 1); break;
                case 'D': EXPECT_EQ(Int(RING_STANDARD), 1); break;
                default: ADD_FAILURE() << "unknown key";
                // clang-format on
            }
        }
    }
}

// Every exchange of every class's refresh answered in turn by an empty line, one
// character, 50 bytes of garbage, and the decade's own reply with a NUL in its middle or
// at its start.
TEST_F(RefreshTest, BadRepliesAtEveryPositionLeaveDefinedControls) {
    for (const ClassSetup& setup : kClasses) {
        Lines seen;  // the exchanges of an undisturbed refresh
        {
            ScriptedDecade decade(setup.args);
            ASSERT_TRUE(decade.ok());
            ConnectCom1(setup.model, setup.model == 2 ? 1 : 0);
            ASSERT_EQ(RefreshScreen(), 1);
            seen = decade.Received();
            rs232::CloseCom(1);
        }
        for (std::size_t position = 0; position < seen.size(); ++position) {
            // The decade's own reply to this exchange, for the NUL kinds.
            std::string own;
            {
                ScriptedDecade replay(setup.args);
                for (std::size_t i = 0; i < position; ++i) replay.engine().Handle(seen[i]);
                own = replay.engine().Handle(seen[position]).value_or("");
            }
            for (int kind = 0; kind < 6; ++kind) {
                SCOPED_TRACE(setup.args[1] + " exchange " + seen[position] + " kind " +
                             std::to_string(kind));
                ScriptedDecade decade(setup.args);
                ASSERT_TRUE(decade.ok());
                const std::string replies[] = {
                    "\n",
                    "7\n",
                    "Z\r\n",
                    Garbage50(),
                    own.substr(0, own.size() / 2) + '\0' + own.substr(own.size() / 2) + "\r\n",
                    std::string(1, '\0') + own + "\r\n"};
                decade.SetReply(static_cast<int>(position), replies[kind]);
                ConnectCom1(setup.model, setup.model == 2 ? 1 : 0);
                EXPECT_EQ(RefreshScreen(), 1);
                ExpectDefinedPanel();
                rs232::CloseCom(1);
            }
        }
    }
}

}  // namespace
