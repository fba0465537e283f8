#include "oracle/oracle_processing.h"

namespace etalon::oracle {

const RestoringProcedures& referenceRestoringProcedures() {
    static const RestoringProcedures table = [] {
        RestoringProcedures p;
        const auto chain = [](auto reference) {
            return [reference](MessageSink&, std::span<const PulseHeader> alphabet,
                               std::span<const uint16_t> etalons, const SearchBounds& bounds,
                               ChainsHeader* chains, SeriesHeader& series) {
                return static_cast<int>(reference(alphabet, etalons, bounds, chains, series));
            };
        };
        p.detectKnownNumberChain = chain(detectKnownNumberChain);
        p.recognizeKnownNumberChain = chain(recognizeKnownNumberChain);
        p.detectUnknownNumberChain = chain(detectUnknownNumberChain);
        p.recognizeUnknownNumberChain = chain(recognizeUnknownNumberChain);
        p.detectKnownNumberTuples = [](MessageSink&, std::span<const PulseHeader> alphabet,
                                       std::span<const int32_t> tuple, const TuplesSearch& search,
                                       ChainsHeader* chains, SeriesHeader& series, int32_t&) {
            return detectKnownNumberTuples(alphabet, tuple, search, chains, series);
        };
        p.recognizeKnownNumberTuples = [](MessageSink&, std::span<const PulseHeader> alphabet,
                                          std::span<const std::span<const int32_t>> tuples,
                                          const TuplesSearch& search, ChainsHeader* chains,
                                          SeriesHeader& series, int32_t&) {
            return recognizeKnownNumberTuples(alphabet, tuples, search, chains, series);
        };
        p.tuplesDetection = [](MessageSink& sink, std::span<const PulseHeader> alphabet,
                               std::span<const int32_t> pattern, const TuplesSearch& search,
                               ChainsHeader* chains, SeriesHeader& series, int32_t& debugging) {
            std::vector<std::string> texts;
            const int returned =
                TuplesDetection(alphabet, pattern, search, chains, series, debugging, &texts);
            for (const std::string& text : texts)
                sink.show(text, "", MessageIcon::None);
            return returned;
        };
        p.tuplesRecognition = [](MessageSink& sink, std::span<const PulseHeader> alphabet,
                                 std::span<const std::span<const int32_t>> patterns,
                                 const TuplesSearch& search, ChainsHeader* chains,
                                 SeriesHeader& series, int32_t& debugging) {
            std::vector<std::string> texts;
            const int returned =
                TuplesRecognition(alphabet, patterns, search, chains, series, debugging, &texts);
            for (const std::string& text : texts)
                sink.show(text, "", MessageIcon::None);
            return returned;
        };
        return p;
    }();
    return table;
}

}  // namespace etalon::oracle
