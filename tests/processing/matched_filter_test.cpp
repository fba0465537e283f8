// The greedy baseline on series small enough to check by hand: one-sample
// etalons make every fit e^2 - 2 y e.
#include "processing/matched_filter.h"

#include <gtest/gtest.h>

#include <vector>

#include "processing/processing_support.h"
#include "support/recording_sink.h"

namespace etalon::test {
namespace {

PulseHeader etalon(uint16_t number, std::vector<int16_t> samples) {
    PulseHeader e;
    e.wNumber = number;
    e.wSize = e.wReservedSize = static_cast<uint16_t>(samples.size());
    e.lpData = std::move(samples);
    return e;
}

SeriesHeader series(std::vector<int16_t> y, uint16_t pulses) {
    SeriesHeader s;
    s.dwSeriesSize = s.dwReservedSize = static_cast<uint32_t>(y.size());
    s.lpNoisyData = std::move(y);
    s.wImpulseSize = 1;
    s.wImpulseQuantity = pulses;
    for (auto* v : {&s.lpRestoredPositions, &s.lpRestoredEtalons, &s.lpRestoredCutStarts,
                    &s.lpRestoredCutEnds})
        v->assign(8, -1);
    return s;
}

struct Picked {
    std::vector<int16_t> positions, etalons;
    int returned = 0;
    ChainsHeader chains;
};

Picked run(RestoringProcedure procedure, const std::vector<PulseHeader>& alphabet,
           std::vector<uint16_t> list, SeriesHeader s, uint16_t tmin) {
    RecordingSink sink;
    auto chains = makeChains(8);
    RestoringRequest request;
    request.alphabet = alphabet;
    request.etalons = list;
    request.tmin = tmin;
    request.tmax = 1;  // never read
    request.chains = chains.get();
    request.series = &s;
    Picked r;
    r.returned = runMatchedFilter(sink, procedure, request);
    EXPECT_TRUE(sink.empty());
    r.positions.assign(s.lpRestoredPositions.begin(),
                       s.lpRestoredPositions.begin() + s.wRestoredQuantity);
    r.etalons.assign(s.lpRestoredEtalons.begin(),
                     s.lpRestoredEtalons.begin() + s.wRestoredQuantity);
    for (uint16_t k = 0; k < s.wRestoredQuantity; ++k) {
        EXPECT_EQ(s.lpRestoredCutStarts[k], 0);
        EXPECT_EQ(s.lpRestoredCutEnds[k], 0);
    }
    r.chains = *chains;
    return r;
}

const std::vector<PulseHeader> kOne = {etalon(1, {1})};
using P = std::vector<int16_t>;

TEST(MatchedFilter, TakesSmallestFitsOutsideTminOnBothSides) {
    // Fits 1 - 2y: -17 at 4, -7 at 1 and 7, 1 elsewhere.
    const std::vector<int16_t> y = {0, 4, 0, 0, 9, 0, 0, 4, 0};
    Picked r = run(RestoringProcedure::DetectKnownNumberChain, kOne, {1}, series(y, 3), 3);
    EXPECT_EQ(r.positions, (P{1, 4, 7}));  // exactly Tmin away on both sides is allowed
    EXPECT_EQ(r.chains.wSeekingPulsesQuantity, 3);
    EXPECT_EQ(r.chains.wPretenders, 1);
    EXPECT_EQ(r.chains.distance(0), -7 - 17 - 7);
    EXPECT_EQ(r.chains.pulsesQuantity(0), 3);

    r = run(RestoringProcedure::DetectKnownNumberChain, kOne, {1}, series(y, 3), 4);
    EXPECT_EQ(r.positions, (P{0, 4, 8}));  // one closer is excluded on both sides
}

TEST(MatchedFilter, TiesGoLeftAndFewerThanQWhenNoPositionIsLeft) {
    // Fits: -17 at 6, -9 at 1 and 3 (the left one wins), 1 elsewhere; Tmin 3
    // then leaves no position for a third pulse.
    const std::vector<int16_t> y = {0, 5, 0, 5, 0, 0, 9, 0};
    const Picked r = run(RestoringProcedure::DetectKnownNumberChain, kOne, {1}, series(y, 3), 3);
    EXPECT_EQ(r.positions, (P{1, 6}));
    EXPECT_EQ(r.chains.wSeekingPulsesQuantity, 2);
}

TEST(MatchedFilter, UnknownCountStopsAtTheFirstFitNotBelowZero) {
    // Etalon {2}: fits 4 - 4y = -4, 4, 0, 4, -8.
    const std::vector<PulseHeader> two = {etalon(1, {2})};
    const Picked r =
        run(RestoringProcedure::DetectUnknownNumberChain, two, {1}, series({2, 0, 1, 0, 3}, 0), 1);
    EXPECT_EQ(r.positions, (P{0, 4}));
    EXPECT_EQ(r.chains.wSeekingPulsesQuantity, 2);
    EXPECT_EQ(r.chains.distance(0), -12);
}

TEST(MatchedFilter, EachPositionTakesItsBestEtalonTheEarlierOnATie) {
    // Etalon 1 fits -5, 1, 7; etalon 2 fits 7, 1, -5.
    const std::vector<PulseHeader> ab = {etalon(1, {1}), etalon(2, {-1})};
    const std::vector<int16_t> y = {3, 0, -3};
    Picked r = run(RestoringProcedure::DetectKnownNumberChain, ab, {1, 2}, series(y, 2), 1);
    EXPECT_EQ(r.positions, (P{0, 2}));
    EXPECT_EQ(r.etalons, (P{1, 2}));
    r = run(RestoringProcedure::DetectKnownNumberChain, ab, {2, 1}, series(y, 3), 1);
    EXPECT_EQ(r.etalons, (P{1, 2, 2}));  // position 1 ties: the list's first entry
}

TEST(MatchedFilter, RecognitionKeepsTheSmallestSumTheFirstListedOnATie) {
    const std::vector<PulseHeader> ab = {etalon(1, {1}), etalon(2, {2}), etalon(3, {1})};
    // Etalon 2 fits 4 - 4y: -8, -4 beat etalon 1's -5, -3 (and its twin 3's).
    const std::vector<int16_t> y = {3, 0, 2};
    Picked r = run(RestoringProcedure::RecognizeKnownNumberChain, ab, {1, 2}, series(y, 2), 2);
    EXPECT_EQ(r.returned, 2);
    EXPECT_EQ(r.etalons, (P{2, 2}));
    r = run(RestoringProcedure::RecognizeKnownNumberChain, ab, {3, 1}, series(y, 2), 2);
    EXPECT_EQ(r.returned, 3);
    EXPECT_EQ(r.etalons, (P{3, 3}));
}

TEST(MatchedFilter, RefusesTuplesAndUnknownEtalonsLeavingTheSeriesAlone) {
    for (auto [procedure, list] :
         {std::pair{RestoringProcedure::TuplesDetection, std::vector<uint16_t>{1}},
          std::pair{RestoringProcedure::DetectKnownNumberChain, std::vector<uint16_t>{2}}}) {
        RecordingSink sink;
        SeriesHeader s = series({0, 4, 0}, 1);
        const SeriesHeader before = s;
        RestoringRequest request;
        request.alphabet = kOne;
        request.etalons = list;
        request.series = &s;
        EXPECT_EQ(runMatchedFilter(sink, procedure, request), 0);
        ASSERT_EQ(sink.messages.size(), 1u);
        EXPECT_EQ(s, before);
    }
}

}  // namespace
}  // namespace etalon::test
