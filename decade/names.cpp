#include "decade/names.h"

#include <QString>
#include <QtGlobal>
#include <array>
#include <charconv>

#include "decade/model.h"
#include "platform/text.h"
#include "platform/translation.h"

namespace decade::names {

namespace {

struct NameRow {
    int code;
    std::string_view name;
};
using namespace fn;
// clang-format off
constexpr std::array<NameRow, 15> kFunctions{{
    {kBasic, "resistance"}, {kPt385_68, "pt385-68"}, {kPt385_90, "pt385-90"},
    {kPt3916, "pt3916"},    {kPt3926, "pt3926"},     {kPtUser, "pt-user"},
    {kNickel, "nickel"},    {kOpen, "open"},         {kShort, "short"},
    {kPt100, "pt100"},      {kPt200, "pt200"},       {kPt500, "pt500"},
    {kPt1000, "pt1000"},    {kNi100, "ni100"},       {kNi1000, "ni1000"},
}};
// clang-format on
constexpr std::string_view kCapacitance = "capacitance";

// The names the panel shows; the translations are in translations/ombrastel_<code>.ts.
constexpr const char* kShownContext = "Messages";
struct ShownRow {
    int code;
    const char* english;
};
// clang-format off
constexpr std::array<ShownRow, 15> kShownNames{{
    {kBasic, QT_TRANSLATE_NOOP("Messages", "Resistance")},
    {kPt385_68, QT_TRANSLATE_NOOP("Messages", "Platinum Pt385 (68)")},
    {kPt385_90, QT_TRANSLATE_NOOP("Messages", "Platinum Pt385 (90)")},
    {kPt3916, QT_TRANSLATE_NOOP("Messages", "Platinum Pt3916")},
    {kPt3926, QT_TRANSLATE_NOOP("Messages", "Platinum Pt3926")},
    {kPtUser, QT_TRANSLATE_NOOP("Messages", "Platinum User")},
    {kNickel, QT_TRANSLATE_NOOP("Messages", "Nickel")},
    {kOpen, QT_TRANSLATE_NOOP("Messages", "Open")},
    {kShort, QT_TRANSLATE_NOOP("Messages", "Short")},
    {kPt100, QT_TRANSLATE_NOOP("Messages", "Platinum Pt100")},
    {kPt200, QT_TRANSLATE_NOOP("Messages", "Platinum Pt200")},
    {kPt500, QT_TRANSLATE_NOOP("Messages", "Platinum Pt500")},
    {kPt1000, QT_TRANSLATE_NOOP("Messages", "Platinum Pt1000")},
    {kNi100, QT_TRANSLATE_NOOP("Messages", "Nickel Ni100")},
    {kNi1000, QT_TRANSLATE_NOOP("Messages", "Nickel Ni1000")},
}};
// clang-format on
constexpr const char* kShownCapacitance = QT_TRANSLATE_NOOP("Messages", "Capacitance");
constexpr std::array<const char*, 2> kPresetKinds{{
    QT_TRANSLATE_NOOP("Messages", "User function "),
    QT_TRANSLATE_NOOP("Messages", "Timing "),
}};
constexpr std::string_view kUserPrefix = "user";
constexpr std::string_view kTimingPrefix = "timing";

constexpr std::array<std::string_view, 2> kStandards{"iec751", "us-jis"};
constexpr std::array<std::string_view, 2> kScales{"its90", "ipts68"};
constexpr std::array<std::string_view, 3> kUnits{"C", "F", "K"};

bool Same(std::string_view a, std::string_view b) {
    return a.size() == b.size() && text::CompareBytes(a, b, a.size()) == 0;
}

std::optional<int> Decimal(std::string_view word) {
    int value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
    return value;
}

// A preset word: prefix and a number 1..kPresetsPerKind.
std::optional<int> Preset(std::string_view word, std::string_view prefix, int base) {
    if (word.size() <= prefix.size() || !Same(word.substr(0, prefix.size()), prefix)) {
        return std::nullopt;
    }
    const std::optional<int> n = Decimal(word.substr(prefix.size()));
    if (!n || *n < 1 || *n > kPresetsPerKind) return std::nullopt;
    return base + *n - 1;
}

template <std::size_t N>
std::optional<int> IndexOf(const std::array<std::string_view, N>& table, std::string_view word) {
    for (std::size_t i = 0; i < N; ++i) {
        if (Same(table[i], word)) return static_cast<int>(i);
    }
    const std::optional<int> n = Decimal(word);
    if (n && *n >= 0 && *n < static_cast<int>(N)) return n;
    return std::nullopt;
}

template <std::size_t N>
std::string NameOf(const std::array<std::string_view, N>& table, int index) {
    if (index < 0 || index >= static_cast<int>(N)) return std::to_string(index);
    return std::string(table[static_cast<std::size_t>(index)]);
}

}  // namespace

std::string FunctionName(int code, bool capacitance) {
    if (code == kBasic && capacitance) return std::string(kCapacitance);
    if (IsUserFunction(code)) return std::string(kUserPrefix) + std::to_string(code - kUserFunctionBase + 1);
    if (IsTimingPreset(code)) return std::string(kTimingPrefix) + std::to_string(code - kTimingBase + 1);
    for (const NameRow& row : kFunctions) {
        if (row.code == code) return std::string(row.name);
    }
    return {};
}

// A name as the panel shows it, in either language; letter case ignored beyond ASCII too.
bool SameShown(std::string_view word, const char* english) {
    const QString w = QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size()));
    return w.compare(QString::fromUtf8(english), Qt::CaseInsensitive) == 0 ||
           w.compare(QString::fromStdString(translation::Translated(kShownContext, english)),
                     Qt::CaseInsensitive) == 0;
}

std::optional<int> FunctionCode(std::string_view word) {
    if (Same(word, kCapacitance)) return kBasic;
    for (const NameRow& row : kFunctions) {
        if (Same(word, row.name)) return row.code;
    }
    if (auto code = Preset(word, kUserPrefix, kUserFunctionBase)) return code;
    if (auto code = Preset(word, kTimingPrefix, kTimingBase)) return code;
    const std::optional<int> code = Decimal(word);
    if (code && (!FunctionName(*code, false).empty())) return code;
    if (SameShown(word, kShownCapacitance)) return kBasic;
    for (const ShownRow& row : kShownNames) {
        if (SameShown(word, row.english)) return row.code;
    }
    return std::nullopt;
}

const char* ShownFunctionEnglish(int code, bool capacitance) {
    if (code == kBasic && capacitance) return kShownCapacitance;
    for (const ShownRow& row : kShownNames) {
        if (row.code == code) return row.english;
    }
    return nullptr;
}

std::string ShownFunctionTranslated(int code, bool capacitance) {
    const char* english = ShownFunctionEnglish(code, capacitance);
    return english != nullptr ? translation::Translated(kShownContext, english) : std::string();
}

const char* PresetKindEnglish(int kind) {
    return kPresetKinds[kind == 0 ? 0 : 1];
}

std::string PresetKindTranslated(int kind) {
    return translation::Translated(kShownContext, PresetKindEnglish(kind));
}

std::string PresetNameText(std::string_view reply) {
    reply = text::TrimLineEnd(text::UpToNul(reply));
    if (reply.empty() || reply.front() != '"') return std::string(reply);
    reply.remove_prefix(1);
    return std::string(reply.substr(0, reply.find('"')));
}

std::string StandardName(int index) {
    return NameOf(kStandards, index);
}
std::optional<int> StandardIndex(std::string_view word) {
    return IndexOf(kStandards, word);
}
std::string ScaleName(int index) {
    return NameOf(kScales, index);
}
std::optional<int> ScaleIndex(std::string_view word) {
    return IndexOf(kScales, word);
}
std::string UnitName(int index) {
    return NameOf(kUnits, index);
}
std::optional<int> UnitIndex(std::string_view word) {
    return IndexOf(kUnits, word);
}

}  // namespace decade::names
