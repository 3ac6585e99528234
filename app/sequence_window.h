// The Sequence window: a list of steps (value and dwell time) for the function the decade
// presents, a ramp that fills it, run files in the form ombrastel-ctl runs, and Run, Pause,
// Resume and Stop with a progress bar, a live plot of the value set and read back, and
// the table of results.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/sequence_run.h"
#include "app/step_trace.h"

class QBrush;
class QChart;
class QChartView;
class QGroupBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTimer;
class QValueAxis;

class SequenceWindow : public QWidget {
    Q_OBJECT
  public:
    SequenceWindow();
    ~SequenceWindow() override;

    // Texts in Czech when czech, else English.
    void SetCzech(bool czech);
    // Looks again at what the decade presents (function, prefix and unit of the value).
    // Done by itself when the window is shown and after every sequence of the panel.
    void LookAtPanel();

    // The steps as the table holds them, values in the base unit.
    std::vector<sequence::Step> Steps() const;
    // Fills the table from the ramp fields; false (the table left as it was) when a field
    // holds no number or the ramp makes no step or too many.
    bool FillRamp();
    // Run files: false with the reason when the file cannot be read or written, or holds
    // steps for another function than the one the table is for.
    bool LoadSteps(const QString& path, QString* why);
    bool SaveSteps(const QString& path, QString* why) const;
    // The plot as a PNG image, the results as CSV (time_s,set,read_back,unit,status).
    bool SavePlot(const QString& path, QString* why) const;
    bool SaveResults(const QString& path, QString* why) const;
    // What the status line says now.
    QString StatusText() const;
    QTableWidget* StepTable() const { return steps_; }
    QTableWidget* ResultTable() const { return results_; }
    QProgressBar* Progress() const { return progress_; }
    QChart* Chart() const { return chart_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // What the table's values are in: the function, its name in run files, and the
    // prefix and unit the panel showed when the table was begun.
    struct Frame {
        int function = -1;
        QString title;      // the function as the panel's ring names it
        std::string name;   // the function as a run file names it
        int exponent = 0;   // of the prefix the values are shown in
        QString prefix;     // "k"
        QString unit;       // "Ohm", "°C"
        bool fromPanel = false;  // taken from a connected panel (else made without a decade)
    };

    QString T(const char* english) const;
    void BuildLayout();
    void ApplyTexts();
    void UpdateButtons();
    void SetFrame(const Frame& frame);
    QString ValueHeading() const;
    QString Shown(double base) const;  // a base value in the frame's prefix
    void SetStepRow(int row, double base, double dwell);
    void AddRow();
    void RemoveRows();
    void MoveRow(int by);
    void ClearSteps();
    void Run();
    using FileAction = std::function<bool(const QString& path, QString* why)>;
    void AskFile(bool save, const char* title, const QString& filter, const QString& suffix,
                 const FileAction& act);
    void Say(const QString& text);
    // The run's reports.
    void Tint(int row, const QBrush& brush);
    void StepStarted(int index);
    void StepDone(const sequence::StepResult& result);
    void RunEnded(sequence::RunEnd end, int stepsDone);
    void Tick();
    void ShowProgress();
    double PlannedSeconds() const;  // the dwells of all steps
    void ResetPlot(double seconds);
    void AddPlotPoint(StepTrace& trace, double t, double y);
    void ExtendPlot(double t);
    void FitValueAxis(double y);
    QString StatusName(sequence::StepStatus status) const;

    bool czech_ = false;
    Frame frame_;      // what the table's values are in
    Frame presents_;   // what the decade presents now
    bool connected_ = false;
    bool settable_ = false;
    int runTotal_ = 0;
    int runStep_ = -1;
    double runStarted_ = 0.0;  // seconds on the clock below
    double yMin_ = 0.0;
    double yMax_ = 0.0;
    bool yKnown_ = false;
    StepTrace setTrace_;   // what the plot draws of the values set
    StepTrace readTrace_;  // and of the values read back
    bool plotPending_ = false;  // a first value the series do not show yet

    QLabel* heading_;
    QTableWidget* steps_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* up_;
    QPushButton* down_;
    QPushButton* clear_;
    QLabel* fromLabel_;
    QLabel* toLabel_;
    QLabel* rampDwellLabel_;
    QLineEdit* from_;
    QLineEdit* to_;
    QRadioButton* byStep_;
    QRadioButton* byCount_;
    QLineEdit* stepOrCount_;
    QLineEdit* rampDwell_;
    QPushButton* fill_;
    QGroupBox* ramp_;
    QPushButton* load_;
    QPushButton* save_;
    QPushButton* run_;
    QPushButton* pause_;
    QPushButton* resume_;
    QPushButton* stop_;
    QProgressBar* progress_;
    QLabel* status_;
    QChart* chart_;
    QChartView* chartView_;
    QLineSeries* setSeries_;
    QLineSeries* readSeries_;
    QValueAxis* timeAxis_;
    QValueAxis* valueAxis_;
    QTableWidget* results_;
    QPushButton* savePlot_;
    QPushButton* saveResults_;
    QTimer* tick_;
    std::vector<sequence::StepResult> resultRows_;
};
