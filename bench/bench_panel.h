// The real main panel for the benchmarks that drive the program's routines directly: loaded
// from its description and arranged as start-up leaves it with no link, on whatever Qt
// platform the application runs on (the offscreen one unless told otherwise). Decades of
// the simulator are served on pseudo-terminals linked as comN in a temporary folder that
// becomes the working directory, which is where the serial layer looks for COM n.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/panel.h"
#include "app/shared_state.h"
#include "app/open_close.h"
#include "app/enable_controls.h"
#include "toolkit/ui.h"
#include "simulator/config.h"
#include "simulator/pty_server.h"

namespace bench {

// Every message box the program would show is counted instead; a benchmark run that
// shows one measured a refusal, not the normal path.
inline int& PopupCount() {
    static int count = 0;
    return count;
}

inline bool LoadBenchPanel() {
    RegisterMainPanel();
    ResetSharedState();
    language = 3;
    panelHandle = ui::LoadPanel(0, kPanelDescription, PANEL);
    if (panelHandle < 0) return false;
    FillComs();
    ui::SetCtrlAttribute(panelHandle, NUM_ADR, ui::ATTR_VISIBLE, 0);
    ui::SetCtrlAttribute(panelHandle, RING_STANDARD, ui::ATTR_VISIBLE, 0);
    ui::SetCtrlAttribute(panelHandle, RING_SCALE, ui::ATTR_VISIBLE, 0);
    connected = 0;
    EnableControls();
    ui::DisplayPanel(panelHandle);
    ui::SetMessagePopupHandler(
        [](const std::string&, const std::string&, const std::string&) { ++PopupCount(); });
    return true;
}

// A temporary working folder with simulated decades linked as com1, com2, ...
class DecadeFolder {
  public:
    DecadeFolder() {
        char name[] = "/tmp/ombrastel_bench.XXXXXX";
        if (mkdtemp(name) != nullptr) folder_ = name;
        previous_ = std::filesystem::current_path().string();
        if (!folder_.empty() && chdir(folder_.c_str()) != 0) folder_.clear();
    }
    ~DecadeFolder() {
        for (auto& server : servers_) server->Stop();
        servers_.clear();
        if (chdir(previous_.c_str()) != 0) return;
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }
    DecadeFolder(const DecadeFolder&) = delete;
    DecadeFolder& operator=(const DecadeFolder&) = delete;

    bool ok() const { return !folder_.empty(); }
    const std::string& folder() const { return folder_; }

    // Starts a decade and links it as com<port>; nullptr when that fails.
    sim::PtyServer* Add(const sim::Config& config, int port) {
        auto server = std::make_unique<sim::PtyServer>(config);
        if (!server->Start()) return nullptr;
        if (!server->LinkAs(folder_ + "/com" + std::to_string(port))) return nullptr;
        servers_.push_back(std::move(server));
        return servers_.back().get();
    }

  private:
    std::string folder_;
    std::string previous_;
    std::vector<std::unique_ptr<sim::PtyServer>> servers_;
};

// Opens the link to COM port over RS-232 the way the operator's settings would.
inline int OpenSerial(int port) {
    ui::SetCtrlVal(panelHandle, RING, 0);
    ui::SetCtrlVal(panelHandle, SERIAL, port);
    ui::SetCtrlVal(panelHandle, RATE, 115200);
    ui::SetCtrlVal(panelHandle, COM, 1);
    return OpenCommunic();
}

}  // namespace bench
