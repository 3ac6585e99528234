// The Sequence window's steps: the table edited row by row, and the ramp that fills it.
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

#include "app/panel.h"
#include "app/sequence_window_cells.h"
#include "app/sequence_window.h"
#include "app/shared_state.h"
#include "decade/run_file.h"
#include "toolkit/ui.h"

using namespace sequence_cells;

std::vector<sequence::Step> SequenceWindow::Steps() const {
    std::vector<sequence::Step> steps;
    for (int row = 0; row < steps_->rowCount(); ++row) {
        sequence::Step step;
        step.value = steps_->item(row, kValueColumn)->data(kBaseRole).toDouble();
        step.dwellSeconds = steps_->item(row, kDwellColumn)->data(kBaseRole).toDouble();
        steps.push_back(step);
    }
    return steps;
}

void SequenceWindow::SetStepRow(int row, double base, double dwell) {
    QTableWidgetItem* value = Item(Shown(base), true);
    value->setData(kBaseRole, base);
    QTableWidgetItem* seconds = Item(Number(dwell), true);
    seconds->setData(kBaseRole, dwell);
    steps_->setItem(row, kValueColumn, value);
    steps_->setItem(row, kDwellColumn, seconds);
    steps_->setItem(row, kStateColumn, Item({}, false, false));
}

void SequenceWindow::AddRow() {
    // A new step repeats the chosen one, or takes the value the panel shows.
    const int current = steps_->currentRow();
    double base = 0.0;
    double dwell = 1.0;
    if (current >= 0) {
        base = steps_->item(current, kValueColumn)->data(kBaseRole).toDouble();
        dwell = steps_->item(current, kDwellColumn)->data(kBaseRole).toDouble();
    } else {
        if (steps_->rowCount() == 0 && connected_) SetFrame(presents_);
        double shown = 0.0;
        if (connected_) ui::GetCtrlVal(panelHandle, VALUE, &shown);
        base = shown * std::pow(10.0, frame_.exponent);
    }
    const int row = current >= 0 ? current + 1 : steps_->rowCount();
    steps_->insertRow(row);
    SetStepRow(row, base, dwell);
    steps_->setCurrentCell(row, kValueColumn);
    steps_->setFocus();
    ShowProgress();
    UpdateButtons();
}

void SequenceWindow::RemoveRows() {
    QList<int> rows;
    for (const QTableWidgetItem* item : steps_->selectedItems()) {
        if (!rows.contains(item->row())) rows << item->row();
    }
    if (rows.isEmpty() && steps_->currentRow() >= 0) rows << steps_->currentRow();
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (int row : rows) steps_->removeRow(row);
    ShowProgress();
    UpdateButtons();
}

void SequenceWindow::MoveRow(int by) {
    const int row = steps_->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= steps_->rowCount()) return;
    const int column = std::max(0, steps_->currentColumn());
    for (int c = 0; c < steps_->columnCount(); ++c) {
        QTableWidgetItem* a = steps_->takeItem(row, c);
        QTableWidgetItem* b = steps_->takeItem(to, c);
        steps_->setItem(row, c, b);
        steps_->setItem(to, c, a);
    }
    // Chosen alone, whatever keys are held (Ctrl would otherwise add to the choice).
    steps_->selectionModel()->setCurrentIndex(
        steps_->model()->index(to, column),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    UpdateButtons();
}

void SequenceWindow::ClearSteps() {
    steps_->setRowCount(0);
    if (connected_) SetFrame(presents_);
    Say({});
    ShowProgress();
    UpdateButtons();
}

bool SequenceWindow::FillRamp() {
    if (sequence::Running()) return false;
    const auto check = [this](QLineEdit* field, bool good, const char* why) {
        const QString text = good ? QString() : T(why);
        field->setToolTip(text);
        field->setAccessibleDescription(text);
        if (!good) {
            Say(text);
            field->setFocus();
            field->selectAll();
        }
        return good;
    };
    const char* kNotNumber = QT_TRANSLATE_NOOP("SequenceWindow", "not a number");
    const std::optional<double> from = EntryNumber(from_->text());
    const std::optional<double> to = EntryNumber(to_->text());
    std::optional<double> step;
    std::optional<int> count;
    if (byStep_->isChecked()) {
        step = EntryNumber(stepOrCount_->text());
    } else {
        const std::optional<double> n = EntryNumber(stepOrCount_->text());
        if (n && *n == std::floor(*n) && *n >= 1.0 && *n <= decade::kMaxRampSteps) count = static_cast<int>(*n);
    }
    const std::optional<double> dwell = DwellNumber(rampDwell_->text());
    if (!check(from_, from.has_value(), kNotNumber) || !check(to_, to.has_value(), kNotNumber) ||
        !check(stepOrCount_, byStep_->isChecked() ? step.has_value() : count.has_value(),
               byStep_->isChecked() ? kNotNumber
                                    : QT_TRANSLATE_NOOP("SequenceWindow", "not a whole number from 1 to 10000")) ||
        !check(rampDwell_, dwell.has_value(), QT_TRANSLATE_NOOP("SequenceWindow", "not a dwell time in seconds"))) {
        return false;
    }
    const std::optional<std::vector<double>> values =
        count ? decade::RampByCount(*from, *to, *count) : decade::RampByStep(*from, *to, *step);
    if (!values) {
        Say(T(QT_TRANSLATE_NOOP("SequenceWindow", "The ramp makes no step, or more than 10000: nothing was changed.")));
        stepOrCount_->setFocus();
        return false;
    }
    // The ramp is typed in the prefix the panel shows now.
    if (connected_) SetFrame(presents_);
    steps_->setRowCount(0);
    steps_->setRowCount(static_cast<int>(values->size()));
    for (std::size_t i = 0; i < values->size(); ++i) {
        SetStepRow(static_cast<int>(i), (*values)[i] * std::pow(10.0, frame_.exponent), *dwell);
    }
    steps_->setCurrentCell(0, kValueColumn);
    Say(T(QT_TRANSLATE_NOOP("SequenceWindow", "The ramp made %1 steps.")).arg(values->size()));
    SetFrame(frame_);
    ShowProgress();
    return true;
}
