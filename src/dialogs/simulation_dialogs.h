#pragma once

#include <cstdint>

#include "platform/dialog.h"

namespace etalon {

// Dialog ids as the commands name them.
inline constexpr int kDialogLocationParameters = 110;
inline constexpr int kDialogStatisticsView = 113;
inline constexpr int kDialogRecognitionStatisticsView = 114;

// Controls of dialog 110.
inline constexpr int kEditPulsesFrom = 1015;
inline constexpr int kEditPulsesTo = 1016;
inline constexpr int kEditPulsesIncrement = 1017;
inline constexpr int kEditNoiseSteps = 1018;
inline constexpr int kEditNoiseInitial = 1019;
inline constexpr int kEditNoiseIncrement = 1020;
inline constexpr int kEditRepeats = 1021;

// Controls of dialogs 113 and 114 (the last two in 114 only).
inline constexpr int kRadioRestoringError = 1028;
inline constexpr int kRadioDetectionError = 1029;
inline constexpr int kRadioComponentwise = 1030;
inline constexpr int kRadioSummaryView = 1031;
inline constexpr int kCheckFixedUpperBound = 1032;
inline constexpr int kEditUpperBound = 1033;
inline constexpr int kRadioRecognitionError = 1034;
inline constexpr int kCheckBoundsIncluded = 1042;

// Dialog 110: the ranges of the statistical simulation. The fields are shown
// at start and, once every one passes its check, written back by OK.
struct LocationParametersValues {
    uint16_t dlgMinPulses = 6;
    uint16_t dlgMaxPulses = 30;
    uint16_t pulsesIncrement = 1;  // 0 is accepted; the command counts it as 1
    uint16_t noiseInitial = 0;
    uint16_t noiseSteps = 29;
    uint16_t noiseIncrement = 5;
    uint16_t repeats = 100;
    // What the checks need: the most pulses the series geometry holds and
    // the largest noise level a series may get (that of dialog 106).
    uint16_t geometryMaxPulses = 30;
    int16_t maxNoiseLevel = 0;  // the caller's ceiling: pure + 6 sigma within 16 bits
    int32_t accepted = 0;
};

// Dialogs 113 and 114: what the statistics plot shows. The procedure works
// on a copy and writes it back at OK; Cancel leaves the values as they were.
struct StatisticsViewValues {
    int32_t errorKind = 1;        // 1 restoring, 2 detection, 3 recognition error
    int32_t viewCase = 1;         // 1 componentwise, 2 summary view
    int32_t fixedUpperBound = 0;  // the bound below is used only when set
    double upperBound = 0.25;
    int32_t boundsIncluded = 1;  // dialog 114 only
};

platform::DialogTemplate locationParametersTemplate();
platform::DialogTemplate statisticsViewTemplate();             // dialog 113
platform::DialogTemplate recognitionStatisticsViewTemplate();  // dialog 114

// The procedures; each keeps a reference to its values.
platform::DialogProcedure locationParametersProcedure(LocationParametersValues& values);
platform::DialogProcedure statisticsViewProcedure(StatisticsViewValues& values);
platform::DialogProcedure recognitionStatisticsViewProcedure(StatisticsViewValues& values);

}  // namespace etalon
