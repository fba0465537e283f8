#include "graphs/stat_plot_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace etalon {
namespace {

TEST(StatPlotText, ErrorAxisTopAndLabels) {
    // Q = 490: the next power of ten is 1000, halved once.
    EXPECT_EQ(errorAxisTop(490, false, 0.25), 500);
    EXPECT_EQ(errorAxisLabel(0, 500), "0.00");
    EXPECT_EQ(errorAxisLabel(1, 500), "0.10");
    EXPECT_EQ(errorAxisLabel(5, 500), "0.50");
    // Q = 50: 100 halved.
    EXPECT_EQ(errorAxisTop(50, false, 0.25), 50);
    EXPECT_EQ(errorAxisLabel(1, 50), "0.01");
    EXPECT_EQ(errorAxisLabel(5, 50), "0.05");
    // Q = 140: 1000 divided by 5.
    EXPECT_EQ(errorAxisTop(140, false, 0.25), 200);
    // A fixed bound wins, with three decimals below 0.05.
    EXPECT_EQ(errorAxisTop(490, true, 0.04), 40);
    EXPECT_EQ(errorAxisLabel(0, 40), "0.000");
    EXPECT_EQ(errorAxisLabel(1, 40), "0.008");
    EXPECT_EQ(errorAxisLabel(5, 40), "0.040");
    // A set bound of 0 is no bound; one below a thousandth still leaves a scale.
    EXPECT_EQ(errorAxisTop(490, true, 0.0), 500);
    EXPECT_EQ(errorAxisTop(490, true, 0.0001), 1);
}

TEST(StatPlotText, InvolvesLineListsThreeCountsInFullAndMoreShortened) {
    const std::vector<int16_t> five{5, 6, 7, 8, 9}, two{6, 12};
    EXPECT_EQ(involvesLine(five, 6, 30), " involves  5, 6,..., 9 pulses from [6-30],");
    EXPECT_EQ(involvesLine(two, 6, 30), " involves  6, 12 pulses from [6-30],");
}

TEST(StatPlotText, Times) {
    EXPECT_EQ(elapsedTimeText(1000, 1000 + 3725), "elapsed time 1:02:05");
    EXPECT_EQ(elapsedTimeText(0, 36000 + 59 * 60 + 7), "elapsed time 10:59:07");
    EXPECT_EQ(elapsedTimeText(100, 40), "elapsed time 0:00:00");
    std::tm t{};
    t.tm_year = 93, t.tm_mon = 5, t.tm_mday = 3, t.tm_wday = 4;
    t.tm_hour = 21, t.tm_min = 9, t.tm_sec = 8;
    EXPECT_EQ(calendarText(t), "Thu Jun  3 21:09:08 1993");
}

// Two etalons of three samples: a = (1, 2, 3), b = (2, -1, -4).
struct TwoEtalons {
    PulseHeader a{3, 3, 1, {1, 2, 3}}, b{3, 3, 2, {2, -1, -4}};
    SeriesHeader series;
    RestErrorHeader errors;

    TwoEtalons() {
        series.wImpulseSize = 3;
        series.wEtalons = 2;
        series.lpPulsesList = {&a, &b};
        series.lpFirstPulse = &a;
    }
};

TEST(StatPlotText, FiguresOfTwoEtalons) {
    TwoEtalons t;
    const std::vector<uint16_t> required{1, 2};
    // Energy of a: 1 + 4 + 9. Sums b[u] a[u + m] over u < 3 - |m|, a taken as 0
    // left of its start: m = 0: 2 - 2 - 12 = -12; m = 1: 4 - 3 = 1; m = 2: 6;
    // m = -1: -1 * 1 = -1; m = -2: 0.
    EtalonFigures f = etalonFigures(t.errors, t.series, required);
    EXPECT_EQ(f.etEnergy, 14);
    EXPECT_EQ(f.Rmin, -12);
    EXPECT_EQ(f.Rmax, 6);
    EXPECT_EQ(figuresLine(f), "etEnergy=14, Rmin=-12, Rmax=6");
    // One required etalon against itself: m = 0: 14, m = 1: 8, m = 2: 3, m = -1: 2.
    f = etalonFigures(t.errors, t.series, std::vector<uint16_t>{1});
    EXPECT_EQ(f.Rmin, 0);
    EXPECT_EQ(f.Rmax, 14);

    // Recognition of tuples: subsets {a} and {b}; the strongest etalon is b
    // (4 + 1 + 16) and the full correlation adds m = -1: -1 - 8 = -9, m = -2: -4.
    t.errors.wSeriesType = SeriesCode{40};
    t.errors.wEffectiveTask = TaskCode{40};
    t.series.wSubsets = t.series.wReservedSubsets = 2;
    t.series.wReservedSubsetLength = 1;
    t.series.selectedSubsetSize = {1, 1, 1, 2};
    t.series.selectedSubsetList = {2, 3};
    f = etalonFigures(t.errors, t.series, required);
    EXPECT_EQ(f.etEnergy, 21);
    EXPECT_EQ(f.Rmin, -12);
    EXPECT_EQ(f.Rmax, 6);
}

}  // namespace
}  // namespace etalon
