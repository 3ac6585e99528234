// The known decade models: the identity tokens, their classes and display names, and the
// serial number and firmware version an identity reply carries.
#pragma once

#include <span>
#include <string>
#include <string_view>

struct ModelToken {
    std::string_view token;
    int index;  // the model class number (decade::ModelClass)
    std::string_view displayName;
};

// The token table, in search order (longer tokens before the ones they contain).
extern const std::span<const ModelToken> kModelTokens;

namespace decade {

// The row of the first token found in reply (case-blind, anywhere in the text before its
// first NUL, within one reply's length); null when none is found.
const ModelToken* FindModelToken(const std::string& reply);

// The third comma field (base-detecting) and the fourth (a finite number within a float's
// range); 0 where a field is missing or no number.
struct DeviceInfo {
    int serialNumber = 0;
    float firmwareVersion = 0.0f;
};
DeviceInfo ScanDeviceInfo(const std::string& reply);

}  // namespace decade
