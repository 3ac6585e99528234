// Opening and closing the link, and the link controls of the panel.
#include "link/open_close.h"

#include <string>

#include "app/panel.h"
#include "app/shared_state.h"
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

int ComTypeCB(int panel, int /*control*/, int event, void* /*callbackData*/, int /*eventData1*/,
              int /*eventData2*/) {
    if (event != ui::EVENT_COMMIT) return 0;
    int type = 0;
    ui::GetCtrlVal(panel, RING, &type);
    const int gpib = type != 0 ? 1 : 0;
    ui::SetCtrlAttribute(panel, NUM_ADR, ui::ATTR_VISIBLE, gpib);
    ui::SetCtrlAttribute(panel, SERIAL, ui::ATTR_VISIBLE, 1 - gpib);
    ui::SetCtrlAttribute(panel, RATE, ui::ATTR_VISIBLE, 1 - gpib);
    return 0;
}

// ---------------------------------------------------------------------------------------
// Opening and closing the link: OpenCommunic, CloseCommunic and the COM toggle's
// OpenCloseComCB belong in this section.
// ---------------------------------------------------------------------------------------
