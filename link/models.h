// The known decade models: the identity tokens, their classes and display names.
#pragma once

#include <string>
#include <string_view>

struct ModelToken {
    std::string_view token;
    int index;
    std::string_view displayName;
};

// The token table, in search order (longer tokens before the ones they contain).
extern const ModelToken kModelTokens[24];

// Sets decadeModel and modelName from the first token found in reply (case-blind,
// anywhere); 0 and empty when none is found.
void FindModel(const std::string& reply);

// Sets serialNumber (third comma field, base-detecting) and firmwareVersion (fourth).
void ScanDeviceInfo(const std::string& reply);

// Sets newFirmware when the firmware is above the profile's limit (strict): the V330 class
// above 1.0265, the V150 class above 1.0095.
void ApplyFirmwareRule();
