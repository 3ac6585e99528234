// The function catalogue without a decade: character mapping per class, names in both
// languages, unit texts and prefix letters.
#include "app/catalogue.h"

#include <gtest/gtest.h>

#include <string>

#include "app/shared_state.h"

namespace {

class CatalogueTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetSharedState(); }
    void TearDown() override { ResetSharedState(); }
};

// The characters whose meaning differs between the class columns; the preset queries are
// checked against the simulator.
TEST_F(CatalogueTest, CharacterMapsByClassColumn) {
    const struct {
        int model;
        char character;
        int code;
    } cases[] = {
        {1, '4', 7}, {2, '6', 5}, {5, '5', 6},    {0, 'O', 8},    {1, 'S', 9}, {3, 'O', 1},
        {3, 'S', 1}, {3, '6', 5}, {6, '1', 3000}, {6, '6', 3005}, {6, '0', 1}, {6, '7', 0},
        {6, '8', 0}, {6, 'S', 9}, {7, '0', 1},    {7, '2', 0},    {7, '8', 0}, {7, 'O', 8},
        {1, 'o', 0}, {3, 's', 0}, {2, '9', 0},    {2, '\0', 0},
    };
    for (const auto& c : cases) {
        decadeModel = c.model;
        EXPECT_EQ(CommandToFunction(c.character), c.code)
            << "character '" << c.character << "' class " << c.model;
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
    {5, "Platinum Pt3926", "Platina Pt3926"},
    {6, "Platinum User", "Platina Uživatelská"},
    {7, "Nickel", "Nikl"},
    {8, "Open", "Rozpojeno"},
    {9, "Short", "Zkrat"},
    {10, "Unknown", "Neznámá"},
    {1000, "Unknown", "Neznámá"},
    {3000, "Platinum Pt100", "Platina Pt100"},
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
