#include "dialogs/simulation_dialogs.h"

#include <gtest/gtest.h>

#include <string>

#include "dialogs/series_dialogs.h"
#include "series/series_generator.h"
#include "support/fake_dialog_context.h"

namespace etalon {
namespace {

using platform::kIdCancel;
using platform::kIdOk;
using test::FakeDialogContext;

const platform::DialogControl* controlOf(const platform::DialogTemplate& t, int id) {
    for (const auto& c : t.controls) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

TEST(SimulationDialogs, TemplatesHoldTheirControls) {
    const auto location = locationParametersTemplate();
    EXPECT_EQ(location.caption, " Location Parameters");
    // Wider than at first, so that five-digit counts show whole.
    EXPECT_EQ(location.units, (platform::Rect{60, 50, 262, 109}));
    ASSERT_NE(controlOf(location, kEditNoiseSteps), nullptr);
    EXPECT_EQ(controlOf(location, kEditNoiseSteps)->units, (platform::Rect{228, 36, 22, 12}));

    const auto view = statisticsViewTemplate();
    const auto recognition = recognitionStatisticsViewTemplate();
    EXPECT_EQ(view.caption, " Show Statistical Simulation parameters");
    EXPECT_EQ(view.units, (platform::Rect{0, 0, 190, 91}));
    EXPECT_EQ(recognition.caption, "Show Statistical Simulation");
    EXPECT_EQ(recognition.units, (platform::Rect{0, 0, 186, 113}));
    EXPECT_EQ(controlOf(view, kRadioRecognitionError), nullptr);
    EXPECT_EQ(controlOf(view, kCheckBoundsIncluded), nullptr);
    for (const auto* t : {&view, &recognition}) {
        for (int id : {kRadioRestoringError, kRadioDetectionError, kRadioComponentwise,
                       kRadioSummaryView, kCheckFixedUpperBound, kEditUpperBound, kIdOk}) {
            ASSERT_NE(controlOf(*t, id), nullptr) << id;
            // Every control lies inside its dialog.
            const auto& r = controlOf(*t, id)->units;
            EXPECT_LE(r.left + r.right, t->units.right) << id;
            EXPECT_LE(r.top + r.bottom, t->units.bottom) << id;
        }
    }
    EXPECT_EQ(controlOf(recognition, kRadioRecognitionError)->text, "recognition error");
    EXPECT_EQ(controlOf(recognition, kCheckBoundsIncluded)->kind, platform::ControlKind::CheckBox);
}

TEST(SimulationDialogs, LocationShowsTheRangesAndStoresThemOnlyAtOk) {
    LocationParametersValues values;
    values.dlgMinPulses = 3;
    values.dlgMaxPulses = 15;
    values.geometryMaxPulses = 15;
    values.maxNoiseLevel = kLargestNoiseLevel;
    const auto procedure = locationParametersProcedure(values);
    FakeDialogContext c;
    c.start(procedure);
    EXPECT_EQ(c.texts[kEditPulsesFrom], "3");
    EXPECT_EQ(c.texts[kEditPulsesTo], "15");
    EXPECT_EQ(c.texts[kEditPulsesIncrement], "1");
    EXPECT_EQ(c.texts[kEditNoiseInitial], "0");
    EXPECT_EQ(c.texts[kEditNoiseSteps], "29");
    EXPECT_EQ(c.texts[kEditNoiseIncrement], "5");
    EXPECT_EQ(c.texts[kEditRepeats], "100");

    c.texts[kEditPulsesFrom] = "4";
    c.texts[kEditRepeats] = "7";
    EXPECT_TRUE(c.press(procedure, kIdCancel));
    EXPECT_TRUE(c.ended);
    EXPECT_EQ(values.accepted, 0);
    EXPECT_EQ(values.dlgMinPulses, 3);
    EXPECT_EQ(values.repeats, 100);

    FakeDialogContext d;
    d.start(procedure);
    d.texts[kEditPulsesFrom] = " 4";
    d.texts[kEditPulsesTo] = "12";
    d.texts[kEditPulsesIncrement] = "0";  // the command counts it as 1
    d.texts[kEditNoiseInitial] = "10";
    d.texts[kEditNoiseSteps] = "3";
    d.texts[kEditNoiseIncrement] = "20";
    d.texts[kEditRepeats] = "65535";
    EXPECT_TRUE(d.press(procedure, kIdOk));
    EXPECT_TRUE(d.ended);
    EXPECT_EQ(d.result, 1);
    EXPECT_TRUE(d.messages.empty());
    EXPECT_EQ(values.accepted, 1);
    EXPECT_EQ(values.dlgMinPulses, 4);
    EXPECT_EQ(values.dlgMaxPulses, 12);
    EXPECT_EQ(values.pulsesIncrement, 0);
    EXPECT_EQ(values.noiseInitial, 10);
    EXPECT_EQ(values.noiseSteps, 3);
    EXPECT_EQ(values.noiseIncrement, 20);
    EXPECT_EQ(values.repeats, 65535);
    EXPECT_FALSE(d.press(procedure, kEditRepeats));  // other commands are not handled
}

TEST(SimulationDialogs, LocationRefusesRangesNoRunCanUseAndStaysOpen) {
    struct Case {
        int id;
        const char* typed;
        const char* named;
    };
    // Defaults: 6 to 30 pulses, the geometry holding 30; noise 0 + 28 steps of 5.
    const Case cases[] = {
        {kEditPulsesFrom, "0", "\"from\""},
        {kEditPulsesFrom, "31", "\"from\""},  // above "to"
        {kEditPulsesTo, "31", "\"to\""},      // above what the geometry holds
        {kEditPulsesIncrement, "-1", "\"incr.\""},
        {kEditNoiseInitial, "-5", "Initial Level"},
        {kEditNoiseSteps, "0", "Number of Steps in Simulation"},
        {kEditNoiseIncrement, "-1", "Noise Increment per Step"},
        {kEditNoiseIncrement, "200", "Noise Increment per Step"},  // 28 * 200 > 5439
        {kEditNoiseInitial, "5300", "Initial Level"},              // 5300 + 140 > 5439
        {kEditRepeats, "0", "Number of Repeats"},
        {kEditRepeats, "70000", "Number of Repeats"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.named) + " " + k.typed);
        LocationParametersValues values;
        values.maxNoiseLevel = maxNoiseLevelFor(128);
        const auto procedure = locationParametersProcedure(values);
        FakeDialogContext c;
        c.start(procedure);
        c.texts[k.id] = k.typed;
        EXPECT_TRUE(c.press(procedure, kIdOk));
        EXPECT_FALSE(c.ended);
        EXPECT_EQ(values.accepted, 0);
        EXPECT_EQ(values.dlgMinPulses, 6);
        ASSERT_EQ(c.messages.size(), 1u);
        EXPECT_NE(c.messages[0].find(k.named), std::string::npos) << c.messages[0];
        EXPECT_EQ(c.captions[0], " Location Parameters");
        EXPECT_EQ(c.texts[k.id], k.typed);  // what was typed stays
    }
    // The last noise level may reach the bound itself.
    LocationParametersValues values;
    values.maxNoiseLevel = 145;
    const auto procedure = locationParametersProcedure(values);
    FakeDialogContext c;
    c.start(procedure);
    c.texts[kEditNoiseInitial] = "5";  // 5 + 28 * 5 = 145
    c.press(procedure, kIdOk);
    EXPECT_TRUE(c.ended);
    EXPECT_EQ(values.noiseInitial, 5);
}

TEST(SimulationDialogs, StatisticsViewShowsTheSettingsAndCancelRestoresThem) {
    StatisticsViewValues values;
    values.errorKind = 2;
    values.viewCase = 2;
    values.boundsIncluded = 1;
    const auto procedure = recognitionStatisticsViewProcedure(values);
    FakeDialogContext c;
    c.start(procedure);
    EXPECT_TRUE(c.checks[kRadioDetectionError]);
    EXPECT_FALSE(c.checks[kRadioRestoringError]);
    EXPECT_TRUE(c.checks[kRadioSummaryView]);
    EXPECT_FALSE(c.checks[kRadioComponentwise]);
    EXPECT_FALSE(c.checks[kCheckFixedUpperBound]);
    EXPECT_TRUE(c.checks[kCheckBoundsIncluded]);
    EXPECT_EQ(c.texts[kEditUpperBound], "0.25");

    // Every control touched, then Cancel: nothing changes.
    const auto touchEverything = [&](FakeDialogContext& x, const char* bound) {
        EXPECT_TRUE(x.press(procedure, kRadioRecognitionError));
        x.press(procedure, kRadioComponentwise);
        x.checks[kCheckFixedUpperBound] = true;
        x.press(procedure, kCheckFixedUpperBound);
        x.checks[kCheckBoundsIncluded] = false;
        x.press(procedure, kCheckBoundsIncluded);
        x.texts[kEditUpperBound] = bound;
    };
    touchEverything(c, "0.5");
    EXPECT_TRUE(c.checks[kRadioRecognitionError]);
    EXPECT_FALSE(c.checks[kRadioDetectionError]);
    EXPECT_TRUE(c.press(procedure, kIdCancel));
    EXPECT_TRUE(c.ended);
    EXPECT_EQ(values.errorKind, 2);
    EXPECT_EQ(values.viewCase, 2);
    EXPECT_EQ(values.fixedUpperBound, 0);
    EXPECT_DOUBLE_EQ(values.upperBound, 0.25);
    EXPECT_EQ(values.boundsIncluded, 1);

    // The same clicks and OK: all taken.
    FakeDialogContext d;
    d.start(procedure);
    touchEverything(d, " 0.04");
    EXPECT_TRUE(d.press(procedure, kIdOk));
    EXPECT_TRUE(d.ended);
    EXPECT_EQ(values.errorKind, 3);
    EXPECT_EQ(values.viewCase, 1);
    EXPECT_EQ(values.fixedUpperBound, 1);
    EXPECT_DOUBLE_EQ(values.upperBound, 0.04);
    EXPECT_EQ(values.boundsIncluded, 0);
}

TEST(SimulationDialogs, StatisticsViewStoresTheBoundOnlyWhenFixed) {
    // Dialog 113 opened on error kind 3 (set through 114): "restoring error"
    // shows checked, and OK without a click keeps 3.
    StatisticsViewValues values;
    values.errorKind = 3;
    values.fixedUpperBound = 1;
    values.upperBound = 0.5;
    values.boundsIncluded = 1;
    const auto procedure = statisticsViewProcedure(values);
    FakeDialogContext c;
    c.start(procedure);
    EXPECT_TRUE(c.checks[kRadioRestoringError]);
    EXPECT_EQ(c.checks.count(kCheckBoundsIncluded), 0u);
    EXPECT_FALSE(c.press(procedure, kRadioRecognitionError));  // not a control of 113
    c.checks[kCheckFixedUpperBound] = false;
    c.press(procedure, kCheckFixedUpperBound);
    c.texts[kEditUpperBound] = "0.1";
    EXPECT_TRUE(c.press(procedure, kIdOk));
    EXPECT_TRUE(c.ended);
    EXPECT_EQ(values.errorKind, 3);
    EXPECT_EQ(values.fixedUpperBound, 0);
    EXPECT_DOUBLE_EQ(values.upperBound, 0.5);  // typed while unchecked: not stored
    EXPECT_EQ(values.boundsIncluded, 1);

    // A bound that is no number is refused, the dialog staying open.
    for (const char* typed : {"inf", "nan"}) {
        SCOPED_TRACE(typed);
        FakeDialogContext d;
        d.start(procedure);
        d.checks[kCheckFixedUpperBound] = true;
        d.press(procedure, kCheckFixedUpperBound);
        d.texts[kEditUpperBound] = typed;
        EXPECT_TRUE(d.press(procedure, kIdOk));
        EXPECT_FALSE(d.ended);
        ASSERT_EQ(d.messages.size(), 1u);
        EXPECT_NE(d.messages[0].find("upper bound"), std::string::npos);
        EXPECT_EQ(values.fixedUpperBound, 0);
        EXPECT_DOUBLE_EQ(values.upperBound, 0.5);
    }
}

}  // namespace
}  // namespace etalon
