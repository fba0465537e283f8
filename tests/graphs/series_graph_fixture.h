#pragma once

#include <array>
#include <memory>
#include <vector>

#include "graphs/series_graph.h"
#include "graphs/series_mapping.h"
#include "pulses/alphabet.h"
#include "series/series_codes.h"
#include "support/recording_sink.h"

namespace etalon::test {

// A hand-made series over the start-up alphabet, a results record, and a
// surface of the size of a small window to draw the results view on.
struct GraphFixture {
    RecordingSink sink;
    std::array<PulseHeader, kEtalonsNumber> alphabet{};
    SeriesHeader series;
    std::unique_ptr<ChainsHeader> chains;
    std::vector<uint16_t> required;
    std::array<platform::Rect, 10> listed{};
    platform::Surface surface{1024, 700};
    SeriesGraphView view;

    explicit GraphFixture(uint32_t n = 600) {
        int16_t seed = 123;
        makeAlphabet(sink, kPulseAmplitude, kEtalonsNumber, kEtalonLength, alphabet, seed);
        series.dwSeriesSize = series.dwReservedSize = n;
        series.lpPureData.assign(n, 0);
        series.lpNoisyData.assign(n, 0);
        series.wImpulseSize = kEtalonLength;
        series.wTmin = 40;
        series.wTmax = 181;
        series.wAmplitude = kPulseAmplitude;
        series.wNoiseLevel = 20;
        for (const PulseHeader& e : alphabet)
            series.lpPulsesList.push_back(&e);
        chains = getChainsHeader(sink, 10, 30, nullptr);
        for (uint16_t k = 1; k <= kEtalonsNumber; ++k)
            required.push_back(k);
        platform::DeviceContext dc(surface);
        view.rcGraph = {10, 10, 859, 687};
        view.nLineHeight = lineHeight(dc);
        view.listedReservedRects = listed;
    }
    // The view points into the fixture.
    GraphFixture(const GraphFixture&) = delete;
    GraphFixture& operator=(const GraphFixture&) = delete;

    // A true pulse: its samples go into the noise-free and the observed series.
    void addTrue(int16_t position, int16_t etalon, int16_t first = 0, int16_t last = 19) {
        series.lpPositions.push_back(position);
        series.lpEtalons.push_back(etalon);
        series.lpCutStarts.push_back(first);
        series.lpCutEnds.push_back(last);
        series.wImpulseQuantity = static_cast<uint16_t>(series.lpPositions.size());
        const auto d = alphabet[etalon - 1].samples();
        for (int j = first; j <= last && position + j < int(series.dwSeriesSize); ++j) {
            series.lpPureData[position + j] =
                static_cast<int16_t>(series.lpPureData[position + j] + d[j]);
            series.lpNoisyData[position + j] =
                static_cast<int16_t>(series.lpNoisyData[position + j] + d[j]);
        }
    }
    void addRestored(int16_t position, int16_t etalon, int16_t first = 0, int16_t last = 19) {
        series.lpRestoredPositions.push_back(position);
        series.lpRestoredEtalons.push_back(etalon);
        series.lpRestoredCutStarts.push_back(first);
        series.lpRestoredCutEnds.push_back(last);
        series.wRestoredQuantity = static_cast<uint16_t>(series.lpRestoredPositions.size());
    }
    // The restored pulses as the best chain, and the run recorded.
    // The run as the results record keeps it, by the codes' numbers.
    void recordRun(uint16_t seriesType, uint16_t task, int32_t criterion = -1000) {
        resetChains(chains.get(), series.wRestoredQuantity, chains->wMaxPulses);
        insertChain(chains.get(), criterion, series.wRestoredQuantity,
                    {series.lpRestoredEtalons, series.lpRestoredPositions,
                     series.lpRestoredCutStarts, series.lpRestoredCutEnds});
        addToChainsHeader(sink, SeriesCode{seriesType}, TaskCode{task}, 100, 100, chains.get());
    }
    void addChain(int32_t criterion, std::vector<int16_t> etalons, std::vector<int16_t> positions) {
        std::vector<int16_t> starts(etalons.size(), 0), ends(etalons.size(), 19);
        insertChain(chains.get(), criterion, static_cast<int>(etalons.size()),
                    {etalons, positions, starts, ends});
    }

    void draw() {
        surface.fill(platform::kWhite);
        platform::DeviceContext dc(surface);
        DrawSeriesGraph(dc, view, static_cast<uint16_t>(required.size()), required, chains.get(),
                        &series);
    }
    SeriesGraphGeometry geometry() const {
        return seriesGraphGeometry(view.rcGraph, view.nLineHeight,
                                   view.settings.bSpecialGraphSize != 0,
                                   static_cast<int32_t>(required.size()));
    }
};

}  // namespace etalon::test
