#include "app/processing_procedures.h"

#include "processing/known_number_chain.h"
#include "processing/known_number_tuples.h"
#include "processing/tuples_detection.h"
#include "processing/unknown_number_chain.h"

namespace etalon {

ProcessingProcedures restoringProcedures() {
    ProcessingProcedures p;
    p.detectKnownNumberChain = detectKnownNumberChain;
    p.recognizeKnownNumberChain = recognizeKnownNumberChain;
    p.detectUnknownNumberChain = detectUnknownNumberChain;
    p.recognizeUnknownNumberChain = recognizeUnknownNumberChain;
    // The known-count tuples procedures have no debugging pass to clear.
    p.detectKnownNumberTuples = [](MessageSink& sink, std::span<const PulseHeader> alphabet,
                                   std::span<const int32_t> tuple, uint16_t proceeding,
                                   uint16_t tmin, uint16_t tmax, uint16_t level,
                                   ChainsHeader* chains, SeriesHeader& series, int32_t&) {
        return detectKnownNumberTuples(sink, alphabet, tuple, proceeding, tmin, tmax, level, chains,
                                       series);
    };
    p.tuplesDetection = TuplesDetection;
    p.recognizeKnownNumberTuples =
        [](MessageSink& sink, std::span<const PulseHeader> alphabet,
           std::span<const std::span<const int32_t>> tuples, uint16_t proceeding, uint16_t tmin,
           uint16_t tmax, uint16_t level, ChainsHeader* chains, SeriesHeader& series, int32_t&) {
            return recognizeKnownNumberTuples(sink, alphabet, tuples, proceeding, tmin, tmax, level,
                                              chains, series);
        };
    p.tuplesRecognition = TuplesRecognition;
    return p;
}

}  // namespace etalon
