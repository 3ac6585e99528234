#include "app/texts.h"

#include <QString>
#include <QTranslator>
#include <array>
#include <cstdio>

#include "app/shared_state.h"
#include "decade/model.h"
#include "platform/file_write.h"

namespace texts {

namespace {

constexpr int kCzech = 1;
constexpr int kEnglish = 3;

struct NameRow {
    int code;
    Text name;
};

using namespace decade::fn;
// clang-format off
constexpr std::array<NameRow, 15> kFunctionNames{{
    {kBasic, {QT_TRANSLATE_NOOP("Messages", "Resistance")}},
    {kPt385_68, {QT_TRANSLATE_NOOP("Messages", "Platinum Pt385 (68)")}},
    {kPt385_90, {QT_TRANSLATE_NOOP("Messages", "Platinum Pt385 (90)")}},
    {kPt3916, {QT_TRANSLATE_NOOP("Messages", "Platinum Pt3916")}},
    {kPt3926, {QT_TRANSLATE_NOOP("Messages", "Platinum Pt3926")}},
    {kPtUser, {QT_TRANSLATE_NOOP("Messages", "Platinum User")}},
    {kNickel, {QT_TRANSLATE_NOOP("Messages", "Nickel")}},
    {kOpen, {QT_TRANSLATE_NOOP("Messages", "Open")}},
    {kShort, {QT_TRANSLATE_NOOP("Messages", "Short")}},
    {kPt100, {QT_TRANSLATE_NOOP("Messages", "Platinum Pt100")}},
    {kPt200, {QT_TRANSLATE_NOOP("Messages", "Platinum Pt200")}},
    {kPt500, {QT_TRANSLATE_NOOP("Messages", "Platinum Pt500")}},
    {kPt1000, {QT_TRANSLATE_NOOP("Messages", "Platinum Pt1000")}},
    {kNi100, {QT_TRANSLATE_NOOP("Messages", "Nickel Ni100")}},
    {kNi1000, {QT_TRANSLATE_NOOP("Messages", "Nickel Ni1000")}},
}};
// clang-format on
constexpr Text kNotRegularFile{QT_TRANSLATE_NOOP("Messages", "it is not a regular file")};
constexpr Text kCapacitance{QT_TRANSLATE_NOOP("Messages", "Capacitance")};
constexpr Text kUnknown{QT_TRANSLATE_NOOP("Messages", "Unknown")};

constexpr std::array<Text, 2> kPresetKinds{{
    {QT_TRANSLATE_NOOP("Messages", "User function ")},
    {QT_TRANSLATE_NOOP("Messages", "Timing ")},
}};

// The translation the program carries, loaded at first use.
const QTranslator& Translation() {
    static QTranslator* translator = [] {
        auto* t = new QTranslator();
        if (!t->load(QStringLiteral(":/i18n/ombrastel_" OMBRASTEL_TRANSLATION ".qm"))) {
            std::fprintf(stderr, "ombrastel: the built-in translation " OMBRASTEL_TRANSLATION
                                 " did not load; texts stay English\n");
        }
        return t;
    }();
    return *translator;
}

}  // namespace

bool LabelsInCzech() {
    return language == kCzech;
}

bool MessagesInCzech() {
    return language != kEnglish;
}

std::string Translated(const char* context, const char* english) {
    const QString t = Translation().translate(context, english);
    return t.isEmpty() ? std::string(english) : t.toStdString();
}

std::string Label(const Text& text) {
    return LabelsInCzech() ? Translated("Panel", text.english) : std::string(text.english);
}

std::string Message(const Text& text) {
    return MessagesInCzech() ? Translated("Messages", text.english) : std::string(text.english);
}

const Text& PresetKind(int kind) {
    return kPresetKinds[kind == 0 ? 0 : 1];
}

const Text& FunctionName(int code, bool capacitance) {
    if (code == kBasic && capacitance) return kCapacitance;
    for (const NameRow& row : kFunctionNames) {
        if (row.code == code) return row.name;
    }
    return kUnknown;
}

std::string WriteFailure(int error, bool czech) {
    if (error == filewrite::kNotRegular && czech) {
        return Translated("Messages", kNotRegularFile.english);
    }
    return filewrite::Reason(error);
}

}  // namespace texts
