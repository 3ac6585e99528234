// The identity reply of an open: model token search, serial number and firmware version
// fields, and the firmware rule. The reply is whatever came back to "*IDN?".
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/shared_state.h"
#include "decade/identity.h"
#include "decade/profiles.h"
#include "link/communic.h"

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// An independent case-blind search over the part of the reply the program reads.
bool Contains(std::string_view text, std::string_view token) {
    const auto same = [](char a, char b) { return Lower(a) == Lower(b); };
    return std::search(text.begin(), text.end(), token.begin(), token.end(), same) != text.end();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    std::string_view seen(reply);
    seen = seen.substr(0, seen.find('\0')).substr(0, kMaxReplyLength);

    ResetSharedState();
    FindModel(reply);
    ScanDeviceInfo(reply);
    ApplyFirmwareRule();

    if (decadeModel < 0 || decadeModel >= static_cast<int>(decade::Profiles().size())) std::abort();
    if (modelName.empty() != (decadeModel == 0)) std::abort();
    if (decadeModel == 0) {
        // No decade recognised: no token may be in the reply.
        for (const ModelToken& row : kModelTokens) {
            if (Contains(seen, row.token)) std::abort();
        }
    } else {
        // The match named is one whose token is really there, and no token before it in
        // the search order is.
        bool found = false;
        for (const ModelToken& row : kModelTokens) {
            const bool here = Contains(seen, row.token);
            if (here && row.index == decadeModel && row.displayName == modelName) {
                found = true;
                break;
            }
            if (here) std::abort();
        }
        if (!found) std::abort();
    }

    if (!std::isfinite(firmwareVersion)) std::abort();
    if (newFirmware != 0) {
        const double version = firmwareVersion;
        const bool newer =
            (decadeModel == 3 && version > 1.0265) || (decadeModel == 4 && version > 1.0095);
        if (!newer || newFirmware != 1) std::abort();
    }
    return 0;
}
