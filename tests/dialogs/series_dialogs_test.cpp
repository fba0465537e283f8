#include "dialogs/series_dialogs.h"

#include <gtest/gtest.h>

#include <vector>

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
    ASSERT_NE(controlOf(geometry, 1006), nullptr);
    EXPECT_EQ(controlOf(geometry, 1006)->units, (platform::Rect{99, 136, 26, 13}));
    EXPECT_EQ(controlOf(geometry, kIdOk)->units, (platform::Rect{148, 122, 50, 14}));
    EXPECT_EQ(controlOf(geometry, kIdOk)->kind, platform::ControlKind::DefaultButton);
    EXPECT_EQ(controlOf(geometry, -1, "Parameters for processing series")->units,
              (platform::Rect{13, 112, 128, 44}));

    const auto structure = seriesStructureTemplate();
    EXPECT_EQ(structure.units, (platform::Rect{0, 0, 192, 138}));
    EXPECT_EQ(controlOf(structure, 1010)->units, (platform::Rect{60, 58, 109, 12}));
    EXPECT_EQ(controlOf(structure, kIdCancel)->units, (platform::Rect{105, 113, 50, 14}));
    EXPECT_EQ(controlOf(structure, -1, " Series structure ")->kind,
              platform::ControlKind::GroupBox);

    const auto list = requiredListTemplate();
    EXPECT_EQ(list.caption, "List of Required Etalons");
    EXPECT_EQ(list.units, (platform::Rect{0, 0, 137, 95}));
    EXPECT_EQ(controlOf(list, 1013)->units, (platform::Rect{33, 44, 89, 12}));
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
    EXPECT_EQ(c.texts[1000], "1200");
    EXPECT_EQ(c.texts[1001], "40");
    EXPECT_EQ(c.texts[1003], "181");
    EXPECT_EQ(c.texts[1004], "7");
    EXPECT_EQ(c.texts[1005], "75");
    EXPECT_EQ(c.texts[1006], "100");

    c.texts[1000] = " 600 samples";
    c.texts[1001] = "30";
    c.texts[1003] = "+90";
    c.texts[1004] = "3";
    c.texts[1005] = "80";
    c.texts[1006] = "70";
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
    c.texts[1004] = "9";
    EXPECT_TRUE(c.press(procedure, kIdCancel));
    EXPECT_TRUE(c.ended);
    EXPECT_EQ(c.result, 1);
    EXPECT_EQ(values.accepted, 0);
    EXPECT_EQ(values.defaultEtalon, 4);
    EXPECT_FALSE(c.press(procedure, 1000));  // other commands are not handled
}

TEST(SeriesDialogs, GeometryRefusesValuesNoSeriesCanHaveAndKeepsTheDialogOpen) {
    struct Case {
        int id;
        const char* typed;
        const char* named;
    };
    const Case cases[] = {
        {1001, "0", "Min Length of Interval"},
        {1001, "-5", "Min Length of Interval"},
        {1003, "0", "Max Length of Interval"},
        {1003, "30", "Max Length of Interval"},  // below Tmin 40
        {1003, "19", "Max Length of Interval"},  // below the pulse length
        {1000, "10", "Samples Length"},          // shorter than a pulse
        {1000, "70000", "Samples Length"},       // positions are 16-bit
        {1004, "21", "Etalon Number"},
        {1004, "0", "Etalon Number"},
        {1005, "101", "for creating series"},
        {1006, "-1", "for processing series"},
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
    c.texts[1000] = "200";
    c.texts[1001] = "300";
    c.texts[1003] = "300";
    c.press(procedure, kIdOk);
    EXPECT_TRUE(c.ended);  // (200 + 19) / 300 = 0 is raised to 1, (200 - 20 + 300) / 300 = 1
    SeriesGeometryValues tight;
    const auto tightProcedure = seriesGeometryProcedure(tight);
    FakeDialogContext d;
    d.start(tightProcedure);
    d.texts[1000] = "105";
    d.texts[1001] = "30";
    d.texts[1003] =
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
    const auto procedure = seriesStructureProcedure(values);
    FakeDialogContext c;
    c.start(procedure);
    EXPECT_EQ(c.texts[1008], "Number of Pulses in Series (from 6 to 30)");
    EXPECT_EQ(c.texts[1007], "4");
    EXPECT_EQ(c.texts[1009], "Sequence of Etalons in Series (values from 1 to 20)");
    EXPECT_EQ(c.texts[1010], "3,1,4,1");
    EXPECT_EQ(c.texts[1011], "35");

    // The count typed does not change how many entries are read back.
    c.texts[1007] = "12";
    c.texts[1010] = "3 5,7";
    c.texts[1011] = "50";
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
        c.texts[1011] = typed;
        c.texts[1010] = "4,4";
        c.press(procedure, kIdOk);
        EXPECT_FALSE(c.ended) << typed;
        ASSERT_EQ(c.messages.size(), 1u);
        EXPECT_NE(c.messages[0].find("Noise Level"), std::string::npos);
        EXPECT_EQ(edited, (std::vector<uint16_t>{1, 1}));  // nothing stored
        c.texts[1011] = "5439";
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
    EXPECT_EQ(c.texts[1014], "3");
    EXPECT_EQ(c.texts[1012], "List of Required Etalons (from 1 to 20)");
    EXPECT_EQ(c.texts[1013], "2,4,6");

    c.texts[1014] = "25";
    c.texts[1013] = "7,8,9,10,11";
    c.press(procedure, kIdOk);
    EXPECT_TRUE(c.ended);
    EXPECT_EQ(values.requiredCount, 3);
    EXPECT_EQ(list[0], 7);
    EXPECT_EQ(list[2], 9);
    EXPECT_EQ(list[3], 8);  // beyond the count: untouched

    FakeDialogContext d;
    d.start(procedure);
    d.texts[1014] = "5";
    d.texts[1013] = "1,2";
    d.press(procedure, kIdOk);
    EXPECT_EQ(values.requiredCount, 5);
    EXPECT_EQ(std::vector<uint16_t>(list.begin(), list.begin() + 6),
              (std::vector<uint16_t>{1, 2, 0, 0, 0, 12}));

    RequiredListValues empty;
    empty.requiredList = list;
    const auto emptyProcedure = requiredListProcedure(empty);
    FakeDialogContext e;
    e.start(emptyProcedure);
    EXPECT_EQ(e.texts[1013], "");
    e.press(emptyProcedure, kIdCancel);
    EXPECT_EQ(empty.accepted, 0);
}

}  // namespace
}  // namespace etalon
