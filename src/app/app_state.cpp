#include "app/app_state.h"

#include <algorithm>

#include "pulses/alphabet.h"
#include "series/series_generator.h"
#include "series/series_making.h"
#include "series/subsets.h"

namespace etalon {

StatPlotMode statPlotMode(int32_t errorKind, int32_t viewCase, bool boundsIncluded) {
    const bool summary = viewCase != 1;
    if (errorKind == 2)
        return summary ? StatPlotMode::DetectionAggregate : StatPlotMode::DetectionComponents;
    if (errorKind == 3 && boundsIncluded)
        return summary ? StatPlotMode::RecognitionAggregateBounds
                       : StatPlotMode::RecognitionComponentsBounds;
    if (errorKind == 3)
        return summary ? StatPlotMode::RecognitionAggregate : StatPlotMode::RecognitionComponents;
    return summary ? StatPlotMode::RestoredAggregate : StatPlotMode::RestoredComponents;
}

void rebuildRequiredList(AppState& state) {
    state.lpRequiredList.resize(state.wRequiredCapacity);
    state.wRequiredCount = 0;
    for (uint16_t k = 1; k <= state.wEtalonsNumber; ++k) {
        if (state.selectedFlags[k] == 1 && state.wRequiredCount < state.lpRequiredList.size()) {
            state.lpRequiredList[state.wRequiredCount++] = k;
        }
    }
}

void applySelectorPicks(AppState& state) {
    state.dwNewSeriesLength = state.seriesLengthTable[state.nSeriesLengthIndex - 1];
    const PulseCountBounds bounds =
        pulseCountBounds(state.dwNewSeriesLength, state.wEtalonLength, state.wTmin, state.wTmax);
    state.wMinPulses = bounds.minPulses;
    state.wMaxPulses = bounds.maxPulses;
    state.wRequestedPulses = defaultPulseCount(bounds);
    state.wNewNoiseLevel = state.noiseLevelTable[state.nNoiseIndex - 1];
    state.wNewLostLevel = state.lostLevelTable[state.nLostIndex - 1];
    state.wNewMakingLevel = state.wNewProcessingLevel =
        static_cast<uint16_t>(100 - state.wNewLostLevel);
}

void resetLevels(AppState& state) {
    state.nLostIndex = 1;
    state.wNewLostLevel = state.wLostLevel = 0;
    state.wDlgMakingLevel = state.wDlgProcessingLevel = 100;
    state.wProcessingLevel = state.wNewProcessingLevel = 100;
    state.wMakingLevel = state.wNewMakingLevel = 100;
}

namespace {

void selectWorkingSet(AppState& state) {
    if (state.wEffectiveTask == TaskCode::Detection) {
        state.nSelectedEtalon = state.nDefaultEtalon;
        std::fill(state.selectedFlags.begin(), state.selectedFlags.end(), int16_t{0});
        state.selectedFlags[state.nSelectedEtalon] = 1;
    } else {
        std::fill(state.selectedFlags.begin() + 1, state.selectedFlags.end(), int16_t{1});
    }
    state.nDisplayMode = (state.wEffectiveTask == TaskCode::TuplesDetection ||
                          state.wEffectiveTask == TaskCode::TuplesRecognition)
                             ? DisplayMode::SubsetPanel
                             : DisplayMode::AlphabetGrid;
    rebuildRequiredList(state);
}

}  // namespace

SeriesMade makeSeriesFromState(AppState& state, MessageSink& sink) {
    SeriesMakingRequest request;
    request.seriesType = state.wSeriesType;
    request.alphabet = std::span<const PulseHeader>(state.alphabet.data(), state.wEtalonsNumber);
    request.etalons = state.wEtalonsNumber;
    request.pulseLength = state.wEtalonLength;
    request.amplitude = static_cast<int16_t>(state.wPulseAmplitude);
    request.seriesLength = state.dwSeriesLength;
    request.tmin = state.wTmin;
    request.tmax = state.wTmax;
    request.pulses = state.wSeriesPulses;
    request.makingLevel = state.wMakingLevel;
    request.sequence = &state.lpEtalonSequence;
    request.sequenceFill = static_cast<uint16_t>(state.nDefaultEtalon);
    const SeriesMade made = makeRequestedSeries(sink, request, state.lpSeriesHeader, state.streams);
    if (made != SeriesMade::Refused) {
        state.bSeriesWithoutTruth = 0;
        state.longRecording.reset();
    }
    if (made != SeriesMade::NoRecord && isUnfixedSeries(state.wSeriesType))
        state.wSeriesPulses = state.lpSeriesHeader->wImpulseQuantity;
    return made;
}

void createStartupState(AppState& state, MessageSink& sink) {
    freeAlphabet(state.alphabet, state.wEtalonsNumber);
    state.bAlphabetReady =
        makeAlphabet(sink, state.wPulseAmplitude, state.wEtalonsNumber, state.wEtalonLength,
                     state.alphabet, state.streams.wAlphabetNoiseSeed);
    if (state.bAlphabetReady) state.nDisplayMode = DisplayMode::AlphabetGrid;

    state.wRequiredCount = state.wRequiredCapacity = state.wEtalonsNumber;
    if (!getRequiredList(sink, state.wRequiredCount, state.lpRequiredList))
        state.wRequiredCount = 0;

    state.wSeriesType = SeriesCode::FixedWhole;
    state.wTaskType = TaskCode::Recognition;
    state.wEffectiveTask = effectiveTask(state.wTaskType, state.wSeriesType);
    state.wMainView = MainView::SeriesGraph;
    selectWorkingSet(state);

    state.nSeriesLengthIndex = 3;
    state.dwNewSeriesLength = state.dwSeriesLength = state.seriesLengthTable[2];
    const PulseCountBounds bounds =
        pulseCountBounds(state.dwSeriesLength, state.wEtalonLength, state.wTmin, state.wTmax);
    state.wMinPulses = bounds.minPulses;
    state.wMaxPulses = bounds.maxPulses;
    state.wRequestedPulses = state.wSeriesPulses = defaultPulseCount(bounds);

    const auto defaultEtalon = static_cast<uint16_t>(state.nDefaultEtalon);
    state.lpEtalonSequence.assign(state.wMaxPulses, defaultEtalon);
    state.lpEditedSequence.assign(state.wMaxPulses, defaultEtalon);

    state.nNoiseIndex = 1;
    state.wNewNoiseLevel = state.wNoiseLevel = state.noiseLevelTable[0];

    state.lpChainsHeader =
        getChainsHeader(sink, 10, state.wMaxPulses, std::move(state.lpChainsHeader));

    state.nLostIndex = 2;
    state.wNewLostLevel = state.lostLevelTable[1];
    if (!isCutoffSeries(state.wSeriesType)) {
        state.nLostIndex = 1;
        state.wNewLostLevel = state.lostLevelTable[0];
    }
    state.wLostLevel = state.wNewLostLevel;
    const auto saved = static_cast<uint16_t>(100 - state.wLostLevel);
    state.wNewMakingLevel = state.wDlgMakingLevel = state.wMakingLevel = saved;
    state.wNewProcessingLevel = state.wDlgProcessingLevel = state.wProcessingLevel = saved;

    makeSeriesFromState(state, sink);
}

void destroyState(AppState& state) {
    freeAlphabet(state.alphabet, state.wEtalonsNumber);
    state.lpRequiredList.clear();
    state.lpEtalonSequence.clear();
    state.lpEditedSequence.clear();
    freeSeriesHeader(state.lpSeriesHeader);
    freeChainsHeader(state.lpChainsHeader);
    freeRestErrHeader(state.lpRestErrorHeader);
    freeRestErrHeader(state.lpBaselineErrorHeader);
    freeSeriesHeader(state.lpBaselineSeriesHeader);
    freeParamsHeader(state.lpParamsHeader);
    state.subsetPanel = SubsetPanelState{};
}

}  // namespace etalon
