#include "dialogs/series_dialogs.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>

#include "dialogs/dialog_controls.h"
#include "dialogs/dialog_text.h"

namespace etalon {

using namespace dialog_controls;
using platform::DialogContext;
using platform::DialogEvent;
using platform::DialogTemplate;
using platform::kIdCancel;
using platform::kIdOk;

namespace {

// Positions are 16-bit signed in the records, so no length or interval may pass it.
constexpr int32_t kLargestPosition = std::numeric_limits<int16_t>::max();

// Shows why a field is refused; the dialog stays open with what was typed.
bool refuse(DialogContext& context, const std::string& why) {
    context.showMessage(why, "Create Series");
    return true;
}

bool cancel(DialogContext& context, int32_t& accepted) {
    accepted = 0;
    context.end(1);
    return true;
}

// The check of dialog 105's fields; an empty text when they are all fine.
std::string geometryProblem(const SeriesGeometryValues& v, int32_t length, int32_t tmin,
                            int32_t tmax, int32_t etalon, int32_t making, int32_t processing) {
    const int32_t pulse = v.pulseLength;
    if (length < pulse || length > kLargestPosition) {
        return formatText("Samples Length must lie between %d and %d.", pulse, kLargestPosition);
    }
    if (tmin < 1 || tmin > kLargestPosition) {
        return formatText("Min Length of Interval must lie between %d and %d.", 1,
                          kLargestPosition);
    }
    if (tmax < std::max(tmin, pulse) || tmax > kLargestPosition) {
        return formatText(
            "Max Length of Interval must lie between %d and %d "
            "(not below Min Length of Interval nor the pulse length).",
            std::max(tmin, pulse), kLargestPosition);
    }
    const int32_t least = std::max<int32_t>(1, (length + pulse - 1) / tmax);
    const int32_t most = (length - pulse + tmin) / tmin;
    if (least > most) {
        return formatText(
            "Samples Length %d leaves no valid number of pulses for intervals "
            "from Min to Max Length of Interval.",
            length);
    }
    if (etalon < 1 || etalon > v.etalons) {
        return formatText("Etalon Number must lie between %d and %d.", 1, v.etalons);
    }
    if (making < 0 || making > 100) {
        return "Saved Energy Level (from 0 to 100) of the parameters for creating series must "
               "lie between 0 and 100.";
    }
    if (processing < 0 || processing > 100) {
        return "Saved Energy Level (from 0 to 100) of the parameters for processing series must "
               "lie between 0 and 100.";
    }
    return {};
}

bool geometryOk(DialogContext& context, SeriesGeometryValues& v) {
    const int32_t length = readInteger(context, kEditLength);
    const int32_t tmin = readInteger(context, kEditTmin);
    const int32_t tmax = readInteger(context, kEditTmax);
    const int32_t etalon = readInteger(context, kEditEtalon);
    const int32_t making = readInteger(context, kEditMakingLevel);
    const int32_t processing = readInteger(context, kEditProcessingLevel);
    const std::string problem = geometryProblem(v, length, tmin, tmax, etalon, making, processing);
    if (!problem.empty()) return refuse(context, problem);
    v.dlgSeriesLength = static_cast<uint32_t>(length);
    v.dlgTmin = static_cast<uint16_t>(tmin);
    v.dlgTmax = static_cast<uint16_t>(tmax);
    v.dlgMakingLevel = static_cast<uint16_t>(making);
    v.defaultEtalon = etalon;
    v.dlgProcessingLevel = static_cast<uint16_t>(processing);
    v.accepted = 1;
    context.end(1);
    return true;
}

std::span<uint16_t> shownSequence(const SeriesStructureValues& v) {
    return v.editedSequence.first(
        std::min<std::size_t>(v.requestedPulses, v.editedSequence.size()));
}

bool structureOk(DialogContext& context, SeriesStructureValues& v) {
    const int32_t noise = readInteger(context, kEditNoise);
    if (noise < 0 || noise > v.maxNoiseLevel) {
        return refuse(context,
                      formatText("Noise Level must lie between %d and %d.", 0, v.maxNoiseLevel));
    }
    v.dlgPulses = static_cast<uint16_t>(readInteger(context, kEditPulses));
    parseNumberList(readText(context, kEditSequence), shownSequence(v));
    v.dlgNoiseLevel = static_cast<int16_t>(noise);
    v.accepted = 1;
    context.end(1);
    return true;
}

std::span<uint16_t> listInUse(const RequiredListValues& v) {
    return v.requiredList.first(std::min<std::size_t>(v.requiredCount, v.requiredList.size()));
}

bool requiredListOk(DialogContext& context, RequiredListValues& v) {
    const int32_t count = readInteger(context, kEditCount);
    if (count > 0 && count <= static_cast<int32_t>(v.requiredList.size()))
        v.requiredCount = static_cast<uint16_t>(count);
    parseNumberList(readText(context, kEditList), listInUse(v));
    v.accepted = 1;
    context.end(1);
    return true;
}

}  // namespace

DialogTemplate seriesGeometryTemplate() {
    return {"Create Series",
            {0, 0, 209, 168},
            {
                group("Parameters for creating series", 13, 7, 128, 101),
                label("Samples Length", 27, 19, 50, 8),
                edit(kEditLength, 100, 18, 25, 12, "32767"),
                label("Min Length of Interval", 27, 34, 63, 8),
                edit(kEditTmin, 100, 33, 25, 12, "32767"),
                label("Max Length of Interval", 27, 49, 65, 8),
                edit(kEditTmax, 100, 48, 25, 12, "32767"),
                label("Etalon Number", 27, 64, 46, 8),
                edit(kEditEtalon, 100, 63, 25, 12, "20"),
                label("Saved Energy Level (from 0 to 100)", 26, 78, 105, 8),
                edit(kEditMakingLevel, 100, 89, 25, 12, "100"),
                group("Parameters for processing series", 13, 112, 128, 44),
                label("Saved Energy Level (from 0 to 100)", 25, 124, 105, 8),
                edit(kEditProcessingLevel, 99, 136, 26, 13, "100"),
                okButton(148, 122),
                cancelButton(148, 141),
            }};
}

DialogTemplate seriesStructureTemplate() {
    return {"Create Series",
            {0, 0, 192, 138},
            {
                group(" Series structure ", 7, 5, 178, 72),
                label({}, 15, 16, 141, 8, kLabelPulses),
                edit(kEditPulses, 105, 27, 34, 12, "32767"),
                label({}, 15, 45, 157, 8, kLabelSequence),
                edit(kEditSequence, 60, 58, 109, 12),
                label("Noise Level", 16, 91, 37, 8),
                edit(kEditNoise, 60, 90, 34, 12, kWidestNoiseLevel),
                okButton(41, 113),
                cancelButton(105, 113),
            }};
}

DialogTemplate requiredListTemplate() {
    return {"List of Required Etalons",
            {0, 0, 137, 95},
            {
                label("Number of Required Etalons", 13, 16, 86, 8),
                edit(kEditCount, 101, 15, 21, 12, "20"),
                label({}, 13, 32, 110, 8, kLabelList),
                edit(kEditList, 33, 44, 89, 12),
                okButton(15, 71),
                cancelButton(71, 71),
            }};
}

platform::DialogProcedure seriesGeometryProcedure(SeriesGeometryValues& values) {
    return [&values](DialogContext& context, DialogEvent event, int id) {
        if (event == DialogEvent::Init) {
            context.setText(kEditLength, std::to_string(values.seriesLength));
            context.setText(kEditTmin, std::to_string(values.tmin));
            context.setText(kEditTmax, std::to_string(values.tmax));
            context.setText(kEditMakingLevel, std::to_string(values.makingLevel));
            context.setText(kEditProcessingLevel, std::to_string(values.processingLevel));
            context.setText(kEditEtalon, std::to_string(values.selectedEtalon));
            return true;
        }
        if (id == kIdOk) return geometryOk(context, values);
        if (id == kIdCancel) return cancel(context, values.accepted);
        return false;
    };
}

platform::DialogProcedure seriesStructureProcedure(SeriesStructureValues& values) {
    return [&values](DialogContext& context, DialogEvent event, int id) {
        if (event == DialogEvent::Init) {
            context.setText(kLabelPulses, formatText("Number of Pulses in Series (from %d to %d)",
                                                     values.dlgMinPulses, values.dlgMaxPulses));
            context.setText(kEditPulses, std::to_string(values.requestedPulses));
            context.setText(
                kLabelSequence,
                formatText("Sequence of Etalons in Series (values from 1 to %d)", values.etalons));
            context.setText(kEditSequence, joinNumbers(shownSequence(values)));
            context.setText(kEditNoise, std::to_string(values.noiseLevel));
            return true;
        }
        if (id == kIdOk) return structureOk(context, values);
        if (id == kIdCancel) return cancel(context, values.accepted);
        return false;
    };
}

platform::DialogProcedure requiredListProcedure(RequiredListValues& values) {
    return [&values](DialogContext& context, DialogEvent event, int id) {
        if (event == DialogEvent::Init) {
            context.setText(kEditCount, std::to_string(values.requiredCount));
            context.setText(kLabelList,
                            formatText("List of Required Etalons (from 1 to %d)", values.etalons));
            context.setText(kEditList, joinNumbers(listInUse(values)));
            return true;
        }
        if (id == kIdOk) return requiredListOk(context, values);
        if (id == kIdCancel) return cancel(context, values.accepted);
        return false;
    };
}

}  // namespace etalon
