// What one simulated decade is: its identity, its presets, its refusals and the faults it
// shows on the wire. Filled from the command line of decade-sim or from DECADE_SIM_ARGS.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sim {

// A stored user function: its name and its unit code in the decade's own character set
// ('^' is Ohm, '{' is the degree sign), e.g. "{C" or "^".
struct Preset {
    std::string name;
    std::string unit;
};

enum class LineEnd { CrLf, Lf, Cr, None };

struct Config {
    // Identity.
    std::string model = "V212";  // one of the model tokens, spelled as the reply shows it
    int modelClass = 2;          // 1..7, derived from the model token
    std::string maker = "SIMLAB";
    std::string serial = "1234";  // kept as text: "0123" and "0x1F" go out unchanged
    std::string firmware = "1.000";
    std::optional<std::string> idn;       // replaces the whole identity reply
    std::optional<std::string> firstIdn;  // reply to an "*IDN?" not preceded by "*IDN?"

    // Stored presets (numbered from 1 on the wire).
    std::vector<Preset> userPresets;
    std::vector<std::string> timingPresets;

    // Commands the decade refuses. An entry matches a command that equals it, or that
    // starts with it followed by a blank; an entry ending in '*' matches every command
    // starting with the text before the '*'. Letter case is ignored.
    std::vector<std::string> refuse;
    // With strictFirmware, a decade answers only the preset queries of its firmware:
    // numbered forms on older firmware, select-then-ask forms on newer firmware.
    bool strictFirmware = false;

    // Faults on the wire.
    bool silent = false;                     // never replies
    std::vector<std::string> silentTo;       // no reply to these commands
    int delayMs = 0;                         // every reply this much later
    bool garbage = false;                    // replies replaced by junk bytes
    bool longReplies = false;                // replies padded beyond 50 bytes
    bool nulBytes = false;                   // a NUL byte in the middle of each reply
    LineEnd lineEnd = LineEnd::CrLf;         // what ends each reply
    std::vector<std::string> faultCommands;  // limits delay/garbage/long/NUL/line end
    int dropAfter = -1;                      // drop the link after this many exchanges
    int dropAtMs = -1;                       // drop the link this long after the first line
    int floodAfter = -1;                     // after this many exchanges, stream lines unasked
    int silentAfter = -1;                    // no replies after this many exchanges ...
    int silentFor = -1;                      // ... for this many exchanges (-1: for good)
    // Replies given instead of the decade's own: a command pattern (as in refuse) and the
    // exact reply bytes, line end not included. The command still acts.
    std::vector<std::pair<std::string, std::string>> replies;

    // "A?" answered in plain scientific notation (1.5000E+02) instead of the engineering
    // and fixed layouts.
    bool scientific = false;

    // Initial state.
    std::optional<char> function;  // function character at power-on
    std::optional<double> value;   // value of that function at power-on
    int unit = 0;
    bool output = false;
    bool shortCircuit = false;
    bool ground = false;

    // Front ends.
    std::string link;        // pty: symlink to make (e.g. DIR/com1)
    std::string transcript;  // file the transcript is appended to
    int gpibAddress = -1;    // GPIB: primary address it answers at; -1 any
    int gpibMaxWaitMs = -1;  // GPIB: cap on read time-outs; -1 none
    int gpibHangReadMs = 0;  // GPIB: every read blocks this long, deaf to time-out and ibstop
};

// The class (1..7) of a model token, ignoring letter case; 0 when it is no model token.
int ClassOfModel(std::string_view model);

// The model tokens in the order the program tests them.
const std::vector<std::string_view>& ModelTokens();

// Reads the options (without the program name). On a mistake returns nothing and says why.
std::optional<Config> ParseArgs(const std::vector<std::string>& args, std::string* error);

// Splits a text into words like a shell does with blanks, single and double quotes.
std::optional<std::vector<std::string>> SplitWords(std::string_view text);

// The --help text.
std::string HelpText();

// The identity reply of a configuration, without line end.
std::string IdentityReply(const Config& config);

// Decodes the escapes of a --reply text: \r, \n, \t, \0, \\ and \xHH. Nothing on a
// bad escape.
std::optional<std::string> DecodeEscapes(std::string_view text);

// True when a command is matched by one entry of a list (see Config::refuse).
bool MatchesAny(const std::vector<std::string>& patterns, std::string_view command);

}  // namespace sim
