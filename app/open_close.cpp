// Opening and closing the link, and the link controls of the panel.
#include "app/open_close.h"

#include <cstdio>
#include <string>

#include "app/panel.h"
#include "app/shared_state.h"
#include "app/texts.h"
#include "decade/profiles.h"
#include "app/catalogue.h"
#include "link/communic.h"
#include "app/enable_controls.h"
#include "app/refresh.h"
#include "app/title.h"
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
    return panelSession.LinkFailed() ? panelSession.Result().reason : fallback;
}

// The FUNCTION ring: the functions of the class, the presets with their names.
void FillFunctionList() {
    ui::ClearListCtrl(panelHandle, FUNCTION);
    for (const decade::ListedFunction& f : panelSession.ReadFunctionList()) {
        if (f.presetKind < 0) {
            InsertFunction(f.code);
        } else {
            InsertFunctionName(f.code,
                               texts::Message(texts::PresetKind(f.presetKind)) + f.presetName);
        }
    }
}

void AdjustUnitRing() {
    constexpr int kKelvin = 2;  // the unit index of K
    int index = -1;
    ui::GetIndexFromValue(panelHandle, UNIT, &index, kKelvin);
    if (panelSession.Profile().kelvin) {
        if (index < 0) ui::InsertListItem(panelHandle, UNIT, -1, "K", kKelvin);
    } else if (index >= 0) {
        ui::DeleteListItem(panelHandle, UNIT, index, 1);
    }
}

// The panel after a close: the bare title, the link controls usable, COM off.
void ShowClosedState() {
    SetName();
    EnableControls();
    ui::SetCtrlVal(panelHandle, COM, 0);
}

// A link that is gone: the port or device is let go without sending anything.
void DropLink() {
    if (!connected) return;
    panelSession.Drop();
    ShowClosedState();
}

}  // namespace

void BeginHandlerSequence() {
    panelSession.BeginSequence(true);
}

void FinishHandlerSequence() {
    const ExchangeResult result = panelSession.Result();
    panelSession.BeginSequence(false);
    if (result.outcome == LinkOutcome::LinkGone) DropLink();
    if (result.outcome == LinkOutcome::LinkGone || result.outcome == LinkOutcome::NoAnswer) {
        ShowWarning(kCommunicationFailed, result.reason);
    }
}

int OpenCommunic() {
    // A link still open is closed on the settings it was opened with, before the new ones
    // are read; otherwise its port would stay open and the new one get its local command.
    if (connected) CloseCommunic();
    panelSession.BeginSequence(false);
    ui::GetCtrlVal(panelHandle, RING, &linkType);
    ui::GetCtrlVal(panelHandle, NUM_ADR, &gpibAddress);
    ui::GetCtrlVal(panelHandle, SERIAL, &comPort);
    ui::GetCtrlVal(panelHandle, RATE, &baudRate);

    std::string reason;
    if (!panelSession.OpenLink(reason)) {
        return FailOpen(linkType != 0 ? kNoGpib : kNoSerialPort, reason);
    }

    const std::string identity = panelSession.Identify();
    SetName();
    if (panelSession.Model() == decade::ModelClass::None) {
        return FailOpen(kNoDecade, LinkReasonOr("the identity reply \"" + identity +
                                                "\" names no known decade"));
    }

    const decade::DecadeProfile& profile = panelSession.Profile();
    panelSession.StartRemote();
    if (profile.openShowsValue) ui::SetCtrlVal(panelHandle, VALUE, decade::kOpenValue);
    if (!profile.threshold) ui::SetCtrlAttribute(panelHandle, THRESHOLD, ui::ATTR_VISIBLE, 0);

    // A class with one function asks nothing and selects nothing.
    const bool oneFunction = profile.functionQuery.command.empty();
    const int function = panelSession.PresentFunction();
    FillFunctionList();
    if (!oneFunction) {
        panelSession.SelectFunction(function);
        ui::SetCtrlVal(panelHandle, FUNCTION, function);
    }
    AdjustUnitRing();
    EnableControls();
    if (!RefreshScreen() || SerialLinkLost(panelSession.link)) {
        return FailOpen(kCommunicationFailed, LinkReasonOr("the link closed during the open"));
    }
    return 1;
}

int CloseCommunic() {
    if (!connected) return 1;
    panelSession.Close();
    ShowClosedState();
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
