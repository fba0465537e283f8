#include "oracle/oracle_simulation.h"

#include <algorithm>
#include <vector>

#include "processing/chains_header.h"
#include "series/series_generator.h"
#include "simulation/restored_error.h"

namespace etalon::oracle {

namespace {

// Copies stored subset s (1-based) into the current subset.
void makeCurrent(SeriesHeader& series, int s) {
    const std::span<const int16_t> row = series.storedSubset(s - 1);
    const std::size_t copied = std::min(row.size(), series.lpSelectedSubset.size());
    std::copy_n(row.begin(), copied, series.lpSelectedSubset.begin());
    series.wSubsetLength = static_cast<uint16_t>(copied);
}

}  // namespace

int statCutoffVarnel(MessageSink& sink, RestErrorHeader* errors, uint16_t etalonsNumber,
                     std::span<const PulseHeader> alphabet, uint16_t n, const uint16_t* list,
                     uint16_t seriesType, uint16_t task, uint16_t makingLevel,
                     uint16_t processingLevel, std::unique_ptr<SeriesHeader>& series,
                     RandomStreams& streams, const SimulationExtras& extras,
                     const RestoringProcedures& procedures) {
    // 1.
    const uint16_t rememberedSubsetLength = series->wSubsetLength;
    // 2.
    if (!errors) {
        sink.show("Absence of RestoreErrorHeader!", "statCutoffVarnel", MessageIcon::None);
        return 0;
    }
    if (n == 0) {
        sink.show("Empty list of etalons!", " About statCutoffVarnel ", MessageIcon::None);
        return 0;
    }
    for (uint16_t i = 0; i < n; ++i) {
        if (list[i] < 1 || list[i] > etalonsNumber || list[i] > alphabet.size()) {
            sink.show("Wrong etalon number in the list of etalons!", " About statCutoffVarnel ",
                      MessageIcon::None);
            return 0;
        }
    }
    const int P = errors->wVariousPulses;
    const int V = errors->wNoiseLevels;
    const int R = static_cast<uint16_t>(errors->repeats);
    // 3.
    const uint16_t tmin = series->wTmin;
    const uint16_t tmax = series->wTmax;
    const SearchBounds bounds{.tmin = tmin, .tmax = tmax, .processingLevel = processingLevel};
    const TuplesSearch tuplesSearch{.proceeding = extras.proceeding, .bounds = bounds};
    const uint16_t maxP = series->wMaxPulses;
    // 4.
    std::unique_ptr<ChainsHeader> chains = getChainsHeader(sink, 10, maxP, nullptr);
    if (!chains) {
        sink.show("Error getChainsHeader!", " About ChainsHeader ", MessageIcon::None);
        return 0;
    }
    if (!addToChainsHeader(sink, SeriesCode{seriesType}, TaskCode{task}, makingLevel,
                           processingLevel, chains.get())) {
        sink.show("Error addToChainsHeader!", " About ChainsHeader ", MessageIcon::None);
        return 0;
    }
    // 5.
    if (!addInitRestErrHeader(sink, SeriesCode{seriesType}, TaskCode{task}, makingLevel,
                              processingLevel, errors)) {
        sink.show("Ошибка addInitRestErrHeader!", " About RestoreErrorHeader ", MessageIcon::None);
        return 0;
    }
    // 6. Room for maxP, n and the largest count of the grid.
    int size = std::max<int>(maxP, n);
    for (int p = 0; p < P; ++p)
        size = std::max<int>(size, errors->wPulseValues()[p]);
    std::vector<uint16_t> counters(size, 1);
    std::vector<uint16_t> sequence(size, 1);
    // 7.
    int m = 0;
    int S = 0;
    std::vector<int32_t> subset;
    std::vector<std::vector<int32_t>> lists;
    std::vector<std::span<const int32_t>> listPointers;
    if (seriesType == 36 || seriesType == 40 || task == 36 || task == 40) {
        m = series->wSubsetLength;
        if (m == 0) {
            sink.show("Error: selected Subset is absence!", " About selectedSubset ",
                      MessageIcon::None);
            return 0;
        }
        for (int i = 0; i < m; ++i)
            subset.push_back(series->lpSelectedSubset[i]);
        if (task == 40) {
            S = series->wSubsets;
            if (S == 0) {
                sink.show("Error: reserved subsets are absence!", " About statCutoffVarnel ",
                          MessageIcon::None);
                return 0;
            }
            for (int s = 0; s < S; ++s) {
                const std::span<const int16_t> row = series->storedSubset(s);
                lists.emplace_back(row.begin(), row.end());
            }
            for (int s = 0; s < S; ++s)
                listPointers.emplace_back(lists[s]);
        }
    }
    // 9.
    const uint32_t N = series->dwSeriesSize;
    const uint16_t L = alphabet[list[0] - 1].wSize;
    int32_t noDebugging = 0;
    int32_t& debugging = extras.debuggingRepeat ? *extras.debuggingRepeat : noDebugging;
    // 10.
    for (int p = 0; p < P; ++p) {
        const int C = errors->wPulseValues()[p];
        for (int v = 0; v < V; ++v) {
            const int16_t D = errors->lpNoiseLevels()[v];
            // 10.1
            int B = 0;
            int s = 0;
            if (task == 1) {
                series->wSubsetLength = 0;
            } else if (task == 2) {
                B = (n + 2 * R) / (2 * n);
                series->wSubsetLength = 0;
            } else if (task == 36) {
                B = R;
            } else if (task == 40) {
                s = 1;
                B = (S + 2 * R) / (2 * S);
                makeCurrent(*series, s);
            } else {
                B = C > 0 ? (R * C) >> (C % 32) : 0;
            }
            // 10.2
            int E = B;
            for (int i = 0; i < C; ++i) {
                counters[i] = 1;
                sequence[i] = list[0];
            }
            // 10.3
            int64_t SG = 0;
            int64_t SI = 0;
            uint32_t misses = 0;
            // 10.4
            for (int r = 0; r < R; ++r) {
                // 10.4.1
                if (task == 2) {
                    if (r >= E) {
                        for (int i = 0; i < C; ++i) {
                            counters[i] += 1;
                            if (counters[i] > n) counters[i] = 1;
                            sequence[i] = list[counters[i] - 1];
                        }
                        E += B;
                    }
                } else if (task == 4) {
                    if (r * C >= E) {
                        E += B;
                        counters[0] += 1;
                        for (int i = 0; i < size && counters[i] > n; ++i) {
                            counters[i] = 1;
                            if (i + 1 < size) counters[i + 1] += 1;
                        }
                        for (int i = 0; i < C; ++i)
                            sequence[i] = list[counters[i] - 1];
                    }
                } else if (task == 40) {
                    if (r >= E) {
                        s += 1;
                        if (s > S) s = 1;
                        makeCurrent(*series, s);
                        E += B;
                    }
                }
                // 10.4.2
                SeriesRequest request;
                request.etalons = etalonsNumber;
                request.alphabet = alphabet;
                request.pulseLength = L;
                request.tmin = tmin;
                request.tmax = tmax;
                request.seriesLength = N;
                request.pulses = static_cast<uint16_t>(C);
                request.sequence = sequence;
                request.amplitude = extras.amplitude;
                request.savedEnergyLevel = makingLevel;
                series = getCutOffSeries(sink, request, std::move(series), streams);
                // 10.4.3
                addSeriesNoise(D, extras.amplitude, series.get(), streams.wNoiseSeed);
                // 10.4.4
                const std::span<const uint16_t> bySequence(sequence.data(), n);
                const std::span<const uint16_t> byList(list, n);
                const bool unknown = seriesType == 4 || seriesType == 8;
                int A = 0;
                if (task == 2) {
                    const auto& f = unknown ? procedures.recognizeUnknownNumberChain
                                            : procedures.recognizeKnownNumberChain;
                    f(sink, alphabet, bySequence, bounds, chains.get(), *series);
                } else if (task == 8) {
                } else if (task == 36) {
                    const auto& f = unknown || seriesType == 40
                                        ? procedures.tuplesDetection
                                        : procedures.detectKnownNumberTuples;
                    f(sink, alphabet, subset, tuplesSearch, chains.get(), *series, debugging);
                } else if (task == 40) {
                    const auto& f = unknown || seriesType == 40
                                        ? procedures.tuplesRecognition
                                        : procedures.recognizeKnownNumberTuples;
                    A = f(sink, alphabet, listPointers, tuplesSearch, chains.get(), *series,
                          debugging);
                } else if (unknown) {
                    procedures.detectUnknownNumberChain(sink, alphabet, bySequence, bounds,
                                                        chains.get(), *series);
                } else {
                    procedures.detectKnownNumberChain(sink, alphabet, byList, bounds, chains.get(),
                                                      *series);
                }
                // 10.4.5
                SG += getRestoredError(*series);
                // 10.4.6 (no pulses: no detection error)
                if (C > 0) {
                    int64_t H = 0;
                    const int compared = std::min<int>(C, chains->wSeekingPulsesQuantity);
                    for (int i = 0; i < compared; ++i) {
                        const int64_t d =
                            int64_t{series->lpPositions[i]} - series->lpRestoredPositions[i];
                        H += d * d;
                    }
                    SI += (256 * H + C) / (2 * C);
                }
                // 10.4.7
                if (task == 40 && A != s) misses += 1;
            }
            // 10.5
            errors->lpErrors(v)[p] = R > 0 ? static_cast<uint32_t>((2 * SG + R) / (2 * R)) : 0;
            errors->lpDetectionErrors(v)[p] = static_cast<uint32_t>(SI / 128);
            errors->lpRecognitionErrors(v)[p] = misses;
            errors->lpSpareErrors1(v)[p] = 0;
            errors->lpSpareErrors2(v)[p] = 0;
            errors->lpSpareErrors3(v)[p] = 0;
        }
    }
    // 11.
    series->wSubsetLength = rememberedSubsetLength;
    errors->ifComplete = 1;
    return 1;
}

}  // namespace etalon::oracle
