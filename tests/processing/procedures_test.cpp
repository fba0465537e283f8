// What the restoring procedures promise besides matching their references:
// reports on allocation failures, results on clean series, tie-breaks, the
// tuple grouping, the debug texts and the runs that find no chain.
#include <gtest/gtest.h>

#include <functional>

#include "base/allocation.h"
#include "processing/known_number_chain.h"
#include "processing/known_number_tuples.h"
#include "processing/processing_support.h"
#include "processing/restored_chain.h"
#include "processing/restoring.h"
#include "processing/task_codes.h"
#include "processing/tuples_detection.h"
#include "processing/unknown_number_chain.h"
#include "pulses/alphabet.h"
#include "series/series_codes.h"
#include "support/recording_sink.h"

namespace etalon::test {
namespace {

const std::vector<uint16_t> kAll = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                    11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
const std::vector<int32_t> kPattern = {3, 7, 12};
// The default geometry's spacing, whole pulses.
constexpr SearchBounds kBounds{.tmin = 40, .tmax = 181, .processingLevel = 100};

SeriesRecipe recipe(uint16_t type, int16_t noise, uint16_t etalon) {
    SeriesRecipe s;
    s.type = type;
    s.noise = noise;
    s.sequence.assign(40, etalon);
    if (type == 36 || type == 40) s.subset = kPattern;
    return s;
}

using Call = std::function<int(MessageSink&, SeriesFromRecipe&, ChainsHeader*, SeriesHeader&)>;

struct FailureCase {
    const char* name;
    uint16_t type;
    Call call;
    std::vector<std::pair<int, const char*>> failures;  // n-th allocation, message
    int failedReturn;
};

std::vector<FailureCase> failureCases() {
    std::vector<std::span<const int32_t>> patterns = {kPattern};
    auto tuples = std::make_shared<std::vector<std::span<const int32_t>>>(patterns);
    return {
        {"detectKnownNumberChain",
         1,
         [](MessageSink& s, SeriesFromRecipe& m, ChainsHeader* c, SeriesHeader& h) {
             return detectKnownNumberChain(s, m.alphabet(), kAll, kBounds, c, h);
         },
         {{1, "Нет памяти для ppDw!"}, {2, "Нет памяти для ppDw[m]!"}},
         0},
        {"recognizeKnownNumberChain",
         1,
         [](MessageSink& s, SeriesFromRecipe& m, ChainsHeader* c, SeriesHeader& h) {
             return recognizeKnownNumberChain(s, m.alphabet(), kAll, kBounds, c, h);
         },
         {{1, "Нет памяти для ppDw!"}, {2, "Нет памяти для indexes!"}},
         -1},
        {"detectUnknownNumberChain",
         4,
         [](MessageSink& s, SeriesFromRecipe& m, ChainsHeader* c, SeriesHeader& h) {
             return detectUnknownNumberChain(s, m.alphabet(), kAll, kBounds, c, h);
         },
         {{1, "Нет памяти для EtalonsPartialEnergy!"}, {2, "Нет памяти для indexes!"}},
         0},
        {"recognizeUnknownNumberChain",
         4,
         [](MessageSink& s, SeriesFromRecipe& m, ChainsHeader* c, SeriesHeader& h) {
             return int(recognizeUnknownNumberChain(s, m.alphabet(), kAll, kBounds, c, h));
         },
         {{1, "Нет памяти для indexes!"}},
         0},
        {"detectKnownNumberTuples",
         36,
         [](MessageSink& s, SeriesFromRecipe& m, ChainsHeader* c, SeriesHeader& h) {
             return detectKnownNumberTuples(s, m.alphabet(), kPattern,
                                            {.proceeding = 2, .bounds = kBounds}, c, h);
         },
         {{1, "Нет памяти для ppDw!"}, {2, "Нет памяти для ppDw[m]!"}},
         0},
        {"recognizeKnownNumberTuples",
         36,
         [tuples](MessageSink& s, SeriesFromRecipe& m, ChainsHeader* c, SeriesHeader& h) {
             return recognizeKnownNumberTuples(s, m.alphabet(), *tuples,
                                               {.proceeding = 2, .bounds = kBounds}, c, h);
         },
         {{1, "Нет памяти для ppDw!"}, {2, "Нет памяти для ppDw[]!"}},
         0},
        {"TuplesDetection",
         40,
         [](MessageSink& s, SeriesFromRecipe& m, ChainsHeader* c, SeriesHeader& h) {
             int32_t debugging = 0;
             return TuplesDetection(s, m.alphabet(), kPattern, {.proceeding = 1, .bounds = kBounds},
                                    c, h, debugging);
         },
         {{1, "Нет памяти для EtalonsPartialEnergy!"},
          {2, "Нет памяти для G_on_layers!"},
          {3, "Нет памяти для G_on_layers!"}},
         0},
        {"TuplesRecognition",
         40,
         [tuples](MessageSink& s, SeriesFromRecipe& m, ChainsHeader* c, SeriesHeader& h) {
             int32_t debugging = 0;
             return TuplesRecognition(s, m.alphabet(), *tuples,
                                      {.proceeding = 1, .bounds = kBounds}, c, h, debugging);
         },
         {{1, "Нет памяти для EtalonsPartialEnergy!"}, {2, "Нет памяти для G_on_layers!"}},
         0},
    };
}

// Each failure is reported once, without caption, and changes neither record.
TEST(Procedures, AllocationFailuresAreReportedAndChangeNothing) {
    for (const FailureCase& c : failureCases()) {
        SeriesFromRecipe maker;
        ASSERT_TRUE(maker.make(recipe(c.type, 20, 1))) << c.name;
        for (const auto& [n, message] : c.failures) {
            auto series = std::make_unique<SeriesHeader>(maker.series());
            markRestored(*series);
            auto untouched = std::make_unique<SeriesHeader>(*series);
            auto chains = makeChains(series->wMaxPulses);
            const int16_t one = 1;
            insertChain(chains.get(), -5, 1, {{&one, 1}, {&one, 1}, {&one, 1}, {&one, 1}});
            chains->wQuanPulses = 99;
            RecordingSink sink;
            failAllocationAfter(n);
            const int returned = c.call(sink, maker, chains.get(), *series);
            failAllocationAfter(0);
            EXPECT_EQ(returned, c.failedReturn) << c.name << " " << n;
            ASSERT_EQ(sink.messages.size(), 1u) << c.name << " " << n;
            EXPECT_EQ(sink.last().text, message) << c.name << " " << n;
            EXPECT_EQ(sink.last().caption, "") << c.name;
            EXPECT_EQ(diffSeries(*series, *untouched), "") << c.name << " " << n;
            EXPECT_EQ(chains->wPretenders, 1) << c.name;
            EXPECT_EQ(chains->wQuanPulses, 99) << c.name;
        }
        // And the next run works again.
        auto series = std::make_unique<SeriesHeader>(maker.series());
        RecordingSink sink;
        c.call(sink, maker, makeChains(series->wMaxPulses).get(), *series);
        EXPECT_TRUE(sink.empty()) << c.name;
        EXPECT_GT(series->wRestoredQuantity, 0) << c.name;
    }
}

TEST(Procedures, CleanSeriesIsRestoredExactly) {
    SeriesFromRecipe maker;
    ASSERT_TRUE(maker.make(recipe(1, 0, 3)));
    SeriesHeader& s = maker.series();
    auto chains = makeChains(s.wMaxPulses);
    RecordingSink sink;
    const std::vector<uint16_t> one = {3};
    ASSERT_EQ(detectKnownNumberChain(sink, maker.alphabet(), one, kBounds, chains.get(), s), 1);
    const int32_t energy = pulseEnergy(maker.alphabet()[2]);
    ASSERT_EQ(s.wRestoredQuantity, s.wImpulseQuantity);
    for (int k = 0; k < s.wImpulseQuantity; ++k) {
        EXPECT_EQ(s.lpRestoredPositions[k], s.lpPositions[k]);
        EXPECT_EQ(s.lpRestoredEtalons[k], 3);
        EXPECT_EQ(s.lpRestoredCutStarts[k], 0);
        EXPECT_EQ(s.lpRestoredCutEnds[k], 19);
    }
    EXPECT_EQ(chains->wPretenders, 1);
    EXPECT_EQ(chains->wQuanPulses, s.wImpulseQuantity);
    EXPECT_EQ(chains->wSeekingPulsesQuantity, s.wImpulseQuantity);
    EXPECT_EQ(chains->distance(0), -energy * s.wImpulseQuantity);

    // Recognition over all 20: the series' etalon first, the ten best ranked.
    ASSERT_EQ(recognizeKnownNumberChain(sink, maker.alphabet(), kAll, kBounds, chains.get(), s), 3);
    EXPECT_EQ(chains->wPretenders, 10);
    EXPECT_EQ(chains->pulsesList(0)[0], 3);
    for (int c = 1; c < 10; ++c)
        EXPECT_LE(chains->distance(c - 1), chains->distance(c));

    // Unknown count: the count is found too.
    ASSERT_EQ(detectUnknownNumberChain(sink, maker.alphabet(), one, kBounds, chains.get(), s), 1);
    EXPECT_EQ(s.wRestoredQuantity, s.wImpulseQuantity);
    EXPECT_EQ(chains->wQuanPulses, 0);
    EXPECT_EQ(chains->wSeekingPulsesQuantity, s.wRestoredQuantity);
    EXPECT_EQ(recognizeUnknownNumberChain(sink, maker.alphabet(), kAll, kBounds, chains.get(), s),
              3);
    EXPECT_EQ(chains->wQuanPulses, s.wImpulseQuantity);
    EXPECT_TRUE(sink.empty());
}

TEST(Procedures, SinglePulseTakesTheBestFittingPosition) {
    SeriesFromRecipe maker;
    SeriesRecipe one = recipe(1, 0, 7);
    one.length = 200;
    one.pulses = 1;
    ASSERT_TRUE(maker.make(one));
    SeriesHeader& s = maker.series();
    auto chains = makeChains(s.wMaxPulses);
    RecordingSink sink;
    const std::vector<uint16_t> list = {7};
    detectKnownNumberChain(sink, maker.alphabet(), list, kBounds, chains.get(), s);
    ASSERT_EQ(s.wRestoredQuantity, 1);
    EXPECT_EQ(s.lpRestoredPositions[0], s.lpPositions[0]);
    EXPECT_EQ(chains->distance(0), -pulseEnergy(maker.alphabet()[6]));
}

// Two etalons with the same samples: the earlier in the list always wins,
// and recognition ranks the later right after it.
TEST(Procedures, IdenticalEtalonsKeepTheEarlierOne) {
    SeriesFromRecipe maker;
    ASSERT_TRUE(maker.make(recipe(1, 20, 3)));
    std::array<PulseHeader, kEtalonsNumber> alphabet = maker.alphabet();
    alphabet[4].lpData = alphabet[2].lpData;  // etalon 5 := etalon 3
    SeriesHeader& s = maker.series();
    auto chains = makeChains(s.wMaxPulses);
    RecordingSink sink;
    for (const std::vector<uint16_t>& list :
         {std::vector<uint16_t>{5, 3}, std::vector<uint16_t>{3, 5}}) {
        detectKnownNumberChain(sink, alphabet, list, kBounds, chains.get(), s);
        for (int k = 0; k < s.wRestoredQuantity; ++k)
            EXPECT_EQ(s.lpRestoredEtalons[k], list[0]);
        EXPECT_EQ(recognizeKnownNumberChain(sink, alphabet, list, kBounds, chains.get(), s),
                  list[0]);
        ASSERT_EQ(chains->wPretenders, 2);
        EXPECT_EQ(chains->pulsesList(0)[0], list[0]);
        EXPECT_EQ(chains->pulsesList(1)[0], list[1]);
        EXPECT_EQ(chains->distance(0), chains->distance(1));
    }
}

TEST(Procedures, TuplesGroupFromTheShift) {
    TupleSegmentation t;
    t.first.resize(10);
    t.second.resize(10);
    t.make(8, 3 - 2, 3);  // C = 3, Q = 8, shift 2
    ASSERT_EQ(t.count, 4);
    EXPECT_EQ(std::vector<int16_t>(t.first.begin(), t.first.begin() + 4),
              (std::vector<int16_t>{1, 2, 5, 8}));
    EXPECT_EQ(std::vector<int16_t>(t.second.begin(), t.second.begin() + 4),
              (std::vector<int16_t>{1, 4, 7, 8}));
    t.make(5, 7, 7);  // a tuple longer than the count is cut
    ASSERT_EQ(t.count, 1);
    EXPECT_EQ(t.second[0], 5);

    SeriesFromRecipe maker;
    ASSERT_TRUE(maker.make(recipe(36, 10, 1)));
    SeriesHeader& s = maker.series();
    RecordingSink sink;
    auto chains = makeChains(s.wMaxPulses);
    detectKnownNumberTuples(sink, maker.alphabet(), kPattern, {.proceeding = 2, .bounds = kBounds},
                            chains.get(), s);
    EXPECT_EQ(chains->wPretenders, 3);  // one chain per shift
    for (int k = 0; k < s.wRestoredQuantity; ++k)
        EXPECT_EQ(s.lpRestoredEtalons[k], kPattern[k % 3]);
    EXPECT_EQ(s.wRestoredTuples, (s.wImpulseQuantity + 2) / 3);
}

TEST(Procedures, DebugTextsAreShownOnceAndGrowAsNeeded) {
    SeriesFromRecipe maker;
    SeriesRecipe dense = recipe(40, 20, 1);
    dense.tmin = 12;  // many first-or-later positions
    ASSERT_TRUE(maker.make(dense));
    SeriesHeader& s = maker.series();
    RecordingSink sink;
    int32_t debugging = 1;
    const TuplesSearch search{.proceeding = 1,
                              .bounds = {.tmin = 12, .tmax = 181, .processingLevel = 100}};
    TuplesDetection(sink, maker.alphabet(), kPattern, search, nullptr, s, debugging);
    EXPECT_EQ(debugging, 0);
    ASSERT_EQ(sink.messages.size(), 2u);
    EXPECT_EQ(sink.messages[0].caption, " About TuplesDetection ");
    EXPECT_EQ(sink.messages[0].text.rfind("omega_minus - omega_tilda:  [0..11] \n", 0), 0u);
    EXPECT_EQ(sink.messages[1].text.rfind("omega_minus x omega_tilda:  [12..161] \nl=1\n ", 0), 0u);
    EXPECT_NE(sink.messages[1].text.find("l=3\n "), std::string::npos);
    EXPECT_GT(sink.messages[1].text.size(), 2500u);  // beyond a fixed buffer of old
    TuplesDetection(sink, maker.alphabet(), kPattern, search, nullptr, s, debugging);
    EXPECT_EQ(sink.messages.size(), 2u);
}

// Ranges that leave no admissible chain: zero pulses, nothing ranked from a
// chain that does not exist.
// A task without a procedure of its own, or a request without a series, runs nothing.
TEST(Procedures, NothingToRunLeavesTheSeriesAlone) {
    EXPECT_EQ(chooseRestoringProcedure(TaskCode::JointEstimation, SeriesCode::FixedWhole),
              RestoringProcedure::None);
    SeriesFromRecipe maker;
    ASSERT_TRUE(maker.make({}));
    SeriesHeader series = maker.series();
    markRestored(series);
    const SeriesHeader marked = series;
    RecordingSink sink;
    RestoringRequest request;
    request.alphabet = maker.alphabet();
    request.series = &series;
    EXPECT_EQ(runRestoringProcedure(sink, RestoringProcedure::None, request), 0);
    request.series = nullptr;
    EXPECT_EQ(runRestoringProcedure(sink, RestoringProcedure::DetectKnownNumberChain, request), 0);
    EXPECT_EQ(diffSeries(series, marked), "");
    EXPECT_TRUE(sink.empty());
}

TEST(Procedures, NumbersOutsideTheAlphabetAreRefusedAndLeaveTheSeriesAlone) {
    SeriesFromRecipe maker;
    ASSERT_TRUE(maker.make(recipe(36, 0, 1)));
    SeriesHeader series = maker.series();
    markRestored(series);
    const SeriesHeader marked = series;
    const std::vector<uint16_t> lists[] = {{3, 21}, {0}, {65535, 2}};
    const std::vector<int32_t> pattern = {3, 21};
    const std::vector<std::span<const int32_t>> patterns = {kPattern, pattern};
    using P = RestoringProcedure;
    for (const P procedure :
         {P::DetectKnownNumberChain, P::RecognizeKnownNumberChain, P::DetectUnknownNumberChain,
          P::RecognizeUnknownNumberChain, P::DetectKnownNumberTuples, P::TuplesDetection,
          P::RecognizeKnownNumberTuples, P::TuplesRecognition}) {
        for (const auto& list : lists) {
            SCOPED_TRACE(testing::Message() << restoringProcedureName(procedure) << " " << list[0]);
            RecordingSink sink;
            auto chains = makeChains(series.wMaxPulses);
            RestoringRequest request;
            request.alphabet = maker.alphabet();
            request.etalons = list;
            request.pattern = pattern;
            request.patterns = patterns;
            request.tmin = 40;
            request.tmax = 181;
            request.chains = chains.get();
            request.series = &series;
            EXPECT_EQ(runRestoringProcedure(sink, procedure, request), 0);
            ASSERT_EQ(sink.messages.size(), 1u);
            EXPECT_EQ(sink.last().text, readsEtalonList(procedure)
                                            ? "Wrong etalon number in the list of etalons!"
                                            : "Wrong etalon number in the selected subset!");
            EXPECT_EQ(diffSeries(series, marked), "");
        }
    }
}

TEST(Procedures, TminAboveTmaxLeavesNoTwoPulsesInAChain) {
    SeriesFromRecipe maker;
    ASSERT_TRUE(maker.make(recipe(4, 0, 3)));
    SeriesHeader& series = maker.series();
    RecordingSink sink;
    auto chains = makeChains(series.wMaxPulses);
    EXPECT_EQ(detectUnknownNumberChain(sink, maker.alphabet(), kAll,
                                       {.tmin = 553, .tmax = 428, .processingLevel = 100},
                                       chains.get(), series),
              1);
    EXPECT_TRUE(sink.empty());
    EXPECT_LE(series.wRestoredQuantity, 1);
}

TEST(Procedures, NoAdmissibleChainGivesZeroPulses) {
    SeriesFromRecipe maker;
    ASSERT_TRUE(maker.make(recipe(1, 20, 1)));
    SeriesHeader& s = maker.series();
    const int last = s.wImpulseQuantity - 1;
    std::swap(s.lpMinPositions[last], s.lpMaxPositions[last]);
    s.lpMaxPositions[last] = static_cast<int16_t>(s.lpMinPositions[last] - 1);
    auto chains = makeChains(s.wMaxPulses);
    RecordingSink sink;
    markRestored(s);
    EXPECT_EQ(detectKnownNumberChain(sink, maker.alphabet(), kAll, kBounds, chains.get(), s), 1);
    EXPECT_EQ(s.wRestoredQuantity, 0);
    EXPECT_EQ(chains->wPretenders, 0);
    EXPECT_EQ(chains->wSeekingPulsesQuantity, 0);
    EXPECT_EQ(recognizeKnownNumberChain(sink, maker.alphabet(), kAll, kBounds, chains.get(), s),
              -1);
    EXPECT_EQ(s.wRestoredQuantity, 0);
    std::vector<std::span<const int32_t>> patterns = {kPattern};
    EXPECT_EQ(recognizeKnownNumberTuples(sink, maker.alphabet(), patterns,
                                         {.proceeding = 1, .bounds = kBounds}, chains.get(), s),
              0);
    EXPECT_EQ(s.wRestoredQuantity, 0);
    EXPECT_EQ(s.wRestoredTuples, 0);
    EXPECT_EQ(s.wTupleCriterion, 0);
    // Bounds no layer range can meet.
    EXPECT_EQ(detectKnownNumberTuples(
                  sink, maker.alphabet(), kPattern,
                  {.proceeding = 1, .bounds = {.tmin = 400, .tmax = 400, .processingLevel = 100}},
                  chains.get(), s),
              1);
    EXPECT_EQ(s.wRestoredQuantity, 0);
    EXPECT_EQ(chains->wPretenders, 0);
    // Unknown count with Tmin above Tmax: no chain, ranked as zero pulses.
    EXPECT_EQ(
        detectUnknownNumberChain(sink, maker.alphabet(), kAll,
                                 {.tmin = 60, .tmax = 50, .processingLevel = 100}, chains.get(), s),
        1);
    EXPECT_EQ(s.wRestoredQuantity, 0);
    ASSERT_EQ(chains->wPretenders, 1);
    EXPECT_EQ(chains->distance(0), 9999999);
    EXPECT_EQ(chains->pulsesQuantity(0), 0);
    EXPECT_TRUE(sink.empty());
}

}  // namespace
}  // namespace etalon::test
