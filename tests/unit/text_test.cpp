// Text helpers: number reads that behave like the C conversions without their traps,
// and the plain number form that goes out on the wire.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cmath>

#include <climits>
#include <optional>
#include <string>
#include <string_view>

namespace {

struct IntCase {
    std::string_view input;
    std::optional<int> expected;
};

TEST(TextScanIntAuto, BehavesLikePercentI) {
    const IntCase cases[] = {
        {"0123", 83},
        {"0x1F", 31},
        {"0X1f", 31},
        {"12AB", 12},
        {" -5", -5},
        {"+7", 7},
        {"", {}},
        {"abc", {}},
        {"-", {}},
        {"  ", {}},
        {"0", 0},
        {"08", 0},
        {"0x", 0},
        {"0xZ", 0},
        {"\t42,7", 42},
        {"-0x10", -16},
        {"123 456", 123},
        {"1.5", 1},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999999999999", INT_MIN},
        {"0xFFFFFFFFFFFFFFFFFFFF", INT_MAX},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text::ScanIntAuto(c.input), c.expected) << "input \"" << c.input << "\"";
    }
}

TEST(TextScanIntDecimal, DecimalOnly) {
    const IntCase cases[] = {
        {"0123", 123}, {"0x1F", 0}, {" -5", -5}, {"", {}}, {"x1", {}}, {"99999999999", INT_MAX},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text::ScanIntDecimal(c.input), c.expected) << "input \"" << c.input << "\"";
    }
}

TEST(TextScan, NeverReadsPastTheView) {
    // The digits after the view's end must not be taken: the view stops at "12".
    const std::string backing = "1234567";
    const std::string_view view(backing.data(), 2);
    EXPECT_EQ(text::ScanIntAuto(view), 12);
    EXPECT_EQ(text::ScanIntDecimal(view), 12);
    EXPECT_EQ(text::ScanDouble(view), 12.0);
    const std::string exponent = "1e5";
    EXPECT_EQ(text::ScanDouble(std::string_view(exponent.data(), 1)), 1.0);
}

TEST(TextScanDouble, ReadsLikeStrtod) {
    struct Case {
        std::string_view input;
        std::optional<double> expected;
    };
    // clang-format off
    const Case cases[] = {
        {"1.0265", 1.0265}, {" -2.5E+03 Ohm", -2500.0}, {".5", 0.5}, {"1e-3", 0.001},
        {"100.01", 100.01}, {"", {}}, {"abc", {}}, {"+", {}}, {"0x10", 16.0}, {"7,5", 7.0},
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(text::ScanDouble(c.input), c.expected) << "input \"" << c.input << "\"";
    }
    // A NUL inside the text ends the number like any other character that does not fit.
    // clang-format off
    EXPECT_EQ(text::ScanDouble(std::string_view("12\0" "34", 5)), 12.0);
    // clang-format on
}

TEST(TextFormat, PlainDecimal) {
    struct Case {
        double value;
        std::string_view expected;
    };
    const Case cases[] = {
        {2500.0, "2500"},
        {0.0025, "0.0025"},
        {0.00000047, "0.00000047"},
        {-1.5, "-1.5"},
        {0.0, "0"},
        {-0.0, "0"},
        {1e12, "1000000000000"},
        {123456789012345.0, "123456789012000"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3.0, "0.333333333333"},
        {100.01, "100.01"},
        {1e-12, "0.000000000001"},
        {9.99999999999999, "10"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text::FormatPlain(c.value), c.expected) << "value " << c.value;
    }
}

TEST(TextFormat, FixedSixDecimals) {
    EXPECT_EQ(text::FormatFixed(1.0265), "1.026500");
    EXPECT_EQ(text::FormatFixed(-2.0), "-2.000000");
    EXPECT_EQ(text::FormatFixed(0.00000047), "0.000000");
    EXPECT_EQ(text::FormatFixed(1e20), "100000000000000000000.000000");
}

TEST(TextFormat, DurationInMinutesOrHours) {
    EXPECT_EQ(text::FormatDuration(0.4), "0:00");
    EXPECT_EQ(text::FormatDuration(59.6), "1:00");
    EXPECT_EQ(text::FormatDuration(3599.0), "59:59");
    EXPECT_EQ(text::FormatDuration(3600.0), "1:00:00");
    EXPECT_EQ(text::FormatDuration(-5.0), "0:00");
    EXPECT_EQ(text::FormatDuration(NAN), "0:00");
}

TEST(TextCompare, CaseBlindBytes) {
    EXPECT_EQ(text::CompareBytes("OK", "ok", 2), 0);
    EXPECT_EQ(text::CompareBytes("Ok done", "oK", 2), 0);
    EXPECT_NE(text::CompareBytes("O", "Ok", 2), 0);  // short text padded with NUL
    EXPECT_EQ(text::CompareBytes("", "", 5), 0);
    EXPECT_LT(text::CompareBytes("a", "b", 1), 0);
    EXPECT_GT(text::CompareBytes("b", "A", 1), 0);
}

TEST(TextFindPattern, CaseBlindAnywhere) {
    EXPECT_EQ(text::FindPattern("burster,4530,123", "BURSTER"), 0);
    EXPECT_EQ(text::FindPattern("xx V330a yy", "v330A"), 3);
    EXPECT_EQ(text::FindPattern("abc", "abcd"), -1);
    EXPECT_EQ(text::FindPattern("abc", "x"), -1);
    EXPECT_EQ(text::FindPattern("abc", ""), 0);
    EXPECT_EQ(text::FindPattern("", ""), 0);
}

TEST(TextSmall, OkNulLineEndControlBytes) {
    EXPECT_TRUE(text::IsOk("Ok"));
    EXPECT_TRUE(text::IsOk("oK\r"));
    EXPECT_FALSE(text::IsOk("O"));
    EXPECT_FALSE(text::IsOk("Error"));
    EXPECT_FALSE(text::IsOk(""));

    EXPECT_EQ(text::UpToNul(std::string_view("ab\0cd", 5)), "ab");
    EXPECT_EQ(text::UpToNul("abc"), "abc");

    EXPECT_EQ(text::TrimLineEnd("12.5\r\n"), "12.5");
    EXPECT_EQ(text::TrimLineEnd("12.5\n\r\r"), "12.5");
    EXPECT_EQ(text::TrimLineEnd("\r\n"), "");
    EXPECT_EQ(text::TrimLineEnd("a\rb"), "a\rb");

    EXPECT_TRUE(text::HasControlByte("A 1\r"));
    EXPECT_TRUE(text::HasControlByte(std::string_view("A\0", 2)));
    EXPECT_TRUE(text::HasControlByte("A\x7f"));
    EXPECT_FALSE(text::HasControlByte("RES 100.5"));
    EXPECT_FALSE(text::HasControlByte("v.\xc4\x8d."));  // UTF-8 bytes are not control bytes
}

TEST(TextEntryNumber, WholeTextIsOneNumberWithPointOrComma) {
    struct Case {
        const char* typed;
        std::optional<double> number;
    };
    // clang-format off
    const Case cases[] = {
        {"25,5", 25.5},        {"25.5", 25.5},      {"1.5", 1.5},        {"2.5e3", 2500.0},
        {"2,5E-3", 0.0025},    {" -7 ", -7.0},      {"+3", 3.0},         {",5", 0.5},
        {"5.", 5.0},           {"1e+2", 100.0},     {"\t0\t", 0.0},      {"100.01", 100.01},
        {"1.2.3", {}},         {"12abc", {}},       {"1,000.5", {}},     {"", {}},
        {" ", {}},             {"1,5,", {}},        {".", {}},           {",", {}},
        {"-", {}},             {"1e", {}},          {"e5", {}},          {"--5", {}},
        {"0x10", {}},          {"inf", {}},         {"nan", {}},         {"1e999", {}},
        {"2.5 k", {}},         {"1 000", {}},       {"\xc2\xbd", {}},    {"1e5.5", {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(text::ParseEntryNumber(c.typed), c.number) << "typed \"" << c.typed << "\"";
    }
    EXPECT_FALSE(text::ParseEntryNumber(std::string(300, '1')).has_value());
    // clang-format off
    EXPECT_FALSE(text::ParseEntryNumber(std::string_view("1\0" "2", 3)).has_value());
    // clang-format on
}

}  // namespace

// Text from a decade on a terminal: no byte that starts a control sequence gets through,
// while printable UTF-8 stays readable; the link log's form escapes every byte from 0x7F.
TEST(TextEscape, ControlBytesEscapedPrintableUtf8KeptOnlyWhenAsked) {
    const struct {
        std::string_view bytes;
        const char* shown;  // keepUtf8
        const char* logged;
    } cases[] = {
        {"Pt50", "Pt50", "Pt50"},
        {"\x1B]52;c;cHduZWQ=\x07", "\\x1B]52;c;cHduZWQ=\\x07", "\\x1B]52;c;cHduZWQ=\\x07"},
        {"\x1B[2J\x1B]0;t\x1B\\", "\\x1B[2J\\x1B]0;t\\x1B\\\\", "\\x1B[2J\\x1B]0;t\\x1B\\\\"},
        {"a\r\n\tb\x7F", "a\\r\\n\\tb\\x7F", "a\\r\\n\\tb\\x7F"},
        {std::string_view("x\0y", 3), "x\\x00y", "x\\x00y"},
        {"\xC2\xB0" "C M\xC4\x9B\xC4\x8F", "\xC2\xB0" "C M\xC4\x9B\xC4\x8F", "\\xC2\\xB0C M\\xC4\\x9B\\xC4\\x8F"},
        {"\xE2\x82\xAC \xF0\x9F\x94\xA5", "\xE2\x82\xAC \xF0\x9F\x94\xA5", "\\xE2\\x82\\xAC \\xF0\\x9F\\x94\\xA5"},
        {"\x9B" "2J", "\\x9B2J", "\\x9B2J"},                  // a raw CSI byte
        {"\xC2\x9B" "2J\xC2\x9D", "\\xC2\\x9B2J\\xC2\\x9D", "\\xC2\\x9B2J\\xC2\\x9D"},  // CSI, OSC in UTF-8
        {"\xC0\x9B", "\\xC0\\x9B", "\\xC0\\x9B"},              // overlong
        {"\xED\xA0\x80", "\\xED\\xA0\\x80", "\\xED\\xA0\\x80"},  // a surrogate
        {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80", "\\xF4\\x90\\x80\\x80"},  // beyond U+10FFFF
        {"\xE2\x82", "\\xE2\\x82", "\\xE2\\x82"},              // cut short
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text::Escape(c.bytes, true), c.shown) << c.logged;
        EXPECT_EQ(text::Escape(c.bytes), c.logged) << c.logged;
        for (const char b : text::Escape(c.bytes, true)) {
            EXPECT_TRUE(static_cast<unsigned char>(b) >= 0x20 && b != 0x7F) << c.logged;
        }
    }
}
