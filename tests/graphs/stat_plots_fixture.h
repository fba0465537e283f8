#pragma once

#include <cmath>
#include <ctime>
#include <memory>

#include "graphs/series_graph_fixture.h"
#include "graphs/stat_plot_text.h"
#include "graphs/stat_plots.h"
#include "simulation/rest_error_header.h"

namespace etalon::test {

// The results-view fixture with the record of a simulation over a grid of
// pulse counts and noise levels, for the statistics view.
struct StatFixture : GraphFixture {
    std::unique_ptr<RestErrorHeader> errors;
    StatPlotView statView;
    StatPlotMode mode = StatPlotMode::DetectionComponents;

    StatFixture() {
        series.wMinPulses = 6;
        series.wMaxPulses = 30;
        series.wEtalons = kEtalonsNumber;
        series.lpFirstPulse = &alphabet[0];
        statView.rcGraph = view.rcGraph;
        statView.nLineHeight = view.nLineHeight;
        statView.startTime = 1700000000;
        statView.endTime = statView.startTime + 3725;
        statView.listedReservedRects = listed;
        makeGrid(5, 6, 6, 29, 0, 5, 100);
    }

    void makeGrid(uint16_t pulses, uint16_t firstPulses, uint16_t pulseStep, uint16_t levels,
                  uint16_t firstLevel, uint16_t levelStep, uint32_t repeats) {
        errors = getRestErrHeader(sink, pulses, levels, repeats, std::move(errors));
        initRestErrHeader(sink, pulses, firstPulses, pulseStep, levels, firstLevel, levelStep,
                          repeats, errors.get());
        addInitRestErrHeader(sink, SeriesCode{1}, TaskCode{2}, 100, 100, errors.get());
        errors->ifComplete = 1;
    }

    // Errors that grow with the noise the way a run's do.
    void fillPlausible() {
        const uint32_t rp = errors->repeats;
        for (uint16_t l = 0; l < errors->wNoiseLevels; ++l) {
            const double s = errors->lpNoiseLevels()[l];
            for (uint16_t k = 0; k < errors->wVariousPulses; ++k) {
                const double n = errors->wPulseValues()[k];
                const double miss = 0.5 * (1 - std::exp(-std::pow(s / (160 - 2 * n), 2)));
                errors->lpRecognitionErrors(l)[k] = static_cast<uint32_t>(rp * miss);
                errors->lpDetectionErrors(l)[k] = static_cast<uint32_t>(rp * s * s * n / 40);
                errors->lpErrors(l)[k] = static_cast<uint32_t>(s * s * n * 20 * (1 + n / 30));
            }
        }
    }

    int drawStats() {
        surface.fill(platform::kWhite);
        platform::DeviceContext dc(surface);
        return DrawDetectionArrayZ(sink, dc, statView, request());
    }
    StatPlotRequest request() const {
        return {.errors = errors.get(),
                .series = &series,
                .mode = mode,
                .amplitude = kPulseAmplitude,
                .required = required};
    }
    StatPlotGeometry plotGeometry() const {
        return statPlotGeometry(geometry(), errors->wNoiseLevels);
    }
};

}  // namespace etalon::test
