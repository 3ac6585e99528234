// The decade session: every exchange with a decade, in the dialect of its class.
#include "decade/session.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "decade/commands.h"
#include "decade/identity.h"
#include "platform/link_thread.h"
#include "platform/text.h"

namespace decade {

namespace {

constexpr double kWaitBeforePortClose = 0.5;  // seconds between the local command and the close

// Temperature units by the index the unit ring and the decade's status use.
constexpr std::string_view kTemperatureUnits[] = {"°C", "°F", "K"};

struct PrefixRow {
    int exponent;
    std::string_view letter;
};
// clang-format off
constexpr PrefixRow kPrefixTable[] = {
    {-12, "p"}, {-9, "n"}, {-6, "u"}, {-3, "m"}, {3, "k"}, {6, "M"}, {9, "G"}, {12, "T"},
};
// clang-format on

// The characters "F?" reports the basic function and a user function with.
constexpr char kBasicCharacter = '0';
constexpr char kUserFunctionCharacter = '7';

template <typename T>
T Or(const std::optional<T>& read, T shown) {
    return read ? *read : shown;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Parsing.
// ---------------------------------------------------------------------------------------

int PresetCodeFromReply(std::string_view reply, int base) {
    const std::optional<int> number = text::ScanIntAuto(text::UpToNul(reply));
    if (!number || *number < 1 || *number > fn::kPresetsPerKind) return 0;
    return base + *number - 1;
}

std::string UnitTextFromReply(std::string_view reply) {
    reply = text::TrimLineEnd(text::UpToNul(reply));
    std::string unit;
    for (std::size_t i = 1; i <= 8 && i < reply.size(); ++i) {
        const char c = reply[i];
        if (c == '"') break;
        if (c == '^') {
            unit += "Ohm";
        } else if (c == '{') {
            unit += "°";
        } else {
            unit += c;
        }
    }
    return unit;
}

std::string PrefixLabel(int exponent) {
    for (const PrefixRow& row : kPrefixTable) {
        if (row.exponent == exponent) return std::string(row.letter);
    }
    return {};
}

DecadeState Merge(DecadeState state, const StateRead& read) {
    state.function = Or(read.function, state.function);
    state.unit = Or(read.unit, state.unit);
    if (read.value) {
        state.value = read.value->value.shown;
        state.decimals = read.value->value.decimals;
        state.exponent = read.value->value.exponent;
        state.unitText = read.value->unitText;
        state.prefix = read.value->prefix;
    }
    state.r0 = Or(read.r0, state.r0);
    state.threshold = Or(read.threshold, state.threshold);
    state.scale = Or(read.scale, state.scale);
    state.standard = Or(read.standard, state.standard);
    state.output = Or(read.output, state.output);
    state.shorted = Or(read.shorted, state.shorted);
    state.ground = Or(read.ground, state.ground);
    return state;
}

// ---------------------------------------------------------------------------------------
// Exchanges.
// ---------------------------------------------------------------------------------------

int DecadeSession::Communic(int noReply, const std::string& command, std::string& reply) {
    // The line end of the class at the moment of the call, so the identity query of an
    // open goes with the line end of no decade (CR LF).
    return Exchange(link, noReply, command, Profile().lineEnd, reply);
}

void DecadeSession::BeginSequence(bool stopOnFailure) {
    ::BeginSequence(link, stopOnFailure);
}

bool DecadeSession::Ask(std::string_view query, std::string& reply) {
    return Communic(0, std::string(query), reply) != 0;
}

void DecadeSession::Send(std::string_view command) {
    std::string unused;
    Communic(1, std::string(command), unused);
}

// ---------------------------------------------------------------------------------------
// Open and close.
// ---------------------------------------------------------------------------------------

bool DecadeSession::OpenLink(const LinkSettings& settings, std::string& reason) {
    return ::OpenLink(link, settings, reason);
}

std::string DecadeSession::Identify() {
    std::string identity;
    const std::string query(cmd::kIdentity);
    Communic(0, query, identity);
    Communic(0, query, identity);
    FindModel(identity);
    ScanDeviceInfo(identity);
    return identity;
}

void DecadeSession::FindModel(const std::string& reply) {
    const ModelToken* row = FindModelToken(reply);
    info.model = row != nullptr ? row->index : 0;
    info.name = row != nullptr ? std::string(row->displayName) : std::string();
}

void DecadeSession::ScanDeviceInfo(const std::string& reply) {
    const DeviceInfo device = decade::ScanDeviceInfo(reply);
    info.serialNumber = device.serialNumber;
    info.firmwareVersion = device.firmwareVersion;
}

void DecadeSession::ApplyFirmwareRule() {
    const double version = info.firmwareVersion;
    const double above = Profile().newFirmwareAbove;
    if (above > 0.0 && version > above) info.newFirmware = 1;
}

void DecadeSession::StartRemote() {
    const DecadeProfile& profile = Profile();
    // Both flags describe the decade of this link, so a later open recomputes them.
    info.newFirmware = 0;
    ApplyFirmwareRule();
    info.thresholdAvailable = profile.threshold ? 1 : 0;
    // A link that switches the decade to remote itself (GPIB) needs no command for it,
    // unless the class asks for its own.
    if (profile.remoteOverGpib || !LinkSwitchesRemote(link)) {
        std::string unused;
        Communic(profile.remote.readsReply ? 0 : 1, std::string(profile.remote.text), unused);
    }
    if (profile.openShowsValue) info.valueExponent = profile.openValueExponent;
}

int DecadeSession::PresentFunction() {
    const FunctionQuery& query = Profile().functionQuery;
    if (query.command.empty()) return fn::kNone;
    std::string reply;
    if (query.settleFirst) linkthread::Delay(kSettleBeforeQuery);
    Communic(0, std::string(query.command), reply);
    if (reply.size() <= query.position) return fn::kBasic;
    return CommandToFunction(static_cast<unsigned char>(reply[query.position]));
}

int DecadeSession::PresetCount(int kind) {
    std::string reply;
    Communic(0, std::string(PresetCommandsOf(kind).count), reply);
    const int count = text::ScanIntAuto(reply).value_or(0);
    return std::clamp(count, 0, fn::kPresetsPerKind);  // codes stay within their kind
}

std::vector<ListedFunction> DecadeSession::ReadFunctionList() {
    std::vector<ListedFunction> list;
    for (const FunctionEntry& e : Profile().functions) {
        switch (e.kind) {
            case Entry::Plain:
                list.push_back({e.code, -1, {}});
                break;
            case Entry::Probed:
                if (SelectFunction(e.code)) list.push_back({e.code, -1, {}});
                break;
            case Entry::UserPresets:
            case Entry::TimingPresets: {
                const int kind = e.kind == Entry::UserPresets ? 0 : 1;
                const int count = PresetCount(kind);
                for (int i = 0; i < count; ++i) {
                    list.push_back({e.code + i, kind, PresetName(kind, i)});
                }
                break;
            }
        }
    }
    return list;
}

Outcome DecadeSession::Connect(const LinkSettings& settings) {
    OpenObserver nobody;
    return Connect(settings, nobody);
}

Outcome DecadeSession::Connect(const LinkSettings& settings, OpenObserver& observer) {
    if (link.connected) Close();
    BeginSequence(false);
    std::string reason;
    if (!OpenLink(settings, reason)) {
        const Outcome result{LinkOutcome::NotOpened, reason};
        observer.OpenFailed(OpenStep::Link, result);
        Close();
        return result;
    }
    const std::string identity = Identify();
    observer.Identified();
    if (info.model == 0) {
        const Outcome result{LinkFailed() ? Result().outcome : LinkOutcome::NoDecade,
                             LinkFailed() ? Result().reason
                                          : "the identity reply \"" + identity +
                                                "\" names no known decade"};
        observer.OpenFailed(OpenStep::Identity, result);
        Close();
        return result;
    }
    StartRemote();
    observer.RemoteStarted();
    // What the remote command came to stays in Result(); the open goes on either way.
    return {};
}

Outcome DecadeSession::Open(const LinkSettings& settings, OpenObserver& observer) {
    const Outcome connected = Connect(settings, observer);
    if (connected.outcome != LinkOutcome::Done) return connected;
    const int function = PresentFunction();
    observer.FunctionsListed(ReadFunctionList());
    if (!Profile().functionQuery.command.empty()) {
        SelectFunction(function);
        observer.FunctionSelected(function);
    }
    DecadeState shown = StartingState();
    shown.function = function;
    observer.ReadingState(shown);
    StateRead read;
    const bool done = ReadState(shown, read);
    observer.StateFound(read);
    if (Result().outcome == LinkOutcome::LinkGone && !LinkLost(link)) {
        // The exchanges found the link gone while its layer still holds it (a GPIB device
        // off the bus): let go, no local command to a device that is not there. A link
        // the layer gave up itself is closed as any other: nothing reaches it.
        const Outcome result = Result();
        observer.OpenFailed(OpenStep::State, result);
        Drop();
        return result;
    }
    if (!done || LinkLost(link)) {
        const Outcome result =
            LinkFailed() ? Result()
                         : Outcome{LinkOutcome::LinkGone, "the link closed during the open"};
        observer.OpenFailed(OpenStep::State, result);
        Close();
        return result;
    }
    return {};  // a probe the decade refused is no failure of the open
}

namespace {

// Keeps what an open found, for a front end that shows it at the end.
class Collect : public OpenObserver {
  public:
    void FunctionsListed(const std::vector<ListedFunction>& list) override { functions = list; }
    void ReadingState(DecadeState& shown) override { state = shown; }
    void StateFound(const StateRead& read) override { state = Merge(state, read); }

    DecadeState state;
    std::vector<ListedFunction> functions;
};

}  // namespace

Outcome DecadeSession::Open(const LinkSettings& settings, DecadeState* state,
                            std::vector<ListedFunction>* functions) {
    Collect found;
    const Outcome result = Open(settings, found);
    if (result.outcome != LinkOutcome::Done) return result;
    if (state != nullptr) *state = found.state;
    if (functions != nullptr) *functions = std::move(found.functions);
    return result;
}

void DecadeSession::Forget() {
    info.model = 0;
    info.name.clear();
    info.serialNumber = 0;
    info.firmwareVersion = 0.0f;
    link.connected = 0;
}

void DecadeSession::Close() {
    if (!link.connected) return;
    BeginSequence(false);  // the local command goes out whatever happened before
    // ... a cancel included: a decade left in remote would keep its front panel locked.
    const linkthread::OrderlyEnd orderly;
    if (!LinkSwitchesRemote(link)) {  // the link hands the decade back itself (GPIB)
        const Command& local = Profile().local;
        std::string unused;
        Communic(local.readsReply ? 0 : 1, std::string(local.text), unused);
        linkthread::Delay(kWaitBeforePortClose);
    }
    CloseLink(link);
    Forget();
}

void DecadeSession::Drop() {
    if (!link.connected) return;
    ReleaseLink(link);
    Forget();
}

// ---------------------------------------------------------------------------------------
// Functions.
// ---------------------------------------------------------------------------------------

int DecadeSession::AskSelectedPreset(int kind) {
    const PresetCommands& commands = PresetCommandsOf(kind);
    std::string reply;
    Communic(0, std::string(commands.selected), reply);
    return PresetCodeFromReply(reply, commands.base);
}

int DecadeSession::CommandToFunction(int character) {
    const char c = static_cast<char>(character & 0xFF);
    const int code = CodeOfCharacter(Profile().characters, c);
    if (code == kAskUserFunction) return AskSelectedPreset(0);
    if (code == kAskTiming) return AskSelectedPreset(1);
    return code;
}

std::string DecadeSession::FunctionUnit(int code, int unitIndex) {
    if (code == fn::kBasic) return Profile().capacitance ? "F" : "Ohm";
    if (IsUserFunction(code)) {
        const std::string query = info.newFirmware
                                      ? std::string(cmd::kSelectedPresetUnit)
                                      : std::string(cmd::kPresetUnitBefore) +
                                            std::to_string(code - fn::kUserFunctionBase + 1) +
                                            std::string(cmd::kPresetUnitAfter);
        std::string reply;
        Communic(0, query, reply);
        return UnitTextFromReply(reply);
    }
    if (unitIndex >= 0 && unitIndex < static_cast<int>(std::size(kTemperatureUnits))) {
        return std::string(kTemperatureUnits[static_cast<std::size_t>(unitIndex)]);
    }
    return {};
}

std::string DecadeSession::PresetName(int kind, int index) {
    const PresetCommands& commands = PresetCommandsOf(kind);
    const std::string number = std::to_string(index + 1);
    std::string reply;
    if (info.newFirmware != 0) {
        Send(std::string(commands.select) + number);
        Communic(0, std::string(commands.selectedName), reply);
    } else {
        Communic(0, std::string(commands.nameBefore) + number + std::string(commands.nameAfter),
                 reply);
    }
    return reply;
}

// Sends query, then select followed by the reply without its line end, without waiting
// for a reply. A reply that would put another control byte on the line, or make the
// command longer than the link takes, is not sent back: false then.
bool DecadeSession::QueryThenSelect(std::string_view query, std::string_view select) {
    std::string reply;
    Communic(0, std::string(query), reply);
    std::string command(select);
    command += text::TrimLineEnd(text::UpToNul(reply));
    if (command.size() > kMaxCommandLength || text::HasControlByte(command)) return false;
    Send(command);
    return true;
}

// The command that selects a user-function or timing preset; nothing for other codes.
void DecadeSession::SelectPreset(int code) {
    if (!IsPreset(code)) return;
    const PresetCommands& commands = PresetCommandsOf(IsUserFunction(code) ? 0 : 1);
    Send(std::string(commands.select) + std::to_string(code - commands.base + 1));
}

bool DecadeSession::HasFunction(int code) const {
    for (const FunctionEntry& e : Profile().functions) {
        switch (e.kind) {
            case Entry::Plain:
            case Entry::Probed:
                if (e.code == code) return true;
                break;
            case Entry::UserPresets:
                if (IsUserFunction(code)) return true;
                break;
            case Entry::TimingPresets:
                if (IsTimingPreset(code)) return true;
                break;
        }
    }
    return false;
}

bool DecadeSession::SelectFunction(int code) {
    switch (Profile().selection) {
        case Selection::None:
            return true;
        case Selection::QueryThenSet: {
            // A timing preset switches the short off first.
            if (IsPreset(code)) {
                if (IsTimingPreset(code)) Send(cmd::kShortOff);
                SelectPreset(code);
                return true;
            }
            const QuerySelect* row = QuerySelectOf(code);
            if (row == nullptr) return true;
            if (!QueryThenSelect(row->query, row->select))
                return Taken(false, std::string(row->select));
            if (!row->standard.empty()) Send(row->standard);
            return true;
        }
        case Selection::ResOnly:
            if (code == fn::kBasic) {
                const QuerySelect* row = QuerySelectOf(code);
                return Taken(QueryThenSelect(row->query, row->select), std::string(row->select));
            }
            SelectPreset(code);
            return true;
        case Selection::ShortCommand:
            break;
    }
    // Cleared first: when nothing was exchanged the old text must not pass as "Ok".
    const std::string command(ShortCommandOf(code));
    std::string reply;
    Communic(0, command, reply);
    if (!Taken(text::IsOk(reply), command)) return false;
    SelectPreset(code);
    return true;
}

// ---------------------------------------------------------------------------------------
// State. Every read below takes what the reply holds and nothing more: a reply too short
// for a position, or without a number where one is read, leaves the field unread, and
// the read goes on with what the caller showed.
// ---------------------------------------------------------------------------------------

int DecadeSession::FunctionFrom(const std::string& reply, std::size_t pos, const DecadeState& shown,
                                StateRead& read) {
    const std::optional<char> c = value_reply::CharAt(reply, pos);
    if (!c) return Or(read.function, shown.function);
    read.function = CommandToFunction(static_cast<unsigned char>(*c));
    return *read.function;
}

void DecadeSession::TakeValue(const value_reply::ShownValue& value, int function, int unitIndex,
                              StateRead& read) {
    info.valueExponent = value.exponent;
    ValueRead taken{value, FunctionUnit(function, unitIndex), PrefixLabel(value.exponent)};
    read.value = std::move(taken);
}

// "V?", "A?" and "R?": function and unit, the value in E-notation, R0.
bool DecadeSession::ReadFunctionValueR0(std::string& reply, const DecadeState& shown,
                                        StateRead& read, int& f) {
    if (!Ask(cmd::kStatus, reply)) return false;
    f = FunctionFrom(reply, 1, shown, read);
    if (auto unit = value_reply::IntAt(reply, 3)) read.unit = unit;
    const int unitIndex = Or(read.unit, shown.unit);
    if (!Ask(cmd::kValue, reply)) return false;
    if (const auto value = value_reply::ParseENotation(reply))
        TakeValue(*value, f, unitIndex, read);
    if (!Ask(cmd::kR0, reply)) return false;
    if (const auto r0 = value_reply::FiniteDouble(reply)) read.r0 = r0;
    return true;
}

bool DecadeSession::ReadResistance(std::string& reply, const DecadeState& shown, StateRead& read) {
    int f = 0;
    if (!ReadFunctionValueR0(reply, shown, read, f)) return false;
    if (info.thresholdAvailable == 0) return true;
    if (!Ask(cmd::kThreshold, reply)) return false;
    if (auto threshold = value_reply::IntAt(reply, 0)) read.threshold = threshold;
    return true;
}

bool DecadeSession::ReadV330(std::string& reply, const DecadeState& shown, StateRead& read) {
    int f = 0;
    if (!ReadFunctionValueR0(reply, shown, read, f)) return false;
    if (!Ask(cmd::kOutput, reply)) return false;
    if (auto output = value_reply::IntAt(reply, 0)) read.output = output;
    if (!Ask(cmd::kShort, reply)) return false;
    if (auto shorted = value_reply::IntAt(reply, 0)) read.shorted = shorted;
    // A timing preset runs a program: only the run button; otherwise output and short.
    read.runButton = IsTimingPreset(f);
    return true;
}

bool DecadeSession::ReadCapacitance(std::string& reply, const DecadeState& shown, StateRead& read) {
    if (!Ask(cmd::kFunction, reply)) return false;
    const std::optional<char> c = value_reply::CharAt(reply, 0);
    const int f = FunctionFrom(reply, 0, shown, read);
    reply.clear();
    if (c == kUserFunctionCharacter) {
        if (!Ask(cmd::kUserFunctionDisplay, reply)) return false;
    } else if (c == kBasicCharacter) {
        if (!Ask(cmd::kCapacitanceDisplay, reply)) return false;
    }
    if (!reply.empty()) {
        if (const auto value = value_reply::ParseDisplayText(reply)) TakeValue(*value, f, 0, read);
    }
    if (!Ask(cmd::kOutput, reply)) return false;
    if (auto output = value_reply::IntAt(reply, 0)) read.output = output;
    if (!Ask(cmd::kStatus, reply)) return false;
    if (auto ground = value_reply::IntAt(reply, 1)) read.ground = ground;
    return true;
}

bool DecadeSession::ReadV151(std::string& reply, const DecadeState& shown, StateRead& read) {
    reply.clear();
    if (!Ask(cmd::kValue, reply)) return false;
    if (!reply.empty()) {
        if (const auto value =
                value_reply::ParseCapacitance(reply, shown.value, info.valueExponent)) {
            read.output = value->outputOn ? 1 : 0;
            TakeValue(value->value, fn::kBasic, 0, read);
        }
    }
    if (!Ask(cmd::kStatus, reply)) return false;
    if (auto ground = value_reply::IntAt(reply, 1)) read.ground = ground;
    return true;
}

bool DecadeSession::ReadV211(std::string& reply, const DecadeState& shown, StateRead& read) {
    if (!Ask(cmd::kStatus, reply)) return false;
    const int f = FunctionFrom(reply, 1, shown, read);
    if (auto scale = value_reply::IntAt(reply, 3)) read.scale = scale;
    if (auto standard = value_reply::IntAt(reply, 5)) read.standard = standard;
    if (!Ask(cmd::kValue, reply)) return false;
    if (const auto value = value_reply::ParseENotation(reply)) TakeValue(*value, f, 0, read);
    return true;
}

bool DecadeSession::ReadV090(std::string& reply, const DecadeState& shown, StateRead& read) {
    if (!Ask(cmd::kFunction, reply)) return false;
    const int f = FunctionFrom(reply, 0, shown, read);
    reply.clear();
    if (f == fn::kBasic && !Ask(cmd::kResistanceDisplay, reply)) return false;
    if (!reply.empty()) {
        if (const auto value = value_reply::ParseDisplayText(reply)) TakeValue(*value, f, 0, read);
    }
    if (!Ask(cmd::kOutput, reply)) return false;
    if (auto output = value_reply::IntAt(reply, 0)) read.output = output;
    if (!Ask(cmd::kShort, reply)) return false;
    if (auto shorted = value_reply::IntAt(reply, 0)) read.shorted = shorted;
    const int shorted = Or(read.shorted, shown.shorted);
    // The value can be set only while the decade presents an unshorted resistance.
    read.valueSettable = f == fn::kBasic && shorted == 0;
    if (!Ask(cmd::kGround, reply)) return false;
    if (auto ground = value_reply::IntAt(reply, 0)) read.ground = ground;
    read.runButton = !(f == fn::kBasic || shorted != 0);
    return true;
}

bool DecadeSession::ReadState(const DecadeState& shown, StateRead& read) {
    std::string reply;  // one buffer for every query of the read
    switch (Profile().refresh) {
        case RefreshSequence::Resistance:
            break;
        case RefreshSequence::V330:
            return ReadV330(reply, shown, read);
        case RefreshSequence::Capacitance:
            return ReadCapacitance(reply, shown, read);
        case RefreshSequence::V151:
            return ReadV151(reply, shown, read);
        case RefreshSequence::V211:
            return ReadV211(reply, shown, read);
        case RefreshSequence::V090:
            return ReadV090(reply, shown, read);
    }
    return ReadResistance(reply, shown, read);
}

DecadeState DecadeSession::StartingState() const {
    DecadeState shown;
    if (Profile().openShowsValue) shown.value = kOpenValue;
    return shown;
}

bool DecadeSession::Offers(SettingKind kind) const {
    const DecadeProfile& profile = Profile();
    switch (kind) {
        case SettingKind::Value:
            return true;
        case SettingKind::Function:
            return profile.selection != Selection::None;
        case SettingKind::Unit:
            return profile.unit;
        case SettingKind::R0:
            return profile.r0;
        case SettingKind::Threshold:
            return profile.threshold && info.thresholdAvailable != 0;
        case SettingKind::Standard:
            return profile.standard;
        case SettingKind::Scale:
            return profile.scale;
        case SettingKind::Output:
            return profile.output != OutputButton::None;
        case SettingKind::Short:
            return profile.shortRelay;
        case SettingKind::Ground:
            return profile.ground != GroundRelay::None;
    }
    return false;
}

bool DecadeSession::NeedsStateFirst(SettingKind kind) const {
    const DecadeProfile& profile = Profile();
    const bool valueSwitch = profile.output == OutputButton::ValueSwitch;
    if (kind == SettingKind::Value) return profile.valueBasicOnly || valueSwitch;
    return kind == SettingKind::Output && valueSwitch;
}

bool DecadeSession::ReadState(DecadeState& state) {
    StateRead read;
    const bool done = ReadState(state, read);
    state = Merge(state, read);
    return done;
}

// ---------------------------------------------------------------------------------------
// Settings.
// ---------------------------------------------------------------------------------------

// Sends command and reads the reply; true when it starts with "Ok". The reply starts
// empty, so an exchange that never happened (link closed, command refused) is no "Ok".
bool DecadeSession::SendExpectingOk(const std::string& command) {
    std::string reply;
    Communic(0, command, reply);
    return Taken(text::IsOk(reply), command);
}

// A setting that was not taken is a refusal of the sequence, unless the link failed.
bool DecadeSession::Taken(bool taken, const std::string& command) {
    if (!taken) NoteRefusal(link, "the decade refused \"" + command + "\"");
    return taken;
}

// The error-queue check: clear the status, send the command, then ask for the first error.
// Only an error number 0 counts as taken; a command that could not be sent, or an error
// reply without a number, does not.
bool DecadeSession::SendCheckingErrorQueue(const std::string& command) {
    std::string unused;
    if (Communic(1, std::string(cmd::kClearStatus), unused) == 0) return Taken(false, command);
    if (Communic(1, command, unused) == 0) return Taken(false, command);
    std::string reply;
    Communic(0, std::string(cmd::kFirstError), reply);
    const std::optional<int> error = text::ScanIntDecimal(reply);
    return Taken(error.has_value() && *error == 0, command);
}

bool DecadeSession::SetValue(double value, std::string_view command, bool scale, bool errorQueue) {
    double number = value;
    if (scale) number = value * std::pow(10.0, info.valueExponent);
    const std::string line = std::string(command) + " " + text::FormatPlain(number);
    if (!std::isfinite(number)) return Taken(false, line);  // no number the decade could read
    return errorQueue ? SendCheckingErrorQueue(line) : SendExpectingOk(line);
}

bool DecadeSession::ValueSettable(int function, bool outputOn) const {
    const DecadeProfile& profile = Profile();
    if (profile.valueBasicOnly && function != fn::kBasic) return false;
    // The V151 switches its output through the value: while the output is off the value
    // goes out only through the output button.
    return !(profile.output == OutputButton::ValueSwitch && !outputOn);
}

Setting DecadeSession::SetShownValue(double shown, int function, bool outputOn) {
    if (!ValueSettable(function, outputOn)) return Setting::NotApplicable;
    const DecadeProfile& profile = Profile();
    return SetValue(shown, profile.valueCommand, true, profile.valueErrorQueue) ? Setting::Taken
                                                                                : Setting::Refused;
}

Setting DecadeSession::SetBaseValue(double value, int function, bool outputOn) {
    if (!ValueSettable(function, outputOn)) return Setting::NotApplicable;
    const DecadeProfile& profile = Profile();
    return SetValue(value, profile.valueCommand, false, profile.valueErrorQueue) ? Setting::Taken
                                                                                 : Setting::Refused;
}

bool DecadeSession::SetSwitch(std::string_view command, int kind, int value) {
    std::string line(command);
    if (kind == 0) {
        line += std::to_string(value);
    } else if (kind == 1) {
        line += static_cast<char>(value & 0xFF);
    } else {
        return Taken(false, line);
    }
    // A character that would break the line (a NUL, CR, LF …) is not sent.
    if (text::HasControlByte(line)) return Taken(false, line);
    return SendAcknowledged(line);
}

bool DecadeSession::SendAcknowledged(const std::string& command) {
    return SendExpectingOk(command);
}

bool DecadeSession::SetUnit(int unit) {
    return SetSwitch(cmd::kSetUnit, 0, unit);
}
bool DecadeSession::SetStandard(int standard) {
    return SetSwitch(cmd::kSetStandard, 0, standard);
}
bool DecadeSession::SetScale(int scale) {
    return SetSwitch(cmd::kSetScale, 0, scale);
}
bool DecadeSession::SetThreshold(int threshold) {
    return SendAcknowledged(std::string(cmd::kSetThreshold) + std::to_string(threshold));
}
bool DecadeSession::SetR0(double r0) {
    return SendAcknowledged(std::string(cmd::kSetR0) + text::FormatPlain(r0));
}

// ---------------------------------------------------------------------------------------
// Relays.
// ---------------------------------------------------------------------------------------

Setting DecadeSession::StartProgram() {
    if (Profile().output != OutputButton::Toggle) return Setting::NotApplicable;
    Send(cmd::kOutputOn);
    return Setting::Taken;
}

Setting DecadeSession::SetOutput(bool on, double shownValue) {
    switch (Profile().output) {
        case OutputButton::Toggle:
            Send(on ? cmd::kOutputOn : cmd::kOutputOff);
            return Setting::Taken;
        case OutputButton::ValueSwitch: {
            const double number = on ? shownValue * std::pow(10.0, info.valueExponent) : 0.0;
            Send(std::string(cmd::kSetValueLetter) + " " + text::FormatPlain(number));
            linkthread::Delay(kRelaySettle);
            return Setting::Taken;
        }
        case OutputButton::None:
            break;
    }
    return Setting::NotApplicable;
}

Setting DecadeSession::SetGround(bool on) {
    switch (Profile().ground) {
        case GroundRelay::Letters:
            Send(on ? cmd::kGroundLetterOn : cmd::kGroundLetterOff);
            linkthread::Delay(kRelaySettle);
            return Setting::Taken;
        case GroundRelay::Words:
            Send(on ? cmd::kGroundWordOn : cmd::kGroundWordOff);
            return Setting::Taken;
        case GroundRelay::None:
            break;
    }
    return Setting::NotApplicable;
}

Setting DecadeSession::SetShort(bool on) {
    if (!Profile().shortRelay) return Setting::NotApplicable;
    Send(on ? cmd::kShortOn : cmd::kShortOff);
    linkthread::Delay(kRelaySettle);
    return Setting::Taken;
}

}  // namespace decade
