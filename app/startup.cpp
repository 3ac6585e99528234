#include "app/startup.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "app/end_signals.h"
#include "app/handlers.h"
#include "app/panel.h"
#include "app/settings.h"
#include "app/shared_state.h"
#include "app/texts.h"
#include "app/open_close.h"
#include "app/enable_controls.h"
#include "link/transport.h"
#include "platform/link_thread.h"
#include "platform/settings_folder.h"
#include "toolkit/ui.h"

int RunOmbrastel(int argc, char** argv) {
    if (!ui::InitToolkit(argc, argv)) {
        std::fprintf(stderr, "ombrastel: cannot start the user interface: %s\n",
                     ui::ToolkitInitError().c_str());
        return -1;
    }
    RegisterMainPanel();
    panelHandle = ui::LoadPanel(0, kPanelDescription, PANEL);
    if (panelHandle < 0) return -1;
    // The window frame's close button ends the program the way Exit does.
    ui::SetPanelCloseControl(panelHandle, END);

    FillComs();
    ui::SetCtrlAttribute(panelHandle, NUM_ADR, ui::ATTR_VISIBLE, 0);
    ui::SetCtrlAttribute(panelHandle, RING_STANDARD, ui::ATTR_VISIBLE, 0);
    ui::SetCtrlAttribute(panelHandle, RING_SCALE, ui::ATTR_VISIBLE, 0);

    ReadSettingsFile(panelHandle, folder::InSettingsFolder(kSettingsFile));
    CorrectLanguage();
    if (texts::LabelsInCzech()) ApplyCzechTexts(panelHandle);

    connected = 0;
    EnableControls();

    // The link works on its own thread from here on; a cancel also stops a GPIB read in
    // the library where it can.
    linkthread::SetCancelHook([] { links::StopReads(); });
    linkthread::Start();

    // A signal or the end of the desktop session ends the program as Exit does.
    bool endedFromOutside = false;
    const EndSignals endSignals(
        [&endedFromOutside] {
            endedFromOutside = true;
            RequestExit();
        },
        [&endedFromOutside] {
            endedFromOutside = true;
            // The session may end the program any moment: the settings first, then the
            // link is closed (or the sequence under way cancelled, which closes it).
            WriteSettingsFile(panelHandle, folder::InSettingsFolder(kSettingsFile));
            if (linkthread::Busy()) {
                ui::CancelSequence();
            } else {
                RunSequence([] { CloseCommunic(); });
            }
        });

    ui::DisplayPanel(panelHandle);
    ui::RunUserInterface();
    EndExit();

    // However the loop ended, the decade goes back to local: on the link thread, which
    // then ends. A thread stuck in a library call is left behind (the program ends
    // without it); the settings are written all the same.
    if (linkthread::Running()) {
        // Still busy here: the exit's bound has run out already.
        const bool stuck = linkthread::Busy();
        if (!stuck) RunSequence([] { CloseCommunic(); });
        if (!linkthread::Stop(std::chrono::milliseconds(stuck ? 0 : kExitBoundMs))) {
            std::fprintf(stderr, "ombrastel: the link did not end in time; leaving without it\n");
        }
    } else {
        CloseCommunic();
    }
    // A program ended by a signal or by the desktop session must not wait on a box that
    // nobody may be there to close; the failure is still said on standard error.
    const std::string settingsPath = folder::InSettingsFolder(kSettingsFile);
    if (!WriteSettingsFile(panelHandle, settingsPath) && !endedFromOutside) {
        ShowSettingsNotWritten(settingsPath);
    }
    ui::DiscardPanel(panelHandle);
    return 0;
}

OMBRASTEL_CALLBACK(EndCB) {
    if (event != ui::EVENT_COMMIT) return 0;
    RequestExit();  // hands an open decade back to local before the program ends
    return 0;
}
