#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "base/message_sink.h"
#include "processing/chains_header.h"
#include "processing/restoring_work.h"
#include "processing/search_bounds.h"
#include "processing/task_codes.h"
#include "pulses/pulse_header.h"
#include "series/series_header.h"

namespace etalon {

// The restoring procedures, one per task and kind of series.
enum class RestoringProcedure {
    None,  // the task processes nothing
    DetectKnownNumberChain,
    RecognizeKnownNumberChain,
    DetectUnknownNumberChain,
    RecognizeUnknownNumberChain,
    DetectKnownNumberTuples,
    TuplesDetection,
    RecognizeKnownNumberTuples,
    TuplesRecognition,
};

// The procedure that restores a series of `seriesType` for an effective task:
// the unknown-count procedures on unfixed series of single pulses, the
// unknown-count tuples procedures on any unfixed series.
RestoringProcedure chooseRestoringProcedure(TaskCode effectiveTask, SeriesCode seriesType);

const char* restoringProcedureName(RestoringProcedure procedure);

// Whether the procedure reads the working list, the one pattern, or the stored patterns.
bool readsEtalonList(RestoringProcedure procedure);
bool readsPattern(RestoringProcedure procedure);
bool readsPatterns(RestoringProcedure procedure);
// The recognitions of single pulses: each pulse is one of the listed etalons.
bool recognisesSinglePulses(RestoringProcedure procedure);

// The list's etalons in order of first appearance, kept in `kept`. A
// candidate tried again can only tie with its first try and ties go to the
// earlier one, so trying each once restores the same pulses, far sooner.
std::span<const uint16_t> distinctEtalons(std::span<const uint16_t> list,
                                          std::vector<uint16_t>& kept);

// The procedures as callable entries, so callers can run stand-ins (tests
// that only note the call, or the slow references); an empty entry is skipped.
struct RestoringProcedures {
    using ChainProcedure =
        std::function<int(MessageSink&, std::span<const PulseHeader>, std::span<const uint16_t>,
                          const SearchBounds&, ChainsHeader*, SeriesHeader&)>;
    using OnePatternProcedure =
        std::function<int(MessageSink&, std::span<const PulseHeader>, std::span<const int32_t>,
                          const TuplesSearch&, ChainsHeader*, SeriesHeader&, int32_t&)>;
    using StoredPatternsProcedure = std::function<int(
        MessageSink&, std::span<const PulseHeader>, std::span<const std::span<const int32_t>>,
        const TuplesSearch&, ChainsHeader*, SeriesHeader&, int32_t&)>;

    ChainProcedure detectKnownNumberChain;
    ChainProcedure recognizeKnownNumberChain;
    ChainProcedure detectUnknownNumberChain;
    ChainProcedure recognizeUnknownNumberChain;
    OnePatternProcedure detectKnownNumberTuples;
    OnePatternProcedure tuplesDetection;
    StoredPatternsProcedure recognizeKnownNumberTuples;
    StoredPatternsProcedure tuplesRecognition;

    // Told when a run of one of the workbench's own entries starts and how
    // it ends, from the thread that runs it: lets a test watch real runs
    // (that Cancel stopped one unfinished) without standing in for them.
    enum class RunEvent { Started, Finished, Stopped };
    std::function<void(RestoringProcedure, RunEvent)> watch;
};

// The workbench's own (fast) procedures.
const RestoringProcedures& workbenchRestoringProcedures();

// Everything a restoring procedure reads besides the series.
struct RestoringRequest {
    std::span<const PulseHeader> alphabet;
    std::span<const uint16_t> etalons;                   // plain tasks: the working list
    std::span<const int32_t> pattern;                    // tuples detection
    std::span<const std::span<const int32_t>> patterns;  // tuples recognition
    uint16_t tmin = 0;
    uint16_t tmax = 0;
    uint16_t processingLevel = 100;
    uint16_t proceeding = 1;
    int32_t* debugging = nullptr;  // the tuples procedures show their classes and clear it
    ChainsHeader* chains = nullptr;
    SeriesHeader* series = nullptr;
    RestoringWork* work = nullptr;  // the caller's work tables; null: tables for this call only
};

// Bytes the procedure's work tables need for the request (an upper bound),
// known before it runs.
std::size_t restoringMemoryNeed(RestoringProcedure procedure, const RestoringRequest& request);

// Whether every etalon number the procedure would read names an etalon of the
// alphabet; says which list does not (the procedures index the alphabet by
// them, and a working list typed into its dialog is not checked there).
bool numbersAreEtalons(MessageSink& sink, RestoringProcedure procedure,
                       const RestoringRequest& request);

// Runs the procedure on request.series; returns what it returns (the
// recognised etalon or pattern for the recognitions), 0 for None, a missing
// series or an empty table entry. A list or pattern naming an etalon the
// alphabet lacks is refused with a message (0, the series left alone).
// Throws RestoringStopped once request.work->stop is set; the records may
// then be half-written.
int runRestoringProcedure(MessageSink& sink, RestoringProcedure procedure,
                          const RestoringRequest& request,
                          const RestoringProcedures& procedures = workbenchRestoringProcedures());

}  // namespace etalon
