// The Sequence window's run: the steps sent one by one with their dwells, the state and
// tint of each step, the results table, the progress bar and the live plot.
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QLineSeries>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "app/sequence_window_cells.h"
#include "app/sequence_window.h"
#include "platform/text.h"

using namespace sequence_cells;

namespace {

const QColor kFailedStep(255, 205, 205);
const QColor kRunningStep(205, 225, 255);

double Clock() {
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

}  // namespace

void SequenceWindow::Run() {
    LookAtPanel();
    if (!run_->isEnabled()) return;
    const std::vector<sequence::Step> steps = Steps();
    resultRows_.clear();
    results_->setRowCount(0);
    for (int row = 0; row < steps_->rowCount(); ++row) {
        Tint(row, QBrush());
        steps_->item(row, kStateColumn)->setText({});
    }
    steps_->clearSelection();
    runTotal_ = static_cast<int>(steps.size());
    runStep_ = -1;
    ResetPlot(PlannedSeconds());
    const QPointer<SequenceWindow> self(this);
    sequence::Listener listener;
    listener.stepStarted = [self](int index) {
        if (self != nullptr) self->StepStarted(index);
    };
    listener.stepDone = [self](const sequence::StepResult& result) {
        if (self != nullptr) self->StepDone(result);
    };
    listener.ended = [self](sequence::RunEnd end, int done) {
        if (self != nullptr) self->RunEnded(end, done);
    };
    runStarted_ = Clock();
    if (!sequence::Start(steps, listener)) {
        Say(T(QT_TRANSLATE_NOOP("SequenceWindow", "The link is busy: the run did not start.")));
        return;
    }
    Say(T(QT_TRANSLATE_NOOP("SequenceWindow", "Running; the panel takes no input until the run ends.")));
    tick_->start();
    UpdateButtons();
    stop_->setFocus();
    ShowProgress();
}

QString SequenceWindow::StatusName(sequence::StepStatus status) const {
    switch (status) {
        case sequence::StepStatus::Done: return T(QT_TRANSLATE_NOOP("SequenceWindow", "done"));
        case sequence::StepStatus::Refused: return T(QT_TRANSLATE_NOOP("SequenceWindow", "refused"));
        case sequence::StepStatus::NoAnswer: return T(QT_TRANSLATE_NOOP("SequenceWindow", "no answer"));
        case sequence::StepStatus::LinkGone: return T(QT_TRANSLATE_NOOP("SequenceWindow", "link gone"));
        case sequence::StepStatus::NotSettable:
            return T(QT_TRANSLATE_NOOP("SequenceWindow", "value cannot be set now"));
    }
    return {};
}

// The step under way is tinted from its start to the start of the next one; a failed one
// stays red.
void SequenceWindow::Tint(int row, const QBrush& brush) {
    if (row < 0 || row >= steps_->rowCount()) return;
    for (int c = 0; c < steps_->columnCount(); ++c) steps_->item(row, c)->setBackground(brush);
}

void SequenceWindow::StepStarted(int index) {
    if (!resultRows_.empty() && resultRows_.back().status == sequence::StepStatus::Done) {
        Tint(resultRows_.back().index, QBrush());
    }
    runStep_ = index;
    if (index < steps_->rowCount()) {
        Tint(index, kRunningStep);
        steps_->item(index, kStateColumn)->setText(T(QT_TRANSLATE_NOOP("SequenceWindow", "running")));
        steps_->scrollToItem(steps_->item(index, kValueColumn));
    }
    ShowProgress();
}

void SequenceWindow::StepDone(const sequence::StepResult& result) {
    resultRows_.push_back(result);
    const int row = results_->rowCount();
    results_->insertRow(row);
    const double scale = std::pow(10.0, frame_.exponent);
    results_->setItem(row, 0, Item(QString::number(result.seconds, 'f', 3), false));
    results_->setItem(row, 1, Item(Number(result.set / scale), false));
    results_->setItem(row, 2, Item(result.readBack ? Number(*result.readBack / scale) : QString(), false));
    results_->setItem(row, 3, Item(StatusName(result.status), false, false));
    results_->scrollToBottom();
    const bool failed = result.status != sequence::StepStatus::Done;
    if (result.index < steps_->rowCount()) {
        if (failed) Tint(result.index, kFailedStep);
        steps_->item(result.index, kStateColumn)->setText(StatusName(result.status));
    }
    if (failed) {
        for (int c = 0; c < results_->columnCount(); ++c) results_->item(row, c)->setBackground(kFailedStep);
    }
    AddPlotPoint(setTrace_, result.seconds, result.set / scale);
    if (result.readBack) AddPlotPoint(readTrace_, result.seconds, *result.readBack / scale);
    if (plotPending_) ExtendPlot(Clock() - runStarted_);
    UpdateButtons();
    ShowProgress();
}

void SequenceWindow::RunEnded(sequence::RunEnd end, int stepsDone) {
    tick_->stop();
    // A failed run's plot ends at its last step; the others hold the last value until now.
    ExtendPlot(end == sequence::RunEnd::Failed && !resultRows_.empty() ? resultRows_.back().seconds
                                                                       : Clock() - runStarted_);
    switch (end) {
        case sequence::RunEnd::Completed:
            Say(T(QT_TRANSLATE_NOOP("SequenceWindow", "Done: %1 steps.")).arg(stepsDone));
            break;
        case sequence::RunEnd::Stopped:
            Say(T(QT_TRANSLATE_NOOP("SequenceWindow", "Stopped after step %1 of %2.")).arg(stepsDone).arg(runTotal_));
            break;
        case sequence::RunEnd::Failed:
            Say(T(QT_TRANSLATE_NOOP("SequenceWindow", "Ended at step %1 of %2: %3."))
                    .arg(stepsDone)
                    .arg(runTotal_)
                    .arg(resultRows_.empty() ? QString() : StatusName(resultRows_.back().status)));
            break;
        case sequence::RunEnd::Cancelled:
            Say(T(QT_TRANSLATE_NOOP("SequenceWindow", "Ended after step %1 of %2: the link was closed."))
                    .arg(stepsDone)
                    .arg(runTotal_));
            break;
    }
    if (!resultRows_.empty() && resultRows_.back().status == sequence::StepStatus::Done) {
        Tint(resultRows_.back().index, QBrush());
    }
    runStep_ = -1;
    progress_->setValue(stepsDone);
    LookAtPanel();
    UpdateButtons();
    run_->setFocus();
}

void SequenceWindow::Tick() {
    ShowProgress();
    ExtendPlot(Clock() - runStarted_);
}

void SequenceWindow::ShowProgress() {
    if (sequence::Running()) {
        progress_->setRange(0, std::max(1, runTotal_));
        progress_->setValue(static_cast<int>(resultRows_.size()));
        const int step = std::max(1, runStep_ + 1);
        QString text = T(QT_TRANSLATE_NOOP("SequenceWindow", "Step %1 of %2, %3 left"))
                           .arg(step)
                           .arg(runTotal_)
                           .arg(QString::fromStdString(text::FormatDuration(sequence::SecondsLeft())));
        if (sequence::Paused()) text += T(QT_TRANSLATE_NOOP("SequenceWindow", " (paused)"));
        progress_->setFormat(text);
        progress_->setAccessibleDescription(text);
        return;
    }
    const QString text = T(QT_TRANSLATE_NOOP("SequenceWindow", "%1 steps, %2"))
                             .arg(steps_->rowCount())
                             .arg(QString::fromStdString(text::FormatDuration(PlannedSeconds())));
    if (resultRows_.empty()) {
        progress_->setRange(0, 1);
        progress_->setValue(0);
    }
    progress_->setFormat(text);
    progress_->setAccessibleDescription(text);
}

double SequenceWindow::PlannedSeconds() const {
    double seconds = 0.0;
    for (const sequence::Step& step : Steps()) seconds += step.dwellSeconds;
    return seconds;
}

// The plot draws each value as a step: flat until the next one goes out. The traces keep
// what a pixel column of the plot can show, so a step costs the same however many came
// before it; the series are given the traces' points with the clock (Tick), not at every
// step, and the window keeps up with the wire.
void SequenceWindow::ResetPlot(double seconds) {
    setSeries_->clear();
    readSeries_->clear();
    yKnown_ = false;
    const double span = std::max(1.0, seconds);
    timeAxis_->setRange(0.0, span);
    const int pixels = static_cast<int>(chart_->plotArea().width());
    setTrace_.Reset(span, pixels > 0 ? pixels : chartView_->width());
    readTrace_.Reset(span, pixels > 0 ? pixels : chartView_->width());
    plotPending_ = false;
    for (const sequence::Step& step : Steps()) FitValueAxis(step.value / std::pow(10.0, frame_.exponent));
}

void SequenceWindow::AddPlotPoint(StepTrace& trace, double t, double y) {
    // The first value is drawn at once; later ones with the next tick of the clock.
    if (trace.Empty()) plotPending_ = true;
    trace.Add(t, y);
    FitValueAxis(y);
}

void SequenceWindow::ExtendPlot(double t) {
    if (t > timeAxis_->max()) timeAxis_->setMax(t);
    setSeries_->replace(setTrace_.Points(t));
    readSeries_->replace(readTrace_.Points(t));
    plotPending_ = false;
}

void SequenceWindow::FitValueAxis(double y) {
    if (!std::isfinite(y)) return;
    if (yKnown_ && y >= yMin_ && y <= yMax_) return;  // the axis holds it already
    yMin_ = yKnown_ ? std::min(yMin_, y) : y;
    yMax_ = yKnown_ ? std::max(yMax_, y) : y;
    yKnown_ = true;
    const double span = yMax_ - yMin_;
    const double margin = span > 0.0 ? span * 0.08 : std::max(1.0, std::abs(yMax_) * 0.1);
    valueAxis_->setRange(yMin_ - margin, yMax_ + margin);
    valueAxis_->applyNiceNumbers();
}
