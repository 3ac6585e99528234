// Function codes on the panel: the function character of the connected class, the display
// names, the unit texts and the metric prefix letters, and the FUNCTION ring's items.
#include "app/catalogue.h"

#include <string_view>

#include "app/panel.h"
#include "app/shared_state.h"
#include "app/texts.h"
#include "platform/text.h"
#include "toolkit/ui.h"

int CommandToFunction(int character) {
    return panelSession.CommandToFunction(character);
}

int PresetCodeFromReply(std::string_view reply, int base) {
    return decade::PresetCodeFromReply(reply, base);
}

std::string GetFunctionName(int code) {
    return texts::Message(texts::FunctionName(code, panelSession.Profile().capacitance));
}

void GetFunctionUnit(int code, int unitIndex, std::string& unit) {
    unit = panelSession.FunctionUnit(code, unitIndex);
}

std::string UnitTextFromReply(std::string_view reply) {
    return decade::UnitTextFromReply(reply);
}

void GetPrefixLabel(int exponent, std::string& prefix) {
    prefix = decade::PrefixLabel(exponent);
}

void InsertFunction(int code) {
    InsertFunctionName(code, GetFunctionName(code));
}

void InsertFunctionName(int code, const std::string& label) {
    ui::InsertListItem(panelHandle, FUNCTION, -1, std::string(text::TrimLineEnd(label)), code);
}
