#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "app/crt_random.h"
#include "app/long_recording.h"
#include "graphs/series_graph.h"
#include "graphs/stat_plot_text.h"
#include "panels/params_header.h"
#include "panels/subset_panel.h"
#include "platform/geometry.h"
#include "processing/chains_header.h"
#include "processing/task_codes.h"
#include "pulses/pulse_header.h"
#include "pulses/random_streams.h"
#include "series/series_codes.h"
#include "series/series_header.h"
#include "series/series_making.h"
#include "simulation/rest_error_header.h"

namespace etalon {

inline uint16_t defaultPulseCount(const PulseCountBounds& bounds) {
    return static_cast<uint16_t>((bounds.minPulses + bounds.maxPulses) / 2);
}

// What the graph area shows.
enum class DisplayMode : int32_t {
    AlphabetGrid = 5,
    Results = 6,  // the series graph or the statistics, as MainView says
    SubsetPanel = 9,
    ParameterPanel = 10,
};

// What the results view shows.
enum class MainView : uint16_t { SeriesGraph = 1, Statistics = 2 };

// Owns one record as std::unique_ptr does. A copy copies the record and
// equality compares the records, so the whole state can be kept aside and
// compared with what a command left.
template <typename Record>
class RecordPtr : public std::unique_ptr<Record> {
    using Base = std::unique_ptr<Record>;

  public:
    RecordPtr() = default;
    RecordPtr(Base&& record) noexcept : Base(std::move(record)) {}
    RecordPtr(const RecordPtr& other) : Base(copyOf(other)) {}
    RecordPtr(RecordPtr&&) noexcept = default;
    RecordPtr& operator=(const RecordPtr& other) {
        Base::operator=(copyOf(other));
        return *this;
    }
    RecordPtr& operator=(RecordPtr&&) noexcept = default;
    RecordPtr& operator=(Base&& record) noexcept {
        Base::operator=(std::move(record));
        return *this;
    }
    friend bool operator==(const RecordPtr& a, const RecordPtr& b) {
        return a && b ? *a == *b : !a && !b;
    }

  private:
    static Base copyOf(const RecordPtr& other) {
        return other ? std::make_unique<Record>(*other) : nullptr;
    }
};

// Plot selector of the statistics view from error kind, view case and "bounds incl.".
StatPlotMode statPlotMode(int32_t errorKind, int32_t viewCase, bool boundsIncluded);

// Every setting, current object and transient flag of the workbench. The
// initial values are those before the window exists; window creation then
// sets the final start-up state.
struct AppState {
    // Task and series type.
    TaskCode wTaskType = TaskCode::Recognition;
    TaskCode wEffectiveTask = TaskCode::Recognition;
    SeriesCode wSeriesType = SeriesCode::FixedWhole;

    // Alphabet and etalon selection.
    uint16_t wEtalonsNumber = kEtalonsNumber;
    uint16_t wEtalonLength = kEtalonLength;
    uint16_t wPulseAmplitude = kPulseAmplitude;
    std::array<PulseHeader, kEtalonsNumber> alphabet{};
    int32_t bAlphabetReady = 0;
    std::array<int16_t, kEtalonsNumber + 1> selectedFlags{};  // indexed 1..20
    std::vector<uint16_t> lpRequiredList;
    uint16_t wRequiredCount = 0;
    uint16_t wRequiredCapacity = kEtalonsNumber;
    int32_t nSelectedEtalon = 1;
    int32_t nPrevSelectedEtalon = 0;
    int32_t nDefaultEtalon = 1;

    // Series geometry.
    std::array<uint32_t, 3> seriesLengthTable{200, 600, 1200};
    int32_t nSeriesLengthIndex = 3;
    uint32_t dwSeriesLength = 1200;
    uint32_t dwNewSeriesLength = 1200;
    uint16_t wTmin = 40;
    uint16_t wTmax = 181;
    uint16_t wMinPulses = 6;
    uint16_t wMaxPulses = 30;
    uint16_t wRequestedPulses = 18;
    uint16_t wSeriesPulses = 18;
    std::vector<uint16_t> lpEtalonSequence;  // capacity = size
    std::vector<uint16_t> lpEditedSequence;
    CrtRandom crtRandom;  // draws the random etalon sequences; never reseeded

    // Levels.
    std::array<int16_t, 3> noiseLevelTable{20, 35, 50};
    int32_t nNoiseIndex = 1;
    int16_t wNoiseLevel = 20;
    int16_t wNewNoiseLevel = 20;
    std::array<int16_t, 3> lostLevelTable{0, 25, 50};
    int32_t nLostIndex = 2;
    int16_t wLostLevel = 25;
    int16_t wNewLostLevel = 25;
    uint16_t wMakingLevel = 75;
    uint16_t wProcessingLevel = 75;
    uint16_t wNewMakingLevel = 75;
    uint16_t wNewProcessingLevel = 75;
    RandomStreams streams;  // wNoiseSeed among them

    // Statistical simulation ranges.
    uint16_t wPulsesIncrement = 1;
    uint16_t wPulsesSteps = 0;
    uint16_t wNoiseInitial = 0;
    uint16_t wNoiseSteps = 29;
    uint16_t wNoiseIncrement = 5;
    uint16_t wRepeats = 100;

    // Subset settings.
    uint16_t wSubsetEmployment = 4;
    uint16_t wSubsetInitPosition = 1;
    uint16_t wSubsetProceeding = 1;

    // Display settings.
    DisplayMode nDisplayMode = DisplayMode::AlphabetGrid;
    MainView wMainView = MainView::SeriesGraph;
    TuplesHighlight wTuplesHighlight = TuplesHighlight::ColouredBackground;
    int32_t bFrameGraphFields = 1;
    int32_t bShadedOriginalPulses = 1;
    int32_t bHighlightDetectedPulses = 1;
    int32_t bSpecialGraphSize = 0;
    int32_t nErrorKind = 1;
    int32_t nViewCase = 1;
    int32_t bFixedUpperBound = 0;
    double dUpperBound = 0.25;
    int32_t bBoundsIncluded = 1;
    StatPlotMode nStatPlotMode = StatPlotMode::DetectionComponents;
    // The greedy matched filter beside the exact procedures: its curves in the
    // statistics (a simulation then scores both), its pulses in the results view.
    int32_t bCompareMatchedFilter = 0;
    int32_t bShowMatchedFilterPulses = 0;

    // Current objects.
    RecordPtr<SeriesHeader> lpSeriesHeader;
    RecordPtr<ChainsHeader> lpChainsHeader;
    RecordPtr<RestErrorHeader> lpRestErrorHeader;  // the last complete simulation
    // The matched filter's errors over the same grid and series; null when
    // that simulation did not compare.
    RecordPtr<RestErrorHeader> lpBaselineErrorHeader;
    // A copy of the series restored by the matched filter after the last
    // restoration; shown only while the series on screen has its samples.
    RecordPtr<SeriesHeader> lpBaselineSeriesHeader;
    // When it started and ended (calendar seconds).
    std::time_t simulationStartTime = 0;
    std::time_t simulationEndTime = 0;
    RecordPtr<ParamsHeader> lpParamsHeader;  // once the parameter panel was opened
    // The series record holds a recording read from a file: it has no true
    // pulses, and a command that would replace it asks first.
    int32_t bSeriesWithoutTruth = 0;
    std::string recordingName;      // the file it came from
    uint64_t dwRecordingFirst = 0;  // its first sample's index in the file
    double dRecordingRate = 0;      // samples per second; 0 when the file gave none
    // A recording longer than a series, restored whole; lpSeriesHeader then
    // holds its first 32,767 samples. The view is the span the results show.
    std::shared_ptr<const LongRecording> longRecording;
    RecordingView recordingView;
    // The overview's box or the scroll bar's thumb being dragged: the pointer's
    // distance from the span's first sample, in samples.
    int32_t bRecordingDrag = 0;
    int64_t recordingGrab = 0;
    SubsetPanelState subsetPanel;
    ParamsPanelPlaces paramsPanel;
    // The pointer shape before a grip of the parameter panel changed it.
    platform::CursorShape previousCursor = platform::CursorShape::Arrow;

    // Pending values of dialog 105.
    uint32_t dwDlgSeriesLength = 1200;
    uint16_t wDlgTmin = 40;
    uint16_t wDlgTmax = 181;
    uint16_t wDlgMakingLevel = 100;
    uint16_t wDlgProcessingLevel = 100;
    uint16_t wDlgMinPulses = 6;
    uint16_t wDlgMaxPulses = 30;
    uint16_t wDlgPulses = 40;
    int16_t wDlgNoiseLevel = 20;
    int32_t bDialogAccepted = 0;

    // Transient flags.
    int32_t bNoErase = 0;
    int32_t bDebuggingRepeat = 0;
    int32_t bRepaintButtons = 0;
    int32_t bRepaintLength = 0;
    int32_t bRepaintNoise = 0;
    int32_t bRepaintLost = 0;
    int32_t bFirstLocation = 1;
    // Set when a restoration was cancelled or refused: the input that led to
    // it is undone as a whole (see runUndoableInput).
    int32_t bDropInput = 0;

    bool operator==(const AppState&) const = default;
};

// The task the next run has, which decides the subset panel's kind: choosing
// a tuples series type only takes effect at the next series.
inline TaskCode subsetPanelTask(const AppState& state) {
    return effectiveTask(state.wTaskType, state.wSeriesType);
}

// Rebuilds the working set (lpRequiredList, wRequiredCount) from selectedFlags.
void rebuildRequiredList(AppState& state);

// Takes the three selector entries over as the pending length, noise and lost-data levels.
void applySelectorPicks(AppState& state);

// Resets the lost-data selector and every saved-energy level, as choosing a
// whole-pulse series type does.
void resetLevels(AppState& state);

// The state window creation leaves behind, apart from anything on screen:
// alphabet, working set, task and series type, geometry, sequences, levels,
// results record and the first series of 18 pulses without noise.
void createStartupState(AppState& state, MessageSink& sink);

// Makes the next series into lpSeriesHeader from the current length, bounds,
// pulse count, sequence and making level; the unfixed types draw their count,
// which then becomes wSeriesPulses. No noise: that is a step of its own.
SeriesMade makeSeriesFromState(AppState& state, MessageSink& sink);

// Releases every record and list, as window destruction does.
void destroyState(AppState& state);

}  // namespace etalon
