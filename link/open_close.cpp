// Opening and closing the link, and the link controls of the panel.
#include "link/open_close.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>

#include "app/panel.h"
#include "app/shared_state.h"
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
constexpr double kSettleBeforeFunctionQuery = 0.1;  // seconds before "V?" at open
constexpr double kWaitBeforePortClose = 0.5;        // seconds before the port is closed
constexpr int kMaxPresets = 1000;                   // codes 1000 + i must stay below 2000

struct Warning {
    const char* english;
    const char* czech;
};
constexpr Warning kNoGpib{"Could not open GPIB.", "Nenalezen port GPIB."};
constexpr Warning kNoSerialPort{"Could not open serial port.", "Nenalezen sériový port."};
constexpr Warning kNoDecade{"Decade box not found!", "Dekáda nenalezena."};
constexpr Warning kCommunicationFailed{"Communication failed.", "Komunikace selhala."};

// The box in the operator's language, the reason behind its details button, and the same
// as one line on the standard error.
void ShowWarning(const Warning& w, const std::string& reason) {
    const char* text = language == 3 ? w.english : w.czech;
    std::fprintf(stderr, "ombrastel: %s%s%s\n", text, reason.empty() ? "" : " ", reason.c_str());
    std::fflush(stderr);
    ui::MessagePopup(language == 3 ? "Warning" : "Upozornění", text, reason);
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

// Entries of the FUNCTION ring per class: a plain code, a probed code (listed only when the
// decade accepts it), or the user-function and timing preset lists.
enum class Entry { Plain, Probed, UserPresets, TimingPresets };
struct FunctionEntry {
    Entry kind;
    int code;
};
using E = Entry;
// clang-format off
constexpr FunctionEntry kList12[] = {{E::Plain, 1}, {E::Plain, 2}, {E::Plain, 3}, {E::Plain, 4},
                                     {E::Probed, 6}, {E::Plain, 7}, {E::Probed, 9},
                                     {E::Probed, 8}};
constexpr FunctionEntry kList3[] = {{E::Plain, 1}, {E::Plain, 2}, {E::Plain, 3}, {E::Plain, 4},
                                    {E::Plain, 5}, {E::Plain, 6}, {E::Plain, 7},
                                    {E::UserPresets, 1000}, {E::TimingPresets, 2000}};
constexpr FunctionEntry kList4[] = {{E::Plain, 1}, {E::UserPresets, 1000},
                                    {E::TimingPresets, 2000}};
constexpr FunctionEntry kList5[] = {{E::Plain, 1}};
constexpr FunctionEntry kList6[] = {{E::Plain, 1}, {E::Plain, 3000}, {E::Plain, 3001},
                                    {E::Plain, 3002}, {E::Plain, 3003}, {E::Plain, 3004},
                                    {E::Plain, 3005}, {E::Probed, 9}, {E::Probed, 8}};
constexpr FunctionEntry kList7[] = {{E::Plain, 1}, {E::TimingPresets, 2000}};
// clang-format on

std::span<const FunctionEntry> FunctionListOf(int model) {
    switch (model) {
        case 3:
            return kList3;
        case 4:
            return kList4;
        case 5:
            return kList5;
        case 6:
            return kList6;
        case 7:
            return kList7;
        default:
            return kList12;
    }
}

// The number of presets the decade reports; a reply without a number counts none.
int PresetCount(const char* query) {
    std::string reply;
    Communic(0, query, reply);
    const int count = text::ScanIntAuto(reply).value_or(0);
    return std::clamp(count, 0, kMaxPresets);
}

void InsertPresets(int kind, const char* countQuery, int firstCode) {
    const int count = PresetCount(countQuery);
    for (int i = 0; i < count; ++i) {
        std::string label;
        GetPresetName(kind, i, label);
        InsertFunctionName(firstCode + i, label);
    }
}

void FillFunctionList() {
    ui::ClearListCtrl(panelHandle, FUNCTION);
    for (const FunctionEntry& e : FunctionListOf(decadeModel)) {
        switch (e.kind) {
            case Entry::Plain:
                InsertFunction(e.code);
                break;
            case Entry::Probed:
                if (SetFunction(e.code, 0)) InsertFunction(e.code);
                break;
            case Entry::UserPresets:
                InsertPresets(0, "UFUN:CURV:PCO?", e.code);
                break;
            case Entry::TimingPresets:
                InsertPresets(1, "TIM:PCO?", e.code);
                break;
        }
    }
}

// The function the decade presents now, read before the probing changes it. A reply too
// short to hold the function character gives 1, the decade's basic function, so the open
// never re-selects from a stale byte.
int PresentFunction() {
    std::string reply;
    std::size_t position = 0;
    if (decadeModel == 4 || decadeModel == 7) {
        Communic(0, "F?", reply);
    } else {
        ui::Delay(kSettleBeforeFunctionQuery);
        Communic(0, "V?", reply);
        position = 1;
    }
    if (reply.size() <= position) return 1;
    return CommandToFunction(static_cast<unsigned char>(reply[position]));
}

// The serial layer closes a port whose line failed (cable pulled, terminal gone); every
// exchange after that reads an empty reply, so a refresh over it showed nothing real.
bool SerialLinkLost() {
    return linkType == 0 && !rs232::IsOpen(comPort);
}

void AdjustUnitRing() {
    int index = -1;
    ui::GetIndexFromValue(panelHandle, UNIT, &index, 2);
    if (decadeModel == 3) {
        if (index < 0) ui::InsertListItem(panelHandle, UNIT, -1, "K", 2);
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

bool linkBusy = false;  // an open, a close or a handler runs: it finds a port gone itself

class LinkBusy {
  public:
    LinkBusy() : was_(linkBusy) { linkBusy = true; }
    ~LinkBusy() { linkBusy = was_; }
    LinkBusy(const LinkBusy&) = delete;
    LinkBusy& operator=(const LinkBusy&) = delete;

  private:
    bool was_;
};

// The serial layer closed the port of the open link while the panel was idle (the
// partner hung up, the adapter was unplugged): the panel closes at once and says so.
void SerialHungUp(int port) {
    if (linkBusy || !connected || linkType != 0 || port != comPort) return;
    const std::string reason = "COM" + std::to_string(port) + " (" + rs232::PortDeviceName(port) +
                               ") closed while idle: " + rs232::ClosedReason(port);
    DropLink();
    ShowWarning(kCommunicationFailed, reason);
}

}  // namespace

void BeginHandlerSequence() {
    BeginSequence(true);
    linkBusy = true;
}

void FinishHandlerSequence() {
    const ExchangeResult result = SequenceResult();
    BeginSequence(false);
    linkBusy = false;
    if (result.outcome == LinkOutcome::LinkGone) DropLink();
    if (result.outcome == LinkOutcome::LinkGone || result.outcome == LinkOutcome::NoAnswer) {
        ShowWarning(kCommunicationFailed, result.reason);
    }
    // A hang-up the layer saw while a box of the handler was up, after its last exchange.
    if (connected && SerialLinkLost()) SerialHungUp(comPort);
}

int OpenCommunic() {
    // A link still open is closed on the settings it was opened with, before the new ones
    // are read; otherwise its port would stay open and the new one get its local command.
    if (connected) CloseCommunic();
    const LinkBusy busy;
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
        rs232::SetHangUpHandler(SerialHungUp);
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
    Communic(0, "*IDN?", identity);
    Communic(0, "*IDN?", identity);
    FindModel(identity);
    ScanDeviceInfo(identity);
    SetName();
    if (decadeModel == 0) {
        return FailOpen(kNoDecade, LinkReasonOr("the identity reply \"" + identity +
                                                "\" names no known decade"));
    }

    // Both flags describe the decade of this link, so a later open recomputes them.
    newFirmware = 0;
    ApplyFirmwareRule();
    thresholdAvailable = decadeModel == 2 ? 1 : 0;

    std::string unused;
    if (decadeModel == 5) {
        Communic(0, "L0", unused);
        valueExponent = -9;
        ui::SetCtrlVal(panelHandle, VALUE, 10.0);
    } else if (linkType == 0) {
        Communic(1, ":SYST:REM", unused);
    }
    if (decadeModel != 2) ui::SetCtrlAttribute(panelHandle, THRESHOLD, ui::ATTR_VISIBLE, 0);

    const int function = decadeModel == 5 ? 0 : PresentFunction();
    FillFunctionList();
    if (decadeModel != 5) {
        SetFunction(function, 0);
        ui::SetCtrlVal(panelHandle, FUNCTION, function);
    }
    AdjustUnitRing();
    EnableControls();
    const bool refreshed = RefreshScreen() != 0;
    if (linkType != 0 && SequenceResult().outcome == LinkOutcome::LinkGone) {
        // A GPIB device gone during the open or its refresh: let go like a lost serial
        // port, without a local command to a device that is not there.
        ShowWarning(kCommunicationFailed, SequenceResult().reason);
        DropLink();
        return 0;
    }
    if (!refreshed || SerialLinkLost()) {
        return FailOpen(kCommunicationFailed, LinkReasonOr("the link closed during the open"));
    }
    return 1;
}

int CloseCommunic() {
    if (!connected) return 1;
    const LinkBusy busy;
    BeginSequence(false);  // the local command goes out whatever happened before
    if (linkType != 0) {
        if (gpibDevice >= 0) gpib::CloseDev(gpibDevice);  // returns the decade to local
    } else {
        std::string unused;
        if (decadeModel == 5) {
            Communic(0, "L1", unused);
        } else {
            Communic(1, ":SYST:LOC", unused);
        }
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
