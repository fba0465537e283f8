#pragma once

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/command_handler.h"
#include "app/presses.h"
#include "app/window_layout.h"
#include "support/fake_host.h"
#include "support/recording_sink.h"

namespace etalon::test {

// A selector box with its label across the top edge and its frame one pixel past it.
inline platform::Rect selectorArea(const WindowLayout& layout, const platform::Rect& box) {
    return {box.left, box.top - layout.nLineHeight / 2, box.right + 2, box.bottom + 2};
}

// The start-up state with a 1024 x 700 layout, a recording host that runs
// the commands it is sent, and procedures that only note that they ran.
struct CommandRig {
    struct Call {
        std::string procedure;
        std::vector<int32_t>
            etalons;  // working set, tuple, or the reserved tuples one after another
        std::size_t tuples = 0;
        uint16_t tmin = 0, tmax = 0, level = 0;
    };

    static Call callOf(std::string name, std::vector<int32_t> etalons, std::size_t tuples,
                       const SearchBounds& bounds) {
        return {.procedure = std::move(name),
                .etalons = std::move(etalons),
                .tuples = tuples,
                .tmin = bounds.tmin,
                .tmax = bounds.tmax,
                .level = bounds.processingLevel};
    }

    RecordingSink sink;
    AppState state;
    WindowLayout layout;
    FakeHost host;
    std::vector<Call> calls;
    RestoringProcedures procedures;

    CommandRig() {
        createStartupState(state, sink);
        layOut();
        procedures = recordingProcedures();
        host.dispatch = [this](uint16_t id) {
            CommandHandler(state, layout, host, sink, procedures).onCommand(id);
        };
    }

    void layOut() {
        computeLayout(layout, {0, 0, 1024, 700}, {13, 0, 6, 16}, state.wEffectiveTask,
                      state.wEtalonsNumber);
        // The selectors lay their entries out when drawn; these stand in for that.
        for (int j = 0; j < 3; ++j) {
            layout.rcLengthItems[j] = {880, 30 + 12 * j, 1000, 40 + 12 * j};
            layout.rcNoiseItems[j] = {880, 114 + 12 * j, 1000, 124 + 12 * j};
            layout.rcLostItems[j] = {880, 198 + 12 * j, 1000, 208 + 12 * j};
        }
    }

    // An input of the user, undone whole as the window undoes it.
    void command(uint16_t id) {
        runUndoableInput(state, [&] { host.sendCommand(id); });
    }
    void press(int32_t x, int32_t y) {
        runUndoableInput(state, [&] { PressHandler(state, layout, host, sink).onPress(x, y); });
    }
    void pressIn(const platform::Rect& r) { press((r.left + r.right) / 2, (r.top + r.bottom) / 2); }

    std::vector<std::string> procedureNames() const {
        std::vector<std::string> names;
        for (const Call& c : calls)
            names.push_back(c.procedure);
        return names;
    }

    RestoringProcedures recordingProcedures() {
        RestoringProcedures p;
        const auto chain = [this](std::string name) {
            return [this, name](MessageSink&, std::span<const PulseHeader>,
                                std::span<const uint16_t> set, const SearchBounds& bounds,
                                ChainsHeader*, SeriesHeader&) {
                calls.push_back(callOf(name, {set.begin(), set.end()}, 0, bounds));
                return 1;
            };
        };
        const auto tuple = [this](std::string name) {
            return [this, name](MessageSink&, std::span<const PulseHeader>,
                                std::span<const int32_t> t, const TuplesSearch& search,
                                ChainsHeader*, SeriesHeader&, int32_t& debugging) {
                debugging = 0;
                calls.push_back(callOf(name, {t.begin(), t.end()}, 1, search.bounds));
                return 1;
            };
        };
        const auto tuples = [this](std::string name) {
            return [this, name](MessageSink&, std::span<const PulseHeader>,
                                std::span<const std::span<const int32_t>> all,
                                const TuplesSearch& search, ChainsHeader*, SeriesHeader&,
                                int32_t& debugging) {
                debugging = 0;
                Call call = callOf(name, {}, all.size(), search.bounds);
                for (const auto& t : all)
                    call.etalons.insert(call.etalons.end(), t.begin(), t.end());
                calls.push_back(call);
                return 1;
            };
        };
        p.detectKnownNumberChain = chain("detectKnownNumberChain");
        p.recognizeKnownNumberChain = chain("recognizeKnownNumberChain");
        p.detectUnknownNumberChain = chain("detectUnknownNumberChain");
        p.recognizeUnknownNumberChain = chain("recognizeUnknownNumberChain");
        p.detectKnownNumberTuples = tuple("detectKnownNumberTuples");
        p.tuplesDetection = tuple("TuplesDetection");
        p.recognizeKnownNumberTuples = tuples("recognizeKnownNumberTuples");
        p.tuplesRecognition = tuples("TuplesRecognition");
        return p;
    }
};

}  // namespace etalon::test
