// The values and run files a script hands ombrastel-ctl, and the names it takes for
// functions, units, standards and scales.
#include <gtest/gtest.h>

#include <cmath>

#include "decade/run_file.h"
#include "decade/model.h"
#include "decade/names.h"

namespace {

TEST(CtlValues, PrefixesScaleTheNumberAndAnythingElseIsNoValue) {
    const struct {
        const char* text;
        double value;
    } good[] = {{"2.5k", 2500.0}, {"47n", 47e-9},  {"150", 150.0},   {"1.5M", 1.5e6},
                {"-50", -50.0},   {"100u", 1e-4},  {"100\xC2\xB5", 1e-4}, {"3m", 3e-3},
                {"1e3", 1000.0},  {"2,5k", 2500.0}, {"10p", 1e-11}, {" 12 ", 12.0}};
    for (const auto& c : good) {
        SCOPED_TRACE(c.text);
        const std::optional<double> v = decade::ParseValue(c.text);
        ASSERT_TRUE(v.has_value());
        EXPECT_NEAR(*v, c.value, std::abs(c.value) * 1e-12);
    }
    for (const char* bad : {"", "k", "2.5x", "2.5kk", "1e400", "nan", "inf", "2 k", "0x10"}) {
        EXPECT_FALSE(decade::ParseValue(bad).has_value()) << bad;
    }
}

TEST(CtlValues, RunFileRowsHeaderCommentsAndFaults) {
    std::vector<decade::RunStep> steps;
    std::string why;
    ASSERT_TRUE(decade::ParseRunFile("value,dwell\r\n-50,30\n\n# next\n1.5k,0.5,resistance\n", &steps, &why))
        << why;
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].value, -50.0);
    EXPECT_EQ(steps[0].dwellSeconds, 30.0);
    EXPECT_EQ(steps[0].line, 2);
    EXPECT_EQ(steps[1].value, 1500.0);
    EXPECT_EQ(steps[1].function, "resistance");
    EXPECT_EQ(steps[1].line, 5);

    const struct {
        const char* text;
        const char* why;
    } bad[] = {{"", "the file holds no step"},
               {"1,2\nx,3\n", "line 2: \"x\" is no value"},
               {"1,-2\n", "line 1: \"-2\" is no dwell time in seconds"},
               {"1\n2\n", "line 1: a row is value,dwell_seconds with an optional function"},
               {"1,2,pt100,4\n", "line 1: a row is value,dwell_seconds with an optional function"}};
    for (const auto& c : bad) {
        EXPECT_FALSE(decade::ParseRunFile(c.text, &steps, &why)) << c.text;
        EXPECT_EQ(why, c.why);
    }
}

TEST(CtlValues, NamesOfFunctionsUnitsStandardsAndScalesGoBothWays) {
    using namespace decade;
    for (int code : {fn::kBasic, fn::kPt385_68, fn::kPt385_90, fn::kPt3916, fn::kPt3926, fn::kPtUser,
                     fn::kNickel, fn::kOpen, fn::kShort, fn::kPt100, fn::kPt1000, fn::kNi1000,
                     fn::kUserFunctionBase + 4, fn::kTimingBase}) {
        const std::string name = names::FunctionName(code, false);
        EXPECT_EQ(names::FunctionCode(name), code) << name;
        EXPECT_EQ(names::FunctionCode(std::to_string(code)), code);
    }
    EXPECT_EQ(names::FunctionName(fn::kBasic, true), "capacitance");
    EXPECT_EQ(names::FunctionCode("Capacitance"), fn::kBasic);
    EXPECT_EQ(names::FunctionName(fn::kUserFunctionBase + 1, false), "user2");
    for (const char* bad : {"user0", "user1001", "timing", "pt", "42", ""}) {
        EXPECT_FALSE(names::FunctionCode(bad).has_value()) << bad;
    }
    EXPECT_EQ(names::UnitIndex("k"), 2);
    EXPECT_EQ(names::UnitIndex("F"), 1);
    EXPECT_FALSE(names::UnitIndex("R").has_value());
    EXPECT_EQ(names::StandardIndex("US-JIS"), 1);
    EXPECT_EQ(names::ScaleIndex("its90"), 0);
    EXPECT_EQ(names::ScaleName(1), "ipts68");
}

// What the Sequence window writes, ombrastel-ctl reads back unchanged; values as typed, not
// as the arithmetic left them.
TEST(CtlValues, RunFileWrittenReadsBackTheSameSteps) {
    std::vector<decade::RunStep> written(3);
    written[0].value = 0.1 + 0.2;
    written[0].dwellSeconds = 1.5;
    written[0].function = "pt385-90";
    written[1].value = 4.7e-8;
    written[2].value = -1234567.125;
    written[2].dwellSeconds = 0.2;
    const std::string text = decade::FormatRunFile(written);
    EXPECT_EQ(text, "value,dwell_seconds,function\n0.3,1.5,pt385-90\n4.7e-08,0\n-1234567.125,0.2\n");
    std::vector<decade::RunStep> read;
    std::string why;
    ASSERT_TRUE(decade::ParseRunFile(text, &read, &why)) << why;
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[1].value, 4.7e-8);
    EXPECT_EQ(read[2].value, -1234567.125);
    EXPECT_EQ(read[0].function, "pt385-90");
    EXPECT_EQ(read[1].function, "");
}

TEST(CtlValues, RampsStopAtTheEndAndRefuseWhatIsNoRamp) {
    EXPECT_EQ(decade::RampByStep(-50, 150, 50), (std::vector<double>{-50, 0, 50, 100, 150}));
    EXPECT_EQ(decade::RampByStep(0.1, 0.4, 0.1), (std::vector<double>{0.1, 0.2, 0.3, 0.4}));
    EXPECT_EQ(decade::RampByStep(100, 0, 40), (std::vector<double>{100, 60, 20}));
    EXPECT_EQ(decade::RampByStep(7, 7, 1), (std::vector<double>{7}));
    EXPECT_EQ(decade::RampByCount(100, 0, 3), (std::vector<double>{100, 50, 0}));
    EXPECT_EQ(decade::RampByCount(1, 2, 1), (std::vector<double>{1}));
    const auto longest = decade::RampByStep(0, 0.9999, 1e-4);
    ASSERT_TRUE(longest.has_value());
    EXPECT_EQ(longest->size(), 10000u);
    EXPECT_DOUBLE_EQ(longest->back(), 0.9999);
    EXPECT_FALSE(decade::RampByStep(0, 1, 1e-4).has_value()) << "10001 values";
    EXPECT_FALSE(decade::RampByStep(0, 1, 0).has_value());
    EXPECT_FALSE(decade::RampByStep(0, INFINITY, 1).has_value());
    EXPECT_FALSE(decade::RampByCount(0, 1, 0).has_value());
    EXPECT_FALSE(decade::RampByCount(0, 1, decade::kMaxRampSteps + 1).has_value());
}

}  // namespace
