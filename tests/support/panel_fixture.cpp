#include "support/panel_fixture.h"

#include "app/panel.h"
#include "app/shared_state.h"
#include "link/open_close.h"
#include "platform/ui.h"

int LoadMainPanelForTest(int lang) {
    static bool registered = false;
    if (!registered) {
        RegisterMainPanel();
        registered = true;
    }
    if (ui::PanelWindow(panelHandle) != nullptr) ui::DiscardPanel(panelHandle);
    ResetSharedState();
    language = lang;
    panelHandle = ui::LoadPanel(0, kPanelDescription, PANEL);
    if (panelHandle < 0) return panelHandle;
    FillComs();
    ui::SetCtrlAttribute(panelHandle, NUM_ADR, ui::ATTR_VISIBLE, 0);
    ui::SetCtrlAttribute(panelHandle, RING_STANDARD, ui::ATTR_VISIBLE, 0);
    ui::SetCtrlAttribute(panelHandle, RING_SCALE, ui::ATTR_VISIBLE, 0);
    if (lang == 1) ApplyCzechTexts(panelHandle);
    return panelHandle;
}

MessageRecorder::MessageRecorder() {
    ui::SetMessagePopupHandler([this](const std::string& title, const std::string& text) {
        messages_.emplace_back(title, text);
    });
}

MessageRecorder::~MessageRecorder() {
    ui::SetMessagePopupHandler({});
}
