// The function character of a state reply and the preset replies: the character mapping
// of every model class, the preset number of a selection reply and the unit text of a
// user-function preset. No link is open, so the mapping's own preset questions send
// nothing and the reply-driven parts are fuzzed on their own.
//
// Input: byte 0 the model class, bytes 1-2 the character (signed), then the reply.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/shared_state.h"
#include "app/catalogue.h"

namespace {

bool KnownCode(int code) {
    return (code >= 0 && code <= 9) || (code >= 3000 && code <= 3005);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    ResetSharedState();
    decadeModel = data[0] % 9;  // 0..7 and one class no decade has
    language = (data[0] & 0x80) != 0 ? 1 : 3;
    const int character = static_cast<std::int16_t>(data[1] | (data[2] << 8));
    const std::string reply(reinterpret_cast<const char*>(data + 3), size - 3);

    const int code = CommandToFunction(character);
    if (!KnownCode(code)) std::abort();
    if (code != 0 && (GetFunctionName(code) == "Unknown")) std::abort();
    if (decadeModel == 3 && (code == 8 || code == 9)) std::abort();
    if (decadeModel == 6 && code >= 2 && code <= 7) std::abort();
    if (decadeModel != 6 && code >= 3000) std::abort();

    for (const int base : {1000, 2000}) {
        const int preset = PresetCodeFromReply(reply, base);
        if (preset != 0 && (preset < base || preset > base + 999)) std::abort();
        if (preset != 0 && (base == 1000 ? !IsUserFunction(preset) : !IsTimingPreset(preset))) {
            std::abort();
        }
    }

    // At most eight characters of the reply, '^' the longest at three bytes.
    const std::string unit = UnitTextFromReply(reply);
    if (unit.size() > 24) std::abort();
    if (unit.find('"') != std::string::npos || unit.find('\0') != std::string::npos) {
        std::abort();
    }

    // A user-function unit with no link open asks nothing and has no text.
    std::string asked = "stale";
    GetFunctionUnit(1000 + data[1], data[2] % 4, asked);
    if (!asked.empty()) std::abort();
    return 0;
}
