#include "link/models.h"

#include <cfloat>
#include <cmath>
#include <optional>
#include <string_view>

#include "app/shared_state.h"
#include "decade/profiles.h"
#include "link/communic.h"
#include "platform/text.h"

// Search order matters: a token that contains another one comes first, so "V330A" is not
// taken for a "V330" and "LTV212" not for a "V212".
constexpr ModelToken kModelTokens[24] = {
    {"LTVV210", 1, "LTV 210"},
    {"LTV212", 2, "LTV 212"},
    {"LTV330", 3, "LTV 330"},
    {"LTV150", 4, "LTV 150"},
    {"V210", 1, "V210"},
    {"V211", 6, "V211"},
    {"V212", 2, "V212"},
    {"V150", 4, "V150"},
    {"V151", 5, "V151"},
    {"BURSTER,622", 2, "Burster 622"},
    {"Burster,1427", 2, "Burster 1427"},
    {"KRN-71", 2, "KRN-71"},
    {"KRN-72", 1, "KRN-72"},
    {"KRN-73", 1, "KRN-73"},
    {"BURSTER,4530", 6, "Burster 4530"},
    {"V330A", 3, "V330A"},
    {"V340A", 3, "V340A"},
    {"V330", 3, "V330"},
    {"V340", 3, "V340"},
    {"V331", 3, "V331"},
    {"V332", 3, "V332"},
    {"V341", 3, "V341"},
    {"V342", 3, "V342"},
    {"V090", 7, "V090"},
};

namespace {

// The identity reply as the exchange delivers it: C text of at most one reply's length.
std::string_view IdentityText(const std::string& reply) {
    std::string_view view = text::UpToNul(reply);
    if (view.size() > kMaxReplyLength) view = view.substr(0, kMaxReplyLength);
    return view;
}

}  // namespace

void FindModel(const std::string& reply) {
    decadeModel = 0;
    modelName.clear();
    const std::string_view identity = IdentityText(reply);
    for (const ModelToken& row : kModelTokens) {
        if (text::FindPattern(identity, row.token) >= 0) {
            decadeModel = row.index;
            modelName = std::string(row.displayName);
            return;
        }
    }
}

void ScanDeviceInfo(const std::string& reply) {
    serialNumber = 0;
    firmwareVersion = 0.0f;
    const std::string_view identity = IdentityText(reply);

    std::size_t commas[4] = {};
    int found = 0;
    for (std::size_t i = 0; i < identity.size() && found < 4; ++i) {
        if (identity[i] == ',') commas[found++] = i;
    }
    if (found >= 2) {
        serialNumber = text::ScanIntAuto(identity.substr(commas[1] + 1)).value_or(0);
    }
    if (found >= 3) {
        const std::optional<double> version = text::ScanDouble(identity.substr(commas[2] + 1));
        // A field that is no finite number within the range of the stored float is no
        // version at all; converting it would be undefined.
        if (version && std::isfinite(*version) && std::fabs(*version) <= FLT_MAX) {
            firmwareVersion = static_cast<float>(*version);
        }
    }
}

void ApplyFirmwareRule() {
    const double version = firmwareVersion;
    const double above = decade::ProfileOf(decadeModel).newFirmwareAbove;
    if (above > 0.0 && version > above) newFirmware = 1;
}
