#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/dialog.h"

namespace etalon {

inline constexpr int kDialogOpenSeries = 120;
inline constexpr int kDialogEtalonFromSeries = 121;
inline constexpr int kDialogReadRecording = 122;

enum : int {
    kLabelRecording = 1030,
    kEditRecordingPulses = 1031,
    kEditRecordingTmin = 1032,
    kEditRecordingTmax = 1033,
    kEditRecordingLevel = 1034,
    kLabelFirstSample = 1035,
    kEditFirstSample = 1036,
    kLabelReplacedEtalon = 1037,
    kEditReplacedEtalon = 1038,
    kEditRecordingColumn = 1039,
    kEditRecordingChannel = 1040,
    kEditRecordingFirst = 1041,
    kEditRecordingCount = 1042,
};

// Which values of a recording become the series: the table's column, the
// WAV file's channel and the span of samples.
struct ReadRecordingValues {
    // Written by OK.
    std::string dlgColumn;  // number or header name; empty: the first
    uint32_t dlgChannel = 1;
    uint64_t dlgFirst = 0;
    uint64_t dlgCount = 0;  // 0: to the end of the recording
    int32_t accepted = 0;
};
// Reads the recording as the values say; returns what is wrong with them, or
// an empty string. A refusal keeps the dialog open with the values typed.
using RecordingReader = std::function<std::string(const ReadRecordingValues&)>;

// How a loaded recording is processed: its pulse count (empty: unknown), the
// interval bounds and the saved-energy level. OK checks the values against
// the recording's length and the etalons' length.
struct OpenSeriesValues {
    uint32_t seriesLength = 0;
    double scale = 0.0;  // the factor the samples were scaled by; 0: kept as they were
    uint16_t pulseLength = 20;
    uint16_t tmin = 40;
    uint16_t tmax = 181;
    uint16_t processingLevel = 100;
    // Written by OK.
    uint16_t dlgPulses = 0;  // 0: the count is unknown
    uint16_t dlgTmin = 0;
    uint16_t dlgTmax = 0;
    uint16_t dlgProcessingLevel = 0;
    int32_t accepted = 0;
};

// Which samples of the series become which etalon; the etalon's length is the alphabet's.
struct EtalonFromSeriesValues {
    uint32_t seriesLength = 0;
    uint16_t pulseLength = 20;
    uint16_t etalons = 20;
    uint32_t firstSample = 0;
    int32_t etalon = 1;
    // Written by OK.
    uint32_t dlgFirstSample = 0;
    int32_t dlgEtalon = 0;
    int32_t accepted = 0;
};

platform::DialogTemplate openSeriesTemplate();
platform::DialogTemplate etalonFromSeriesTemplate();
// The column applies to a table, the channel to a WAV file; the other is greyed.
platform::DialogTemplate readRecordingTemplate(bool table, bool channels);
platform::DialogProcedure openSeriesProcedure(OpenSeriesValues& values);
platform::DialogProcedure etalonFromSeriesProcedure(EtalonFromSeriesValues& values);
platform::DialogProcedure readRecordingProcedure(ReadRecordingValues& values, RecordingReader read);

}  // namespace etalon
