// The function catalogue without a decade: character mapping per class, names in both
// languages, unit texts and prefix letters.
#include "functions/catalogue.h"

#include <gtest/gtest.h>

#include <string>

#include "app/shared_state.h"

namespace {

class CatalogueTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetSharedState(); }
    void TearDown() override { ResetSharedState(); }
};

// The class columns of the character mapping; -1 marks a preset query, checked against
// the simulator elsewhere.
struct CharacterCase {
    char character;
    int general, class3, class6, class7;
};

constexpr CharacterCase kCharacterCases[] = {
    {'0', 1, 1, 1, 1},    {'1', 2, 2, 3000, -1}, {'2', 3, 3, 3001, 0}, {'3', 4, 4, 3002, 0},
    {'4', 7, 7, 3003, 0}, {'5', 6, 6, 3004, 0},  {'6', 5, 5, 3005, 0}, {'7', -1, -1, 0, 0},
    {'8', -1, -1, 0, 0},  {'O', 8, 1, 8, 8},     {'S', 9, 1, 9, 9},    {'o', 0, 0, 0, 0},
    {'s', 0, 0, 0, 0},    {'9', 0, 0, 0, 0},     {'\0', 0, 0, 0, 0},   {'F', 0, 0, 0, 0},
};

TEST_F(CatalogueTest, CharacterMapsByClassColumn) {
    for (const CharacterCase& c : kCharacterCases) {
        for (int model = 0; model <= 7; ++model) {
            decadeModel = model;
            int expected = c.general;
            if (model == 3) expected = c.class3;
            if (model == 6) expected = c.class6;
            if (model == 7) expected = c.class7;
            if (expected < 0) continue;
            EXPECT_EQ(CommandToFunction(c.character), expected)
                << "character '" << c.character << "' class " << model;
        }
    }
}

TEST_F(CatalogueTest, OnlyLowEightBitsOfCharacterCount) {
    decadeModel = 1;
    EXPECT_EQ(CommandToFunction(0x100 + 'O'), 8);
    EXPECT_EQ(CommandToFunction(0x300 + '2'), 3);
}

TEST_F(CatalogueTest, PresetQueryWithoutLinkGivesZero) {
    // No link: nothing is exchanged, so there is no preset number to read.
    connected = 0;
    decadeModel = 1;
    EXPECT_EQ(CommandToFunction('7'), 0);
    EXPECT_EQ(CommandToFunction('8'), 0);
    decadeModel = 7;
    EXPECT_EQ(CommandToFunction('1'), 0);
}

struct NameCase {
    int code;
    const char* english;
    const char* czech;
};

constexpr NameCase kNameCases[] = {
    {0, "Unknown", "Neznámá"},
    {1, "Resistance", "Odpor"},
    {2, "Platinum Pt385 (68)", "Platina Pt385 (68)"},
    {3, "Platinum Pt385 (90)", "Platina Pt385 (90)"},
    {4, "Platinum Pt3916", "Platina Pt3916"},
    {5, "Platinum Pt3926", "Platina Pt3926"},
    {6, "Platinum User", "Platina Uživatelská"},
    {7, "Nickel", "Nikl"},
    {8, "Open", "Rozpojeno"},
    {9, "Short", "Zkrat"},
    {10, "Unknown", "Neznámá"},
    {1000, "Unknown", "Neznámá"},
    {2999, "Unknown", "Neznámá"},
    {3000, "Platinum Pt100", "Platina Pt100"},
    {3001, "Platinum Pt200", "Platina Pt200"},
    {3002, "Platinum Pt500", "Platina Pt500"},
    {3003, "Platinum Pt1000", "Platina Pt1000"},
    {3004, "Nickel Ni100", "Nikl Ni100"},
    {3005, "Nickel Ni1000", "Nikl Ni1000"},
    {3006, "Unknown", "Neznámá"},
    {-1, "Unknown", "Neznámá"},
};

TEST_F(CatalogueTest, NamesInBothLanguages) {
    decadeModel = 1;
    for (const NameCase& c : kNameCases) {
        language = 3;
        EXPECT_EQ(GetFunctionName(c.code), c.english) << c.code;
        // Every language value other than 3 is Czech, the mixed one (2) included.
        for (int czech : {1, 2}) {
            language = czech;
            EXPECT_EQ(GetFunctionName(c.code), c.czech) << c.code;
        }
    }
}

TEST_F(CatalogueTest, CodeOneIsCapacitanceOnlyOnClassesFourAndFive) {
    for (int model = 0; model <= 7; ++model) {
        decadeModel = model;
        const bool capacitance = model == 4 || model == 5;
        language = 3;
        EXPECT_EQ(GetFunctionName(1), capacitance ? "Capacitance" : "Resistance") << model;
        language = 1;
        EXPECT_EQ(GetFunctionName(1), capacitance ? "Kapacita" : "Odpor") << model;
        std::string unit = "stale";
        GetFunctionUnit(1, 0, unit);
        EXPECT_EQ(unit, capacitance ? "F" : "Ohm") << model;
    }
}

TEST_F(CatalogueTest, TemperatureUnitForEveryOtherCode) {
    decadeModel = 3;
    const char* const byIndex[] = {"°C", "°F", "K", ""};
    for (int code : {0, 2, 5, 7, 8, 9, 2000, 2999, 3000, 3005}) {
        for (int index = 0; index < 4; ++index) {
            std::string unit = "stale";
            GetFunctionUnit(code, index, unit);
            EXPECT_EQ(unit, byIndex[index]) << "code " << code << " index " << index;
        }
        std::string unit = "stale";
        GetFunctionUnit(code, -1, unit);
        EXPECT_EQ(unit, "");
    }
}

TEST_F(CatalogueTest, PrefixLetters) {
    const struct {
        int exponent;
        const char* prefix;
    } cases[] = {{-12, "p"}, {-9, "n"}, {-6, "u"}, {-3, "m"}, {3, "k"}, {6, "M"}, {9, "G"},
                 {12, "T"},  {0, ""},   {1, ""},   {-1, ""},  {2, ""},  {15, ""}, {-15, ""}};
    for (const auto& c : cases) {
        std::string prefix = "stale";
        GetPrefixLabel(c.exponent, prefix);
        EXPECT_EQ(prefix, c.prefix) << c.exponent;
    }
}

}  // namespace
