#include "app/title.h"

#include <charconv>
#include <string>
#include <system_error>

#include "app/shared_state.h"
#include "app/texts.h"
#include "toolkit/ui.h"

namespace {

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
    std::string title = "Ombrastel";
    if (!modelName.empty()) {
        title += " - ";
        title += modelName;
        if (serialNumber > 0) {
            title += texts::Label(texts::kSerialLead);
            title += std::to_string(serialNumber);
        }
        const double version = firmwareVersion;
        if (version > 0.0) {
            title += texts::Label(texts::kVersionLead);
            title += ThreeDecimals(version);
        }
    }
    ui::SetPanelTitle(panelHandle, title);
}
