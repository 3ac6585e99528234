#include "app/sequence_run.h"

#include <QCoreApplication>
#include <QString>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>

#include "app/open_close.h"
#include "app/panel.h"
#include "app/refresh.h"
#include "app/shared_state.h"
#include "app/values.h"
#include "platform/link_thread.h"
#include "toolkit/ui.h"

namespace sequence {

namespace {

using Clock = std::chrono::steady_clock;

// What the GUI thread and the link thread share while a run is under way, under mutex.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool running = false;
    bool stop = false;
    bool paused = false;
    bool dwelling = false;
    Clock::time_point dwellEnd;
    Clock::duration pausedLeft{};   // the rest of the dwell while paused
    double laterSeconds = 0.0;      // the dwells of the steps after the present one
    double presentSeconds = 0.0;    // the present step's whole dwell, before it starts
    RunEnd end = RunEnd::Completed;
    int stepsDone = 0;
};

Shared& State() {
    static Shared shared;
    return shared;
}

Clock::duration Seconds(double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

int CtrlInt(int control) {
    int v = 0;
    ui::GetCtrlVal(panelHandle, control, &v);
    return v;
}

// What the panel shows that the value command depends on: read from the controls once
// before the run (each read waits for the GUI thread), then taken from what each step's
// refresh read, so that no step's value waits for a busy GUI thread.
struct Shown {
    int function = 0;
    bool output = false;
};

Shown ShownNow() {
    return {CtrlInt(FUNCTION), CtrlInt(LED_OUTPUT) != 0};
}

void Follow(Shown& shown, const decade::StateRead& read) {
    if (read.function) shown.function = *read.function;
    if (read.output) shown.output = *read.output != 0;
}

// One step as the value handler makes it: the value, the refusal box when the decade says
// no, the state read back onto the panel, and "Communication failed." once when the
// decade did not answer or the link is gone.
StepResult SetOneStep(const Step& step, Shown& shown) {
    StepResult result;
    result.set = step.value;
    BeginHandlerSequence();
    const decade::Setting setting = panelSession.SetBaseValue(step.value, shown.function, shown.output);
    if (setting == decade::Setting::Refused) ReportSetting(false);
    decade::StateRead read;
    RefreshScreen(&read);
    Follow(shown, read);
    const LinkOutcome outcome = panelSession.Result().outcome;
    FinishHandlerSequence();
    if (read.value) {
        result.readBack = read.value->value.shown * std::pow(10.0, read.value->value.exponent);
    }
    if (outcome == LinkOutcome::LinkGone) {
        result.status = StepStatus::LinkGone;
    } else if (outcome == LinkOutcome::NoAnswer) {
        result.status = StepStatus::NoAnswer;
    } else if (setting == decade::Setting::Refused) {
        result.status = StepStatus::Refused;
    } else if (setting == decade::Setting::NotApplicable) {
        result.status = StepStatus::NotSettable;
    }
    return result;
}

bool Ending(const Shared& s) {
    return s.stop || linkthread::CancelRequested();
}

// Holds until the dwell that began at from has passed, the paused time not counted. False
// when Stop or a cancel (the program's end) came first.
bool Dwell(Clock::time_point from, double seconds) {
    Shared& s = State();
    std::unique_lock lock(s.mutex);
    s.dwellEnd = from + Seconds(seconds);
    s.presentSeconds = 0.0;
    s.dwelling = true;
    if (s.paused) s.pausedLeft = std::max(Clock::duration::zero(), s.dwellEnd - Clock::now());
    bool whole = false;
    for (;;) {
        if (Ending(s)) break;
        // A cancel does not wake this wait: look again at least every 20 ms.
        constexpr auto kLook = std::chrono::milliseconds(20);
        if (s.paused) {
            s.changed.wait_for(lock, kLook);
            continue;
        }
        const Clock::time_point now = Clock::now();
        if (now >= s.dwellEnd) {
            whole = true;
            break;
        }
        s.changed.wait_for(lock, std::min<Clock::duration>(s.dwellEnd - now, kLook));
    }
    s.dwelling = false;
    return whole;
}

void Post(const std::function<void()>& call) {
    if (!call) return;
    if (linkthread::OnLinkThread()) {
        linkthread::RunQueued(QCoreApplication::instance(), call);
    } else {
        call();
    }
}

RunEnd RunSteps(const std::vector<Step>& steps, const Listener& listener) {
    Shared& s = State();
    Shown shown = ShownNow();
    const Clock::time_point start = Clock::now();
    for (std::size_t i = 0; i < steps.size(); ++i) {
        {
            const std::lock_guard lock(s.mutex);
            if (Ending(s)) break;
            s.laterSeconds -= steps[i].dwellSeconds;
            s.presentSeconds = steps[i].dwellSeconds;
        }
        const int index = static_cast<int>(i);
        Post([started = listener.stepStarted, index] { started(index); });
        // The dwell counts from the moment the value goes out; no wait for the GUI thread
        // comes before it (one cut a step short, or sent it late, while that thread was busy).
        const Clock::time_point stepStart = Clock::now();
        StepResult result = SetOneStep(steps[i], shown);
        result.index = index;
        result.seconds = std::chrono::duration<double>(stepStart - start).count();
        Post([done = listener.stepDone, result] { done(result); });
        {
            const std::lock_guard lock(s.mutex);
            s.stepsDone = index + 1;
        }
        if (result.status != StepStatus::Done) return RunEnd::Failed;
        // The last value is held for its dwell too: the run lasts as long as it said.
        if (!Dwell(stepStart, steps[i].dwellSeconds)) break;
    }
    if (linkthread::CancelRequested()) return RunEnd::Cancelled;
    const std::lock_guard lock(s.mutex);
    return s.stop ? RunEnd::Stopped : RunEnd::Completed;
}

}  // namespace

bool Start(std::vector<Step> steps, Listener listener) {
    Shared& s = State();
    if (steps.empty() || !connected || linkthread::Busy()) return false;
    {
        const std::lock_guard lock(s.mutex);
        if (s.running) return false;
        s.running = true;
        s.stop = false;
        s.paused = false;
        s.dwelling = false;
        s.stepsDone = 0;
        s.presentSeconds = 0.0;
        s.laterSeconds = 0.0;
        for (const Step& step : steps) s.laterSeconds += step.dwellSeconds;
    }
    linkthread::Start();
    const bool posted = RunSequence(
        [steps = std::move(steps), listener] {
            const RunEnd end = RunSteps(steps, listener);
            const std::lock_guard lock(State().mutex);
            State().end = end;
        },
        false,
        [ended = listener.ended] {
            Shared& st = State();
            RunEnd end = RunEnd::Completed;
            int done = 0;
            {
                const std::lock_guard lock(st.mutex);
                st.running = false;
                st.paused = false;
                end = st.end;
                done = st.stepsDone;
            }
            if (ended) ended(end, done);
        });
    if (!posted) {
        const std::lock_guard lock(s.mutex);
        s.running = false;
    }
    return posted;
}

void Pause() {
    Shared& s = State();
    {
        const std::lock_guard lock(s.mutex);
        if (!s.running || s.paused) return;
        s.paused = true;
        if (s.dwelling) s.pausedLeft = std::max(Clock::duration::zero(), s.dwellEnd - Clock::now());
    }
    s.changed.notify_all();
}

void Resume() {
    Shared& s = State();
    {
        const std::lock_guard lock(s.mutex);
        if (!s.running || !s.paused) return;
        s.paused = false;
        if (s.dwelling) s.dwellEnd = Clock::now() + s.pausedLeft;
    }
    s.changed.notify_all();
}

void Stop() {
    Shared& s = State();
    {
        const std::lock_guard lock(s.mutex);
        if (!s.running) return;
        s.stop = true;
    }
    s.changed.notify_all();
}

bool Running() {
    const std::lock_guard lock(State().mutex);
    return State().running;
}

bool Paused() {
    const std::lock_guard lock(State().mutex);
    return State().running && State().paused;
}

double SecondsLeft() {
    Shared& s = State();
    const std::lock_guard lock(s.mutex);
    if (!s.running) return 0.0;
    double present = s.presentSeconds;
    if (s.dwelling) {
        const Clock::duration left = s.paused ? s.pausedLeft : s.dwellEnd - Clock::now();
        present = std::max(0.0, std::chrono::duration<double>(left).count());
    }
    return std::max(0.0, s.laterSeconds) + present;
}

const char* StatusWord(StepStatus status) {
    switch (status) {
        case StepStatus::Done: return "done";
        case StepStatus::Refused: return "refused";
        case StepStatus::NoAnswer: return "no answer";
        case StepStatus::LinkGone: return "link gone";
        case StepStatus::NotSettable: return "not settable";
    }
    return "";
}

namespace {

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string Number(double value, char format, int precision) {
    return QString::number(value, format, precision).toStdString();
}

}  // namespace

std::string ResultsCsv(const std::vector<StepResult>& results, std::string_view unit) {
    std::string out = "time_s,set,read_back,unit,status\n";
    const std::string unitField = CsvField(unit);
    for (const StepResult& r : results) {
        out += Number(r.seconds, 'f', 3) + ',' + Number(r.set, 'g', 12) + ',' +
               (r.readBack ? Number(*r.readBack, 'g', 12) : std::string()) + ',' + unitField +
               ',' + StatusWord(r.status) + '\n';
    }
    return out;
}

}  // namespace sequence
