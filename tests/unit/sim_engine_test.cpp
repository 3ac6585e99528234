// The simulated decade's dialects: each command the panel sends, the reply it gets and the
// state it leaves, class by class.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "simulator/config.h"
#include "simulator/engine.h"

namespace {

using Reply = std::optional<std::string>;
const Reply kNone = std::nullopt;

struct Step {
    std::string command;
    Reply reply;
};

sim::Engine MakeEngine(const std::vector<std::string>& args) {
    std::string error;
    const std::optional<sim::Config> config = sim::ParseArgs(args, &error);
    EXPECT_TRUE(config.has_value()) << error;
    return sim::Engine(config.value_or(sim::Config{}));
}

void RunSteps(sim::Engine& engine, const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        SCOPED_TRACE("command \"" + step.command + "\"");
        EXPECT_EQ(engine.Handle(step.command), step.reply);
    }
}

// The dialect tables read as command and reply pairs, several to a line.
// clang-format off
TEST(SimEngine, V212ClassShortCommands) {
    sim::Engine engine = MakeEngine({"--model", "V212", "--serial", "0x1F"});
    RunSteps(engine, {
        {"*IDN?", "SIMLAB,V212,0x1F,1.000"}, {":SYST:REM", kNone}, {"V?", "F0U0"},
        {"A?", "100.00E+00"}, {"A 1234.5", "Ok"}, {"A?", "1.2345E+03"},
        {"A 1e9", "Err"}, {"A ", "Err"}, {"A 12abc", "Err"}, {"A?", "1.2345E+03"},
        {"F1", "Ok"}, {"V?", "F1U0"}, {"A 25", "Ok"}, {"A?", "25.000E+00"},
        {"U1", "Ok"}, {"A?", "77.000E+00"}, {"V?", "F1U1"}, {"U2", "Err"},
        {"F5", "Ok"}, {"V?", "F5U1"}, {"F6", "Ok"}, {"V?", "F6U1"},
        {"R?", "100.000"}, {"R 100.010000", "Ok"}, {"R?", "100.010"}, {"R 0", "Err"},
        {"W?", "0"}, {"W 250", "Ok"}, {"W?", "250"}, {"W 20000", "Err"}, {"W?", "250"},
        {"FO", "Ok"}, {"V?", "FOU1"}, {"FS", "Ok"}, {"V?", "FSU1"},
        {"F7", "Err"}, {"F8", "Err"}, {"", "Err"}, {"XYZ", "Err"}, {":SYST:LOC", kNone},
    });
    EXPECT_EQ(engine.Function(), 'S');
    EXPECT_FALSE(engine.state().remote);
    EXPECT_EQ(engine.state().threshold, 250);
    EXPECT_DOUBLE_EQ(engine.ValueOf('0'), 1234.5);
}

TEST(SimEngine, V210ClassHasNoThresholdButPresetsWhenStored) {
    sim::Engine engine = MakeEngine({"--model", "KRN-72", "--user-presets", "Cu10",
                                     "--user-units", "^", "--timing-presets", "Ramp"});
    RunSteps(engine, {
        {"W?", "Err"}, {"W 250", "Err"}, {"F7", "Ok"}, {"UFUN:CURV:SEL 1", kNone},
        {"V?", "F7U0"}, {"UFUN:CURV:SEL?", "1"}, {"UFUN:CURV:PRES1:UNIT?", "\"^\""},
        {"F8", "Ok"}, {"TIM:SEL 1", kNone}, {"V?", "F8U0"}, {"TIM:SEL 2", kNone},
        {"TIM:SEL?", "1"},
    });
}

TEST(SimEngine, V330ClassScpiSelectionAndOkCommands) {
    sim::Engine engine = MakeEngine({"--model", "V330A", "--firmware", "1.030",
                                     "--user-presets", "Pt100 copy,Cu10", "--user-units",
                                     "{C,^", "--timing-presets", "Ramp,Soak"});
    RunSteps(engine, {
        {"*IDN?", "SIMLAB,V330A,1234,1.030"}, {"V?", "F0U0"}, {"RES?", "100.00E+00"},
        {"RES 2500", kNone}, {"A?", "2.5000E+03"}, {"A 0.0025", "Ok"}, {"A?", "2.5000E-03"},
        {"PLAT?", "0.0000E+00"}, {"PLAT 25", kNone}, {"V?", "F1U0"},
        {"PLAT:STAN PT385B", kNone}, {"V?", "F2U0"}, {"PLAT:STAN PT3916", kNone},
        {"V?", "F3U0"}, {"PLAT:STAN PT3926", kNone}, {"V?", "F6U0"},
        {"PLAT:STAN USER", kNone}, {"V?", "F5U0"}, {"A?", "25.000E+00"},
        {"U2", "Ok"}, {"A?", "298.15E+00"}, {"U3", "Err"},
        {"SYST:ERR?", "-222,\"Data out of range\""}, {"NICK?", "273.15E+00"},
        {"NICK 300", kNone}, {"V?", "F4U2"}, {"A?", "300.00E+00"},
        {"UFUN:CURV:PCO?", "2"}, {"UFUN:CURV:PRES2:NAME?", "\"Cu10\""},
        {"UFUN:CURV:PRES1:UNIT?", "\"{C\""}, {"UFUN:CURV:SEL 2", kNone},
        {"UFUN:CURV:PRES:NAME?", "\"Cu10\""}, {"UFUN:CURV:PRES:UNIT?", "\"^\""},
        {"V?", "F7U2"}, {"UFUN:CURV:SEL?", "2"},
        {"TIM:PCO?", "2"}, {"TIM:PRES1:NAME?", "\"Ramp\""}, {"OUTP:SHOR 0", kNone},
        {"TIM:SEL 2", kNone}, {"V?", "F8U2"}, {"TIM:SEL?", "2"}, {"TIM:PRES:NAME?", "\"Soak\""},
        {"OUTP?", "0"}, {"OUTP 1", kNone}, {"OUTP?", "1"}, {"OUTP:SHOR 1", kNone},
        {"OUTP:SHOR?", "1"}, {"R 100.01", "Ok"}, {"R?", "100.010"},
        {"SYST:ERR?", "0,\"No error\""},
        // Errors go to the queue; queries in error get no reply.
        {"UFUN:CURV:PRES3:NAME?", kNone}, {"FS", kNone}, {"RES 1e12", kNone},
        {"SYST:ERR?", "-222,\"Data out of range\""}, {"SYST:ERR?", "-113,\"Undefined header\""},
        {"SYST:ERR?", "-222,\"Data out of range\""}, {"SYST:ERR?", "0,\"No error\""},
    });
    EXPECT_TRUE(engine.state().output);
    EXPECT_TRUE(engine.state().shortCircuit);
    EXPECT_EQ(engine.state().timingSelected, 2);
}

TEST(SimEngine, V150ClassCapacitanceAndDisplayTexts) {
    sim::Engine engine = MakeEngine({"--model", "V150", "--user-presets", "Curve", "--user-units",
                                     "{C", "--timing-presets", "Ramp"});
    RunSteps(engine, {
        {"F?", "0"}, {"CAP:DISP?", "10.000 nF"}, {"A 0.000000047", "Ok"},
        {"CAP:DISP?", "47.000 nF"}, {"A 2.2e-6", "Ok"}, {"CAP:DISP?", "2.200 \x0E" "F"},
        {"A 5e-11", "Err"}, {"A 1e-10", "Ok"}, {"CAP:DISP?", "100.000 pF"},
        {"OUTP?", "0"}, {"OUTP 1", kNone}, {"OUTP?", "1"}, {"V?", "G0O1"},
        {"G1", kNone}, {"V?", "G1O1"}, {"G0", kNone}, {"V?", "G0O1"},
        {"F7", "Ok"}, {"F?", "7"}, {"UFUN:DISP?", "25.000 {C"}, {"A 30", "Ok"},
        {"UFUN:DISP?", "30.000 {C"}, {"F8", "Ok"}, {"F?", "8"}, {"A 1", "Err"},
        {"F1", "Err"}, {"FS", "Err"}, {"F?", "8"},
    });
}

TEST(SimEngine, V151OutputSwitchedThroughTheValue) {
    sim::Engine engine = MakeEngine({"--model", "V151"});
    RunSteps(engine, {
        {"L0", "Ok"}, {"A?", "0"}, {"V?", "G0O0"}, {"A 0.00000047", "Ok"}, {"A?", "4.7e-07"},
        {"V?", "G0O1"}, {"A 0", "Ok"}, {"A?", "0"}, {"A 0.001", "Err"}, {"A?", "0"},
        {"A 0.0000022", "Ok"}, {"A?", "2.2e-06"}, {"G1", kNone}, {"V?", "G1O1"},
        {"F0", "Err"}, {":SYST:REM", "Err"}, {"L1", "Ok"},
    });
    EXPECT_FALSE(engine.state().remote);
    EXPECT_DOUBLE_EQ(engine.ValueOf('0'), 2.2e-06);
}

TEST(SimEngine, V211ClassSensorsScaleAndStandard) {
    sim::Engine engine = MakeEngine({"--model", "BURSTER,4530", "--serial", "123",
                                     "--firmware", "1.0"});
    RunSteps(engine, {
        {"*IDN?", "BURSTER,4530,123,1.0"}, {"V?", "F0S0T0"}, {"F1", "Ok"}, {"A 100", "Ok"},
        {"A?", "100.00E+00"}, {"A 900", "Err"}, {"T1", "Ok"}, {"S1", "Ok"},
        {"V?", "F1S1T1"}, {"T2", "Err"}, {"F5", "Ok"}, {"A 300", "Err"}, {"A -50", "Ok"},
        {"A?", "-50.000E+00"}, {"F7", "Err"}, {"F8", "Err"}, {"U1", "Err"}, {"FO", "Ok"},
        {"V?", "FOS1T1"},
    });
}

TEST(SimEngine, V090ErrorQueueAndTimingPresets) {
    sim::Engine engine = MakeEngine({"--model", "V090", "--timing-presets", "Ramp,Soak"});
    RunSteps(engine, {
        {"F?", "0"}, {"*CLS", kNone}, {"RES 12500", kNone}, {"SYST:ERR?", "0,\"No error\""},
        {"RES:DISP?", "12.500 kOhm"}, {"RES?", "12.500E+03"}, {"RES 100", kNone},
        {"RES:DISP?", "100.000 Ohm"}, {"RES 2200000", kNone}, {"RES:DISP?", "2.200 MOhm"},
        {"RES abc", kNone}, {"SYST:ERR?", "-104,\"Data type error\""},
        {"RES 1e12", kNone}, {"SYST:ERR?", "-222,\"Data out of range\""},
        {"RES 5", kNone}, {"*CLS", kNone}, {"RES -1", kNone}, {"*CLS", kNone},
        {"SYST:ERR?", "0,\"No error\""}, {"RES:DISP?", "5.000 Ohm"},
        {"TIM:PCO?", "2"}, {"TIM:PRES2:NAME?", "\"Soak\""}, {"TIM:SEL 2", kNone},
        {"F?", "1"}, {"TIM:SEL?", "2"}, {"OUTP:GRO 1", kNone}, {"OUTP:GRO?", "1"},
        {"OUTP:SHOR 1", kNone}, {"OUTP:SHOR?", "1"}, {"OUTP 1", kNone}, {"OUTP?", "1"},
        {"V?", kNone}, {"A 5", kNone}, {"UFUN:CURV:PCO?", kNone},
        {"SYST:ERR?", "-113,\"Undefined header\""},
    });
}

// clang-format on

TEST(SimEngine, ErrorQueueKeepsTenAndReportsOverflow) {
    sim::Engine engine = MakeEngine({"--model", "V090"});
    for (int i = 0; i < 12; ++i) engine.Handle("RES 1e12");
    for (int i = 0; i < 9; ++i) EXPECT_EQ(engine.Handle("SYST:ERR?"), "-222,\"Data out of range\"");
    EXPECT_EQ(engine.Handle("SYST:ERR?"), "-350,\"Queue overflow\"");
    EXPECT_EQ(engine.Handle("SYST:ERR?"), "0,\"No error\"");
}

// clang-format off
TEST(SimEngine, RefusedCommandsGetNoOkAndChangeNothing) {
    sim::Engine shortDialect = MakeEngine({"--model", "V212", "--refuse", "FS,F5,A"});
    RunSteps(shortDialect, {{"F1", "Ok"}, {"FS", "Err"}, {"F5", "Err"}, {"F6", "Ok"},
                       {"A 30", "Err"}, {"A?", "0.0000E+00"}, {"fs", "Err"}});
    EXPECT_EQ(shortDialect.Function(), '6');

    sim::Engine scpi = MakeEngine({"--model", "V090", "--refuse", "RES*,OUTP?"});
    RunSteps(scpi, {{"RES 1000", kNone}, {"SYST:ERR?", "-221,\"Settings conflict\""},
               {"RES:DISP?", kNone}, {"OUTP?", kNone}, {"OUTP 1", kNone},
               {"SYST:ERR?", "-221,\"Settings conflict\""},
               {"SYST:ERR?", "-221,\"Settings conflict\""}});
    EXPECT_DOUBLE_EQ(scpi.ValueOf('0'), 100.0);
    EXPECT_TRUE(scpi.state().output);
}

TEST(SimEngine, FirstIdentityReplyDiffersOncePerPair) {
    sim::Engine engine = MakeEngine({"--model", "V151", "--first-idn", "?"});
    RunSteps(engine, {{"*IDN?", "?"}, {"*IDN?", "SIMLAB,V151,1234,1.000"},
                 {"*IDN?", "SIMLAB,V151,1234,1.000"}, {"L1", "Ok"}, {"*IDN?", "?"}});
    sim::Engine whole = MakeEngine({"--idn", "NOBODY,X1,1,1"});
    RunSteps(whole, {{"*IDN?", "NOBODY,X1,1,1"}});
}

// clang-format on

TEST(SimEngine, StrictFirmwareAnswersOnlyItsOwnPresetForm) {
    sim::Engine newer = MakeEngine(
        {"--model", "V330", "--firmware", "1.03", "--strict-firmware", "--user-presets", "A,B"});
    EXPECT_TRUE(newer.NewFirmware());
    RunSteps(newer, {{"UFUN:CURV:PRES2:NAME?", kNone},
                     {"UFUN:CURV:SEL 2", kNone},
                     {"UFUN:CURV:PRES:NAME?", "\"B\""}});
    // 1.0265 as a 32-bit number lies below the threshold: older firmware.
    sim::Engine older = MakeEngine(
        {"--model", "V330", "--firmware", "1.0265", "--strict-firmware", "--user-presets", "A,B"});
    EXPECT_FALSE(older.NewFirmware());
    RunSteps(older, {{"UFUN:CURV:PRES:NAME?", kNone}, {"UFUN:CURV:PRES2:NAME?", "\"B\""}});
    sim::Engine v150 = MakeEngine({"--model", "V150", "--firmware", "1.0095"});
    EXPECT_TRUE(v150.NewFirmware());
}

TEST(SimEngine, EveryModelTokenIsFoundFirstInItsOwnIdentity) {
    // The panel takes the first token of its ordered table found anywhere in the reply.
    auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    for (std::string_view token : sim::ModelTokens()) {
        sim::Engine engine = MakeEngine({"--model", std::string(token)});
        const std::string reply = lower(engine.Handle("*IDN?").value_or(""));
        std::string found;
        for (std::string_view candidate : sim::ModelTokens()) {
            if (reply.find(lower(std::string(candidate))) != std::string::npos) {
                found = candidate;
                break;
            }
        }
        EXPECT_EQ(found, token) << reply;
        EXPECT_EQ(engine.ModelClass(), sim::ClassOfModel(token));
    }
}

TEST(SimEngine, EngineeringNotation) {
    const std::vector<std::pair<double, std::string>> cases = {
        {1234.5, "1.2345E+03"},   {100.0, "100.00E+00"},  {0.0025, "2.5000E-03"},
        {999999.6, "1.0000E+06"}, {0.0, "0.0000E+00"},    {1e8, "100.00E+06"},
        {12500.0, "12.500E+03"},  {4.7e-7, "470.00E-09"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(sim::FormatEngineering(value), text);
}

TEST(SimConfig, CommandLine) {
    std::string error;
    const std::optional<sim::Config> config = sim::ParseArgs(
        {"--model", "V330A", "--serial", "1234", "--firmware", "1.030", "--user-presets",
         "Pt100 copy,Cu10", "--timing-presets", "Ramp,Soak", "--refuse", "FS,F5", "--link",
         "dir/com1", "--transcript", "t.log", "--delay=20", "--line-end", "lf"},
        &error);
    ASSERT_TRUE(config.has_value()) << error;
    EXPECT_EQ(config->modelClass, 3);
    ASSERT_EQ(config->userPresets.size(), 2u);
    EXPECT_EQ(config->userPresets[0].name, "Pt100 copy");
    EXPECT_EQ(config->userPresets[1].unit, "{C");
    EXPECT_EQ(config->timingPresets, (std::vector<std::string>{"Ramp", "Soak"}));
    EXPECT_EQ(config->refuse, (std::vector<std::string>{"FS", "F5"}));
    EXPECT_EQ(config->delayMs, 20);
    EXPECT_EQ(config->lineEnd, sim::LineEnd::Lf);

    const std::vector<std::vector<std::string>> wrong = {
        {"--model", "V999"},      {"--bogus"},     {"--delay", "-1"},   {"--delay"},
        {"--line-end", "crcr"},   {"--unit", "2"}, {"--function", "9"}, {"--user-units", "^"},
        {"--gpib-address", "31"}, {"--silent=1"},
    };
    for (const auto& args : wrong) {
        EXPECT_FALSE(sim::ParseArgs(args, &error).has_value()) << args[0];
        EXPECT_FALSE(error.empty());
    }
    const auto words = sim::SplitWords("--model V330 --user-presets 'Pt100 copy,It'\\''s' \"a b\"");
    ASSERT_TRUE(words.has_value());
    EXPECT_EQ(*words, (std::vector<std::string>{"--model", "V330", "--user-presets",
                                                "Pt100 copy,It's", "a b"}));
    EXPECT_FALSE(sim::SplitWords("--idn 'open").has_value());
}

}  // namespace
