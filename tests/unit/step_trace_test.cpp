// What the Sequence window's plot draws of a run: every pixel column shows the lowest, the
// highest and the last value of the steps in it (a spike never vanishes), the points drawn
// stay within four a column however many steps came, and a run with fewer steps than
// columns is drawn exactly as its steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <vector>

#include "app/step_trace.h"

namespace {

struct Step {
    double t;
    double y;
};

// The lowest and the highest value of a column.
struct Seen {
    double low = INFINITY;
    double high = -INFINITY;
};

TEST(StepTrace, EveryColumnKeepsItsExtremesAndTheDrawnPointsStayWithinTheWidth) {
    struct Case {
        const char* what;
        int pixels;
        double span;     // the axis the trace begins with
        int steps;
        double seconds;  // between steps
    };
    const Case cases[] = {
        {"dwell 0, the axis grows 30 times", 640, 1.0, 10000, 0.003},
        {"narrow plot, long run", 100, 1.0, 20000, 0.01},
        {"the planned axis holds the run", 800, 10000.0, 10000, 1.0},
        {"wide plot", 1920, 1.0, 10000, 0.0005},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::mt19937 random(7);
        std::uniform_real_distribution<double> noise(-1.0, 1.0);
        std::vector<Step> steps;
        for (int i = 0; i < c.steps; ++i) steps.push_back({i * c.seconds, 1000.0 + noise(random)});
        // One spike and one dip, a single step each, somewhere in the middle.
        steps[static_cast<std::size_t>(c.steps / 3)].y = 1e6;
        steps[static_cast<std::size_t>(c.steps / 3 * 2 + 1)].y = -5e5;
        StepTrace trace;
        trace.Reset(c.span, c.pixels);
        std::size_t mostColumns = 0;
        for (const Step& s : steps) {
            trace.Add(s.t, s.y);
            mostColumns = std::max(mostColumns, trace.Columns());
        }
        const double now = steps.back().t + 0.5;
        const QList<QPointF> drawn = trace.Points(now);
        EXPECT_LE(mostColumns, static_cast<std::size_t>(c.pixels));
        EXPECT_LE(drawn.size(), 4 * c.pixels + 1);
        // The columns still span at least a pixel of the axis the run has grown to.
        EXPECT_GE(trace.ColumnSeconds() * c.pixels, std::min(c.span, now) * 0.999);

        // Every column's extremes, from the steps themselves and from what is drawn.
        const double w = trace.ColumnSeconds();
        std::map<long long, Seen> truth;
        std::map<long long, Seen> shown;
        // A column is drawn from the value it is entered with to each one set in it.
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const long long column = static_cast<long long>(steps[i].t / w);
            Seen& x = truth[column];
            x.low = std::min(x.low, steps[i].y);
            x.high = std::max(x.high, steps[i].y);
            if (i > 0 && static_cast<long long>(steps[i - 1].t / w) != column) {
                x.low = std::min(x.low, steps[i - 1].y);
                x.high = std::max(x.high, steps[i - 1].y);
            }
        }
        for (const QPointF& p : drawn) {
            Seen& x = shown[static_cast<long long>(p.x() / w)];
            x.low = std::min(x.low, p.y());
            x.high = std::max(x.high, p.y());
        }
        ASSERT_FALSE(truth.empty());
        int wrong = 0;
        for (const auto& [column, x] : truth) {
            const auto at = shown.find(column);
            if (at == shown.end() || at->second.high != x.high || at->second.low != x.low) ++wrong;
        }
        EXPECT_EQ(wrong, 0) << "columns whose extremes are not drawn";
        const auto [low, high] = std::minmax_element(drawn.begin(), drawn.end(),
                                                     [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
        EXPECT_EQ(high->y(), 1e6) << "the spike survives";
        EXPECT_EQ(low->y(), -5e5) << "the dip survives";
        // Drawn left to right, ending at the last value held until now.
        EXPECT_TRUE(std::is_sorted(drawn.begin(), drawn.end(),
                                   [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));
        EXPECT_EQ(drawn.back(), QPointF(now, steps.back().y));
    }
}

TEST(StepTrace, FewStepsAreDrawnExactlyAsSteps) {
    StepTrace trace;
    trace.Reset(1.0, 600);
    EXPECT_TRUE(trace.Points(1.0).isEmpty());
    const std::vector<Step> steps = {{0.0, 1.0}, {0.2, 2.0}, {0.4, 2.0}, {0.6, -3.0}, {0.8, 5.0}};
    for (const Step& s : steps) trace.Add(s.t, s.y);
    // Flat at each value until the next goes out, then up or down to it; the last held on.
    const QList<QPointF> expected = {{0.0, 1.0}, {0.2, 1.0}, {0.2, 2.0}, {0.4, 2.0}, {0.4, 2.0},
                                     {0.6, 2.0}, {0.6, -3.0}, {0.8, -3.0}, {0.8, 5.0}, {1.3, 5.0}};
    EXPECT_EQ(trace.Points(1.3), expected);
    // A time that goes back counts as the last one; a value that is no number is not drawn.
    trace.Add(0.5, 7.0);
    trace.Add(0.9, NAN);
    // The last column holds 5 and 7 after -3: one stroke from -3 up to 7 covers them.
    const QList<QPointF> after = trace.Points(0.0);
    ASSERT_EQ(after.size(), expected.size());
    EXPECT_EQ(after[7], QPointF(0.8, -3.0));
    EXPECT_EQ(after[8], QPointF(0.8, 7.0));
    EXPECT_EQ(after.back(), QPointF(0.8, 7.0));
    // A column whose steps go above and below where it was entered, ending in between.
    StepTrace both;
    both.Reset(1.0, 10);
    for (const Step& s : std::vector<Step>{{0.0, 5.0}, {0.5, 4.0}, {0.51, 9.0}, {0.52, 1.0}, {0.53, 6.0}}) both.Add(s.t, s.y);
    const QList<QPointF> stroke = {{0.0, 5.0}, {0.5, 5.0}, {0.5, 1.0}, {0.5, 9.0}, {0.5, 6.0}, {1.0, 6.0}};
    EXPECT_EQ(both.Points(1.0), stroke);
}

}  // namespace
