// Ending the program from outside (SIGTERM, SIGINT, SIGHUP, the desktop session ending)
// the way Exit ends it: the link is closed with its local command and the settings are
// written.
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

class EndSignals {
  public:
    // onSignal runs in the event loop after the first of the signals; a second signal ends
    // the program at once. onSessionEnd runs when the desktop session asks the program to
    // save its data before it ends.
    EndSignals(std::function<void()> onSignal, std::function<void()> onSessionEnd);
    ~EndSignals();  // the signals take their default action again
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

  private:
    std::unique_ptr<QSocketNotifier> notifier_;
};
