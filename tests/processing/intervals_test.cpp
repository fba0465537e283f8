#include "processing/intervals_header.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "support/recording_sink.h"

namespace etalon::test {
namespace {

using Pairs = std::vector<std::pair<int, int>>;

Pairs pairsOf(const IntervalsHeader& set) {
    Pairs out;
    for (int i = 0; i < set.wIntervals; ++i)
        out.emplace_back(set.start(i), set.end(i));
    return out;
}

std::unique_ptr<IntervalsHeader> setOf(RecordingSink& sink, uint16_t capacity, const Pairs& pairs) {
    auto set = getIntervalsHeader(sink, nullptr, capacity);
    for (auto [lo, hi] : pairs)
        addInterval(sink, set.get(), lo, hi);
    return set;
}

TEST(Intervals, AddMergesOverlapsAndKeepsTouchingApart) {
    RecordingSink sink;
    auto set = setOf(sink, 4, {{5, 10}, {11, 12}});
    EXPECT_EQ(pairsOf(*set), (Pairs{{5, 10}, {11, 12}}));
    set = setOf(sink, 4, {{5, 10}, {20, 30}});
    EXPECT_EQ(addInterval(sink, set.get(), 8, 15), 1);
    EXPECT_EQ(pairsOf(*set), (Pairs{{5, 15}, {20, 30}}));
    EXPECT_EQ(addInterval(sink, set.get(), 3, 25), 1);
    EXPECT_EQ(pairsOf(*set), (Pairs{{3, 30}}));
    EXPECT_EQ(addInterval(sink, set.get(), 9, 2), 0);
    EXPECT_EQ(addInterval(sink, nullptr, 1, 2), 0);
}

TEST(Intervals, FullSetRefusesOnlyWhatNeedsAnEntry) {
    RecordingSink sink;
    auto set = setOf(sink, 2, {{0, 10}, {20, 30}});
    EXPECT_EQ(addInterval(sink, set.get(), 25, 40), 1);  // overlaps: merged
    EXPECT_EQ(addInterval(sink, set.get(), 50, 60), 0);  // would need a third entry
    EXPECT_EQ(pairsOf(*set), (Pairs{{0, 10}, {20, 40}}));
    EXPECT_EQ(subInterval(sink, set.get(), 3, 4), 0);  // a split needs a free entry
    EXPECT_EQ(pairsOf(*set), (Pairs{{0, 10}, {20, 40}}));
}

TEST(Intervals, SubtractClipAndCross) {
    RecordingSink sink;
    auto set = setOf(sink, 4, {{0, 10}});
    subInterval(sink, set.get(), 10, 20);
    EXPECT_EQ(pairsOf(*set), (Pairs{{0, 9}}));
    set = setOf(sink, 4, {{0, 10}});
    EXPECT_EQ(subInterval(sink, set.get(), 3, 4), 1);
    EXPECT_EQ(pairsOf(*set), (Pairs{{0, 2}, {5, 10}}));
    set = setOf(sink, 4, {{0, 10}, {20, 30}});
    clipIntervals(sink, set.get(), 10, 25);
    EXPECT_EQ(pairsOf(*set), (Pairs{{10, 10}, {20, 25}}));
    set = setOf(sink, 4, {{0, 10}, {20, 30}});
    auto other = setOf(sink, 4, {{5, 22}, {28, 40}});
    EXPECT_EQ(crossIntervals(sink, set.get(), other.get()), 1);
    EXPECT_EQ(pairsOf(*set), (Pairs{{5, 10}, {20, 22}, {28, 30}}));
    auto copy = copyIntervals(sink, nullptr, set.get());
    EXPECT_EQ(copy->wMaxIntervals, 4);
    EXPECT_EQ(pairsOf(*copy), pairsOf(*set));
    EXPECT_EQ(copyIntervals(sink, nullptr, nullptr), nullptr);
}

// With room to spare the operations are the set operations on positions.
TEST(Intervals, RandomOperationsMatchPositionSets) {
    RecordingSink sink;
    std::mt19937 rng(5);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 200; ++round) {
        auto set = getIntervalsHeader(sink, nullptr, 200);
        std::set<int> model;
        for (int step = 0; step < 30; ++step) {
            const int lo = pick(0, 120), hi = lo + pick(0, 15);
            switch (pick(0, 2)) {
                case 0:
                    addInterval(sink, set.get(), lo, hi);
                    for (int p = lo; p <= hi; ++p)
                        model.insert(p);
                    break;
                case 1:
                    subInterval(sink, set.get(), lo, hi);
                    for (int p = lo; p <= hi; ++p)
                        model.erase(p);
                    break;
                default: {
                    auto other = setOf(sink, 200, {{lo, hi}, {hi + 5, hi + 9}});
                    crossIntervals(sink, set.get(), other.get());
                    std::set<int> kept;
                    for (int p : model) {
                        if ((p >= lo && p <= hi) || (p >= hi + 5 && p <= hi + 9)) kept.insert(p);
                    }
                    model = kept;
                }
            }
            std::set<int> held;
            for (auto [a, b] : pairsOf(*set)) {
                ASSERT_LE(a, b);
                for (int p = a; p <= b; ++p)
                    held.insert(p);
            }
            for (int i = 1; i < set->wIntervals; ++i)
                ASSERT_LT(set->end(i - 1), set->start(i));
            ASSERT_EQ(held, model);
        }
    }
}

TEST(Intervals, PositionSetsOfTheDefaultGeometry) {
    RecordingSink sink;
    SeriesHeader series;
    series.dwSeriesSize = 1200;
    series.wImpulseSize = 20;
    series.wMinPulses = 6;
    series.wMaxPulses = 30;
    OmegaSets sets = makeOmegaSets(sink, series, 40, 181);
    EXPECT_EQ(pairsOf(*sets.minus), (Pairs{{0, 161}}));
    EXPECT_EQ(pairsOf(*sets.plus), (Pairs{{1019, 1180}}));
    EXPECT_EQ(pairsOf(*sets.tilda), (Pairs{{40, 1180}}));
    PositionClasses classes;
    ASSERT_TRUE(makePositionClasses(sink, series, 40, 181, classes));
    ASSERT_EQ(classes.firstOnly.size(), 1u);
    EXPECT_EQ(classes.firstOnly[0].lo, 0);
    EXPECT_EQ(classes.firstOnly[0].hi, 39);
    EXPECT_EQ(classes.firstOrLater[0].lo, 40);
    EXPECT_EQ(classes.firstOrLater[0].hi, 161);
    EXPECT_EQ(classes.laterOnly[0].lo, 162);
    EXPECT_EQ(classes.laterOnly[0].hi, 1180);

    // One pulse: no later pulses, first = last = [max(0, N - Tmax), min(Tmax - L, N - L)].
    series.wMinPulses = series.wMaxPulses = 1;
    series.dwSeriesSize = 200;
    sets = makeOmegaSets(sink, series, 40, 181);
    EXPECT_EQ(sets.tilda->wIntervals, 0);
    EXPECT_EQ(pairsOf(*sets.minus), (Pairs{{19, 161}}));
    EXPECT_EQ(pairsOf(*sets.plus), (Pairs{{19, 161}}));
}

// Later pulses skip the intervals that change nothing; the set, refusals of
// a full one included, must be the one every interval added in turn gives.
TEST(Intervals, LaterPulsePositionsEqualEveryIntervalAddedInTurn) {
    RecordingSink sink;
    std::mt19937 random(31);
    const auto draw = [&random](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    for (int trial = 0; trial < 400; ++trial) {
        SeriesHeader series;
        series.dwSeriesSize = static_cast<uint32_t>(draw(1, 3000));
        series.wImpulseSize = static_cast<uint16_t>(draw(1, 60));
        const int tmin = draw(0, 4) == 0 ? draw(0, 300) : draw(1, 40);
        const int tmax = draw(0, 4) == 0 ? tmin : draw(std::max(tmin, 1), 400);
        const PulseCountBounds bounds =
            pulseCountBounds(series.dwSeriesSize, series.wImpulseSize, static_cast<uint16_t>(tmin),
                             static_cast<uint16_t>(tmax));
        // Mostly the geometry's own counts; now and then a series made for another.
        series.wMinPulses = std::max<uint16_t>(bounds.minPulses, 1);
        series.wMaxPulses = std::min<uint16_t>(bounds.maxPulses, 400);
        if (draw(0, 5) == 0) {
            series.wMinPulses = static_cast<uint16_t>(draw(1, 30));
            series.wMaxPulses = static_cast<uint16_t>(draw(series.wMinPulses, 60));
        }
        SCOPED_TRACE(testing::Message()
                     << "N " << series.dwSeriesSize << " L " << series.wImpulseSize << " Tmin "
                     << tmin << " Tmax " << tmax << " P " << series.wMinPulses << ".."
                     << series.wMaxPulses);
        const OmegaSets sets =
            makeOmegaSets(sink, series, static_cast<uint16_t>(tmin), static_cast<uint16_t>(tmax));
        auto each = getIntervalsHeader(sink, nullptr, series.wMaxPulses);
        const int64_t n = series.dwSeriesSize, length = series.wImpulseSize;
        for (int64_t k = series.wMinPulses; k <= series.wMaxPulses; ++k) {
            for (int64_t l = 1; l <= k - 1; ++l) {
                const int64_t lo = std::max<int64_t>({n - tmax * (k - l), tmin * l, 0});
                const int64_t hi = std::min<int64_t>(
                    {tmax - length + tmax * l, n - length - tmin * (k - 1 - l), UINT16_MAX});
                if (lo <= hi)
                    addInterval(sink, each.get(), static_cast<uint16_t>(lo),
                                static_cast<uint16_t>(hi));
            }
        }
        ASSERT_EQ(pairsOf(*sets.tilda), pairsOf(*each));
    }
}

}  // namespace
}  // namespace etalon::test

namespace etalon {
namespace {

// Pulses longer than Tmax make the position sets reach past the series' end;
// the classes stop where a whole pulse still fits, also in a record that
// holds no series yet.
TEST(Intervals, PositionClassesStopWhereAWholePulseStillFits) {
    test::RecordingSink sink;
    for (const uint16_t pulseLength : {uint16_t{20}, uint16_t{0}}) {
        SCOPED_TRACE(pulseLength);
        SeriesHeader series;
        series.dwSeriesSize = 43;
        series.wImpulseSize = pulseLength;
        series.wMinPulses = 7;
        series.wMaxPulses = 8;
        PositionClasses classes;
        ASSERT_TRUE(makePositionClasses(sink, series, 3, 8, classes));
        const int32_t lastStart = 43 - std::max<int32_t>(pulseLength, 1);
        bool any = false;
        for (const auto* ranges : {&classes.firstOnly, &classes.firstOrLater, &classes.laterOnly,
                                   &classes.fitted, &classes.ends}) {
            for (const auto& r : *ranges) {
                EXPECT_LE(r.lo, r.hi);
                EXPECT_LE(r.hi, lastStart);
                any = true;
            }
        }
        EXPECT_TRUE(any);
    }
}

}  // namespace
}  // namespace etalon
