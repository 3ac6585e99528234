#include "app/sequence_window.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <optional>

#include "app/open_close.h"
#include "app/panel.h"
#include "app/shared_state.h"
#include "app/texts.h"
#include "decade/names.h"
#include "decade/run_file.h"
#include "platform/file_write.h"
#include "platform/link_thread.h"
#include "platform/text.h"
#include "toolkit/ui.h"

namespace {

constexpr const char* kContext = "SequenceWindow";
constexpr int kValueColumn = 0;
constexpr int kDwellColumn = 1;
constexpr int kStateColumn = 2;
constexpr int kBaseRole = Qt::UserRole;  // a cell's number: the base value, the seconds
constexpr std::chrono::seconds kFileWait{5};  // the longest a run file is read
// How a step cell is edited while no run is under way: typing starts the entry.
constexpr QAbstractItemView::EditTriggers kStepEditing =
    QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
    QAbstractItemView::AnyKeyPressed;

const QColor kFailedStep(255, 205, 205);
const QColor kRunningStep(205, 225, 255);

double Clock() {
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

QString Number(double value) {
    return QString::number(value, 'g', 12);
}

std::optional<double> EntryNumber(const QString& text) {
    const std::optional<double> n = text::ParseEntryNumber(text.toStdString());
    if (!n || !std::isfinite(*n)) return std::nullopt;
    return n;
}

std::optional<double> DwellNumber(const QString& text) {
    const std::optional<double> n = EntryNumber(text);
    if (!n || *n < 0.0) return std::nullopt;
    return n;
}

// The cells of the step table take a number the way VALUE does: the whole text must be
// one number (a decimal comma is a point); anything else is refused when the entry is
// completed, the cell keeps its number and says why.
class NumberDelegate : public QStyledItemDelegate {
  public:
    using Check = std::function<std::optional<double>(const QModelIndex&, const QString&)>;
    using Store = std::function<void(const QModelIndex&, double)>;
    using Refuse = std::function<void(const QModelIndex&)>;
    NumberDelegate(QObject* parent, Check check, Store store, Refuse refuse)
        : QStyledItemDelegate(parent), check_(std::move(check)), store_(std::move(store)),
          refuse_(std::move(refuse)) {}

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        if (edit == nullptr) return;
        const std::optional<double> n = check_(index, edit->text());
        if (n) {
            store_(index, *n);
        } else {
            refuse_(index);
        }
    }

  private:
    Check check_;
    Store store_;
    Refuse refuse_;
};

// A number right-aligned, a word (the state of a step) left-aligned.
QTableWidgetItem* Item(const QString& text, bool editable, bool number = true) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    if (!editable) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

// What the operator saves is written as the settings file is: never over a device, a
// FIFO or a socket, through a symbolic link, and never leaving half a file.
bool WriteFile(const QString& path, const QByteArray& bytes, bool czech, QString* why) {
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const int error = filewrite::WriteWhole(QFile::encodeName(path).toStdString(), text);
    if (error != 0) *why = QString::fromStdString(texts::WriteFailure(error, czech));
    return error == 0;
}

// Texts of the plot are drawn as rich text by the chart: what the decade named (a unit) is
// shown as the characters it is.
QString ChartText(const QString& text) {
    return text.toHtmlEscaped();
}

}  // namespace

SequenceWindow::SequenceWindow() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("sequenceWindow"));
    BuildLayout();
    tick_ = new QTimer(this);
    tick_->setInterval(100);
    connect(tick_, &QTimer::timeout, this, &SequenceWindow::Tick);
    connect(add_, &QPushButton::clicked, this, &SequenceWindow::AddRow);
    connect(remove_, &QPushButton::clicked, this, &SequenceWindow::RemoveRows);
    connect(up_, &QPushButton::clicked, this, [this] { MoveRow(-1); });
    connect(down_, &QPushButton::clicked, this, [this] { MoveRow(1); });
    connect(clear_, &QPushButton::clicked, this, &SequenceWindow::ClearSteps);
    connect(fill_, &QPushButton::clicked, this, &SequenceWindow::FillRamp);
    const QString csv = QStringLiteral("csv");
    connect(load_, &QPushButton::clicked, this, [this, csv] {
        AskFile(false, QT_TRANSLATE_NOOP("SequenceWindow", "Open steps"),
                QStringLiteral("CSV (*.csv);;* (*)"), csv,
                [this](const QString& path, QString* why) { return LoadSteps(path, why); });
    });
    connect(save_, &QPushButton::clicked, this, [this, csv] {
        AskFile(true, QT_TRANSLATE_NOOP("SequenceWindow", "Save steps"), QStringLiteral("CSV (*.csv)"),
                csv, [this](const QString& path, QString* why) { return SaveSteps(path, why); });
    });
    connect(run_, &QPushButton::clicked, this, &SequenceWindow::Run);
    connect(pause_, &QPushButton::clicked, this, [this] {
        sequence::Pause();
        UpdateButtons();
        ShowProgress();
        resume_->setFocus();
    });
    connect(resume_, &QPushButton::clicked, this, [this] {
        sequence::Resume();
        UpdateButtons();
        ShowProgress();
        pause_->setFocus();
    });
    connect(stop_, &QPushButton::clicked, this, [] { sequence::Stop(); });
    connect(savePlot_, &QPushButton::clicked, this, [this] {
        AskFile(true, QT_TRANSLATE_NOOP("SequenceWindow", "Save plot"), QStringLiteral("PNG (*.png)"),
                QStringLiteral("png"),
                [this](const QString& path, QString* why) { return SavePlot(path, why); });
    });
    connect(saveResults_, &QPushButton::clicked, this, [this, csv] {
        AskFile(true, QT_TRANSLATE_NOOP("SequenceWindow", "Save results"), QStringLiteral("CSV (*.csv)"),
                csv, [this](const QString& path, QString* why) { return SaveResults(path, why); });
    });
    connect(steps_, &QTableWidget::itemSelectionChanged, this, &SequenceWindow::UpdateButtons);
    // Rows by the keyboard: Insert adds one, Delete removes the chosen, Ctrl+Up/Down move.
    auto key = [this](QKeySequence sequence, auto action) {
        auto* shortcut = new QShortcut(sequence, steps_, nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    key(QKeySequence(Qt::Key_Insert), [this] { if (add_->isEnabled()) AddRow(); });
    key(QKeySequence(Qt::Key_Delete), [this] { if (remove_->isEnabled()) RemoveRows(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Up), [this] { if (up_->isEnabled()) MoveRow(-1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Down), [this] { if (down_->isEnabled()) MoveRow(1); });
    // Whatever a sequence of the panel changed (function, prefix, the link itself).
    AddSequenceEndedHook([self = QPointer<SequenceWindow>(this)] {
        if (self != nullptr && self->isVisible() && !sequence::Running()) self->LookAtPanel();
    });
    resize(1060, 640);
    SetCzech(false);
}

SequenceWindow::~SequenceWindow() = default;

QString SequenceWindow::T(const char* english) const {
    return QString::fromStdString(czech_ ? texts::Translated(kContext, english) : std::string(english));
}

void SequenceWindow::BuildLayout() {
    heading_ = new QLabel(this);
    heading_->setObjectName(QStringLiteral("sequenceHeading"));
    heading_->setTextFormat(Qt::PlainText);  // it names the decade's function or preset
    QFont bold = heading_->font();
    bold.setBold(true);
    heading_->setFont(bold);

    steps_ = new QTableWidget(0, 3, this);
    steps_->setObjectName(QStringLiteral("sequenceSteps"));
    steps_->setSelectionBehavior(QAbstractItemView::SelectRows);
    steps_->setEditTriggers(kStepEditing);
    steps_->horizontalHeader()->setStretchLastSection(true);
    steps_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    steps_->horizontalHeader()->setResizeContentsPrecision(0);
    steps_->verticalHeader()->setDefaultSectionSize(22);
    steps_->setTabKeyNavigation(false);
    auto* delegate = new NumberDelegate(
        steps_,
        [](const QModelIndex& index, const QString& text) {
            return index.column() == kDwellColumn ? DwellNumber(text) : EntryNumber(text);
        },
        [this](const QModelIndex& index, double n) {
            QTableWidgetItem* item = steps_->item(index.row(), index.column());
            if (item == nullptr) return;
            item->setToolTip({});
            if (index.column() == kValueColumn) {
                // Typed in the prefix shown: the same product the value handler sends.
                const double base = n * std::pow(10.0, frame_.exponent);
                item->setData(kBaseRole, base);
                item->setText(Shown(base));
            } else {
                item->setData(kBaseRole, n);
                item->setText(Number(n));
            }
            Say({});
            ShowProgress();
        },
        [this](const QModelIndex& index) {
            const QString why = index.column() == kDwellColumn
                                    ? T(QT_TRANSLATE_NOOP("SequenceWindow", "not a dwell time in seconds"))
                                    : T(QT_TRANSLATE_NOOP("SequenceWindow", "not a number"));
            if (QTableWidgetItem* item = steps_->item(index.row(), index.column())) item->setToolTip(why);
            Say(why);
        });
    steps_->setItemDelegateForColumn(kValueColumn, delegate);
    steps_->setItemDelegateForColumn(kDwellColumn, delegate);

    add_ = new QPushButton(this);
    remove_ = new QPushButton(this);
    up_ = new QPushButton(this);
    down_ = new QPushButton(this);
    clear_ = new QPushButton(this);
    auto* rowButtons = new QHBoxLayout;
    for (QPushButton* b : {add_, remove_, up_, down_, clear_}) {
        b->setAutoDefault(false);
        rowButtons->addWidget(b);
    }
    rowButtons->addStretch(1);

    auto* ramp = new QGroupBox(this);
    ramp->setObjectName(QStringLiteral("rampGroup"));
    fromLabel_ = new QLabel(ramp);
    toLabel_ = new QLabel(ramp);
    rampDwellLabel_ = new QLabel(ramp);
    from_ = new QLineEdit(ramp);
    to_ = new QLineEdit(ramp);
    byStep_ = new QRadioButton(ramp);
    byCount_ = new QRadioButton(ramp);
    byStep_->setChecked(true);
    stepOrCount_ = new QLineEdit(ramp);
    rampDwell_ = new QLineEdit(ramp);
    fill_ = new QPushButton(ramp);
    fill_->setAutoDefault(false);
    // One label or choice and its field a row: From, To, the step size or the number of
    // steps (one field, chosen by the two buttons), the dwell, and Fill.
    auto* grid = new QGridLayout(ramp);
    grid->addWidget(fromLabel_, 0, 0);
    grid->addWidget(from_, 0, 1);
    grid->addWidget(toLabel_, 1, 0);
    grid->addWidget(to_, 1, 1);
    grid->addWidget(byStep_, 2, 0);
    grid->addWidget(stepOrCount_, 2, 1, 2, 1, Qt::AlignVCenter);
    grid->addWidget(byCount_, 3, 0);
    grid->addWidget(rampDwellLabel_, 4, 0);
    grid->addWidget(rampDwell_, 4, 1);
    grid->addWidget(fill_, 5, 1);
    grid->setColumnStretch(1, 1);
    for (QLineEdit* e : {from_, to_, stepOrCount_, rampDwell_}) {
        connect(e, &QLineEdit::returnPressed, this, &SequenceWindow::FillRamp);
    }
    fromLabel_->setBuddy(from_);
    toLabel_->setBuddy(to_);
    rampDwellLabel_->setBuddy(rampDwell_);
    ramp_ = ramp;

    load_ = new QPushButton(this);
    save_ = new QPushButton(this);
    auto* fileButtons = new QHBoxLayout;
    for (QPushButton* b : {load_, save_}) {
        b->setAutoDefault(false);
        fileButtons->addWidget(b);
    }
    fileButtons->addStretch(1);

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(steps_, 1);
    leftLayout->addLayout(rowButtons);
    leftLayout->addWidget(ramp);
    leftLayout->addLayout(fileButtons);

    chart_ = new QChart;
    chart_->setObjectName(QStringLiteral("sequenceChart"));
    setSeries_ = new QLineSeries(chart_);
    readSeries_ = new QLineSeries(chart_);
    QPen setPen(QColor(30, 90, 200));
    setPen.setWidthF(2.0);
    setSeries_->setPen(setPen);
    QPen readPen(QColor(220, 110, 20));
    readPen.setWidthF(2.0);
    readPen.setStyle(Qt::DashLine);
    readSeries_->setPen(readPen);
    chart_->addSeries(setSeries_);
    chart_->addSeries(readSeries_);
    timeAxis_ = new QValueAxis(chart_);
    valueAxis_ = new QValueAxis(chart_);
    timeAxis_->setLabelFormat(QStringLiteral("%.1f"));
    valueAxis_->setLabelFormat(QStringLiteral("%.4g"));
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(valueAxis_, Qt::AlignLeft);
    for (QLineSeries* s : {setSeries_, readSeries_}) {
        s->attachAxis(timeAxis_);
        s->attachAxis(valueAxis_);
    }
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    chartView_ = new QChartView(chart_, this);
    chartView_->setObjectName(QStringLiteral("sequencePlot"));
    chartView_->setRenderHint(QPainter::Antialiasing);
    chartView_->setMinimumSize(420, 260);
    chartView_->setFocusPolicy(Qt::NoFocus);

    results_ = new QTableWidget(0, 4, this);
    results_->setObjectName(QStringLiteral("sequenceResults"));
    results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results_->setSelectionBehavior(QAbstractItemView::SelectRows);
    results_->horizontalHeader()->setStretchLastSection(true);
    results_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Columns fit the rows in sight, not a thousand rows at every new one.
    results_->horizontalHeader()->setResizeContentsPrecision(0);
    results_->verticalHeader()->setDefaultSectionSize(22);
    results_->setTabKeyNavigation(false);
    savePlot_ = new QPushButton(this);
    saveResults_ = new QPushButton(this);
    auto* resultButtons = new QHBoxLayout;
    resultButtons->addStretch(1);
    for (QPushButton* b : {savePlot_, saveResults_}) {
        b->setAutoDefault(false);
        resultButtons->addWidget(b);
    }

    auto* right = new QSplitter(Qt::Vertical, this);
    right->addWidget(chartView_);
    right->addWidget(results_);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 2);
    auto* rightSide = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(rightSide);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(right, 1);
    rightLayout->addLayout(resultButtons);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(left);
    split->addWidget(rightSide);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    split->setChildrenCollapsible(false);

    run_ = new QPushButton(this);
    pause_ = new QPushButton(this);
    resume_ = new QPushButton(this);
    stop_ = new QPushButton(this);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("sequenceProgress"));
    progress_->setTextVisible(true);
    progress_->setMinimumWidth(260);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("sequenceStatus"));
    status_->setTextFormat(Qt::PlainText);  // paths, and lines of files
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* runButtons = new QHBoxLayout;
    for (QPushButton* b : {run_, pause_, resume_, stop_}) {
        b->setAutoDefault(false);
        runButtons->addWidget(b);
    }
    runButtons->addWidget(progress_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(split, 1);
    layout->addLayout(runButtons);
    layout->addWidget(status_);

    const std::pair<QWidget*, const char*> names[] = {
        {add_, "addStep"},       {remove_, "removeStep"},   {up_, "stepUp"},
        {down_, "stepDown"},     {clear_, "clearSteps"},    {from_, "rampFrom"},
        {to_, "rampTo"},         {byStep_, "rampByStep"},   {byCount_, "rampByCount"},
        {stepOrCount_, "rampStepOrCount"}, {rampDwell_, "rampDwell"}, {fill_, "rampFill"},
        {load_, "loadSteps"},    {save_, "saveSteps"},      {run_, "runSequence"},
        {pause_, "pauseSequence"}, {resume_, "resumeSequence"}, {stop_, "stopSequence"},
        {savePlot_, "savePlot"}, {saveResults_, "saveResults"},
    };
    for (const auto& [widget, name] : names) widget->setObjectName(QString::fromLatin1(name));
    setTabOrder(steps_, add_);
}

// ---------------------------------------------------------------------------------------
// Texts and what the buttons allow.
// ---------------------------------------------------------------------------------------

void SequenceWindow::SetCzech(bool czech) {
    czech_ = czech;
    ApplyTexts();
}

void SequenceWindow::ApplyTexts() {
    setWindowTitle(T(QT_TRANSLATE_NOOP("SequenceWindow", "Sequence")));
    const std::pair<QAbstractButton*, const char*> captions[] = {
        {add_, QT_TRANSLATE_NOOP("SequenceWindow", "&Add")},
        {remove_, QT_TRANSLATE_NOOP("SequenceWindow", "Re&move")},
        {up_, QT_TRANSLATE_NOOP("SequenceWindow", "&Up")},
        {down_, QT_TRANSLATE_NOOP("SequenceWindow", "Do&wn")},
        {clear_, QT_TRANSLATE_NOOP("SequenceWindow", "&Clear")},
        {byStep_, QT_TRANSLATE_NOOP("SequenceWindow", "Step si&ze")},
        {byCount_, QT_TRANSLATE_NOOP("SequenceWindow", "&Number of steps")},
        {fill_, QT_TRANSLATE_NOOP("SequenceWindow", "F&ill")},
        {load_, QT_TRANSLATE_NOOP("SequenceWindow", "&Open…")},
        {save_, QT_TRANSLATE_NOOP("SequenceWindow", "&Save…")},
        {run_, QT_TRANSLATE_NOOP("SequenceWindow", "&Run")},
        {pause_, QT_TRANSLATE_NOOP("SequenceWindow", "&Pause")},
        {resume_, QT_TRANSLATE_NOOP("SequenceWindow", "Resum&e")},
        {stop_, QT_TRANSLATE_NOOP("SequenceWindow", "Stop")},
        {savePlot_, QT_TRANSLATE_NOOP("SequenceWindow", "Save p&lot…")},
        {saveResults_, QT_TRANSLATE_NOOP("SequenceWindow", "Sa&ve results…")},
    };
    for (const auto& [button, english] : captions) {
        button->setText(T(english));
        button->setAccessibleName(button->text().remove(QLatin1Char('&')));
    }
    add_->setToolTip(T(QT_TRANSLATE_NOOP("SequenceWindow", "Add a step after the chosen one (Insert)")));
    remove_->setToolTip(T(QT_TRANSLATE_NOOP("SequenceWindow", "Remove the chosen steps (Delete)")));
    up_->setToolTip(T(QT_TRANSLATE_NOOP("SequenceWindow", "Move the chosen step up (Ctrl+Up)")));
    down_->setToolTip(T(QT_TRANSLATE_NOOP("SequenceWindow", "Move the chosen step down (Ctrl+Down)")));
    stop_->setToolTip(T(QT_TRANSLATE_NOOP("SequenceWindow", "End the run now (Esc)")));
    ramp_->setTitle(T(QT_TRANSLATE_NOOP("SequenceWindow", "Ramp")));
    fromLabel_->setText(T(QT_TRANSLATE_NOOP("SequenceWindow", "&From")));
    toLabel_->setText(T(QT_TRANSLATE_NOOP("SequenceWindow", "&To")));
    rampDwellLabel_->setText(T(QT_TRANSLATE_NOOP("SequenceWindow", "&Dwell [s]")));
    from_->setAccessibleName(T(QT_TRANSLATE_NOOP("SequenceWindow", "Ramp from")));
    to_->setAccessibleName(T(QT_TRANSLATE_NOOP("SequenceWindow", "Ramp to")));
    stepOrCount_->setAccessibleName(T(QT_TRANSLATE_NOOP("SequenceWindow", "Step size or number of steps")));
    rampDwell_->setAccessibleName(T(QT_TRANSLATE_NOOP("SequenceWindow", "Dwell of each ramp step in seconds")));
    steps_->setAccessibleName(T(QT_TRANSLATE_NOOP("SequenceWindow", "Steps")));
    results_->setAccessibleName(T(QT_TRANSLATE_NOOP("SequenceWindow", "Results")));
    progress_->setAccessibleName(T(QT_TRANSLATE_NOOP("SequenceWindow", "Progress")));
    chartView_->setAccessibleName(T(QT_TRANSLATE_NOOP("SequenceWindow", "Plot of the value set and read back")));
    status_->setAccessibleName(T(QT_TRANSLATE_NOOP("SequenceWindow", "Status")));
    heading_->setAccessibleName(T(QT_TRANSLATE_NOOP("SequenceWindow", "Function")));
    setSeries_->setName(ChartText(T(QT_TRANSLATE_NOOP("SequenceWindow", "Set"))));
    readSeries_->setName(ChartText(T(QT_TRANSLATE_NOOP("SequenceWindow", "Read back"))));
    timeAxis_->setTitleText(ChartText(T(QT_TRANSLATE_NOOP("SequenceWindow", "Time [s]"))));
    SetFrame(frame_);
    ShowProgress();
}

QString SequenceWindow::ValueHeading() const {
    const QString unit = frame_.prefix + frame_.unit;
    const QString value = T(QT_TRANSLATE_NOOP("SequenceWindow", "Value"));
    return unit.isEmpty() ? value : QStringLiteral("%1 [%2]").arg(value, unit);
}

// The table's values are in frame: the headings say so, and every value is shown again in
// its prefix.
void SequenceWindow::SetFrame(const Frame& frame) {
    frame_ = frame;
    const QString unit = frame_.prefix + frame_.unit;
    const auto bracketed = [&unit](const QString& what) {
        return unit.isEmpty() ? what : QStringLiteral("%1 [%2]").arg(what, unit);
    };
    steps_->setHorizontalHeaderLabels({ValueHeading(), T(QT_TRANSLATE_NOOP("SequenceWindow", "Dwell [s]")),
                                       T(QT_TRANSLATE_NOOP("SequenceWindow", "State"))});
    results_->setHorizontalHeaderLabels({T(QT_TRANSLATE_NOOP("SequenceWindow", "Time [s]")),
                                         bracketed(T(QT_TRANSLATE_NOOP("SequenceWindow", "Set"))),
                                         bracketed(T(QT_TRANSLATE_NOOP("SequenceWindow", "Read back"))),
                                         T(QT_TRANSLATE_NOOP("SequenceWindow", "Status"))});
    valueAxis_->setTitleText(ChartText(ValueHeading()));
    for (int row = 0; row < steps_->rowCount(); ++row) {
        if (QTableWidgetItem* item = steps_->item(row, kValueColumn)) {
            item->setText(Shown(item->data(kBaseRole).toDouble()));
        }
    }
    QString heading;
    if (!connected_) {
        heading = T(QT_TRANSLATE_NOOP("SequenceWindow", "No decade is connected: the steps can be edited, opened and saved."));
    } else if (frame_.function != presents_.function) {
        heading = T(QT_TRANSLATE_NOOP("SequenceWindow", "These steps are for %1, the decade presents %2: choose %1 on the panel, or Clear."))
                      .arg(frame_.title, presents_.title);
    } else if (!settable_) {
        heading = T(QT_TRANSLATE_NOOP("SequenceWindow", "%1: the value cannot be set now."))
                      .arg(frame_.title);
    } else {
        heading = frame_.title;
    }
    heading_->setText(heading);
    UpdateButtons();
}

QString SequenceWindow::Shown(double base) const {
    return Number(base / std::pow(10.0, frame_.exponent));
}

void SequenceWindow::UpdateButtons() {
    const bool running = sequence::Running();
    const bool paused = sequence::Paused();
    const bool chosen = !steps_->selectedItems().isEmpty() || steps_->currentRow() >= 0;
    for (QWidget* w : std::initializer_list<QWidget*>{add_, clear_, ramp_, load_}) w->setEnabled(!running);
    remove_->setEnabled(!running && chosen && steps_->rowCount() > 0);
    up_->setEnabled(!running && chosen && steps_->currentRow() > 0);
    down_->setEnabled(!running && chosen && steps_->currentRow() >= 0 &&
                      steps_->currentRow() + 1 < steps_->rowCount());
    steps_->setEditTriggers(running ? QAbstractItemView::NoEditTriggers : kStepEditing);
    save_->setEnabled(steps_->rowCount() > 0);
    run_->setEnabled(!running && connected_ && settable_ && steps_->rowCount() > 0 &&
                     frame_.function == presents_.function);
    pause_->setEnabled(running && !paused);
    resume_->setEnabled(running && paused);
    stop_->setEnabled(running);
    savePlot_->setEnabled(!resultRows_.empty());
    saveResults_->setEnabled(!resultRows_.empty());
}

void SequenceWindow::Say(const QString& text) {
    status_->setText(text);
}

QString SequenceWindow::StatusText() const {
    return status_->text();
}

// ---------------------------------------------------------------------------------------
// What the decade presents.
// ---------------------------------------------------------------------------------------

void SequenceWindow::LookAtPanel() {
    // The panel's state is the link thread's while a sequence runs.
    if (linkthread::Busy() || sequence::Running()) return;
    connected_ = connected != 0 && decadeModel != 0;
    Frame now;
    if (connected_) {
        ui::GetCtrlVal(panelHandle, FUNCTION, &now.function);
        int index = -1;
        ui::GetIndexFromValue(panelHandle, FUNCTION, &index, now.function);
        std::string title;
        if (index >= 0) ui::GetLabelFromIndex(panelHandle, FUNCTION, index, &title);
        now.title = QString::fromStdString(title);
        now.name = decade::names::FunctionName(now.function, panelSession.Profile().capacitance);
        now.exponent = valueExponent;
        now.prefix = QString::fromStdString(decade::PrefixLabel(valueExponent));
        std::string label;
        ui::GetCtrlAttribute(panelHandle, VALUE, ui::ATTR_LABEL_TEXT, &label);
        QString unit = QString::fromStdString(label);
        const int open = unit.lastIndexOf(QLatin1Char('['));
        unit = open >= 0 ? unit.mid(open + 1).chopped(unit.endsWith(QLatin1Char(']')) ? 1 : 0) : QString();
        if (unit.startsWith(now.prefix)) {
            now.unit = unit.mid(now.prefix.size());
        } else {
            now.prefix.clear();
            now.unit = unit;
            now.exponent = 0;
        }
        int dimmed = 1;
        ui::GetCtrlAttribute(panelHandle, VALUE, ui::ATTR_DIMMED, &dimmed);
        settable_ = dimmed == 0;
    } else {
        settable_ = false;
    }
    now.fromPanel = connected_;
    presents_ = now;
    // An empty table takes what the decade presents, and so do steps made without a decade
    // for no function or for this one (their values are kept in the base unit and shown
    // again in the panel's prefix); steps for another function keep theirs.
    const bool adopt = steps_->rowCount() == 0 ||
                       (!frame_.fromPanel && (frame_.function < 0 || frame_.function == now.function));
    if (connected_ && adopt) {
        SetFrame(now);
    } else {
        SetFrame(frame_);
    }
}

// ---------------------------------------------------------------------------------------
// The steps.
// ---------------------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------------------
// Run files, the plot and the results.
// ---------------------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------------------
// The run.
// ---------------------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------------------
// The window.
// ---------------------------------------------------------------------------------------

void SequenceWindow::showEvent(QShowEvent* event) {
    LookAtPanel();
    ShowProgress();
    QWidget::showEvent(event);
}

void SequenceWindow::closeEvent(QCloseEvent* event) {
    // Nobody could stop a run whose window is gone: closing it stops the run.
    sequence::Stop();
    QWidget::closeEvent(event);
}

void SequenceWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (sequence::Running()) {
            sequence::Stop();
        } else {
            close();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}
