// A decade session: one link to one decade and what the program knows about it. It
// opens the link, identifies the decade, lists its functions and presets, reads its state
// into a plain value, sets each setting and closes, in the dialect of the decade's class,
// and says what happened instead of showing anything. It needs no widget; the panel is
// one front end on top of it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "decade/model.h"
#include "decade/profiles.h"
#include "decade/value_reply.h"
#include "link/communic.h"

namespace decade {

// What an operation came to: done, refused by the decade, no answer, link gone, with the
// reason in one line.
using Outcome = ExchangeResult;

// What the session knows about the decade at the other end.
struct DecadeInfo {
    int model = 0;         // model class number (ModelClass), 0 none
    std::string name;      // display name, empty when none
    int serialNumber = 0;  // from the identity reply, 0 when absent
    float firmwareVersion = 0.0f;
    int newFirmware = 0;         // 1 when presets are selected by number (newer firmware)
    int thresholdAvailable = 1;  // the decade takes a threshold ("W")
    int valueExponent = 0;       // decimal exponent of the prefix the value is shown in
};

// Where the link goes: its address and the baud rate of a serial link.
using LinkSettings = links::LinkSettings;

// An entry of the function list: its code, and for a preset the name the decade gave it
// (kind 0 user function, 1 timing; -1 for the fixed functions).
struct ListedFunction {
    int code = fn::kNone;
    int presetKind = -1;
    std::string presetName;
};

// The decade's state as a plain value: the function, the temperature unit index, the
// value as shown (in the prefix of exponent, with its decimals, unit and prefix texts),
// R0, threshold, sensor standard and scale, and the output, short and ground relays.
struct DecadeState {
    int function = fn::kNone;
    int unit = 0;
    double value = 0.0;
    int decimals = 0;
    int exponent = 0;
    std::string unitText;
    std::string prefix;
    double r0 = 0.0;
    int threshold = 0;
    int standard = 0;
    int scale = 0;
    int output = 0;
    int shorted = 0;
    int ground = 0;
};

// The value as one read found it.
struct ValueRead {
    value_reply::ShownValue value;
    std::string unitText;
    std::string prefix;
};

// What one read of the state found: a field is set only when a reply held it; where a
// reply lacks one, later steps go on with what the caller showed before.
struct StateRead {
    std::optional<int> function;
    std::optional<int> unit;
    std::optional<ValueRead> value;
    std::optional<double> r0;
    std::optional<int> threshold;
    std::optional<int> scale;
    std::optional<int> standard;
    std::optional<int> output;
    std::optional<int> shorted;
    std::optional<int> ground;
    // Decided once the reads they follow from went through:
    std::optional<bool> runButton;      // the output button only starts a program
    std::optional<bool> valueSettable;  // the value can be set (V090 class)
};

// The state before, with what a read found put over it.
DecadeState Merge(DecadeState state, const StateRead& read);

// The result of a setting.
enum class Setting { Taken, Refused, NotApplicable };

// What a front end can set on a decade.
enum class SettingKind { Value, Function, Unit, R0, Threshold, Standard, Scale, Output, Short, Ground };

// The steps of an open, in order.
enum class OpenStep { Link, Identity, Remote, Functions, State };

// Hears the steps of an open as the session does them, so that a front end shows each one
// (the panel fills its controls step by step); every hook does nothing unless overridden.
class OpenObserver {
  public:
    virtual ~OpenObserver() = default;
    // The identity was asked and the model taken from it (none is a failure after this).
    virtual void Identified() {}
    // The remote command went out; the profile of the class now holds.
    virtual void RemoteStarted() {}
    // The function list, read; the function the decade presented is selected again next.
    virtual void FunctionsListed(const std::vector<ListedFunction>& /*list*/) {}
    // The presented function selected again (a class with one function selects none).
    virtual void FunctionSelected(int /*function*/) {}
    // Before the state is read: shown is what the read starts from.
    virtual void ReadingState(DecadeState& /*shown*/) {}
    // What the read of the open found.
    virtual void StateFound(const StateRead& /*read*/) {}
    // The open failed at step with result, before the session lets the link go.
    virtual void OpenFailed(OpenStep /*step*/, const ExchangeResult& /*result*/) {}
};

class DecadeSession {
  public:
    // Both are public so that a front end can show them; the panel's shared-state names
    // (connected, decadeModel, valueExponent ...) refer to the panel's session.
    LinkState link;
    DecadeInfo info;

    const DecadeProfile& Profile() const { return ProfileOf(info.model); }
    ModelClass Model() const { return ClassOf(info.model); }

    // One exchange in the line end of the class (no decade yet: CR LF).
    int Communic(int noReply, const std::string& command, std::string& reply);

    // A sequence of exchanges (an open, a close, an operator's action); see BeginSequence.
    void BeginSequence(bool stopOnFailure);
    const Outcome& Result() const { return link.sequence; }
    bool LinkFailed() const { return SequenceLinkFailed(link); }

    // ----- The open, step by step, so that a front end can show each step. -----
    // Opens the link settings name; false with the reason.
    bool OpenLink(const LinkSettings& settings, std::string& reason);
    // Asks the identity twice (the first answer may still carry what the decade had
    // queued) and takes model, name, serial number and firmware from the second one.
    std::string Identify();
    void FindModel(const std::string& reply);
    void ScanDeviceInfo(const std::string& reply);
    // newFirmware when the firmware is above the profile's limit (strict).
    void ApplyFirmwareRule();
    // The flags of the decade of this link, then the remote command.
    void StartRemote();
    // The function the decade presents before the probing changes it (kNone for a class
    // with one function); a reply too short for its character gives kBasic.
    int PresentFunction();
    // The function list of the class: plain entries, probed entries the decade accepts,
    // and the presets it holds with their names.
    std::vector<ListedFunction> ReadFunctionList();
    // The first steps of an open, for a front end that does one thing and closes: link,
    // identity and remote. Done once a decade answered (Result() then says how the remote
    // command went), or what went wrong (the link is closed again then; a link open
    // before is closed first).
    Outcome Connect(const LinkSettings& settings);
    Outcome Connect(const LinkSettings& settings, OpenObserver& observer);
    // The whole open: link, identity, remote, function list, the function selected again
    // and the state read; observer hears each step. A GPIB device gone is let go without
    // a local command; any other failure closes the link.
    Outcome Open(const LinkSettings& settings, OpenObserver& observer);
    // The same for a front end without a panel: the state read into state, the list into
    // functions.
    Outcome Open(const LinkSettings& settings, DecadeState* state = nullptr,
                 std::vector<ListedFunction>* functions = nullptr);

    // The local command and the port closed (GPIB: the device back to local); the session
    // then knows no decade. A cancel (linkthread::Cancel, CancelFromSignal) does not reach
    // the close: the local command and the wait before the port closes go out all the same,
    // unless the link is gone. The cancel stays requested for the caller.
    void Close();
    // The link let go without a word to the decade (it is gone).
    void Drop();
    // Forgets the decade and marks the link closed.
    void Forget();

    // ----- Functions. -----
    // The function code of a function character; may ask which preset is selected.
    int CommandToFunction(int character);
    // Whether the function list of the class can hold code (a preset code: when the class
    // has presets of its kind); the decade may still refuse it.
    bool HasFunction(int code) const;
    // Selects a function; false when the decade refused it (nothing is shown).
    bool SelectFunction(int code);
    // The unit text of a function code; for a user-function preset the decade is asked.
    std::string FunctionUnit(int code, int unitIndex);
    // The name the decade gives preset index (0-based) of kind 0 or 1, as received.
    std::string PresetName(int kind, int index);

    // ----- State. -----
    // Reads the state in the sequence of the class, starting from shown; false as soon as
    // a query cannot be sent (read holds what was read until then).
    bool ReadState(const DecadeState& shown, StateRead& read);
    // The same into a plain value.
    bool ReadState(DecadeState& state);
    // What a read right after Connect starts from: what the panel shows once it opened.
    DecadeState StartingState() const;

    // ----- What the decade of this session offers. -----
    // Whether the class has the setting at all (the panel shows a control for it).
    bool Offers(SettingKind kind) const;
    // Whether a setting depends on the state the decade is in (its function, its
    // output), so that a front end that shows no state reads it first.
    bool NeedsStateFirst(SettingKind kind) const;

    // ----- Settings: true when the decade took them; otherwise the sequence's result
    // says it refused (unless the link failed first). -----
    // "<command> <number>", the value times 10^valueExponent when scale is set; with
    // errorQueue checked through "*CLS" / "SYST:ERR?", otherwise by an "Ok" reply.
    bool SetValue(double value, std::string_view command, bool scale, bool errorQueue);
    // The value as the value field gives it, in the class's own way: only on the basic
    // function where so, and not while a V151's output is off.
    Setting SetShownValue(double shown, int function, bool outputOn);
    // The same with the value in the base unit of the function (ohm, farad, degree, the
    // preset's unit) instead of the prefix shown.
    Setting SetBaseValue(double value, int function, bool outputOn);
    // The command followed by value (kind 0: decimal, 1: the character with that code),
    // acknowledged by "Ok".
    bool SetSwitch(std::string_view command, int kind, int value);
    bool SendAcknowledged(const std::string& command);
    bool SetUnit(int unit);
    bool SetStandard(int standard);
    bool SetScale(int scale);
    bool SetThreshold(int threshold);
    bool SetR0(double r0);

    // ----- Relays: each NotApplicable where the class has no such relay. -----
    // Starts the selected program (the output button reads "Run").
    Setting StartProgram();
    Setting SetOutput(bool on, double shownValue = 0.0);
    Setting SetGround(bool on);
    Setting SetShort(bool on);

  private:
    bool ValueSettable(int function, bool outputOn) const;
    bool Ask(std::string_view query, std::string& reply);
    void Send(std::string_view command);
    int AskSelectedPreset(int kind);
    void SelectPreset(int code);
    bool QueryThenSelect(std::string_view query, std::string_view select);
    bool SendExpectingOk(const std::string& command);
    bool Taken(bool taken, const std::string& command);
    bool SendCheckingErrorQueue(const std::string& command);
    int PresetCount(int kind);
    // The state reads of the dialects.
    int FunctionFrom(const std::string& reply, std::size_t pos, const DecadeState& shown,
                     StateRead& read);
    void TakeValue(const value_reply::ShownValue& value, int function, int unitIndex,
                   StateRead& read);
    bool ReadFunctionValueR0(std::string& reply, const DecadeState& shown, StateRead& read,
                             int& function);
    bool ReadResistance(std::string& reply, const DecadeState& shown, StateRead& read);
    bool ReadV330(std::string& reply, const DecadeState& shown, StateRead& read);
    bool ReadCapacitance(std::string& reply, const DecadeState& shown, StateRead& read);
    bool ReadV151(std::string& reply, const DecadeState& shown, StateRead& read);
    bool ReadV211(std::string& reply, const DecadeState& shown, StateRead& read);
    bool ReadV090(std::string& reply, const DecadeState& shown, StateRead& read);
};

// Parsing of the replies the session reads, pure.
int PresetCodeFromReply(std::string_view reply, int base);
std::string UnitTextFromReply(std::string_view reply);
std::string PrefixLabel(int exponent);

}  // namespace decade
