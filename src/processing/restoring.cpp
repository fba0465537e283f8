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

bool recognisesSinglePulses(RestoringProcedure procedure) {
    return procedure == RestoringProcedure::RecognizeKnownNumberChain ||
           procedure == RestoringProcedure::RecognizeUnknownNumberChain;
}

std::span<const uint16_t> distinctEtalons(std::span<const uint16_t> list,
                                          std::vector<uint16_t>& kept) {
    kept.clear();
    for (uint16_t e : list) {
        if (std::find(kept.begin(), kept.end(), e) == kept.end()) kept.push_back(e);
    }
    return kept;
}

bool readsEtalonList(RestoringProcedure procedure) {
    return procedure != RestoringProcedure::None && !readsPattern(procedure) &&
           !readsPatterns(procedure);
}

namespace {

// The workbench's entries, as named closures: a copy of the table (the window
// keeps one) is still known for its own entries by their type, so
// runRestoringProcedure runs them with the caller's work tables.
const auto kOwnDetectKnownChain = [](auto&&... a) { return detectKnownNumberChain(a...); };
const auto kOwnRecognizeKnownChain = [](auto&&... a) { return recognizeKnownNumberChain(a...); };
const auto kOwnDetectUnknownChain = [](auto&&... a) { return detectUnknownNumberChain(a...); };
const auto kOwnRecognizeUnknownChain = [](auto&&... a) {
    return recognizeUnknownNumberChain(a...);
};
// The known-count tuples procedures have no debugging pass to clear.
const auto kOwnDetectKnownTuples = [](MessageSink& sink, std::span<const PulseHeader> alphabet,
                                      std::span<const int32_t> tuple, const TuplesSearch& search,
                                      ChainsHeader* chains, SeriesHeader& series, int32_t&) {
    return detectKnownNumberTuples(sink, alphabet, tuple, search, chains, series);
};
const auto kOwnTuplesDetection = [](auto&&... a) { return TuplesDetection(a...); };
const auto kOwnRecognizeKnownTuples = [](MessageSink& sink, std::span<const PulseHeader> alphabet,
                                         std::span<const std::span<const int32_t>> tuples,
                                         const TuplesSearch& search, ChainsHeader* chains,
                                         SeriesHeader& series, int32_t&) {
    return recognizeKnownNumberTuples(sink, alphabet, tuples, search, chains, series);
};
const auto kOwnTuplesRecognition = [](auto&&... a) { return TuplesRecognition(a...); };

template <class Entry, class Own>
bool holds(const Entry& entry, const Own&) {
    return entry.template target<Own>() != nullptr;
}

// Whether the table's entry for the procedure is the workbench's own.
bool ownEntry(const RestoringProcedures& p, RestoringProcedure procedure) {
    switch (procedure) {
        case RestoringProcedure::DetectKnownNumberChain:
            return holds(p.detectKnownNumberChain, kOwnDetectKnownChain);
        case RestoringProcedure::RecognizeKnownNumberChain:
            return holds(p.recognizeKnownNumberChain, kOwnRecognizeKnownChain);
        case RestoringProcedure::DetectUnknownNumberChain:
            return holds(p.detectUnknownNumberChain, kOwnDetectUnknownChain);
        case RestoringProcedure::RecognizeUnknownNumberChain:
            return holds(p.recognizeUnknownNumberChain, kOwnRecognizeUnknownChain);
        case RestoringProcedure::DetectKnownNumberTuples:
            return holds(p.detectKnownNumberTuples, kOwnDetectKnownTuples);
        case RestoringProcedure::TuplesDetection:
            return holds(p.tuplesDetection, kOwnTuplesDetection);
        case RestoringProcedure::RecognizeKnownNumberTuples:
            return holds(p.recognizeKnownNumberTuples, kOwnRecognizeKnownTuples);
        case RestoringProcedure::TuplesRecognition:
            return holds(p.tuplesRecognition, kOwnTuplesRecognition);
        case RestoringProcedure::None:
            break;
    }
    return false;
}

}  // namespace

const RestoringProcedures& workbenchRestoringProcedures() {
    // Callers may replace entries with stand-ins; runRestoringProcedure
    // calls the own ones directly, with the request's work tables.
    static const RestoringProcedures table = [] {
        RestoringProcedures p;
        p.detectKnownNumberChain = kOwnDetectKnownChain;
        p.recognizeKnownNumberChain = kOwnRecognizeKnownChain;
        p.detectUnknownNumberChain = kOwnDetectUnknownChain;
        p.recognizeUnknownNumberChain = kOwnRecognizeUnknownChain;
        p.detectKnownNumberTuples = kOwnDetectKnownTuples;
        p.tuplesDetection = kOwnTuplesDetection;
        p.recognizeKnownNumberTuples = kOwnRecognizeKnownTuples;
        p.tuplesRecognition = kOwnTuplesRecognition;
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

}  // namespace

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

namespace {

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
    if (ownEntry(p, procedure)) {
        RestoringWork own;
        RestoringWork& work = r.work ? *r.work : own;
        using RunEvent = RestoringProcedures::RunEvent;
        if (p.watch) p.watch(procedure, RunEvent::Started);
        int result = 0;
        try {
            result = runWorkbenchProcedure(sink, procedure, r, bounds, search, debugging, work);
        } catch (const RestoringStopped&) {
            // A stopped run leaves its tables half-made: none is kept.
            work.release();
            if (p.watch) p.watch(procedure, RunEvent::Stopped);
            throw;
        }
        if (p.watch) p.watch(procedure, RunEvent::Finished);
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
