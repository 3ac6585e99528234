#include "app/texts.h"

#include <array>

#include "app/shared_state.h"
#include "decade/model.h"

namespace texts {

namespace {

constexpr int kCzech = 1;
constexpr int kEnglish = 3;

struct NameRow {
    int code;
    Pair name;
};

using namespace decade::fn;
// clang-format off
constexpr std::array<NameRow, 15> kFunctionNames{{
    {kBasic,     {"Resistance",          "Odpor"}},
    {kPt385_68,  {"Platinum Pt385 (68)", "Platina Pt385 (68)"}},
    {kPt385_90,  {"Platinum Pt385 (90)", "Platina Pt385 (90)"}},
    {kPt3916,    {"Platinum Pt3916",     "Platina Pt3916"}},
    {kPt3926,    {"Platinum Pt3926",     "Platina Pt3926"}},
    {kPtUser,    {"Platinum User",       "Platina Uživatelská"}},
    {kNickel,    {"Nickel",              "Nikl"}},
    {kOpen,      {"Open",                "Rozpojeno"}},
    {kShort,     {"Short",               "Zkrat"}},
    {kPt100,     {"Platinum Pt100",      "Platina Pt100"}},
    {kPt200,     {"Platinum Pt200",      "Platina Pt200"}},
    {kPt500,     {"Platinum Pt500",      "Platina Pt500"}},
    {kPt1000,    {"Platinum Pt1000",     "Platina Pt1000"}},
    {kNi100,     {"Nickel Ni100",        "Nikl Ni100"}},
    {kNi1000,    {"Nickel Ni1000",       "Nikl Ni1000"}},
}};
// clang-format on
constexpr Pair kCapacitance{"Capacitance", "Kapacita"};
constexpr Pair kUnknown{"Unknown", "Neznámá"};

constexpr std::array<Pair, 2> kPresetKinds{{
    {"User function ", "Uživatelská funkce "},
    {"Timing ", "Časování "},
}};

}  // namespace

bool LabelsInCzech() {
    return language == kCzech;
}

bool MessagesInCzech() {
    return language != kEnglish;
}

std::string Label(const Pair& pair) {
    return std::string(LabelsInCzech() ? pair.czech : pair.english);
}

std::string Message(const Pair& pair) {
    return std::string(MessagesInCzech() ? pair.czech : pair.english);
}

const Pair& PresetKind(int kind) {
    return kPresetKinds[kind == 0 ? 0 : 1];
}

const Pair& FunctionName(int code, bool capacitance) {
    if (code == kBasic && capacitance) return kCapacitance;
    for (const NameRow& row : kFunctionNames) {
        if (row.code == code) return row.name;
    }
    return kUnknown;
}

}  // namespace texts
