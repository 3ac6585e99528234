#include "platform/translation.h"

#include <QString>
#include <QTranslator>

#ifndef OMBRASTEL_TRANSLATION
#define OMBRASTEL_TRANSLATION "cs"
#endif

namespace translation {

namespace {

struct BuiltIn {
    QTranslator translator;
    bool loaded = false;
};

// Loaded at first use; never destroyed, so that texts can be asked for at any time.
const BuiltIn& Translation() {
    static const BuiltIn* builtIn = [] {
        auto* b = new BuiltIn;
        b->loaded = b->translator.load(QStringLiteral(":/i18n/ombrastel_" OMBRASTEL_TRANSLATION ".qm"));
        return b;
    }();
    return *builtIn;
}

}  // namespace

const char* Code() {
    return OMBRASTEL_TRANSLATION;
}

bool Loaded() {
    return Translation().loaded;
}

std::string Translated(const char* context, const char* english) {
    const QString t = Translation().translator.translate(context, english);
    return t.isEmpty() ? std::string(english) : t.toStdString();
}

}  // namespace translation
