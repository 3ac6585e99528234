#include "app/end_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler only writes a byte into a pipe, which the event loop watches; everything
// else happens there. A signal that comes while the first one is still being handled
// (the close waits for the decade) ends the program at once.
int signalPipe[2] = {-1, -1};
volatile sig_atomic_t signalSeen = 0;

extern "C" void OnEndSignal(int number) {
    if (signalSeen != 0) {
        std::signal(number, SIG_DFL);
        std::raise(number);
        return;
    }
    signalSeen = 1;
    const int saved = errno;
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
    errno = saved;
}

bool MakePipe() {
    if (signalPipe[0] >= 0) return true;
    return pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) == 0;
}

}  // namespace

EndSignals::EndSignals(std::function<void()> onSignal, std::function<void()> onSessionEnd) {
    if (!MakePipe()) return;
    char drained = 0;
    while (read(signalPipe[0], &drained, 1) > 0) {
    }
    signalSeen = 0;
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [onSignal] {
        char byte = 0;
        while (read(signalPipe[0], &byte, 1) > 0) {
        }
        onSignal();
    });
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QObject::connect(app, &QGuiApplication::commitDataRequest, notifier_.get(),
                         [onSessionEnd](QSessionManager&) { onSessionEnd(); });
    }
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kSignals) sigaction(number, &action, nullptr);
}

EndSignals::~EndSignals() {
    for (const int number : kSignals) std::signal(number, SIG_DFL);
}
