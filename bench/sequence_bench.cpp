// The Sequence window on a long run: a run file of N steps with dwell 0 (10,000 by default)
// is opened in the window and run against a V212 served on a pseudo-terminal, as the
// operator would with Open… and Run. Measured in the same run:
//  - steps per second near the start and near the end, from the moments the window showed
//    each step's result (over the 1,000 steps around step N/10 and around step 9N/10); a
//    window whose cost per step grows with the steps already drawn falls behind here;
//  - the paint latency while the run goes on, under the event loop as in the program:
//    every 20 ms the plot is asked to repaint, and one sample is the time from the request
//    to the loop's first turn after the plot's paint event;
//  - ombrastel-ctl run on the same decade and the same file, before and after the window's
//    run, its steps per second from the elapsed time it prints for each step.
//
// Usage: sequence_bench <ombrastel-ctl> [steps]

#include <sys/resource.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QChartView>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/open_close.h"
#include "app/panel.h"
#include "app/panel_tools.h"
#include "app/sequence_run.h"
#include "app/sequence_window.h"
#include "app/shared_state.h"
#include "bench/bench_common.h"
#include "bench/bench_panel.h"
#include "platform/link_thread.h"
#include "toolkit/ui.h"

namespace {

// Calls painted when the widget receives a paint event.
class PaintFilter : public QObject {
  public:
    PaintFilter(QWidget* widget, std::function<void()> painted) : widget_(widget), painted_(std::move(painted)) {
        widget_->installEventFilter(this);
    }
    ~PaintFilter() override { widget_->removeEventFilter(this); }
    PaintFilter(const PaintFilter&) = delete;
    PaintFilter& operator=(const PaintFilter&) = delete;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == widget_ && event->type() == QEvent::Paint) painted_();
        return false;
    }

  private:
    QWidget* widget_;
    std::function<void()> painted_;
};

// Serves the GUI thread for ms milliseconds, as the event loop would.
void Serve(double ms) {
    const auto start = bench::Clock::now();
    while (bench::MicrosecondsSince(start) < ms * 1000.0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

bool ServeUntil(const std::function<bool()>& done, double seconds) {
    const auto start = bench::Clock::now();
    while (!done()) {
        if (bench::MicrosecondsSince(start) > seconds * 1e6) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// Steps per second between step from and step to (1-based) of a list of times in seconds.
double Rate(const std::vector<double>& times, int from, int to) {
    if (from < 1 || to > static_cast<int>(times.size()) || to <= from) return 0.0;
    const double span = times[to - 1] - times[from - 1];
    return span > 0.0 ? (to - from) / span : 0.0;
}

struct CtlRun {
    bool ok = false;
    std::string why;
    std::vector<double> times;  // the elapsed seconds of each step
};

// ombrastel-ctl run FILE --json on COM1 of the working folder; the elapsed time of each step.
CtlRun RunCtl(const QString& ctl, const QString& file, int steps) {
    CtlRun run;
    QProcess p;
    p.start(ctl, {QStringLiteral("run"), file, QStringLiteral("--json"), QStringLiteral("--port"),
                  QStringLiteral("COM1"), QStringLiteral("--baud"), QStringLiteral("115200")});
    if (!p.waitForStarted(10000)) {
        run.why = "ombrastel-ctl did not start: " + p.errorString().toStdString();
        return run;
    }
    p.waitForFinished(600000);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        run.why = "ombrastel-ctl run ended with status " + std::to_string(p.exitCode()) + ": " +
                  p.readAllStandardError().trimmed().toStdString();
        return run;
    }
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.contains(QStringLiteral("elapsed"))) run.times.push_back(o.value(QStringLiteral("elapsed")).toDouble());
    }
    run.ok = static_cast<int>(run.times.size()) == steps;
    if (!run.ok) run.why = "ombrastel-ctl reported " + std::to_string(run.times.size()) + " of " +
                           std::to_string(steps) + " steps";
    return run;
}

int NotMeasured(const char* figure, const std::string& why) {
    std::fprintf(stderr, "sequence_bench: %s\n", why.c_str());
    bench::PrintNotMeasured(figure, why);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: sequence_bench <ombrastel-ctl> [steps]\n");
        return 2;
    }
    // The bench works in a folder of its own: the path is made absolute first.
    const QString ctl = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const int steps = argc > 2 ? std::max(100, std::atoi(argv[2])) : 10000;
    const char* kFigure = "Sequence window, N steps with dwell 0";

    bench::DecadeFolder folder;
    if (!folder.ok()) return NotMeasured(kFigure, "no working folder");
    std::string error;
    std::optional<sim::Config> config =
        sim::ParseArgs({"--model", "V212", "--function", "0", "--value", "1000"}, &error);
    if (!config || folder.Add(*config, 1) == nullptr) return NotMeasured(kFigure, "the decade did not start: " + error);

    // The run file: 1 ohm to N ohm, one ohm a step, no dwell.
    const QString file = QString::fromStdString(folder.folder() + "/steps.csv");
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly)) return NotMeasured(kFigure, "the run file could not be written");
        for (int i = 1; i <= steps; ++i) out.write(QByteArray::number(i) + ",0,resistance\n");
    }

    const CtlRun before = RunCtl(ctl, file, steps);
    if (!before.ok) return NotMeasured(kFigure, before.why);

    if (!bench::LoadBenchPanel()) return NotMeasured(kFigure, "the panel did not load");
    linkthread::Start();
    ui::SetCtrlVal(panelHandle, RING, 0);
    ui::SetCtrlVal(panelHandle, SERIAL, 1);
    ui::SetCtrlVal(panelHandle, RATE, 115200);
    ui::SetCtrlVal(panelHandle, COM, 1);
    OpenCloseComCB(panelHandle, COM, ui::EVENT_COMMIT, nullptr, 0, 0);
    if (!ServeUntil([] { return !linkthread::Busy(); }, 20.0) || connected == 0) {
        return NotMeasured(kFigure, "the panel did not open the link");
    }
    QWidget* panel = ui::PanelWindow(panelHandle);
    SequenceButton(panel)->click();
    SequenceWindow* win = PanelSequenceWindow(panel);
    if (win == nullptr || !win->isVisible()) return NotMeasured(kFigure, "the Sequence window did not open");
    Serve(200);
    QString why;
    if (!win->LoadSteps(file, &why)) return NotMeasured(kFigure, "the window did not open the run file: " + why.toStdString());
    if (static_cast<int>(win->Steps().size()) != steps) return NotMeasured(kFigure, "the window holds another number of steps");

    // When the window showed each step's result.
    std::vector<double> shown;
    shown.reserve(static_cast<std::size_t>(steps));
    QElapsedTimer clock;
    clock.start();
    // And the user CPU time the GUI thread had used by then: the cost of a step, less
    // moved by what else the machine does than the steps per second.
    std::vector<double> guiCpu;
    guiCpu.reserve(static_cast<std::size_t>(steps));
    QObject::connect(win->ResultTable()->model(), &QAbstractItemModel::rowsInserted, win, [&shown, &guiCpu, &clock] {
        shown.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        rusage use{};
        getrusage(RUSAGE_THREAD, &use);
        guiCpu.push_back(static_cast<double>(use.ru_utime.tv_sec) + static_cast<double>(use.ru_utime.tv_usec) / 1e6);
    });
    auto* view = win->findChild<QChartView*>(QStringLiteral("sequencePlot"));
    auto* runButton = win->findChild<QPushButton*>(QStringLiteral("runSequence"));
    if (view == nullptr || runButton == nullptr || !runButton->isEnabled()) {
        return NotMeasured(kFigure, "the window offers no Run");
    }
    // The run under the event loop, as in the program. Every 20 ms the plot is asked to
    // repaint; a sample ends at the loop's first turn after the plot's paint event.
    std::vector<double> latencies;
    std::vector<int> latencyStep;  // the steps shown when each sample was taken
    QElapsedTimer request;
    bool asked = false;
    PaintFilter filter(view->viewport(), [&] {
        if (!asked) return;
        asked = false;
        QTimer::singleShot(0, win, [&] {
            latencies.push_back(static_cast<double>(request.nsecsElapsed()) / 1e6);
            latencyStep.push_back(static_cast<int>(shown.size()));
        });
    });
    QEventLoop loop;
    QTimer sampler;
    sampler.setInterval(20);
    QObject::connect(&sampler, &QTimer::timeout, &loop, [&] {
        if (!sequence::Running() && !linkthread::Busy()) {
            loop.quit();
            return;
        }
        if (asked) return;  // the last request is not painted yet
        asked = true;
        request.start();
        view->viewport()->update();
    });
    runButton->click();
    if (!sequence::Running()) return NotMeasured(kFigure, "the run did not start");
    sampler.start();
    loop.exec();
    sampler.stop();
    if (asked) {  // a request the run's end overtook
        asked = false;
    }
    ServeUntil([] { return !linkthread::Busy(); }, 10.0);
    const int done = static_cast<int>(win->ResultTable()->rowCount());
    const QString status = win->StatusText();
    RunSequence([] { CloseCommunic(); });
    ServeUntil([] { return !linkthread::Busy(); }, 10.0);
    linkthread::Stop(std::chrono::seconds(5));
    if (done != steps || static_cast<int>(shown.size()) != steps) {
        return NotMeasured(kFigure, "the run ended after " + std::to_string(done) + " of " +
                                        std::to_string(steps) + " steps: " + status.toStdString());
    }

    const CtlRun after = RunCtl(ctl, file, steps);
    if (!after.ok) return NotMeasured(kFigure, after.why);

    // Rates over the 1,000 steps (a tenth of a shorter run) around a tenth and nine tenths.
    const int half = std::max(10, std::min(500, steps / 20));
    const int early = steps / 10;
    const int late = steps - steps / 10;
    const double startRate = Rate(shown, early - half + 1, early + half);
    const double endRate = Rate(shown, late - half + 1, late + half);
    const double wholeRate = Rate(shown, 1, steps);
    // Milliseconds of GUI-thread CPU a step, around the same two places.
    const auto cpuPerStep = [&guiCpu, half](int at) {
        const double rate = Rate(guiCpu, at - half + 1, at + half);
        return rate > 0.0 ? 1000.0 / rate : 0.0;
    };
    const double startCpu = cpuPerStep(early);
    const double endCpu = cpuPerStep(late);
    const double ctlRate = (Rate(before.times, 1, steps) + Rate(after.times, 1, steps)) / 2.0;
    std::vector<double> lateLatencies;
    for (std::size_t i = 0; i < latencies.size(); ++i) {
        if (latencyStep[i] >= late) lateLatencies.push_back(latencies[i]);
    }
    std::printf("window: %d steps in %.2f s; %.1f steps/s around step %d, %.1f around step %d, "
                "%.1f overall\n",
                steps, shown.back() - shown.front(), startRate, early, endRate, late, wholeRate);
    std::printf("GUI thread user CPU a step: %.2f ms around step %d, %.2f ms around step %d\n", startCpu, early,
                endCpu, late);
    std::printf("ombrastel-ctl run, same decade and file: %.1f steps/s before, %.1f after\n",
                Rate(before.times, 1, steps), Rate(after.times, 1, steps));
    std::printf("paint latency, %zu requests: median %.2f ms, p95 %.2f ms, max %.2f ms; "
                "after step %d: p95 %.2f ms\n",
                latencies.size(), bench::Median(latencies), bench::Percentile(latencies, 95.0),
                bench::Percentile(latencies, 100.0), late, bench::Percentile(lateLatencies, 95.0));

    const std::string n = std::to_string(steps);
    const double slowdown = endRate > 0.0 ? startRate / endRate : 0.0;
    // Within 1.2 times either way: the cost of a step does not grow (nor shrink) with the
    // steps already shown.
    const bool keeps = endRate > 0.0 && slowdown <= 1.2 && slowdown >= 1.0 / 1.2;
    bench::PrintRow("Sequence window, " + n + " steps with dwell 0: steps/s around step " +
                        std::to_string(early) + " / around step " + std::to_string(late),
                    bench::Format("%.3f", slowdown) + bench::Format(" (%.0f", startRate) +
                        bench::Format(" / %.0f steps/s)", endRate),
                    "the same window's rate near the start of the same run", "0.83 to 1.2", keeps);
    // What the window adds to each step over the wire-bound tool: the panel's refresh of
    // every step and the window's table, progress and plot, on the GUI thread.
    const double ratio = wholeRate > 0.0 ? ctlRate / wholeRate : 0.0;
    const double addedMs = wholeRate > 0.0 && ctlRate > 0.0 ? 1000.0 / wholeRate - 1000.0 / ctlRate : 0.0;
    const bool near = wholeRate > 0.0 && addedMs < 20.0;
    bench::PrintRow("Sequence window, " + n + " steps with dwell 0: ombrastel-ctl run steps/s / "
                        "the window's steps/s",
                    bench::Format("%.2f", ratio) + bench::Format(" (%.0f", ctlRate) +
                        bench::Format(" / %.0f steps/s;", wholeRate) +
                        bench::Format(" the window adds %.1f ms a step)", addedMs),
                    "ombrastel-ctl run, same decade and file, before and after",
                    "adds < 20 ms a step (a frame)", near);
    const double p95 = bench::Percentile(latencies, 95.0);
    const bool smooth = !latencies.empty() && p95 < 50.0;
    bench::PrintRow("Sequence window, paint latency during the run: p50 / p95 / max",
                    bench::Format("%.1f", bench::Median(latencies)) +
                        bench::Format(" / %.1f", p95) +
                        bench::Format(" / %.1f ms", bench::Percentile(latencies, 100.0)) +
                        bench::Format(" (%.0f requests)", static_cast<double>(latencies.size())),
                    "a 20 ms frame budget with room for the run's own paints (p95)", "p95 < 50 ms", smooth);
    return keeps && near && smooth ? 0 : 1;
}
