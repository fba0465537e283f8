#include "processing/restoring.h"

#include <algorithm>

#include "processing/known_number_chain.h"
#include "processing/known_number_tuples.h"
#include "processing/task_codes.h"
#include "processing/tuples_detection.h"
#include "processing/unknown_number_chain.h"
#include "series/series_codes.h"

namespace etalon {

RestoringProcedure chooseRestoringProcedure(TaskCode effectiveTask, SeriesCode seriesType) {
    using P = RestoringProcedure;
    const bool unknownCount = isUnfixedPulseSeries(seriesType);
    switch (effectiveTask) {
        case TaskCode::Recognition:
            return unknownCount ? P::RecognizeUnknownNumberChain : P::RecognizeKnownNumberChain;
        case TaskCode::JointEstimation:
            return P::None;
        case TaskCode::TuplesDetection:
            return isUnfixedSeries(seriesType) ? P::TuplesDetection : P::DetectKnownNumberTuples;
        case TaskCode::TuplesRecognition:
            return isUnfixedSeries(seriesType) ? P::TuplesRecognition
                                               : P::RecognizeKnownNumberTuples;
        default:  // detection, joint detection and identification, series processing
            return unknownCount ? P::DetectUnknownNumberChain : P::DetectKnownNumberChain;
    }
}

const char* restoringProcedureName(RestoringProcedure procedure) {
    switch (procedure) {
        case RestoringProcedure::DetectKnownNumberChain:
            return "detectKnownNumberChain";
        case RestoringProcedure::RecognizeKnownNumberChain:
            return "recognizeKnownNumberChain";
        case RestoringProcedure::DetectUnknownNumberChain:
            return "detectUnknownNumberChain";
        case RestoringProcedure::RecognizeUnknownNumberChain:
            return "recognizeUnknownNumberChain";
        case RestoringProcedure::DetectKnownNumberTuples:
            return "detectKnownNumberTuples";
        case RestoringProcedure::TuplesDetection:
            return "TuplesDetection";
        case RestoringProcedure::RecognizeKnownNumberTuples:
            return "recognizeKnownNumberTuples";
        case RestoringProcedure::TuplesRecognition:
            return "TuplesRecognition";
        case RestoringProcedure::None:
            break;
    }
    return "none";
}

bool readsPattern(RestoringProcedure procedure) {
    return procedure == RestoringProcedure::DetectKnownNumberTuples ||
           procedure == RestoringProcedure::TuplesDetection;
}

bool readsPatterns(RestoringProcedure procedure) {
    return procedure == RestoringProcedure::RecognizeKnownNumberTuples ||
           procedure == RestoringProcedure::TuplesRecognition;
}

bool readsEtalonList(RestoringProcedure procedure) {
    return procedure != RestoringProcedure::None && !readsPattern(procedure) &&
           !readsPatterns(procedure);
}

const RestoringProcedures& workbenchRestoringProcedures() {
    // Entries for callers that hold no work tables; runRestoringProcedure
    // calls the procedures directly with the request's.
    static const RestoringProcedures table = [] {
        RestoringProcedures p;
        p.detectKnownNumberChain = [](auto&&... a) { return detectKnownNumberChain(a...); };
        p.recognizeKnownNumberChain = [](auto&&... a) { return recognizeKnownNumberChain(a...); };
        p.detectUnknownNumberChain = [](auto&&... a) { return detectUnknownNumberChain(a...); };
        p.recognizeUnknownNumberChain = [](auto&&... a) {
            return recognizeUnknownNumberChain(a...);
        };
        // The known-count tuples procedures have no debugging pass to clear.
        p.detectKnownNumberTuples = [](MessageSink& sink, std::span<const PulseHeader> alphabet,
                                       std::span<const int32_t> tuple, const TuplesSearch& search,
                                       ChainsHeader* chains, SeriesHeader& series, int32_t&) {
            return detectKnownNumberTuples(sink, alphabet, tuple, search, chains, series);
        };
        p.tuplesDetection = [](auto&&... a) { return TuplesDetection(a...); };
        p.recognizeKnownNumberTuples = [](MessageSink& sink, std::span<const PulseHeader> alphabet,
                                          std::span<const std::span<const int32_t>> tuples,
                                          const TuplesSearch& search, ChainsHeader* chains,
                                          SeriesHeader& series, int32_t&) {
            return recognizeKnownNumberTuples(sink, alphabet, tuples, search, chains, series);
        };
        p.tuplesRecognition = [](auto&&... a) { return TuplesRecognition(a...); };
        return p;
    }();
    return table;
}

namespace {

constexpr char kRestoringCaption[] = " Processing ";

template <class T>
bool inAlphabet(std::span<const T> numbers, std::size_t etalons) {
    return std::all_of(numbers.begin(), numbers.end(),
                       [etalons](T n) { return n >= 1 && static_cast<std::size_t>(n) <= etalons; });
}

// The procedures index the alphabet by these numbers, and a working list typed
// into its dialog is not checked there.
bool numbersAreEtalons(MessageSink& sink, RestoringProcedure procedure, const RestoringRequest& r) {
    const std::size_t etalons = r.alphabet.size();
    if (readsEtalonList(procedure) && !inAlphabet(r.etalons, etalons)) {
        sink.show("Wrong etalon number in the list of etalons!", kRestoringCaption,
                  MessageIcon::None);
        return false;
    }
    bool patternsFit = !readsPattern(procedure) || inAlphabet(r.pattern, etalons);
    if (readsPatterns(procedure)) {
        for (const auto& pattern : r.patterns)
            patternsFit = patternsFit && inAlphabet(pattern, etalons);
    }
    if (!patternsFit) {
        sink.show("Wrong etalon number in the selected subset!", kRestoringCaption,
                  MessageIcon::None);
    }
    return patternsFit;
}

// The workbench's own procedures, with the caller's work tables.
int runWorkbenchProcedure(MessageSink& sink, RestoringProcedure procedure,
                          const RestoringRequest& r, const SearchBounds& bounds,
                          const TuplesSearch& search, int32_t& debugging, RestoringWork& work) {
    SeriesHeader& s = *r.series;
    switch (procedure) {
        case RestoringProcedure::DetectKnownNumberChain:
            return detectKnownNumberChain(sink, r.alphabet, r.etalons, bounds, r.chains, s, &work);
        case RestoringProcedure::RecognizeKnownNumberChain:
            return recognizeKnownNumberChain(sink, r.alphabet, r.etalons, bounds, r.chains, s,
                                             &work);
        case RestoringProcedure::DetectUnknownNumberChain:
            return detectUnknownNumberChain(sink, r.alphabet, r.etalons, bounds, r.chains, s,
                                            &work);
        case RestoringProcedure::RecognizeUnknownNumberChain:
            return recognizeUnknownNumberChain(sink, r.alphabet, r.etalons, bounds, r.chains, s,
                                               &work);
        case RestoringProcedure::DetectKnownNumberTuples:
            return detectKnownNumberTuples(sink, r.alphabet, r.pattern, search, r.chains, s, &work);
        case RestoringProcedure::TuplesDetection:
            return TuplesDetection(sink, r.alphabet, r.pattern, search, r.chains, s, debugging,
                                   &work);
        case RestoringProcedure::RecognizeKnownNumberTuples:
            return recognizeKnownNumberTuples(sink, r.alphabet, r.patterns, search, r.chains, s,
                                              &work);
        case RestoringProcedure::TuplesRecognition:
            return TuplesRecognition(sink, r.alphabet, r.patterns, search, r.chains, s, debugging,
                                     &work);
        case RestoringProcedure::None:
            break;
    }
    return 0;
}

}  // namespace

int runRestoringProcedure(MessageSink& sink, RestoringProcedure procedure,
                          const RestoringRequest& r, const RestoringProcedures& p) {
    if (!r.series) return 0;
    if (!numbersAreEtalons(sink, procedure, r)) return 0;
    SeriesHeader& s = *r.series;
    int32_t noDebugging = 0;
    int32_t& debugging = r.debugging ? *r.debugging : noDebugging;
    const SearchBounds bounds{.tmin = r.tmin, .tmax = r.tmax, .processingLevel = r.processingLevel};
    const TuplesSearch search{.proceeding = r.proceeding, .bounds = bounds};
    if (&p == &workbenchRestoringProcedures()) {
        RestoringWork own;
        RestoringWork& work = r.work ? *r.work : own;
        const int result =
            runWorkbenchProcedure(sink, procedure, r, bounds, search, debugging, work);
        // Tables past the retained size are given back as soon as the run ends.
        if (r.work) r.work->finishRun(restoringMemoryNeed(procedure, r));
        return result;
    }
    const auto chain = [&](const RestoringProcedures::ChainProcedure& f) {
        return f ? f(sink, r.alphabet, r.etalons, bounds, r.chains, s) : 0;
    };
    const auto tuple = [&](const RestoringProcedures::OnePatternProcedure& f) {
        return f ? f(sink, r.alphabet, r.pattern, search, r.chains, s, debugging) : 0;
    };
    const auto tuples = [&](const RestoringProcedures::StoredPatternsProcedure& f) {
        return f ? f(sink, r.alphabet, r.patterns, search, r.chains, s, debugging) : 0;
    };
    switch (procedure) {
        case RestoringProcedure::DetectKnownNumberChain:
            return chain(p.detectKnownNumberChain);
        case RestoringProcedure::RecognizeKnownNumberChain:
            return chain(p.recognizeKnownNumberChain);
        case RestoringProcedure::DetectUnknownNumberChain:
            return chain(p.detectUnknownNumberChain);
        case RestoringProcedure::RecognizeUnknownNumberChain:
            return chain(p.recognizeUnknownNumberChain);
        case RestoringProcedure::DetectKnownNumberTuples:
            return tuple(p.detectKnownNumberTuples);
        case RestoringProcedure::TuplesDetection:
            return tuple(p.tuplesDetection);
        case RestoringProcedure::RecognizeKnownNumberTuples:
            return tuples(p.recognizeKnownNumberTuples);
        case RestoringProcedure::TuplesRecognition:
            return tuples(p.tuplesRecognition);
        case RestoringProcedure::None:
            break;
    }
    return 0;
}

}  // namespace etalon
