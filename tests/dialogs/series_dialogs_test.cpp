#include "dialogs/series_dialogs.h"

#include <gtest/gtest.h>

#include <vector>

#include "series/series_generator.h"
#include "support/fake_dialog_context.h"

namespace etalon {
namespace {

using platform::kIdCancel;
using platform::kIdOk;
using test::FakeDialogContext;

const platform::DialogControl* controlOf(const platform::DialogTemplate& t, int id,
                                         const std::string& text = {}) {
    for (const auto& c : t.controls) {
        if (c.id == id && (text.empty() || c.text == text)) return &c;
    }
    return nullptr;
}

TEST(SeriesDialogs, TemplatesPlaceTheControlsInDialogUnits) {
    const auto geometry = seriesGeometryTemplate();
    EXPECT_EQ(geometry.caption, "Create Series");
    EXPECT_EQ(geometry.units, (platform::Rect{0, 0, 209, 168}));
    ASSERT_NE(controlOf(geometry, kEditProcessingLevel), nullptr);
    EXPECT_EQ(controlOf(geometry, kEditProcessingLevel)->units, (platform::Rect{99, 136, 26, 13}));
    EXPECT_EQ(controlOf(geometry, kIdOk)->units, (platform::Rect{148, 122, 50, 14}));
    EXPECT_EQ(controlOf(geometry, kIdOk)->kind, platform::ControlKind::DefaultButton);
    EXPECT_EQ(controlOf(geometry, -1, "Parameters for processing series")->units,
              (platform::Rect{13, 112, 128, 44}));

    const auto structure = seriesStructureTemplate();
    EXPECT_EQ(structure.units, (platform::Rect{0, 0, 192, 138}));
    EXPECT_EQ(controlOf(structure, kEditSequence)->units, (platform::Rect{60, 58, 109, 12}));
    EXPECT_EQ(controlOf(structure, kIdCancel)->units, (platform::Rect{105, 113, 50, 14}));
    EXPECT_EQ(controlOf(structure, -1, " Series structure ")->kind,
              platform::ControlKind::GroupBox);

    const auto list = requiredListTemplate();
    EXPECT_EQ(list.caption, "List of Required Etalons");
    EXPECT_EQ(list.units, (platform::Rect{0, 0, 137, 95}));
    EXPECT_EQ(controlOf(list, kEditList)->units, (platform::Rect{33, 44, 89, 12}));
    EXPECT_EQ(controlOf(list, -1, "Number of Required Etalons")->units,
              (platform::Rect{13, 16, 86, 8}));
}

TEST(SeriesDialogs, GeometryShowsTheCurrentValuesAndStoresWhatIsTyped) {
    SeriesGeometryValues values;
    values.selectedEtalon = 7;
    values.makingLevel = 75;
    const auto procedure = seriesGeometryProcedure(values);
    FakeDialogContext c;
    c.start(procedure);
    EXPECT_EQ(c.texts[kEditLength], "1200");
    EXPECT_EQ(c.texts[kEditTmin], "40");
    EXPECT_EQ(c.texts[kEditTmax], "181");
    EXPECT_EQ(c.texts[kEditEtalon], "7");
    EXPECT_EQ(c.texts[kEditMakingLevel], "75");
    EXPECT_EQ(c.texts[kEditProcessingLevel], "100");

    c.texts[kEditLength] = " 600 samples";
    c.texts[kEditTmin] = "30";
    c.texts[kEditTmax] = "+90";
    c.texts[kEditEtalon] = "3";
    c.texts[kEditMakingLevel] = "80";
    c.texts[kEditProcessingLevel] = "70";
    EXPECT_TRUE(c.press(procedure, kIdOk));
    EXPECT_TRUE(c.ended);
    EXPECT_EQ(c.result, 1);
    EXPECT_TRUE(c.messages.empty());
    EXPECT_EQ(values.accepted, 1);
    EXPECT_EQ(values.dlgSeriesLength, 600u);
    EXPECT_EQ(values.dlgTmin, 30);
    EXPECT_EQ(values.dlgTmax, 90);
    EXPECT_EQ(values.defaultEtalon, 3);
    EXPECT_EQ(values.dlgMakingLevel, 80);
    EXPECT_EQ(values.dlgProcessingLevel, 70);
}

TEST(SeriesDialogs, GeometryCancelStoresNothing) {
    SeriesGeometryValues values;
    values.defaultEtalon = 4;
    const auto procedure = seriesGeometryProcedure(values);
    FakeDialogContext c;
    c.start(procedure);
    c.texts[kEditEtalon] = "9";
    EXPECT_TRUE(c.press(procedure, kIdCancel));
    EXPECT_TRUE(c.ended);
    EXPECT_EQ(c.result, 1);
    EXPECT_EQ(values.accepted, 0);
    EXPECT_EQ(values.defaultEtalon, 4);
    EXPECT_FALSE(c.press(procedure, kEditLength));  // other commands are not handled
}

TEST(SeriesDialogs, GeometryRefusesValuesNoSeriesCanHaveAndKeepsTheDialogOpen) {
    struct Case {
        int id;
        const char* typed;
        const char* named;
    };
    const Case cases[] = {
        {kEditTmin, "0", "Min Length of Interval"},
        {kEditTmin, "-5", "Min Length of Interval"},
        {kEditTmax, "0", "Max Length of Interval"},
        {kEditTmax, "30", "Max Length of Interval"},  // below Tmin 40
        {kEditTmax, "19", "Max Length of Interval"},  // below the pulse length
        {kEditLength, "10", "Samples Length"},        // shorter than a pulse
        {kEditLength, "70000", "Samples Length"},     // positions are 16-bit
        {kEditEtalon, "21", "Etalon Number"},
        {kEditEtalon, "0", "Etalon Number"},
        {kEditMakingLevel, "101", "for creating series"},
        {kEditProcessingLevel, "-1", "for processing series"},
    };
    for (const Case& k : cases) {
        SeriesGeometryValues values;
        const auto procedure = seriesGeometryProcedure(values);
        FakeDialogContext c;
        c.start(procedure);
        c.texts[k.id] = k.typed;
        EXPECT_TRUE(c.press(procedure, kIdOk));
        EXPECT_FALSE(c.ended) << k.typed;
        EXPECT_EQ(values.accepted, 0);
        EXPECT_EQ(values.dlgTmin, 0);
        ASSERT_EQ(c.messages.size(), 1u) << k.typed;
        EXPECT_NE(c.messages[0].find(k.named), std::string::npos) << c.messages[0];
        EXPECT_EQ(c.texts[k.id], k.typed);  // what was typed stays
    }
    // A least count of 0 is raised to 1 and still fits.
    SeriesGeometryValues values;
    const auto procedure = seriesGeometryProcedure(values);
    FakeDialogContext c;
    c.start(procedure);
    c.texts[kEditLength] = "200";
    c.texts[kEditTmin] = "300";
    c.texts[kEditTmax] = "300";
    c.press(procedure, kIdOk);
    EXPECT_TRUE(c.ended);  // (200 + 19) / 300 = 0 is raised to 1, (200 - 20 + 300) / 300 = 1
    SeriesGeometryValues tight;
    const auto tightProcedure = seriesGeometryProcedure(tight);
    FakeDialogContext d;
    d.start(tightProcedure);
    d.texts[kEditLength] = "105";
    d.texts[kEditTmin] = "30";
    d.texts[kEditTmax] =
        "30";  // at least (105 + 19) div 30 = 4 pulses needed, at most 115 div 30 = 3 fit
    d.press(tightProcedure, kIdOk);
    EXPECT_FALSE(d.ended);
    ASSERT_EQ(d.messages.size(), 1u);
    EXPECT_NE(d.messages[0].find("Samples Length 105"), std::string::npos);
}

TEST(SeriesDialogs, StructureShowsBoundsSequenceAndNoise) {
    std::vector<uint16_t> edited{3, 1, 4, 1, 5, 9};
    SeriesStructureValues values;
    values.dlgMinPulses = 6;
    values.dlgMaxPulses = 30;
    values.requestedPulses = 4;
    values.editedSequence = edited;
    values.noiseLevel = 35;
    values.maxNoiseLevel = kLargestNoiseLevel;
    const auto procedure = seriesStructureProcedure(values);
    FakeDialogContext c;
    c.start(procedure);
    EXPECT_EQ(c.texts[kLabelPulses], "Number of Pulses in Series (from 6 to 30)");
    EXPECT_EQ(c.texts[kEditPulses], "4");
    EXPECT_EQ(c.texts[kLabelSequence], "Sequence of Etalons in Series (values from 1 to 20)");
    EXPECT_EQ(c.texts[kEditSequence], "3,1,4,1");
    EXPECT_EQ(c.texts[kEditNoise], "35");

    // The count typed does not change how many entries are read back.
    c.texts[kEditPulses] = "12";
    c.texts[kEditSequence] = "3 5,7";
    c.texts[kEditNoise] = "50";
    c.press(procedure, kIdOk);
    EXPECT_TRUE(c.ended);
    EXPECT_EQ(values.accepted, 1);
    EXPECT_EQ(values.dlgPulses, 12);
    EXPECT_EQ(values.dlgNoiseLevel, 50);
    EXPECT_EQ(edited, (std::vector<uint16_t>{3, 5, 7, 0, 5, 9}));
}

TEST(SeriesDialogs, StructureRefusesNoiseThatCouldOverflowSamples) {
    EXPECT_EQ(maxNoiseLevelFor(128), 5439);  // 128 + 6 * 5439 <= 32767
    for (const char* typed : {"-1", "5440", "40000"}) {
        std::vector<uint16_t> edited{1, 1};
        SeriesStructureValues values;
        values.requestedPulses = 2;
        values.editedSequence = edited;
        values.maxNoiseLevel = maxNoiseLevelFor(128);
        const auto procedure = seriesStructureProcedure(values);
        FakeDialogContext c;
        c.start(procedure);
        c.texts[kEditNoise] = typed;
        c.texts[kEditSequence] = "4,4";
        c.press(procedure, kIdOk);
        EXPECT_FALSE(c.ended) << typed;
        ASSERT_EQ(c.messages.size(), 1u);
        EXPECT_NE(c.messages[0].find("Noise Level"), std::string::npos);
        EXPECT_EQ(edited, (std::vector<uint16_t>{1, 1}));  // nothing stored
        c.texts[kEditNoise] = "5439";
        c.press(procedure, kIdOk);
        EXPECT_TRUE(c.ended);
        EXPECT_EQ(values.dlgNoiseLevel, 5439);
    }
}

TEST(SeriesDialogs, RequiredListKeepsTheCountWhenTheTypedOneDoesNotFit) {
    std::vector<uint16_t> list{2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    RequiredListValues values;
    values.requiredCount = 3;
    values.requiredList = list;
    const auto procedure = requiredListProcedure(values);
    FakeDialogContext c;
    c.start(procedure);
    EXPECT_EQ(c.texts[kEditCount], "3");
    EXPECT_EQ(c.texts[kLabelList], "List of Required Etalons (from 1 to 20)");
    EXPECT_EQ(c.texts[kEditList], "2,4,6");

    c.texts[kEditCount] = "25";
    c.texts[kEditList] = "7,8,9,10,11";
    c.press(procedure, kIdOk);
    EXPECT_TRUE(c.ended);
    EXPECT_EQ(values.requiredCount, 3);
    EXPECT_EQ(list[0], 7);
    EXPECT_EQ(list[2], 9);
    EXPECT_EQ(list[3], 8);  // beyond the count: untouched

    FakeDialogContext d;
    d.start(procedure);
    d.texts[kEditCount] = "5";
    d.texts[kEditList] = "1,2";
    d.press(procedure, kIdOk);
    EXPECT_EQ(values.requiredCount, 5);
    EXPECT_EQ(std::vector<uint16_t>(list.begin(), list.begin() + 6),
              (std::vector<uint16_t>{1, 2, 0, 0, 0, 12}));

    RequiredListValues empty;
    empty.requiredList = list;
    const auto emptyProcedure = requiredListProcedure(empty);
    FakeDialogContext e;
    e.start(emptyProcedure);
    EXPECT_EQ(e.texts[kEditList], "");
    e.press(emptyProcedure, kIdCancel);
    EXPECT_EQ(empty.accepted, 0);
}

}  // namespace
}  // namespace etalon
