#include "panel_state/title.h"

#include <charconv>
#include <string>
#include <system_error>

#include "app/shared_state.h"
#include "platform/ui.h"

namespace {

struct TitleTexts {
    const char* serialLead;
    const char* versionLead;
};

constexpr TitleTexts kCzech = {", v.\xc4\x8d. ", ", verze SW "};
constexpr TitleTexts kEnglish = {", s.n. ", ", SW version "};

// Three decimals, independent of the desktop's decimal separator.
std::string ThreeDecimals(double value) {
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    if (result.ec != std::errc()) return "0.000";
    return std::string(buffer, result.ptr);
}

}  // namespace

void SetName() {
    const TitleTexts& texts = language == 1 ? kCzech : kEnglish;
    std::string title = "Ombrastel";
    if (!modelName.empty()) {
        title += " - ";
        title += modelName;
        if (serialNumber > 0) {
            title += texts.serialLead;
            title += std::to_string(serialNumber);
        }
        const double version = firmwareVersion;
        if (version > 0.0) {
            title += texts.versionLead;
            title += ThreeDecimals(version);
        }
    }
    ui::SetPanelTitle(panelHandle, title);
}
