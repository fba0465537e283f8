// The window's main views, hashed pixel for pixel: code moved between files
// must leave every picture as it was. A deliberate change of a picture
// prints the new hashes to paste here.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "app/main_menu.h"
#include "app/workbench.h"
#include "graphs/stat_plot_text.h"
#include "support/open_window.h"

namespace etalon {
namespace {

using platform::Rect;

uint64_t surfaceHash(const platform::Surface& s) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a over the packed pixels
    const uint32_t* p = s.data();
    for (std::size_t i = 0; i < std::size_t(s.width()) * s.height(); ++i) {
        for (int b = 0; b < 4; ++b) {
            h ^= (p[i] >> (8 * b)) & 0xffu;
            h *= 1099511628211ull;
        }
    }
    return h;
}

struct View {
    std::string name;
    uint64_t hash;
};

struct GoldenWindow : test::OpenWindow {
    std::vector<View> seen;
    void choose(uint16_t id) { window->chooseMenuItem(id); }
    void click(const Rect& r) {
        const auto x = static_cast<int16_t>((r.left + r.right) / 2);
        const auto y = static_cast<int16_t>((r.top + r.bottom) / 2);
        workbench.onMouseDown(*window, x, y, platform::kMouseLeft);
        workbench.onMouseUp(*window, x, y, 0);
        window->paint();
    }
    // What the window shows after a full repaint.
    void record(const std::string& name) {
        window->invalidateAll(true);
        window->paint();
        seen.push_back({name, surfaceHash(window->surface())});
    }
};

// Presses each modal dialog's default button; the progress dialog runs on.
void acceptDialogs() {
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    QTimer* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (!top->isVisible() || !top->isModal() || qobject_cast<QProgressDialog*>(top))
                continue;
            for (QPushButton* button : top->findChildren<QPushButton*>()) {
                if (button->isDefault()) {
                    button->click();
                    return;
                }
            }
        }
    });
    timer->start(10);
}

void stopAccepting() {
    for (QTimer* t : qApp->findChildren<QTimer*>())
        delete t;
}

void expectHashes(const std::vector<View>& seen, const std::vector<View>& golden) {
    std::string table;
    for (const View& v : seen) {
        char line[120];
        std::snprintf(line, sizeof line, "        {\"%s\", 0x%016llxull},\n", v.name.c_str(),
                      static_cast<unsigned long long>(v.hash));
        table += line;
    }
    ASSERT_EQ(seen.size(), golden.size()) << table;
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].name, golden[i].name);
        EXPECT_EQ(seen[i].hash, golden[i].hash) << seen[i].name << "\nnow:\n" << table;
    }
}

TEST(SurfaceGolden, StartUpAndTheResultsOfEverySeriesType) {
    GoldenWindow w;
    w.record("start-up");
    for (uint16_t type : {kCmdFixedWhole, kCmdUnfixedWhole, kCmdFixedCutoff, kCmdUnfixedCutoff}) {
        w.choose(type);
        w.click(w.workbench.layout().rcStartButton1);
        w.record("results of type " + std::to_string(type));
        w.choose(kCmdShowMatchedFilterPulses);
        w.record("with the matched filter's pulses");
        w.choose(kCmdShowMatchedFilterPulses);
    }
    for (uint16_t task : {kCmdDetection, kCmdRecognition}) {
        GoldenWindow t;
        t.choose(kCmdFixedTuples);
        t.choose(task);
        t.click(t.workbench.layout().rcStartButton1);
        t.record("subset panel");
        for (int k : {2, 4, 6})
            t.click(t.state().subsetPanel.offeredCellRects[k]);
        t.record("subset panel with a pattern");
        t.click(t.state().subsetPanel.buttonsWhileSelectedSubsetRect[kButtonOk]);
        t.record("tuples results");
        w.seen.insert(w.seen.end(), t.seen.begin(), t.seen.end());
    }
    w.choose(kCmdViewSeriesParameters);
    w.record("parameter panel");
    expectHashes(w.seen, {
                             {"start-up", 0x23440ec964bd9fa8ull},
                             {"results of type 40008", 0x43eb77d70a73f267ull},
                             {"with the matched filter's pulses", 0x4795b1c74cf630ffull},
                             {"results of type 40009", 0x23dfb22f636fb7d6ull},
                             {"with the matched filter's pulses", 0x6513a9e49679119eull},
                             {"results of type 40010", 0x66c1961cf852ca03ull},
                             {"with the matched filter's pulses", 0xdcf7d46e6173651bull},
                             {"results of type 40011", 0x2e97c0febb86f76bull},
                             {"with the matched filter's pulses", 0x1eede925491ce296ull},
                             {"subset panel", 0x7ee799cb4592a613ull},
                             {"subset panel with a pattern", 0x3b4a3b40184b93bbull},
                             {"tuples results", 0x314f266698ebff8bull},
                             {"subset panel", 0x2f9e75c8978d54a5ull},
                             {"subset panel with a pattern", 0xcfdac851324f5bbdull},
                             {"tuples results", 0xcfdac851324f5bbdull},
                             {"parameter panel", 0xb477d315fd3f0950ull},
                         });
}

TEST(SurfaceGolden, SimulationPlotsInEveryMode) {
    for (bool compared : {false, true}) {
        GoldenWindow w;
        w.state().wNoiseSteps = 3;
        w.state().wNoiseIncrement = 40;
        w.state().wRepeats = 2;
        if (compared) w.choose(kCmdCompareMatchedFilter);
        acceptDialogs();
        w.choose(kCmdStatSimulation);
        stopAccepting();
        ASSERT_TRUE(w.state().lpRestErrorHeader);
        // The plots print when the run started and ended.
        w.state().simulationStartTime = 1'800'000'000;
        w.state().simulationEndTime = 1'800'000'075;
        for (StatPlotMode mode :
             {StatPlotMode::RestoredComponents, StatPlotMode::RestoredAggregate,
              StatPlotMode::DetectionComponents, StatPlotMode::DetectionAggregate,
              StatPlotMode::RecognitionComponents, StatPlotMode::RecognitionAggregate,
              StatPlotMode::RecognitionComponentsBounds,
              StatPlotMode::RecognitionAggregateBounds}) {
            w.state().nStatPlotMode = mode;
            w.record("mode " + std::to_string(static_cast<int>(mode)));
        }
        if (!compared) {
            expectHashes(w.seen, {
                                     {"mode 0", 0xfcc8fe90e4b40772ull},
                                     {"mode 1", 0xddd58049085ecf0eull},
                                     {"mode 2", 0x18cdd4293b553a46ull},
                                     {"mode 3", 0x4c21a843d64324bbull},
                                     {"mode 4", 0xc83f98efd1e9f48bull},
                                     {"mode 5", 0xcf25b96e15b84002ull},
                                     {"mode 12", 0xc83f98efd1e9f48bull},
                                     {"mode 13", 0xcf25b96e15b84002ull},
                                 });
        } else {
            expectHashes(w.seen, {
                                     {"mode 0", 0x12fb0faa32f1fc6eull},
                                     {"mode 1", 0xa205f69871951aaaull},
                                     {"mode 2", 0xf5977e6f7afbd4caull},
                                     {"mode 3", 0x10108696a0302143ull},
                                     {"mode 4", 0xe6a75e93cc85144aull},
                                     {"mode 5", 0x294a55f9c700d6b3ull},
                                     {"mode 12", 0xe6a75e93cc85144aull},
                                     {"mode 13", 0x294a55f9c700d6b3ull},
                                 });
        }
    }
}

}  // namespace
}  // namespace etalon
