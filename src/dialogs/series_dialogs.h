#pragma once

#include <cstdint>
#include <span>

#include "platform/dialog.h"

namespace etalon {

// Dialog ids as the commands name them.
inline constexpr int kDialogSeriesGeometry = 105;
inline constexpr int kDialogSeriesStructure = 106;
inline constexpr int kDialogRequiredList = 107;

// Ids of their controls.
enum : int {
    kEditLength = 1000,
    kEditTmin = 1001,
    kEditTmax = 1003,
    kEditEtalon = 1004,
    kEditMakingLevel = 1005,
    kEditProcessingLevel = 1006,
    kEditPulses = 1007,
    kLabelPulses = 1008,
    kLabelSequence = 1009,
    kEditSequence = 1010,
    kEditNoise = 1011,
    kLabelList = 1012,
    kEditList = 1013,
    kEditCount = 1014,
};

// Dialog 105: geometry and saved-energy levels of the next series. The start
// values fill the edits; OK stores the typed values in the pending fields
// (the etalon number at once) once every field passes its check.
struct SeriesGeometryValues {
    // Shown at start.
    uint32_t seriesLength = 1200;
    uint16_t tmin = 40;
    uint16_t tmax = 181;
    uint16_t makingLevel = 100;
    uint16_t processingLevel = 100;
    int32_t selectedEtalon = 1;
    // What the checks need.
    uint16_t pulseLength = 20;
    uint16_t etalons = 20;
    // Written by OK.
    uint32_t dlgSeriesLength = 0;
    uint16_t dlgTmin = 0;
    uint16_t dlgTmax = 0;
    uint16_t dlgMakingLevel = 0;
    uint16_t dlgProcessingLevel = 0;
    int32_t defaultEtalon = 1;
    int32_t accepted = 0;
};

// Dialog 106: pulse count, etalon sequence and noise level.
struct SeriesStructureValues {
    uint16_t dlgMinPulses = 0;
    uint16_t dlgMaxPulses = 0;
    uint16_t requestedPulses = 0;  // how many sequence entries are shown and read back
    uint16_t etalons = 20;
    std::span<uint16_t> editedSequence;  // read back in place
    int16_t noiseLevel = 20;
    int16_t maxNoiseLevel = 0;  // the caller's ceiling: pure + 6 sigma within 16 bits
    // Written by OK.
    uint16_t dlgPulses = 0;
    int16_t dlgNoiseLevel = 0;
    int32_t accepted = 0;
};

// Dialog 107: the working set as a count and a list.
struct RequiredListValues {
    uint16_t etalons = 20;
    uint16_t requiredCount = 0;        // rewritten by OK when the typed count fits
    std::span<uint16_t> requiredList;  // its size is the capacity; read back in place
    int32_t accepted = 0;
};

platform::DialogTemplate seriesGeometryTemplate();
platform::DialogTemplate seriesStructureTemplate();
platform::DialogTemplate requiredListTemplate();

// The procedures; each keeps a reference to its values.
platform::DialogProcedure seriesGeometryProcedure(SeriesGeometryValues& values);
platform::DialogProcedure seriesStructureProcedure(SeriesStructureValues& values);
platform::DialogProcedure requiredListProcedure(RequiredListValues& values);

}  // namespace etalon
