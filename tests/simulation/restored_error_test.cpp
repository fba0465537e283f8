#include "simulation/restored_error.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/series_fixture.h"

namespace etalon {
namespace {

using test::SeriesFixture;

int64_t energy(std::span<const int16_t> samples) {
    int64_t sum = 0;
    for (int16_t s : samples)
        sum += int64_t{s} * s;
    return sum;
}

// Hands the truth of the series over as if a procedure had restored it exactly.
void restoreExactly(SeriesHeader& s) {
    s.wRestoredQuantity = s.wImpulseQuantity;
    for (std::size_t i = 0; i < s.wImpulseQuantity; ++i) {
        s.lpRestoredPositions[i] = s.lpPositions[i];
        s.lpRestoredEtalons[i] = s.lpEtalons[i];
        s.lpRestoredCutStarts[i] = s.lpCutStarts[i];
        s.lpRestoredCutEnds[i] = s.lpCutEnds[i];
    }
}

TEST(RestoredError, NothingRestoredIsTheEnergyAndAnExactRestorationIsZero) {
    SeriesFixture f;
    for (uint16_t level : {100, 60}) {
        SCOPED_TRACE(level);
        for (uint16_t etalon = 1; etalon <= kEtalonsNumber; ++etalon)
            f.sequence[etalon - 1] = etalon;
        SeriesHeader& s = f.make(f.request(1200, 18, 40, 181, level));
        ASSERT_EQ(s.wImpulseQuantity, 18);
        s.wRestoredQuantity = 0;
        EXPECT_EQ(getRestoredError(s), energy(s.pureData()));
        EXPECT_GT(getRestoredError(s), 0);
        restoreExactly(s);
        EXPECT_EQ(getRestoredError(s), 0);
        // One pulse restored a sample late leaves an error.
        ++s.lpRestoredPositions[5];
        EXPECT_GT(getRestoredError(s), 0);
    }
}

// A hand-made series: pure data zero but for a few samples, so the error is
// the energy of what the restored pulses rebuild.
struct SmallSeries {
    SeriesFixture f;
    SeriesHeader s;
    SmallSeries() {
        s.dwSeriesSize = 30;
        s.wImpulseSize = kEtalonLength;
        s.lpPureData.assign(40, 0);  // reserved beyond the series
        for (const PulseHeader& p : f.alphabet)
            s.lpPulsesList.push_back(&p);
        s.lpRestoredPositions.assign(4, 0);
        s.lpRestoredEtalons.assign(4, 0);
        s.lpRestoredCutStarts.assign(4, 0);
        s.lpRestoredCutEnds.assign(4, 0);
    }
    void restore(std::size_t i, int16_t position, int16_t etalon, int16_t from, int16_t to) {
        s.lpRestoredPositions[i] = position;
        s.lpRestoredEtalons[i] = etalon;
        s.lpRestoredCutStarts[i] = from;
        s.lpRestoredCutEnds[i] = to;
        s.wRestoredQuantity = static_cast<uint16_t>(i + 1);
    }
    int64_t samplesEnergy(int16_t etalon, int from, int to) const {
        return energy(f.alphabet[etalon - 1].samples().subspan(from, to - from + 1));
    }
};

TEST(RestoredError, RebuildsOnlyKeptWindowsInsideTheSeriesAndEarlierPulsesFirst) {
    SmallSeries m;
    // A cut window: only samples 5..9 of etalon 3 are rebuilt.
    m.restore(0, 4, 3, 5, 9);
    EXPECT_EQ(getRestoredError(m.s), m.samplesEnergy(3, 5, 9));
    // A whole pulse running past the end of the series counts up to it.
    m.restore(0, 20, 7, 0, 19);
    EXPECT_EQ(getRestoredError(m.s), m.samplesEnergy(7, 0, 9));
    // Overlap: pulse 1 at 10 gets only what pulse 0 at 4 (ending at 23) leaves,
    // its samples aligned to its own position.
    m.restore(0, 4, 3, 0, 19);
    m.restore(1, 10, 5, 0, 19);
    EXPECT_EQ(getRestoredError(m.s), m.samplesEnergy(3, 0, 19) + m.samplesEnergy(5, 14, 19));
    // The same when the later pulse is listed first.
    m.restore(0, 10, 5, 0, 19);
    m.restore(1, 4, 3, 0, 19);
    EXPECT_EQ(getRestoredError(m.s), m.samplesEnergy(5, 0, 19) + m.samplesEnergy(3, 0, 5));
    // An etalon number outside the alphabet rebuilds nothing.
    m.restore(0, 0, 21, 0, 19);
    EXPECT_EQ(getRestoredError(m.s), 0);
    // The sum is 32-bit: two samples of -32768 give 2^31, which wraps.
    m.s.wRestoredQuantity = 0;
    m.s.lpPureData[0] = m.s.lpPureData[29] = std::numeric_limits<int16_t>::min();
    EXPECT_EQ(getRestoredError(m.s), std::numeric_limits<int32_t>::min());
}

}  // namespace
}  // namespace etalon
