#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/command_host.h"
#include "app/window_layout.h"
#include "base/message_sink.h"
#include "processing/restoring.h"

namespace etalon {

// Every command of the menu and the internal commands the window sends
// itself. A chain of internal commands runs nested through the host and stops
// at the first step that reports a failure.
class CommandHandler {
  public:
    CommandHandler(AppState& state, const WindowLayout& layout, CommandHost& host,
                   MessageSink& sink, const RestoringProcedures& procedures);

    void onCommand(uint16_t id);

  private:
    // File commands.
    void newPulses();
    void createSeries();
    bool askSeriesStructure();
    void applyCreatedSeries();
    // Recordings, alphabets and results in files.
    void openSeries();
    void saveSeries();
    void exportResults();
    void openEtalons();
    void saveEtalons();
    void etalonFromSeries();
    void adoptAlphabetSelection();
    void refuseFile(const std::string& why, const char* caption);
    // Task and series types.
    void chooseTask(uint16_t id);
    void chooseSeriesType(uint16_t id);
    void rerun(uint16_t next);
    // The chain.
    void seriesParameters();
    // The statistical simulation.
    void statisticalSimulation();
    bool locationParameters();
    void runSimulation(std::unique_ptr<SeriesHeader> series);
    void noteUnusableUpperBound(double bound);
    void showStatisticalSimulation();
    void exportSimulationTable();
    // The panels and the two settings dialogs.
    void viewSeriesParameters();
    void subsetSettings();
    void drawingSettings();
    void nextSeries();
    void newGeometry();
    void makeSeries();
    void addNoise();
    void process();
    bool runProcedure();
    // The matched filter beside the exact procedures.
    void compareMatchedFilter();
    void showMatchedFilterPulses();
    void refreshMatchedFilterPulses(RestoringProcedure procedure);
    void selectorPick();
    // Repaints.
    void resultsRepaint();
    void etalonHighlight();
    void gridRepaint();
    void reservedRowsRepaint();
    void repaintGraphArea(bool erase);
    void repaintIfWorkingSetChanged(const std::array<int16_t, kEtalonsNumber + 1>& before);
    void repaintButtonColumn();
    // Each selector whose flag is set, with erase; the flags are cleared.
    void repaintFlaggedSelectors();
    void invalidate(const Rect& rect, bool erase) { host_.invalidate(&rect, erase); }

    AppState& state_;
    const WindowLayout& layout_;
    CommandHost& host_;
    MessageSink& sink_;
    const RestoringProcedures& procedures_;
};

// Asked before a command replaces a loaded recording: true when the user
// keeps it, and the command then does nothing.
bool keepsLoadedRecording(const AppState& state, CommandHost& host);

// Runs one input of the user with every command it sends. When a
// restoration in it is cancelled or refused, the whole state goes back to
// what it was before the input: the steps before the restoration changed it
// on their way (a new series, the streams, the settings taken over).
void runUndoableInput(AppState& state, const std::function<void()>& input);

// Makes lpEtalonSequence hold at least `entries` entries, keeping those it has
// and filling the new ones with nDefaultEtalon.
void growEtalonSequence(AppState& state, std::size_t entries);

// The reserved subsets of the subset panel, each as long as its stored length.
std::vector<std::span<const int32_t>> reservedTuples(const SubsetPanelState& panel);

// The panel's reserved subsets stored into the series record, the picked one
// made current; returns 0 after a reported failure.
int storeReservedSubsets(MessageSink& sink, AppState& state);
// The panel's selection made the series record's current subset.
void handSelectionToSeries(AppState& state);

}  // namespace etalon
