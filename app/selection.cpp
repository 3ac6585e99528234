// Selecting a function on the decade from the panel.
#include "app/selection.h"

#include "app/shared_state.h"
#include "app/values.h"

int SetFunction(int code, int report) {
    if (panelSession.SelectFunction(code)) return 1;
    if (report != 0) ShowRefusalWarning();
    return 0;
}
