#include "app/step_trace.h"

#include <algorithm>
#include <cmath>

void StepTrace::Reset(double seconds, int pixels) {
    pixels_ = std::max(1, pixels);
    const double span = std::isfinite(seconds) && seconds > 0.0 ? seconds : 1.0;
    width_ = span / pixels_;
    lastT_ = 0.0;
    columns_.clear();
    columns_.reserve(static_cast<std::size_t>(pixels_) + 1);
}

void StepTrace::Add(double t, double y) {
    if (!std::isfinite(y)) return;
    if (!std::isfinite(t) || t < lastT_) t = lastT_;
    t = std::max(t, 0.0);
    lastT_ = t;
    // The axis grows with the run: past the width, every column covers twice the time.
    while (static_cast<long long>(t / width_) >= pixels_) Halve();
    const long long index = static_cast<long long>(t / width_);
    if (!columns_.empty() && columns_.back().index == index) {
        Column& c = columns_.back();
        c.low = std::min(c.low, y);
        c.high = std::max(c.high, y);
        c.last = y;
        ++c.steps;
        return;
    }
    columns_.push_back(Column{index, t, y, y, y, y, 1});
}

// Neighbours that now fall in one column become one: the earlier one's time and first
// value, the extremes of both, the later one's last value.
void StepTrace::Halve() {
    width_ *= 2.0;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        Column c = columns_[i];
        c.index /= 2;
        if (kept > 0 && columns_[kept - 1].index == c.index) {
            Column& into = columns_[kept - 1];
            into.low = std::min(into.low, c.low);
            into.high = std::max(into.high, c.high);
            into.last = c.last;
            into.steps += c.steps;
        } else {
            columns_[kept++] = c;
        }
    }
    columns_.resize(kept);
}

namespace {

// The vertical stroke of a column with several steps, at its time t: from the value it
// is entered with to its lowest and highest and on to its last, in as few points as cover
// that (a rising ramp needs one: the stroke from the corner up to its last value).
void Stroke(QList<QPointF>& points, double t, double from, double low, double high, double last) {
    low = std::min(low, from);
    high = std::max(high, from);
    double via[3] = {low, high, last};
    if (from == low) {
        via[0] = high;
        via[1] = last;
        via[2] = last;
    } else if (from == high) {
        via[0] = low;
        via[1] = last;
        via[2] = last;
    } else if (last == low) {
        via[0] = high;
        via[1] = low;
        via[2] = low;
    }
    double at = from;
    for (const double y : via) {
        if (y != at) points.append(QPointF(t, y));
        at = y;
    }
}

}  // namespace

QList<QPointF> StepTrace::Points(double now) const {
    QList<QPointF> points;
    if (columns_.empty()) return points;
    points.reserve(static_cast<qsizetype>(columns_.size() * 4 + 1));
    const Column* before = nullptr;
    for (const Column& c : columns_) {
        const double from = before != nullptr ? before->last : c.first;
        if (before != nullptr || c.steps > 1) points.append(QPointF(c.t, from));
        if (c.steps == 1) {
            points.append(QPointF(c.t, c.first));
        } else {
            Stroke(points, c.t, from, c.low, c.high, c.last);
        }
        before = &c;
    }
    points.append(QPointF(std::max(now, lastT_), before->last));
    return points;
}
