#include "app/texts.h"

#include <cstdio>

#include "app/shared_state.h"
#include "decade/names.h"
#include "platform/file_write.h"
#include "platform/translation.h"

namespace texts {

namespace {

constexpr int kCzech = 1;
constexpr int kEnglish = 3;

constexpr Text kNotRegularFile{QT_TRANSLATE_NOOP("Messages", "it is not a regular file")};
constexpr Text kUnknown{QT_TRANSLATE_NOOP("Messages", "Unknown")};

// Said once, the first time a text is asked for, when the program carries no translation.
void SayWhenNotLoaded() {
    static const bool said = [] {
        if (translation::Loaded()) return false;
        std::fprintf(stderr, "ombrastel: the built-in translation %s did not load; texts stay English\n",
                     translation::Code());
        return true;
    }();
    (void)said;
}

}  // namespace

bool LabelsInCzech() {
    return language == kCzech;
}

bool MessagesInCzech() {
    return language != kEnglish;
}

std::string Translated(const char* context, const char* english) {
    SayWhenNotLoaded();
    return translation::Translated(context, english);
}

std::string Label(const Text& text) {
    return LabelsInCzech() ? Translated("Panel", text.english) : std::string(text.english);
}

std::string Message(const Text& text) {
    return MessagesInCzech() ? Translated("Messages", text.english) : std::string(text.english);
}

Text PresetKind(int kind) {
    return {decade::names::PresetKindEnglish(kind)};
}

Text FunctionName(int code, bool capacitance) {
    const char* shown = decade::names::ShownFunctionEnglish(code, capacitance);
    return shown != nullptr ? Text{shown} : kUnknown;
}

std::string WriteFailure(int error, bool czech) {
    if (error == filewrite::kNotRegular && czech) {
        return Translated("Messages", kNotRegularFile.english);
    }
    return filewrite::Reason(error);
}

}  // namespace texts
