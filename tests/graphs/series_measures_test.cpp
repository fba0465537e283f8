#include "graphs/series_measures.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/recording_sink.h"

namespace etalon {
namespace {

// Ten samples, one etalon {1, 2, 3} placed at 2, and noise +1 on sample 3.
struct SmallSeries {
    PulseHeader etalon;
    SeriesHeader series;
    std::unique_ptr<ChainsHeader> chains;
    test::RecordingSink sink;

    SmallSeries() {
        etalon.wSize = etalon.wReservedSize = 3;
        etalon.wNumber = 1;
        etalon.lpData = {1, 2, 3};
        series.dwSeriesSize = series.dwReservedSize = 10;
        series.lpPureData = {0, 0, 1, 2, 3, 0, 0, 0, 0, 0};
        series.lpNoisyData = series.lpPureData;
        series.lpNoisyData[3] += 1;
        series.wImpulseSize = 3;
        series.lpPulsesList = {&etalon};
        addTruePulse(2, 0, 2);
        chains = getChainsHeader(sink, 10, 5, nullptr);
    }
    void addTruePulse(int16_t position, int16_t first, int16_t last) {
        series.lpPositions.push_back(position);
        series.lpEtalons.push_back(1);
        series.lpCutStarts.push_back(first);
        series.lpCutEnds.push_back(last);
        series.wImpulseQuantity = static_cast<uint16_t>(series.lpPositions.size());
    }
    // Makes the best chain the given pulses (etalon, position, first, last kept sample).
    void bestChain(std::vector<std::array<int16_t, 4>> pulses) {
        std::vector<int16_t> e, p, s, f;
        for (const auto& q : pulses) {
            e.push_back(q[0]);
            p.push_back(q[1]);
            s.push_back(q[2]);
            f.push_back(q[3]);
        }
        const auto n = static_cast<uint16_t>(pulses.size());
        resetChains(chains.get(), n, chains->wMaxPulses);
        insertChain(chains.get(), -5, n, {e, p, s, f});
    }
};

TEST(SeriesMeasures, EnergiesOfSignalNoiseAndNoiseInsidePulses) {
    SmallSeries s;
    s.series.lpNoisyData[8] = 2;  // noise outside every pulse
    const SeriesEnergies e = seriesEnergies(s.series);
    EXPECT_EQ(e.signal, 14);
    EXPECT_EQ(e.noise, 5);
    EXPECT_EQ(e.inPulse, 1);
    EXPECT_DOUBLE_EQ(e.allNoiseToSignal(), 5.0 / 14.0);
    s.series.lpPureData.assign(10, 0);
    EXPECT_EQ(seriesEnergies(s.series).allNoiseToSignal(), 0.0);  // no signal, no quotient
}

TEST(SeriesMeasures, MeasureOfTheTruthIsTheCriterionOverKeptParts) {
    SmallSeries s;
    // (1 - 2) 1 + (2 - 6) 2 + (3 - 6) 3
    EXPECT_EQ(getSeriesMeasure(s.series), -18);
    s.series.lpCutStarts[0] = 1;
    EXPECT_EQ(getSeriesMeasure(s.series), -17);
    // A pulse running past the end of the series and an unknown etalon are skipped.
    s.addTruePulse(9, 0, 2);
    s.addTruePulse(4, 0, 2);
    s.series.lpEtalons[2] = 0;
    EXPECT_EQ(getSeriesMeasure(s.series), -17 + (1 - 0) * 1);
}

TEST(SeriesMeasures, RestoreErrorComparesTheBestChainWithTheNoiseFreeSeries) {
    SmallSeries s;
    EXPECT_EQ(getChainRestoreError(*s.chains, s.series), 14);  // nothing held: the signal energy
    s.bestChain({{1, 2, 0, 2}});
    EXPECT_EQ(getChainRestoreError(*s.chains, s.series), 0);
    s.bestChain({{1, 2, 1, 2}});  // sample 0 of the pulse not kept
    EXPECT_EQ(getChainRestoreError(*s.chains, s.series), 1);
    s.bestChain({{1, 3, 0, 2}});  // one sample late
    EXPECT_EQ(getChainRestoreError(*s.chains, s.series), 1 + 1 + 1 + 9);
    s.bestChain({{1, 2, 0, 2}, {1, 3, 0, 2}});  // the later window overwrites the earlier
    EXPECT_EQ(getChainRestoreError(*s.chains, s.series), 0 + 1 + 1 + 9);
    s.bestChain({{0, 2, 0, 2}, {1, 9, 0, 2}});  // unidentified, and cut by the series end
    EXPECT_EQ(getChainRestoreError(*s.chains, s.series), 14 + 1);
}

}  // namespace
}  // namespace etalon
