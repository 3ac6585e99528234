#include "decade/identity.h"

#include <cfloat>
#include <cmath>
#include <optional>
#include <string_view>

#include "decade/profiles.h"
#include "link/communic.h"
#include "platform/text.h"

namespace {
using decade::ModelClass;
constexpr int C(ModelClass model) {
    return decade::ClassNumber(model);
}

// Search order matters: a token that contains another one comes first, so "V330A" is not
// taken for a "V330" and "LTV212" not for a "V212".
constexpr ModelToken kTokenRows[] = {
    {"LTVV210", C(ModelClass::V210), "LTV 210"},
    {"LTV212", C(ModelClass::V212), "LTV 212"},
    {"LTV330", C(ModelClass::V330), "LTV 330"},
    {"LTV150", C(ModelClass::V150), "LTV 150"},
    {"V210", C(ModelClass::V210), "V210"},
    {"V211", C(ModelClass::V211), "V211"},
    {"V212", C(ModelClass::V212), "V212"},
    {"V150", C(ModelClass::V150), "V150"},
    {"V151", C(ModelClass::V151), "V151"},
    {"BURSTER,622", C(ModelClass::V212), "Burster 622"},
    {"Burster,1427", C(ModelClass::V212), "Burster 1427"},
    {"KRN-71", C(ModelClass::V212), "KRN-71"},
    {"KRN-72", C(ModelClass::V210), "KRN-72"},
    {"KRN-73", C(ModelClass::V210), "KRN-73"},
    {"BURSTER,4530", C(ModelClass::V211), "Burster 4530"},
    {"V330A", C(ModelClass::V330), "V330A"},
    {"V340A", C(ModelClass::V330), "V340A"},
    {"V330", C(ModelClass::V330), "V330"},
    {"V340", C(ModelClass::V330), "V340"},
    {"V331", C(ModelClass::V330), "V331"},
    {"V332", C(ModelClass::V330), "V332"},
    {"V341", C(ModelClass::V330), "V341"},
    {"V342", C(ModelClass::V330), "V342"},
    {"V090", C(ModelClass::V090), "V090"},
};
}  // namespace

constinit const std::span<const ModelToken> kModelTokens{kTokenRows};

namespace {

// The identity reply as the exchange delivers it: C text of at most one reply's length.
std::string_view IdentityText(const std::string& reply) {
    std::string_view view = text::UpToNul(reply);
    if (view.size() > kMaxReplyLength) view = view.substr(0, kMaxReplyLength);
    return view;
}

}  // namespace

namespace decade {

const ModelToken* FindModelToken(const std::string& reply) {
    const std::string_view identity = IdentityText(reply);
    for (const ModelToken& row : kModelTokens) {
        if (text::FindPattern(identity, row.token) >= 0) return &row;
    }
    return nullptr;
}

DeviceInfo ScanDeviceInfo(const std::string& reply) {
    DeviceInfo info;
    const std::string_view identity = IdentityText(reply);

    std::size_t commas[4] = {};
    int found = 0;
    for (std::size_t i = 0; i < identity.size() && found < 4; ++i) {
        if (identity[i] == ',') commas[found++] = i;
    }
    if (found >= 2) {
        info.serialNumber = text::ScanIntAuto(identity.substr(commas[1] + 1)).value_or(0);
    }
    if (found >= 3) {
        const std::optional<double> version = text::ScanDouble(identity.substr(commas[2] + 1));
        // A field that is no finite number within the range of the stored float is no
        // version at all; converting it would be undefined.
        if (version && std::isfinite(*version) && std::fabs(*version) <= FLT_MAX) {
            info.firmwareVersion = static_cast<float>(*version);
        }
    }
    return info;
}

}  // namespace decade
