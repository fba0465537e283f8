// The chain over a whole recording against the series' unknown-count
// procedures where both apply, and against every chain on tiny recordings.
#include "processing/recording_chain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "processing/chains_header.h"
#include "processing/matched_filter.h"
#include "processing/processing_support.h"
#include "processing/recording_matched_filter.h"
#include "processing/restoring_stop.h"
#include "processing/unknown_number_chain.h"
#include "support/recording_sink.h"

namespace etalon::test {
namespace {

struct Drawn {
    SeriesRecipe recipe;
    uint16_t level = 100;
    std::vector<uint16_t> list;
};

Drawn draw(std::mt19937& random, bool recognition) {
    const auto pick = [&random](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    Drawn d;
    d.recipe.type = pick(0, 1) ? 4 : 8;
    d.recipe.length = static_cast<uint32_t>(pick(200, 4000));
    d.recipe.tmin = static_cast<uint16_t>(pick(0, 3) == 0 ? 1 : pick(1, 60));
    d.recipe.tmax = static_cast<uint16_t>(d.recipe.tmin + pick(20, 200));
    d.recipe.makingLevel = d.recipe.type == 8 ? 60 : 100;
    d.recipe.noise = static_cast<int16_t>(pick(0, 60));
    for (int i = 0; i < 40; ++i)
        d.recipe.sequence.push_back(static_cast<uint16_t>(pick(1, 6)));
    d.level = static_cast<uint16_t>(pick(0, 2) == 0 ? 100 : pick(40, 95));
    const int count = pick(1, recognition ? 6 : 3);
    while (static_cast<int>(d.list.size()) < count) {
        const auto e = static_cast<uint16_t>(pick(1, 8));
        if (std::find(d.list.begin(), d.list.end(), e) == d.list.end()) d.list.push_back(e);
    }
    return d;
}

RecordingChainRequest requestFor(SeriesFromRecipe& made, const Drawn& d, RecordingTask task) {
    RecordingChainRequest r;
    r.samples = made.series().noisyData();
    r.alphabet = made.alphabet();
    r.etalons = d.list;
    r.geometry = {d.recipe.tmin, d.recipe.tmax};
    r.processingLevel = d.level;
    r.task = task;
    return r;
}

// The series procedures' chain as the record holds it.
std::vector<RecordingPulse> restoredOf(const SeriesHeader& s) {
    std::vector<RecordingPulse> pulses;
    for (int k = 0; k < s.wRestoredQuantity; ++k)
        pulses.push_back({s.lpRestoredPositions[k], static_cast<uint16_t>(s.lpRestoredEtalons[k]),
                          static_cast<uint16_t>(s.lpRestoredCutStarts[k]),
                          static_cast<uint16_t>(s.lpRestoredCutEnds[k])});
    return pulses;
}

// Their "no chain" is a criterion of 9,999,999 or more.
constexpr int32_t kFound = 9999999;

TEST(RecordingChain, DetectionEqualsTheSeriesProcedureTiesIncluded) {
    std::mt19937 random(32);
    int compared = 0;
    for (int trial = 0; trial < 60; ++trial) {
        const Drawn d = draw(random, false);
        SeriesFromRecipe made;
        if (!made.make(d.recipe)) continue;
        SCOPED_TRACE(testing::Message()
                     << "trial " << trial << " N " << d.recipe.length << " Tmin " << d.recipe.tmin
                     << " Tmax " << d.recipe.tmax << " S " << d.level);
        const RecordingChainResult mine =
            restoreRecordingChain(requestFor(made, d, RecordingTask::Detection));
        RecordingSink sink;
        auto chains = makeChains(made.series().wMaxPulses);
        ASSERT_EQ(detectUnknownNumberChain(sink, made.alphabet(), d.list,
                                           {d.recipe.tmin, d.recipe.tmax, d.level}, chains.get(),
                                           made.series()),
                  1);
        if (chains->distance(0) >= kFound) {
            EXPECT_TRUE(mine.chains.empty() || mine.chains[0].criterion >= kFound);
            continue;
        }
        ASSERT_EQ(mine.chains.size(), 1u);
        EXPECT_EQ(mine.chains[0].criterion, chains->distance(0));
        EXPECT_EQ(mine.chains[0].pulses, restoredOf(made.series()));
        ++compared;
    }
    EXPECT_GT(compared, 40);
}

TEST(RecordingChain, RecognitionRanksTheCandidatesAsTheSeriesProcedure) {
    std::mt19937 random(33);
    int compared = 0;
    for (int trial = 0; trial < 40; ++trial) {
        const Drawn d = draw(random, true);
        SeriesFromRecipe made;
        if (!made.make(d.recipe)) continue;
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        const RecordingChainResult mine =
            restoreRecordingChain(requestFor(made, d, RecordingTask::Recognition));
        RecordingSink sink;
        auto chains = makeChains(made.series().wMaxPulses);
        const uint16_t recognised = recognizeUnknownNumberChain(
            sink, made.alphabet(), d.list, {d.recipe.tmin, d.recipe.tmax, d.level}, chains.get(),
            made.series());
        std::size_t ranked = 0;
        while (ranked < chains->wPretenders && chains->distance(ranked) < kFound)
            ++ranked;
        ASSERT_GE(mine.chains.size(), ranked);
        for (std::size_t c = 0; c < ranked; ++c) {
            EXPECT_EQ(mine.chains[c].criterion, chains->distance(c)) << c;
            EXPECT_EQ(mine.chains[c].etalon, chains->pulsesList(c)[0]) << c;
        }
        if (ranked == 0) continue;
        EXPECT_EQ(mine.chains[0].etalon, recognised);
        EXPECT_EQ(mine.chains[0].pulses, restoredOf(made.series()));
        ++compared;
    }
    EXPECT_GT(compared, 25);
}

// The matched filter over a whole recording picks as the series' baseline does.
TEST(RecordingChain, MatchedFilterEqualsTheSeriesBaseline) {
    std::mt19937 random(37);
    for (int trial = 0; trial < 30; ++trial) {
        const bool recognition = trial % 2 == 1;
        const Drawn d = draw(random, recognition);
        SeriesFromRecipe made;
        if (!made.make(d.recipe)) continue;
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        RecordingChainRequest r = requestFor(
            made, d, recognition ? RecordingTask::Recognition : RecordingTask::Detection);
        const RecordingChainResult mine = matchedFilterOverRecording(r);
        RecordingSink sink;
        auto chains = makeChains(made.series().wMaxPulses);
        RestoringRequest request;
        request.alphabet = made.alphabet();
        request.etalons = d.list;
        request.tmin = d.recipe.tmin;
        request.tmax = d.recipe.tmax;
        request.processingLevel = d.level;
        request.chains = chains.get();
        request.series = &made.series();
        const RestoringProcedure procedure = recognition
                                                 ? RestoringProcedure::RecognizeUnknownNumberChain
                                                 : RestoringProcedure::DetectUnknownNumberChain;
        const int returned = runMatchedFilter(sink, procedure, request);
        ASSERT_FALSE(mine.chains.empty());
        EXPECT_EQ(mine.chains[0].criterion, chains->distance(0));
        EXPECT_EQ(mine.chains[0].pulses, restoredOf(made.series()));
        if (recognition) EXPECT_EQ(mine.chains[0].etalon, returned);
    }
}

// Full-depth samples and etalons on recordings short enough to try every chain.
TEST(RecordingChain, CriterionIsTheLeastOfEveryChainAtFullDepth) {
    std::mt19937 random(34);
    const auto pick = [&random](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    for (int trial = 0; trial < 300; ++trial) {
        const int length = pick(1, 3);
        std::vector<std::vector<int16_t>> shapes(2, std::vector<int16_t>(length));
        std::vector<PulseHeader> alphabet(2);
        for (std::size_t e = 0; e < 2; ++e) {
            for (int16_t& v : shapes[e])
                v = static_cast<int16_t>(pick(-32768, 32767));
            alphabet[e].lpData.assign(shapes[e].begin(), shapes[e].end());
            alphabet[e].wSize = static_cast<uint16_t>(length);
        }
        std::vector<int16_t> samples(static_cast<std::size_t>(pick(length, 16)));
        for (int16_t& v : samples)
            v = static_cast<int16_t>(pick(-32768, 32767));
        const int64_t tmin = pick(1, 4);
        // Tmax from Tmin on, below Tmin + L - 1 too: a position without a
        // predecessor in reach is unreached, never charged and extended.
        const std::optional<int64_t> tmax =
            pick(0, 2) == 0 ? std::nullopt
                            : std::optional<int64_t>(std::max<int64_t>(length, tmin + pick(0, 6)));
        const std::vector<uint16_t> list = {1, 2};
        const auto fit = [&](int64_t x) {
            int64_t best = INT64_MAX;
            for (const auto& e : shapes) {
                int64_t d = 0;
                for (int j = 0; j < length; ++j)
                    d += int64_t{e[j]} * (int64_t{e[j]} - 2 * int64_t{samples[x + j]});
                best = std::min(best, d);
            }
            return best;
        };
        const auto n = static_cast<int64_t>(samples.size());
        int64_t least = tmax ? INT64_MAX : 0;  // without a Tmax the chain may be empty
        const std::function<void(int64_t, int64_t)> extend = [&](int64_t x, int64_t sum) {
            sum += fit(x);
            if (!tmax || x >= n - *tmax) least = std::min(least, sum);
            for (int64_t z = x + tmin; z <= n - length && (!tmax || z <= x + *tmax); ++z)
                extend(z, sum);
        };
        for (int64_t x = 0; x <= n - length && (!tmax || x <= *tmax - length); ++x)
            extend(x, 0);

        RecordingChainRequest r;
        r.samples = samples;
        r.alphabet = alphabet;
        r.etalons = list;
        r.geometry = {tmin, tmax};
        const RecordingChainResult mine = restoreRecordingChain(r);
        SCOPED_TRACE(testing::Message() << "trial " << trial << " N " << n << " L " << length
                                        << " Tmin " << tmin << " Tmax " << tmax.value_or(-1));
        if (least == INT64_MAX) {
            EXPECT_TRUE(mine.chains.empty());
            continue;
        }
        ASSERT_EQ(mine.chains.size(), 1u);
        EXPECT_EQ(mine.chains[0].criterion, least);
        int64_t sum = 0;
        for (const RecordingPulse& p : mine.chains[0].pulses)
            sum += fit(p.position);
        EXPECT_EQ(sum, least);
    }
}

// Longer than a segment: the chain is read back from the snapshots, and
// must still be admissible and sum to its criterion.
TEST(RecordingChain, ChainReadBackAcrossSegmentsIsAdmissibleAndSumsItsFits) {
    SeriesFromRecipe made;
    std::mt19937 random(35);
    std::normal_distribution<double> noise(0, 40);
    std::vector<int16_t> samples(300000);
    for (int16_t& v : samples)
        v = static_cast<int16_t>(noise(random));
    for (std::size_t x = 30; x + 40 < samples.size(); x += 40 + random() % 120) {
        const auto shape = made.alphabet()[random() % 3].samples();
        for (std::size_t j = 0; j < shape.size(); ++j)
            samples[x + j] = static_cast<int16_t>(samples[x + j] + shape[j]);
    }
    const std::vector<uint16_t> list = {1, 2, 3};
    for (const auto& [level, tmax] :
         {std::pair<uint16_t, std::optional<int64_t>>{100, 181}, {70, 181}, {100, std::nullopt}}) {
        RecordingChainRequest r;
        r.samples = samples;
        r.alphabet = made.alphabet();
        r.etalons = list;
        r.geometry = {40, tmax};
        r.processingLevel = level;
        const RecordingChainResult result = restoreRecordingChain(r);
        ASSERT_EQ(result.chains.size(), 1u);
        const auto& pulses = result.chains[0].pulses;
        ASSERT_GT(pulses.size(), 1000u);
        if (tmax) {
            EXPECT_LE(pulses.front().position, *tmax - 20);
            EXPECT_GE(pulses.back().position, static_cast<int64_t>(samples.size()) - *tmax);
        }
        int64_t sum = 0;
        for (std::size_t k = 0; k < pulses.size(); ++k) {
            if (k > 0) {
                const int64_t gap = pulses[k].position - pulses[k - 1].position;
                ASSERT_TRUE(gap >= 40 && gap <= tmax.value_or(gap)) << k;
            }
            const auto e = made.alphabet()[pulses[k].etalon - 1].samples();
            for (int j = pulses[k].cutStart; j <= pulses[k].cutEnd; ++j)
                sum += int64_t{e[j]} * (e[j] - 2 * int64_t{samples[pulses[k].position + j]});
        }
        EXPECT_EQ(sum, result.chains[0].criterion) << level;
    }
}

TEST(RecordingChain, RefusesWhatNoChainCanBeSearchedUnderAndStopsWhenAsked) {
    SeriesFromRecipe made;
    SeriesRecipe recipe;
    recipe.type = 4;
    ASSERT_TRUE(made.make(recipe));
    Drawn d;
    d.recipe = recipe;
    d.list = {1};
    RecordingChainRequest r = requestFor(made, d, RecordingTask::Detection);
    for (const RecordingGeometry g :
         {RecordingGeometry{0, 181}, RecordingGeometry{50, 40}, RecordingGeometry{5, 10}}) {
        r.geometry = g;
        EXPECT_THROW(restoreRecordingChain(r), RecordingRefused) << g.tmin;
    }
    r.geometry = {40, 181};
    const std::vector<uint16_t> outside = {21};
    r.etalons = outside;
    EXPECT_THROW(restoreRecordingChain(r), RecordingRefused);
    r.etalons = d.list;
    const std::atomic<bool> stop{true};
    r.stop = &stop;
    EXPECT_THROW(restoreRecordingChain(r), RestoringStopped);

    // Full-depth etalons of 1,000 samples over 3,000,000 full-depth samples,
    // one start a sample: 3e6 pulses of fits up to 3.2e12 could pass 2^63.
    // One more Tmin halves the chain and fits; the baseline refuses alike.
    PulseHeader loud;
    loud.lpData.assign(1000, 32767);
    loud.wSize = 1000;
    const std::vector<int16_t> samples(3'000'000, -32767);
    RecordingChainRequest deep;
    deep.samples = samples;
    deep.alphabet = std::span(&loud, 1);
    deep.etalons = d.list;
    deep.geometry = {1, std::nullopt};
    for (const bool baseline : {false, true}) {
        try {
            baseline ? matchedFilterOverRecording(deep) : restoreRecordingChain(deep);
            ADD_FAILURE() << "not refused";
        } catch (const RecordingRefused& e) {
            const std::string why = e.what();
            EXPECT_NE(why.find("chains of up to 2999001 pulses"), std::string::npos) << why;
            EXPECT_NE(why.find("fit reaches 3221028867000"), std::string::npos) << why;
        }
    }
    EXPECT_NO_THROW(refuseWrappingSums(samples, deep.alphabet, d.list, 2));
}

}  // namespace
}  // namespace etalon::test
