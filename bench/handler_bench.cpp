// What the control handlers add to the time the wire and the decade take: each handler of
// every model class is called directly with the commit event on an open RS-232 link to a
// simulated decade on a pseudo-terminal, many times. From each call's wall time this takes
// away the waits the handler must make (0.2 s after the relay commands that call for one)
// and, for every reply the decade sent during the call, the median plain termios exchange
// of the same run. Lines sent without a reply are not taken away: their cost stays with
// the handler. The 95th percentile of what is left, per class, is the figure.
//
// Only handlers whose control the operator can use at that moment (shown and not dimmed)
// are called, with inputs the decade accepts.
//
// Usage: handler_bench [calls per handler and class]

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "app/panel.h"
#include "app/shared_state.h"
#include "bench/bench_common.h"
#include "bench/bench_panel.h"
#include "app/open_close.h"
#include "toolkit/ui.h"

namespace {

using Callback = int (*)(int, int, int, void*, int, int);

struct Handler {
    const char* name;
    int control;
    Callback callback;
    std::function<void(int)> prepare;  // sets the control for call number i
    double waitSeconds;                // the wait this handler makes in this class
};

struct Sample {
    const char* handler;
    double wallMicros;
    double waitMicros;
    int replies;
};

struct ClassRun {
    int model;
    std::vector<std::string> args;
    sim::PtyServer* server = nullptr;
    std::string transcript;
    std::vector<Sample> samples;
    std::vector<std::string> called;
    int skipped = 0;
};

// Counts the replies the decade sent since the last call, from its transcript file.
class ReplyCounter {
  public:
    explicit ReplyCounter(std::string path) : path_(std::move(path)) {}
    int Count() {
        std::ifstream in(path_);
        in.seekg(offset_);
        int replies = 0;
        std::string line;
        while (std::getline(in, line)) {
            if (line.find(" TX ") != std::string::npos) ++replies;
            offset_ += static_cast<std::streamoff>(line.size() + 1);
        }
        return replies;
    }

  private:
    std::string path_;
    std::streamoff offset_ = 0;
};

bool Operable(int control) {
    int visible = 0;
    int dimmed = 1;
    ui::GetCtrlAttribute(panelHandle, control, ui::ATTR_VISIBLE, &visible);
    ui::GetCtrlAttribute(panelHandle, control, ui::ATTR_DIMMED, &dimmed);
    return visible != 0 && dimmed == 0;
}

void SameValue(int) {
    double v = 0.0;
    ui::GetCtrlVal(panelHandle, VALUE, &v);
    ui::SetCtrlVal(panelHandle, VALUE, v);
}

void Alternate(int control, int a, int b, int i) {
    ui::SetCtrlVal(panelHandle, control, i % 2 == 0 ? a : b);
}

// Turns through the first three functions of the list (fewer when it is shorter), so the
// controls that only some functions offer are reached too.
void CycleFunction(int i) {
    int count = 0;
    ui::GetNumListItems(panelHandle, FUNCTION, &count);
    int value = 1;
    ui::GetValueFromIndex(panelHandle, FUNCTION, (i + 1) % std::clamp(count, 1, 3), &value);
    ui::SetCtrlVal(panelHandle, FUNCTION, value);
}

void Nothing(int) {}

// The handlers of one class with the waits Part of their work requires there: 0.2 s after
// the output command of class 5, the ground commands of classes 4 and 5 and the short
// commands of classes 3 and 7.
std::vector<Handler> HandlersOf(int model) {
    const double output = model == 5 ? 0.2 : 0.0;
    const double ground = (model == 4 || model == 5) ? 0.2 : 0.0;
    const double shortWait = (model == 3 || model == 7) ? 0.2 : 0.0;
    return {
        {"ValueCB", VALUE, ValueCB, SameValue, 0.0},
        {"UnitCB", UNIT, UnitCB, [](int i) { Alternate(UNIT, 1, 0, i); }, 0.0},
        {"FunctionCB", FUNCTION, FunctionCB, CycleFunction, 0.0},
        {"ThresholdCB", THRESHOLD, ThresholdCB, [](int i) { Alternate(THRESHOLD, 300, 250, i); },
         0.0},
        {"RnulaCB", RNULA, RnulaCB,
         [](int i) { ui::SetCtrlVal(panelHandle, RNULA, std::string(i % 2 ? "100" : "100.5")); },
         0.0},
        {"OutputCB", CMD_OUTPUT, OutputCB, Nothing, output},
        {"GroundCB", CMD_GND, GroundCB, Nothing, ground},
        {"ShortCB", CMD_SHORT, ShortCB, Nothing, shortWait},
        {"StandardCB", RING_STANDARD, StandardCB, [](int i) { Alternate(RING_STANDARD, 1, 0, i); },
         0.0},
        {"ScaleCB", RING_SCALE, ScaleCB, [](int i) { Alternate(RING_SCALE, 1, 0, i); }, 0.0},
    };
}

ClassRun Run(int model, std::vector<std::string> args) {
    ClassRun run;
    run.model = model;
    run.args = std::move(args);
    return run;
}

std::vector<ClassRun> Classes() {
    return {
        Run(1, {"--model", "V210", "--function", "1", "--value", "20"}),
        Run(2, {"--model", "V212", "--function", "0", "--value", "1500"}),
        Run(3, {"--model", "V330A", "--function", "0", "--value", "1000"}),
        Run(4, {"--model", "V150", "--value", "4.7e-8"}),
        Run(5, {"--model", "V151", "--output", "1"}),
        Run(6, {"--model", "V211", "--function", "1"}),
        Run(7,
            {"--model", "V090", "--function", "0", "--value", "12500", "--timing-presets", "Ramp"}),
    };
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int calls = argc > 1 ? std::max(6, std::atoi(argv[1])) : 30;
    const int blocks = 3;  // the link is closed for the plain runs between blocks

    bench::DecadeFolder folder;
    if (!folder.ok()) return 2;
    std::vector<ClassRun> runs = Classes();
    for (ClassRun& run : runs) {
        std::string error;
        std::optional<sim::Config> config = sim::ParseArgs(run.args, &error);
        if (!config) {
            std::fprintf(stderr, "decade options: %s\n", error.c_str());
            return 2;
        }
        run.transcript = folder.folder() + "/class" + std::to_string(run.model) + ".log";
        config->transcript = run.transcript;
        run.server = folder.Add(*config, run.model);
        if (run.server == nullptr) return 2;
    }
    if (!bench::LoadBenchPanel()) return 2;

    std::vector<double> plain;
    bool failed = false;
    for (ClassRun& run : runs) {
        ReplyCounter replies(run.transcript);
        std::vector<Handler> handlers = HandlersOf(run.model);
        std::vector<bool> used(handlers.size(), false);
        for (int block = 0; block < blocks && !failed; ++block) {
            if (!bench::PlainRun(run.server->SlavePath(), 100, plain)) failed = true;
            if (bench::OpenSerial(run.model) != 1) {
                std::fprintf(stderr, "class %d: the link did not open\n", run.model);
                failed = true;
                break;
            }
            QApplication::processEvents();
            for (int i = block * calls / blocks; i < (block + 1) * calls / blocks; ++i) {
                for (std::size_t h = 0; h < handlers.size(); ++h) {
                    const Handler& handler = handlers[h];
                    handler.prepare(i);
                    if (!Operable(handler.control)) {
                        ++run.skipped;
                        continue;
                    }
                    used[h] = true;
                    replies.Count();
                    const bench::Clock::time_point start = bench::Clock::now();
                    handler.callback(panelHandle, handler.control, ui::EVENT_COMMIT, nullptr, 0, 0);
                    const double wall = bench::MicrosecondsSince(start);
                    QApplication::processEvents();
                    run.samples.push_back(
                        {handler.name, wall, handler.waitSeconds * 1e6, replies.Count()});
                }
            }
            CloseCommunic();
            QApplication::processEvents();
        }
        for (std::size_t h = 0; h < handlers.size(); ++h) {
            if (used[h]) run.called.push_back(handlers[h].name);
        }
    }
    if (failed) return 2;

    const double plainMedian = bench::Median(plain);
    // The tail of the plain exchange shows how much the machine itself delays a wake-up.
    std::printf(
        "plain termios exchange: median %.1f us, 95th percentile %.1f us, 99th %.1f us, "
        "max %.1f us over %zu exchanges\n",
        plainMedian, bench::Percentile(plain, 95.0), bench::Percentile(plain, 99.0),
        bench::Percentile(plain, 100.0), plain.size());
    bool allMet = true;
    for (const ClassRun& run : runs) {
        std::vector<double> net;
        int replies = 0;
        for (const Sample& s : run.samples) {
            net.push_back(s.wallMicros - s.waitMicros - s.replies * plainMedian);
            replies += s.replies;
        }
        const double p95 = bench::Percentile(net, 95.0);
        std::string names;
        for (const std::string& n : run.called) names += (names.empty() ? "" : ", ") + n;
        std::printf(
            "class %d: %zu calls of %s (%d replies); wall - waits - replies x plain: median "
            "%.2f ms, 95th percentile %.2f ms, max %.2f ms\n",
            run.model, run.samples.size(), names.c_str(), replies, bench::Median(net) / 1000.0,
            p95 / 1000.0, bench::Percentile(net, 100.0) / 1000.0);
        for (const std::string& name : run.called) {
            std::vector<double> own;
            for (std::size_t k = 0; k < run.samples.size(); ++k) {
                if (name == run.samples[k].handler) own.push_back(net[k]);
            }
            std::printf("  %-12s median %.2f ms, 95th percentile %.2f ms\n", name.c_str(),
                        bench::Median(own) / 1000.0, bench::Percentile(own, 95.0) / 1000.0);
        }
        const bool met = !net.empty() && p95 < 5000.0;
        bench::PrintRow("handlers, class " + std::to_string(run.model) +
                            ": 95th pct of wall - waits - replies x plain",
                        bench::Format("%.2f ms", p95 / 1000.0),
                        "the handler's mandated wait + its replies x the plain termios median, same run",
                        "< 5 ms", met);
        allMet = allMet && met;
    }
    if (bench::PopupCount() != 0) {
        std::printf("message boxes shown (refusals): %d\n", bench::PopupCount());
    }
    ui::SetMessagePopupHandler({});
    return allMet ? 0 : 1;
}
