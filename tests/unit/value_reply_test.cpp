// Reading value replies: E-notation, display texts, class 5 farads and positional reads.
#include "decade/value_reply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

using value_reply::ShownValue;

namespace {

struct Case {
    std::string reply;
    double shown;
    int decimals;
    int exponent;
};

void ExpectShown(const std::optional<ShownValue>& got, const Case& want) {
    SCOPED_TRACE("reply \"" + want.reply + "\"");
    ASSERT_TRUE(got.has_value());
    EXPECT_NEAR(got->shown, want.shown, std::fabs(want.shown) * 1e-12);
    EXPECT_EQ(got->decimals, want.decimals);
    EXPECT_EQ(got->exponent, want.exponent);
}

TEST(ValueReply, ENotationMantissaDecimalsAndExponent) {
    // clang-format off
    const Case cases[] = {
        {"1.2345E+03", 1.2345, 4, 3},
        {"100.00", 100.0, 2, 0},
        {"1.5e-3\r", 1.5, 1, -3},
        {"-2.50E-06\r\n", -2.5, 2, -6},
        {"1.0E", 1.0, 1, 0},        // no number after E: exponent 0
        {"2.2E+010", 22.0, 0, 9},   // decimal digits: a leading 0 is no octal marker
        {"4.7E09", 4.7, 1, 9},      // "09" is 9
        {"3.0E0x3", 3.0, 1, 0},     // no hexadecimal: the exponent is the 0 before the x
        {"1.0E+0x200", 1.0, 1, 0},
        {"12", 12.0, 0, 0},
        {std::string("1.5\0E+03", 8), 1.5, 1, 0},  // nothing after a NUL counts
    };
    // clang-format on
    for (const Case& c : cases) ExpectShown(value_reply::ParseENotation(c.reply), c);
}

TEST(ValueReply, ExponentsWithoutPrefixLetterShowInTheOneBelow) {
    // clang-format off
    const Case cases[] = {
        {"1.5000E+02",  150.0,   2,   0},  // 150 degrees, not 1.5 of a prefix that is not there
        {"4.7000E-08",   47.0,   3,  -9},  // 47.000 nF
        {"1.0000E+08",  100.0,   2,   6},  // "E+08" is 8, not an octal misreading as 0
        {"4.7000E-08\r\n", 47.0, 3,  -9},
        {"1.5E+02",     150.0,   0,   0},  // never fewer than no decimals
        {"1.5000E-01",  150.0,   2,  -3},
        {"-2.500E+04",  -25.0,   2,   3},
        {"1.5000E+010",  15.0,   3,   9},
        {"1.2345E+13",  12.345,  3,  12},  // above T: shown in T
        {"1.5E-14",     0.015,   3, -12},  // below p: shown in p with the digits it needs
        {"1.5E-40",     1.5e-28, 15, -12},  // at most the 15 decimals VALUE can show
        {"7E1",          70.0,   0,   0},
    };
    // clang-format on
    for (const Case& c : cases) ExpectShown(value_reply::ParseENotation(c.reply), c);
    for (int exponent = -30; exponent <= 30; ++exponent) {
        const int shown = value_reply::ShownExponent(exponent);
        EXPECT_LE(shown, std::max(exponent, -12)) << exponent;
        EXPECT_GT(shown, std::min(exponent, 12) - 3) << exponent;
        EXPECT_EQ(shown % 3, 0) << exponent;
    }
}

TEST(ValueReply, ENotationWithoutUsableNumberGivesNothing) {
    // clang-format off
    for (const std::string& reply : {std::string(), std::string("E+03"), std::string("abc"),
                                     std::string("nan"), std::string("inf"), std::string("1E999"),
                                     std::string("5E-400"),
                                     std::string("\0" "1.0", 4), std::string(50, '#')}) {
        // clang-format on
        EXPECT_FALSE(value_reply::ParseENotation(reply).has_value()) << reply;
    }
}

TEST(ValueReply, DisplayTextPrefixLetters) {
    // clang-format off
    const Case cases[] = {
        {"47.000 nF",           47.0, 3,  -9},  // the number is shown as written, not scaled
        {"12.500 kOhm",         12.5, 3,   3},
        {"100.00 Ohm",         100.0, 2,   0},  // the m of the unit word is not milli
        {"3.3 KOhm",             3.3, 1,   0},  // upper-case K is no prefix, nor the m of Ohm
        {"1.000 \x0E" "F",       1.0, 3,  -6},  // 0x0E is micro
        {"2.5 uF",               2.5, 1,   0},  // u is no prefix letter
        {"2.5 \xB5" "F",         2.5, 1,   0},  // nor is the Latin-1 micro sign
        {"1.0 MOhm",             1.0, 1,   6},
        {"5.00 GOhm",            5.0, 2,   9},
        {"1 TOhm",               1.0, 0,  12},
        {"10.0 pF\r\n",         10.0, 1, -12},
        {"12.500",              12.5, 3,   0},
        {"1.23k45",             1.23, 2,   3},  // digits after the prefix letter are not counted
    };
    // clang-format on
    for (const Case& c : cases) ExpectShown(value_reply::ParseDisplayText(c.reply), c);
}

TEST(ValueReply, DisplayTextWithoutNumberGivesNothing) {
    // clang-format off
    for (const std::string& reply : {std::string(), std::string("kOhm"), std::string("\x0E"),
                                     std::string("nan nF"), std::string("inf"),
                                     std::string("\0" "12.5 kOhm", 10)}) {
        // clang-format on
        EXPECT_FALSE(value_reply::ParseDisplayText(reply).has_value());
    }
}

TEST(ValueReply, CapacitanceRanges) {
    struct CapCase {
        std::string reply;
        double lastShown;
        int lastExponent;
        bool outputOn;
        Case want;
    };
    const CapCase cases[] = {
        {"4.7e-07", 0.0, -9, true, {"", 470.0, 1, -9}},
        {"2.2e-06", 0.0, -9, true, {"", 2.2, 4, -6}},
        {"5e-11", 0.0, -9, true, {"", 0.05, 1, -9}},
        // Output off: the last shown value, kept within 1e-10 .. 1.22221e-05 F.
        {"0", 10.0, -9, false, {"", 10.0, 1, -9}},
        {"0\r\n", 50.0, -6, false, {"", 12.2221, 4, -6}},
        {"4.9e-11", 0.0, -9, false, {"", 0.1, 1, -9}},
        {"-1", 1.0, -6, false, {"", 1.0, 4, -6}},
        {"0", 5.0, 400, false, {"", 12.2221, 4, -6}},  // an absurd last exponent
        {"0", 0.0, 400, false, {"", 0.1, 1, -9}},      // 0 x inf: no number, the lowest
    };
    for (const CapCase& c : cases) {
        SCOPED_TRACE(c.reply);
        const auto got = value_reply::ParseCapacitance(c.reply, c.lastShown, c.lastExponent);
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(got->outputOn, c.outputOn);
        ExpectShown(got->value, c.want);
    }
    for (const std::string& reply : {std::string(), std::string("x"), std::string("nan"),
                                     std::string("inf"), std::string("1e308")}) {
        EXPECT_FALSE(value_reply::ParseCapacitance(reply, 10.0, -9).has_value()) << reply;
    }
}

TEST(ValueReply, PositionalReadsStayInsideTheReply) {
    EXPECT_EQ(value_reply::CharAt("V1 2", 1), '1');
    EXPECT_FALSE(value_reply::CharAt("V", 1).has_value());
    EXPECT_FALSE(value_reply::CharAt("", 0).has_value());
    // clang-format off
    EXPECT_FALSE(value_reply::CharAt(std::string("\0" "1", 2), 1).has_value());
    // clang-format on

    EXPECT_EQ(value_reply::IntAt("V0 1", 3), 1);
    EXPECT_EQ(value_reply::IntAt("V0  2\r", 3), 2);
    EXPECT_EQ(value_reply::IntAt("V0 1 1", 5), 1);
    EXPECT_EQ(value_reply::IntAt("010", 0), 10);  // decimal, not octal
    EXPECT_FALSE(value_reply::IntAt("V0", 3).has_value());
    EXPECT_FALSE(value_reply::IntAt("V0 x", 3).has_value());
    EXPECT_FALSE(value_reply::IntAt(std::string("V0\0 1", 5), 3).has_value());
}

}  // namespace
