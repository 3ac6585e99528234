// Opening and closing the link, and the link controls of the panel.
#include "app/open_close.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "app/catalogue.h"
#include "app/enable_controls.h"
#include "app/panel.h"
#include "app/refresh.h"
#include "app/shared_state.h"
#include "app/texts.h"
#include "app/title.h"
#include "decade/profiles.h"
#include "link/communic.h"
#include "platform/link_thread.h"
#include "platform/text.h"
#include "toolkit/ui.h"

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
    if (linkthread::CancelRequested()) {  // the operator ended it; no box to close again
        std::fprintf(stderr, "ombrastel: cancelled by the operator\n");
        std::fflush(stderr);
        return;
    }
    const std::string text = texts::Message(w);
    std::fprintf(stderr, "ombrastel: %s%s%s\n", text.c_str(), reason.empty() ? "" : " ",
                 reason.c_str());
    std::fflush(stderr);
    ui::MessagePopup(texts::Message(texts::kWarning), text, reason);
}

// The FUNCTION ring: the functions of the class, the presets with their names.
void FillFunctionList(const std::vector<decade::ListedFunction>& list) {
    ui::ClearListCtrl(panelHandle, FUNCTION);
    for (const decade::ListedFunction& f : list) {
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

// The link layer gave up the open link while the panel was idle (the partner hung up, the
// adapter was unplugged): the panel closes at once and says so.
void ClosePanelAfterHangUp() {
    if (linkBusy || !connected || !LinkLost(panelSession.link)) return;
    const std::string reason = LinkDescription(panelSession.link) + " closed while idle: " +
                               panelSession.link.transport->LostReason();
    DropLink();
    ShowWarning(kCommunicationFailed, reason);
}

// From the link, on its thread. On the link thread that is between sequences: the closing
// is made a sequence of its own, posted by the GUI thread, so it is ordered with everything
// else the panel does (and waits for a sequence under way, which finds the link gone itself).
void LinkHungUp() {
    if (!linkthread::OnLinkThread()) {
        ClosePanelAfterHangUp();
        return;
    }
    linkthread::RunQueued(QCoreApplication::instance(),
                          [] { RunSequence([] { ClosePanelAfterHangUp(); }); });
}

}  // namespace

void BeginHandlerSequence() {
    panelSession.BeginSequence(true);
    linkBusy = true;
}

void FinishHandlerSequence() {
    const ExchangeResult result = panelSession.Result();
    panelSession.BeginSequence(false);
    linkBusy = false;
    if (result.outcome == LinkOutcome::LinkGone) DropLink();
    if (result.outcome == LinkOutcome::LinkGone || result.outcome == LinkOutcome::NoAnswer) {
        ShowWarning(kCommunicationFailed, result.reason);
    }
    // A hang-up the layer saw while a box of the handler was up, after its last exchange.
    if (connected && LinkLost(panelSession.link)) ClosePanelAfterHangUp();
}

namespace {

// The box of an open that failed at step.
const Warning& WarningOf(decade::OpenStep step) {
    switch (step) {
        case decade::OpenStep::Link:
            return linkType != 0 ? kNoGpib : kNoSerialPort;
        case decade::OpenStep::Identity:
            return kNoDecade;
        default:
            return kCommunicationFailed;
    }
}

// The panel's side of the session's open: each step shown as it is done, a failure said
// before the session lets the link go.
class PanelOpen : public decade::OpenObserver {
  public:
    void Identified() override { SetName(); }

    void RemoteStarted() override {
        const decade::DecadeProfile& profile = panelSession.Profile();
        if (profile.openShowsValue) ui::SetCtrlVal(panelHandle, VALUE, decade::kOpenValue);
        if (!profile.threshold) ui::SetCtrlAttribute(panelHandle, THRESHOLD, ui::ATTR_VISIBLE, 0);
    }

    void FunctionsListed(const std::vector<decade::ListedFunction>& list) override {
        FillFunctionList(list);
    }

    void FunctionSelected(int function) override {
        ui::SetCtrlVal(panelHandle, FUNCTION, function);
    }

    // The read starts from what the controls show, as every refresh does.
    void ReadingState(decade::DecadeState& shown) override {
        AdjustUnitRing();
        EnableControls();
        shown = ShownState();
    }

    void StateFound(const decade::StateRead& read) override { PaintState(read); }

    // Said while the link is still open: the session closes it (or lets a GPIB device that
    // is gone go) once the box is answered. A cancel left from the open ends with that close.
    void OpenFailed(decade::OpenStep step, const ExchangeResult& result) override {
        ShowWarning(WarningOf(step), result.reason);
        linkthread::ClearCancel();
    }
};

}  // namespace

int OpenCommunic() {
    // A link still open is closed on the settings it was opened with, before the new ones
    // are read; otherwise its port would stay open and the new one get its local command.
    if (connected) CloseCommunic();
    const LinkBusy busy;
    ui::GetCtrlVal(panelHandle, RING, &linkType);
    ui::GetCtrlVal(panelHandle, NUM_ADR, &gpibAddress);
    ui::GetCtrlVal(panelHandle, SERIAL, &comPort);
    ui::GetCtrlVal(panelHandle, RATE, &baudRate);

    panelSession.link.whenGoneWhileIdle = LinkHungUp;
    PanelOpen panel;
    if (panelSession.Open(PanelLinkSettings(), panel).outcome != LinkOutcome::Done) {
        ShowClosedState();  // the session let the link go
        return 0;
    }
    return 1;
}

int CloseCommunic() {
    if (!connected) return 1;
    // A close after a cancel still hands the decade back to local with its normal wait (a
    // cancel during the close does not reach it either: see DecadeSession::Close).
    linkthread::ClearCancel();
    const LinkBusy busy;
    panelSession.Close();
    ShowClosedState();
    return 1;
}

int OpenCloseComCB(int, int, int event, void*, int, int) {
    if (event != ui::EVENT_COMMIT) return 0;
    int on = 0;
    ui::GetCtrlVal(panelHandle, COM, &on);
    if (linkthread::Running()) {  // busy, not frozen: the panel shows it, Cancel is offered
        RunSequence([on] { on ? OpenCommunic() : CloseCommunic(); }, on != 0);
        return 0;
    }
    ui::SetWaitCursor(1);
    if (on) {
        OpenCommunic();
    } else {
        CloseCommunic();
    }
    ui::SetWaitCursor(0);
    return 0;
}

// ---------------------------------------------------------------------------------------
// Sequences on the link thread, and the program's end.
// ---------------------------------------------------------------------------------------

namespace {

bool exitRequested = false;
bool exitClosing = false;     // the close of the exit has been posted
QTimer* exitBound = nullptr;  // ends the loop when the link does not finish in time

void CloseForExit() {
    exitClosing = true;
    RunSequence([] { CloseCommunic(); }, false);
}

std::vector<std::function<void()>>& SequenceEndedHooks() {
    static std::vector<std::function<void()>> hooks;
    return hooks;
}

void SequenceEnded(const std::function<void()>& done) {
    if (done) done();
    for (const auto& hook : SequenceEndedHooks()) hook();
}

}  // namespace

void AddSequenceEndedHook(std::function<void()> hook) {
    SequenceEndedHooks().push_back(std::move(hook));
}

bool RunSequence(const std::function<void()>& body, bool cancelAtOnce,
                 const std::function<void()>& done) {
    if (!linkthread::Running()) {
        body();
        SequenceEnded(done);
        return true;
    }
    if (linkthread::Busy()) return false;
    // A cancel left from before goes now, not when the link thread starts the sequence: an
    // Exit or a Cancel between the two is meant for this sequence and must not be lost.
    linkthread::ClearCancel();
    ui::SetBusyTexts(texts::Label(texts::kInputDropped), texts::Label(texts::kCancel));
    ui::SetBusy(panelHandle, true, cancelAtOnce);
    return linkthread::Post(
        [body] {
            body();
            // A cancelled sequence closes the link as Close does.
            if (linkthread::CancelRequested()) CloseCommunic();
            linkthread::ClearCancel();
        },
        [done] {
            ui::SetBusy(panelHandle, false);
            SequenceEnded(done);
            if (!exitRequested) return;
            if (exitClosing) {
                ui::QuitUserInterface(0);
            } else {
                CloseForExit();
            }
        });
}

void RequestExit() {
    if (!linkthread::Running()) {
        CloseCommunic();  // hands an open decade back to local before the program ends
        ui::QuitUserInterface(0);
        return;
    }
    if (exitRequested) return;
    exitRequested = true;
    if (exitBound == nullptr) {
        exitBound = new QTimer(qApp);
        exitBound->setSingleShot(true);
        QObject::connect(exitBound, &QTimer::timeout, [] {
            if (exitRequested) ui::QuitUserInterface(0);
        });
    }
    exitBound->start(kExitBoundMs);
    if (linkthread::Busy()) {
        ui::CancelSequence();  // the close follows when the sequence has ended
    } else {
        CloseForExit();
    }
}

void EndExit() {
    exitRequested = false;
    exitClosing = false;
    if (exitBound != nullptr) exitBound->stop();
}
