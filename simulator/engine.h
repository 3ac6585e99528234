// The protocol engine of one simulated decade: it keeps the decade's state and answers each
// command line in the dialect of its model class. No I/O here; the front ends feed it.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "simulator/config.h"

namespace sim {

struct DecadeState {
    char function = '0';            // function character as the decade reports it
    std::map<char, double> values;  // value per function character: ohm, farad, degree
                                    // Celsius for sensor curves, raw for user functions
    int unit = 0;                   // temperature unit 0 C, 1 F, 2 K
    int scale = 0;                  // 0 ITS90, 1 IPTS68 (V211 class)
    int standard = 0;               // 0 IEC 751, 1 US/JIS (V211 class)
    char platinumCurve = '1';       // V330 class: curve chosen by PLAT:STAN
    double r0 = 100.0;
    int threshold = 0;
    bool output = false;
    bool shortCircuit = false;
    bool ground = false;
    bool remote = false;
    int userSelected = 0;            // selected user-function preset, 1-based, 0 none
    int timingSelected = 0;          // selected timing preset, 1-based, 0 none
    std::deque<std::string> errors;  // error queue, oldest first
};

class Engine {
  public:
    explicit Engine(Config config);

    // One command line without its line end. Returns the reply text without line end, or
    // nothing when the decade sends no reply.
    std::optional<std::string> Handle(std::string_view command);

    const Config& config() const { return config_; }
    int ModelClass() const { return config_.modelClass; }
    // True when the firmware is new enough for the select-then-ask preset queries.
    bool NewFirmware() const;

    DecadeState& state() { return state_; }
    const DecadeState& state() const { return state_; }
    char Function() const { return state_.function; }
    double Value() const;  // value of the active function
    double ValueOf(char function) const;

  private:
    enum class Kind { NoReply, Query, Ack };

    std::optional<std::string> Dispatch(std::string_view command);
    std::optional<std::string> Fail(int code, std::string_view message, Kind kind);
    std::optional<std::string> Unknown(Kind kind);
    void PushError(int code, std::string_view message);

    std::optional<std::string> HandleShort(std::string_view header, std::string_view arg,
                                           bool hasArg);
    std::optional<std::string> HandleScpi(std::string_view header, std::string_view arg,
                                          bool hasArg, bool* handled);
    std::optional<std::string> HandlePresets(std::string_view header, std::string_view arg,
                                             bool hasArg, bool* handled);
    std::optional<std::string> SetValue(char function, std::string_view arg, Kind kind);

    bool IsScpiClass() const { return config_.modelClass == 3 || config_.modelClass == 7; }
    bool FunctionAvailable(char function) const;
    bool Settable(char function, double value) const;
    bool IsTemperature(char function) const;
    std::string FormatValue(char function) const;  // "A?" layouts
    std::string StatusWord() const;                // "V?" layouts

    Config config_;
    DecadeState state_;
    bool lastWasIdn_ = false;
};

// Conversions between degree Celsius and the temperature unit index.
double ToUnit(double celsius, int unit);
double FromUnit(double value, int unit);

// Reads a plain decimal number (sign, digits, point, exponent) that fills the whole text
// apart from blanks around it. No hexadecimal, no inf or nan.
std::optional<double> ParseNumber(std::string_view text);
// Reads a decimal integer that fills the whole text apart from blanks around it.
std::optional<int> ParseInteger(std::string_view text);

// 1.2345E+03: mantissa with five significant digits, exponent a multiple of three.
std::string FormatEngineering(double value);
// 25.000E+00: exponent 0, five significant digits.
std::string FormatFixedE(double value);
// Plain scientific notation, one digit before the point, four after, any exponent:
// 1.5000E+02, 4.7000E-08 (the --scientific form of "A?").
std::string FormatScientific(double value);

}  // namespace sim
