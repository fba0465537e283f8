#pragma once

// A monkey at the window: random menu commands, presses, drags and dialog
// answers from a seed, with the state checked after every event.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "app/main_menu.h"
#include "dialogs/simulation_dialogs.h"
#include "support/command_rig.h"

namespace etalon::test {

inline unsigned long fromEnvironment(const char* name, unsigned long fallback) {
    const char* text = std::getenv(name);
    return text ? std::strtoul(text, nullptr, 10) : fallback;
}

class Monkey {
  public:
    // Called after every event, e.g. to paint the window as it now stands.
    std::function<void(AppState&, WindowLayout&)> afterEvent;

    explicit Monkey(unsigned seed) : rng_(seed) {
        rig_.procedures = workbenchRestoringProcedures();
        rig_.host.defaultScript = [this](FakeDialogContext& c, const platform::DialogProcedure& p) {
            answer(c, p);
        };
        folder_ =
            std::filesystem::temp_directory_path() / ("etalon_monkey_" + std::to_string(seed));
        std::filesystem::create_directories(folder_);
    }
    ~Monkey() { std::filesystem::remove_all(folder_); }

    void event() {
        randomEvent();
        if (afterEvent) afterEvent(rig_.state, rig_.layout);
    }

    void randomEvent() {
        switch (pick(0, 9)) {
            case 0:
            case 1:
            case 2:
                return command();
            case 3:
            case 4:
                return rig_.press(pick(-5, 1030), pick(-5, 705));
            case 5:
            case 6:
                return pressSomethingDrawn();
            case 7:
                return drag();
            default:
                return command(kCmdNextData);
        }
    }

    // What must hold whatever happened.
    void check(unsigned long step) const {
        const AppState& s = rig_.state;
        SCOPED_TRACE("event " + std::to_string(step));
        ASSERT_TRUE(s.nDisplayMode == DisplayMode::AlphabetGrid ||
                    s.nDisplayMode == DisplayMode::Results ||
                    s.nDisplayMode == DisplayMode::SubsetPanel ||
                    s.nDisplayMode == DisplayMode::ParameterPanel)
            << static_cast<int>(s.nDisplayMode);
        ASSERT_TRUE(s.wMainView == MainView::SeriesGraph || s.wMainView == MainView::Statistics);
        if (s.nDisplayMode == DisplayMode::Results && s.wMainView == MainView::Statistics) {
            ASSERT_TRUE(s.lpRestErrorHeader && s.lpRestErrorHeader->ifComplete);
        }
        ASSERT_LE(s.wRequiredCount, s.lpRequiredList.size());
        for (uint16_t i = 0; i < s.wRequiredCount; ++i) {
            const uint16_t e = s.lpRequiredList[i];
            ASSERT_TRUE(e >= 1 && e <= s.wEtalonsNumber) << e;
            ASSERT_EQ(s.selectedFlags[e], 1) << "etalon " << e << " listed but not flagged";
        }
        for (uint16_t k = 1; k <= s.wEtalonsNumber; ++k) {
            if (s.selectedFlags[k] != 1) continue;
            const auto listed = s.lpRequiredList.begin() + s.wRequiredCount;
            ASSERT_NE(std::find(s.lpRequiredList.begin(), listed, k), listed)
                << "etalon " << k << " flagged but not listed";
        }
        ASSERT_TRUE(s.lpChainsHeader);
        ASSERT_GE(s.lpEtalonSequence.size(), s.wMaxPulses);
        // The Repeat commands change the task ahead of the next series.
        ASSERT_TRUE(codeNumber(effectiveTask(s.wEffectiveTask, s.wSeriesType)) != 0);
    }

    // How much of the program the run went through.
    std::string summary() const {
        const auto& sent = rig_.host.sent;
        const auto count = [&sent](uint16_t id) {
            return std::count(sent.begin(), sent.end(), id);
        };
        return std::to_string(count(kCmdProcess)) + " restorations, " +
               std::to_string(rig_.host.progressTotals.size()) + " simulations, " +
               std::to_string(rig_.host.dialogs.size()) + " dialogs, " +
               std::to_string(rig_.sink.messages.size()) + " messages";
    }

  private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    void command(uint16_t id = 0) {
        static constexpr uint16_t kCommands[] = {kCmdCreateSeries,
                                                 kCmdNewPulses,
                                                 kCmdExit,
                                                 kCmdDetection,
                                                 kCmdRecognition,
                                                 kCmdJointDetection,
                                                 kCmdFixedWhole,
                                                 kCmdUnfixedWhole,
                                                 kCmdFixedCutoff,
                                                 kCmdUnfixedCutoff,
                                                 kCmdStatSimulation,
                                                 kCmdShowStatSimulation,
                                                 kCmdSelectPulses,
                                                 kCmdSameData,
                                                 kCmdNextData,
                                                 kCmdMoreDetails,
                                                 kCmdTypeMoreDetails,
                                                 kCmdFixedCase,
                                                 kCmdUnfixedCase,
                                                 kCmdRepeatDetection,
                                                 kCmdRepeatRecognition,
                                                 kCmdRepeatJoint,
                                                 kCmdRepeatSeriesProcessing,
                                                 kCmdSeriesProcessing,
                                                 kCmdFixedTuples,
                                                 kCmdSubsetSettings,
                                                 kCmdDrawingSettings,
                                                 kCmdViewSeriesParameters,
                                                 kCmdUnfixedTuples,
                                                 kCmdDebuggingRepeat,
                                                 kCmdExportSimulationTable,
                                                 kCmdElseCreateSeries,
                                                 kCmdSaveImage};
        if (id == 0) id = kCommands[pick(0, std::size(kCommands) - 1)];
        static const char* const kNames[] = {"table",    "shot.bmp", "shot.PCX", "shot.png",
                                             "shot.svg", "shot.gif", "shot"};
        rig_.host.saveChoice =
            SaveChoice{(folder_ / kNames[pick(0, std::size(kNames) - 1)]).string(),
                       static_cast<std::size_t>(pick(0, 3))};
        rig_.host.clientArea = {4, 3, std::vector<uint32_t>(12, pick(0, 1) ? 0xffffffff : 0)};
        rig_.host.cancelAt = pick(0, 4) == 0 ? std::optional<uint32_t>(pick(0, 3)) : std::nullopt;
        rig_.command(id);
        rig_.layOut();
    }

    void pressSomethingDrawn() {
        const AppState& s = rig_.state;
        const WindowLayout& l = rig_.layout;
        std::vector<platform::Rect> targets = {l.rcStartButton, l.rcToggleButton, l.rcStartButton1,
                                               l.rcExitButton};
        for (const auto& r : l.rcCells)
            targets.push_back(r);
        for (const auto* items : {&l.rcLengthItems, &l.rcNoiseItems, &l.rcLostItems})
            for (const auto& r : *items)
                targets.push_back(r);
        const auto& panel = s.subsetPanel;
        for (const auto& r : panel.offeredCellRects)
            targets.push_back(r);
        for (const auto& r : panel.possibleSubsetRect)
            targets.push_back(r);
        for (const auto& r : panel.buttonsWhileSelectedSubsetRect)
            targets.push_back(r);
        for (const auto& row : panel.possibleSubsetArrayRect)
            targets.push_back(row.back());
        for (const auto& r : panel.listedReservedRects)
            targets.push_back(r);
        rig_.pressIn(targets[pick(0, static_cast<int>(targets.size()) - 1)]);
        rig_.layOut();
    }

    void drag() {
        PressHandler presses(rig_.state, rig_.layout, rig_.host, rig_.sink);
        int x = pick(0, 1024), y = pick(0, 700);
        presses.onPress(x, y);
        for (int i = pick(1, 6); i > 0; --i) {
            x += pick(-60, 60);
            y += pick(-60, 60);
            presses.onMove(x, y);
        }
        presses.onRelease(x, y);
    }

    std::string randomText() {
        switch (pick(0, 6)) {
            case 0:
                return "";
            case 1:
                return "abc";
            case 2:
                return std::to_string(pick(-100000, 100000));
            case 3:
                return std::to_string(pick(0, 40)) + "," + std::to_string(pick(0, 40));
            case 4:
                return "1e9";
            default:
                return std::to_string(pick(0, 300));
        }
    }

    // Random field texts, then OK or Cancel; the simulation ranges stay tiny
    // so that a run takes a few series.
    void answer(FakeDialogContext& c, const platform::DialogProcedure& procedure) {
        const bool typing = pick(0, 1) == 0;  // half the time the values shown are kept
        for (auto& [id, text] : c.texts) {
            if (typing && pick(0, 2) == 0) text = randomText();
        }
        for (auto& [id, checked] : c.checks) {
            if (pick(0, 3) == 0) checked = !checked;
        }
        if (c.texts.count(kEditRepeats)) {
            c.texts[kEditPulsesFrom] = std::to_string(pick(0, 3));
            c.texts[kEditPulsesTo] = std::to_string(pick(1, 4));
            c.texts[kEditNoiseSteps] = std::to_string(pick(0, 3));
            c.texts[kEditRepeats] = std::to_string(pick(0, 2));
        }
        const int button = pick(0, 4) == 0 ? platform::kIdCancel : platform::kIdOk;
        c.press(procedure, button);
        if (!c.ended) c.press(procedure, platform::kIdCancel);
    }

    std::mt19937 rng_;
    CommandRig rig_;
    std::filesystem::path folder_;
};

// Runs ETALON_MONKEY_EVENTS events (default `events`) from ETALON_MONKEY_SEED
// (default a fixed seed), checking after each.
inline void runMonkey(unsigned long events,
                      const std::function<void(AppState&, WindowLayout&)>& after = {}) {
    events = fromEnvironment("ETALON_MONKEY_EVENTS", events);
    const auto seed = static_cast<unsigned>(fromEnvironment("ETALON_MONKEY_SEED", 20261207));
    std::printf("monkey: seed %u, %lu events\n", seed, events);
    Monkey monkey(seed);
    monkey.afterEvent = after;
    for (unsigned long step = 0; step < events; ++step) {
        monkey.event();
        monkey.check(step);
        if (testing::Test::HasFatalFailure()) return;
    }
    std::printf("monkey: %s\n", monkey.summary().c_str());
}

}  // namespace etalon::test
