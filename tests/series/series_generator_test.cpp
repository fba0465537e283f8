#include "series/series_generator.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "base/allocation.h"
#include "support/series_fixture.h"

namespace etalon {
namespace {

using test::SeriesFixture;

int32_t windowEnergy(const PulseHeader& etalon, int from, int to) {
    int32_t energy = 0;
    for (int j = from; j <= to; ++j)
        energy += etalon.lpData[j] * etalon.lpData[j];
    return energy;
}

// Rebuilds the pure series from the recorded truth, writing the windows in the
// generator's placing order (k0 upward, then downward), which the position
// stream replayed from `before` tells.
std::vector<int16_t> rebuildPure(const SeriesHeader& s, const SeriesFixture& f,
                                 RandomStreams before) {
    const int q = s.wImpulseQuantity;
    const int k0 = (getUniformRandom(before.wPositionSeed) / 4) % q;
    std::vector<int> order;
    for (int k = k0; k < q; ++k)
        order.push_back(k);
    for (int k = k0 - 1; k >= 0; --k)
        order.push_back(k);
    std::vector<int16_t> pure(s.dwSeriesSize, 0);
    for (int k : order) {
        const PulseHeader& etalon = f.alphabet[s.lpEtalons[k] - 1];
        for (int i = s.lpCutStarts[k]; i <= s.lpCutEnds[k]; ++i) {
            pure[s.lpPositions[k] + i] = etalon.lpData[i];
        }
    }
    return pure;
}

void expectInvariants(const SeriesHeader& s, const SeriesFixture& f, const RandomStreams& before,
                      uint16_t level) {
    const int q = s.wImpulseQuantity;
    const int n = static_cast<int>(s.dwSeriesSize);
    const int length = s.wImpulseSize;
    ASSERT_GE(q, s.wMinPulses);
    ASSERT_LE(q, s.wMaxPulses);
    ASSERT_LE(s.wMaxPulses, s.wReservedQuantity);
    for (int k = 0; k < q; ++k) {
        SCOPED_TRACE(k);
        ASSERT_LE(s.lpMinPositions[k], s.lpPositions[k]);
        ASSERT_LE(s.lpPositions[k], s.lpMaxPositions[k]);
        ASSERT_GE(s.lpPositions[k], 0);
        ASSERT_LE(s.lpPositions[k] + length, n);
        ASSERT_LE(0, s.lpCutStarts[k]);
        ASSERT_LE(s.lpCutStarts[k], s.lpCutEnds[k]);
        ASSERT_LE(s.lpCutEnds[k], length - 1);
        ASSERT_EQ(s.lpRestoredPositions[k], -1);
        if (k > 0) {
            const int gap = s.lpPositions[k] - s.lpPositions[k - 1];
            ASSERT_GE(gap, s.wTmin);
            ASSERT_LE(gap, s.wTmax);
        }
        const PulseHeader& etalon = f.alphabet[s.lpEtalons[k] - 1];
        const int32_t total = windowEnergy(etalon, 0, length - 1);
        ASSERT_GE(windowEnergy(etalon, s.lpCutStarts[k], s.lpCutEnds[k]), level * total / 100);
    }
    ASSERT_LE(s.lpPositions[0] + length, s.wTmax);
    ASSERT_GE(s.lpPositions[q - 1], n - s.wTmax);
    const std::vector<int16_t> pure(s.lpPureData.begin(), s.lpPureData.begin() + n);
    ASSERT_EQ(pure, rebuildPure(s, f, before));
    ASSERT_TRUE(std::equal(pure.begin(), pure.end(), s.lpNoisyData.begin()));
}

TEST(SeriesGenerator, InvariantsHoldOverRandomSettings) {
    SeriesFixture f;
    std::mt19937 rng(20261207);
    int made = 0;
    for (int trial = 0; trial < 600; ++trial) {
        const uint16_t length = kEtalonLength;
        const uint16_t tmax = std::uniform_int_distribution<int>(length, 260)(rng);
        const uint16_t tmin = std::uniform_int_distribution<int>(1, tmax)(rng);
        const uint32_t n = std::uniform_int_distribution<int>(length, 2500)(rng);
        const PulseCountBounds bounds = pulseCountBounds(n, length, tmin, tmax);
        const int minP = std::max<int>(bounds.minPulses, 1);
        if (bounds.maxPulses < minP) continue;
        const uint16_t q = std::uniform_int_distribution<int>(minP, bounds.maxPulses)(rng);
        const uint16_t level = std::uniform_int_distribution<int>(0, 100)(rng);
        for (int k = 0; k < q; ++k)
            f.sequence[k] = std::uniform_int_distribution<int>(1, 20)(rng);
        SCOPED_TRACE(testing::Message() << "N " << n << " Tmin " << tmin << " Tmax " << tmax
                                        << " Q " << q << " S " << level);
        const RandomStreams before = f.streams;
        SeriesHeader& s = f.make(f.request(n, q, tmin, tmax, level));
        ASSERT_TRUE(f.sink.empty()) << f.sink.last().text;
        expectInvariants(s, f, before, level);
        ++made;
    }
    EXPECT_GT(made, 400);
}

TEST(SeriesGenerator, WholeAndCutWindows) {
    SeriesFixture f;
    for (int k = 0; k < 18; ++k)
        f.sequence[k] = static_cast<uint16_t>(k % 20 + 1);
    SeriesHeader& whole = f.make(f.request());
    for (int k = 0; k < 18; ++k) {
        EXPECT_EQ(whole.lpCutStarts[k], 0);
        EXPECT_EQ(whole.lpCutEnds[k], 19);
    }
    // Both cut draws are made even for whole pulses: 18 steps of each stream.
    RandomStreams expected;
    for (int i = 0; i < 18; ++i) {
        getUniformRandom(expected.wCutStartSeed);
        getUniformRandom(expected.wCutEndSeed);
    }
    EXPECT_EQ(f.streams.wCutStartSeed, expected.wCutStartSeed);
    EXPECT_EQ(f.streams.wCutEndSeed, expected.wCutEndSeed);

    // Level 0: any window, but it always holds a non-zero sample.
    bool someCut = false;
    for (int round = 0; round < 20; ++round) {
        SeriesHeader& cut = f.make(f.request(1200, 18, 40, 181, 0));
        for (int k = 0; k < 18; ++k) {
            const auto& data = f.alphabet[cut.lpEtalons[k] - 1].lpData;
            bool nonZero = false;
            for (int i = cut.lpCutStarts[k]; i <= cut.lpCutEnds[k]; ++i)
                nonZero |= data[i] != 0;
            EXPECT_TRUE(nonZero);
            someCut |= cut.lpCutEnds[k] - cut.lpCutStarts[k] < 19;
        }
    }
    EXPECT_TRUE(someCut);
}

TEST(SeriesGenerator, SinglePulseAndInvalidEtalons) {
    SeriesFixture f;
    f.sequence[0] = 0;
    f.sequence[1] = 21;
    for (int round = 0; round < 50; ++round) {
        SeriesHeader& s = f.make(f.request(200, 1));
        ASSERT_TRUE(f.sink.empty());
        EXPECT_GE(s.lpPositions[0], 200 - 181);
        EXPECT_LE(s.lpPositions[0], 181 - 20);
        EXPECT_EQ(s.lpEtalons[0], 1);
        EXPECT_EQ(f.sequence[0], 1);
    }
    f.sequence[0] = 0;
    f.make(f.request(200, 2));
    EXPECT_EQ(f.sequence[0], 1);
    EXPECT_EQ(f.sequence[1], 1);
    EXPECT_EQ(f.series->lpFirstPulse, &f.alphabet[0]);
}

TEST(SeriesGenerator, RefusesImpossibleSettingsAndKeepsTheRecord) {
    SeriesFixture f;
    SeriesHeader& s = f.make(f.request(200, 3));
    const std::vector<int16_t> pure = s.lpPureData;
    const std::vector<int16_t> positions = s.lpPositions;
    const RandomStreams streams = f.streams;

    f.make(f.request(200, 6));  // 6 pulses cannot fit in 200 samples
    ASSERT_EQ(f.sink.messages.size(), 1u);
    EXPECT_EQ(f.sink.last().text,
              "Несовместимые входные параметры!\n\ndwSeriesSize: 200 [200]\nwImpulseSize: 20 [20]\n"
              "wMinPulses: 1 [1]\nwMaxPulses: 5 [5]\nwImpulseQuantity: 6\n\n");
    EXPECT_EQ(f.sink.last().caption, " makeExtSeries ");
    EXPECT_EQ(f.sink.last().icon, MessageIcon::Warning);
    EXPECT_EQ(s.lpPureData, pure);
    EXPECT_EQ(s.lpPositions, positions);
    EXPECT_EQ(f.streams, streams);

    // Settings that would leave a position range empty are refused the same way.
    f.make(f.request(1200, 10, 100, 50));  // Tmin above Tmax
    f.make(f.request(1200, 70, 15, 18));   // pulse longer than Tmax
    f.make(f.request(1200, 0));            // no pulse at all
    ASSERT_EQ(f.sink.messages.size(), 4u);
    for (const auto& m : f.sink.messages) {
        EXPECT_EQ(m.text.rfind("Несовместимые входные параметры!", 0), 0u);
    }
    EXPECT_EQ(f.streams, streams);
}

TEST(SeriesGenerator, StreamsCarryOnFromSeriesToSeries) {
    SeriesFixture f;
    const SeriesHeader first = [&] {
        SeriesHeader copy;
        SeriesHeader& s = f.make(f.request());
        copy.lpPositions = s.lpPositions;
        copy.lpPureData = s.lpPureData;
        return copy;
    }();
    SeriesHeader& second = f.make(f.request());
    EXPECT_NE(second.lpPositions, first.lpPositions);

    // A fresh set of streams gives the first series again.
    SeriesFixture again;
    EXPECT_EQ(again.make(again.request()).lpPositions, first.lpPositions);
}

TEST(SeriesGenerator, UnfixedCountCoversItsRange) {
    SeriesFixture f;
    std::set<int> counts;
    for (int i = 0; i < 200; ++i) {
        f.series = makeUnfixedSeries(f.sink, f.request(200), std::move(f.series), f.streams);
        ASSERT_TRUE(f.series);
        counts.insert(f.series->wImpulseQuantity);
    }
    EXPECT_EQ(counts, (std::set<int>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(f.sink.empty());
    // No possible count: null, without a message.
    f.series = makeUnfixedSeries(f.sink, f.request(10, 1, 40, 181), std::move(f.series), f.streams);
    EXPECT_FALSE(f.series);
    EXPECT_TRUE(f.sink.empty());
}

TEST(SeriesGenerator, NoiseReplacesInsteadOfAccumulating) {
    SeriesFixture f;
    SeriesHeader& s = f.make(f.request());
    int16_t replay = f.streams.wNoiseSeed;
    addSeriesNoise(20, 128, &s, f.streams.wNoiseSeed);
    const std::vector<int16_t> once = s.lpNoisyData;
    addSeriesNoise(20, 128, &s, f.streams.wNoiseSeed);
    EXPECT_NE(s.lpNoisyData, once);
    EXPECT_EQ(s.wNoiseLevel, 20);
    for (int i = 0; i < 1200; ++i) {
        EXPECT_EQ(once[i], s.lpPureData[i] + getGaussRandom(replay, 0, 20));
    }
    for (int i = 0; i < 1200; ++i) {
        EXPECT_EQ(s.lpNoisyData[i], s.lpPureData[i] + getGaussRandom(replay, 0, 20));
    }
    addSeriesNoise(0, 128, &s, f.streams.wNoiseSeed);
    EXPECT_TRUE(
        std::equal(s.lpPureData.begin(), s.lpPureData.begin() + 1200, s.lpNoisyData.begin()));
    EXPECT_EQ(f.streams.wNoiseSeed, [&] {
        for (int i = 0; i < 1200 * 12; ++i)
            getUniformRandom(replay);
        return replay;
    }());
    // Sums beyond 16 bits wrap rather than saturate.
    addSeriesNoise(32000, 128, &s, f.streams.wNoiseSeed);
}

TEST(SeriesGenerator, AllocationFailuresAreReported) {
    SeriesFixture f;
    failAllocationAfter(1);  // the record itself
    f.tryMake(f.request());
    EXPECT_FALSE(f.series);
    ASSERT_EQ(f.sink.messages.size(), 2u);
    EXPECT_EQ(f.sink.messages[0].text, "Нет памяти для newSeriesHeader!");
    EXPECT_EQ(f.sink.messages[0].caption, " getCutOffSeriesHeader ");
    EXPECT_EQ(f.sink.messages[1].text, "Не могу выделить память для lpSeriesHeader!");
    EXPECT_EQ(f.sink.messages[1].caption, " getCutOffSeries ");

    f.sink.messages.clear();
    failAllocationAfter(2);  // the sample arrays
    f.tryMake(f.request());
    EXPECT_FALSE(f.series);
    EXPECT_EQ(f.sink.messages.at(0).text, "Нет памяти для newSeriesHeader->lpPureData!");
    EXPECT_EQ(f.sink.messages.at(0).caption, " getExtSeriesHeader ");

    f.sink.messages.clear();
    failAllocationAfter(17);  // record, 15 arrays, then the etalon pointers
    f.tryMake(f.request());
    EXPECT_FALSE(f.series);
    EXPECT_EQ(f.sink.messages.at(0).text, "Нет памяти для newSeriesHeader->lpPulsesList!");

    f.sink.messages.clear();
    f.tryMake(f.request());
    ASSERT_TRUE(f.series);
    failAllocationAfter(1);  // the partial energies of a grown-enough record
    f.tryMake(f.request());
    failAllocationAfter(0);
    ASSERT_EQ(f.sink.messages.size(), 1u);
    EXPECT_EQ(f.sink.last().text, "Нет памяти для PartialEnergy!");
    EXPECT_EQ(f.sink.last().caption, "");
}

}  // namespace
}  // namespace etalon
