// A run file as a script, a spreadsheet or a damaged disk may hold it: the rows read from
// it, what writing them back and reading them again gives, and the escaped form in which
// such text reaches a terminal.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "decade/run_file.h"
#include "platform/text.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// No byte that starts a terminal control sequence: none below 0x20, no DEL, and in the
// terminal form no C1 control in UTF-8 either.
void CheckEscaped(std::string_view bytes) {
    const std::string logged = text::Escape(bytes);
    for (const char c : logged) Check(static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F);
    const std::string shown = text::Escape(bytes, true);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto b = static_cast<unsigned char>(shown[i]);
        Check(b >= 0x20 && b != 0x7F);
        if (b == 0xC2 && i + 1 < shown.size()) Check(static_cast<unsigned char>(shown[i + 1]) >= 0xA0);
    }
    Check(shown.size() <= logged.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckEscaped(bytes);

    std::vector<decade::RunStep> steps;
    std::string why;
    if (!decade::ParseRunFile(bytes, &steps, &why)) {
        Check(!why.empty());
        return 0;
    }
    Check(!steps.empty());
    int line = 0;
    for (const decade::RunStep& s : steps) {
        Check(std::isfinite(s.value));
        Check(s.dwellSeconds >= 0.0 && s.dwellSeconds <= decade::kMaxDwellSeconds);
        Check(s.line > line);
        line = s.line;
        Check(s.function.find(',') == std::string::npos && s.function.find('\n') == std::string::npos);
    }
    // Written and read again: the same steps, values as twelve significant digits keep them.
    std::vector<decade::RunStep> again;
    Check(decade::ParseRunFile(decade::FormatRunFile(steps), &again, &why));
    Check(again.size() == steps.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        Check(again[i].function == steps[i].function);
        const double v = steps[i].value;
        Check(std::abs(again[i].value - v) <= std::abs(v) * 1e-11 + 1e-300);
        Check(std::abs(again[i].dwellSeconds - steps[i].dwellSeconds) <= steps[i].dwellSeconds * 1e-11 + 1e-300);
    }
    return 0;
}
