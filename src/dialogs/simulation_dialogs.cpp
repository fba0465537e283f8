#include "dialogs/simulation_dialogs.h"

#include <cmath>
#include <limits>
#include <memory>
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

constexpr int32_t kLargest16 = std::numeric_limits<uint16_t>::max();

// Shows why a field is refused; the dialog stays open with what was typed.
bool refuse(DialogContext& context, const std::string& why, const char* caption) {
    context.showMessage(why, caption);
    return true;
}

// ---- Dialog 110 ----

struct LocationFields {
    int32_t from, to, increment, initial, steps, noiseIncrement, repeats;
};

LocationFields readLocation(const DialogContext& context) {
    return {readInteger(context, kEditPulsesFrom),      readInteger(context, kEditPulsesTo),
            readInteger(context, kEditPulsesIncrement), readInteger(context, kEditNoiseInitial),
            readInteger(context, kEditNoiseSteps),      readInteger(context, kEditNoiseIncrement),
            readInteger(context, kEditRepeats)};
}

// What no run can use; an empty text when every field is fine.
std::string locationProblem(const LocationParametersValues& v, const LocationFields& f) {
    if (f.to < 1 || f.to > v.geometryMaxPulses) {
        return formatText(
            "Number of Pulses in Series \"to\" must lie between 1 and %d, the most pulses the "
            "series length holds.",
            int{v.geometryMaxPulses});
    }
    if (f.from < 1 || f.from > f.to) {
        return formatText(
            "Number of Pulses in Series \"from\" must lie between 1 and %d (the number \"to\").",
            f.to);
    }
    if (f.increment < 0 || f.increment > kLargest16) {
        return formatText("Number of Pulses in Series \"incr.\" must lie between 0 and %d.",
                          kLargest16);
    }
    if (f.initial < 0 || f.initial > v.maxNoiseLevel) {
        return formatText("Initial Level must lie between 0 and %d.", int{v.maxNoiseLevel});
    }
    if (f.steps < 1 || f.steps > kLargest16) {
        return formatText("Number of Steps in Simulation must lie between 1 and %d.", kLargest16);
    }
    if (f.noiseIncrement < 0 || f.noiseIncrement > kLargest16) {
        return formatText("Noise Increment per Step must lie between 0 and %d.", kLargest16);
    }
    const int64_t last = f.initial + int64_t{f.steps - 1} * f.noiseIncrement;
    if (last > v.maxNoiseLevel) {
        return formatText(
            "Noise levels from Initial Level %d in %d steps (Number of Steps in Simulation) of "
            "%d (Noise Increment per Step) reach %lld, above the largest noise level %d.",
            f.initial, f.steps, f.noiseIncrement, static_cast<long long>(last),
            int{v.maxNoiseLevel});
    }
    if (f.repeats < 1 || f.repeats > kLargest16) {
        return formatText("Number of Repeats must lie between 1 and %d.", kLargest16);
    }
    return {};
}

bool locationOk(DialogContext& context, LocationParametersValues& v) {
    const LocationFields f = readLocation(context);
    const std::string problem = locationProblem(v, f);
    if (!problem.empty()) return refuse(context, problem, " Location Parameters");
    v.dlgMinPulses = static_cast<uint16_t>(f.from);
    v.dlgMaxPulses = static_cast<uint16_t>(f.to);
    v.pulsesIncrement = static_cast<uint16_t>(f.increment);
    v.noiseInitial = static_cast<uint16_t>(f.initial);
    v.noiseSteps = static_cast<uint16_t>(f.steps);
    v.noiseIncrement = static_cast<uint16_t>(f.noiseIncrement);
    v.repeats = static_cast<uint16_t>(f.repeats);
    v.accepted = 1;
    context.end(1);
    return true;
}

// ---- Dialogs 113 and 114 ----

// Radio buttons are grouped by the procedure: the chosen one checked, the rest not.
void checkOne(DialogContext& context, std::initializer_list<int> group, int chosen) {
    for (int id : group)
        context.setChecked(id, id == chosen);
}

struct StatisticsView {
    StatisticsViewValues& values;
    StatisticsViewValues working;  // what the clicks change; OK hands it over
    bool recognition;              // dialog 114

    void showErrorKind(DialogContext& context) const {
        int chosen = kRadioRestoringError;
        if (working.errorKind == 2) chosen = kRadioDetectionError;
        if (working.errorKind == 3 && recognition) chosen = kRadioRecognitionError;
        if (recognition)
            checkOne(context, {kRadioRestoringError, kRadioDetectionError, kRadioRecognitionError},
                     chosen);
        else
            checkOne(context, {kRadioRestoringError, kRadioDetectionError}, chosen);
    }
    void showViewCase(DialogContext& context) const {
        checkOne(context, {kRadioComponentwise, kRadioSummaryView},
                 working.viewCase == 2 ? kRadioSummaryView : kRadioComponentwise);
    }

    void start(DialogContext& context) {
        working = values;
        showErrorKind(context);
        showViewCase(context);
        context.setChecked(kCheckFixedUpperBound, working.fixedUpperBound != 0);
        context.setText(kEditUpperBound, generalNumber(working.upperBound));
        if (recognition) context.setChecked(kCheckBoundsIncluded, working.boundsIncluded != 0);
    }

    bool ok(DialogContext& context) {
        double bound = values.upperBound;
        if (working.fixedUpperBound) {
            bound = leadingDouble(readText(context, kEditUpperBound));
            // A bound of 0 or below is kept and the plot ignores it; one
            // that is no number at all cannot be kept.
            if (!std::isfinite(bound)) {
                return refuse(context, "upper bound must be a number.",
                              recognition ? "Show Statistical Simulation"
                                          : " Show Statistical Simulation parameters");
            }
        }
        values.errorKind = working.errorKind;
        values.viewCase = working.viewCase;
        values.fixedUpperBound = working.fixedUpperBound;
        values.upperBound = bound;
        if (recognition) values.boundsIncluded = working.boundsIncluded;
        context.end(1);
        return true;
    }

    bool command(DialogContext& context, int id) {
        switch (id) {
            case kIdOk:
                return ok(context);
            case kIdCancel:
                context.end(1);
                return true;
            case kRadioRestoringError:
                working.errorKind = 1;
                showErrorKind(context);
                return true;
            case kRadioDetectionError:
                working.errorKind = 2;
                showErrorKind(context);
                return true;
            case kRadioComponentwise:
                working.viewCase = 1;
                showViewCase(context);
                return true;
            case kRadioSummaryView:
                working.viewCase = 2;
                showViewCase(context);
                return true;
            case kCheckFixedUpperBound:
                working.fixedUpperBound = context.isChecked(kCheckFixedUpperBound) ? 1 : 0;
                return true;
            default:
                break;
        }
        if (!recognition) return false;
        if (id == kRadioRecognitionError) {
            working.errorKind = 3;
            showErrorKind(context);
            return true;
        }
        if (id == kCheckBoundsIncluded) {
            working.boundsIncluded = context.isChecked(kCheckBoundsIncluded) ? 1 : 0;
            return true;
        }
        return false;
    }
};

platform::DialogProcedure statisticsProcedure(StatisticsViewValues& values, bool recognition) {
    // Shared, so copies of the procedure see one working state.
    auto view = std::make_shared<StatisticsView>(StatisticsView{values, values, recognition});
    return [view](DialogContext& context, DialogEvent event, int id) {
        if (event == DialogEvent::Init) {
            view->start(context);
            return true;
        }
        return view->command(context, id);
    };
}

}  // namespace

DialogTemplate locationParametersTemplate() {
    return {" Location Parameters",
            {60, 50, 262, 109},
            {
                group(" Number of Pulses in Series ", 7, 7, 120, 32),
                label("from", 12, 22, 15, 8),
                edit(kEditPulsesFrom, 28, 20, 22, 12, "32767"),
                label("to", 52, 22, 8, 8),
                edit(kEditPulsesTo, 60, 20, 22, 12, "32767"),
                label("incr.", 84, 22, 14, 8),
                edit(kEditPulsesIncrement, 99, 20, 22, 12, "65535"),
                group(" Noise parameters ", 132, 7, 123, 62),
                rightLabel("Initial Level", 136, 22, 90, 8),
                edit(kEditNoiseInitial, 228, 20, 22, 12, kWidestNoiseLevel),
                rightLabel("Number of Steps in Simulation", 136, 38, 90, 8),
                edit(kEditNoiseSteps, 228, 36, 22, 12, "65535"),
                rightLabel("Noise Increment per Step", 136, 54, 90, 8),
                edit(kEditNoiseIncrement, 228, 52, 22, 12, "65535"),
                rightLabel("Number of Repeats", 10, 54, 72, 8),
                edit(kEditRepeats, 84, 52, 22, 12, "65535"),
                okButton(137, 85),
                cancelButton(204, 85),
            }};
}

DialogTemplate statisticsViewTemplate() {
    return {" Show Statistical Simulation parameters",
            {0, 0, 190, 91},
            {
                group(" Handling case ", 7, 7, 86, 40),
                radio(kRadioRestoringError, "restoring error", 14, 18, 75, 10),
                radio(kRadioDetectionError, "detection error", 14, 31, 75, 10),
                group(" View case ", 98, 7, 85, 40),
                radio(kRadioComponentwise, "componentwise", 105, 18, 75, 10),
                radio(kRadioSummaryView, "summary view", 105, 31, 75, 10),
                group(" Upper bound case ", 7, 50, 120, 36),
                checkBox(kCheckFixedUpperBound, "fixed upper bound", 14, 60, 90, 10),
                label("upper bound", 14, 73, 42, 8),
                edit(kEditUpperBound, 60, 71, 47, 12, "-1.23457e+308"),
                okButton(133, 53),
                cancelButton(133, 71),
            }};
}

DialogTemplate recognitionStatisticsViewTemplate() {
    return {"Show Statistical Simulation",
            {0, 0, 186, 113},
            {
                group(" Handling case ", 7, 7, 86, 64),
                radio(kRadioRestoringError, "restoring error", 14, 18, 75, 10),
                radio(kRadioDetectionError, "detection error", 14, 30, 75, 10),
                radio(kRadioRecognitionError, "recognition error", 14, 42, 75, 10),
                checkBox(kCheckBoundsIncluded, "bounds incl.", 24, 55, 62, 10),
                group(" View case ", 98, 7, 81, 40),
                radio(kRadioComponentwise, "componentwise", 105, 18, 72, 10),
                radio(kRadioSummaryView, "summary view", 105, 30, 72, 10),
                group(" Upper bound case ", 7, 74, 120, 34),
                checkBox(kCheckFixedUpperBound, "fixed upper bound", 14, 84, 90, 10),
                label("upper bound", 14, 96, 42, 8),
                edit(kEditUpperBound, 60, 94, 47, 12, "-1.23457e+308"),
                okButton(131, 75),
                cancelButton(131, 93),
            }};
}

platform::DialogProcedure locationParametersProcedure(LocationParametersValues& values) {
    return [&values](DialogContext& context, DialogEvent event, int id) {
        if (event == DialogEvent::Init) {
            context.setText(kEditPulsesFrom, std::to_string(values.dlgMinPulses));
            context.setText(kEditPulsesTo, std::to_string(values.dlgMaxPulses));
            context.setText(kEditPulsesIncrement, std::to_string(values.pulsesIncrement));
            context.setText(kEditNoiseInitial, std::to_string(values.noiseInitial));
            context.setText(kEditNoiseSteps, std::to_string(values.noiseSteps));
            context.setText(kEditNoiseIncrement, std::to_string(values.noiseIncrement));
            context.setText(kEditRepeats, std::to_string(values.repeats));
            return true;
        }
        if (id == kIdOk) return locationOk(context, values);
        if (id == kIdCancel) {
            values.accepted = 0;
            context.end(1);
            return true;
        }
        return false;
    };
}

platform::DialogProcedure statisticsViewProcedure(StatisticsViewValues& values) {
    return statisticsProcedure(values, false);
}

platform::DialogProcedure recognitionStatisticsViewProcedure(StatisticsViewValues& values) {
    return statisticsProcedure(values, true);
}

}  // namespace etalon
