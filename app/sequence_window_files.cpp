// The Sequence window's files: run files of steps in the form ombrastel-ctl runs, the plot
// as an image and the results as CSV, each through a file dialog.
#include <QBuffer>
#include <QChartView>
#include <QFile>
#include <QFileDialog>
#include <QTableWidget>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/sequence_window.h"
#include "app/texts.h"
#include "decade/names.h"
#include "decade/run_file.h"
#include "platform/file_write.h"

namespace {

constexpr std::chrono::seconds kFileWait{5};  // the longest a run file is read

// What the operator saves is written as the settings file is: never over a device, a
// FIFO or a socket, through a symbolic link, and never leaving half a file.
bool WriteFile(const QString& path, const QByteArray& bytes, bool czech, QString* why) {
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const int error = filewrite::WriteWhole(QFile::encodeName(path).toStdString(), text);
    if (error != 0) *why = QString::fromStdString(texts::WriteFailure(error, czech));
    return error == 0;
}

}  // namespace

bool SequenceWindow::LoadSteps(const QString& path, QString* why) {
    // Read whole or not at all; a file that gives nothing for a while (a FIFO whose
    // writer stalls) does not hold the window.
    std::vector<decade::RunStep> rows;
    std::string reason;
    const auto deadline = std::chrono::steady_clock::now() + kFileWait;
    const decade::RunFileRead read = decade::ReadRunFile(
        QFile::encodeName(path).toStdString(), &rows, &reason,
        [deadline] { return std::chrono::steady_clock::now() >= deadline; });
    if (read == decade::RunFileRead::Stopped) {
        *why = T(QT_TRANSLATE_NOOP("SequenceWindow", "the file was not read whole within %1 s"))
                   .arg(kFileWait.count());
        return false;
    }
    if (read != decade::RunFileRead::Read) {
        *why = QString::fromStdString(reason);
        return false;
    }
    if (rows.size() > static_cast<std::size_t>(decade::kMaxRampSteps)) {
        *why = T(QT_TRANSLATE_NOOP("SequenceWindow", "more than 10000 steps"));
        return false;
    }
    // The window runs the function the decade presents: a row for another one is refused.
    Frame frame = connected_ ? presents_ : frame_;
    for (const decade::RunStep& row : rows) {
        if (row.function.empty()) continue;
        const std::optional<int> code = decade::names::FunctionCode(row.function);
        if (!code) {
            *why = T(QT_TRANSLATE_NOOP("SequenceWindow", "line %1: '%2' is no function"))
                       .arg(row.line)
                       .arg(QString::fromStdString(row.function));
            return false;
        }
        if (!connected_ && frame.name.empty()) {
            frame = Frame{*code, QString::fromStdString(row.function), row.function, 0, {}, {}};
        }
        if (*code != frame.function) {
            *why = T(QT_TRANSLATE_NOOP("SequenceWindow", "line %1: the step is for %2, not for %3"))
                       .arg(row.line)
                       .arg(QString::fromStdString(row.function), QString::fromStdString(frame.name));
            return false;
        }
    }
    SetFrame(frame);
    steps_->setRowCount(0);
    steps_->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SetStepRow(static_cast<int>(i), rows[i].value, rows[i].dwellSeconds);
    }
    SetFrame(frame_);
    ShowProgress();
    return true;
}

bool SequenceWindow::SaveSteps(const QString& path, QString* why) const {
    std::vector<decade::RunStep> rows;
    for (const sequence::Step& step : Steps()) {
        decade::RunStep row;
        row.value = step.value;
        row.dwellSeconds = step.dwellSeconds;
        row.function = frame_.name;
        rows.push_back(row);
    }
    return WriteFile(path, QByteArray::fromStdString(decade::FormatRunFile(rows)), czech_, why);
}

bool SequenceWindow::SavePlot(const QString& path, QString* why) const {
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !chartView_->grab().save(&buffer, "PNG")) {
        *why = T(QT_TRANSLATE_NOOP("SequenceWindow", "the image could not be written"));
        return false;
    }
    return WriteFile(path, png, czech_, why);
}

bool SequenceWindow::SaveResults(const QString& path, QString* why) const {
    return WriteFile(path, QByteArray::fromStdString(sequence::ResultsCsv(resultRows_, frame_.unit.toStdString())),
                     czech_, why);
}

namespace {

QString AskPath(QWidget* parent, bool save, const QString& title, const QString& filter, const QString& suffix) {
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace

// A file chosen in a dialog, and what is done with it; the status line says how it went.
void SequenceWindow::AskFile(bool save, const char* title, const QString& filter,
                             const QString& suffix, const FileAction& act) {
    const QString path = AskPath(this, save, T(title), filter, suffix);
    if (path.isEmpty()) return;
    QString why;
    if (act(path, &why)) {
        Say((save ? T(QT_TRANSLATE_NOOP("SequenceWindow", "Saved %1."))
                  : T(QT_TRANSLATE_NOOP("SequenceWindow", "Opened %1."))).arg(path));
    } else {
        Say((save ? T(QT_TRANSLATE_NOOP("SequenceWindow", "Could not save %1: %2"))
                  : T(QT_TRANSLATE_NOOP("SequenceWindow", "Could not open %1: %2"))).arg(path, why));
    }
}
