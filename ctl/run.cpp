#include "ctl/run.h"

#include <unistd.h>

#include <QDateTime>
#include <QJsonObject>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ctl/ctl.h"
#include "ctl/outcome.h"
#include "decade/names.h"
#include "decade/run_file.h"
#include "platform/text.h"

namespace ctl {

namespace {

using decade::DecadeSession;
using decade::DecadeState;
using decade::RunStep;
using Clock = std::chrono::steady_clock;

// The progress line on a terminal: step n of N, a bar, the time the dwells still take.
class Progress {
  public:
    explicit Progress(int total) : shown_(isatty(STDERR_FILENO) != 0), total_(total) {}
    ~Progress() {
        if (shown_) Print(stderr, QStringLiteral("\r%1\r").arg(QString(), 60));
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Show(int step, double secondsLeft) {
        if (!shown_) return;
        constexpr int kWidth = 24;
        const int filled = total_ > 0 ? static_cast<int>(static_cast<long long>(step) * kWidth / total_) : kWidth;
        Print(stderr, QStringLiteral("\rstep %1 of %2 [%3%4] %5 left ")
                          .arg(step)
                          .arg(total_)
                          .arg(QString(filled, QLatin1Char('#')), QString(kWidth - filled, QLatin1Char('.')))
                          .arg(QString::fromStdString(text::FormatDuration(secondsLeft))));
    }

  private:
    bool shown_;
    int total_;
};

// Waits until seconds after from, or less when a signal comes.
void Dwell(Clock::time_point from, double seconds, const std::function<void(double)>& tick) {
    const Clock::time_point end = from + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(seconds));
    while (!Interrupted()) {
        const Clock::time_point now = Clock::now();
        if (now >= end) break;
        tick(std::chrono::duration<double>(end - now).count());
        std::this_thread::sleep_for(std::min<Clock::duration>(end - now, std::chrono::milliseconds(50)));
    }
}

// The rows of the file and the function each selects first, or the exit status when the
// file cannot run (said already).
struct Plan {
    std::vector<RunStep> rows;
    std::vector<std::optional<int>> functions;
};

std::optional<int> ReadPlan(const Options& options, Plan* plan) {
    const QString name = options.arguments.value(0);
    if (name.isEmpty()) return SayUsage({QStringLiteral("run needs a file name"), options.command});
    std::string why;
    switch (decade::ReadRunFile(name.toLocal8Bit().toStdString(), &plan->rows, &why, [] { return Interrupted(); })) {
        case decade::RunFileRead::Read:
            break;
        case decade::RunFileRead::Unreadable:
            return SayUsage({QStringLiteral("cannot read %1: %2").arg(name, Q(why)), options.command});
        case decade::RunFileRead::Refused:
            return SayUsage({QStringLiteral("%1: %2").arg(name, Q(why)), options.command});
        case decade::RunFileRead::Stopped:
            Print(stderr, QStringLiteral("%1: interrupted while reading %2; nothing was sent\n")
                              .arg(QLatin1String(kProgram), name));
            return kInterrupted;
    }
    const auto bad = [&](const RunStep& row, const QString& what) {
        return SayUsage({QStringLiteral("%1: line %2: %3").arg(name).arg(row.line).arg(what), options.command});
    };
    for (const RunStep& row : plan->rows) {
        if (const std::optional<std::string> why = Unsendable(row.value, false)) {
            return bad(row, QStringLiteral("%1 cannot be sent: %2").arg(QString::number(row.value, 'g', 12), Q(*why)));
        }
        if (row.function.empty()) {
            plan->functions.push_back(std::nullopt);
            continue;
        }
        const std::optional<int> code = decade::names::FunctionCode(row.function);
        if (!code) return bad(row, QStringLiteral("'%1' is no function").arg(Q(row.function)));
        plan->functions.push_back(code);
    }
    const long long steps = static_cast<long long>(plan->rows.size()) * options.repeat;
    if (steps > INT_MAX) {
        return SayUsage({QStringLiteral("--repeat %1 times %2 rows is %3 steps, more than the %4 a run counts")
                             .arg(options.repeat)
                             .arg(plan->rows.size())
                             .arg(steps)
                             .arg(INT_MAX),
                         options.command});
    }
    return std::nullopt;
}

std::string StepReason(int step, const RunStep& row, const std::string& why) {
    return "step " + std::to_string(step) + " (line " + std::to_string(row.line) + "): " + why;
}

}  // namespace

int Run(const Options& options, DecadeSession& session) {
    Plan plan;
    if (const std::optional<int> status = ReadPlan(options, &plan)) return *status;
    const std::vector<RunStep>& rows = plan.rows;
    const int total = static_cast<int>(rows.size()) * options.repeat;
    double secondsLeft = 0.0;
    for (const RunStep& row : rows) secondsLeft += row.dwellSeconds * options.repeat;
    if (Interrupted()) return kInterrupted;  // before the decade heard of it

    if (auto failed = Connect(options, session)) return *failed;
    session.BeginSequence(true);
    DecadeState state = session.StartingState();
    session.ReadState(state);
    if (StatusOf(session) != kDone) {
        const std::string reason = ReasonOf(session);
        return Fail(options, Finish(session, kLinkFailure), reason);
    }
    Progress progress(total);
    const Clock::time_point start = Clock::now();
    int step = 0;
    std::string why;
    for (int pass = 0; pass < options.repeat && !Interrupted(); ++pass) {
        for (std::size_t i = 0; i < rows.size() && !Interrupted(); ++i) {
            ++step;
            const RunStep& row = rows[i];
            progress.Show(step, secondsLeft);
            if (plan.functions[i] && *plan.functions[i] != state.function) {
                const int status = ApplySetting(session, SelectCommand(*plan.functions[i]), state, &why);
                if (status != kDone) return Fail(options, Finish(session, status), StepReason(step, row, why));
            }
            // A step lasts its dwell from the moment its value goes out, the exchanges
            // included, as in the panel's sequence window.
            const Clock::time_point stepStart = Clock::now();
            const int status = ApplySetting(session, ValueCommand(row.value), state, &why);
            if (status != kDone) return Fail(options, Finish(session, status), StepReason(step, row, why));
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            if (options.json) {
                QJsonObject o;
                o[QStringLiteral("step")] = step;
                o[QStringLiteral("time")] = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
                o[QStringLiteral("elapsed")] = std::round(elapsed * 1000.0) / 1000.0;
                const std::string function =
                    decade::names::FunctionName(state.function, session.Profile().capacitance);
                if (!function.empty()) o[QStringLiteral("function")] = Q(function);
                o[QStringLiteral("set")] = row.value;
                o[QStringLiteral("read")] = BaseValue(state);
                o[QStringLiteral("shown")] = Q(ShownValue(state));
                PrintJson(o);
            } else {
                PrintLine(stdout, QStringLiteral("%1/%2 %3 s: set %4, read ")
                                          .arg(step)
                                          .arg(total)
                                          .arg(QString::number(elapsed, 'f', 1), QString::number(row.value, 'g', 12))
                                          .toStdString() +
                                      ShownValue(state));
            }
            const double after = secondsLeft - row.dwellSeconds;
            Dwell(stepStart, row.dwellSeconds, [&progress, step, after](double left) { progress.Show(step, after + left); });
            secondsLeft -= row.dwellSeconds;
        }
    }
    if (Interrupted()) {
        const bool gone = LinkLost(session.link);
        CloseOrDrop(session);
        std::fprintf(stderr, "%s: interrupted after step %d of %d; %s\n", kProgram, step, total,
                     gone ? "the link is gone" : "the decade is back in local");
        return kInterrupted;
    }
    return Finish(session, kDone);
}

}  // namespace ctl
