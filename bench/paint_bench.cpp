// A full repaint of the client area (1280 x 800): the alphabet grid at
// start-up and the results view after one processed series, as the window
// draws them, and the results view recorded as SVG. Painting must stay as
// fast as the plain raster path.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/command_handler.h"
#include "app/main_menu.h"
#include "app/painting.h"
#include "app/recording_navigation.h"
#include "app/recording_view.h"
#include "platform/fonts.h"
#include "platform/svg_recorder.h"
#include "support/fake_host.h"
#include "support/long_recording_fixture.h"
#include "support/recording_sink.h"

namespace etalon {
namespace {

struct PaintedWindow {
    test::RecordingSink sink;
    AppState state;
    WindowLayout layout;
    std::array<std::optional<platform::Bitmap>, 5> bitmaps;
    platform::Surface surface{1280, 800};

    explicit PaintedWindow(bool results) {
        createStartupState(state, sink);
        paint();
        if (results) {
            test::FakeHost host;
            CommandHandler handler(state, layout, host, sink, workbenchRestoringProcedures());
            host.dispatch = [&](uint16_t id) { handler.onCommand(id); };
            handler.onCommand(kCmdNextData);
        }
    }
    ~PaintedWindow() { destroyState(state); }
    void paint() {
        surface.fill(platform::kWhite);
        platform::DeviceContext dc(surface);
        paintWindow(state, layout, bitmaps, {0, 0, surface.width(), surface.height()}, dc, sink);
    }
};

void fullRepaint(benchmark::State& run, bool results) {
    PaintedWindow window(results);
    for (auto _ : run) {
        window.paint();
        benchmark::DoNotOptimize(window.surface.data());
    }
}

void BM_RepaintAlphabetGrid(benchmark::State& run) {
    fullRepaint(run, false);
}
void BM_RepaintResultsView(benchmark::State& run) {
    fullRepaint(run, true);
}
// The same paint pass recorded as an SVG document (" Save image as..." .svg).
void BM_RecordResultsViewAsSvg(benchmark::State& run) {
    PaintedWindow window(true);
    for (auto _ : run) {
        platform::SvgRecorder recorder(window.surface.width(), window.surface.height());
        platform::DeviceContext dc(window.surface, recorder);
        WindowLayout layout;
        paintWindow(window.state, layout, window.bitmaps,
                    {0, 0, window.surface.width(), window.surface.height()}, dc, window.sink);
        benchmark::DoNotOptimize(recorder.finish());
    }
}

// A long recording's view after a move or a zoom: the key, then a full
// repaint, over spans from 100 samples to the whole recording (an envelope).
struct LongWindow : PaintedWindow {
    explicit LongWindow(std::size_t samples) : PaintedWindow(false) {
        test::showLongRecording(state, samples, 300);
    }
};

void BM_LongRecordingMoveAndRepaint(benchmark::State& run) {
    LongWindow window(static_cast<std::size_t>(run.range(0)));
    const uint64_t total = window.state.longRecording->size();
    // PageDown at every zoom from the least span to the whole, then back.
    const int keys[] = {kVkPageDown, kVkOemMinus, kVkRight, kVkAdd, 'N', kVkEnd, kVkHome};
    std::size_t k = 0;
    for (auto _ : run) {
        if (!navigateByKey(window.state, keys[k++ % std::size(keys)])) run.SkipWithError("no move");
        if (k % 40 == 0) window.state.recordingView = {0, 100};
        if (k % 40 == 20) window.state.recordingView = {0, total};
        window.paint();
        benchmark::DoNotOptimize(window.surface.data());
    }
    run.counters["envelope_share"] =
        static_cast<double>(window.state.longRecording->envelope.bytes()) / (2.0 * total);
}

BENCHMARK(BM_RepaintAlphabetGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongRecordingMoveAndRepaint)
    ->Arg(1'000'000)
    ->Arg(31'104'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintResultsView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordResultsViewAsSvg)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace etalon

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    etalon::platform::loadApplicationFonts();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
