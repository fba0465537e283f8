#include "dialogs/settings_dialogs.h"

#include <memory>
#include <string>

#include "dialogs/dialog_controls.h"

namespace etalon {

using namespace dialog_controls;
using platform::DialogContext;
using platform::DialogEvent;
using platform::DialogTemplate;
using platform::kIdCancel;
using platform::kIdOk;

namespace {

void checkOne(DialogContext& context, std::initializer_list<int> group, int chosen) {
    for (int id : group)
        context.setChecked(id, id == chosen);
}

constexpr std::initializer_list<int> kEmploymentRadios = {
    kRadioSingleRandom, kRadioSingleFixed, kRadioMultipleRandom, kRadioCompleteEmployment,
    kRadioShiftedEmployment};
constexpr std::initializer_list<int> kHighlightRadios = {
    kRadioDottedFrame, kRadioColouredBackground, kRadioNoHighlight};

struct SubsetSettings {
    SubsetSettingsValues& values;
    SubsetSettingsValues started;

    void start(DialogContext& context) {
        started = values;
        const int employment = values.employment >= 1 && values.employment <= 5
                                   ? kRadioFirstEmployment - 1 + values.employment
                                   : kRadioFirstEmployment + 3;
        checkOne(context, kEmploymentRadios, employment);
        context.setText(kEditInitPosition, std::to_string(values.initPosition));
        checkOne(context, {kRadioComplete, kRadioShiftedComplete},
                 values.proceeding == 2 ? kRadioShiftedComplete : kRadioComplete);
    }

    bool command(DialogContext& context, int id) {
        if (id >= kRadioFirstEmployment && id < kRadioFirstEmployment + 5) {
            values.employment = static_cast<uint16_t>(id - kRadioFirstEmployment + 1);
            checkOne(context, kEmploymentRadios, id);
            return true;
        }
        if (id == kRadioComplete || id == kRadioShiftedComplete) {
            values.proceeding = id == kRadioComplete ? 1 : 2;
            checkOne(context, {kRadioComplete, kRadioShiftedComplete}, id);
            return true;
        }
        if (id == kIdOk) {
            // The position is shown but cannot be edited: OK stores it again,
            // and anything but a position leaves it as it was.
            const int32_t position = readInteger(context, kEditInitPosition);
            if (position >= 1 && position <= 0xFFFF)
                values.initPosition = static_cast<uint16_t>(position);
            context.end(1);
            return true;
        }
        if (id == kIdCancel) {
            values.employment = started.employment;
            values.proceeding = started.proceeding;
            context.end(1);
            return true;
        }
        return false;
    }
};

struct DrawingSettings {
    DrawingSettingsValues& values;
    DrawingSettingsValues working;

    void start(DialogContext& context) {
        working = values;
        context.setChecked(kCheckFrameGraphFields, values.frameGraphFields != 0);
        context.setChecked(kCheckShadedOriginal, values.shadedOriginalPulses != 0);
        context.setChecked(kCheckHighlightDetected, values.highlightDetectedPulses != 0);
        context.setChecked(kCheckSpecialGraphSize, values.specialGraphSize != 0);
        int chosen = kRadioColouredBackground;
        if (values.tuplesHighlight == 0) chosen = kRadioNoHighlight;
        if (values.tuplesHighlight == 1) chosen = kRadioDottedFrame;
        checkOne(context, kHighlightRadios, chosen);
    }

    bool command(DialogContext& context, int id) {
        const auto checked = [&context](int control) { return context.isChecked(control) ? 1 : 0; };
        switch (id) {
            case kCheckFrameGraphFields:
                working.frameGraphFields = checked(id);
                return true;
            case kCheckShadedOriginal:
                working.shadedOriginalPulses = checked(id);
                return true;
            case kCheckHighlightDetected:
                working.highlightDetectedPulses = checked(id);
                return true;
            case kCheckSpecialGraphSize:
                working.specialGraphSize = checked(id);
                return true;
            case kRadioDottedFrame:
            case kRadioColouredBackground:
            case kRadioNoHighlight:
                working.tuplesHighlight = id == kRadioDottedFrame          ? 1
                                          : id == kRadioColouredBackground ? 2
                                                                           : 0;
                checkOne(context, kHighlightRadios, id);
                return true;
            case kIdOk:
                values = working;
                context.end(1);
                return true;
            case kIdCancel:
                context.end(1);
                return true;
            default:
                return false;
        }
    }
};

}  // namespace

DialogTemplate subsetSettingsTemplate() {
    platform::DialogControl positionLabel = label("Subset init position", 14, 90, 57, 8);
    positionLabel.disabled = true;
    platform::DialogControl position = edit(kEditInitPosition, 73, 89, 29, 12, "65535");
    position.disabled = true;
    return {"Subset settings",
            {0, 0, 223, 113},
            {
                group(" Subset employment ", 7, 7, 100, 77),
                radio(kRadioSingleRandom, "Single random ", 14, 20, 80, 10),
                radio(kRadioSingleFixed, "Single fixed", 14, 32, 80, 10),
                radio(kRadioMultipleRandom, "Multiple random", 14, 44, 80, 10),
                radio(kRadioCompleteEmployment, "Complete ", 14, 57, 80, 10),
                radio(kRadioShiftedEmployment, "Shifted complete", 14, 69, 80, 10),
                positionLabel,
                position,
                group(" Subset proceeding ", 112, 7, 104, 42),
                radio(kRadioComplete, "Complete ", 119, 21, 92, 10),
                radio(kRadioShiftedComplete, "Probably shifted complete", 119, 32, 92, 10),
                okButton(111, 92),
                cancelButton(166, 92),
            }};
}

DialogTemplate drawingSettingsTemplate() {
    return {"Drawing settings",
            {0, 0, 175, 122},
            {
                group(" Highlight detected tuples ", 7, 2, 102, 52),
                radio(kRadioDottedFrame, "dotted frame", 13, 14, 90, 10),
                radio(kRadioColouredBackground, "coloured background", 13, 26, 90, 10),
                radio(kRadioNoHighlight, "none", 13, 38, 90, 10),
                checkBox(kCheckFrameGraphFields, "frame graph fields", 13, 59, 70, 10),
                checkBox(kCheckShadedOriginal, "shaded original pulses", 13, 73, 84, 10),
                checkBox(kCheckHighlightDetected, "highlight detected pulses", 13, 87, 90, 10),
                checkBox(kCheckSpecialGraphSize, "special graph size", 13, 102, 71, 10),
                okButton(118, 80),
                cancelButton(118, 101),
            }};
}

platform::DialogProcedure subsetSettingsProcedure(SubsetSettingsValues& values) {
    auto dialog = std::make_shared<SubsetSettings>(SubsetSettings{values, values});
    return [dialog](DialogContext& context, DialogEvent event, int id) {
        if (event == DialogEvent::Init) {
            dialog->start(context);
            return true;
        }
        return dialog->command(context, id);
    };
}

platform::DialogProcedure drawingSettingsProcedure(DrawingSettingsValues& values) {
    auto dialog = std::make_shared<DrawingSettings>(DrawingSettings{values, values});
    return [dialog](DialogContext& context, DialogEvent event, int id) {
        if (event == DialogEvent::Init) {
            dialog->start(context);
            return true;
        }
        return dialog->command(context, id);
    };
}

}  // namespace etalon
