// The Sequence window: its layout, its texts, what its buttons allow, and what the decade
// presents. The steps, the run files and the run with its plot are in the files beside it.
#include "app/sequence_window.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
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
#include <QValueAxis>
#include <QVBoxLayout>
#include <cmath>
#include <functional>
#include <optional>

#include "app/open_close.h"
#include "app/panel.h"
#include "app/sequence_window_cells.h"
#include "app/shared_state.h"
#include "app/texts.h"
#include "decade/names.h"
#include "platform/link_thread.h"
#include "toolkit/ui.h"

using namespace sequence_cells;

namespace {

constexpr const char* kContext = "SequenceWindow";
// How a step cell is edited while no run is under way: typing starts the entry.
constexpr QAbstractItemView::EditTriggers kStepEditing =
    QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
    QAbstractItemView::AnyKeyPressed;

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
