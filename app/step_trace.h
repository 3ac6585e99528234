// A value that steps over time, kept for a plot a given number of pixels wide. Each pixel
// column keeps the time of its first step, the value on entering it, the lowest and the
// highest value reached in it and the last one, so the trace drawn as steps looks as the
// whole list of steps would at that width and no spike is lost, while what is drawn never
// exceeds four points a column however long the run. Adding a step costs the same at the
// ten-thousandth as at the first: columns are only ever appended, and when the time runs
// past the width the columns are merged in pairs (each then twice as long).
#pragma once

#include <QList>
#include <QPointF>
#include <cstddef>
#include <vector>

class StepTrace {
  public:
    // Begins again, empty, for a time axis from 0 to seconds drawn pixels wide.
    void Reset(double seconds, int pixels);
    // A new value from time t on; a t below the last one's counts as the last one's.
    void Add(double t, double y);
    bool Empty() const { return columns_.empty(); }
    // Columns that hold a step, and the seconds each spans.
    std::size_t Columns() const { return columns_.size(); }
    double ColumnSeconds() const { return width_; }
    // The points to draw, the last value held until now: for a column with one step the
    // corner at the old value and the new value; for a column with several, the corner and
    // a stroke at the column's first step through its lowest, its highest and its last
    // value (at most three points, fewer where they coincide).
    QList<QPointF> Points(double now) const;

  private:
    struct Column {
        long long index = 0;  // which column of width_ seconds from 0
        double t = 0.0;       // the time of its first step
        double first = 0.0;
        double low = 0.0;
        double high = 0.0;
        double last = 0.0;
        int steps = 0;
    };
    void Halve();

    double width_ = 1.0;  // seconds a column spans
    int pixels_ = 1;
    double lastT_ = 0.0;
    std::vector<Column> columns_;
};
