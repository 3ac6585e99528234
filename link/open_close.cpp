// Opening and closing the link, and the link controls of the panel.
#include "link/open_close.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>

#include "app/panel.h"
#include "app/shared_state.h"
#include "app/texts.h"
#include "decade/commands.h"
#include "decade/profiles.h"
#include "functions/catalogue.h"
#include "functions/presets.h"
#include "functions/selection.h"
#include "link/communic.h"
#include "link/models.h"
#include "panel_state/enable_controls.h"
#include "panel_state/refresh.h"
#include "panel_state/title.h"
#include "platform/gpib.h"
#include "platform/rs232.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace {
constexpr int kPortCount = 256;
}  // namespace

// ---------------------------------------------------------------------------------------
// The link controls: the port list and the interface switch.
// ---------------------------------------------------------------------------------------

void FillComs() {
    ui::ClearListCtrl(panelHandle, SERIAL);
    for (int i = 1; i <= kPortCount; ++i) {
        ui::InsertListItem(panelHandle, SERIAL, -1, "COM" + std::to_string(i), i);
    }
}

void ShowInterfaceControls(int panel) {
    int type = 0;
    ui::GetCtrlVal(panel, RING, &type);
    const int gpib = type != 0 ? 1 : 0;
    ui::SetCtrlAttribute(panel, NUM_ADR, ui::ATTR_VISIBLE, gpib);
    ui::SetCtrlAttribute(panel, SERIAL, ui::ATTR_VISIBLE, 1 - gpib);
    ui::SetCtrlAttribute(panel, RATE, ui::ATTR_VISIBLE, 1 - gpib);
}

int ComTypeCB(int panel, int /*control*/, int event, void* /*callbackData*/, int /*eventData1*/,
              int /*eventData2*/) {
    if (event != ui::EVENT_COMMIT) return 0;
    ShowInterfaceControls(panel);
    return 0;
}

// ---------------------------------------------------------------------------------------
// Opening and closing the link.
// ---------------------------------------------------------------------------------------

namespace {

constexpr const char* kGpibPrefix = "v212";
constexpr double kWaitBeforePortClose = 0.5;              // seconds before the port is closed
constexpr int kMaxPresets = decade::fn::kPresetsPerKind;  // codes stay within their kind

using texts::kCommunicationFailed;
using texts::kNoDecade;
using texts::kNoGpib;
using texts::kNoSerialPort;
using Warning = texts::Pair;

// The box in the operator's language, the reason behind its details button, and the same
// as one line on the standard error.
void ShowWarning(const Warning& w, const std::string& reason) {
    const std::string text = texts::Message(w);
    std::fprintf(stderr, "ombrastel: %s%s%s\n", text.c_str(), reason.empty() ? "" : " ",
                 reason.c_str());
    std::fflush(stderr);
    ui::MessagePopup(texts::Message(texts::kWarning), text, reason);
}

int FailOpen(const Warning& w, const std::string& reason) {
    ShowWarning(w, reason);
    CloseCommunic();
    return 0;
}

// Why the open's exchanges failed, or fallback when they all went through.
std::string LinkReasonOr(const std::string& fallback) {
    return SequenceLinkFailed() ? SequenceResult().reason : fallback;
}

// The number of presets the decade reports; a reply without a number counts none.
int PresetCount(std::string_view query) {
    std::string reply;
    Communic(0, std::string(query), reply);
    const int count = text::ScanIntAuto(reply).value_or(0);
    return std::clamp(count, 0, kMaxPresets);
}

void InsertPresets(int kind, int firstCode) {
    const int count = PresetCount(decade::PresetCommandsOf(kind).count);
    for (int i = 0; i < count; ++i) {
        std::string label;
        GetPresetName(kind, i, label);
        InsertFunctionName(firstCode + i, label);
    }
}

void FillFunctionList() {
    ui::ClearListCtrl(panelHandle, FUNCTION);
    using decade::Entry;
    for (const decade::FunctionEntry& e : decade::ProfileOf(decadeModel).functions) {
        switch (e.kind) {
            case Entry::Plain:
                InsertFunction(e.code);
                break;
            case Entry::Probed:
                if (SetFunction(e.code, 0)) InsertFunction(e.code);
                break;
            case Entry::UserPresets:
                InsertPresets(0, e.code);
                break;
            case Entry::TimingPresets:
                InsertPresets(1, e.code);
                break;
        }
    }
}

// The function the decade presents now, read before the probing changes it. A reply too
// short to hold the function character gives 1, the decade's basic function, so the open
// never re-selects from a stale byte.
int PresentFunction(const decade::FunctionQuery& query) {
    std::string reply;
    if (query.settleFirst) ui::Delay(decade::kSettleBeforeQuery);
    Communic(0, std::string(query.command), reply);
    if (reply.size() <= query.position) return decade::fn::kBasic;
    return CommandToFunction(static_cast<unsigned char>(reply[query.position]));
}

// The serial layer closes a port whose line failed (cable pulled, terminal gone); every
// exchange after that reads an empty reply, so a refresh over it showed nothing real.
bool SerialLinkLost() {
    return linkType == 0 && !rs232::IsOpen(comPort);
}

void AdjustUnitRing() {
    constexpr int kKelvin = 2;  // the unit index of K
    int index = -1;
    ui::GetIndexFromValue(panelHandle, UNIT, &index, kKelvin);
    if (decade::ProfileOf(decadeModel).kelvin) {
        if (index < 0) ui::InsertListItem(panelHandle, UNIT, -1, "K", kKelvin);
    } else if (index >= 0) {
        ui::DeleteListItem(panelHandle, UNIT, index, 1);
    }
}

// The state after a close: no decade, the bare title, the link controls usable, COM off.
void EnterClosedState() {
    decadeModel = 0;
    modelName.clear();
    serialNumber = 0;
    firmwareVersion = 0.0f;
    SetName();
    connected = 0;
    EnableControls();
    ui::SetCtrlVal(panelHandle, COM, 0);
    firstReadDone = 0;
}

// A link that is gone: the port or device is let go without sending anything.
void DropLink() {
    if (!connected) return;
    if (linkType != 0) {
        if (gpibDevice >= 0) gpib::ReleaseDev(gpibDevice);
    } else {
        rs232::CloseCom(comPort);
    }
    EnterClosedState();
}

}  // namespace

void BeginHandlerSequence() {
    BeginSequence(true);
}

void FinishHandlerSequence() {
    const ExchangeResult result = SequenceResult();
    BeginSequence(false);
    if (result.outcome == LinkOutcome::LinkGone) DropLink();
    if (result.outcome == LinkOutcome::LinkGone || result.outcome == LinkOutcome::NoAnswer) {
        ShowWarning(kCommunicationFailed, result.reason);
    }
}

int OpenCommunic() {
    // A link still open is closed on the settings it was opened with, before the new ones
    // are read; otherwise its port would stay open and the new one get its local command.
    if (connected) CloseCommunic();
    BeginSequence(false);
    ui::GetCtrlVal(panelHandle, RING, &linkType);
    ui::GetCtrlVal(panelHandle, NUM_ADR, &gpibAddress);
    ui::GetCtrlVal(panelHandle, SERIAL, &comPort);
    ui::GetCtrlVal(panelHandle, RATE, &baudRate);
    connected = 1;

    if (linkType != 0) {
        gpib::CloseInstrDevs(kGpibPrefix);
        gpibDevice = gpib::OpenDev("", kGpibPrefix, gpibAddress);
        if (gpibDevice < 0) return FailOpen(kNoGpib, gpib::LastError());
        gpib::ibtmo(gpibDevice, gpib::T10s);
        gpib::ibpad(gpibDevice, gpibAddress);
    } else {
        if (rs232::OpenComConfig(comPort, "", baudRate, 0, 8, 1, 512, 512) != 0) {
            return FailOpen(kNoSerialPort, rs232::OpenError(comPort));
        }
        rs232::SetXMode(comPort, 0);
        rs232::SetCTSMode(comPort, 0);
        rs232::ComSetEscape(comPort, 5);  // DTR raised
        rs232::ComSetEscape(comPort, 4);  // RTS lowered
        rs232::SetComTime(comPort, 1.0);
    }

    // The first answer may still carry what the decade had queued; the second one counts.
    std::string identity;
    const std::string identityQuery(decade::cmd::kIdentity);
    Communic(0, identityQuery, identity);
    Communic(0, identityQuery, identity);
    FindModel(identity);
    ScanDeviceInfo(identity);
    SetName();
    if (decadeModel == 0) {
        return FailOpen(kNoDecade, LinkReasonOr("the identity reply \"" + identity +
                                                "\" names no known decade"));
    }

    // Both flags describe the decade of this link, so a later open recomputes them.
    const decade::DecadeProfile& profile = decade::ProfileOf(decadeModel);
    newFirmware = 0;
    ApplyFirmwareRule();
    thresholdAvailable = profile.threshold ? 1 : 0;

    std::string unused;
    if (profile.remoteOverGpib || linkType == 0) {
        Communic(profile.remote.readsReply ? 0 : 1, std::string(profile.remote.text), unused);
    }
    if (profile.openShowsValue) {
        valueExponent = profile.openValueExponent;
        ui::SetCtrlVal(panelHandle, VALUE, decade::kOpenValue);
    }
    if (!profile.threshold) ui::SetCtrlAttribute(panelHandle, THRESHOLD, ui::ATTR_VISIBLE, 0);

    // A class with one function asks nothing and selects nothing.
    const bool oneFunction = profile.functionQuery.command.empty();
    const int function = oneFunction ? decade::fn::kNone : PresentFunction(profile.functionQuery);
    FillFunctionList();
    if (!oneFunction) {
        SetFunction(function, 0);
        ui::SetCtrlVal(panelHandle, FUNCTION, function);
    }
    AdjustUnitRing();
    EnableControls();
    if (!RefreshScreen() || SerialLinkLost()) {
        return FailOpen(kCommunicationFailed, LinkReasonOr("the link closed during the open"));
    }
    return 1;
}

int CloseCommunic() {
    if (!connected) return 1;
    BeginSequence(false);  // the local command goes out whatever happened before
    if (linkType != 0) {
        if (gpibDevice >= 0) gpib::CloseDev(gpibDevice);  // returns the decade to local
    } else {
        std::string unused;
        const decade::Command& local = decade::ProfileOf(decadeModel).local;
        Communic(local.readsReply ? 0 : 1, std::string(local.text), unused);
        ui::Delay(kWaitBeforePortClose);
        rs232::CloseCom(comPort);
    }
    EnterClosedState();
    return 1;
}

int OpenCloseComCB(int, int, int event, void*, int, int) {
    if (event != ui::EVENT_COMMIT) return 0;
    ui::SetWaitCursor(1);
    int on = 0;
    ui::GetCtrlVal(panelHandle, COM, &on);
    if (on) {
        OpenCommunic();
    } else {
        CloseCommunic();
    }
    ui::SetWaitCursor(0);
    return 0;
}
