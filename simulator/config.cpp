#include "simulator/config.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <utility>

namespace sim {
namespace {

struct ModelRow {
    std::string_view token;
    int modelClass;
};

constexpr ModelRow kModels[] = {
    {"LTVV210", 1},      {"LTV212", 2}, {"LTV330", 3}, {"LTV150", 4}, {"V210", 1},
    {"V211", 6},         {"V212", 2},   {"V150", 4},   {"V151", 5},   {"BURSTER,622", 2},
    {"Burster,1427", 2}, {"KRN-71", 2}, {"KRN-72", 1}, {"KRN-73", 1}, {"BURSTER,4530", 6},
    {"V330A", 3},        {"V340A", 3},  {"V330", 3},   {"V340", 3},   {"V331", 3},
    {"V332", 3},         {"V341", 3},   {"V342", 3},   {"V090", 7},
};

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

bool StartsNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::vector<std::string> SplitList(std::string_view text) {
    std::vector<std::string> items;
    if (text.empty()) return items;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        items.emplace_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return items;
}

std::optional<int> ReadInt(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

std::optional<double> ReadDouble(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return std::nullopt;
    return value;
}

bool HasControlByte(std::string_view text) {
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) return true;
    }
    return false;
}

}  // namespace

int ClassOfModel(std::string_view model) {
    for (const ModelRow& row : kModels) {
        if (EqualNoCase(row.token, model)) return row.modelClass;
    }
    return 0;
}

const std::vector<std::string_view>& ModelTokens() {
    static const std::vector<std::string_view> tokens = [] {
        std::vector<std::string_view> list;
        for (const ModelRow& row : kModels) list.push_back(row.token);
        return list;
    }();
    return tokens;
}

bool MatchesAny(const std::vector<std::string>& patterns, std::string_view command) {
    for (const std::string& pattern : patterns) {
        if (!pattern.empty() && pattern.back() == '*') {
            if (StartsNoCase(command, std::string_view(pattern).substr(0, pattern.size() - 1))) {
                return true;
            }
            continue;
        }
        if (EqualNoCase(command, pattern)) return true;
        if (command.size() > pattern.size() && StartsNoCase(command, pattern) &&
            command[pattern.size()] == ' ') {
            return true;
        }
    }
    return false;
}

std::string IdentityReply(const Config& config) {
    if (config.idn) return *config.idn;
    std::string reply;
    // Tokens such as "BURSTER,4530" carry the maker field themselves.
    if (config.model.find(',') == std::string::npos) reply = config.maker + ",";
    reply += config.model + "," + config.serial + "," + config.firmware;
    return reply;
}

std::optional<std::string> DecodeEscapes(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i >= text.size()) return std::nullopt;
        switch (text[i]) {
            case 'r':
                out += '\r';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case '0':
                out += '\0';
                break;
            case '\\':
                out += '\\';
                break;
            case 'x': {
                if (text.size() - i < 3) return std::nullopt;  // two hex digits after x
                unsigned value = 0;
                const char* first = text.data() + i + 1;
                const auto [ptr, ec] = std::from_chars(first, first + 2, value, 16);
                if (ec != std::errc() || ptr != first + 2) return std::nullopt;
                out += static_cast<char>(value);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return out;
}

std::optional<std::vector<std::string>> SplitWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            } else if (c == '\\' && quote == '"' && i + 1 < text.size() &&
                       (text[i + 1] == '"' || text[i + 1] == '\\')) {
                word += text[++i];
            } else {
                word += c;
            }
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else if (c == '\\' && i + 1 < text.size()) {
            word += text[++i];
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote != 0) return std::nullopt;
    if (inWord) words.push_back(std::move(word));
    return words;
}

std::optional<Config> ParseArgs(const std::vector<std::string>& args, std::string* error) {
    Config config;
    std::vector<std::string> userUnits;
    auto fail = [error](std::string message) -> std::optional<Config> {
        if (error) *error = std::move(message);
        return std::nullopt;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const std::size_t eq = name.find('=');
            name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        // Fetches the option's value, from "--name=value" or from the next word.
        std::string value;
        auto takeValue = [&]() -> bool {
            if (inlineValue) {
                value = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };
        auto flag = [&](bool* target) -> bool {
            if (inlineValue) return false;
            *target = true;
            return true;
        };
        auto intOption = [&](int* target, int low, int high) -> bool {
            if (!takeValue()) return false;
            const std::optional<int> number = ReadInt(value);
            if (!number || *number < low || *number > high) return false;
            *target = *number;
            return true;
        };
        auto switchOption = [&](bool* target) -> bool {
            int number = 0;
            if (!intOption(&number, 0, 1)) return false;
            *target = number != 0;
            return true;
        };

        bool ok = true;
        if (name == "--model") {
            ok = takeValue();
            if (ok) {
                config.modelClass = ClassOfModel(value);
                if (config.modelClass == 0) return fail("unknown model token: " + value);
                config.model = value;
            }
        } else if (name == "--maker") {
            ok = takeValue() && !HasControlByte(value);
            config.maker = value;
        } else if (name == "--serial") {
            ok = takeValue() && !HasControlByte(value);
            config.serial = value;
        } else if (name == "--firmware") {
            ok = takeValue() && !HasControlByte(value);
            config.firmware = value;
        } else if (name == "--idn") {
            ok = takeValue() && !HasControlByte(value);
            config.idn = value;
        } else if (name == "--first-idn") {
            ok = takeValue() && !HasControlByte(value);
            config.firstIdn = value;
        } else if (name == "--user-presets") {
            ok = takeValue() && !HasControlByte(value);
            config.userPresets.clear();
            for (std::string& item : SplitList(value)) config.userPresets.push_back({item, ""});
        } else if (name == "--user-units") {
            ok = takeValue() && !HasControlByte(value);
            userUnits = SplitList(value);
        } else if (name == "--timing-presets") {
            ok = takeValue() && !HasControlByte(value);
            config.timingPresets = SplitList(value);
        } else if (name == "--refuse") {
            ok = takeValue();
            config.refuse = SplitList(value);
        } else if (name == "--strict-firmware") {
            ok = flag(&config.strictFirmware);
        } else if (name == "--silent") {
            ok = flag(&config.silent);
        } else if (name == "--silent-to") {
            ok = takeValue();
            config.silentTo = SplitList(value);
        } else if (name == "--delay") {
            ok = intOption(&config.delayMs, 0, 600000);
        } else if (name == "--garbage") {
            ok = flag(&config.garbage);
        } else if (name == "--long-replies") {
            ok = flag(&config.longReplies);
        } else if (name == "--nul-bytes") {
            ok = flag(&config.nulBytes);
        } else if (name == "--no-line-end") {
            ok = !inlineValue;
            config.lineEnd = LineEnd::None;
        } else if (name == "--line-end") {
            ok = takeValue();
            if (value == "crlf") {
                config.lineEnd = LineEnd::CrLf;
            } else if (value == "lf") {
                config.lineEnd = LineEnd::Lf;
            } else if (value == "cr") {
                config.lineEnd = LineEnd::Cr;
            } else if (value == "none") {
                config.lineEnd = LineEnd::None;
            } else {
                ok = false;
            }
        } else if (name == "--fault-commands") {
            ok = takeValue();
            config.faultCommands = SplitList(value);
        } else if (name == "--reply") {
            ok = takeValue();
            const std::size_t eq = ok ? value.find('=') : std::string::npos;
            ok = eq != std::string::npos && eq > 0;
            const std::optional<std::string> bytes =
                ok ? DecodeEscapes(std::string_view(value).substr(eq + 1)) : std::nullopt;
            ok = bytes.has_value();
            if (ok) config.replies.emplace_back(value.substr(0, eq), *bytes);
        } else if (name == "--silent-after") {
            ok = intOption(&config.silentAfter, 0, 1000000000);
        } else if (name == "--silent-for") {
            ok = intOption(&config.silentFor, 0, 1000000000);
        } else if (name == "--drop-after") {
            ok = intOption(&config.dropAfter, 0, 1000000000);
        } else if (name == "--drop-at") {
            ok = intOption(&config.dropAtMs, 0, 100000000);
        } else if (name == "--flood-after") {
            ok = intOption(&config.floodAfter, 0, 1000000000);
        } else if (name == "--scientific") {
            ok = flag(&config.scientific);
        } else if (name == "--function") {
            ok = takeValue() && value.size() == 1 &&
                 std::string_view("012345678OS").find(value[0]) != std::string_view::npos;
            if (ok) config.function = value[0];
        } else if (name == "--value") {
            ok = takeValue();
            const std::optional<double> number = ok ? ReadDouble(value) : std::nullopt;
            ok = number.has_value();
            if (ok) config.value = *number;
        } else if (name == "--unit") {
            ok = intOption(&config.unit, 0, 2);
        } else if (name == "--output") {
            ok = switchOption(&config.output);
        } else if (name == "--short") {
            ok = switchOption(&config.shortCircuit);
        } else if (name == "--ground") {
            ok = switchOption(&config.ground);
        } else if (name == "--link") {
            ok = takeValue() && !value.empty();
            config.link = value;
        } else if (name == "--transcript") {
            ok = takeValue() && !value.empty();
            config.transcript = value;
        } else if (name == "--gpib-address") {
            ok = intOption(&config.gpibAddress, 0, 30);
        } else if (name == "--gpib-max-wait") {
            ok = intOption(&config.gpibMaxWaitMs, 0, 10000000);
        } else if (name == "--gpib-hang-read") {
            ok = intOption(&config.gpibHangReadMs, 0, 10000000);
        } else {
            return fail("unknown option: " + args[i]);
        }
        if (!ok) return fail("bad or missing value for " + name);
    }

    if (userUnits.size() > config.userPresets.size()) {
        return fail("--user-units lists more units than --user-presets has presets");
    }
    for (std::size_t k = 0; k < config.userPresets.size(); ++k) {
        config.userPresets[k].unit = k < userUnits.size() ? userUnits[k] : "{C";
    }
    if (config.unit == 2 && config.modelClass != 3) {
        return fail("--unit 2 (K) exists only on the V330 class");
    }
    return config;
}

std::string HelpText() {
    std::string text =
        "Usage: decade-sim [options]\n"
        "       decade-sim --tcp [HOST:]PORT [options]\n"
        "       decade-sim --controller pty|tcp[:[HOST:]PORT] [controller options] [options]\n"
        "                  --decade ADDR[:MODEL|:silent] [options] --decade ...\n"
        "Simulates one programmable decade on a pseudo-terminal or a TCP port, or a GPIB\n"
        "controller of the ++ command kind with decades at their addresses. Prints the\n"
        "terminal's path or HOST:PORT, serves until SIGINT or SIGTERM, then removes its --link.\n"
        "\n"
        "Identity:\n"
        "  --model TOKEN          model token (default V212); it also chooses the class\n"
        "  --maker TEXT           maker field of the identity reply (default SIMLAB)\n"
        "  --serial TEXT          serial number field (default 1234)\n"
        "  --firmware TEXT        firmware field (default 1.000)\n"
        "  --idn TEXT             the whole identity reply instead of the fields above\n"
        "  --first-idn TEXT       reply to an *IDN? that does not follow another *IDN?\n"
        "Presets:\n"
        "  --user-presets LIST    user-function names, comma separated\n"
        "  --user-units LIST      their unit codes ('^' Ohm, '{' degree), default {C\n"
        "  --timing-presets LIST  timing preset names, comma separated\n"
        "  --strict-firmware      answer only the preset queries of the firmware's form\n"
        "Refusals and faults (LIST: commands, comma separated; CMD matches CMD and\n"
        "'CMD <args>', CMD* matches every command starting with CMD):\n"
        "  --refuse LIST          refuse these commands\n"
        "  --silent               never reply\n"
        "  --silent-to LIST       no reply to these commands\n"
        "  --silent-after N       no reply after N exchanges (a decade that stopped answering)\n"
        "  --silent-for M         with --silent-after: only for M exchanges, then answer again\n"
        "  --delay MS             send each reply MS milliseconds late\n"
        "  --garbage              replace each reply by junk bytes\n"
        "  --long-replies         pad each reply to 64 bytes before its line end\n"
        "  --nul-bytes            put a NUL byte in the middle of each reply\n"
        "  --line-end crlf|lf|cr|none   what ends a reply (default crlf)\n"
        "  --no-line-end          same as --line-end none\n"
        "  --fault-commands LIST  apply delay, garbage, long, NUL and line end only to these\n"
        "  --drop-after N         after N exchanges drop the link (hang up the terminal)\n"
        "  --drop-at MS           drop the link MS milliseconds after the first line\n"
        "  --flood-after N        after N exchanges send lines without end, unasked (pty)\n"
        "  --reply CMD=TEXT       answer CMD (a LIST entry) with TEXT instead; escapes \\r \\n\n"
        "                         \\t \\0 \\\\ \\xHH; may be given more than once\n"
        "Reply form:\n"
        "  --scientific           answer A? in plain scientific notation (1.5000E+02)\n"
        "Initial state:\n"
        "  --function C           function character (0-8, O, S)\n"
        "  --value X              value of that function in base units (ohm, farad, degree)\n"
        "  --unit N               temperature unit 0 C, 1 F, 2 K\n"
        "  --output 0|1  --short 0|1  --ground 0|1   relays\n"
        "Front ends:\n"
        "  --link PATH            make PATH a symbolic link to the terminal (e.g. DIR/com1)\n"
        "  --transcript FILE      append every line received (and every reply) to FILE\n"
        "  --gpib-address N       stand-in GPIB library: answer only at address N\n"
        "  --gpib-max-wait MS     stand-in GPIB library: cap every read time-out at MS\n"
        "  --gpib-hang-read MS    stand-in GPIB library: every read blocks MS, deaf to\n"
        "                         its time-out and to ibstop (a driver call that hangs)\n"
        "Network and GPIB controller (before the first --decade):\n"
        "  --tcp [HOST:]PORT      serve the decade on TCP as a serial device server does in raw\n"
        "                         mode (HOST default 127.0.0.1, PORT 0: any; one client at a\n"
        "                         time, a second connection is closed at once)\n"
        "  --controller pty|tcp[:[HOST:]PORT]   a ++ GPIB controller on a pseudo-terminal or\n"
        "                         a TCP port (default 1234); --link names its terminal\n"
        "  --decade ADDR[:MODEL|:silent]  a decade at GPIB address ADDR (1-30); the options\n"
        "                         after it are its own, those before the first --decade are\n"
        "                         every decade's; :silent never answers\n"
        "  --controller-version TEXT   the ++ver reply\n"
        "  --controller-delay MS  every reply of the controller MS milliseconds late\n"
        "  --controller-drop-after N   hang up the link on the line after N host lines\n"
        "  --controller-drop-at MS     hang up the link MS after the first host line\n"
        "  --controller-transcript FILE   append the host's lines and the replies to FILE\n"
        "  --help                 this text\n"
        "  --version              the version of the simulator\n"
        "\n"
        "Model tokens:";
    for (std::string_view token : ModelTokens()) {
        text += ' ';
        text += token;
    }
    text += "\n";
    return text;
}

}  // namespace sim
