#include "simulator/launch.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace sim {
namespace {

std::optional<int> ReadInt(std::string_view text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

bool HasControlByte(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    }
    return false;
}

// One option of the front end, taken out of the words before the first --decade.
struct Taken {
    std::string name;
    std::string value;
};

// Takes the options named out of words (as "--name value" or "--name=value"); the rest stays.
// False when one of them has no value.
bool TakeOptions(std::vector<std::string>* words, const std::set<std::string>& names,
                 std::vector<Taken>* taken, std::string* missing) {
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < words->size(); ++i) {
        const std::string& word = (*words)[i];
        const std::size_t eq = word.find('=');
        const std::string name = word.rfind("--", 0) == 0 ? word.substr(0, eq) : word;
        if (names.count(name) == 0) {
            rest.push_back(word);
            continue;
        }
        if (eq != std::string::npos) {
            taken->push_back({name, word.substr(eq + 1)});
        } else if (i + 1 < words->size()) {
            taken->push_back({name, (*words)[++i]});
        } else {
            *missing = name;
            return false;
        }
    }
    *words = std::move(rest);
    return true;
}

}  // namespace

std::optional<Launch> ParseLaunch(const std::vector<std::string>& args, std::string* error) {
    auto fail = [error](std::string message) -> std::optional<Launch> {
        if (error) *error = std::move(message);
        return std::nullopt;
    };

    // The words before the first --decade, and each --decade's value with its own words.
    std::vector<std::string> common;
    std::vector<std::pair<std::string, std::vector<std::string>>> sections;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--decade" || word.rfind("--decade=", 0) == 0) {
            if (word == "--decade" && i + 1 >= args.size()) return fail("--decade needs ADDR");
            sections.emplace_back(word == "--decade" ? args[++i] : word.substr(9),
                                  std::vector<std::string>{});
        } else if (sections.empty()) {
            common.push_back(word);
        } else {
            sections.back().second.push_back(word);
        }
    }

    Launch launch;
    std::vector<Taken> taken;
    std::string missing;
    const std::set<std::string> frontEnd = {"--tcp",
                                            "--controller",
                                            "--controller-version",
                                            "--controller-delay",
                                            "--controller-drop-after",
                                            "--controller-drop-at",
                                            "--controller-transcript"};
    if (!TakeOptions(&common, frontEnd, &taken, &missing)) {
        return fail("bad or missing value for " + missing);
    }
    for (const auto& section : sections) {
        for (const std::string& word : section.second) {
            const std::string name = word.substr(0, word.find('='));
            if (frontEnd.count(name) != 0) return fail(name + " belongs before the first --decade");
        }
    }

    bool controller = false;
    for (const Taken& option : taken) {
        bool ok = true;
        if (option.name == "--tcp") {
            const std::optional<TcpAddress> address = ParseTcpAddress(option.value);
            ok = address.has_value();
            if (ok) launch.tcp = *address;
            launch.kind = Launch::Kind::Tcp;
        } else if (option.name == "--controller") {
            controller = true;
            if (option.value == "pty") {
                launch.controllerTcp = false;
            } else if (option.value == "tcp") {
                launch.controllerTcp = true;
                launch.tcp.port = kControllerPort;
            } else if (option.value.rfind("tcp:", 0) == 0) {
                const std::optional<TcpAddress> address = ParseTcpAddress(option.value.substr(4));
                ok = address.has_value();
                if (ok) launch.tcp = *address;
                launch.controllerTcp = true;
            } else {
                ok = false;
            }
        } else if (option.name == "--controller-version") {
            ok = !HasControlByte(option.value);
            launch.controller.version = option.value;
        } else if (option.name == "--controller-delay") {
            const std::optional<int> ms = ReadInt(option.value, 0, 600000);
            ok = ms.has_value();
            if (ok) launch.controller.delayMs = *ms;
        } else if (option.name == "--controller-drop-after") {
            const std::optional<int> lines = ReadInt(option.value, 0, 1000000000);
            ok = lines.has_value();
            if (ok) launch.controller.dropAfter = *lines;
        } else if (option.name == "--controller-drop-at") {
            const std::optional<int> ms = ReadInt(option.value, 0, 100000000);
            ok = ms.has_value();
            if (ok) launch.controller.dropAtMs = *ms;
        } else if (option.name == "--controller-transcript") {
            ok = !option.value.empty();
            launch.controller.transcript = option.value;
        }
        if (!ok) return fail("bad or missing value for " + option.name);
    }
    const bool controllerOptions = std::any_of(taken.begin(), taken.end(), [](const Taken& t) {
        return t.name.rfind("--controller-", 0) == 0;
    });
    if (controller && launch.kind == Launch::Kind::Tcp) {
        return fail("--tcp and --controller exclude each other (use --controller tcp:PORT)");
    }
    if (!controller && (controllerOptions || !sections.empty())) {
        return fail(sections.empty() ? "the --controller- options need --controller"
                                     : "--decade needs --controller");
    }

    if (!controller) {
        const std::optional<Config> config = ParseArgs(common, error);
        if (!config) return std::nullopt;
        if (launch.kind == Launch::Kind::Tcp && !config->link.empty()) {
            return fail("--link needs the pseudo-terminal (not --tcp)");
        }
        launch.decade = *config;
        return launch;
    }

    launch.kind = Launch::Kind::Controller;
    // --link before the first --decade names the controller's terminal; each decade keeps a
    // transcript of its own, so --transcript belongs after a --decade.
    std::vector<Taken> own;
    if (!TakeOptions(&common, {"--link", "--transcript"}, &own, &missing)) {
        return fail("bad or missing value for " + missing);
    }
    for (const Taken& option : own) {
        if (option.name == "--transcript") {
            return fail("--transcript goes after a --decade: each decade keeps its own");
        }
        if (launch.controllerTcp)
            return fail("--link needs the pseudo-terminal (--controller pty)");
        if (option.value.empty()) return fail("bad or missing value for --link");
        launch.controllerLink = option.value;
    }
    // The options every decade gets are checked once, also when there is no decade.
    std::string reason;
    if (!ParseArgs(common, &reason)) return fail(reason);
    std::set<int> addresses;
    for (const auto& [value, words] : sections) {
        const std::size_t colon = value.find(':');
        const std::optional<int> address = ReadInt(value.substr(0, colon), 1, 30);
        if (!address) {
            return fail("--decade " + value + ": the address is 1 to 30 (0 is the controller's)");
        }
        if (!addresses.insert(*address).second) {
            return fail("--decade " + value + ": address " + std::to_string(*address) +
                        " is taken");
        }
        std::vector<std::string> decadeArgs = common;
        if (colon != std::string::npos) {
            const std::string kind = value.substr(colon + 1);
            if (kind == "silent") {
                decadeArgs.push_back("--silent");
            } else {
                decadeArgs.push_back("--model");
                decadeArgs.push_back(kind);
            }
        }
        decadeArgs.insert(decadeArgs.end(), words.begin(), words.end());
        for (const std::string& word : words) {
            if (word == "--link" || word.rfind("--link=", 0) == 0) {
                return fail("--decade " + value +
                            ": --link names the controller's terminal "
                            "and goes before the first --decade");
            }
        }
        const std::optional<Config> config = ParseArgs(decadeArgs, &reason);
        if (!config) return fail("--decade " + value + ": " + reason);
        launch.decades.emplace_back(*address, *config);
    }
    return launch;
}

}  // namespace sim
