#pragma once

#include <cstdint>

#include "platform/dialog.h"

namespace etalon {

inline constexpr int kDialogSubsetSettings = 111;
inline constexpr int kDialogDrawingSettings = 112;

// Controls of dialog 111: the employment radios 1..5 follow one another from
// kRadioFirstEmployment; proceeding 1 and 2 are kRadioComplete and
// kRadioShiftedComplete.
inline constexpr int kRadioFirstEmployment = 1015;
inline constexpr int kRadioSingleRandom = kRadioFirstEmployment;
inline constexpr int kRadioSingleFixed = kRadioFirstEmployment + 1;
inline constexpr int kRadioMultipleRandom = kRadioFirstEmployment + 2;
inline constexpr int kRadioCompleteEmployment = kRadioFirstEmployment + 3;
inline constexpr int kRadioShiftedEmployment = kRadioFirstEmployment + 4;
inline constexpr int kEditInitPosition = 1020;
inline constexpr int kRadioComplete = 1021;
inline constexpr int kRadioShiftedComplete = 1022;

// Controls of dialog 112.
inline constexpr int kCheckHighlightDetected = 1023;
inline constexpr int kCheckShadedOriginal = 1024;
inline constexpr int kRadioDottedFrame = 1025;
inline constexpr int kRadioColouredBackground = 1026;
inline constexpr int kRadioNoHighlight = 1027;
inline constexpr int kCheckSpecialGraphSize = 1043;
inline constexpr int kCheckFrameGraphFields = 1044;

// Dialog 111: the clicks change the values at once; Cancel puts back those
// the dialog started with.
struct SubsetSettingsValues {
    uint16_t employment = 4;    // 1 single random .. 5 shifted complete
    uint16_t initPosition = 1;  // shown, not editable
    uint16_t proceeding = 1;    // 1 complete, 2 probably shifted complete
};

// Dialog 112: the clicks change a working copy that OK hands over.
struct DrawingSettingsValues {
    uint16_t tuplesHighlight = 2;  // 0 none, 1 dotted frame, 2 coloured background
    int32_t frameGraphFields = 1;
    int32_t shadedOriginalPulses = 1;
    int32_t highlightDetectedPulses = 1;
    int32_t specialGraphSize = 0;
};

platform::DialogTemplate subsetSettingsTemplate();
platform::DialogTemplate drawingSettingsTemplate();
platform::DialogProcedure subsetSettingsProcedure(SubsetSettingsValues& values);
platform::DialogProcedure drawingSettingsProcedure(DrawingSettingsValues& values);

}  // namespace etalon
