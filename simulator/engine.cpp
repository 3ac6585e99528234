#include "simulator/engine.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <utility>

namespace sim {
namespace {

constexpr std::size_t kErrorQueueSize = 10;
constexpr double kMinCapacitance = 1e-10;
constexpr double kMaxCapacitance = 1.22221e-05;
constexpr double kOffCapacitance = 5e-11;  // V151: a value below this switches the output off

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperText(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = Upper(c);
    return out;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool In(int modelClass, std::initializer_list<int> classes) {
    for (int c : classes) {
        if (c == modelClass) return true;
    }
    return false;
}

std::string Printf(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string Bit(bool on) {
    return on ? "1" : "0";
}

// The digits after a one-letter short command ("U1" -> 1); nothing when not one digit.
std::optional<int> ShortDigit(std::string_view header) {
    if (header.size() != 2 || header[1] < '0' || header[1] > '9') return std::nullopt;
    return header[1] - '0';
}

bool IsPlatinumV330(char function) {
    return function == '1' || function == '2' || function == '3' || function == '5' ||
           function == '6';
}

// "PRES<n>:NAME?" after a given prefix: the preset number and the attribute asked for.
bool SplitNumberedPreset(std::string_view header, std::string_view prefix, int* number,
                         std::string_view* attribute) {
    if (header.substr(0, prefix.size()) != prefix) return false;
    std::string_view rest = header.substr(prefix.size());
    std::size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') ++digits;
    if (digits == 0 || digits > 6) return false;
    int n = 0;
    std::from_chars(rest.data(), rest.data() + digits, n);
    *number = n;
    *attribute = rest.substr(digits);
    return true;
}

}  // namespace

double ToUnit(double celsius, int unit) {
    if (unit == 1) return celsius * 9.0 / 5.0 + 32.0;
    if (unit == 2) return celsius + 273.15;
    return celsius;
}

double FromUnit(double value, int unit) {
    if (unit == 1) return (value - 32.0) * 5.0 / 9.0;
    if (unit == 2) return value - 273.15;
    return value;
}

std::optional<double> ParseNumber(std::string_view text) {
    text = TrimBlanks(text);
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    const std::string copy(text);
    const double value = std::strtod(copy.c_str(), nullptr);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<int> ParseInteger(std::string_view text) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

std::string FormatEngineering(double value) {
    if (value == 0.0 || !std::isfinite(value)) return "0.0000E+00";
    int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    exponent = static_cast<int>(std::floor(exponent / 3.0)) * 3;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const double mantissa = value / std::pow(10.0, exponent);
        const double magnitude = std::fabs(mantissa);
        if (magnitude < 1.0) {
            exponent -= 3;
            continue;
        }
        const int intDigits = magnitude >= 100.0 ? 3 : (magnitude >= 10.0 ? 2 : 1);
        char digits[48];
        std::snprintf(digits, sizeof digits, "%.*f", 5 - intDigits, mantissa);
        const std::optional<double> printed = ParseNumber(digits);
        if (printed && std::fabs(*printed) >= 1000.0) {  // rounding carried into a new group
            exponent += 3;
            std::snprintf(digits, sizeof digits, "%.4f", mantissa / 1000.0);
        }
        char reply[64];
        std::snprintf(reply, sizeof reply, "%sE%c%02d", digits, exponent < 0 ? '-' : '+',
                      std::abs(exponent));
        return reply;
    }
    return "0.0000E+00";
}

std::string FormatFixedE(double value) {
    const double magnitude = std::fabs(value);
    int intDigits = 1;
    for (double limit = 10.0; magnitude >= limit && intDigits < 15; limit *= 10.0) ++intDigits;
    const int decimals = intDigits >= 5 ? 0 : 5 - intDigits;
    char reply[64];
    std::snprintf(reply, sizeof reply, "%.*fE+00", decimals, value);
    return reply;
}

std::string FormatScientific(double value) {
    if (!std::isfinite(value)) value = 0.0;
    return Printf("%.4E", value);
}

Engine::Engine(Config config) : config_(std::move(config)) {
    const int c = config_.modelClass;
    const bool capacitance = c == 4 || c == 5;
    state_.values['0'] = capacitance ? 1e-8 : 100.0;
    for (char f : std::string_view("123456")) state_.values[f] = 0.0;
    state_.values['7'] = 25.0;
    state_.function = config_.function.value_or('0');
    if (c == 3 && IsPlatinumV330(state_.function)) state_.platinumCurve = state_.function;
    if (config_.value) {
        if (c == 3 && IsPlatinumV330(state_.function)) {
            for (char f : std::string_view("12356")) state_.values[f] = *config_.value;
        } else {
            state_.values[state_.function] = *config_.value;
        }
    }
    state_.unit = config_.unit;
    state_.output = config_.output;
    state_.shortCircuit = config_.shortCircuit;
    state_.ground = config_.ground;
    state_.userSelected = config_.userPresets.empty() ? 0 : 1;
    state_.timingSelected = config_.timingPresets.empty() ? 0 : 1;
}

bool Engine::NewFirmware() const {
    // The same comparison the panel makes: the 32-bit value against the threshold.
    const std::optional<double> parsed = ParseNumber(config_.firmware);
    const float version = static_cast<float>(parsed.value_or(0.0));
    if (config_.modelClass == 3) return static_cast<double>(version) > 1.0265;
    if (config_.modelClass == 4) return static_cast<double>(version) > 1.0095;
    return false;
}

double Engine::ValueOf(char function) const {
    const auto it = state_.values.find(function);
    return it == state_.values.end() ? 0.0 : it->second;
}

double Engine::Value() const {
    return ValueOf(state_.function);
}

std::optional<std::string> Engine::Handle(std::string_view command) {
    const bool isIdn = UpperText(TrimBlanks(command)) == "*IDN?";
    const bool firstOfPair = isIdn && !lastWasIdn_;
    lastWasIdn_ = isIdn;

    if (MatchesAny(config_.refuse, command)) {
        // Find out what kind of command it is, then undo whatever it did.
        const DecadeState saved = state_;
        const std::optional<std::string> normal = Dispatch(command);
        state_ = saved;
        if (!normal) return Fail(-221, "Settings conflict", Kind::NoReply);
        if (normal->size() >= 2 && Upper((*normal)[0]) == 'O' && Upper((*normal)[1]) == 'K') {
            return Fail(-221, "Settings conflict", Kind::Ack);
        }
        return Fail(-221, "Settings conflict", Kind::Query);
    }
    if (firstOfPair && config_.firstIdn) return *config_.firstIdn;
    return Dispatch(command);
}

void Engine::PushError(int code, std::string_view message) {
    std::string entry = std::to_string(code) + "," + Quoted(message);
    if (state_.errors.size() >= kErrorQueueSize) {
        state_.errors.back() = "-350," + Quoted("Queue overflow");
        return;
    }
    state_.errors.push_back(std::move(entry));
}

std::optional<std::string> Engine::Fail(int code, std::string_view message, Kind kind) {
    PushError(code, message);
    if (kind == Kind::Ack) return "Err";
    if (kind == Kind::Query && !IsScpiClass()) return "Err";
    return std::nullopt;
}

std::optional<std::string> Engine::Unknown(Kind kind) {
    return Fail(-113, "Undefined header", kind);
}

std::optional<std::string> Engine::Dispatch(std::string_view command) {
    command = TrimBlanks(command);
    const std::size_t space = command.find(' ');
    const bool hasArg = space != std::string_view::npos;
    std::string header = UpperText(command.substr(0, space));
    const std::string_view arg = hasArg ? command.substr(space + 1) : std::string_view();
    if (!header.empty() && header.front() == ':') header.erase(0, 1);
    const int c = config_.modelClass;

    if (header.empty()) return Unknown(Kind::Query);
    if (header == "*IDN?" && !hasArg) return IdentityReply(config_);
    if (header == "*CLS" && !hasArg) {
        state_.errors.clear();
        return std::nullopt;
    }
    if ((header == "SYST:REM" || header == "SYST:LOC") && !hasArg && c != 5) {
        state_.remote = header == "SYST:REM";
        return std::nullopt;
    }
    if (header == "SYST:ERR?" && !hasArg && IsScpiClass()) {
        if (state_.errors.empty()) return "0," + Quoted("No error");
        std::string entry = std::move(state_.errors.front());
        state_.errors.pop_front();
        return entry;
    }
    bool handled = false;
    std::optional<std::string> reply = HandlePresets(header, arg, hasArg, &handled);
    if (handled) return reply;
    if (In(c, {3, 4, 7})) {
        reply = HandleScpi(header, arg, hasArg, &handled);
        if (handled) return reply;
    }
    return HandleShort(header, arg, hasArg);
}

std::optional<std::string> Engine::HandleScpi(std::string_view header, std::string_view arg,
                                              bool hasArg, bool* handled) {
    const int c = config_.modelClass;
    *handled = true;
    auto relay = [&](bool* target) -> std::optional<std::string> {
        const std::optional<int> v = ParseInteger(arg);
        if (!v || (*v != 0 && *v != 1)) return Fail(-222, "Data out of range", Kind::NoReply);
        *target = *v == 1;
        return std::nullopt;
    };

    if (!hasArg) {
        if (header == "OUTP?") return Bit(state_.output);
        if (header == "OUTP:SHOR?" && c != 4) return Bit(state_.shortCircuit);
        if (header == "OUTP:GRO?" && c == 7) return Bit(state_.ground);
        if (header == "F?" && c != 3) return std::string(1, state_.function);
        if (header == "RES?" && c != 4) return FormatEngineering(ValueOf('0'));
        if (header == "RES:DISP?" && c == 7) {
            const double v = ValueOf('0');
            if (v >= 1e6) return Printf("%.3f MOhm", v / 1e6);
            if (v >= 1e3) return Printf("%.3f kOhm", v / 1e3);
            return Printf("%.3f Ohm", v);
        }
        if (header == "CAP:DISP?" && c == 4) {
            const double v = ValueOf('0');
            if (v < 1e-9) return Printf("%.3f pF", v * 1e12);
            if (v < 1e-6) return Printf("%.3f nF", v * 1e9);
            return Printf(
                "%.3f \x0E"
                "F",
                v * 1e6);
        }
        if (header == "UFUN:DISP?" && c == 4) {
            std::string unit = "{C";
            if (state_.userSelected >= 1 &&
                state_.userSelected <= static_cast<int>(config_.userPresets.size())) {
                unit = config_.userPresets[state_.userSelected - 1].unit;
            }
            return Printf("%.3f ", ValueOf('7')) + unit;
        }
        if (c == 3 && header == "PLAT?") {
            return FormatFixedE(ToUnit(ValueOf(state_.platinumCurve), state_.unit));
        }
        if (c == 3 && header == "NICK?") return FormatFixedE(ToUnit(ValueOf('4'), state_.unit));
        if (c == 3 && header == "PLAT:STAN?") {
            switch (state_.platinumCurve) {
                case '2':
                    return "PT385B";
                case '3':
                    return "PT3916";
                case '6':
                    return "PT3926";
                case '5':
                    return "USER";
                default:
                    return "PT385A";
            }
        }
    } else {
        if (header == "OUTP") return relay(&state_.output);
        if (header == "OUTP:SHOR" && c != 4) return relay(&state_.shortCircuit);
        if (header == "OUTP:GRO" && c == 7) return relay(&state_.ground);
        if (header == "RES" && c != 4) return SetValue('0', arg, Kind::NoReply);
        if (c == 3 && header == "PLAT") return SetValue(state_.platinumCurve, arg, Kind::NoReply);
        if (c == 3 && header == "NICK") return SetValue('4', arg, Kind::NoReply);
        if (c == 3 && header == "PLAT:STAN") {
            const std::string name = UpperText(TrimBlanks(arg));
            char curve = 0;
            if (name == "PT385A") curve = '1';
            if (name == "PT385B") curve = '2';
            if (name == "PT3916") curve = '3';
            if (name == "PT3926") curve = '6';
            if (name == "USER") curve = '5';
            if (curve == 0) return Fail(-224, "Illegal parameter value", Kind::NoReply);
            state_.platinumCurve = curve;
            if (IsPlatinumV330(state_.function)) state_.function = curve;
            return std::nullopt;
        }
    }
    *handled = false;
    return std::nullopt;
}

std::optional<std::string> Engine::HandlePresets(std::string_view header, std::string_view arg,
                                                 bool hasArg, bool* handled) {
    const int c = config_.modelClass;
    const bool userPresets = In(c, {1, 2, 3, 4});
    const bool timingPresets = In(c, {1, 2, 3, 4, 7});
    const bool userHeader = header.substr(0, 5) == "UFUN:" && header != "UFUN:DISP?";
    const bool timingHeader = header.substr(0, 4) == "TIM:";
    if (!(userHeader && userPresets) && !(timingHeader && timingPresets)) return std::nullopt;
    *handled = true;

    const bool user = userHeader;
    const std::string_view base = user ? "UFUN:CURV:" : "TIM:";
    const int count =
        static_cast<int>(user ? config_.userPresets.size() : config_.timingPresets.size());
    int& selected = user ? state_.userSelected : state_.timingSelected;
    const bool newForm = NewFirmware();
    const std::string_view rest = header.substr(base.size());
    if (header.substr(0, base.size()) != base) return Unknown(Kind::Query);

    auto describe = [&](int number, std::string_view attribute) -> std::optional<std::string> {
        if (number < 1 || number > count) return Fail(-222, "Data out of range", Kind::Query);
        if (attribute == ":NAME?") {
            return Quoted(user ? config_.userPresets[number - 1].name
                               : config_.timingPresets[number - 1]);
        }
        if (attribute == ":UNIT?" && user) return Quoted(config_.userPresets[number - 1].unit);
        return Unknown(Kind::Query);
    };

    if (!hasArg) {
        if (rest == "PCO?") return std::to_string(count);
        if (rest == "SEL?") return std::to_string(selected);
        if (rest.substr(0, 5) == "PRES:") {
            if (config_.strictFirmware && !newForm) return Unknown(Kind::Query);
            return describe(selected, rest.substr(4));
        }
        int number = 0;
        std::string_view attribute;
        if (SplitNumberedPreset(rest, "PRES", &number, &attribute)) {
            if (config_.strictFirmware && newForm) return Unknown(Kind::Query);
            return describe(number, attribute);
        }
        return Unknown(header.back() == '?' ? Kind::Query : Kind::NoReply);
    }
    if (rest == "SEL") {
        const std::optional<int> number = ParseInteger(arg);
        if (!number || *number < 1 || *number > count) {
            return Fail(-222, "Data out of range", Kind::NoReply);
        }
        selected = *number;
        // Selecting a preset makes it the active function where no short command does.
        if (c == 3) state_.function = user ? '7' : '8';
        if (c == 7 && !user) state_.function = '1';
        return std::nullopt;
    }
    return Unknown(Kind::NoReply);
}

std::optional<std::string> Engine::HandleShort(std::string_view header, std::string_view arg,
                                               bool hasArg) {
    const int c = config_.modelClass;
    if (c == 7) return Unknown(header.back() == '?' ? Kind::Query : Kind::NoReply);

    if (!hasArg) {
        if (header == "V?") return StatusWord();
        if (header == "A?" && c != 4) {
            if (c == 5) return state_.output ? Printf("%.6g", ValueOf('0')) : "0";
            return FormatValue(state_.function);
        }
        if (header == "R?" && In(c, {1, 2, 3})) return Printf("%.3f", state_.r0);
        if (header == "W?" && c == 2) return std::to_string(state_.threshold);
        const std::optional<int> digit = ShortDigit(header);
        const char letter = header.empty() ? '\0' : header[0];
        if (letter == 'U' && digit && In(c, {1, 2, 3})) {
            if (*digit > (c == 3 ? 2 : 1)) return Fail(-222, "Data out of range", Kind::Ack);
            state_.unit = *digit;
            return "Ok";
        }
        if ((letter == 'S' || letter == 'T') && digit && c == 6) {
            if (*digit > 1) return Fail(-222, "Data out of range", Kind::Ack);
            (letter == 'S' ? state_.scale : state_.standard) = *digit;
            return "Ok";
        }
        if (letter == 'F' && header.size() == 2 && In(c, {1, 2, 4, 6})) {
            if (!FunctionAvailable(header[1])) return Fail(-221, "Settings conflict", Kind::Ack);
            state_.function = header[1];
            return "Ok";
        }
        if (letter == 'G' && digit && In(c, {4, 5})) {
            if (*digit <= 1) state_.ground = *digit == 1;
            return std::nullopt;
        }
        if (letter == 'L' && digit && c == 5) {
            if (*digit > 1) return Fail(-222, "Data out of range", Kind::Ack);
            state_.remote = *digit == 0;
            return "Ok";
        }
        return Unknown(IsScpiClass() ? Kind::NoReply : Kind::Ack);
    }

    if (header == "A") {
        if (c == 5) {
            const std::optional<double> v = ParseNumber(arg);
            if (!v) return Fail(-104, "Data type error", Kind::Ack);
            if (*v >= 0.0 && *v < kOffCapacitance) {
                state_.output = false;
                return "Ok";
            }
            if (*v < kMinCapacitance || *v > kMaxCapacitance) {
                return Fail(-222, "Data out of range", Kind::Ack);
            }
            state_.values['0'] = *v;
            state_.output = true;
            return "Ok";
        }
        return SetValue(state_.function, arg, Kind::Ack);
    }
    if (header == "R" && In(c, {1, 2, 3})) {
        const std::optional<double> v = ParseNumber(arg);
        if (!v) return Fail(-104, "Data type error", Kind::Ack);
        if (*v < 1.0 || *v > 10000.0) return Fail(-222, "Data out of range", Kind::Ack);
        state_.r0 = *v;
        return "Ok";
    }
    if (header == "W" && c == 2) {
        const std::optional<int> v = ParseInteger(arg);
        if (!v) return Fail(-104, "Data type error", Kind::Ack);
        if (*v < 0 || *v > 10000) return Fail(-222, "Data out of range", Kind::Ack);
        state_.threshold = *v;
        return "Ok";
    }
    return Unknown(IsScpiClass() ? Kind::NoReply : Kind::Ack);
}

std::optional<std::string> Engine::SetValue(char function, std::string_view arg, Kind kind) {
    const std::optional<double> parsed = ParseNumber(arg);
    if (!parsed) return Fail(-104, "Data type error", kind);
    double v = *parsed;
    const int c = config_.modelClass;
    if (IsTemperature(function) && c != 6) v = FromUnit(v, state_.unit);
    if (!Settable(function, v)) {
        if (function == '8' || function == 'O' || function == 'S' || (c == 7 && function != '0')) {
            return Fail(-221, "Settings conflict", kind);
        }
        return Fail(-222, "Data out of range", kind);
    }
    if (c == 3 && IsPlatinumV330(function)) {
        for (char f : std::string_view("12356")) state_.values[f] = v;
    } else {
        state_.values[function] = v;
    }
    // The SCPI selecting commands make their function the active one.
    if (kind == Kind::NoReply) state_.function = function;
    return kind == Kind::Ack ? std::optional<std::string>("Ok") : std::nullopt;
}

bool Engine::FunctionAvailable(char function) const {
    const int c = config_.modelClass;
    if (function == '7') return c != 6 && !config_.userPresets.empty();
    if (function == '8') return c != 6 && !config_.timingPresets.empty();
    if (c == 4) return function == '0';
    return std::string_view("0123456OS").find(function) != std::string_view::npos;
}

bool Engine::IsTemperature(char function) const {
    const int c = config_.modelClass;
    return In(c, {1, 2, 3, 6}) && function >= '1' && function <= '6';
}

bool Engine::Settable(char function, double v) const {
    const int c = config_.modelClass;
    if (function == '0') {
        if (c == 4 || c == 5) return v >= kMinCapacitance && v <= kMaxCapacitance;
        return v >= 0.0 && v <= 1e8;
    }
    if (c == 7) return false;
    if (function == '7') return v >= -1e6 && v <= 1e6;
    if (!IsTemperature(function)) return false;
    const bool nickel = (c == 6) ? (function == '5' || function == '6') : function == '4';
    return nickel ? (v >= -60.0 && v <= 250.0) : (v >= -200.0 && v <= 850.0);
}

std::string Engine::FormatValue(char function) const {
    double value = 0.0;
    if (function == '0') {
        value = ValueOf('0');
    } else if (IsTemperature(function)) {
        value = ToUnit(ValueOf(function), config_.modelClass == 6 ? 0 : state_.unit);
    } else if (function == '7') {
        value = ValueOf('7');
    }
    if (config_.scientific) return FormatScientific(value);
    const bool fixed = IsTemperature(function) || function == '7';
    return fixed ? FormatFixedE(value) : FormatEngineering(value);
}

std::string Engine::StatusWord() const {
    const int c = config_.modelClass;
    const std::string f(1, state_.function);
    if (c == 6) {
        return "F" + f + "S" + std::to_string(state_.scale) + "T" + std::to_string(state_.standard);
    }
    if (c == 4 || c == 5) return "G" + Bit(state_.ground) + "O" + Bit(state_.output);
    return "F" + f + "U" + std::to_string(state_.unit);
}

}  // namespace sim
