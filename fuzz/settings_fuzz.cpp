// The settings file as a hand-edited or damaged file may hold it: the line reader on the
// file's bytes and the key parser on every line it gives.
#include <strings.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings.h"

namespace {

// The lines the program is to see: each up to its LF, without one CR before the LF, cut
// to the examined length; reading stops at the end and at the first empty line.
std::vector<std::string> ExpectedLines(std::string_view bytes) {
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const std::size_t lf = bytes.find('\n');
        std::string line(bytes.substr(0, lf));
        bytes = lf == std::string_view::npos ? std::string_view() : bytes.substr(lf + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > kSettingsLineLength) line.resize(kSettingsLineLength);
        if (line.empty()) break;
        lines.push_back(line);
    }
    return lines;
}

// A key at the start of the line, in any letter case, followed by a decimal number.
std::optional<int> ExpectedValue(const std::string& line, const char* key) {
    const std::size_t n = std::strlen(key);
    if (line.size() < n || strncasecmp(line.c_str(), key, n) != 0) return std::nullopt;
    const std::string rest = line.substr(n);
    char* end = nullptr;
    const long value = std::strtol(rest.c_str(), &end, 10);
    if (end == rest.c_str()) return std::nullopt;
    if (value > 2147483647L) return 2147483647;
    if (value < -2147483647L - 1) return -2147483647 - 1;
    return static_cast<int>(value);
}

void CheckLine(const std::string& line) {
    const SettingsLine s = ParseSettingsLine(line);
    std::optional<int> language = ExpectedValue(line, "Language =");
    if (!language) language = ExpectedValue(line, "Language=");
    if (s.language != language) std::abort();
    if (s.type != ExpectedValue(line, "Type =")) std::abort();
    if (s.address != ExpectedValue(line, "Address =")) std::abort();
    if (s.com != ExpectedValue(line, "Com =")) std::abort();
    if (s.rate != ExpectedValue(line, "Rate =")) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> expected = ExpectedLines(bytes);

    // The reader works on a stdio file, as on the real one.
    std::string copy(bytes);
    std::FILE* file = size == 0 ? std::fopen("/dev/null", "rb") : fmemopen(copy.data(), size, "rb");
    if (file == nullptr) return 0;
    SettingsLineReader reader(file);
    std::vector<std::string> lines;
    std::string line;
    while (reader.Next(&line)) {
        if (line.size() > kSettingsLineLength || line.find('\n') != std::string::npos) {
            std::abort();
        }
        lines.push_back(line);
        if (lines.size() > expected.size()) break;
    }
    std::fclose(file);
    if (lines != expected) std::abort();

    for (const std::string& l : lines) CheckLine(l);
    CheckLine(std::string(bytes.substr(0, kSettingsLineLength)));
    return 0;
}
